#include "LauncherImage.h"

#include "InputFile.h"
#include "LocatePackage.h"
#include "PackError.h"
#include "KxFoundation/KxFile.h"
#include "package/PeImage.h"

#include <algorithm>
#include <vector>

namespace Tessit {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kHeadBytes = 64 * 1024;
constexpr uint64_t kDirectoryEntryBytes = 8;

std::vector<uint8_t> readHead(const fs::path& path)
{
    Kavo::KxFile file;
    openForReading(file, path);
    std::vector<uint8_t> head(kHeadBytes);
    const int32_t count = file.read(head.data(), kHeadBytes);
    head.resize(size_t(std::max(count, 0)));
    return head;
}

// The launcher ported to Linux is an ELF file; it carries its package the
// same way, without a certificate table.
bool isElf(const std::vector<uint8_t>& head)
{
    static const uint8_t kElfMagic[] = {0x7F, 'E', 'L', 'F'};
    return head.size() >= sizeof kElfMagic && std::equal(std::begin(kElfMagic), std::end(kElfMagic), head.begin());
}

std::optional<uint32_t> existingPackageAt(const fs::path& launcher)
{
    PackageHeader header;
    const OpenResult result = locatePackage(launcher, header);
    if (result.outcome != OpenOutcome::Opened)
        return std::nullopt;
    return result.location.headerOffset;
}

} // namespace

void LauncherImage::clearSignatureEntry(uint8_t* bytes, uint64_t offset, uint64_t count) const
{
    if (clearedDirectoryAt && *clearedDirectoryAt >= offset && *clearedDirectoryAt < offset + count)
        std::fill_n(bytes + (*clearedDirectoryAt - offset),
                    std::min(kDirectoryEntryBytes, offset + count - *clearedDirectoryAt), 0);
}

LauncherImage prepareLauncher(const fs::path& launcher, bool stripSignature, bool replacePackage)
{
    const std::vector<uint8_t> head = readHead(launcher);
    const std::optional<SecurityDirectory> directory = readSecurityDirectory(head.data(), head.size());
    if (!directory && !isElf(head))
        throw PackError(launcher, "not an executable (neither PE nor ELF)");
    LauncherImage image{launcher, fs::file_size(launcher), std::nullopt, directory ? NameRules::Windows : NameRules::Posix};
    if (directory && directory->isSigned()) {
        if (!stripSignature)
            throw PackError(launcher, "already signed; sign after packing, or pass --strip-signature");
        if (uint64_t(directory->tableOffset) + directory->tableSize != image.end)
            throw PackError(launcher, "its certificate table does not end the file");
        image.clearedDirectoryAt = directory->entryOffset;
    }
    if (const std::optional<uint32_t> packageAt = existingPackageAt(launcher)) {
        if (!replacePackage)
            throw PackError(launcher, "already carries a package; pass --replace to replace it");
        image.end = *packageAt;
    } else if (image.clearedDirectoryAt) {
        image.end = directory->tableOffset;
    }
    if (image.end > UINT32_MAX)
        throw PackError(launcher, "too large: the package header would start beyond 4 GiB");
    return image;
}

} // namespace Tessit
