#include "KxConversion.h"
#include "KxFoundation/KxArchive.h"
#include "KxFoundation/KxException.h"
#include "KxFoundation/KxStream.h"
#include "KxFoundation/KxString.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace Kavo {

namespace {

constexpr uint32_t kLargestCount = std::numeric_limits<uint16_t>::max();

int32_t clampedToInt32(std::size_t value)
{
    return static_cast<int32_t>(std::min<std::size_t>(value, std::numeric_limits<int32_t>::max()));
}

} // namespace

void KxString::writeToStream(KxStream& stream)
{
    const std::string narrow = toNarrow();
    // A longer form would read back as a different, shorter text.
    if (narrow.size() > kLargestCount)
        throw KxRangeException(u"KxString::writeToStream()",
                               KxRange{0, static_cast<int32_t>(kLargestCount), clampedToInt32(narrow.size())});
    stream.writeUInt16(static_cast<uint16_t>(narrow.size()));
    if (!narrow.empty())
        stream.write(narrow.data(), static_cast<uint32_t>(narrow.size()));
}

void KxString::readFromStream(KxStream& stream)
{
    uint16_t count = 0;
    stream.readUInt16(count);
    m_text.clear();
    if (count == 0)
        return;
    std::vector<char> bytes(count + 1u, '\0');
    stream.read(bytes.data(), count);
    assignNarrow(bytes.data(), _kx_conversion_locale());
}

void KxString::writeToArchive(KxArchive& archive)
{
    if (auto* treed = dynamic_cast<KxTreedArchive*>(&archive)) {
        treed->writeStringItem(2, this);
        return;
    }
    const std::string narrow = toNarrow();
    const auto head = static_cast<uint32_t>(std::min<std::size_t>(narrow.size(), kLargestCount));
    archive.writeUInt16(1, static_cast<uint16_t>(head), KxString());
    if (head > 0)
        archive.writeBytes(2, narrow.data(), head, KxString());
    if (narrow.size() > kLargestCount)
        archive.writeBytes(3, narrow.data() + head, static_cast<uint32_t>(narrow.size() - head), KxString());
}

void KxString::readFromArchive(KxArchive& archive)
{
    if (auto* treed = dynamic_cast<KxTreedArchive*>(&archive)) {
        const KxString* item = treed->readStringItem();
        if (item == nullptr)
            m_text.clear();
        else if (item != this)
            m_text = item->m_text;
        return;
    }
    m_text.clear();
    uint16_t head = 0;
    archive.readUInt16(1, &head, KxString());
    uint32_t tail = 0;
    archive.itemSize(3, 0, tail);
    std::vector<char> bytes(std::size_t(head) + tail + 1, '\0');
    if (head > 0)
        archive.readBytes(2, bytes.data(), head, KxString());
    if (tail > 0)
        archive.readBytes(3, bytes.data() + head, tail, KxString());
    assignNarrow(bytes.data(), _kx_conversion_locale());
}

void KxException::writeToStream(KxStream& stream)
{
    where.writeToStream(stream);
    stream.writeUInt32(static_cast<uint32_t>(code));
}

void KxException::readFromStream(KxStream& stream)
{
    where.readFromStream(stream);
    uint32_t value = 0;
    stream.readUInt32(value);
    code = static_cast<int32_t>(value);
}

void KxException::writeToArchive(KxArchive& archive)
{
    archive.writeString(1, where, KxString());
    archive.writeInt32(2, code, KxString());
}

void KxException::readFromArchive(KxArchive& archive)
{
    archive.readString(1, &where, KxString());
    archive.readInt32(2, &code, KxString());
}

} // namespace Kavo
