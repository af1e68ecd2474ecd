#include "package/EntryName.h"

namespace Tessit {

NameRules hostNameRules() { return NameRules::Windows; }

} // namespace Tessit
