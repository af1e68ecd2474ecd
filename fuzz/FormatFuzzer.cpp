// The formatting engine over format strings built only from valid
// directives, with arguments drawn from the input.
#include "KxFoundation/KxString.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace Kavo;

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_position >= m_size; }
    uint8_t byte() { return empty() ? 0 : m_data[m_position++]; }
    template <typename Value>
    Value value()
    {
        Value result{};
        uint8_t bytes[sizeof(Value)] = {};
        for (auto& b : bytes)
            b = byte();
        std::memcpy(&result, bytes, sizeof(Value));
        return result;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

constexpr const char16_t* kFlags[] = {u"", u"-", u"+", u" ", u"#", u"0", u"-0", u"+ "};
constexpr const char16_t* kWidths[] = {u"", u"1", u"5", u"12", u"255", u"300"};
constexpr const char16_t* kPrecisions[] = {u"", u".0", u".1", u".3", u".40", u".300"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input input(data, size);
    const KxString object(u"object text");
    KxString result(u"start:");
    for (int directive = 0; directive < 6 && !input.empty(); ++directive) {
        std::u16string format(u"<");
        format += kFlags[input.byte() % 8];
        format += kWidths[input.byte() % 6];
        format += kPrecisions[input.byte() % 6];
        const uint8_t kind = input.byte() % 12;
        switch (kind) {
        case 0: format += u"d"; result.appendFormat((format + u">").c_str(), input.value<int32_t>()); break;
        case 1: format += u"I64x"; result.appendFormat((format + u">").c_str(), input.value<int64_t>()); break;
        case 2: format += u"llu"; result.appendFormat((format + u">").c_str(), input.value<uint64_t>()); break;
        case 3: format += u"X"; result.appendFormat((format + u">").c_str(), input.value<uint32_t>()); break;
        case 4: format += u"g"; result.appendFormat((format + u">").c_str(), input.value<double>()); break;
        case 5: format += u"f"; result.appendFormat((format + u">").c_str(), input.value<double>()); break;
        case 6: format += u"C"; result.appendFormat((format + u">").c_str(), int(input.value<uint16_t>())); break;
        case 7: format += u"c"; result.appendFormat((format + u">").c_str(), int(input.byte())); break;
        case 8: {
            std::string narrow;
            for (uint8_t length = input.byte(); length > 0 && !input.empty(); --length)
                narrow.push_back(static_cast<char>(input.byte() | 1));
            format += u"s";
            result.appendFormat((format + u">").c_str(), narrow.c_str());
            break;
        }
        case 9: {
            std::u16string wide(input.byte() * 3u, u'w');
            for (auto& unit : wide)
                unit = static_cast<char16_t>(input.value<uint16_t>() | 1);
            format += u"S";
            result.appendFormat((format + u">").c_str(), wide.c_str());
            break;
        }
        case 10: format += u"@"; result.appendFormat((format + u">").c_str(), &object); break;
        default: format += u"p"; result.appendFormat((format + u">").c_str(), reinterpret_cast<void*>(input.value<uintptr_t>())); break;
        }
    }
    return 0;
}
