#include "KxRelativeOpen.h"

#include <winternl.h>

#include <cstring>
#include <vector>

namespace Kavo {

namespace {

UNICODE_STRING unicodeString(const KxString& name)
{
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(reinterpret_cast<PCWSTR>(name.c_str()));
    text.Length = USHORT(name.length() * sizeof(WCHAR));
    text.MaximumLength = text.Length;
    return text;
}

// The longest level a UNICODE_STRING holds; longer names exist nowhere.
constexpr uint32_t kLongestName = 32767;

} // namespace

HANDLE _kx_open_relative(HANDLE folder, const KxString& name, const KxRelativeOpen& how, LONG* status)
{
    if (name.length() == 0 || name.length() > kLongestName) {
        if (status)
            *status = LONG(0xC0000033); // STATUS_OBJECT_NAME_INVALID
        return INVALID_HANDLE_VALUE;
    }
    UNICODE_STRING text = unicodeString(name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE file = INVALID_HANDLE_VALUE;
    const NTSTATUS result = NtCreateFile(&file, how.access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                                         how.share, how.disposition,
                                         how.options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status)
        *status = result;
    return NT_SUCCESS(result) ? file : INVALID_HANDLE_VALUE;
}

bool _kx_is_reparse_point(HANDLE file)
{
    FILE_ATTRIBUTE_TAG_INFO information;
    return !GetFileInformationByHandleEx(file, FileAttributeTagInfo, &information, sizeof information) ||
           (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool _kx_rename_relative(HANDLE file, HANDLE folder, const KxString& name)
{
    if (name.length() == 0 || name.length() > kLongestName)
        return false;
    const size_t nameBytes = name.length() * sizeof(WCHAR);
    std::vector<uint8_t> buffer(offsetof(FILE_RENAME_INFORMATION, FileName) + nameBytes + sizeof(WCHAR), 0);
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = folder;
    rename->FileNameLength = ULONG(nameBytes);
    std::memcpy(rename->FileName, name.c_str(), nameBytes);
    IO_STATUS_BLOCK io;
    return NT_SUCCESS(NtSetInformationFile(file, &io, rename, ULONG(buffer.size()), FileRenameInformation));
}

} // namespace Kavo
