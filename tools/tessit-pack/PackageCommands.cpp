#include "PackageCommands.h"

#include "PackError.h"
#include "PathText.h"
#include "TerminalText.h"
#include "package/PackageFormat.h"
#include "package/SignatureCheck.h"
#include "platform/NativePackagePlatform.h"
#include "platform/NativeSignatureCrypto.h"

#include <cstdio>

namespace Tessit {

namespace fs = std::filesystem;

namespace {

std::string explanation(const OpenResult& result, const PackageHeader& header)
{
    switch (result.problem) {
    case OpenProblem::None: break;
    case OpenProblem::ExecutableNotFound: return "no such file";
    case OpenProblem::TooShort: return "too short to hold a package";
    case OpenProblem::CannotOpen: return "cannot be opened for reading";
    case OpenProblem::NoFooter: return "holds no package (no footer before its certificate table)";
    case OpenProblem::CountOutOfRange:
        return "damaged package: " + std::to_string(header.count) + " entries, not 1 to " +
               std::to_string(kMaxEntries);
    case OpenProblem::Inconsistent: return "damaged package: its header, data and footer do not add up to the file";
    }
    return "the package did not open";
}

std::string explanation(const SignatureCheck& check)
{
    switch (check.problem) {
    case SignatureProblem::None: break;
    case SignatureProblem::NoCryptography: return "no cryptography to check its signature's " + check.algorithm + " digest";
    case SignatureProblem::TableNotAtEnd: return "its certificate table does not end the file";
    case SignatureProblem::MalformedTable:
        return "its certificate table is not a sequence of whole, 8-byte aligned signature entries";
    case SignatureProblem::NoSignedData:
        return "its certificate table holds an entry that is no Authenticode signature that can be read";
    case SignatureProblem::SeveralEntries:
        return "its certificate table holds more than one entry: signers write one (a nested signature lives "
               "inside it), and no signature of the file covers the others";
    case SignatureProblem::UnknownAlgorithm:
        return "its signature's digest algorithm " + check.algorithm +
               " is none of SHA-1, SHA-256, SHA-384 and SHA-512";
    case SignatureProblem::NoAuthenticatedAttributes:
        return "its signer signed no authenticated attributes, which Authenticode requires and Windows refuses";
    case SignatureProblem::SignerNotCheckable:
        return "its signature cannot be checked here: this system cannot verify the signer's " + check.signerKey +
               " key or its signature algorithm (which does not mean the file changed)";
    case SignatureProblem::SignerNotVerified:
        return "the signer's signature does not verify with its certificate: what it signed changed after signing";
    case SignatureProblem::UnsupportedLayout:
        return "its PE headers do not lay out the file as its signature's digest needs";
    case SignatureProblem::Unreadable: return "it could not be read to its end for its signature's digest";
    case SignatureProblem::Mismatch:
        return "signature digest does not match (" + check.algorithm + "): the file changed after it was signed";
    }
    return "signature holds (" + check.algorithm + ")";
}

std::string joined(const std::vector<std::string>& texts)
{
    std::string result;
    for (const std::string& text : texts)
        result += "; " + text;
    return result;
}

// The package, opened as the launcher opens it and, when signed, its
// signature checked as the launcher checks it; or a PackError.
class CheckedPackage {
public:
    explicit CheckedPackage(const fs::path& file)
        : m_platform(createNativePackagePlatform(TraceLines::Dropped)), m_package(*m_platform)
    {
        const OpenResult& result = OpenPackage(m_package, fileText(file), m_log);
        if (result.outcome != OpenOutcome::Opened)
            throw PackError(file, explanation(result, m_package.header()) + joined(layoutProblems(result.location)));
        if (m_package.isSigned())
            m_signature = CheckSignature(createNativeSignatureCrypto().get(), m_package);
    }

    const PackageHeader& header() const { return m_package.header(); }
    const PackageLocation& location() const { return m_package.location(); }
    bool isSigned() const { return m_package.isSigned(); }
    // The launcher's check of a signed file's signature.
    const SignatureCheck& signature() const { return m_signature; }

