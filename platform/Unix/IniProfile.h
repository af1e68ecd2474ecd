#ifndef TESSIT_PLATFORM_UNIX_INIPROFILE_H
#define TESSIT_PLATFORM_UNIX_INIPROFILE_H

#include <cstdint>
#include <string>

namespace Tessit {

// The configuration file Qt's QSettings keeps for an organisation and an
// application: <config home>/<organisation>/<application>.conf, where the
// config home is $XDG_CONFIG_HOME when it is absolute, else ~/.config.
// Empty when no home folder is known.
std::string profileFilePath(const std::string& organisation, const std::string& application);

// Sets `entry` in [section] of the INI file at `path` to `value` as Qt's
// QSettings writes an int, keeping every line it does not own (see
// withIniEntry). The new file replaces the old one in one rename, so a
// reader sees either, and keeps its mode; missing folders are made private
// to the user. A file that is a link is updated where it leads, the link
// kept. The file is left alone, and the result is false, where others
// could change where it is written (see resolveSafePath), when it cannot be
// read whole or is too large, and when the edited file would not read back
// with exactly the one entry holding `value`.
bool writeProfileInt(const std::string& path, const std::string& section, const std::string& entry,
                     int32_t value);

} // namespace Tessit

#endif
