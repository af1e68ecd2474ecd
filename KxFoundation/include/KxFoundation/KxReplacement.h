#ifndef KAVO_KXREPLACEMENT_H
#define KAVO_KXREPLACEMENT_H

#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxFolder.h"
#include "KxFoundation/KxString.h"

namespace Kavo {

// The access a replacement gets where the system has owners and modes.
enum class KxReplacementAccess {
    UserOnly,     // read and write for its owner alone
    UserRunnable, // read, write and run for its owner alone
    Runnable,     // what a linker gives its output: 0755 less the umask
    Readable,     // what a user's tools give a file: 0644 less the umask
    KeepTarget,   // the target's, or UserOnly when there is no target file
};

// A file written whole under a name of its own beside its target, the part
// `<target><kind><8 hex digits>`, which takes the target's place in one
// rename once it is complete. The part is made new, never through a link or
// reparse point (a name taken already is passed over for another), and both
// it and the rename are looked up from the target's folder held open, so
// nothing is written through a name someone planted or a level someone
// swapped; a replacement that fails or is dropped before its commit removes
// its part and leaves the target as it was.
class KxReplacement {
public:
    // Replaces `name` in `folder`, which must stay open as long as this.
    KxReplacement(const KxFolder& folder, const KxString& name, const KxString& kind, KxReplacementAccess access);
    // Replaces the file `target` names; its folder is opened by its path
    // when the part is made.
    KxReplacement(const KxString& target, const KxString& kind, KxReplacementAccess access);
    KxReplacement(const KxReplacement&) = delete;
    KxReplacement& operator=(const KxReplacement&) = delete;
    ~KxReplacement();

    // Makes the part; false when no fresh name could be made.
    bool create();
    // The part, open for writing once it is made.
    KxFile& file() { return m_file; }
    // The part's name in the target's folder, and its path, for showing;
    // empty when there is none.
    const KxString& partName() const { return m_partName; }
    KxString partPath() const;
    // Forces the part to disk and closes it; it stays under its own name, so
    // that it can be read back before the commit. False when it did not
    // reach the disk whole.
    bool finish();
    // Renames the finished part over the target, a link there included.
    bool commit();
    // Removes the part, unless it was committed.
    void discard();

private:
    KxFolder m_ownFolder; // the folder opened for a target given by path
    KxString m_folderPath;
    const KxFolder* m_folder;
    KxString m_name;
    KxString m_kind;
    KxReplacementAccess m_access;
    KxString m_partName;
    KxFile m_file;
};

// Removes what replacements of `kind` left in `folder` when their run was
// killed: regular files of the running user named like a part of any
// target. Links, folders and other users' files are left alone.
void removeReplacementLeftovers(const KxFolder& folder, const KxString& kind);

// The same for the parts of one target only, where other runs may be
// writing other targets in the folder at the same time.
void removeReplacementLeftoversOf(const KxString& target, const KxString& kind);

} // namespace Kavo

#endif
