#ifndef TESSIT_TOOLS_PATHTEXT_H
#define TESSIT_TOOLS_PATHTEXT_H

#include "KxFoundation/KxString.h"

#include <filesystem>
#include <string>

namespace Tessit {

// Paths and names cross between the file system, the package's UTF-16 text
// and the UTF-8 of the command line and the terminal; all of them keep
// characters beyond the Basic Multilingual Plane whole.
inline Kavo::KxString textOf(const std::filesystem::path& path) { return Kavo::KxString(path.u16string().c_str()); }

// A path of the file system (from the command line, or found in a folder)
// as the file layer takes it, to name that very file: on Linux a '\' in it
// is part of a name, never a separator.
Kavo::KxString fileText(const std::filesystem::path& path);

inline std::filesystem::path pathOf(const Kavo::KxString& text)
{
    return std::filesystem::path(std::u16string(text.c_str(), text.length()));
}

inline std::filesystem::path pathFromUtf8(const std::string& text) { return std::filesystem::u8path(text); }

inline std::string utf8Of(const std::filesystem::path& path) { return path.u8string(); }

inline std::string utf8Of(const Kavo::KxString& text) { return utf8Of(pathOf(text)); }

} // namespace Tessit

#endif
