#include "package/PackageExtraction.h"

#include "texts/LauncherTexts.h"

#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxFolder.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/KxReplacement.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Tessit {

using Kavo::KxFile;
using Kavo::KxFolder;

namespace {

// An entry is written as `<target>.tessit-<8 hex digits>` first.
const KxString kPartKind(u".tessit-");

class Extraction {
public:
    Extraction(Package& package, const KxString& targetFolder, KxString& log)
        : m_package(package), m_next(package.dataOffset()), m_targetFolder(targetFolder), m_log(log),
          m_buffer(COPY_CHUNK_SIZE, 0)
    {
        m_root.open(targetFolder);
    }

    EntryOutcome extract(int32_t number, const KxString& name, int32_t size, bool launcherEntriesCarryData,
                         const HeldEntryTest& isHeld, std::unique_ptr<KxFile>& held);

    KxString lastTarget;
    KxString lastPath; // where the last entry goes below the target folder

private:
    const KxFolder* openFolderFor(const KxString& name, const EntryPath& path, KxFolder& level);
    EntryOutcome copy(const KxFolder& folder, const KxString& file, int32_t size);
    void removeLeftoversIn(const KxFolder& folder, const EntryPath& path);
    bool writeEntry(KxFile& output, int32_t size);
    bool matchesPackage(KxFile& held, int32_t size);
    void passOver(int64_t count) { m_next += uint64_t(count); }

    Package& m_package;
    uint64_t m_next; // where the next entry's bytes start
    const KxString& m_targetFolder;
    KxFolder m_root;
    KxString& m_log;
    std::vector<uint8_t> m_buffer;
    std::vector<uint8_t> m_heldBuffer;
    std::vector<KxString> m_clearedFolders;
};

// A negative size gives no count to copy and no way to the next entry. An
// entry that is held stays open from the end of its copy (KxFile::openHeldIn).
EntryOutcome Extraction::extract(int32_t number, const KxString& name, int32_t size, bool launcherEntriesCarryData,
                                 const HeldEntryTest& isHeld, std::unique_ptr<KxFile>& held)
{
    const int64_t storedBytes = std::max(size, 0);
    lastPath = KxString();
    if (isLauncherEntry(name)) {
        if (launcherEntriesCarryData)
            passOver(storedBytes);
        return EntryOutcome::SkippedLauncher;
    }
    const std::optional<EntryPath> path = resolveEntryName(name);
    if (!path) {
        const KxString shown = printableEntryName(name);
        m_log.appendFormat(kLogUnsafeName, &shown);
        passOver(storedBytes);
        return EntryOutcome::SkippedUnsafe;
    }
    lastTarget.format(u"%@%S", &m_targetFolder, name.c_str());
    lastPath = path->relative();
    if (size < 0)
        return EntryOutcome::Damaged;
    KxFolder level;
    const KxFolder* const folder = openFolderFor(name, *path, level);
    const KxString shownTarget = printableEntryName(lastTarget);
    m_log.appendFormat(kLogEntry, number, &shownTarget, size);
    if (!folder) {
        passOver(size);
        return EntryOutcome::NotCreated;
    }
    removeLeftoversIn(*folder, *path);
    const EntryOutcome outcome = copy(*folder, path->file, size);
    if (outcome != EntryOutcome::Written || !isHeld || !isHeld(lastPath))
        return outcome;
    held = std::make_unique<KxFile>();
    return held->openHeldIn(*folder, path->file) && matchesPackage(*held, size) ? outcome : EntryOutcome::Damaged;
}

// Each level of the entry's folder is a real folder below the target
// folder, opened from the one above it: a level that is a link or reparse
// point would lead the entry elsewhere, so it counts as one that cannot be
// made. Levels are made where a backslash ends them, as createDirectories
// makes them. The log tells of a folder to make only when nothing has its
// name: a file in its place is not made into one. The entry's folder, held
// in `level` when it is not the target folder itself; nothing when a level
// cannot be opened or made.
const KxFolder* Extraction::openFolderFor(const KxString& name, const EntryPath& path, KxFolder& level)
{
    const KxFolder* current = &m_root;
    bool told = false;
    for (const EntryLevel& step : path.folders) {
        const Kavo::KxFolderEntry found = current->entry(step.name);
        if (found != Kavo::KxFolderEntry::Folder && !told) {
            KxString folderPart(name);
            Kavo::removeLastPathComponent(folderPart);
            if (!Kavo::fileExists(m_targetFolder + folderPart)) {
                const KxString shownFolder = printableEntryName(folderPart);
                m_log.appendFormat(kLogMakeFolder, &shownFolder);
            }
            told = true;
        }
        if (found == Kavo::KxFolderEntry::Other ||
            (found == Kavo::KxFolderEntry::Missing && (!step.madeWhenMissing || !current->makeLevel(step.name))))
            return nullptr;
        KxFolder next;
        if (!next.openLevel(*current, step.name))
            return nullptr;
        level = std::move(next);
        current = &level;
    }
    return current;
}

// The entry is written whole under a name of its own beside the target and
// then takes the target's name. So nothing is ever written through a link
// or into a file that is running, and a damaged entry leaves the target as
// it was and nothing half-written behind.
EntryOutcome Extraction::copy(const KxFolder& folder, const KxString& file, int32_t size)
{
    Kavo::KxReplacement part(folder, file, kPartKind, Kavo::KxReplacementAccess::UserRunnable);
    if (!part.create()) {
        passOver(size);
        return EntryOutcome::NotCreated;
    }
    const bool whole = writeEntry(part.file(), size) && part.finish();
    if (whole && part.commit())
        return EntryOutcome::Written;
    return whole ? EntryOutcome::NotCreated : EntryOutcome::Damaged;
}

// A run killed while it wrote an entry left its part behind; each folder an
// entry goes to is cleared of such parts once, before its first entry.
void Extraction::removeLeftoversIn(const KxFolder& folder, const EntryPath& path)
{
    const KxString folderPath = path.relative().substring(0, path.relative().length() - path.file.length());
    const auto cleared = [&](const KxString& done) { return sameEntryPath(done, folderPath); };
    if (std::any_of(m_clearedFolders.begin(), m_clearedFolders.end(), cleared))
        return;
    Kavo::removeReplacementLeftovers(folder, kPartKind);
    m_clearedFolders.push_back(folderPath);
}

// Whatever happens to the output, the next entry is read from its own bytes.
// Each chunk is sent on to the device as soon as it is written, so the
// device writes while the next chunk is copied and the final flush, which
// decides whether the file came out whole, has little left to wait for.
bool Extraction::writeEntry(KxFile& output, int32_t size)
{
    int64_t unread = size;
    bool allWritten = true;
    while (unread > 0 && allWritten) {
        const uint32_t wanted = uint32_t(std::min<int64_t>(unread, COPY_CHUNK_SIZE));
        if (!m_package.readAt(m_next, m_buffer.data(), wanted))
            break;
        passOver(wanted);
        unread -= wanted;
        allWritten = output.writeAll(m_buffer.data(), wanted);
        output.startWriteback();
    }
    if (unread > 0)
        passOver(unread);
    return unread == 0 && allWritten;
}

// Between the copy and the hold another process could have put other bytes
// under the target's name: what is held is read back and compared with the
// entry in the package, which is left at the next entry again.
bool Extraction::matchesPackage(KxFile& held, int32_t size)
{
    const uint64_t entryStart = m_next - uint64_t(size);
    m_heldBuffer.resize(COPY_CHUNK_SIZE);
    for (uint64_t checked = 0; checked < uint64_t(size);) {
        const uint32_t count = uint32_t(std::min<uint64_t>(uint64_t(size) - checked, COPY_CHUNK_SIZE));
        if (!m_package.readAt(entryStart + checked, m_buffer.data(), count) ||
            !held.readExactlyAt(checked, m_heldBuffer.data(), count) ||
            std::memcmp(m_buffer.data(), m_heldBuffer.data(), count) != 0)
            return false;
        checked += count;
    }
    return held.length() == int64_t(size);
}

// The entries held so far, by the path they were written to.
class HeldEntries {
public:
    explicit HeldEntries(std::vector<std::unique_ptr<KxFile>>& files) : m_files(files) {}

