#include "platform/Unix/PosixPackagePlatform.h"

#include "KxFoundation/Unix/KxNativePath.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace Tessit {

namespace {

// The PE headers sit in the first page or two; a file whose headers lie
// further in counts as having no certificate table.
constexpr size_t kHeaderViewBytes = 64 * 1024;

class HeaderView : public FileView {
public:
    explicit HeaderView(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    const uint8_t* data() const override { return m_bytes.data(); }
    uint64_t size() const override { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};

class Descriptor {
public:
    explicit Descriptor(int value) : m_value(value) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (m_value != -1)
            ::close(m_value);
    }
    int get() const { return m_value; }

private:
    int m_value;
};

// A relative TMPDIR counts from the folder the launcher was started in: the
// main tool is started by its path from inside the temporary folder, where a
// relative path would lead nowhere. Without a current folder there is none.
std::string temporaryBase()
{
    const char* configured = std::getenv("TMPDIR");
    std::error_code failed;
    std::string base = std::filesystem::absolute(configured && *configured ? configured : "/tmp", failed).string();
    if (failed)
        return std::string();
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base;
}

// The folder that holds the private folder: where others may write without
// the sticky bit, they could rename the private folder and put another in
// its place after it was checked (OpenSSH's strict modes refuse such a
// folder for the same reason).
bool isSafeParent(const std::string& path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return false;
    return (status.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (status.st_mode & S_ISVTX) != 0;
}

// Only a real folder of the user's own is safe to hold files that are run
// later; one left with looser modes is made private again, so that nobody
// else may plant links in it or read what is started from it.
bool makePrivateFolder(const std::string& path)
{
    const Descriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status;
    if (folder.get() == -1 || ::fstat(folder.get(), &status) != 0 || status.st_uid != ::geteuid())
        return false;
    return (status.st_mode & 07777) == S_IRWXU || ::fchmod(folder.get(), S_IRWXU) == 0;
}

// A folder left from an earlier run may since have become unwritable (its
// mode changed, its file system mounted read-only); extracting into it would
// create nothing and the run would go on without a word.
bool isWritableFolder(const std::string& path) { return ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0; }

} // namespace

std::optional<FoundFile> PosixPackagePlatform::findFile(const KxString& path)
{
    struct stat status;
    if (::stat(Kavo::_kx_native_path(path).c_str(), &status) != 0)
        return std::nullopt;
    return FoundFile{path, uint64_t(status.st_size)};
}

std::unique_ptr<FileView> PosixPackagePlatform::viewFile(const KxString& path)
{
    const Descriptor file(::open(Kavo::_kx_native_path(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() == -1)
        return nullptr;
    std::vector<uint8_t> bytes(kHeaderViewBytes);
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (count == -1 && errno == EINTR)
            continue;
        if (count == -1)
            return nullptr;
        if (count == 0)
            break;
        filled += size_t(count);
    }
    bytes.resize(filled);
    return std::make_unique<HeaderView>(std::move(bytes));
}

KxString PosixPackagePlatform::tempFolder()
{
    const std::string base = temporaryBase();
    if (base.empty())
        return KxString();
    if (!isSafeParent(base))
        return KxString();
    const std::string folder = base + "/tessit-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST)
        return KxString();
    if (!makePrivateFolder(folder) || !isWritableFolder(folder))
        return KxString();
    return Kavo::_kx_path_from_native(folder + "/");
}

void PosixPackagePlatform::debugOutput(const KxString& text)
{
    const char* traceFile = std::getenv("TESSIT_TRACE");
    if (!traceFile || !*traceFile)
        return;
    // Never blocking: a FIFO nobody reads, or whose reader is full, gets no line.
    const Descriptor trace(::open(traceFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600));
    if (trace.get() == -1)
        return;
    const std::string line = Kavo::_kx_utf8_text(text);
    ssize_t ignored = ::write(trace.get(), line.data(), line.size());
    (void)ignored;
}

std::unique_ptr<PackagePlatform> createNativePackagePlatform() { return std::make_unique<PosixPackagePlatform>(); }

} // namespace Tessit
