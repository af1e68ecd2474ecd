#include "platform/NativePackagePlatform.h"

#include "KxFoundation/KxPath.h"

#include <windows.h>

#include <optional>

namespace Tessit {

namespace {

// File-find and OutputDebugStringW.
class Win32PackagePlatform : public PackagePlatform {
public:
    Win32PackagePlatform(TraceLines traceLines, std::optional<KxString> runningExecutable)
        : m_traceLines(traceLines), m_runningExecutable(std::move(runningExecutable))
    {
    }

    std::optional<FoundFile> findFile(const KxString& path) override;
    void debugOutput(const KxString& text) override;

private:
    TraceLines m_traceLines;
    std::optional<KxString> m_runningExecutable;
};

// As the framework's file-find reports it: the folder part of the searched
// path followed by the found name.
std::optional<FoundFile> Win32PackagePlatform::findFile(const KxString& path)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(wideUnits(path), &found);
    if (search == INVALID_HANDLE_VALUE)
        return std::nullopt;
    FindClose(search);
    KxString folder(path);
    Kavo::removeLastPathComponent(folder);
    const KxString name(found.cFileName);
    KxString fullPath = name;
    if (folder.length() != path.length()) {
        const char16_t last = folder.c_str()[folder.length() - 1];
        fullPath = (last == u'\\' || last == u'/') ? folder + name : folder + u"\\" + name;
    }
    const bool runningImage = m_runningExecutable && path == *m_runningExecutable;
    return FoundFile{fullPath, runningImage};
}

void Win32PackagePlatform::debugOutput(const KxString& text)
{
    if (m_traceLines == TraceLines::Sent)
        OutputDebugStringW(wideUnits(text));
}

} // namespace

std::unique_ptr<PackagePlatform> createNativePackagePlatform(TraceLines traceLines)
{
    return std::make_unique<Win32PackagePlatform>(traceLines, std::nullopt);
}

std::unique_ptr<PackagePlatform> createLauncherPackagePlatform(const KxString& executable)
{
    return std::make_unique<Win32PackagePlatform>(TraceLines::Sent, executable);
}

} // namespace Tessit
