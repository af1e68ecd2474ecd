#ifndef KAVO_KXEXECUTION_H
#define KAVO_KXEXECUTION_H

#include <cstdint>

namespace Kavo {

class KxStream;

// Status codes an observed execution reports; no code 3 is used.
enum KxExecutionStatus : int32_t {
    KxExecutionStarted = 1,
    KxExecutionSucceeded = 2,
    KxExecutionFailed = 4,
    KxExecutionRaised = 5,
};

// Told about each stage of KxObject::executeObserved. The reply stream is
// positioned at 0 before every report; with KxExecutionRaised it holds the
// exception's stream form.
class KxExecutionObserver {
public:
    virtual ~KxExecutionObserver() = default;
    virtual void onExecutionStatus(const char16_t* request, int id, int32_t status, KxStream& reply) = 0;
};

} // namespace Kavo

#endif
