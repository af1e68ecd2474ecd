// The locator, the signature check and the extraction over arbitrary bytes
// placed behind a launcher image, extracting into a fresh folder deep inside
// a sandbox.
// Besides not crashing, every run must leave the sandbox untouched outside
// that folder, write no more than the input holds, and give each entry it
// reports written exactly its bytes of the data area.
//
// Input: one byte choosing the image (bit 0: PE32+, bit 1: signed, its
// certificate table's offset and size then taken from the next 4 + 2
// bytes), then the bytes appended to the image.
#include "KxTestFolder.h"
#include "PackageFixture.h"

#include "package/PackageExtraction.h"
#include "package/SignatureCheck.h"
#include "platform/NativePackagePlatform.h"
#include "platform/NativeSignatureCrypto.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

using namespace Tessit;
using Kavo::KxString;
namespace fs = std::filesystem;

namespace {

// A name can climb at most 21 levels ("../" is 3 of its 63 units), so any
// climb out of the target folder still lands inside the sandbox.
constexpr int kTargetDepth = 24;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "PackageFuzzer: %s\n", what);
    std::abort();
}

// Every folder and file of the sandbox but the package and the target
// folder's contents, files with their bytes.
using Snapshot = std::map<std::string, std::string>;

class Sandbox {
public:
    Sandbox()
    {
        // Memory-backed when it can be: every written entry is forced to the device.
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "tessit-package-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            fail("no sandbox folder");
        root = pattern;
        fs::path level = root;
        for (int depth = 0; depth < kTargetDepth; ++depth)
            level /= "l";
        fs::create_directories(level);
        std::ofstream(root / "sentinel") << "outside the target folder";
        std::ofstream(level / "sentinel") << "beside the target folder";
        target = level / "temp";
        package = root / "Tessit-packed.exe";
        baseline = snapshot();
    }
    ~Sandbox()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    Snapshot snapshot() const
    {
        Snapshot result;
        for (auto item = fs::recursive_directory_iterator(root); item != fs::recursive_directory_iterator(); ++item) {
            if (item->path() == package)
                continue;
            if (item->path() == target) {
                item.disable_recursion_pending();
                continue;
            }
            const std::string relative = item->path().lexically_relative(root).string();
            result[relative] = item->is_directory() ? "(folder)" : fileBytes(item->path());
        }
        return result;
    }

    fs::path root;
    fs::path target;
    fs::path package;
    Snapshot baseline;
};

Sandbox& sandbox()
{
    static Sandbox instance;
    return instance;
}

std::string launcherFile(const uint8_t* data, size_t size)
{
    if (size == 0)
        return minimalPe(PeKind::Pe32);
    std::string image = minimalPe(data[0] & 1 ? PeKind::Pe32Plus : PeKind::Pe32);
    size_t used = 1;
    if (data[0] & 2 && size >= 7) {
        const std::string directory(reinterpret_cast<const char*>(data) + 1, 6);
        putLittleEndian(image, securityEntryOffset(image), getLittleEndian(directory, 0));
        putLittleEndian(image, securityEntryOffset(image) + 4, getLittleEndian(directory, 4, 2));
        used = 7;
    }
    return image + std::string(reinterpret_cast<const char*>(data) + used, size - used);
}

// The name's folder levels as the system resolves them, '.' and empty
// levels dropped; nothing when a '..' climbs above the target folder.
std::optional<std::u16string> resolvedName(const KxString& name)
{
    std::vector<std::u16string> levels;
    std::u16string level;
    for (const char16_t unit : std::u16string(name.c_str(), name.length()) + u'/') {
        if (unit != u'/' && unit != u'\\') {
            level.push_back(unit);
            continue;
        }
        if (level == u"..") {
            if (levels.empty())
                return std::nullopt;
            levels.pop_back();
        } else if (!level.empty() && level != u".") {
            levels.push_back(level);
        }
        level.clear();
    }
    std::u16string joined;
    for (const std::u16string& part : levels)
        joined += (joined.empty() ? u"" : u"/") + part;
    return joined;
}

