#include "package/PackageExtraction.h"
#include "package/BlockVerification.h"

#include "texts/LauncherTexts.h"

#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxFolder.h"
#include "KxFoundation/KxPath.h"
#include "KxFoundation/KxReplacement.h"

#include <algorithm>
#include <deque>
#include <vector>

namespace Tessit {

using Kavo::KxFile;
using Kavo::KxFolder;

namespace {

// An entry is written as `<target>.tessit-<8 hex digits>` first.
const KxString kPartKind(u".tessit-");

// The package's file read once, in order, a copy block at a time from where
// it starts; a signed package's blocks are handed to its verification as
// they are read. A read that fails or meets the file's end fails every take
// after it: the file is no longer what was opened.
class PackageStream {
public:
    PackageStream(Package& package, uint64_t start, BlockVerification* verification, uint64_t hashEnd)
        : m_package(package), m_verification(verification), m_hashEnd(hashEnd), m_blockStart(start),
          m_blockEnd(start), m_position(start)
    {
        if (!m_verification)
            m_ownBlock.resize(COPY_CHUNK_SIZE);
    }

    // The next `count` bytes, handed to `use` in pieces; false when they
    // could not all be read (the rest is passed over).
    template <typename Use>
    bool take(uint64_t count, Use&& use)
    {
        const uint64_t end = m_position + count;
        while (m_position < end) {
            if ((m_position < m_blockStart || m_position >= m_blockEnd) && !fill(end))
                break;
            const uint32_t piece = uint32_t(std::min(end, m_blockEnd) - m_position);
            use(m_block + (m_position - m_blockStart), piece);
            m_position += piece;
        }
        const bool whole = m_position == end;
        m_position = end;
        return whole;
    }

    // Passes over `count` bytes: read for the verification, which takes
    // every byte, and not read at all without one.
    void skip(uint64_t count)
    {
        if (m_verification)
            take(count, [](const uint8_t*, uint32_t) {});
        else
            m_position += count;
    }

    uint64_t position() const { return m_position; }

private:
    // Reads the block at the position, as far as the copy buffer or
    // `wantedEnd` (and, for the verification, the table's start) allows.
    bool fill(uint64_t wantedEnd)
    {
        if (m_failed)
            return false;
        const uint64_t limit = std::max(wantedEnd, m_hashEnd);
        const uint32_t count = uint32_t(std::min<uint64_t>(COPY_CHUNK_SIZE, limit - m_position));
        uint8_t* const block = m_verification ? m_verification->nextBlock() : m_ownBlock.data();
        m_failed = !m_package.readAt(m_position, block, count);
        if (m_failed)
            return false;
        m_block = block;
        m_blockStart = m_position;
        m_blockEnd = m_position + count;
        if (m_verification)
            m_verification->handOver(m_blockStart, count);
        return true;
    }

    Package& m_package;
    BlockVerification* m_verification;
    uint64_t m_hashEnd;
    std::vector<uint8_t> m_ownBlock;
    const uint8_t* m_block = nullptr;
    uint64_t m_blockStart;
    uint64_t m_blockEnd;
    uint64_t m_position;
    bool m_failed = false;
};

// A running check of an entry's bytes as they were written, against which
// a held program is read back: 64-bit FNV-1a, eight bytes at a time.
class EntryChecksum {
public:
    void add(const uint8_t* bytes, uint32_t count)
    {
        for (uint32_t index = 0; index < count; ++index) {
            m_word |= uint64_t(bytes[index]) << (8 * m_filled);
            if (++m_filled == 8)
                mix();
        }
    }

    uint64_t value()
    {
        if (m_filled != 0)
            mix();
        return m_hash;
    }

private:
    void mix()
    {
        m_hash = (m_hash ^ m_word) * 0x100000001B3ull;
        m_word = 0;
        m_filled = 0;
    }

