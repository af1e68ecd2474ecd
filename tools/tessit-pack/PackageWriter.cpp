#include "tools/tessit-pack/PackageWriter.h"

#include "KxFoundation/KxFile.h"
#include "package/LittleEndian.h"
#include "package/PackageFormat.h"
#include "package/PeImage.h"
#include "tools/tessit-pack/PackError.h"
#include "tools/tessit-pack/PathText.h"
#include "tools/tessit-pack/Progress.h"
#include "tools/tessit-pack/Runnable.h"
#include "tools/tessit-pack/ToolPlatform.h"

#include <algorithm>
#include <random>
#include <vector>

namespace Tessit {

namespace fs = std::filesystem;
using Kavo::KxFile;

namespace {

constexpr uint32_t kStreamBytes = 1 << 20;
constexpr uint32_t kHeadBytes = 64 * 1024;

std::string named(const fs::path& path) { return utf8Of(path) + ": "; }

void openForReading(KxFile& file, const fs::path& path)
{
    if (!file.open(textOf(path), false))
        throw PackError(named(path) + "cannot be opened");
}

std::vector<uint8_t> readHead(const fs::path& path)
{
    KxFile file;
    openForReading(file, path);
    std::vector<uint8_t> head(kHeadBytes);
    const int32_t count = file.read(head.data(), kHeadBytes);
    head.resize(size_t(std::max(count, 0)));
    return head;
}

// The package the launcher's own locator finds in `file`.
OpenResult locate(const fs::path& file, PackageHeader& header)
{
    ToolPlatform platform(u".");
    KxString log;
    KxFile package;
    return OpenPackage(platform, textOf(file), log, package, header);
}

std::optional<uint32_t> existingPackageAt(const fs::path& launcher)
{
    PackageHeader header;
    const OpenResult result = locate(launcher, header);
    if (result.outcome != OpenOutcome::Opened)
        return std::nullopt;
    return result.location.headerOffset;
}

// Writes everything it is given, or fails.
class Output {
public:
    explicit Output(const fs::path& target) : m_path(temporaryBeside(target))
    {
        if (!m_file.create(textOf(m_path)))
            throw PackError(named(target) + "cannot write beside it");
    }
    ~Output()
    {
        if (m_path.empty())
            return;
        m_file.close();
        std::error_code ignored;
        fs::remove(m_path, ignored);
    }

    // The device writes while the next block is copied, so the flush in
    // commit() has little left to wait for.
    void write(const uint8_t* bytes, uint32_t count)
    {
        if (m_file.write(bytes, count) != int32_t(count))
            throw PackError(named(m_path) + "write failed");
        m_file.startWriteback();
    }

    // Forces the file to disk and closes it; it stays under its temporary name.
    const fs::path& finish()
    {
        if (m_file.flush() != 0)
            throw PackError(named(m_path) + "cannot be forced to disk");
        m_file.close();
        return m_path;
    }

    void commit(const fs::path& target)
    {
        markRunnable(m_path);
        fs::rename(m_path, target);
        m_path.clear();
    }

private:
    static fs::path temporaryBeside(const fs::path& target)
    {
        std::random_device random;
        fs::path name = target.filename();
        name += ".tessit-pack-" + std::to_string(random()) + ".tmp";
        return target.parent_path() / name;
    }

