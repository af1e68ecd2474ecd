#ifndef TESSIT_PACKAGE_ENTRYNAME_H
#define TESSIT_PACKAGE_ENTRYNAME_H

#include "KxFoundation/KxString.h"

#include <optional>
#include <vector>

namespace Tessit {

// How the system a launcher runs on reads an entry's name: Windows folds
// letter case, drops dots and spaces that end a level, names devices and
// takes ':' for a drive or a stream; POSIX takes every name as it is.
enum class NameRules { Windows, Posix };

// The rules of the system this program runs on.
NameRules hostNameRules();

// One folder level on the way to an entry's file.
struct EntryLevel {
    Kavo::KxString name;
    // Levels closed by '\' are made when missing, and so is the last; one
    // closed by '/' before it only counts when it exists already, as folder
    // creation splits levels at '\' only.
    bool madeWhenMissing;
};

// Where an entry is written below the target folder, as the system will
// name it: its folder levels, then its file. Levels that name nothing of
// their own ('.' and the empty ones between doubled separators) are gone.
struct EntryPath {
    std::vector<EntryLevel> folders;
    Kavo::KxString file;

    // The path below the target folder, levels separated by '\'.
    Kavo::KxString relative() const;
};

// Why a name must not be written.
enum class UnsafeName {
    None,
    NamesNoFile,      // empty, or ending in a separator or in '.'
    LeavesFolder,     // a level of dots and spaces, which may climb out
    ControlCharacter, // it would forge log lines or act on a terminal
    LoneSurrogate,    // half a pair: no other program could spell it
    DriveOrStream,    // ':' under Windows rules
    DeviceName,       // CON, AUX, LPT1.txt and the like under Windows rules
};

// Where `name` is written, or nothing for a name that must not be written,
// `why` (when given) then telling the reason.
std::optional<EntryPath> resolveEntryName(const Kavo::KxString& name, NameRules rules = hostNameRules(),
                                          UnsafeName* why = nullptr);

inline bool isUnsafeEntryName(const Kavo::KxString& name, NameRules rules = hostNameRules())
{
    return !resolveEntryName(name, rules);
}

// True when the two resolved paths name one file under `rules`.
bool sameEntryPath(const Kavo::KxString& first, const Kavo::KxString& second, NameRules rules = hostNameRules());

// Whether an entry written to `path` (below the target folder, as resolved)
// is one of the programs the launcher starts: the installer, the main tool
// or a control.
bool isProgramEntry(const Kavo::KxString& path, NameRules rules = hostNameRules());

// The name or path with every character that would act on a terminal or a
// log written as \xNN (\uNNNN for a lone surrogate or a mark that reorders
// text), for showing it.
Kavo::KxString printableEntryName(const Kavo::KxString& name);

} // namespace Tessit

#endif