    uint64_t m_hash = 0xCBF29CE484222325ull;
    uint64_t m_word = 0;
    uint32_t m_filled = 0;
};

// An entry written to its part, waiting for the verdict: the folders on its
// way stay open, so that the part is renamed in the folder it was made in.
struct PendingEntry {
    std::deque<KxFolder> levels;                 // below the target folder, in order
    std::vector<KxString> madeLevels;            // of levels, those this run made
    const KxFolder* folder = nullptr;            // the target folder or the last level
    std::unique_ptr<Kavo::KxReplacement> part;
    uint64_t checksum = 0;                       // of what was written, for an entry to be held
    int32_t size = 0;
    KxString file;
};

struct EntryRecord {
    EntryOutcome outcome;
    KxString target; // the path shown and reported, empty for skipped ones
    KxString path;   // below the target folder, as resolved
    std::unique_ptr<PendingEntry> pending;
    KxString log;    // its lines, kept until the package is known good
};

class Extraction {
public:
    Extraction(Package& package, const KxString& targetFolder, BlockVerification* verification, uint64_t hashEnd,
               const ExtractionOptions& options)
        : m_stream(package, verification ? 0 : package.dataOffset(), verification, hashEnd),
          m_targetFolder(targetFolder), m_isHeld(options.isHeld), m_access(options.access)
    {
        m_root.open(targetFolder);
        m_stream.skip(package.dataOffset() - m_stream.position());
    }

    EntryRecord extract(int32_t number, const KxString& name, int32_t size, bool launcherEntriesCarryData)
    {
        EntryRecord record = extractEntry(number, name, size, launcherEntriesCarryData);
        record.log = std::move(m_log);
        m_log = KxString();
        return record;
    }
    // Reads what is left up to `end`, for the verification.
    void readTo(uint64_t end) { m_stream.skip(end - std::min(end, m_stream.position())); }
    void removeMadeLevels(PendingEntry& pending);
    const KxFolder& root() const { return m_root; }

private:
    Kavo::KxReplacementAccess fileAccess(const EntryPath& path) const
    {
        if (m_access == ExtractedAccess::UserOnly)
            return Kavo::KxReplacementAccess::UserRunnable;
        return isProgramEntry(path.relative()) ? Kavo::KxReplacementAccess::Runnable : Kavo::KxReplacementAccess::Readable;
    }
    Kavo::KxFolderAccess folderAccess() const
    {
        return m_access == ExtractedAccess::UserOnly ? Kavo::KxFolderAccess::UserOnly : Kavo::KxFolderAccess::Readable;
    }
    EntryRecord extractEntry(int32_t number, const KxString& name, int32_t size, bool launcherEntriesCarryData);
    const KxFolder* openFolderFor(const KxString& name, const EntryPath& path, PendingEntry& pending);
    void removeLeftoversIn(const KxFolder& folder, const EntryPath& path);

