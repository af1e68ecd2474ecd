#ifndef TESSIT_PACKAGE_PACKAGE_H
#define TESSIT_PACKAGE_PACKAGE_H

#include "KxFoundation/KxFile.h"
#include "KxFoundation/KxString.h"
#include "package/PackageFormat.h"
#include "package/PackagePlatform.h"

#include <cstdint>

namespace Tessit {

// Entries are copied, and a signed file hashed, through one buffer of this
// size.
constexpr uint32_t COPY_CHUNK_SIZE = 512000;

enum class OpenOutcome { Opened, Failed, Stopped };

// Why the package did not open, for tools that explain it in their own words.
enum class OpenProblem {
    None,
    ExecutableNotFound,
    TooShort,          // 4 bytes or less
    CannotOpen,
    NoFooter,          // no magic before the padding and certificate table
    CountOutOfRange,
    Inconsistent,      // parts that do not add up to the file
};

// How far opening the package got: on Failed `message` is the text to show.
struct OpenResult {
    OpenOutcome outcome = OpenOutcome::Stopped;
    OpenProblem problem = OpenProblem::None;
    KxString message;
    PackageLocation location; // filled as far as the locator got
};

// The package inside one executable, read through the one file it holds
// (for the running launcher, its running image) at explicit offsets, so no
// reader depends on where another left off. It opens in two steps, the
// footer and then the header, and the caller may take a step of its own
// between them (the launcher settles its temporary folder there, so its
// log line falls between theirs). Both steps append their lines to `log`.
class Package {
public:
    explicit Package(PackagePlatform& platform) : m_platform(platform) {}
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Finds the executable at `executablePath`, opens it and finds the footer
    // in front of the padding and the certificate table. Opened means the
    // header is to be read next.
    const OpenResult& openFooter(const KxString& executablePath, KxString& log);
    // Reads the header the footer points at. Opened means its parts add up
    // to the file, so its entries can be read; a package whose parts do not
    // is refused before anything is written.
    const OpenResult& readHeader(KxString& log);

    const OpenResult& result() const { return m_result; }
    const PackageLocation& location() const { return m_result.location; }
    const PackageHeader& header() const { return m_header; }
    bool isSigned() const { return location().certificateSize != 0; }
    // Where the first entry's bytes start.
    uint64_t dataOffset() const;
    PackagePlatform& platform() { return m_platform; }

    // All `count` bytes at `offset` in the executable, or false.
    bool readAt(uint64_t offset, void* buffer, uint32_t count) { return m_file.readExactlyAt(offset, buffer, count); }
    bool isOpen() const { return m_file.isOpen(); }
    // Every close the launcher makes leaves the same trace line.
    void close();

private:
    const OpenResult& fail(OpenProblem problem, const char16_t* format);
    const OpenResult& stop(OpenProblem problem);
    const OpenResult& refuse();
    void readCertificateTableAndPadding(KxString& log);
    void findFooterBeforeTable(KxString& log);
    bool readHeaderTable();

    PackagePlatform& m_platform;
    KxString m_executablePath;
    Kavo::KxFile m_file;
    PackageHeader m_header;
    OpenResult m_result;
};

// Opens `package` in both steps, with nothing between them.
const OpenResult& OpenPackage(Package& package, const KxString& executablePath, KxString& log);

} // namespace Tessit

#endif
