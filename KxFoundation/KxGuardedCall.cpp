#include "KxFaultGuard.h"
#include "KxFoundation/KxException.h"
#include "KxFoundation/KxObject.h"

#include <stdexcept>
#include <typeinfo>

namespace Kavo {

// Calls `function` on this object and hands anything that escapes it to the
// first matching handler; false when something escaped. Whatever leaves the
// function is first dumped, named after this object's class as the run-time
// type information gives it (left mangled: the demangler would add some
// 46 KiB to the launcher; `c++filt -t` reads the name), while its
// frames are still on the stack (see KxFaultGuard); a hardware fault then
// ends the call and goes to handleUnknown.
bool KxObject::invokeGuarded(void (KxObject::*function)())
{
    KxFaultGuard guard(KxString(typeid(*this).name()));
    bool faulted = false;
    try {
        if (guard.call(*this, function))
            return true;
        faulted = true;
    } catch (KxException& exception) {
        handleException(exception);
    } catch (KxObject& object) {
        handleObject(object);
    } catch (const std::domain_error& exception) {
        handleStdException(exception);
    } catch (const std::invalid_argument& exception) {
        handleStdException(exception);
    } catch (const std::length_error& exception) {
        handleStdException(exception);
    } catch (const std::out_of_range& exception) {
        handleStdException(exception);
    } catch (const std::logic_error& exception) {
        handleStdException(exception);
    } catch (const std::range_error& exception) {
        handleStdException(exception);
    } catch (const std::overflow_error& exception) {
        handleStdException(exception);
    } catch (const std::runtime_error& exception) {
        handleStdException(exception);
    } catch (const std::bad_alloc& exception) {
        handleStdException(exception);
    } catch (const std::bad_cast& exception) {
        handleStdException(exception);
    } catch (const std::bad_typeid& exception) {
        handleStdException(exception);
    } catch (const std::bad_exception& exception) {
        handleStdException(exception);
    } catch (const std::exception& exception) {
        handleStdException(exception);
    } catch (...) {
        handleUnknown();
    }
    if (faulted)
        handleUnknown();
    return false;
}

} // namespace Kavo
