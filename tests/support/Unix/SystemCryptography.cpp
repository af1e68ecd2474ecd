#include "SystemCryptography.h"

namespace Tessit {

bool systemVerifiesEcdsa() { return true; }

} // namespace Tessit
