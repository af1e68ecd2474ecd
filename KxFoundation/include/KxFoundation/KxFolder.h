#ifndef KAVO_KXFOLDER_H
#define KAVO_KXFOLDER_H

#include "KxFoundation/KxString.h"

#include <cstdint>

namespace Kavo {

// The access a folder made here gets where the system has owners and modes.
enum class KxFolderAccess {
    UserOnly, // read, write and enter for its owner alone
    Readable, // what a user's tools give a folder: 0755 less the umask
};

// What a name inside a folder stands for, as the folder itself sees it: a
// link or reparse point is what it is, never what it leads to.
enum class KxFolderEntry { Missing, Folder, Other };

// A folder held open, so that the names below it are looked up from the
// folder and never again from its path: whatever the path, or a level of
// it, comes to name later, what is made or opened through the folder lands
// in the folder. Levels are opened one at a time and never through a link
// or reparse point, so nothing planted below the first folder can lead
// elsewhere.
class KxFolder {
public:
    KxFolder() noexcept = default;
    KxFolder(KxFolder&& other) noexcept;
    KxFolder& operator=(KxFolder&& other) noexcept;
    KxFolder(const KxFolder&) = delete;
    KxFolder& operator=(const KxFolder&) = delete;
    ~KxFolder();

    // Opens the folder `path` names. Links on the way are followed: whoever
    // names the folder chose them.
    bool open(const KxString& path);
    // Opens `name`, one level below `parent`, unless it is a link, a
    // reparse point or no folder.
    bool openLevel(const KxFolder& parent, const KxString& name);
    // Makes the level `name` here, with the access asked for where the
    // system has owners; false when anything has the name already.
    bool makeLevel(const KxString& name, KxFolderAccess access = KxFolderAccess::UserOnly) const;
    // Removes the level `name` here when it is an empty folder.
    bool removeLevel(const KxString& name) const;
    KxFolderEntry entry(const KxString& name) const;

    bool isOpen() const { return m_handle != kClosed; }
    void close();
    // The path the folder was reached by, for showing and for the system's
    // calls that take paths; it ends in a separator.
    const KxString& path() const { return m_path; }
    // The system's handle (a descriptor, or a Windows handle), for the
    // library's own units.
    intptr_t handle() const { return m_handle; }

private:
    static constexpr intptr_t kClosed = -1;

    intptr_t m_handle = kClosed;
    KxString m_path;
};

} // namespace Kavo

#endif
