#include "package/LauncherTexts.h"
#include "package/LittleEndian.h"
#include "package/PackageCodec.h"
#include "package/PeImage.h"

#include "KxFoundation/KxFile.h"

#include <algorithm>
#include <array>

namespace Tessit {

using Kavo::KxFile;
using Kavo::KxSeekOrigin;

namespace {

bool readExactly(KxFile& file, void* buffer, uint32_t count) { return file.read(buffer, count) == int32_t(count); }

bool readValue(KxFile& file, uint32_t& value)
{
    uint8_t bytes[4] = {};
    if (!readExactly(file, bytes, sizeof bytes))
        return false;
    value = readLittleEndian32(bytes);
    return true;
}

class Locator {
public:
    Locator(PackagePlatform& platform, const KxString& executablePath, KxString& log, KxFile& packageFile,
            PackageHeader& header, const FooterFoundStep& footerFound)
        : m_platform(platform), m_executablePath(executablePath), m_shownPath(printableEntryName(executablePath)),
          m_log(log), m_file(packageFile), m_header(header), m_footerFound(footerFound)
    {
    }

    OpenResult open();

private:
    OpenResult& stop(OpenProblem problem)
    {
        m_result.problem = problem;
        return m_result;
    }
    OpenResult& fail(OpenProblem problem, const char16_t* format)
    {
        m_result.outcome = OpenOutcome::Failed;
        m_result.message.format(format, &m_shownPath);
        return stop(problem);
    }
    // Every close here leaves the same trace line, whatever the reason.
    void closePackageFile()
    {
        m_file.close();
        m_platform.debugOutput(kTracePackageClosed);
    }
    // The package file is closed at once when its parts do not add up.
    OpenResult& refuse()
    {
        closePackageFile();
        return fail(OpenProblem::Inconsistent, kMessageInconsistent);
    }

    void readCertificateTableAndPadding();
    void findFooterBeforeTable();
    bool readHeaderTable();

