#ifndef TESSIT_PLATFORM_WINDOWS_WIN32PLATFORM_H
#define TESSIT_PLATFORM_WINDOWS_WIN32PLATFORM_H

#include "platform/Platform.h"

#include <windows.h>

#include <memory>

namespace Tessit {

class Win32Dialog;

// The launcher's platform on Windows: the Win32 calls the framework would
// make, with the program's own resources. The package operations are those
// of the package platform.
class Win32Platform : public Platform {
public:
    Win32Platform(std::unique_ptr<PackagePlatform> package, HINSTANCE instance);

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
    std::unique_ptr<PackagePlatform> m_package;
    std::unique_ptr<SignatureCrypto> m_crypto;
    HINSTANCE m_instance;
    KxString m_profileKey;
    // Owns the message boxes while it runs, so they show above it.
    Win32Dialog* m_runningDialog = nullptr;
};

} // namespace Tessit

#endif
