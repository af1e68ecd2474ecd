#include "KxDump.h"

#include "KxMinidump.h"
#include "KxTimeConversion.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/KxTime.h"

#include <boost/date_time/gregorian/greg_calendar.hpp>

#include <ctime>
#include <limits>
#include <string>

namespace Kavo {

namespace {

using Calendar = boost::gregorian::gregorian_calendar;

// Set up during static initialisation, so that the platform's writer is
// loaded before the program starts.
[[maybe_unused]] KxDumpState& startUpState = KxDumpState::instance();

constexpr int64_t kSecondsPerDay = 24 * 60 * 60;
// "YYYYMMDDhhmmss_<n>.dmp" with the widest number.
constexpr std::size_t kLargestSuffix = 14 + 1 + 11 + 4;

int64_t epochDay() { return int64_t(Calendar::day_number(Calendar::ymd_type(1970, 1, 1))); }

int64_t secondsSinceEpoch(const std::tm& fields)
{
    const Calendar::ymd_type date(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday);
    const int64_t days = int64_t(Calendar::day_number(date)) - epochDay();
    return days * kSecondsPerDay + fields.tm_hour * 3600 + fields.tm_min * 60 + fields.tm_sec;
}

// Local time now minus UTC now, as the C library reads the time zone.
int32_t localOffsetFromUtc()
{
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    if (now < 0 || now > std::numeric_limits<int32_t>::max() || !_kx_local_time(int32_t(now), fields))
        return 0;
    return int32_t(secondsSinceEpoch(fields) - now);
}

// The current local time from UTC and a known offset: arithmetic only, so
// that a fault handler may take it. Out of range gives the invalid time,
// as the 32-bit conversion does.
KxTime localTimeNow(int32_t utcOffset)
{
    KxTime stamp;
    const std::time_t now = std::time(nullptr);
    if (now < 0 || now > std::numeric_limits<int32_t>::max())
        return stamp;
    const int64_t local = int64_t(now) + utcOffset;
    const int64_t days = local >= 0 ? local / kSecondsPerDay : -1;
    const int64_t seconds = local - days * kSecondsPerDay;
    const Calendar::ymd_type date = Calendar::from_day_number(Calendar::date_int_type(epochDay() + days));
    stamp.setFields(int32_t(date.year), int32_t(date.month), int32_t(date.day), int32_t(seconds / 3600),
                    int32_t(seconds / 60 % 60), int32_t(seconds % 60));
    return stamp;
}

// Decimal digits of `value`, at least `width` of them, at `out`; returns
// the end. No locale, no allocation.
char* appendDecimal(char* out, int64_t value, int width)
{
    if (value < 0) {
        *out++ = '-';
        value = -value;
    }
    char digits[20];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = count; pad < width; ++pad)
        *out++ = '0';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

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

KxDumpRequest::KxDumpRequest(const KxString& safeName)
    : m_path(_kx_minidump_path(modulePath() + u"." + safeName + u".")), m_prefixLength(m_path.size()),
      m_utcOffset(localOffsetFromUtc())
{
    m_path.reserve(m_prefixLength + kLargestSuffix);
}

void KxDumpRequest::write(const KxExceptionPointers* exceptionPointers)
{
    const KxTime now = localTimeNow(m_utcOffset);
    const int32_t number = KxDumpState::instance().takeNumber();
    if (!_kx_minidump_available())
        return;
    char suffix[kLargestSuffix + 1];
    char* end = appendDecimal(suffix, now.year(), 4);
    for (const int32_t field : {now.month(), now.day(), now.hour(), now.minute(), now.second()})
        end = appendDecimal(end, field, 2);
    *end++ = '_';
    end = appendDecimal(end, number, 1);
    for (const char letter : {'.', 'd', 'm', 'p'})
        *end++ = letter;
    m_path.resize(m_prefixLength);
    m_path.append(suffix, end);
    _kx_write_minidump(m_path.c_str(), exceptionPointers);
}

KxDumpState& KxDumpState::instance()
{
    static KxDumpState state;
    return state;
}

KxDumpState::KxDumpState() { _kx_minidump_available(); }

int KxDumpState::write(const KxExceptionPointers* exceptionPointers, const KxString& safeName)
{
    KxDumpRequest(safeName).write(exceptionPointers);
    return 1;
}

} // namespace Kavo
