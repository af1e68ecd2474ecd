#ifndef KAVO_KXFILE_H
#define KAVO_KXFILE_H

#include "KxFoundation/KxObject.h"

#include <cstdint>

namespace Kavo {

class KxString;

// Where a seek's offset counts from.
enum class KxSeekOrigin { Start, Current, End };

// One open file over a C runtime descriptor: binary, unbuffered, shared with
// other openers, positioned with 64-bit offsets. Failures show only in the
// results; the runtime's errno is left as the failing call set it.
class KxFile : public KxObject {
public:
    KxFile() noexcept = default;
    KxFile(const KxFile&) = delete;
    KxFile& operator=(const KxFile&) = delete;
    ~KxFile() override;

    // Opens an existing file, read-only or read-write; never creates.
    bool open(const KxString& path, bool writable);
    // Opens for reading and writing, created or truncated to length 0.
    bool create(const KxString& path);
    // Makes a new file for reading and writing; fails when anything, a link
    // included, is at the path already.
    bool createNew(const KxString& path);
    // Opens an existing file for reading only, never through a link, and
    // holds it: while it is open others may only read it (on Windows it can
    // then be neither written, renamed nor deleted).
    bool openHeld(const KxString& path);
    // Opens the running program's own file for reading: the very file its
    // image was loaded from, whatever its path names by now.
    bool openRunningImage();

    // Bytes transferred (fewer at the end of the file), or -1.
    int32_t read(void* buffer, uint32_t count);
    // All `count` bytes from `offset` on, or false (the end of the file came
    // first, or a read failed). It does not use the file's position, nor
    // promise to keep it.
    bool readExactlyAt(uint64_t offset, void* buffer, uint32_t count);
    int32_t write(const void* data, uint32_t count);
    // A failed seek leaves the position where it was.
    bool seek(int64_t offset, KxSeekOrigin origin);
    // Forces what was written through to the storage device: 0, or -1.
    int32_t flush();
    // Starts writing what was written so far to the storage device without
    // waiting for it, so that the copy goes on while the device writes and a
    // later flush() has little left to wait for: 0, or -1.
    int32_t startWriteback();
    void close();
    // The open file's length in bytes, or -1.
    int64_t length() const;

    bool isOpen() const { return descriptor != -1; }

    // True where a held file (openHeld) can be neither written, renamed nor
    // deleted by others while it is open: on Windows, not on Linux.
    static bool holdKeepsWritersOut();

private:
    // A replacement makes its part with the system's own call.
    friend class KxReplacement;

    int32_t descriptor = -1;
};

} // namespace Kavo

#endif
