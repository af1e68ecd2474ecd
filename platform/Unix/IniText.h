#ifndef TESSIT_PLATFORM_UNIX_INITEXT_H
#define TESSIT_PLATFORM_UNIX_INITEXT_H

#include <string>
#include <vector>

namespace Tessit {

// `text`, an INI file as Qt's settings reader reads it, with `entry` in
// [section] set to `value`. The lines of that entry in every [section]
// block are its own: the first becomes "entry=value", the others go (Qt
// reads the last). Every other byte stays as it is: comments, blank lines,
// order, other sections, duplicate keys, lines without '=' and line ends.
// Without the entry, it follows the last line of the section; without the
// section, a new one ends the text. Section and entry names are compared
// and written as they are: the names used here need none of Qt's escapes.
std::string withIniEntry(const std::string& text, const std::string& section, const std::string& entry,
                         const std::string& value);

// The values of `entry` in every [section] block of `text`, in order, as
// Qt's reader finds them (raw, after '=' and without surrounding blanks).
std::vector<std::string> iniEntryValues(const std::string& text, const std::string& section,
                                        const std::string& entry);

} // namespace Tessit

#endif
