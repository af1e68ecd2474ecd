#ifndef TESSIT_TESTS_APP_RUNSEQUENCEFIXTURE_H
#define TESSIT_TESTS_APP_RUNSEQUENCEFIXTURE_H

#include "KxTestFolder.h"
#include "KxTestPrinting.h"
#include "PackageFixture.h"
#include "RecordingPlatform.h"

#include "app/Tessit.h"
#include "platform/NativePackagePlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace Tessit {

// The whole launcher in-process: real package files and a real temporary
// folder, every other platform call recorded.
class RunSequenceTest : public testing::Test {
protected:
    RunSequenceTest() : m_host(createNativePackagePlatform()), platform(*m_host)
    {
        platform.temporaryFolder = temp.text();
        platform.packagePath = downloads.text(u"Setup.exe");
        platform.registryValues[kMuiCachePath] = {(temp.text() + u"QIRA_t.exe").c_str()};
    }

    void pack(int32_t oemId, const std::vector<FixtureEntry>& entries)
    {
        writePackageFile(downloads.at(u"Setup.exe"), oemId, entries);
    }

    // Runs the launcher with these arguments, the raw text being them joined
    // by blanks; gives its exit code.
    int run(const std::vector<const char16_t*>& arguments)
    {
        platform.reportedCommandLine.arguments = {u"Setup.exe"};
        KxString rawText;
        for (const char16_t* argument : arguments) {
            platform.reportedCommandLine.arguments.emplace_back(argument);
            rawText += KxString(rawText.length() != 0 ? u" " : u"") + argument;
        }
        platform.reportedCommandLine.rawText = rawText;
        return RunTessit(platform);
    }

    // The recorded events that start with one of these prefixes, in order.
    std::vector<KxString> eventsStartingWith(const std::vector<const char16_t*>& prefixes) const
    {
        std::vector<KxString> selected;
        for (const KxString& event : platform.events) {
            for (const char16_t* prefix : prefixes) {
                const KxString start(prefix);
                if (event.length() >= start.length() && event.substring(0, start.length()) == start) {
                    selected.push_back(event);
                    break;
                }
            }
        }
        return selected;
    }

    static constexpr const char16_t* kMuiCachePath =
        u"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";

    Kavo::KxTestFolder downloads;
    Kavo::KxTestFolder temp;
    std::unique_ptr<PackagePlatform> m_host; // real file look-ups
    RecordingPlatform platform;
};

} // namespace Tessit

#endif
