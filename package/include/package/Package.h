#ifndef TESSIT_PACKAGE_PACKAGE_H
#define TESSIT_PACKAGE_PACKAGE_H

#include "KxFoundation/KxString.h"
#include "package/PackagePlatform.h"

#include "KxFoundation/KxFile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
};

enum class OpenOutcome { Opened, Failed, Stopped };

// Why the package did not open, for tools that explain it in their own words.
enum class OpenProblem {
    None,
    ExecutableNotFound,
    TooShort,          // 4 bytes or less
    CannotOpen,
    NoFooter,          // no magic before the padding and certificate table
    Refused,           // the caller's step between footer and header refused it
    CountOutOfRange,
    Inconsistent,      // parts that do not add up to the file
};

// What finding the package gave: on Opened the package file stands at the
// first byte of the data area; on Failed `message` is the text to show.
struct OpenResult {
    OpenOutcome outcome = OpenOutcome::Stopped;
    OpenProblem problem = OpenProblem::None;
    KxString message;
    PackageLocation location; // filled as far as the locator got
};

// A step of the caller's, taken once the footer is found and before the
// header is read (the launcher settles its temporary folder there, so its
// log line falls between theirs): a message refuses the package, which is
// then closed, and OpenPackage fails with that message.
using FooterFoundStep = std::function<std::optional<KxString>()>;

// Finds the package inside the executable at `executablePath`, reads its
// header into `header` and leaves `packageFile` open at the data area.
// Appends its log lines to `log`. A package whose parts do not add up to
// the file is refused before anything is written.
OpenResult OpenPackage(PackagePlatform& platform, const KxString& executablePath, KxString& log,
                       Kavo::KxFile& packageFile, PackageHeader& header,
                       const FooterFoundStep& footerFound = FooterFoundStep());

enum class EntryOutcome {
    Written,          // the whole entry is on disk, forced to the device
    SkippedLauncher,  // the launcher's own file, never written
    SkippedUnsafe,    // a name that must not be written
    NotCreated,       // the target or its folder could not be made; its bytes passed over
    Damaged,          // a short or failed read, write or flush, or a held entry that is not the entry
};

struct ExtractionReport {
    std::vector<EntryOutcome> entries; // one per entry, in table order
    KxString firstDamagedTarget;       // empty when nothing was damaged
    // The written entries chosen to be held, held open (KxFile::openHeld)
    // from the end of their extraction until the report is dropped.
    std::vector<std::unique_ptr<Kavo::KxFile>> heldEntries;

    bool damaged() const { return firstDamagedTarget.length() != 0; }
};

// Tells the entries to hold: at least the programs run after the extraction.
using HeldEntryTest = std::function<bool(const KxString& name)>;

// Writes every entry below `targetFolder` (which ends in a separator), then
// closes `packageFile`. Each entry `isHeld` chooses is held from the end of
// its copy and read back against the package, so that what is started or
// loaded later is the entry and nothing put in its place meanwhile.
ExtractionReport ExtractEntries(PackagePlatform& platform, Kavo::KxFile& packageFile, const PackageHeader& header,
                                const KxString& targetFolder, KxString& log,
                                const HeldEntryTest& isHeld = HeldEntryTest());

// True for a name that must not be written: it holds a drive or stream
// mark where the system has them (':' on Windows), a level of dots that
// Windows reads as '..', a control character or a lone surrogate.
bool isUnsafeEntryName(const KxString& name);

// The name or path with every character that would act on a terminal or a
// log written as \xNN (\uNNNN for a lone surrogate or a mark that reorders
// text), for showing it.
KxString printableEntryName(const KxString& name);

} // namespace Tessit

#endif
