#include "PackageCommands.h"

#include "PackError.h"
#include "PackageFacts.h"
#include "PathText.h"
#include "TerminalText.h"

#include <cstdio>

namespace Tessit {

namespace fs = std::filesystem;

namespace {

// Who the signature says signed, once it could be read. No chain of trust
// stands behind these names: the package's author chose them, so they are
// shown escaped like any name.
void printSigner(const SignatureCheck& signature)
{
    if (signature.signerSubject.empty() && signature.signerIssuer.empty())
        return;
    std::printf("signer: %s\n", terminalText(signature.signerSubject).c_str());
    std::printf("issuer: %s\n", terminalText(signature.signerIssuer).c_str());
}

void printListing(const PackageFacts& facts)
{
    const PackageHeader& header = facts.header;
    const PackageLocation& location = facts.location;
    std::printf("OEM: %d\n", header.oemId);
    std::printf("entries: %d\n", header.count);
    for (int32_t index = 0; index < header.count; ++index) {
        const std::string& reason = facts.notWritten[size_t(index)];
        const std::string note = reason.empty() ? "" : "  (never written: " + reason + ")";
        std::printf("%4d %12d  %s%s\n", index + 1, header.sizes[size_t(index)],
                    utf8Of(printableEntryName(header.name(index))).c_str(), note.c_str());
    }
    std::printf("header offset: %u\n", location.headerOffset);
    std::printf("certificate table: offset %u, size %u\n", location.certificateOffset, location.certificateSize);
    std::printf("padding: %d\n", location.padding);
    if (facts.signature) {
        const SignatureCheck& signature = *facts.signature;
        const std::string algorithm = signature.algorithm.empty() ? "" : signature.algorithm + ", ";
        std::printf("signature: %s%s\n", algorithm.c_str(),
                    signature.holds() ? "holds" : explanation(signature).c_str());
        printSigner(signature);
    }
}

// Each finding on standard error, then the verdict on standard output.
void printVerdict(const fs::path& file, const PackageFacts& facts)
{
    const std::string shownFile = terminalText(utf8Of(file));
    for (const Finding& finding : facts.findings)
        std::fprintf(stderr, "tessit-pack: %s: %s: %s\n", finding.fault ? "error" : "warning", shownFile.c_str(),
                     terminalText(finding.text).c_str());
    std::string signing = "not signed";
    if (facts.signature)
        signing = facts.signature->holds() ? "signed, " + explanation(*facts.signature) : "signed";
    std::printf("%s: %d entries, %s, %s\n", shownFile.c_str(), facts.header.count,
                facts.faulty() ? "faulty" : "consistent", signing.c_str());
    if (facts.signature)
        printSigner(*facts.signature);
}

} // namespace

int listPackage(const fs::path& file)
{
    printListing(examinePackage(file));
    return 0;
}

int verifyPackage(const fs::path& file)
{
    const PackageFacts facts = examinePackage(file);
    printVerdict(file, facts);
    return facts.faulty() ? 1 : 0;
}

int extractPackage(const fs::path& file, const fs::path& folder)
{
    const ExtractionFacts facts = extractEntries(file, folder);
    std::fputs(terminalLines(utf8Of(facts.log)).c_str(), stdout);
    int failed = 0;
    for (const EntryOutcome outcome : facts.outcomes)
        failed += outcome != EntryOutcome::Written && outcome != EntryOutcome::SkippedLauncher;
    if (failed)
        throw PackError(file, std::to_string(failed) + " of " + std::to_string(facts.outcomes.size()) +
                        " entries not written");
    return 0;
}

} // namespace Tessit
