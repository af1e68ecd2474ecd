#include "PackageCommands.h"

#include "CommandLine.h"
#include "PackError.h"
#include "PackageFacts.h"
#include "PathText.h"
#include "TerminalText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
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
void printVerdict(const fs::path& file, const PackageFacts& facts, bool strict)
{
    const std::string shownFile = terminalText(utf8Of(file));
    for (const Finding& finding : facts.findings)
        std::fprintf(stderr, "tessit-pack: %s: %s: %s\n", finding.fault || strict ? "error" : "warning",
                     shownFile.c_str(), terminalText(finding.text).c_str());
    std::string signing = "not signed";
    if (facts.signature)
        signing = facts.signature->holds() ? "signed, " + explanation(*facts.signature) : "signed";
    std::printf("%s: %d %s, %s, %s\n", shownFile.c_str(), facts.header.count, facts.header.count == 1 ? "entry" : "entries",
                facts.faulty(strict) ? "faulty" : "consistent", signing.c_str());
    if (facts.signature)
        printSigner(*facts.signature);
}

// Names and texts as the file holds them: JSON escapes what is no printable
// ASCII, so nothing of them reaches a terminal raw.
void printJson(const fs::path& file, const PackageFacts& facts, bool strict)
{
    using nlohmann::json;
    json entries = json::array();
    for (int32_t index = 0; index < facts.header.count; ++index) {
        const std::optional<uint64_t>& offset = facts.offsets[size_t(index)];
        json entry = {{"name", utf8Of(facts.header.name(index))},
                      {"size", facts.header.sizes[size_t(index)]},
                      {"offset", offset ? json(*offset) : json(nullptr)},
                      {"written", facts.notWritten[size_t(index)].empty()}};
        if (!facts.notWritten[size_t(index)].empty())
            entry["notWrittenBecause"] = facts.notWritten[size_t(index)];
        entries.push_back(entry);
    }
    json signature = nullptr;
    if (facts.signature)
        signature = {{"algorithm", facts.signature->algorithm},
                     {"holds", facts.signature->holds()},
                     {"verdict", explanation(*facts.signature)},
                     {"signer", facts.signature->signerSubject},
                     {"issuer", facts.signature->signerIssuer}};
    json errors = json::array(), warnings = json::array();
    for (const Finding& finding : facts.findings)
        (finding.fault || strict ? errors : warnings).push_back(finding.text);
    const json object = {{"file", utf8Of(file)},
                         {"oem", facts.header.oemId},
                         {"entries", entries},
                         {"headerOffset", facts.location.headerOffset},
                         {"certificateTable",
                          {{"offset", facts.location.certificateOffset}, {"size", facts.location.certificateSize}}},
                         {"padding", facts.location.padding},
                         {"signature", signature},
                         {"consistent", !facts.faulty(strict)},
                         {"errors", errors},
                         {"warnings", warnings}};
    std::printf("%s\n", object.dump(2, ' ', true, json::error_handler_t::replace).c_str());
}

// A written entry's path below the folder, levels separated as the system
// separates them.
std::string shownPath(const KxString& relative)
{
    std::string path = utf8Of(relative);
    std::replace(path.begin(), path.end(), '\\', char(fs::path::preferred_separator));
    return terminalText(path);
}

} // namespace

int listPackage(const fs::path& file, bool json)
{
    const PackageFacts facts = examinePackage(file);
    if (json)
        printJson(file, facts, false);
    else
        printListing(facts);
    return kExitDone;
}

int verifyPackage(const fs::path& file, bool json, bool strict)
{
    const PackageFacts facts = examinePackage(file);
    if (json)
        printJson(file, facts, strict);
    else
        printVerdict(file, facts, strict);
    return facts.faulty(strict) ? kExitFailed : kExitDone;
}

int extractPackage(const fs::path& file, const fs::path& folder, bool log)
{
    const ExtractionFacts facts = extractEntries(file, folder);
    if (log)
        std::fputs(terminalLines(utf8Of(facts.log)).c_str(), stdout);
    int failed = 0;
    for (size_t index = 0; index < facts.outcomes.size(); ++index) {
        const EntryOutcome outcome = facts.outcomes[index];
        if (outcome == EntryOutcome::Written)
            std::printf("%s\n", shownPath(facts.writtenPaths[index]).c_str());
        failed += outcome != EntryOutcome::Written && outcome != EntryOutcome::SkippedLauncher;
    }
    if (failed)
        throw PackError(file, std::to_string(failed) + " of " + std::to_string(facts.outcomes.size()) +
                        " entries not written");
    return kExitDone;
}

} // namespace Tessit
