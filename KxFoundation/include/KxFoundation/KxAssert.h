#ifndef KAVO_KXASSERT_H
#define KAVO_KXASSERT_H

#include "KxFoundation/KxString.h"

#include <cstdint>

namespace Kavo {

using KxAssertHandler = void (*)(const KxString& expression, const KxString& message, const KxString& function,
                                 const KxString& file, int32_t line);

// The handler every KxASSERT site calls; it starts as _kx_assert_report.
extern KxAssertHandler _kx_assert_handler;

// Sends "KxASSERT(<expression>, <message>) - <function> (<file name>,<line>)"
// to the debugger, writes a dump named after that text, and aborts.
[[noreturn]] void _kx_assert_report(const KxString& expression, const KxString& message, const KxString& function,
                                    const KxString& file, int32_t line);

// The line the debugger receives for a report: the text and a line feed,
// cut to 1,023 units.
KxString _kx_debugger_line(const KxString& report);

// "Kavo::KxTime::daysInMonth" out of the compiler's full signature text.
KxString _kx_function_name(const char* signature);

} // namespace Kavo

// Checks a precondition; a violated one is reported through the handler.
#define KxASSERT(condition)                                                                                    \
    ((condition) ? void(0)                                                                                     \
                 : ::Kavo::_kx_assert_handler(::Kavo::KxString(#condition), ::Kavo::KxString(),                 \
                                              ::Kavo::_kx_function_name(__PRETTY_FUNCTION__),                  \
                                              ::Kavo::KxString(__FILE__), __LINE__))

#endif
