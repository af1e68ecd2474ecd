#ifndef TESSIT_TOOLS_INPUTFILE_H
#define TESSIT_TOOLS_INPUTFILE_H

#include "PackError.h"
#include "PathText.h"
#include "KxFoundation/KxFile.h"

#include <filesystem>

namespace Tessit {

// Opens a file the packer reads from, or fails naming it.
inline void openForReading(Kavo::KxFile& file, const std::filesystem::path& path)
{
    if (!file.open(fileText(path), false))
        throw PackError(path, "cannot be opened");
}

} // namespace Tessit

#endif