    fs::path m_path;
    KxFile m_file;
};

// Copies `count` bytes of `source` from its current position.
void stream(KxFile& source, const fs::path& sourcePath, uint64_t count, Output& output, std::vector<uint8_t>& buffer,
            Progress& progress, const std::optional<uint64_t>& clearedAt = std::nullopt)
{
    uint64_t done = 0;
    while (done < count) {
        const uint32_t wanted = uint32_t(std::min<uint64_t>(count - done, buffer.size()));
        const int32_t delivered = source.read(buffer.data(), wanted);
        if (delivered <= 0)
            throw PackError(named(sourcePath) + "changed or could not be read while it was packed");
        if (clearedAt && *clearedAt >= done && *clearedAt < done + uint64_t(delivered))
            std::fill_n(buffer.begin() + ptrdiff_t(*clearedAt - done),
                        std::min<uint64_t>(8, done + uint64_t(delivered) - *clearedAt), 0);
        output.write(buffer.data(), uint32_t(delivered));
        done += uint64_t(delivered);
        progress.advance(uint64_t(delivered));
    }
}

PackageHeader headerFor(int32_t oemId, const std::vector<PackEntry>& entries)
{
    PackageHeader header;
    header.oemId = oemId;
    header.count = int32_t(entries.size());
    for (const PackEntry& entry : entries) {
        header.sizes.push_back(int32_t(entry.size));
        NameSlot slot{};
        std::copy_n(entry.name.c_str(), entry.name.length(), slot.begin());
        header.names.push_back(slot);
    }
    return header;
}

std::vector<uint8_t> bytesOf(const PackageHeader& header)
{
    const size_t count = size_t(header.count);
    std::vector<uint8_t> bytes(headerBytes(header.count), 0);
    writeLittleEndian32(&bytes[0], uint32_t(header.oemId));
    writeLittleEndian32(&bytes[4], uint32_t(header.count));
    for (size_t index = 0; index < count; ++index) {
        writeLittleEndian32(&bytes[kHeaderFixedBytes + 4 * index], uint32_t(header.sizes[index]));
        uint8_t* slot = &bytes[kHeaderFixedBytes + 4 * count + kNameSlotBytes * index];
        for (size_t unit = 0; unit < kNameSlotUnits; ++unit) {
            slot[2 * unit] = uint8_t(header.names[index][unit]);
            slot[2 * unit + 1] = uint8_t(header.names[index][unit] >> 8);
        }
    }
    return bytes;
}

// The launcher ported to Linux is an ELF file; it carries its package the
// same way, without a certificate table.
bool isElf(const std::vector<uint8_t>& head)
{
    static const uint8_t kElfMagic[] = {0x7F, 'E', 'L', 'F'};
    return head.size() >= sizeof kElfMagic && std::equal(std::begin(kElfMagic), std::end(kElfMagic), head.begin());
}

} // namespace

LauncherImage prepareLauncher(const fs::path& launcher, bool stripSignature, bool replacePackage)
{
    const std::vector<uint8_t> head = readHead(launcher);
    const std::optional<SecurityDirectory> directory = readSecurityDirectory(head.data(), head.size());
    if (!directory && !isElf(head))
        throw PackError(named(launcher) + "not an executable (neither PE nor ELF)");
    LauncherImage image{launcher, fs::file_size(launcher), std::nullopt};
    if (directory && directory->isSigned()) {
        if (!stripSignature)
            throw PackError(named(launcher) + "already signed; sign after packing, or pass --strip-signature");
        if (uint64_t(directory->tableOffset) + directory->tableSize != image.end)
            throw PackError(named(launcher) + "its certificate table does not end the file");
        image.clearedDirectoryAt = directory->entryOffset;
    }
    if (const std::optional<uint32_t> packageAt = existingPackageAt(launcher)) {
        if (!replacePackage)
            throw PackError(named(launcher) + "already carries a package; pass --replace to replace it");
        image.end = *packageAt;
    } else if (image.clearedDirectoryAt) {
        image.end = directory->tableOffset;
    }
    if (image.end > UINT32_MAX)
        throw PackError(named(launcher) + "too large: the package header would start beyond 4 GiB");
    return image;
}

void writePackage(const LauncherImage& launcher, int32_t oemId, const std::vector<PackEntry>& entries,
                  const fs::path& output)
{
    uint64_t total = launcher.end;
    for (const PackEntry& entry : entries)
        total += entry.size;
    Progress progress(total);
    std::vector<uint8_t> buffer(kStreamBytes);
    Output file(output);

    KxFile image;
    openForReading(image, launcher.path);
    stream(image, launcher.path, launcher.end, file, buffer, progress, launcher.clearedDirectoryAt);
    image.close();

    const PackageHeader header = headerFor(oemId, entries);
    const std::vector<uint8_t> headerBytes = bytesOf(header);
    file.write(headerBytes.data(), uint32_t(headerBytes.size()));
    for (const PackEntry& entry : entries) {
        KxFile source;
        openForReading(source, entry.source);
        stream(source, entry.source, entry.size, file, buffer, progress);
        uint8_t extra = 0;
        if (source.read(&extra, 1) != 0)
            throw PackError(named(entry.source) + "changed while it was packed");
    }

    uint8_t footer[kFooterBytes];
    writeLittleEndian32(footer, PACKAGE_MAGIC);
    writeLittleEndian32(footer + 4, uint32_t(launcher.end));
    file.write(footer, kFooterBytes);
    confirmReadsBack(file.finish(), uint32_t(launcher.end), header);
    file.commit(output);
}

void confirmReadsBack(const fs::path& file, uint32_t headerOffset, const PackageHeader& written)
{
    PackageHeader found;
    const OpenResult result = locate(file, found);
    if (result.outcome != OpenOutcome::Opened || result.location.headerOffset != headerOffset ||
        found.oemId != written.oemId || found.sizes != written.sizes || found.names != written.names)
        throw PackError(named(file) + "the launcher would not find the package as it was written");
}

} // namespace Tessit
