#include "LocatePackage.h"

#include "PathText.h"
#include "KxFoundation/KxFile.h"
#include "platform/NativePackagePlatform.h"

namespace Tessit {

OpenResult locatePackage(const std::filesystem::path& file, PackageHeader& header)
{
    KxString log;
    Kavo::KxFile package;
    return OpenPackage(*createNativePackagePlatform(TraceLines::Dropped), fileText(file), log, package, header);
}

} // namespace Tessit
