#ifndef KAVO_KXCONVERSION_H
#define KAVO_KXCONVERSION_H

#include <cstddef>
#include <locale>
#include <string>

namespace Kavo {

class KxRecursiveMutex;

// The process-wide conversion locale: the user's default locale with UTF-8
// as its narrow encoding. Created once, safely under concurrent first use.
const std::locale& _kx_conversion_locale();

// The one lock held while narrow text is converted to wide text: the
// library's one shared mutex, of the light kind, created once.
KxRecursiveMutex& _kx_conversion_mutex();

// Narrow bytes up to the first zero byte, decoded through the locale's code
// conversion. Malformed input gives the empty text; a sequence cut off at the
// end is dropped. Decoded values keep their low 16 bits.
std::u16string _kx_decode_narrow(const char* bytes, const std::locale& locale);

// UTF-16 units up to the first U+0000, each encoded by itself through the
// locale's code conversion. An encoding error gives the empty text.
std::string _kx_encode_narrow(const char16_t* units, std::size_t count, const std::locale& locale);

// One unit upper-cased by the platform's rules for the user's locale.
char16_t _kx_upper_unit(char16_t unit, const std::locale& locale);

} // namespace Kavo

#endif
