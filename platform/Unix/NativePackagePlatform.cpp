#include "platform/NativePackagePlatform.h"

#include "Unix/OwnedDescriptor.h"
#include "KxFoundation/Unix/KxNativePath.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
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

const char16_t kRunningImage[] = u"/proc/self/exe";

// File-find is a status query, the headers are read into memory and trace
// lines go to the file named by TESSIT_TRACE.
class PosixPackagePlatform : public PackagePlatform {
public:
    PosixPackagePlatform(TraceLines traceLines, std::optional<KxString> runningExecutable)
        : m_traceLines(traceLines), m_runningExecutable(std::move(runningExecutable))
    {
    }

    std::optional<FoundFile> findFile(const KxString& path) override;
    std::unique_ptr<FileView> viewFile(const KxString& path) override;
    void debugOutput(const KxString& text) override;

private:
    bool isRunningExecutable(const KxString& path) const { return m_runningExecutable && path == *m_runningExecutable; }

    TraceLines m_traceLines;
    std::optional<KxString> m_runningExecutable;
};

// The running executable's length is asked of the open file: a tool that
// runs the program itself (valgrind) answers the link's status with its own
// file's.
std::optional<FoundFile> PosixPackagePlatform::findFile(const KxString& path)
{
    struct stat status;
    if (!isRunningExecutable(path)) {
        if (::stat(Kavo::nativePath(path).c_str(), &status) != 0)
            return std::nullopt;
        return FoundFile{path, uint64_t(status.st_size)};
    }
    const OwnedDescriptor image(::open("/proc/self/exe", O_RDONLY | O_CLOEXEC));
    if (image.get() == -1 || ::fstat(image.get(), &status) != 0)
        return std::nullopt;
    return FoundFile{kRunningImage, uint64_t(status.st_size)};
}

std::unique_ptr<FileView> PosixPackagePlatform::viewFile(const KxString& path)
{
    const KxString file = isRunningExecutable(path) ? KxString(kRunningImage) : path;
    const OwnedDescriptor descriptor(::open(Kavo::nativePath(file).c_str(), O_RDONLY | O_CLOEXEC));
    if (descriptor.get() == -1)
        return nullptr;
    std::vector<uint8_t> bytes(kHeaderViewBytes);
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = ::read(descriptor.get(), bytes.data() + filled, bytes.size() - filled);
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

void PosixPackagePlatform::debugOutput(const KxString& text)
{
    const char* traceFile = std::getenv("TESSIT_TRACE");
    if (m_traceLines == TraceLines::Dropped || !traceFile || !*traceFile)
        return;
    // Never blocking: a FIFO nobody reads, or whose reader is full, gets no line.
    const OwnedDescriptor trace(::open(traceFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600));
    if (trace.get() == -1)
        return;
    const std::string line = Kavo::utf8Text(text);
    ssize_t ignored = ::write(trace.get(), line.data(), line.size());
    (void)ignored;
}

} // namespace

std::unique_ptr<PackagePlatform> createNativePackagePlatform(TraceLines traceLines)
{
    return std::make_unique<PosixPackagePlatform>(traceLines, std::nullopt);
}

std::unique_ptr<PackagePlatform> createLauncherPackagePlatform(const KxString& executable)
{
    return std::make_unique<PosixPackagePlatform>(TraceLines::Sent, executable);
}

} // namespace Tessit

