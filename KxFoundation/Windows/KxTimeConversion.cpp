#include "KxTimeConversion.h"

#include "KxFoundation/KxString.h"

#include <cwchar>
#include <string>
#include <time.h>

namespace Kavo {

namespace {

constexpr std::size_t kBufferUnits = 256;

std::u16string wcsftimeConversion(const wchar_t* conversion, const std::tm& fields)
{
    wchar_t buffer[kBufferUnits];
    if (std::wcsftime(buffer, kBufferUnits, conversion, &fields) == 0)
        return {};
    return std::u16string(utf16Units(buffer));
}

std::u16string number(const wchar_t* format, long value)
{
    wchar_t buffer[16];
    std::swprintf(buffer, 16, format, value);
    return std::u16string(utf16Units(buffer));
}

// Weekday (0 Sunday) of 31 December of the year.
int weekdayOfLastDay(int year)
{
    return (year + year / 4 - year / 100 + year / 400) % 7;
}

int isoWeeksInYear(int year)
{
    return weekdayOfLastDay(year) == 4 || weekdayOfLastDay(year - 1) == 3 ? 53 : 52;
}

// ISO 8601 week-based year and week of the given day.
void isoWeek(const std::tm& fields, int& year, int& week)
{
    const int mondayBasedWeekday = (fields.tm_wday + 6) % 7;
    year = fields.tm_year + 1900;
    week = (fields.tm_yday - mondayBasedWeekday + 10) / 7;
    if (week < 1) {
        --year;
        week = isoWeeksInYear(year);
    } else if (week > isoWeeksInYear(year)) {
        ++year;
        week = 1;
    }
}

// Offset east of UTC as +hhmm, from the C runtime's zone settings.
std::u16string utcOffset(const std::tm& fields)
{
    _tzset();
    long westSeconds = _timezone + (fields.tm_isdst > 0 ? _dstbias : 0);
    const wchar_t sign = westSeconds > 0 ? L'-' : L'+';
    if (westSeconds < 0)
        westSeconds = -westSeconds;
    std::u16string text(1, static_cast<char16_t>(sign));
    return text + number(L"%04ld", westSeconds / 3600 * 100 + westSeconds / 60 % 60);
}

} // namespace

bool _kx_local_time(int32_t seconds, std::tm& fields)
{
    const __time32_t value = seconds;
    return _localtime32_s(&fields, &value) == 0;
}

// The C runtime's wcsftime predates C99: the conversions it lacks are built
// here, with the standard's meaning, from the ones it has.
std::u16string _kx_format_time_conversion(const std::u16string& conversion, const std::tm& fields)
{
    int isoYear = 0;
    int isoWeekNumber = 0;
    switch (conversion.back()) {
    case u'C': return number(L"%02ld", (fields.tm_year + 1900L) / 100);
    case u'D': return wcsftimeConversion(L"%m/%d/%y", fields);
    case u'e': return number(L"%2ld", fields.tm_mday);
    case u'F': return wcsftimeConversion(L"%Y-%m-%d", fields);
    case u'h': return wcsftimeConversion(L"%b", fields);
    case u'n': return u"\n";
    case u'r': return wcsftimeConversion(L"%I:%M:%S %p", fields);
    case u'R': return wcsftimeConversion(L"%H:%M", fields);
    case u't': return u"\t";
    case u'T': return wcsftimeConversion(L"%H:%M:%S", fields);
    case u'u': return number(L"%ld", fields.tm_wday == 0 ? 7 : fields.tm_wday);
    case u'z': return utcOffset(fields);
    case u'g':
    case u'G':
    case u'V':
        isoWeek(fields, isoYear, isoWeekNumber);
        if (conversion.back() == u'V')
            return number(L"%02ld", isoWeekNumber);
        return conversion.back() == u'G' ? number(L"%ld", isoYear) : number(L"%02ld", isoYear % 100);
    default:
        return wcsftimeConversion(wideUnits(conversion.c_str()), fields);
    }
}

} // namespace Kavo
