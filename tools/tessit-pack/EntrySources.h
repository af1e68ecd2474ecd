#ifndef TESSIT_TOOLS_ENTRYSOURCES_H
#define TESSIT_TOOLS_ENTRYSOURCES_H

#include "KxFoundation/KxString.h"
#include "package/EntryName.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Tessit {

// One file to pack, under the name the launcher writes it as.
struct PackEntry {
    Kavo::KxString name; // folder levels separated by '\'
    std::filesystem::path source;
    uint64_t size = 0;
};

// Turns the command line's items into entries, in their order: a file is
// packed under its own name; a folder gives every file below it, named
// relative to it and sorted, so that the same input packs the same way;
// NAME=PATH (for an item that is not itself a path) names one file. A link
// inside a folder is refused, naming it, unless `dereference` is given: then
// what it leads to is packed in its place.
std::vector<PackEntry> collectEntries(const std::vector<std::string>& items, bool dereference = false);

// Refuses a set of entries a launcher that reads names by `rules` could not
// write faithfully: names it would not write, and two names of one file.
void checkEntries(const std::vector<PackEntry>& entries, NameRules rules);

// Warnings for a package of entries named `names` whose launcher reads names
// by `rules`: it has no main tool (the launcher then runs the installer and
// fails) or no installer (it starts none).
std::vector<std::string> missingPrograms(const std::vector<Kavo::KxString>& names, NameRules rules);

// Why a launcher does not write a name, in words.
std::string unsafeNameReason(UnsafeName why);

} // namespace Tessit

#endif