    void add(const KxString& path, std::unique_ptr<KxFile> file)
    {
        m_paths.push_back(path);
        m_files.push_back(std::move(file));
    }

    // Gives up the hold on an earlier entry written to the same file, which
    // would keep the later entry from replacing it. True when there was one.
    bool release(const KxString& path)
    {
        for (size_t index = 0; index < m_paths.size(); ++index) {
            if (!sameEntryPath(m_paths[index], path))
                continue;
            m_paths.erase(m_paths.begin() + std::ptrdiff_t(index));
            m_files.erase(m_files.begin() + std::ptrdiff_t(index));
            return true;
        }
        return false;
    }

private:
    std::vector<KxString> m_paths;
    std::vector<std::unique_ptr<KxFile>>& m_files;
};

} // namespace

bool ExtractionReport::wrote(const KxString& name) const
{
    const std::optional<EntryPath> path = resolveEntryName(name);
    return path && std::any_of(writtenPaths.begin(), writtenPaths.end(), [&](const KxString& written) {
               return written.length() != 0 && sameEntryPath(written, path->relative());
           });
}

ExtractionReport ExtractEntries(Package& package, const KxString& targetFolder, KxString& log,
                                const HeldEntryTest& isHeld)
{
    const PackageHeader& header = package.header();
    ExtractionReport report;
    Extraction extraction(package, targetFolder, log);
    HeldEntries heldEntries(report.heldEntries);
    for (int32_t index = 0; index < header.count; ++index) {
        const KxString name = header.name(index);
        std::unique_ptr<KxFile> held;
        // The later of two entries written to one file wins. Once the
        // earlier one is no longer held, a target the later one did not
        // replace holds bytes nothing has checked: it counts as damaged.
        const std::optional<EntryPath> path = isLauncherEntry(name) ? std::nullopt : resolveEntryName(name);
        const bool replacesHeld = path && heldEntries.release(path->relative());
        EntryOutcome outcome = extraction.extract(index + 1, name, header.sizes[size_t(index)],
                                                  header.launcherEntriesCarryData, isHeld, held);
        if (replacesHeld && outcome == EntryOutcome::NotCreated)
            outcome = EntryOutcome::Damaged;
        if (outcome == EntryOutcome::Damaged) {
            const KxString& target = extraction.lastTarget;
            const KxString shownTarget = printableEntryName(target);
            log.appendFormat(kLogDamaged, &shownTarget);
            if (!report.damaged())
                report.firstDamagedTarget = target;
        }
        if (held && held->isOpen())
            heldEntries.add(extraction.lastPath, std::move(held));
        report.entries.push_back(outcome);
        report.writtenPaths.push_back(outcome == EntryOutcome::Written ? extraction.lastPath : KxString());
    }
    package.close();
    return report;
}

} // namespace Tessit
