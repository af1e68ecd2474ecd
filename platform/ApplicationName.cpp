#include "ApplicationName.h"

#include "KxFoundation/KxPath.h"

namespace Tessit {

using namespace Kavo;

KxString applicationNameFromPath(const KxString& executablePath)
{
    const KxString fileName = lastPathComponent(executablePath);
    const int dot = fileName.lastIndexOfAny(u".", uint32_t(-1));
    return dot > 0 ? fileName.substring(0, uint32_t(dot)) : fileName;
}

} // namespace Tessit
