#include "package/EntryName.h"

namespace Tessit {

NameRules hostNameRules() { return NameRules::Posix; }

} // namespace Tessit
