#include "KxTestSystem.h"

namespace Kavo {

bool runsUnderWine() { return false; }

} // namespace Kavo
