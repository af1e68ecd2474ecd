#include "KxFoundation/KxExecution.h"

#include "KxFoundation/KxException.h"
#include "KxFoundation/KxMemoryStream.h"
#include "KxFoundation/KxObject.h"
#include "KxFoundation/KxString.h"

namespace Kavo {

namespace {

void report(KxExecutionObserver* observer, const KxString& request, int id, int32_t status, KxStream& reply)
{
    if (observer == nullptr)
        return;
    reply.setPosition(0);
    observer->onExecutionStatus(request.c_str(), id, status, reply);
}

} // namespace

// Only library exceptions are turned into a reply; anything else passes
// through to the caller.
void KxObject::executeObserved(int id, const KxString& request, KxExecutionObserver* observer)
{
    KxMemoryStream reply;
    try {
        report(observer, request, id, KxExecutionStarted, reply);
        const bool succeeded = execute(request, reply);
        report(observer, request, id, succeeded ? KxExecutionSucceeded : KxExecutionFailed, reply);
    } catch (KxException& exception) {
        reply.init(32, true, 0, false, 0);
        exception.writeToStream(reply);
        report(observer, request, id, KxExecutionRaised, reply);
    }
}

} // namespace Kavo