    // The lines of the entry being extracted.
    KxString m_log;
    PackageStream m_stream;
    const KxString& m_targetFolder;
    const HeldEntryTest& m_isHeld;
    ExtractedAccess m_access;
    KxFolder m_root;
    std::vector<KxString> m_clearedFolders;
};

// A negative size gives no count to copy and no way to the next entry.
EntryRecord Extraction::extractEntry(int32_t number, const KxString& name, int32_t size, bool launcherEntriesCarryData)
{
    const int64_t storedBytes = std::max(size, 0);
    if (isLauncherEntry(name)) {
        if (launcherEntriesCarryData)
            m_stream.skip(uint64_t(storedBytes));
        return {EntryOutcome::SkippedLauncher, KxString(), KxString(), nullptr, KxString()};
    }
    const std::optional<EntryPath> path = resolveEntryName(name);
    if (!path) {
        const KxString shown = printableEntryName(name);
        m_log.appendFormat(kLogUnsafeName, &shown);
        m_stream.skip(uint64_t(storedBytes));
        return {EntryOutcome::SkippedUnsafe, KxString(), KxString(), nullptr, KxString()};
    }
    EntryRecord record{EntryOutcome::NotCreated, KxString(), path->relative(), std::make_unique<PendingEntry>(),
                       KxString()};
    record.target.format(u"%@%S", &m_targetFolder, name.c_str());
    if (size < 0) {
        record.outcome = EntryOutcome::Damaged;
        return record;
    }
    PendingEntry& pending = *record.pending;
    const KxFolder* const folder = openFolderFor(name, *path, pending);
    const KxString shownTarget = printableEntryName(record.target);
    m_log.appendFormat(kLogEntry, number, &shownTarget, size);
    pending.folder = folder;
    if (folder) {
        removeLeftoversIn(*folder, *path);
        pending.part = std::make_unique<Kavo::KxReplacement>(*folder, path->file, kPartKind, fileAccess(*path));
    }
    if (!pending.part || !pending.part->create()) {
        m_stream.skip(uint64_t(size));
        return record;
    }
    // Whatever happens to the part, the next entry is read from its own
    // bytes. Each block is sent on to the device as soon as it is written,
    // so the device writes while the next block is read and hashed, and the
    // final flush, which decides whether the file came out whole, has little
    // left to wait for.
    // Only what will be held is read back, so only that is checksummed.
    KxFile& output = pending.part->file();
    const bool held = m_isHeld && m_isHeld(path->relative());
    EntryChecksum checksum;
    bool written = true;
    const bool read = m_stream.take(uint64_t(size), [&](const uint8_t* bytes, uint32_t count) {
        written = written && output.writeAll(bytes, count);
        output.startWriteback();
        if (held)
            checksum.add(bytes, count);
    });
    if (!read || !written || !pending.part->finish()) {
        pending.part.reset();
        record.outcome = EntryOutcome::Damaged;
        return record;
    }
    pending.checksum = checksum.value();
    pending.size = size;
    pending.file = path->file;
    record.outcome = EntryOutcome::Written;
    return record;
}

// Each level of the entry's folder is a real folder below the target
// folder, opened from the one above it: a level that is a link or reparse
// point would lead the entry elsewhere, so it counts as one that cannot be
// made. Levels are made where a backslash ends them, as createDirectories
// makes them. The log tells of a folder to make only when nothing has its
// name: a file in its place is not made into one. The entry's folder, the
// target folder itself or the last of `pending`'s levels; nothing when a
// level cannot be opened or made.
const KxFolder* Extraction::openFolderFor(const KxString& name, const EntryPath& path, PendingEntry& pending)
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
            (found == Kavo::KxFolderEntry::Missing && (!step.madeWhenMissing || !current->makeLevel(step.name, folderAccess()))))
            return nullptr;
        if (found == Kavo::KxFolderEntry::Missing)
            pending.madeLevels.push_back(step.name);
        pending.levels.emplace_back();
        if (!pending.levels.back().openLevel(*current, step.name))
            return nullptr;
        current = &pending.levels.back();
    }
    return current;
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

// The levels this run made for the entry, deepest first, as long as they
// are empty.
void Extraction::removeMadeLevels(PendingEntry& pending)
{
    const size_t opened = pending.levels.size();
    for (size_t made = pending.madeLevels.size(); made-- > 0;) {
        const size_t index = opened - pending.madeLevels.size() + made;
        const KxFolder& parent = index == 0 ? m_root : pending.levels[index - 1];
        pending.levels[index].close();
        parent.removeLevel(pending.madeLevels[made]);
    }
}

// What is held is read back and compared with what was written: between
// the rename and the hold another process could have put other bytes under
// the target's name.
bool holdsWhatWasWritten(KxFile& held, const PendingEntry& written)
{
    std::vector<uint8_t> block(COPY_CHUNK_SIZE);
    EntryChecksum checksum;
    for (uint64_t checked = 0; checked < uint64_t(written.size);) {
        const uint32_t count = uint32_t(std::min<uint64_t>(uint64_t(written.size) - checked, COPY_CHUNK_SIZE));
        if (!held.readExactlyAt(checked, block.data(), count))
            return false;
        checksum.add(block.data(), count);
        checked += count;
    }
    return held.length() == int64_t(written.size) && checksum.value() == written.checksum;
}

