#ifndef TESSIT_PACKAGE_PACKAGEEXTRACTION_H
#define TESSIT_PACKAGE_PACKAGEEXTRACTION_H

#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxString.h"
#include "package/EntryName.h"
#include "package/Package.h"
#include "package/SignatureCheck.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Tessit {

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
    // from their read-back until the report is dropped.
    std::vector<std::unique_ptr<Kavo::KxFile>> heldEntries;
    // A signed package's signature, checked as the package was read; when
    // it does not hold, nothing was written and `entries` is empty.
    std::optional<SignatureCheck> signature;

    bool damaged() const { return firstDamagedTarget.length() != 0; }
    bool refused() const { return signature && !signature->holds(); }
    // Whether the file `name` names was written by this extraction, by
    // whichever entry and however spelt: the system's rules decide which
    // names are one file.
    bool wrote(const KxString& name) const;
};

// Tells the entries to hold, by the path below the target folder they are
// written to: at least the programs run after the extraction.
using HeldEntryTest = std::function<bool(const KxString& path)>;

// Who may read what is extracted, where the system has owners and modes.
enum class ExtractedAccess {
    UserOnly, // the launcher's: every file and folder its owner's alone
    Readable, // a user's tools': files 0644, programs and folders 0755, less the umask
};

struct ExtractionOptions {
    HeldEntryTest isHeld;
    // Checks a signed package's signature as it is read (null: it cannot be
    // checked, and the package is refused).
    SignatureCrypto* crypto = nullptr;
    ExtractedAccess access = ExtractedAccess::UserOnly;
};

// Writes every entry of the opened `package` below `targetFolder` (which
// ends in a separator), then closes the package, unless its signature does
// not hold.
//
// The file is read once, in file order, a copy block at a time: a signed
// package's signature takes every block as the extraction copies it (the
// image and header before the entries, the footer and padding after), and
// each entry is written to a part of its own beside its target. Only once
// the signature holds do the parts take their targets' names and the log
// its lines; otherwise every part and every folder made goes, and the log
// and the target folder are left as they were. A package whose bytes change
// while it is read is refused, or extracted with the bytes its signature
// covers, never with others.
//
// Each entry `isHeld` chooses is then held open and read back against what
// was written, so that what is started or loaded later is the entry and
// nothing put in its place meanwhile. Every folder level on an entry's way
// is opened from the one above it, never through a link or reparse point,
// and the entry is made and renamed from its folder, so no level swapped
// meanwhile can lead it elsewhere.
ExtractionReport ExtractEntries(Package& package, const KxString& targetFolder, KxString& log,
                                const ExtractionOptions& options = ExtractionOptions());

} // namespace Tessit

#endif
