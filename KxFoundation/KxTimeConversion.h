#ifndef KAVO_KXTIMECONVERSION_H
#define KAVO_KXTIMECONVERSION_H

#include <cstdint>
#include <ctime>
#include <string>

namespace Kavo {

// Seconds since 1970 as local broken-down time through the C library's
// 32-bit conversion; false for negative seconds and whatever else it cannot
// convert.
bool _kx_local_time(int32_t seconds, std::tm& fields);

// One strftime conversion ("%H", "%#d") through the C library's wcsftime
// with a 256-unit buffer; empty when the result does not fit.
std::u16string _kx_format_time_conversion(const std::u16string& conversion, const std::tm& fields);

} // namespace Kavo

#endif
