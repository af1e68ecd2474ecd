#ifndef TESSIT_APP_TESSITDLG_H
#define TESSIT_APP_TESSITDLG_H

#include "KxFoundation/KxString.h"
#include "app/LaunchSettings.h"
#include "package/PackageExtraction.h"
#include "platform/Platform.h"

#include <cstdint>

namespace Tessit {

using Kavo::KxString;

// The "Please wait..." window. Its one-shot timer runs the whole job: the
// package is opened and extracted into the temporary folder, then the
// installer, the profile, the shell's cache, the controls and the main tool
// follow, in that order; then the window closes.
class CTessitDlg : public DialogClient {
public:
    CTessitDlg(Platform& platform, const LaunchSettings& settings, bool debug);
    ~CTessitDlg() override;

    // Shows the window and returns what it was ended with.
    int DoModal();
    // True once the main tool was started.
    bool MainToolStarted() const { return m_mainToolStarted; }

    bool OnInitDialog(DialogHost& host) override;
    void OnTimer(DialogHost& host, unsigned id) override;
    void OnPaint(DialogHost& host) override;
    IconHandle OnQueryDragIcon() override;

private:
    void RunSequence();
    bool OpenPackageInto(Package& package, KxString& tempFolder);
    bool SignatureHolds(Package& package, const ExtractionReport& extraction);
    // Only programs `extraction` wrote are started, never one an earlier run
    // left in the temporary folder.
    int32_t RunServiceInstaller(const KxString& tempFolder, const ExtractionReport& extraction);
    void RecordPackageOemId(int32_t oemId);
    void RemoveMuiCacheEntry(const KxString& tempFolder);
    void RegisterControls(const KxString& tempFolder, const PackageHeader& header, const ExtractionReport& extraction);
    void LaunchMainTool(const KxString& mainToolPath, const KxString& tempFolder, const ExtractionReport& extraction);

    void ShowError(const KxString& message);
    KxString Caption();

    Platform& m_platform;
    IconHandle m_hIcon;
    // The launch settings are m_debug, m_oemId, m_modelName and m_diagnosis.
    const bool m_debug;
    KxString m_log;
    const int32_t m_oemId; // the override; -1 for none
    int32_t m_packageOemId = 0;
    const KxString m_modelName;
    const bool m_diagnosis;
    bool m_mainToolStarted = false;
};

} // namespace Tessit

#endif
