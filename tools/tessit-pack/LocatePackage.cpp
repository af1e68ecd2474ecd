#include "tools/tessit-pack/LocatePackage.h"

#include "KxFoundation/KxFile.h"
#include "platform/NativePackagePlatform.h"
#include "tools/tessit-pack/PathText.h"

namespace Tessit {

OpenResult locatePackage(const std::filesystem::path& file, PackageHeader& header)
{
    KxString log;
    Kavo::KxFile package;
    return OpenPackage(*createNativePackagePlatform(TraceLines::Dropped), textOf(file), log, package, header);
}

} // namespace Tessit
