#include "KxFoundation/KxObject.h"

#include "KxFoundation/KxString.h"

#include <cstdlib>

namespace Kavo {

KxObject::~KxObject() = default;

KxObject* KxObject::clone() const { return nullptr; }
void KxObject::writeToArchive(KxArchive&) {}
void KxObject::readFromArchive(KxArchive&) {}
void KxObject::writeToStream(KxStream&) {}
void KxObject::readFromStream(KxStream&) {}

void KxObject::handleException(KxException&) { std::abort(); }
void KxObject::handleObject(KxObject&) { std::abort(); }

void KxObject::handleStdException(const std::exception& exception)
{
    const KxString what(exception.what());
    (void)what;
    std::abort();
}

void KxObject::handleUnknown() { std::abort(); }

bool KxObject::execute(const KxString&, KxStream&) { return true; }
uint32_t KxObject::hashCode() const { return 0; }
KxString KxObject::toString() const { return KxString(); }

} // namespace Kavo
