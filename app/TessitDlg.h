#ifndef TESSIT_APP_TESSITDLG_H
#define TESSIT_APP_TESSITDLG_H

#include "KxFoundation/KxString.h"
#include "package/Package.h"
#include "platform/Platform.h"

#include <cstdint>
#include <optional>

namespace Tessit {

using Kavo::KxString;

// The "Please wait..." window. Its one-shot timer runs the whole job: the
// package is opened and extracted into the temporary folder, then the
// installer, the profile, the shell's cache, the controls and the main tool
// follow, in that order; then the window closes.
class CTessitDlg : public DialogClient {
public:
    explicit CTessitDlg(Platform& platform);
    ~CTessitDlg() override;

    // Shows the window and returns what it was ended with.
    int DoModal();
    // True once the main tool was started.
    bool MainToolStarted() const { return m_mainToolStarted; }

    bool OnInitDialog(DialogHost& host) override;
    void OnTimer(DialogHost& host, unsigned id) override;
    void OnPaint(DialogHost& host) override;
    IconHandle OnQueryDragIcon() override;

    IconHandle m_hIcon;
    // The launch settings, filled by start-up before DoModal.
    bool m_debug = false;
    KxString m_log;
    int32_t m_oemId = -1; // the override; -1 for none
    int32_t m_packageOemId = 0;
    KxString m_modelName;
    bool m_diagnosis = false;

private:
    void RunSequence();
    std::optional<KxString> SettleTempFolder(KxString& tempFolder);
    bool SignatureHolds(Kavo::KxFile& packageFile, const OpenResult& package, const PackageHeader& header);
    int32_t RunServiceInstaller(const KxString& tempFolder);
    void RecordPackageOemId(int32_t oemId);
    void RemoveMuiCacheEntry(const KxString& tempFolder);
    void RegisterControls(const KxString& tempFolder, const PackageHeader& header);
    void LaunchMainTool(const KxString& mainToolPath, const KxString& tempFolder);

    void ShowError(const KxString& message);

    Platform& m_platform;
    bool m_mainToolStarted = false;
};

} // namespace Tessit

#endif
