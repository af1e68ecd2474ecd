#include "PackageFacts.h"

#include "EntrySources.h"
#include "PackError.h"
#include "PathText.h"
#include "platform/NativePackagePlatform.h"
#include "platform/NativeSignatureCrypto.h"

#include <algorithm>

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

std::string joined(const std::vector<std::string>& texts)
{
    std::string result;
    for (const std::string& text : texts)
        result += "; " + text;
    return result;
}

// How the launcher the package is attached to reads its entries' names.
NameRules launcherRules(const PackageLocation& location)
{
    return location.peImage ? NameRules::Windows : NameRules::Posix;
}

// Why the launcher will not write an entry; empty for one it writes.
std::string notWrittenBecause(const KxString& name, NameRules rules)
{
    if (isLauncherEntry(name))
        return "the launcher's own name";
    UnsafeName why = UnsafeName::None;
    return resolveEntryName(name, rules, &why) ? std::string() : "unsafe name, " + unsafeNameReason(why);
}

// What verify tells of the entries: the launcher skips its own name by
// design (a warning), and names it must not write are the package's fault.
// Where bytes belong to no entry, an entry named like the launcher is taken
// to carry none: had it carried some, every later entry is read from the
// wrong place, and nothing in the package tells which it is.
void judgeEntries(PackageFacts& facts)
{
    const PackageHeader& header = facts.header;
    const PackageLocation& location = facts.location;
    const uint64_t slack = location.slack;
    if (slack != 0)
        facts.findings.push_back(
            {false, std::to_string(slack) + " bytes between the data area and the footer belong to no entry"});
    for (int32_t index = 0; slack != 0 && index < header.count; ++index)
        if (isLauncherEntry(header.name(index)) && header.sizes[size_t(index)] > 0)
            facts.findings.push_back(
                {false, "entry " + std::to_string(index + 1) + " has the launcher's own name and records " +
                            std::to_string(header.sizes[size_t(index)]) +
                            " bytes, taken to be stored nowhere since the data area has room to spare: had they "
                            "been stored, every later entry is read from the wrong place"});
    uint64_t offset = location.headerOffset + headerBytes(header.count);
    std::vector<KxString> names;
    for (int32_t index = 0; index < header.count; ++index) {
        const KxString name = header.name(index);
        names.push_back(name);
        const bool stored = !isLauncherEntry(name) || header.launcherEntriesCarryData;
        facts.offsets.push_back(stored ? std::optional<uint64_t>(offset) : std::nullopt);
        if (stored)
            offset += uint64_t(std::max(header.sizes[size_t(index)], 0));
        const std::string shown = "'" + utf8Of(printableEntryName(name)) + "'";
        UnsafeName why = UnsafeName::None;
        facts.notWritten.push_back(notWrittenBecause(name, facts.rules));
        if (isLauncherEntry(name))
            facts.findings.push_back({false, "entry " + std::to_string(index + 1) + " " + shown +
                                                 " has the launcher's own name and is never written"});
        else if (!resolveEntryName(name, facts.rules, &why))
            facts.findings.push_back(
                {true, "unsafe entry name " + shown + ": " + unsafeNameReason(why) + "; the launcher never writes it"});
    }
    for (const std::string& warning : missingPrograms(names, facts.rules))
        facts.findings.push_back({false, warning});
}

} // namespace

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

bool PackageFacts::faulty(bool strict) const
{
    return std::any_of(findings.begin(), findings.end(), [&](const Finding& finding) { return finding.fault || strict; });
}

OpenedPackage::OpenedPackage(const fs::path& file)
    : m_platform(createNativePackagePlatform(TraceLines::Dropped)), m_package(*m_platform)
{
    const OpenResult& result = OpenPackage(m_package, fileText(file), log);
    if (result.outcome != OpenOutcome::Opened)
        throw PackError(file, explanation(result, m_package.header()) + joined(layoutProblems(result.location)));
}

PackageFacts examinePackage(const fs::path& file)
{
    OpenedPackage opened(file);
    Package& package = opened.package();
    PackageFacts facts;
    facts.header = package.header();
    facts.location = package.location();
    facts.rules = launcherRules(facts.location);
    if (package.isSigned())
        facts.signature = CheckSignature(createNativeSignatureCrypto().get(), package);
    for (const std::string& problem : layoutProblems(facts.location))
        facts.findings.push_back({true, problem});
    judgeEntries(facts);
    // A table that does not end the file was reported with the layout.
    if (facts.signature && !facts.signature->holds() && facts.signature->problem != SignatureProblem::TableNotAtEnd)
        facts.findings.push_back({true, explanation(*facts.signature)});
    return facts;
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

ExtractionFacts extractEntries(const fs::path& file, const fs::path& folder)
{
    fs::create_directories(folder);
    const KxString target = fileText(fs::absolute(folder)) + KxString(fs::path(u"/").make_preferred().u16string().c_str());
    OpenedPackage opened(file);
    const std::unique_ptr<SignatureCrypto> crypto = createNativeSignatureCrypto();
    ExtractionFacts facts;
    ExtractionReport report = ExtractEntries(opened.package(), target, facts.log,
                                             {HeldEntryTest(), crypto.get(), ExtractedAccess::Readable});
    if (report.refused())
        throw PackError(file, explanation(*report.signature));
    facts.outcomes = std::move(report.entries);
    facts.writtenPaths = std::move(report.writtenPaths);
    return facts;
}

} // namespace Tessit
