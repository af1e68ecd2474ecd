#include "platform/Platform.h"

namespace Tessit {

const char* messageBoxKindName(MessageBoxKind kind)
{
    switch (kind) {
    case MessageBoxKind::Warning: return "warning";
    case MessageBoxKind::Error: return "error";
    case MessageBoxKind::Information: return "information";
    }
    return "";
}

} // namespace Tessit
