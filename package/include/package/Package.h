#ifndef TESSIT_PACKAGE_PACKAGE_H
#define TESSIT_PACKAGE_PACKAGE_H

#include "KxFoundation/KxString.h"
#include "package/EntryName.h"
#include "package/PackagePlatform.h"

#include "KxFoundation/KxFile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Tessit {

// The footer's magic, bytes D1 37 BA FE in the file.
constexpr uint32_t PACKAGE_MAGIC = 0xFEBA37D1u;
// Entries are copied through one buffer of this size.
constexpr uint32_t COPY_CHUNK_SIZE = 512000;
constexpr int32_t kMaxEntries = 30;
constexpr size_t kNameSlotUnits = 64;

using NameSlot = std::array<char16_t, kNameSlotUnits>;

// The package header as read from the file.
struct PackageHeader {
    int32_t oemId = 0;
    int32_t count = 0;
    std::vector<int32_t> sizes;
    std::vector<NameSlot> names;
    // Whether entries named like the launcher have their bytes in the data
    // area (they are passed over) or are not stored there at all.
    bool launcherEntriesCarryData = false;

    // Entry `index`'s name: its slot up to the first U+0000, never beyond it.
    KxString name(int32_t index) const;
};

// The launcher's own file name; entries named so are never written.
extern const char16_t* const kLauncherFileName;

// Where the locator found the package's parts in the file.
struct PackageLocation {
    uint64_t fileLength = 0;
    uint32_t certificateOffset = 0; // as the security directory records it
    uint32_t certificateSize = 0;   // C: the table ends at the end of the file
    int32_t padding = 0;            // P: zero bytes between the footer and the table or the end
    uint32_t footerCandidates = 0;  // places before the table where a footer fits
    uint32_t headerOffset = 0;      // H
    uint64_t slack = 0;             // bytes between the data area and the footer, never read
    bool peImage = false;           // a Windows launcher's: its entries' names are read as Windows reads them
};

enum class OpenOutcome { Opened, Failed, Stopped };

// Why the package did not open, for tools that explain it in their own words.
enum class OpenProblem {
    None,
    ExecutableNotFound,
    TooShort,          // 4 bytes or less
    CannotOpen,
    NoFooter,          // no magic before the padding and certificate table
    CountOutOfRange,
    Inconsistent,      // parts that do not add up to the file
};

// How far opening the package got: on Failed `message` is the text to show.
struct OpenResult {
    OpenOutcome outcome = OpenOutcome::Stopped;
    OpenProblem problem = OpenProblem::None;
    KxString message;
    PackageLocation location; // filled as far as the locator got
};

// The package inside one executable, read through the one file it holds
// (for the running launcher, its running image) at explicit offsets, so no
// reader depends on where another left off. It opens in two steps, the
// footer and then the header, and the caller may take a step of its own
// between them (the launcher settles its temporary folder there, so its
// log line falls between theirs). Both steps append their lines to `log`.
class Package {
public:
    explicit Package(PackagePlatform& platform) : m_platform(platform) {}
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Finds the executable at `executablePath`, opens it and finds the footer
    // in front of the padding and the certificate table. Opened means the
    // header is to be read next.
    const OpenResult& openFooter(const KxString& executablePath, KxString& log);
    // Reads the header the footer points at. Opened means its parts add up
    // to the file, so its entries can be read; a package whose parts do not
    // is refused before anything is written.
    const OpenResult& readHeader(KxString& log);

    const OpenResult& result() const { return m_result; }
    const PackageLocation& location() const { return m_result.location; }
    const PackageHeader& header() const { return m_header; }
    bool isSigned() const { return location().certificateSize != 0; }
    // Where the first entry's bytes start.
    uint64_t dataOffset() const;
    PackagePlatform& platform() { return m_platform; }

    // All `count` bytes at `offset` in the executable, or false.
    bool readAt(uint64_t offset, void* buffer, uint32_t count) { return m_file.readExactlyAt(offset, buffer, count); }
    bool isOpen() const { return m_file.isOpen(); }
    // Every close the launcher makes leaves the same trace line.
    void close();

private:
    const OpenResult& fail(OpenProblem problem, const char16_t* format);
    const OpenResult& stop(OpenProblem problem);
    const OpenResult& refuse();
    void readCertificateTableAndPadding(KxString& log);
    void findFooterBeforeTable(KxString& log);
    bool readHeaderTable();

    PackagePlatform& m_platform;
    KxString m_executablePath;
    Kavo::KxFile m_file;
    PackageHeader m_header;
    OpenResult m_result;
};

// Opens `package` in both steps, with nothing between them.
const OpenResult& OpenPackage(Package& package, const KxString& executablePath, KxString& log);

enum class EntryOutcome {
    Written,          // the whole entry is on disk, forced to the device
    SkippedLauncher,  // the launcher's own file, never written
    SkippedUnsafe,    // a name that must not be written
    NotCreated,       // the target or its folder could not be made; its bytes passed over
    Damaged,          // a short or failed read, write or flush, or a held entry that is not the entry
};

struct ExtractionReport {
    std::vector<EntryOutcome> entries; // one per entry, in table order
    // Per entry, where it was written below the target folder (as
    // EntryPath::relative gives it); empty for an entry not written.
    std::vector<KxString> writtenPaths;
    KxString firstDamagedTarget;       // empty when nothing was damaged
    // The written entries chosen to be held, held open (KxFile::openHeldIn)
    // from the end of their extraction until the report is dropped.
    std::vector<std::unique_ptr<Kavo::KxFile>> heldEntries;

    bool damaged() const { return firstDamagedTarget.length() != 0; }
    // Whether the file `name` names was written by this extraction, by
    // whichever entry and however spelt: the system's rules decide which
    // names are one file.
    bool wrote(const KxString& name) const;
};

// Tells the entries to hold, by the path below the target folder they are
// written to: at least the programs run after the extraction.
using HeldEntryTest = std::function<bool(const KxString& path)>;

// Writes every entry of the opened `package` below `targetFolder` (which
// ends in a separator), then closes the package. Each entry `isHeld` chooses
// is held from the end of its copy and read back against the package, so
// that what is started or loaded later is the entry and nothing put in its
// place meanwhile. Every folder level on an entry's way is opened from the
// one above it, never through a link or reparse point, and the entry is
// made and renamed from its folder, so no level swapped meanwhile can lead
// it elsewhere.
ExtractionReport ExtractEntries(Package& package, const KxString& targetFolder, KxString& log,
                                const HeldEntryTest& isHeld = HeldEntryTest());

} // namespace Tessit

#endif
