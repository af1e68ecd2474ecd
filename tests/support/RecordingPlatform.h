#ifndef TESSIT_TESTS_SUPPORT_RECORDINGPLATFORM_H
#define TESSIT_TESTS_SUPPORT_RECORDINGPLATFORM_H

#include "platform/Platform.h"

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace Tessit {

// A platform for in-process tests: files are real (looked up through the
// host platform), everything else is recorded in order and answered from
// settings the test chooses. It is its own package part.
class RecordingPlatform : public Platform, public PackagePlatform {
public:
    explicit RecordingPlatform(PackagePlatform& host);

    // Settings
    KxString temporaryFolder;
    CommandLine reportedCommandLine;
    KxString reportedApplicationName{u"Tessit"};
    KxString packagePath; // the "executable" whose package the run opens
    bool anotherInstanceRuns = false;
    std::optional<uint32_t> installerExitCode{0};
    bool programsStart = true; // what shellOpen reports
    std::map<std::u16string, std::vector<std::u16string>> registryValues; // key path -> value names
    // Runs between initialisation and the first timer tick; may end the dialog.
    std::function<void(DialogHost&)> beforeFirstTimer;
    // Run as the installer runs, and as the main tool is started, before
    // the call reports.
    std::function<void()> whileInstallerRuns;
    std::function<void()> whenMainToolStarts;
    SignatureCrypto* crypto = nullptr; // what signatureCrypto() gives

    // What happened, one line per call, in order ("debug: ...", "messageBox: ...").
    std::vector<KxString> events;
    std::vector<KxString> debugLines;
    std::map<std::u16string, int32_t> profile; // "section\entry" -> value
    bool mutexHeld = false;

    std::optional<FoundFile> findFile(const KxString& path) override;
    void debugOutput(const KxString& text) override;

    PackagePlatform& package() override { return *this; }
    CommandLine commandLine() override;
    KxString applicationName() override;
    KxString executablePath() override;
    KxString tempFolder() override;
    std::unique_ptr<NamedMutex> createNamedMutex(const KxString& name, bool& alreadyExists) override;
    void setRegistryKey(const KxString& key, const KxString& profileName) override;

    IconHandle loadApplicationIcon() override;
    int runModalDialog(DialogClient& client) override;
    void messageBox(const KxString& text, const KxString& caption, MessageBoxKind kind) override;

    void writeProfileInt(const KxString& section, const KxString& entry, int32_t value) override;
    std::unique_ptr<RegistryKey> openCurrentUserKey(const KxString& path) override;

    std::optional<uint32_t> runHiddenAndWait(const KxString& program, const std::vector<KxString>& arguments) override;
    bool shellOpen(const KxString& program, const std::vector<KxString>& arguments, const KxString& folder,
                   ProgramWindow window) override;
    bool shellOpenWithParameterLine(const KxString& program, const KxString& parameterLine, const KxString& folder,
                                    ProgramWindow window) override;
    KxString systemToolPath(const KxString& toolName) override;

    SignatureCrypto* signatureCrypto() override;

private:
    void record(const KxString& event);

    PackagePlatform& m_host;
};

} // namespace Tessit

#endif
