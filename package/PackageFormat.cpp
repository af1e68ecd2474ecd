#include "package/PackageFormat.h"

#include <algorithm>

namespace Tessit {

const char16_t* const kLauncherFileName = u"Tessit.exe";

KxString PackageHeader::name(int32_t index) const
{
    const NameSlot& slot = names[size_t(index)];
    const auto end = std::find(slot.begin(), slot.end(), u'\0');
    return KxString(std::u16string(slot.begin(), end).c_str());
}

bool isLauncherEntry(const KxString& name) { return KxString(kLauncherFileName).equalsIgnoreCase(name); }

std::optional<DataArea> fitDataArea(const PackageHeader& header, const PackageLocation& location)
{
    int64_t allEntries = 0;
    int64_t withoutLauncher = 0;
    for (int32_t index = 0; index < header.count; ++index) {
        const NameSlot& slot = header.names[size_t(index)];
        if (header.sizes[size_t(index)] < 0 || std::find(slot.begin(), slot.end(), u'\0') == slot.end())
            return std::nullopt;
        allEntries += header.sizes[size_t(index)];
        if (!isLauncherEntry(header.name(index)))
            withoutLauncher += header.sizes[size_t(index)];
    }
    const int64_t dataStart = int64_t(location.headerOffset) + int64_t(headerBytes(header.count));
    const int64_t footerStart = int64_t(location.fileLength) - int64_t(location.certificateSize) -
                                int64_t(location.padding) - kFooterBytes;
    const int64_t room = footerStart - dataStart;
    if (allEntries == room)
        return DataArea{true, 0};
    if (withoutLauncher <= room)
        return DataArea{false, uint64_t(room - withoutLauncher)};
    return std::nullopt;
}

} // namespace Tessit