    ExtractionReport extract(const KxString& targetFolder) { return ExtractEntries(m_package, targetFolder, m_log); }
    const KxString& log() const { return m_log; }

private:
    std::unique_ptr<PackagePlatform> m_platform;
    Package m_package;
    KxString m_log;
    SignatureCheck m_signature;
};

// Who the signature says signed, once it could be read; no chain of trust
// stands behind these names.
void printSigner(const SignatureCheck& signature)
{
    if (signature.signerSubject.empty() && signature.signerIssuer.empty())
        return;
    std::printf("signer: %s\n", signature.signerSubject.c_str());
    std::printf("issuer: %s\n", signature.signerIssuer.c_str());
}

const char* noteFor(const KxString& name)
{
    if (isLauncherEntry(name))
        return "  (the launcher's own name: never written)";
    if (isUnsafeEntryName(name))
        return "  (unsafe name: never written)";
    return "";
}

} // namespace

int listPackage(const fs::path& file)
{
    CheckedPackage package(file);
    const PackageLocation& location = package.location();
    const PackageHeader& header = package.header();
    std::printf("OEM: %d\n", header.oemId);
    std::printf("entries: %d\n", header.count);
    for (int32_t index = 0; index < header.count; ++index) {
        const KxString name = header.name(index);
        std::printf("%4d %12d  %s%s\n", index + 1, header.sizes[size_t(index)], utf8Of(printableEntryName(name)).c_str(), noteFor(name));
    }
    std::printf("header offset: %u\n", location.headerOffset);
    std::printf("certificate table: offset %u, size %u\n", location.certificateOffset, location.certificateSize);
    std::printf("padding: %d\n", location.padding);
    if (package.isSigned()) {
        const SignatureCheck& signature = package.signature();
        const std::string algorithm = signature.algorithm.empty() ? "" : signature.algorithm + ", ";
        std::printf("signature: %s%s\n", algorithm.c_str(),
                    signature.holds() ? "holds" : explanation(signature).c_str());
        printSigner(signature);
    }
    return 0;
}

std::vector<std::string> layoutProblems(const PackageLocation& location)
{
    std::vector<std::string> problems;
    const uint64_t tableEnd = uint64_t(location.certificateOffset) + location.certificateSize;
    if (location.certificateSize != 0 && tableEnd != location.fileLength)
        problems.push_back("its certificate table (offset " + std::to_string(location.certificateOffset) + ", size " +
                           std::to_string(location.certificateSize) + ") does not end the file (" +
                           std::to_string(location.fileLength) + " bytes)");
    if (location.footerCandidates > 1)
        problems.push_back("ambiguous footer: " + std::to_string(location.footerCandidates) +
                           " places before the certificate table hold one");
    return problems;
}

int verifyPackage(const fs::path& file)
{
    CheckedPackage package(file);
    const PackageHeader& header = package.header();
    int faults = 0;
    const auto report = [&](const std::string& problem) {
        std::fprintf(stderr, "tessit-pack: error: %s: %s\n", terminalText(utf8Of(file)).c_str(),
                     terminalText(problem).c_str());
        ++faults;
    };
    for (const std::string& problem : layoutProblems(package.location()))
        report(problem);
    // The launcher never reads them, so the package still opens and runs.
    if (package.location().slack != 0)
        std::fprintf(stderr, "tessit-pack: warning: %s: %llu bytes between the data area and the footer belong to no entry\n",
                     utf8Of(file).c_str(), static_cast<unsigned long long>(package.location().slack));
    for (int32_t index = 0; index < header.count; ++index) {
        const KxString name = header.name(index);
        if (isUnsafeEntryName(name))
            report("unsafe entry name '" + utf8Of(printableEntryName(name)) + "'");
    }
    // A table that does not end the file was reported with the layout.
    const SignatureCheck& signature = package.signature();
    if (!signature.holds() && signature.problem != SignatureProblem::TableNotAtEnd)
        report(explanation(signature));
    std::string signing = "not signed";
    if (package.isSigned())
        signing = signature.holds() ? "signed, " + explanation(signature) : "signed";
    std::printf("%s: %d entries, %s, %s\n", terminalText(utf8Of(file)).c_str(), header.count, faults ? "faulty" : "consistent",
                signing.c_str());
    printSigner(signature);
    return faults ? 1 : 0;
}

int extractPackage(const fs::path& file, const fs::path& folder)
{
    fs::create_directories(folder);
    const KxString target = fileText(fs::absolute(folder)) + KxString(fs::path(u"/").make_preferred().u16string().c_str());
    CheckedPackage package(file);
    if (!package.signature().holds())
        throw PackError(file, explanation(package.signature()));
    const ExtractionReport report = package.extract(target);
    std::fputs(terminalLines(utf8Of(package.log())).c_str(), stdout);
    int failed = 0;
    for (const EntryOutcome outcome : report.entries)
        failed += outcome != EntryOutcome::Written && outcome != EntryOutcome::SkippedLauncher;
    if (failed)
        throw PackError(file, std::to_string(failed) + " of " + std::to_string(report.entries.size()) +
                        " entries not written");
    return 0;
}

} // namespace Tessit
