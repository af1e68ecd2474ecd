#include "package/LauncherTexts.h"
#include "package/PackageFormat.h"

#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/KxReplacement.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Tessit {

using Kavo::KxFile;

namespace {

// An entry is written as `<target>.tessit-<8 hex digits>` first.
const KxString kPartKind(u".tessit-");

bool isSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

class Extraction {
public:
    Extraction(Package& package, const KxString& targetFolder, KxString& log)
        : m_package(package), m_next(package.dataOffset()), m_targetFolder(targetFolder), m_log(log),
          m_buffer(COPY_CHUNK_SIZE, 0)
    {
    }

    EntryOutcome extract(int32_t number, const KxString& name, int32_t size, bool launcherEntriesCarryData,
                         std::unique_ptr<KxFile>* held);

    KxString lastTarget;

private:
    bool makeFolderFor(const KxString& name);
    EntryOutcome copy(const KxString& target, int32_t size);
    void removeLeftoversBeside(const KxString& target);
    bool writeEntry(KxFile& output, int32_t size);
    bool matchesPackage(KxFile& held, int32_t size);
    void passOver(int64_t count) { m_next += uint64_t(count); }

    Package& m_package;
    uint64_t m_next; // where the next entry's bytes start
    const KxString& m_targetFolder;
    KxString& m_log;
    std::vector<uint8_t> m_buffer;
    std::vector<uint8_t> m_heldBuffer;
    std::vector<KxString> m_clearedFolders;
};

// A negative size gives no count to copy and no way to the next entry. An
// entry that is `held` stays open from the end of its copy (KxFile::openHeld).
EntryOutcome Extraction::extract(int32_t number, const KxString& name, int32_t size, bool launcherEntriesCarryData,
                                 std::unique_ptr<KxFile>* held)
{
    const int64_t storedBytes = std::max(size, 0);
    if (isLauncherEntry(name)) {
        if (launcherEntriesCarryData)
            passOver(storedBytes);
        return EntryOutcome::SkippedLauncher;
    }
    if (isUnsafeEntryName(name)) {
        const KxString shown = printableEntryName(name);
        m_log.appendFormat(kLogUnsafeName, &shown);
        passOver(storedBytes);
        return EntryOutcome::SkippedUnsafe;
    }
    lastTarget.format(u"%@%S", &m_targetFolder, name.c_str());
    if (size < 0)
        return EntryOutcome::Damaged;
    const bool folderMade = makeFolderFor(name);
    const KxString shownTarget = printableEntryName(lastTarget);
    m_log.appendFormat(kLogEntry, number, &shownTarget, size);
    if (!folderMade) {
        passOver(size);
        return EntryOutcome::NotCreated;
    }
    const EntryOutcome outcome = copy(lastTarget, size);
    if (outcome != EntryOutcome::Written || !held)
        return outcome;
    *held = std::make_unique<KxFile>();
    return (*held)->openHeld(lastTarget) && matchesPackage(**held, size) ? outcome : EntryOutcome::Damaged;
}

// Every level of the entry's folder is a real folder below the target
// folder: one that exists as a link or reparse point would lead the entry
// elsewhere, so it counts as a level that cannot be made. Levels are made
// where a backslash ends them, as createDirectories makes them. The log
// tells of a folder to make only when nothing has its name: a file in its
// place is not made into one.
bool Extraction::makeFolderFor(const KxString& name)
{
    KxString folder(name);
    Kavo::removeLastPathComponent(folder);
    if (folder == name)
        return true;
    const std::u16string units(folder.c_str(), folder.length());
    bool checked = false;
    for (size_t end = 1; end <= units.size(); ++end) {
        if (end < units.size() && !isSeparator(units[end]))
            continue;
        const KxString level = m_targetFolder + units.substr(0, end).c_str();
        if (Kavo::isRealDirectory(level))
            continue;
        if (!checked && !Kavo::fileExists(m_targetFolder + folder)) {
            const KxString shownFolder = printableEntryName(folder);
            m_log.appendFormat(kLogMakeFolder, &shownFolder);
        }
        checked = true;
        const bool madeHere = end == units.size() || units[end] == u'\\';
        if (!madeHere || Kavo::nameExists(level) || !Kavo::createDirectory(level))
            return false;
    }
    return true;
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

// The entry is written whole under a name of its own beside the target and
// then takes the target's name. So nothing is ever written through a link
// or into a file that is running, and a damaged entry leaves the target as
// it was and nothing half-written behind.
EntryOutcome Extraction::copy(const KxString& target, int32_t size)
{
    removeLeftoversBeside(target);
    Kavo::KxReplacement part(target, kPartKind, Kavo::KxReplacementAccess::UserRunnable);
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
// entry goes to is cleared of such parts once, before the first entry.
void Extraction::removeLeftoversBeside(const KxString& target)
{
    KxString folder(target);
    Kavo::removeLastPathComponent(folder);
    if (std::find(m_clearedFolders.begin(), m_clearedFolders.end(), folder) != m_clearedFolders.end())
        return;
    Kavo::removeReplacementLeftovers(folder, kPartKind);
    m_clearedFolders.push_back(folder);
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
        allWritten = writeAll(output, m_buffer.data(), int32_t(wanted));
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

// The entries held so far, by name.
class HeldEntries {
public:
    explicit HeldEntries(std::vector<std::unique_ptr<KxFile>>& files) : m_files(files) {}

    void add(const KxString& name, std::unique_ptr<KxFile> file)
    {
        m_names.push_back(name);
        m_files.push_back(std::move(file));
    }

    // Gives up the hold on an earlier entry of the same name (one file on
    // Windows whatever the letter case), which would keep the later entry
    // from replacing it. True when there was one.
    bool release(const KxString& name)
    {
        for (size_t index = 0; index < m_names.size(); ++index) {
            if (!m_names[index].equalsIgnoreCase(name))
                continue;
            m_names.erase(m_names.begin() + std::ptrdiff_t(index));
            m_files.erase(m_files.begin() + std::ptrdiff_t(index));
            return true;
        }
        return false;
    }

private:
    std::vector<KxString> m_names;
    std::vector<std::unique_ptr<KxFile>>& m_files;
};

} // namespace

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
        // The later of two entries of one name wins. Once the earlier one is
        // no longer held, a target the later one did not replace holds
        // bytes nothing has checked: it counts as damaged.
        const bool replacesHeld = heldEntries.release(name);
        EntryOutcome outcome = extraction.extract(index + 1, name, header.sizes[size_t(index)],
                                                  header.launcherEntriesCarryData,
                                                  isHeld && isHeld(name) ? &held : nullptr);
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
            heldEntries.add(name, std::move(held));
        report.entries.push_back(outcome);
    }
    package.close();
    return report;
}

} // namespace Tessit
