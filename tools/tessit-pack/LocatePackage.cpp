#include "LocatePackage.h"

#include "PathText.h"
#include "platform/NativePackagePlatform.h"

namespace Tessit {

OpenResult locatePackage(const std::filesystem::path& file, PackageHeader& header)
{
    const std::unique_ptr<PackagePlatform> platform = createNativePackagePlatform(TraceLines::Dropped);
    Package package(*platform);
    KxString log;
    const OpenResult result = OpenPackage(package, fileText(file), log);
    header = package.header();
    return result;
}

} // namespace Tessit