struct Written {
    uint64_t files = 0;
    uint64_t bytes = 0;
};

Written writtenBelow(const fs::path& folder)
{
    Written written;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (item.is_symlink())
            fail("the extraction made a link");
        if (item.is_regular_file()) {
            ++written.files;
            written.bytes += item.file_size();
        }
    }
    return written;
}

// Entries reported written whose target no other entry touched hold exactly
// their part of the data area, which runs from the end of the header in
// table order.
void checkWrittenEntries(const PackageHeader& header, const PackageLocation& location, const ExtractionReport& report,
                         const std::string& file, const fs::path& target)
{
    std::map<std::u16string, int> touches;
    std::vector<std::optional<std::u16string>> resolved;
    for (int32_t index = 0; index < header.count; ++index) {
        resolved.push_back(resolvedName(header.name(index)));
        const EntryOutcome outcome = report.entries[size_t(index)];
        const bool attempted = outcome != EntryOutcome::SkippedLauncher && outcome != EntryOutcome::SkippedUnsafe;
        if (attempted && !resolved.back())
            fail("an entry that climbs out of the target folder was attempted");
        if (attempted)
            ++touches[*resolved.back()];
    }
    uint64_t offset = location.headerOffset + headerBytes(header.count);
    for (int32_t index = 0; index < header.count; ++index) {
        const uint64_t size = uint64_t(header.sizes[size_t(index)]);
        const bool stored = header.launcherEntriesCarryData || !isLauncherEntry(header.name(index));
        const uint64_t start = offset;
        if (stored)
            offset += size;
        if (report.entries[size_t(index)] != EntryOutcome::Written || touches[*resolved[size_t(index)]] != 1)
            continue;
        fs::path path;
        try {
            path = target / fs::path(*resolved[size_t(index)]);
        } catch (const std::exception&) {
            continue; // text with no UTF-8 form: nothing could have been written
        }
        if (fileBytes(path) != file.substr(start, size))
            fail("an entry reported written does not hold its bytes");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Sandbox& box = sandbox();
    const std::string file = launcherFile(data, size);
    std::ofstream(box.package, std::ios::binary | std::ios::trunc) << file;
    fs::create_directory(box.target);

    static const std::unique_ptr<PackagePlatform> platform = createNativePackagePlatform(TraceLines::Dropped);
    KxString log;
    Package package(*platform);
    const OpenResult opened = OpenPackage(package, Kavo::toKxString(box.package), log);
    const PackageHeader& header = package.header();
    if (opened.outcome == OpenOutcome::Opened) {
        // A signed package is checked as it is read: refused, it leaves
        // nothing; otherwise its entries' bytes are compared below.
        static const std::unique_ptr<SignatureCrypto> crypto = createNativeSignatureCrypto();
        const ExtractionReport report =
            ExtractEntries(package, Kavo::toKxString(box.target) + u"/", log, {HeldEntryTest(), crypto.get()});
        if (report.refused()) {
            if (writtenBelow(box.target).files != 0)
                fail("a refused package left files behind");
        } else {
            if (package.isOpen())
                fail("the package stayed open after the extraction");
            if (report.entries.size() != size_t(header.count))
                fail("the report does not cover every entry");
            checkWrittenEntries(header, opened.location, report, file, box.target);
        }
    }

    const Written written = writtenBelow(box.target);
    if (opened.outcome != OpenOutcome::Opened && written.files != 0)
        fail("a package that did not open wrote files");
    if (written.bytes > size || written.files > uint64_t(kMaxEntries))
        fail("the extraction wrote more than the package holds");
    if (box.snapshot() != box.baseline)
        fail("something outside the target folder changed");
    if (fileBytes(box.package) != file)
        fail("the package file changed");
    fs::remove_all(box.target);
    return 0;
}
