#ifndef TESSIT_PLATFORM_UNIX_POSIXPLATFORM_H
#define TESSIT_PLATFORM_UNIX_POSIXPLATFORM_H

#include "platform/Platform.h"

#include <memory>
#include <string>
#include <vector>

namespace Tessit {

// The launcher's platform on a POSIX system: the window is a line on the
// terminal, message boxes are lines on standard error, the profile is a
// QSettings-style INI file, there is no registry, and processes are started
// with posix_spawn. The package operations are those of the package platform.
class PosixPlatform : public Platform {
public:
    PosixPlatform(std::unique_ptr<PackagePlatform> package, std::vector<KxString> arguments);

    std::optional<FoundFile> findFile(const KxString& path) override;
    std::unique_ptr<FileView> viewFile(const KxString& path) override;
    KxString tempFolder() override;
    void debugOutput(const KxString& text) override;

    CommandLine commandLine() override;
    KxString applicationName() override;
    KxString executablePath() override;
    std::unique_ptr<NamedMutex> createNamedMutex(const KxString& name, bool& alreadyExists) override;
    void setRegistryKey(const KxString& key, const KxString& profileName) override;

    IconHandle loadApplicationIcon() override;
    int runModalDialog(DialogClient& client) override;
    void messageBox(const KxString& text, const KxString& caption, MessageBoxKind kind) override;

    void writeProfileInt(const KxString& section, const KxString& entry, int32_t value) override;
    std::unique_ptr<RegistryKey> openCurrentUserKey(const KxString& path) override;

    std::optional<uint32_t> runHiddenAndWait(const KxString& program, const std::vector<KxString>& arguments) override;
    bool shellOpen(const KxString& program, const std::vector<KxString>& arguments, const KxString& folder,
                   int showCommand) override;
    bool shellOpenWithParameterLine(const KxString& program, const KxString& parameterLine, const KxString& folder,
                                    int showCommand) override;
    KxString systemToolPath(const KxString& toolName) override;

    SignatureCrypto* signatureCrypto() override;

private:
    KxString runningImage(const KxString& path) const;

    std::unique_ptr<PackagePlatform> m_package;
    KxString m_executablePath; // as resolved at the start, for the log
    std::vector<KxString> m_arguments;
    std::string m_profilePath;
};

} // namespace Tessit

#endif
