#include "package/PackageFormat.h"

#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxPath.h"

#include <algorithm>
#include <vector>

namespace Tessit {

using Kavo::KxFile;

namespace {

constexpr int kFromCurrent = 1;

class Extraction {
public:
    Extraction(KxFile& packageFile, const KxString& targetFolder, KxString& log)
        : m_package(packageFile), m_targetFolder(targetFolder), m_log(log), m_buffer(COPY_CHUNK_SIZE, 0)
    {
    }

    EntryOutcome extract(int32_t number, const KxString& name, int32_t size, bool launcherEntriesCarryData);

    KxString lastTarget;

private:
    void makeFolderFor(const KxString& name);
    EntryOutcome copy(const KxString& target, int32_t size);
    void passOver(int64_t count) { m_package.seek(count, kFromCurrent); }

    KxFile& m_package;
    const KxString& m_targetFolder;
    KxString& m_log;
    std::vector<uint8_t> m_buffer;
};

// A negative size gives no count to copy and no way to the next entry.
EntryOutcome Extraction::extract(int32_t number, const KxString& name, int32_t size, bool launcherEntriesCarryData)
{
    const int64_t storedBytes = std::max(size, 0);
    if (isLauncherEntry(name)) {
        if (launcherEntriesCarryData)
            passOver(storedBytes);
        return EntryOutcome::SkippedLauncher;
    }
    if (isUnsafeEntryName(name)) {
        m_log.appendFormat(u"skip unsafe name: [%@]\n", &name);
        passOver(storedBytes);
        return EntryOutcome::SkippedUnsafe;
    }
    lastTarget.format(u"%@%S", &m_targetFolder, name.c_str());
    if (size < 0)
        return EntryOutcome::Damaged;
    makeFolderFor(name);
    m_log.appendFormat(u"File%02d : %@(%d)\n", number, &lastTarget, size);
    return copy(lastTarget, size);
}

// Folder creation may fail; the target's creation then fails too.
void Extraction::makeFolderFor(const KxString& name)
{
    KxString folder(name);
    Kavo::removeLastPathComponent(folder);
    if (folder == name || Kavo::fileExists(m_targetFolder + folder))
        return;
    m_log.appendFormat(u"make folder: [%@]\n", &folder);
    Kavo::createDirectories(m_targetFolder + folder);
}

// A write may take only part of a block (a filling device takes what room
// is left); the rest is offered again until the target refuses it.
bool writeAll(KxFile& output, const uint8_t* bytes, int32_t count)
{
    while (count > 0) {
        const int32_t written = output.write(bytes, uint32_t(count));
        if (written <= 0)
            return false;
        bytes += written;
        count -= written;
    }
    return true;
}

// Whatever happens to the target, the package is left at the next entry.
// Each chunk is sent on to the device as soon as it is written, so the
// device writes while the next chunk is copied and the final flush, which
// decides whether the file came out whole, has little left to wait for.
EntryOutcome Extraction::copy(const KxString& target, int32_t size)
{
    KxFile output;
    if (!output.create(target)) {
        passOver(size);
        return EntryOutcome::NotCreated;
    }
    int64_t unread = size;
    bool allWritten = true;
    while (unread > 0 && allWritten) {
        const uint32_t wanted = uint32_t(std::min<int64_t>(unread, COPY_CHUNK_SIZE));
        const int32_t delivered = m_package.read(m_buffer.data(), wanted);
        if (delivered <= 0)
            break;
        unread -= delivered;
        allWritten = writeAll(output, m_buffer.data(), delivered);
        output.startWriteback();
    }
    if (unread > 0)
        passOver(unread);
    if (unread > 0 || !allWritten || output.flush() != 0)
        return EntryOutcome::Damaged;
    return EntryOutcome::Written;
}

} // namespace

ExtractionReport ExtractEntries(PackagePlatform& platform, KxFile& packageFile, const PackageHeader& header,
                                const KxString& targetFolder, KxString& log)
{
    ExtractionReport report;
    Extraction extraction(packageFile, targetFolder, log);
    for (int32_t index = 0; index < header.count; ++index) {
        const KxString name = header.name(index);
        const EntryOutcome outcome =
            extraction.extract(index + 1, name, header.sizes[size_t(index)], header.launcherEntriesCarryData);
        if (outcome == EntryOutcome::Damaged) {
            const KxString& target = extraction.lastTarget;
            log.appendFormat(u"damaged: [%@]\n", &target);
            if (!report.damaged())
                report.firstDamagedTarget = target;
        }
        report.entries.push_back(outcome);
    }
    packageFile.close();
    platform.debugOutput(u"zipFile Closed...\n");
    return report;
}

} // namespace Tessit
