#include "package/Package.h"

#include "package/EntryName.h"
#include "texts/LauncherTexts.h"
#include "package/LittleEndian.h"
#include "package/PackageCodec.h"
#include "package/PeImage.h"

#include <algorithm>
#include <array>
#include <vector>

namespace Tessit {

namespace {

// The PE headers sit in the first page or two; a file whose headers lie
// further in counts as having no certificate table.
constexpr uint64_t kHeadBytes = 64 * 1024;

// Where a part that lies `fromEnd` bytes before the end of a file of
// `length` bytes starts; nothing when the file is shorter.
std::optional<uint64_t> offsetFromEnd(uint64_t length, uint64_t fromEnd)
{
    if (fromEnd > length)
        return std::nullopt;
    return length - fromEnd;
}

} // namespace

const OpenResult& Package::stop(OpenProblem problem)
{
    m_result.problem = problem;
    return m_result;
}

const OpenResult& Package::fail(OpenProblem problem, const char16_t* format)
{
    m_result.outcome = OpenOutcome::Failed;
    // The launcher's path is the user's to choose, and is shown on a
    // terminal on Linux.
    const KxString shownPath = printableEntryName(m_executablePath);
    m_result.message.format(format, &shownPath);
    return stop(problem);
}

// The file is closed at once when the package's parts do not add up.
const OpenResult& Package::refuse()
{
    close();
    return fail(OpenProblem::Inconsistent, kMessageInconsistent);
}

void Package::close()
{
    m_file.close();
    m_platform.debugOutput(kTracePackageClosed);
}

uint64_t Package::dataOffset() const { return location().headerOffset + headerBytes(m_header.count); }

// The running launcher's own file is opened as the image that runs, never
// again by its path. The file's length is the open file's, measured once.
const OpenResult& Package::openFooter(const KxString& executablePath, KxString& log)
{
    m_executablePath = executablePath;
    m_result = OpenResult();
    m_platform.debugOutput(kTraceLocatingPackage);
    const std::optional<FoundFile> found = m_platform.findFile(m_executablePath);
    if (!found)
        return fail(OpenProblem::ExecutableNotFound, kMessageExecutableNotFound);
    const KxString shownPath = printableEntryName(m_executablePath);
    log.appendFormat(kLogModule, &shownPath);
    const bool opened = found->runningImage ? m_file.openRunningImage() : m_file.open(found->fullPath, false);
    const int64_t length = opened ? m_file.length() : -1;
    if (length < 0) {
        m_file.close();
        return fail(OpenProblem::CannotOpen, kMessageCannotOpen);
    }
    // The whole 64-bit length counts: a package may pass 4 GiB.
    if (length <= 4) {
        m_file.close();
        return stop(OpenProblem::TooShort);
    }
    PackageLocation& location = m_result.location;
    location.fileLength = uint64_t(length);

    readCertificateTableAndPadding(log);

    std::array<uint8_t, kFooterBytes> footer{};
    const std::optional<uint64_t> footerAt = offsetFromEnd(
        location.fileLength, uint64_t(kFooterBytes) + uint64_t(location.padding) + location.certificateSize);
    if (!footerAt || !readAt(*footerAt, footer.data(), 4) || !isMagicAt(footer.data())) {
        close();
        return fail(OpenProblem::NoFooter, kMessageNoFooter);
    }
    if (!readAt(*footerAt + 4, footer.data() + 4, 4))
        return refuse();
    location.headerOffset = readLittleEndian32(footer.data() + 4);
    m_result.outcome = OpenOutcome::Opened;
    return m_result;
}

const OpenResult& Package::readHeader(KxString& log)
{
    m_result.outcome = OpenOutcome::Stopped;
    uint8_t fixed[kHeaderFixedBytes] = {};
    const uint64_t headerOffset = location().headerOffset;
    if (!readAt(headerOffset, fixed, 4))
        return refuse();
    m_header.oemId = int32_t(readLittleEndian32(fixed));
    log.appendFormat(kLogOemId, m_header.oemId);
    if (!readAt(headerOffset + 4, fixed + 4, 4))
        return refuse();
    m_header.count = int32_t(readLittleEndian32(fixed + 4));
    log.appendFormat(kLogCount, m_header.count);
    if (m_header.count < 1 || m_header.count > kMaxEntries)
        return stop(OpenProblem::CountOutOfRange);

    if (!readHeaderTable())
        return refuse();
    const std::optional<DataArea> dataArea = fitDataArea(m_header, location());
    if (!dataArea)
        return refuse();
    m_header.launcherEntriesCarryData = dataArea->launcherEntriesCarryData;
    m_result.location.slack = dataArea->slack;
    m_result.outcome = OpenOutcome::Opened;
    return m_result;
}

// Headers that cannot be read count as a file without a certificate table,
// and without padding.
void Package::readCertificateTableAndPadding(KxString& log)
{
    std::vector<uint8_t> head(size_t(std::min(kHeadBytes, location().fileLength)));
    if (!readAt(0, head.data(), uint32_t(head.size())))
        return;
    const std::optional<SecurityDirectory> directory = readSecurityDirectory(head.data(), head.size());
    m_result.location.peImage = directory.has_value();
    if (directory && directory->isSigned()) {
        m_result.location.certificateOffset = directory->tableOffset;
        m_result.location.certificateSize = directory->tableSize;
    }
    log.appendFormat(kLogCertificateTable, m_result.location.certificateOffset,
                     int32_t(m_result.location.certificateSize));
    findFooterBeforeTable(log);
}

// A signer pads the file with zero bytes to a multiple of 8 before its
// table, and removing the signature leaves that padding behind, so the
// footer lies where 0 to 7 zero bytes separate it from the table or the end
// of the file. A magic followed by anything else is an entry's data: the
// last entry cannot point the launcher at a header of its own, since a real
// footer is never zero bytes. The earliest fit wins; every fit is counted,
// so tools can report an ambiguous footer. A file shorter than the window
// has no padding.
void Package::findFooterBeforeTable(KxString& log)
{
    std::array<uint8_t, kPaddingWindowBytes> window{};
    const std::optional<uint64_t> windowAt =
        offsetFromEnd(location().fileLength, uint64_t(kPaddingWindowBytes) + location().certificateSize);
    if (!windowAt || !readAt(*windowAt, window.data(), kPaddingWindowBytes))
        return;
    for (int32_t padding = kMaxPadding; padding >= 0; --padding) {
        const uint8_t* footer = window.data() + kPaddingWindowBytes - kFooterBytes - uint32_t(padding);
        const uint8_t* paddingEnd = window.data() + kPaddingWindowBytes;
        if (!isMagicAt(footer) ||
            !std::all_of(footer + kFooterBytes, paddingEnd, [](uint8_t byte) { return byte == 0; }))
            continue;
        if (m_result.location.footerCandidates++ == 0) {
            m_result.location.padding = padding;
            log.appendFormat(kLogPadding, padding);
        }
    }
}

// The sizes, then the name slots, each in one read.
bool Package::readHeaderTable()
{
    const size_t count = size_t(m_header.count);
    std::vector<uint8_t> sizes(count * 4);
    std::vector<uint8_t> names(count * kNameSlotBytes);
    const uint64_t tableAt = location().headerOffset + kHeaderFixedBytes;
    if (!readAt(tableAt, sizes.data(), uint32_t(sizes.size())) ||
        !readAt(tableAt + sizes.size(), names.data(), uint32_t(names.size())))
        return false;
    decodeEntryTable(sizes.data(), names.data(), m_header);
    return true;
}

const OpenResult& OpenPackage(Package& package, const KxString& executablePath, KxString& log)
{
    if (package.openFooter(executablePath, log).outcome != OpenOutcome::Opened)
        return package.result();
    return package.readHeader(log);
}

} // namespace Tessit
