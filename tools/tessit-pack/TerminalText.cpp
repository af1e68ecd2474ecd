#include "TerminalText.h"

#include "PathText.h"
#include "package/EntryName.h"

#include <cstdio>

namespace Tessit {

namespace {

// The length of the UTF-8 sequence at `index`, or 0 where the bytes there
// are none (overlong forms and surrogates included).
size_t sequenceLength(const std::string& text, size_t index, char32_t& codePoint)
{
    const unsigned char lead = static_cast<unsigned char>(text[index]);
    size_t length;
    char32_t smallest;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, smallest = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, smallest = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, smallest = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (index + length > text.size())
        return 0;
    for (size_t next = 1; next < length; ++next) {
        const unsigned char unit = static_cast<unsigned char>(text[index + next]);
        if ((unit & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (unit & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < smallest || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

void appendUtf16(std::u16string& text, char32_t codePoint)
{
    if (codePoint < 0x10000) {
        text.push_back(char16_t(codePoint));
        return;
    }
    codePoint -= 0x10000;
    text.push_back(char16_t(0xD800 + (codePoint >> 10)));
    text.push_back(char16_t(0xDC00 + (codePoint & 0x3FF)));
}

std::string printable(const std::u16string& run) { return utf8Of(printableEntryName(Kavo::KxString(run.c_str()))); }

} // namespace

std::string terminalText(const std::string& utf8)
{
    std::string shown;
    std::u16string run;
    for (size_t index = 0; index < utf8.size();) {
        char32_t codePoint = 0;
        const size_t length = sequenceLength(utf8, index, codePoint);
        if (length != 0) {
            appendUtf16(run, codePoint);
            index += length;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(static_cast<unsigned char>(utf8[index])));
        shown += printable(run) + escaped;
        run.clear();
        ++index;
    }
    return shown + printable(run);
}

std::string terminalLines(const std::string& utf8)
{
    std::string shown;
    size_t start = 0;
    for (size_t end; (end = utf8.find('\n', start)) != std::string::npos; start = end + 1)
        shown += terminalText(utf8.substr(start, end - start)) + '\n';
    return shown + terminalText(utf8.substr(start));
}

} // namespace Tessit
