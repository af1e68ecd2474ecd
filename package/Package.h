#ifndef TESSIT_PACKAGE_PACKAGE_H
#define TESSIT_PACKAGE_PACKAGE_H

#include "KxFoundation/KxString.h"
#include "platform/PackagePlatform.h"

#include <array>
#include <cstdint>
#include <vector>

namespace Kavo {
class KxFile;
}

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

    // Entry `index`'s name: its slot up to the first U+0000.
    KxString name(int32_t index) const;
};

enum class OpenOutcome { Opened, Failed, Stopped };

// What finding the package gave: on Opened the package file stands at the
// first byte of the data area; on Failed `message` is the text to show.
struct OpenResult {
    OpenOutcome outcome = OpenOutcome::Stopped;
    KxString message;
    KxString tempFolder;
};

// Finds the package inside the executable at `executablePath`, reads its
// header into `header` and leaves `packageFile` open at the data area.
// Appends its log lines to `log`.
OpenResult OpenPackage(PackagePlatform& platform, const KxString& executablePath, KxString& log,
                       Kavo::KxFile& packageFile, PackageHeader& header);

enum class EntryOutcome {
    Written,          // the whole entry is on disk, forced to the device
    SkippedLauncher,  // the launcher's own file, never written
    SkippedUnsafe,    // a name that would leave the target folder
    NotCreated,       // the target could not be created; its bytes passed over
    Damaged,          // a short or failed read, write or flush
};

struct ExtractionReport {
    std::vector<EntryOutcome> entries; // one per entry, in table order
    KxString firstDamagedTarget;       // empty when nothing was damaged

    bool damaged() const { return firstDamagedTarget.length() != 0; }
};

// Writes every entry below `targetFolder` (which ends in a separator), then
// closes `packageFile`.
ExtractionReport ExtractEntries(PackagePlatform& platform, Kavo::KxFile& packageFile, const PackageHeader& header,
                                const KxString& targetFolder, KxString& log);

// True for a name that must not be written: it begins with a separator,
// holds a drive mark, or has a '..' level.
bool isUnsafeEntryName(const KxString& name);

} // namespace Tessit

#endif