    PackagePlatform& m_platform;
    const KxString& m_executablePath;
    // The launcher's path as its log and messages show it: it is the user's
    // to choose, and is shown on a terminal on Linux.
    const KxString m_shownPath;
    KxString& m_log;
    KxFile& m_file;
    PackageHeader& m_header;
    const FooterFoundStep& m_footerFound;
    OpenResult m_result;
};

OpenResult Locator::open()
{
    m_platform.debugOutput(kTraceLocatingPackage);
    const std::optional<FoundFile> found = m_platform.findFile(m_executablePath);
    if (!found)
        return fail(OpenProblem::ExecutableNotFound, kMessageExecutableNotFound);
    m_log.appendFormat(kLogModule, &m_shownPath);
    PackageLocation& location = m_result.location;
    location.fileLength = found->length;
    // The whole 64-bit length counts: a package may pass 4 GiB.
    if (location.fileLength <= 4)
        return stop(OpenProblem::TooShort);
    if (!m_file.open(found->fullPath, false))
        return fail(OpenProblem::CannotOpen, kMessageCannotOpen);

    readCertificateTableAndPadding();

    uint32_t magic = 0;
    const int64_t footerFromEnd = int64_t(kFooterBytes) + location.padding + location.certificateSize;
    if (!m_file.seek(-footerFromEnd, KxSeekOrigin::End) || !readValue(m_file, magic) || magic != PACKAGE_MAGIC) {
        closePackageFile();
        return fail(OpenProblem::NoFooter, kMessageNoFooter);
    }
    if (!readValue(m_file, location.headerOffset))
        return refuse();

    if (m_footerFound) {
        if (const std::optional<KxString> refusal = m_footerFound()) {
            closePackageFile();
            m_result.outcome = OpenOutcome::Failed;
            m_result.message = *refusal;
            return stop(OpenProblem::Refused);
        }
    }

    uint32_t oemId = 0;
    uint32_t count = 0;
    if (!m_file.seek(location.headerOffset, KxSeekOrigin::Start) || !readValue(m_file, oemId))
        return refuse();
    m_header.oemId = int32_t(oemId);
    m_log.appendFormat(kLogOemId, m_header.oemId);
    if (!readValue(m_file, count))
        return refuse();
    m_header.count = int32_t(count);
    m_log.appendFormat(kLogCount, m_header.count);
    if (m_header.count < 1 || m_header.count > kMaxEntries)
        return stop(OpenProblem::CountOutOfRange);

    if (!readHeaderTable())
        return refuse();
    const std::optional<DataArea> dataArea = fitDataArea(m_header, location);
    if (!dataArea)
        return refuse();
    m_header.launcherEntriesCarryData = dataArea->launcherEntriesCarryData;
    location.slack = dataArea->slack;
    m_result.outcome = OpenOutcome::Opened;
    return m_result;
}

// Headers that cannot be looked at count as a file without a certificate
// table, and without padding.
void Locator::readCertificateTableAndPadding()
{
    const std::unique_ptr<FileView> view = m_platform.viewFile(m_executablePath);
    if (!view)
        return;
    const std::optional<SecurityDirectory> directory = readSecurityDirectory(view->data(), view->size());
    if (directory && directory->isSigned()) {
        m_result.location.certificateOffset = directory->tableOffset;
        m_result.location.certificateSize = directory->tableSize;
    }
    m_log.appendFormat(kLogCertificateTable, m_result.location.certificateOffset,
                       int32_t(m_result.location.certificateSize));
    findFooterBeforeTable();
}

// A signer pads the file with zero bytes to a multiple of 8 before its
// table, and removing the signature leaves that padding behind, so the
// footer lies where 0 to 7 zero bytes separate it from the table or the end
// of the file. A magic followed by anything else is an entry's data: the
// last entry cannot point the launcher at a header of its own, since a real
// footer is never zero bytes. The earliest fit wins; every fit is counted,
// so tools can report an ambiguous footer. A file shorter than the window
// has no padding.
void Locator::findFooterBeforeTable()
{
    std::array<uint8_t, kPaddingWindowBytes> window{};
    const int64_t windowFromEnd = int64_t(kPaddingWindowBytes) + m_result.location.certificateSize;
    if (!m_file.seek(-windowFromEnd, KxSeekOrigin::End) || !readExactly(m_file, window.data(), kPaddingWindowBytes))
        return;
    for (int32_t padding = kMaxPadding; padding >= 0; --padding) {
        const uint8_t* footer = window.data() + kPaddingWindowBytes - kFooterBytes - uint32_t(padding);
        const uint8_t* paddingEnd = window.data() + kPaddingWindowBytes;
        if (!isMagicAt(footer) ||
            !std::all_of(footer + kFooterBytes, paddingEnd, [](uint8_t byte) { return byte == 0; }))
            continue;
        if (m_result.location.footerCandidates++ == 0) {
            m_result.location.padding = padding;
            m_log.appendFormat(kLogPadding, padding);
        }
    }
}

// Sizes first, then the name slots, each in one read.
bool Locator::readHeaderTable()
{
    const size_t count = size_t(m_header.count);
    std::vector<uint8_t> sizes(count * 4);
    std::vector<uint8_t> names(count * kNameSlotBytes);
    if (!readExactly(m_file, sizes.data(), uint32_t(sizes.size())) ||
        !readExactly(m_file, names.data(), uint32_t(names.size())))
        return false;
    decodeEntryTable(sizes.data(), names.data(), m_header);
    return true;
}

} // namespace

OpenResult OpenPackage(PackagePlatform& platform, const KxString& executablePath, KxString& log,
                       KxFile& packageFile, PackageHeader& header, const FooterFoundStep& footerFound)
{
    return Locator(platform, executablePath, log, packageFile, header, footerFound).open();
}

} // namespace Tessit
