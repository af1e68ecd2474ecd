#ifndef TESSIT_TESTS_SUPPORT_PACKAGETESTSUPPORT_H
#define TESSIT_TESTS_SUPPORT_PACKAGETESTSUPPORT_H

#include "KxTestFolder.h"
#include "PackageFixture.h"
#include "RecordingPlatform.h"

#include "KxFoundation/KxPath.h"
#include "texts/LauncherTexts.h"
#include "package/PackageExtraction.h"
#include "platform/NativePackagePlatform.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

namespace Tessit {

// A package file and an empty folder to extract it into, both private to
// the test, opened through the recording platform over the real one.
class PackageRun {
public:
    PackageRun() : m_native(createNativePackagePlatform()), platform(*m_native)
    {
        std::filesystem::create_directory(folder.at(u"temp"));
        platform.temporaryFolder = folder.text(u"temp\\");
    }

    Kavo::KxString write(const std::string& bytes)
    {
        folder.writeFile(u"Tessit-packed.exe", bytes);
        return folder.text(u"Tessit-packed.exe");
    }

    // Opens the package as the launcher does, which settles its temporary
    // folder once the footer is found.
    OpenResult open(const std::string& bytes)
    {
        executable = write(bytes);
        if (package.openFooter(executable, log).outcome != OpenOutcome::Opened)
            return package.result();
        log.appendFormat(kLogTempFolder, &platform.temporaryFolder);
        if (platform.temporaryFolder.length() == 0) {
            package.close();
            OpenResult refused = package.result();
            refused.outcome = OpenOutcome::Failed;
            refused.message = Kavo::KxString(kMessageNoTempFolder);
            return refused;
        }
        return package.readHeader(log);
    }

    ExtractionReport extract(const HeldEntryTest& isHeld = HeldEntryTest(), SignatureCrypto* crypto = nullptr)
    {
        return ExtractEntries(package, platform.temporaryFolder, log, {isHeld, crypto});
    }

    const PackageHeader& header() const { return package.header(); }

    std::string extracted(const std::u16string& relative) const { return folder.readFile(u"temp/" + relative); }

    // Every file and folder the run left below the test's folder, apart
    // from the package itself.
    std::vector<std::filesystem::path> writtenFiles() const
    {
        std::vector<std::filesystem::path> written;
        for (const auto& item : std::filesystem::recursive_directory_iterator(folder.path()))
            if (item.path().filename() != "Tessit-packed.exe")
                written.push_back(item.path().lexically_relative(folder.path()));
        std::sort(written.begin(), written.end());
        return written;
    }

private:
    std::unique_ptr<PackagePlatform> m_native;

public:
    Kavo::KxTestFolder folder;
    RecordingPlatform platform;
    Kavo::KxString executable;
    Kavo::KxString log;
    Package package{platform};
};

// The cross-built stand-ins for the launcher, beside the test program.
inline std::filesystem::path crossBuiltProgram(const char16_t* name)
{
    Kavo::KxString folder = Kavo::modulePath();
    Kavo::removeLastPathComponent(folder);
    return std::filesystem::path(std::u16string(folder.c_str())) / name;
}

} // namespace Tessit

#endif
