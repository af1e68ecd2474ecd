// Narrow text decoding and encoding: whatever bytes arrive decode without
// harm, and what toNarrow gives decodes back to the same units.
#include "KxFoundation/KxString.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace Kavo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const KxString decoded(bytes.c_str());

    std::u16string units;
    for (size_t index = 0; index + 1 < size; index += 2)
        units.push_back(static_cast<char16_t>(data[index] | data[index + 1] << 8));
    const KxString text(units.c_str());
    const std::string narrow = text.toNarrow();
    if (narrow.empty() != (text.length() == 0))
        std::abort();
    if (KxString(narrow.c_str()).compare(text) != 0)
        std::abort();
    if (decoded.length() > bytes.size())
        std::abort();
    return 0;
}
