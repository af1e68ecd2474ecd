#include "platform/Unix/PosixPackagePlatform.h"

#include "KxFoundation/Unix/KxNativePath.h"
#include "platform/Unix/OwnedDescriptor.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const OwnedDescriptor file(::open(Kavo::_kx_native_path(path).c_str(), O_RDONLY | O_CLOEXEC));
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

void PosixPackagePlatform::debugOutput(const KxString& text)
{
    const char* traceFile = std::getenv("TESSIT_TRACE");
    if (!traceFile || !*traceFile)
        return;
    // Never blocking: a FIFO nobody reads, or whose reader is full, gets no line.
    const OwnedDescriptor trace(::open(traceFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600));
    if (trace.get() == -1)
        return;
    const std::string line = Kavo::_kx_utf8_text(text);
    ssize_t ignored = ::write(trace.get(), line.data(), line.size());
    (void)ignored;
}

std::unique_ptr<PackagePlatform> createNativePackagePlatform() { return std::make_unique<PosixPackagePlatform>(); }

} // namespace Tessit