// Each written part takes its target's name, in table order, so the later
// of two entries written to one file wins. Then each held entry, where it is
// the last written to its file, is held and read back. A program whose later
// entry could not take its place holds the earlier one's bytes, which
// nothing then holds: it counts as damaged.
void commitAndHold(std::vector<EntryRecord>& records, const HeldEntryTest& isHeld,
                   std::vector<std::unique_ptr<KxFile>>& heldEntries)
{
    for (EntryRecord& record : records)
        if (record.outcome == EntryOutcome::Written && !record.pending->part->commit())
            record.outcome = EntryOutcome::NotCreated;
    for (size_t index = 0; index < records.size(); ++index) {
        EntryRecord& record = records[index];
        if (record.path.length() == 0 || !isHeld || !isHeld(record.path))
            continue;
        const auto sameFileWritten = [&](const EntryRecord& other) {
            return other.outcome == EntryOutcome::Written && sameEntryPath(other.path, record.path);
        };
        if (record.outcome == EntryOutcome::NotCreated &&
            std::any_of(records.begin(), records.begin() + std::ptrdiff_t(index), sameFileWritten))
            record.outcome = EntryOutcome::Damaged;
        if (record.outcome != EntryOutcome::Written ||
            std::any_of(records.begin() + std::ptrdiff_t(index) + 1, records.end(), sameFileWritten))
            continue;
        const PendingEntry& pending = *record.pending;
        auto held = std::make_unique<KxFile>();
        if (!held->openHeldIn(*pending.folder, pending.file) || !holdsWhatWasWritten(*held, pending)) {
            record.outcome = EntryOutcome::Damaged;
            continue;
        }
        heldEntries.push_back(std::move(held));
    }
}

} // namespace

bool ExtractionReport::wrote(const KxString& name) const
{
    const std::optional<EntryPath> path = resolveEntryName(name);
    return path && std::any_of(writtenPaths.begin(), writtenPaths.end(), [&](const KxString& written) {
               return written.length() != 0 && sameEntryPath(written, path->relative());
           });
}

ExtractionReport ExtractEntries(Package& package, const KxString& targetFolder, KxString& log,
                                const ExtractionOptions& options)
{
    ExtractionReport report;
    std::unique_ptr<SignatureVerification> verification;
    std::unique_ptr<BlockVerification> blocks;
    if (package.isSigned()) {
        verification = std::make_unique<SignatureVerification>(options.crypto, package);
        if (!verification->hashing()) {
            report.signature = verification->finish();
            return report;
        }
        blocks = hostBlockVerification(*verification);
    }
    const PackageHeader& header = package.header();
    Extraction extraction(package, targetFolder, blocks.get(), verification ? verification->end() : 0, options);
    std::vector<EntryRecord> records;
    for (int32_t index = 0; index < header.count; ++index)
        records.push_back(extraction.extract(index + 1, header.name(index), header.sizes[size_t(index)],
                                             header.launcherEntriesCarryData));
    if (verification) {
        extraction.readTo(verification->end());
        report.signature = blocks->finish();
        if (report.refused()) {
            for (auto record = records.rbegin(); record != records.rend(); ++record)
                if (record->pending) {
                    record->pending->part.reset();
                    extraction.removeMadeLevels(*record->pending);
                }
            return report;
        }
    }
    package.close();
    commitAndHold(records, options.isHeld, report.heldEntries);
    for (const EntryRecord& record : records) {
        log += record.log;
        if (record.outcome == EntryOutcome::Damaged) {
            const KxString shownTarget = printableEntryName(record.target);
            log.appendFormat(kLogDamaged, &shownTarget);
            if (!report.damaged())
                report.firstDamagedTarget = record.target;
        }
        report.entries.push_back(record.outcome);
        report.writtenPaths.push_back(record.outcome == EntryOutcome::Written ? record.path : KxString());
    }
    return report;
}

} // namespace Tessit
