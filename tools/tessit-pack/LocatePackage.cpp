#include "tools/tessit-pack/LocatePackage.h"

#include "KxFoundation/KxFile.h"
#include "tools/tessit-pack/PathText.h"
#include "tools/tessit-pack/ToolPlatform.h"

namespace Tessit {

OpenResult locatePackage(const std::filesystem::path& file, PackageHeader& header)
{
    ToolPlatform platform;
    KxString log;
    Kavo::KxFile package;
    return OpenPackage(platform, textOf(file), log, package, header);
}

} // namespace Tessit
