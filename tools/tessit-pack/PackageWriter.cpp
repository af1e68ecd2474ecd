#include "PackageWriter.h"

#include "AtomicOutput.h"
#include "InputFile.h"
#include "LocatePackage.h"
#include "PackError.h"
#include "PathText.h"
#include "Progress.h"
#include "KxFoundation/KxFile.h"
#include "package/PackageCodec.h"

#include <algorithm>
#include <functional>

namespace Tessit {

namespace fs = std::filesystem;
using Kavo::KxFile;

namespace {

constexpr uint32_t kStreamBytes = 1 << 20;

// Changes a block read from offset `offset` of its source before it is written.
using BlockEdit = std::function<void(uint8_t* bytes, uint64_t offset, uint64_t count)>;

// Copies `count` bytes of `source` from its current position.
void copy(KxFile& source, const fs::path& sourcePath, uint64_t count, AtomicOutput& output,
          std::vector<uint8_t>& buffer, Progress& progress, const BlockEdit& edit = BlockEdit())
{
    uint64_t done = 0;
    while (done < count) {
        const uint32_t wanted = uint32_t(std::min<uint64_t>(count - done, buffer.size()));
        const int32_t delivered = source.read(buffer.data(), wanted);
        if (delivered <= 0)
            throw PackError(sourcePath, "changed or could not be read while it was packed");
        if (edit)
            edit(buffer.data(), done, uint64_t(delivered));
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

} // namespace

void checkOutput(const LauncherImage& launcher, const std::vector<PackEntry>& entries, const fs::path& output)
{
    const fs::path folder = output.has_parent_path() ? output.parent_path() : fs::path(".");
    std::error_code error;
    if (!fs::is_directory(folder, error))
        throw PackError(folder, "no such folder to write the output into");
    const auto isOutput = [&](const fs::path& input) { return fs::equivalent(input, output, error); };
    if (isOutput(launcher.path))
        throw PackError(output, "is the launcher itself; the output would destroy it");
    for (const PackEntry& entry : entries)
        if (isOutput(entry.source))
            throw PackError(output, "is the file of entry '" + utf8Of(entry.name) + "'; the output would destroy it");
    uint64_t total = launcher.end + headerBytes(int32_t(entries.size())) + kFooterBytes;
    for (const PackEntry& entry : entries)
        total += entry.size;
    if (launcher.rules == NameRules::Windows && total > kLargestWindowsPackage)
        throw PackError(output, "would hold " + std::to_string(total) + " bytes; a Windows launcher with its package holds at most " +
                                    std::to_string(kLargestWindowsPackage) +
                                    " (4 GiB less 8 bytes): its offsets are 32-bit, and no signer signs a larger file");
}

void writePackage(const LauncherImage& launcher, int32_t oemId, const std::vector<PackEntry>& entries,
                  const fs::path& output)
{
    uint64_t total = launcher.end;
    for (const PackEntry& entry : entries)
        total += entry.size;
    Progress progress(total);
    std::vector<uint8_t> buffer(kStreamBytes);
    AtomicOutput file(output);

    KxFile image;
    openForReading(image, launcher.path);
    copy(image, launcher.path, launcher.end, file, buffer, progress,
         [&launcher](uint8_t* bytes, uint64_t offset, uint64_t count) {
             launcher.clearSignatureEntry(bytes, offset, count);
         });
    image.close();

    const PackageHeader header = headerFor(oemId, entries);
    const std::vector<uint8_t> headerBytes = encodeHeader(header);
    file.write(headerBytes.data(), uint32_t(headerBytes.size()));
    for (const PackEntry& entry : entries) {
        KxFile source;
        openForReading(source, entry.source);
        copy(source, entry.source, entry.size, file, buffer, progress);
        uint8_t extra = 0;
        if (source.read(&extra, 1) != 0)
            throw PackError(entry.source, "changed while it was packed");
    }

    const FooterBytes footer = encodeFooter(uint32_t(launcher.end));
    file.write(footer.data(), uint32_t(footer.size()));
    confirmReadsBack(file.finish(), uint32_t(launcher.end), header);
    file.commit();
}

void confirmReadsBack(const fs::path& file, uint32_t headerOffset, const PackageHeader& written)
{
    PackageHeader found;
    const OpenResult result = locatePackage(file, found);
    if (result.outcome != OpenOutcome::Opened || result.location.headerOffset != headerOffset ||
        found.oemId != written.oemId || found.sizes != written.sizes || found.names != written.names)
        throw PackError(file, "the launcher would not find the package as it was written");
}

} // namespace Tessit
