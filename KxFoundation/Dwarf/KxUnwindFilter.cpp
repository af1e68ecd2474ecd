#include "KxFaultGuard.h"

#include <unwind.h>

// With table-driven unwinding, the first pass asks each frame's personality
// routine whether it catches, before anything unwinds. The linker routes
// the C++ run time's routine through the filter below for every frame of
// the program's own code (--wrap), so a guarded call sees an exception
// reach its frame while the frames it leaves are still there.
extern "C" _Unwind_Reason_Code __real___gxx_personality_v0(int version, _Unwind_Action actions,
                                                             _Unwind_Exception_Class exceptionClass,
                                                             _Unwind_Exception* exception, _Unwind_Context* context);

extern "C" _Unwind_Reason_Code __wrap___gxx_personality_v0(int version, _Unwind_Action actions,
                                                             _Unwind_Exception_Class exceptionClass,
                                                             _Unwind_Exception* exception, _Unwind_Context* context)
{
    if ((actions & _UA_SEARCH_PHASE) != 0)
        Kavo::_kx_guarded_frame_reached(_Unwind_GetRegionStart(context));
    return __real___gxx_personality_v0(version, actions, exceptionClass, exception, context);
}
