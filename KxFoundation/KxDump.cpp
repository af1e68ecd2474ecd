#include "KxFoundation/KxDump.h"

#include "KxFoundation/KxMinidump.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/KxTime.h"

#include <ctime>
#include <string>

namespace Kavo {

namespace {

// Set up during static initialisation, so that the platform's writer is
// loaded before the program starts.
[[maybe_unused]] KxDumpState& startUpState = KxDumpState::instance();

} // namespace

int _kx_write_dump(const KxExceptionPointers* exceptionPointers, const char16_t* name)
{
    return KxDumpState::instance().write(exceptionPointers, _kx_dump_safe_name(KxString(name != nullptr ? name : u"")));
}

KxString _kx_dump_safe_name(const KxString& name)
{
    std::u16string units(name.c_str());
    for (char16_t& unit : units)
        if (std::u16string_view(u"\\/:*?\"<>|").find(unit) != std::u16string_view::npos)
            unit = u'_';
    return KxString(units.c_str());
}

KxDumpState& KxDumpState::instance()
{
    static KxDumpState state;
    return state;
}

KxDumpState::KxDumpState() { _kx_minidump_available(); }

int KxDumpState::write(const KxExceptionPointers* exceptionPointers, const KxString& safeName)
{
    const KxString module = modulePath();
    const KxTime now(static_cast<int32_t>(std::time(nullptr)));
    const int32_t number = m_dumpCounter.fetch_add(1);
    KxString path;
    path.format(u"%@.%@.%04d%02d%02d%02d%02d%02d_%d", &module, &safeName, now.year(), now.month(), now.day(),
                now.hour(), now.minute(), now.second(), number);
    if (!_kx_minidump_available())
        return 1;
    _kx_write_minidump(path + u".dmp", exceptionPointers);
    return 1;
}

} // namespace Kavo
