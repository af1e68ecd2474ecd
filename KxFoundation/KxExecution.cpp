#include "KxFoundation/KxObject.h"
#include "KxFoundation/KxString.h"

namespace Kavo {

void KxObject::executeObserved(int, const KxString&, KxExecutionObserver*) {}

} // namespace Kavo
