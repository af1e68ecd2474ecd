#include "platform/NativePackagePlatform.h"

#include "KxFoundation/KxPath.h"

#include <windows.h>

#include <algorithm>

namespace Tessit {

namespace {

// Only the PE headers are looked at, and they sit in the first page or two.
// Mapping no more keeps a package of a gigabyte from exhausting a 32-bit
// process's address space, which would hide its certificate table.
constexpr uint64_t kHeaderViewBytes = 64 * 1024;

class Handle {
public:
    explicit Handle(HANDLE value) : m_value(value) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle()
    {
        if (isValid())
            CloseHandle(m_value);
    }
    bool isValid() const { return m_value != nullptr && m_value != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_value; }

private:
    HANDLE m_value;
};

// The start of the file, mapped read-only. The view keeps the mapping alive
// once its handles are closed.
class MappedView : public FileView {
public:
    MappedView(const void* base, uint64_t size) : m_base(base), m_size(size) {}
    ~MappedView() override { UnmapViewOfFile(m_base); }
    const uint8_t* data() const override { return static_cast<const uint8_t*>(m_base); }
    uint64_t size() const override { return m_size; }

private:
    const void* m_base;
    uint64_t m_size;
};

uint64_t combined(DWORD high, DWORD low) { return (uint64_t(high) << 32) | low; }

// File-find, a read-only mapping of the file's headers and
// OutputDebugStringW.
class Win32PackagePlatform : public PackagePlatform {
public:
    explicit Win32PackagePlatform(TraceLines traceLines) : m_traceLines(traceLines) {}

    std::optional<FoundFile> findFile(const KxString& path) override;
    std::unique_ptr<FileView> viewFile(const KxString& path) override;
    void debugOutput(const KxString& text) override;

private:
    TraceLines m_traceLines;
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
    return FoundFile{fullPath, combined(found.nFileSizeHigh, found.nFileSizeLow)};
}

// A mapping that cannot be made leaves the headers unknown: the caller then
// treats the file as having no certificate table.
std::unique_ptr<FileView> Win32PackagePlatform::viewFile(const KxString& path)
{
    const Handle file(CreateFileW(wideUnits(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isValid())
        return nullptr;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart == 0)
        return nullptr;
    const Handle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.isValid())
        return nullptr;
    const uint64_t viewBytes = std::min<uint64_t>(uint64_t(size.QuadPart), kHeaderViewBytes);
    const void* base = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, SIZE_T(viewBytes));
    if (!base)
        return nullptr;
    return std::make_unique<MappedView>(base, viewBytes);
}

void Win32PackagePlatform::debugOutput(const KxString& text)
{
    if (m_traceLines == TraceLines::Sent)
        OutputDebugStringW(wideUnits(text));
}

} // namespace

std::unique_ptr<PackagePlatform> createNativePackagePlatform(TraceLines traceLines)
{
    return std::make_unique<Win32PackagePlatform>(traceLines);
}

std::unique_ptr<PackagePlatform> createLauncherPackagePlatform(const KxString&)
{
    return createNativePackagePlatform(TraceLines::Sent);
}

} // namespace Tessit
