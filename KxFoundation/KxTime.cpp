#include "KxFoundation/KxTime.h"

#include "KxFormat.h"
#include "KxTimeConversion.h"
#include "KxFoundation/KxArchive.h"
#include "KxFoundation/KxAssert.h"
#include "KxFoundation/KxStream.h"

#include <string>

namespace Kavo {

namespace {

// Days before each month of a common year; a month's length is the
// difference of two neighbouring entries, and February gains its leap day
// in daysInMonth.
constexpr int32_t kDaysBeforeMonth[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

bool isLeapYear(int32_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool inRange(int32_t value, int32_t lowest, int32_t highest) { return lowest <= value && value <= highest; }

uint32_t packed(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second)
{
    return uint32_t(year - 1970) << 26 | uint32_t(month) << 22 | uint32_t(day) << 17 | uint32_t(hour) << 12 |
           uint32_t(minute) << 6 | uint32_t(second);
}

} // namespace

KxTime::KxTime(int32_t seconds) { fromTime(seconds); }

KxTime::~KxTime() = default;

// A replacement assertion handler may return: a month outside the table then
// has no days rather than a length read from beyond it.
int32_t KxTime::daysInMonth(int32_t year, int32_t month)
{
    KxASSERT(1 <= month && month <= 12);
    if (!inRange(month, 1, 12))
        return 0;
    const int32_t days = kDaysBeforeMonth[month] - kDaysBeforeMonth[month - 1];
    return month == 2 && isLeapYear(year) ? days + 1 : days;
}

void KxTime::fromTime(int32_t seconds)
{
    std::tm fields{};
    if (!_kx_local_time(seconds, fields)) {
        m_value = kInvalidValue;
        return;
    }
    setFields(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min,
              fields.tm_sec);
}

void KxTime::setFields(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second)
{
    const bool valid = inRange(year, 1970, 2033) && inRange(month, 1, 12) &&
                       inRange(day, 1, daysInMonth(year, month)) && inRange(hour, 0, 23) &&
                       inRange(minute, 0, 59) && inRange(second, 0, 59);
    m_value = valid ? packed(year, month, day, hour, minute, second) : kInvalidValue;
}

bool KxTime::isValid() const
{
    return inRange(month(), 1, 12) && inRange(day(), 1, daysInMonth(year(), month())) && hour() <= 23 &&
           minute() <= 59 && second() <= 59;
}

std::tm KxTime::toTm() const
{
    std::tm fields{};
    fields.tm_sec = second();
    fields.tm_min = minute();
    fields.tm_hour = hour();
    fields.tm_mday = day();
    fields.tm_mon = month() - 1;
    fields.tm_year = year() - 1900;
    fields.tm_isdst = -1;
    std::mktime(&fields);
    return fields;
}

KxString KxTime::toString() const
{
    KxString text;
    if (!isValid()) {
        text.format(u"%04d-%02d-%02d %02d:%02d:%02d", year(), month(), day(), hour(), minute(), second());
        return text;
    }
    KxString format;
    format.format(u"%@-%@-%@ %@:%@:%@", &KxTimeFormatter::YEAR4, &KxTimeFormatter::MONTH, &KxTimeFormatter::DAY,
                  &KxTimeFormatter::HOUR24, &KxTimeFormatter::MINUTE, &KxTimeFormatter::SECOND);
    return KxTimeFormatter(format, KxString(), KxString()).formatTime(*this);
}

void KxTime::writeToArchive(KxArchive& archive) { archive.writeUInt32(1, m_value, KxString(u"Value")); }
void KxTime::readFromArchive(KxArchive& archive) { archive.readUInt32(1, &m_value, KxString()); }
void KxTime::writeToStream(KxStream& stream) { stream.writeUInt32(m_value); }
void KxTime::readFromStream(KxStream& stream) { stream.readUInt32(m_value); }

namespace {

// The characters that may end a conversion.
const std::u16string& acceptedConversions()
{
    static const std::u16string characters(u"@AaBbCcDdEeFGgHhIjklMmnOpRrSsTtUuVvWwXxYyZz");
    return characters;
}

// Accepted, but not defined by the C standard's wcsftime ('E' and 'O' are
// its modifiers): these add nothing, the same on every platform.
bool isUndefinedConversion(char16_t character)
{
    return std::u16string_view(u"@klsvEO").find(character) != std::u16string_view::npos;
}

} // namespace

const KxString KxTimeFormatter::AMPM(u"%p");
const KxString KxTimeFormatter::DAY(u"%d");
const KxString KxTimeFormatter::HOUR12(u"%I");
const KxString KxTimeFormatter::HOUR24(u"%H");
const KxString KxTimeFormatter::MINUTE(u"%M");
const KxString KxTimeFormatter::MONTH(u"%m");
const KxString KxTimeFormatter::SECOND(u"%S");
const KxString KxTimeFormatter::YEAR2(u"%y");
const KxString KxTimeFormatter::YEAR4(u"%Y");

KxTimeFormatter::KxTimeFormatter(const KxString& format, const KxString& am, const KxString& pm)
    : m_format(format), m_am(am), m_pm(pm)
{
}

KxTimeFormatter::~KxTimeFormatter() = default;

KxString KxTimeFormatter::formatTime(const KxTime& time) const
{
    const std::u16string format(m_format.c_str());
    const std::tm fields = time.toTm();
    const KxString& amPm = time.hour() < 12 ? m_am : m_pm;
    std::u16string output;
    std::size_t position = 0;
    for (;;) {
        const std::size_t percent = format.find(u'%', position);
        if (percent == std::u16string::npos) {
            output.append(format, position, std::u16string::npos);
            break;
        }
        if (percent + 1 < format.size() && format[percent + 1] == u'%') {
            output.append(format, position, percent + 1 - position);
            position = percent + 2;
            continue;
        }
        const std::size_t letter = format.find_first_of(acceptedConversions(), percent);
        if (letter == std::u16string::npos)
            _kx_abort_unknown_type("Kavo::KxTimeFormatter::formatTime()",
                                   percent + 1 < format.size() ? format[percent + 1] : u'\0');
        output.append(format, position, percent - position);
        position = letter + 1;
        const char16_t conversion = format[letter];
        if (conversion == u'p' && amPm.length() != 0)
            output += amPm.c_str();
        else if (!isUndefinedConversion(conversion))
            output += _kx_format_time_conversion(format.substr(percent, letter + 1 - percent), fields);
    }
    return KxString(output.c_str());
}

KxString KxTimeFormatter::toString() const
{
    KxString text;
    text.format(u"format=\"%@\", am=\"%@\", pm=\"%@\"", &m_format, &m_am, &m_pm);
    return text;
}

void KxTimeFormatter::writeToArchive(KxArchive& archive)
{
    archive.writeString(1, m_format, KxString());
    archive.writeString(2, m_am, KxString());
    archive.writeString(3, m_pm, KxString());
}

void KxTimeFormatter::readFromArchive(KxArchive& archive)
{
    archive.readString(1, &m_format, KxString());
    archive.readString(2, &m_am, KxString());
    archive.readString(3, &m_pm, KxString());
}

void KxTimeFormatter::writeToStream(KxStream& stream)
{
    m_format.writeToStream(stream);
    m_am.writeToStream(stream);
    m_pm.writeToStream(stream);
}

void KxTimeFormatter::readFromStream(KxStream& stream)
{
    m_format.readFromStream(stream);
    m_am.readFromStream(stream);
    m_pm.readFromStream(stream);
}

} // namespace Kavo
