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

// File-find is a status query and trace lines go to the file named by
// TESSIT_TRACE.
class PosixPackagePlatform : public PackagePlatform {
public:
    PosixPackagePlatform(TraceLines traceLines, std::optional<KxString> runningExecutable)
        : m_traceLines(traceLines), m_runningExecutable(std::move(runningExecutable))
    {
    }

    std::optional<FoundFile> findFile(const KxString& path) override;
    void debugOutput(const KxString& text) override;

private:
    bool isRunningExecutable(const KxString& path) const { return m_runningExecutable && path == *m_runningExecutable; }

    TraceLines m_traceLines;
    std::optional<KxString> m_runningExecutable;
};

// The running executable is always there: it is read through the kernel's
// link to its image, whatever the path it was started from names by now.
std::optional<FoundFile> PosixPackagePlatform::findFile(const KxString& path)
{
    struct stat status;
    const bool runningImage = isRunningExecutable(path);
    if (!runningImage && ::stat(Kavo::nativePath(path).c_str(), &status) != 0)
        return std::nullopt;
    return FoundFile{path, runningImage};
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

