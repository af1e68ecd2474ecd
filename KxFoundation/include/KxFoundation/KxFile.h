#ifndef KAVO_KXFILE_H
#define KAVO_KXFILE_H

#include "KxFoundation/KxObject.h"

#include <cstdint>

namespace Kavo {

class KxFolder;
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
    // Opens the regular file `name` in `folder` for reading only, never
    // through a link or reparse point, and holds it: while it is open others
    // may only read it (on Windows it can then be neither written, renamed
    // nor deleted).
    bool openHeldIn(const KxFolder& folder, const KxString& name);
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
    // All `count` bytes, or false: a write may take only part of what it is
    // given (a filling device takes what room is left), and the rest is
    // offered again until the file refuses it.
    bool writeAll(const void* data, uint32_t count);
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


private:
    // A replacement makes its part with the system's own call.
    friend class KxReplacement;

    int32_t descriptor = -1;
};

} // namespace Kavo

#endif
