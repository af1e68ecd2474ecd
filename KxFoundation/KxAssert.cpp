#include "KxFoundation/KxAssert.h"

#include "KxDebugOutput.h"
#include "KxDump.h"
#include "KxFoundation/KxPath.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace Kavo {

namespace {

constexpr uint32_t kDebuggerLineUnits = 1024;

} // namespace

KxAssertHandler _kx_assert_handler = _kx_assert_report;

void _kx_assert_report(const KxString& expression, const KxString& message, const KxString& function,
                       const KxString& file, int32_t line)
{
    const KxString fileName = lastPathComponent(file);
    KxString report;
    report.format(u"KxASSERT(%@, %@) - %@ (%@,%d)", &expression, &message, &function, &fileName, line);
    _kx_output_debug_line(_kx_debugger_line(report));
    _kx_write_dump(nullptr, report.c_str());
    std::abort();
}

KxString _kx_debugger_line(const KxString& report)
{
    KxString line = report + u"\n";
    if (line.length() >= kDebuggerLineUnits)
        line.resize(kDebuggerLineUnits - 1);
    return line;
}

// The signature reads "<return type> <qualified name>(<parameters>)...";
// the name is the last word before the parameter list, outside any
// template argument list.
KxString _kx_function_name(const char* signature)
{
    const std::string_view text(signature);
    std::size_t parameters = text.find("operator()");
    parameters = parameters == std::string_view::npos ? text.find('(') : parameters + std::strlen("operator()");
    if (parameters == std::string_view::npos)
        return KxString(signature);
    std::size_t start = parameters;
    int templateDepth = 0;
    while (start > 0) {
        const char previous = text[start - 1];
        if (previous == '>')
            ++templateDepth;
        else if (previous == '<')
            --templateDepth;
        else if (previous == ' ' && templateDepth == 0)
            break;
        --start;
    }
    return KxString(std::string(text.substr(start, parameters - start)).c_str());
}

} // namespace Kavo
