#ifndef TESSIT_PLATFORM_NATIVEPLATFORM_H
#define TESSIT_PLATFORM_NATIVEPLATFORM_H

#include "platform/Platform.h"

#include <memory>

namespace Tessit {

// The launcher's platform on the system it is built for. Unix/ implements
// it with a line on the terminal for the window, lines on standard error for
// message boxes, a QSettings-style INI file for the profile, no registry and
// posix_spawn; Windows/ with the Win32 calls the framework would make and
// the program's own resources. Each keeps its own state.
class NativePlatform : public Platform {
public:
    // What main received. Windows' wide entry has no narrow vector: there
    // the runtime's wide one is read instead.
    NativePlatform(int argc, char** argv);
    ~NativePlatform() override;
    NativePlatform(const NativePlatform&) = delete;
    NativePlatform& operator=(const NativePlatform&) = delete;

    PackagePlatform& package() override;

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
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace Tessit

#endif
