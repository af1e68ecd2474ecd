#ifndef KAVO_KXTIME_H
#define KAVO_KXTIME_H

#include "KxFoundation/KxString.h"

#include <cstdint>
#include <ctime>

namespace Kavo {

// A local date and time of day to the second, 1970 to 2033, packed into 32
// bits: second (bits 0-5), minute (6-11), hour (12-16), day (17-21), month
// (22-25) and year - 1970 (26-31). The same 32 bits are its serialised form.
class KxTime : public KxObject {
public:
    // Stored by every failed construction or setting: 1970-13-00 25:61:61.
    static constexpr uint32_t kInvalidValue = 0x03419F7Du;

    KxTime() = default;
    explicit KxTime(int32_t seconds);
    ~KxTime() override;

    void writeToArchive(KxArchive& archive) override;
    void readFromArchive(KxArchive& archive) override;
    void writeToStream(KxStream& stream) override;
    void readFromStream(KxStream& stream) override;
    KxString toString() const override;

    // Seconds since 1970 read as local time; the invalid value when the C
    // library cannot convert them or they fall outside the range.
    void fromTime(int32_t seconds);
    void setFields(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second);
    bool isValid() const;
    // The broken-down local time, normalised by mktime.
    std::tm toTm() const;

    static int32_t daysInMonth(int32_t year, int32_t month);

    uint32_t value() const { return m_value; }
    int32_t year() const { return int32_t(m_value >> 26) + 1970; }
    int32_t month() const { return int32_t((m_value >> 22) & 0xF); }
    int32_t day() const { return int32_t((m_value >> 17) & 0x1F); }
    int32_t hour() const { return int32_t((m_value >> 12) & 0x1F); }
    int32_t minute() const { return int32_t((m_value >> 6) & 0x3F); }
    int32_t second() const { return int32_t(m_value & 0x3F); }

private:
    uint32_t m_value = kInvalidValue;
};

// Turns a time into text with a strftime-style format. The 'p' conversion
// uses the formatter's own AM and PM texts when they are not empty.
class KxTimeFormatter : public KxObject {
public:
    // The named conversions.
    static const KxString AMPM;
    static const KxString DAY;
    static const KxString HOUR12;
    static const KxString HOUR24;
    static const KxString MINUTE;
    static const KxString MONTH;
    static const KxString SECOND;
    static const KxString YEAR2;
    static const KxString YEAR4;

    KxTimeFormatter(const KxString& format, const KxString& am, const KxString& pm);
    ~KxTimeFormatter() override;

    void writeToArchive(KxArchive& archive) override;
    void readFromArchive(KxArchive& archive) override;
    void writeToStream(KxStream& stream) override;
    void readFromStream(KxStream& stream) override;
    KxString toString() const override;

    // A '%' that no accepted conversion character follows is a programming
    // error: one line on standard error, then abort.
    KxString formatTime(const KxTime& time) const;

    const KxString& format() const { return m_format; }
    const KxString& am() const { return m_am; }
    const KxString& pm() const { return m_pm; }

private:
    KxString m_format;
    KxString m_am;
    KxString m_pm;
};

} // namespace Kavo

#endif
