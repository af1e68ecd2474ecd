#include "TessitDlg.h"

#include "KxFoundation/KxPath.h"
#include "texts/LauncherTexts.h"
#include "package/SignatureCheck.h"

namespace Tessit {

using namespace Kavo;

namespace {

constexpr unsigned kStartTimerId = 100;
constexpr unsigned kStartTimerPeriodMilliseconds = 20;

const char16_t kInstallerArgument[] = u"-install";
const char16_t kProfileSection[] = u"UI";
const char16_t kProfileEntry[] = u"OEM";
const char16_t kMuiCachePath[] = u"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
const char16_t kRegistrationTool[] = u"regsvr32";
const char16_t kSilentRegistration[] = u"/s";

// The programs the run starts are held from their read-back until the run
// ends, so that what starts is what the package holds; every other entry is
// the installer's to manage, as it was shipped to.
bool IsProgramEntry(const KxString& path) { return isProgramEntry(path); }

} // namespace

CTessitDlg::CTessitDlg(Platform& platform, const LaunchSettings& settings, bool debug)
    : m_platform(platform), m_hIcon(platform.loadApplicationIcon()), m_debug(debug), m_oemId(settings.oemId),
      m_modelName(settings.modelName), m_diagnosis(settings.diagnosis)
{
}

CTessitDlg::~CTessitDlg() = default;

int CTessitDlg::DoModal() { return m_platform.runModalDialog(*this); }

bool CTessitDlg::OnInitDialog(DialogHost& host)
{
    m_platform.debugOutput(TraceStart(kTraceSourceDialog));
    host.setIcon(m_hIcon, true);
    host.setIcon(m_hIcon, false);
    host.setWindowText(kWindowTitle);
    host.setTimer(kStartTimerId, kStartTimerPeriodMilliseconds);
    return true;
}

// Runs once: the timer is stopped before the sequence starts.
void CTessitDlg::OnTimer(DialogHost& host, unsigned id)
{
    host.killTimer(id);
    RunSequence();
    if (m_debug)
        m_platform.messageBox(m_log, Caption(), MessageBoxKind::Information);
    host.defaultHandling();
    host.endDialog(kDialogOk);
}

void CTessitDlg::OnPaint(DialogHost& host)
{
    if (!host.isIconic()) {
        host.defaultPaint();
        return;
    }
    host.eraseIconBackground();
    int clientWidth = 0, clientHeight = 0, iconWidth = 0, iconHeight = 0;
    host.clientSize(clientWidth, clientHeight);
    host.iconSize(iconWidth, iconHeight);
    host.drawIcon((clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2, m_hIcon);
}

IconHandle CTessitDlg::OnQueryDragIcon() { return m_hIcon; }

// Only opening the package and checking its signature report to the user;
// after that every step runs, unless an entry came out damaged: nothing is
// then installed, registered or started from the damaged files.
void CTessitDlg::RunSequence()
{
    Package package(m_platform.package());
    KxString tempFolder;
    if (!OpenPackageInto(package, tempFolder))
        return;

    // A signed package is checked as it is extracted, every byte read once:
    // nothing of it takes its place, or runs, unless its signature holds.
    // What is held stays held until the sequence ends, after the last start.
    const ExtractionReport extraction =
        ExtractEntries(package, tempFolder, m_log, {IsProgramEntry, m_platform.signatureCrypto()});
    if (!SignatureHolds(package, extraction))
        return;
    if (extraction.damaged()) {
        KxString message;
        const KxString shownTarget = printableEntryName(extraction.firstDamagedTarget);
        message.format(kMessageEntryDamaged, &shownTarget);
        ShowError(message);
        return;
    }
    const PackageHeader& header = package.header();
    RunServiceInstaller(tempFolder, extraction);
    RecordPackageOemId(header.oemId);
    RemoveMuiCacheEntry(tempFolder);
    RegisterControls(tempFolder, header, extraction);
    LaunchMainTool(tempFolder + kMainToolFileName, tempFolder, extraction);
}

// The temporary folder is asked for once the footer is found, before the
// header is read. Without one nothing is written: the current folder would
// take the entries in its place.
bool CTessitDlg::OpenPackageInto(Package& package, KxString& tempFolder)
{
    if (package.openFooter(m_platform.executablePath(), m_log).outcome == OpenOutcome::Opened) {
        tempFolder = m_platform.tempFolder();
        const KxString shownFolder = printableEntryName(tempFolder);
        m_log.appendFormat(kLogTempFolder, &shownFolder);
        if (tempFolder.length() == 0) {
            package.close();
            ShowError(kMessageNoTempFolder);
            return false;
        }
        package.readHeader(m_log);
    }
    const OpenResult& result = package.result();
    if (result.outcome == OpenOutcome::Failed)
        ShowError(result.message);
    return result.outcome == OpenOutcome::Opened;
}

// A signed launcher runs only as it was signed: its signer's signature must
// hold and vouch for the digest of its file, package included. This guards
// against damage and changes after signing, not against a removed or
// replaced signature: an unsigned launcher runs as before, and who signed
// is for the system to show, not for the launcher to judge.
bool CTessitDlg::SignatureHolds(Package& package, const ExtractionReport& extraction)
{
    if (!extraction.refused())
        return true;
    const KxString reason(SignatureProblemText(extraction.signature->problem));
    KxString trace;
    trace.format(kTraceSignatureRefused, &reason);
    m_platform.debugOutput(trace);
    package.close();
    const KxString executable = printableEntryName(m_platform.executablePath());
    KxString message;
    message.format(kMessageNotAsSigned, &executable);
    ShowError(message);
    return false;
}

int32_t CTessitDlg::RunServiceInstaller(const KxString& tempFolder, const ExtractionReport& extraction)
{
    m_platform.debugOutput(kTraceInstallerRule);
    if (!extraction.wrote(kInstallerFileName))
        return -1;
    const std::optional<uint32_t> exitCode =
        m_platform.runHiddenAndWait(tempFolder + kInstallerFileName, {kInstallerArgument});
    return exitCode ? static_cast<int32_t>(*exitCode) : -1;
}

// The profile keeps the package's own number; an override is never stored.
void CTessitDlg::RecordPackageOemId(int32_t oemId)
{
    m_packageOemId = oemId;
    m_platform.writeProfileInt(kProfileSection, kProfileEntry, m_packageOemId);
    m_platform.debugOutput(kTraceOemRecorded);
}

// Drops the shell's cached display name of the main tool, so it shows the
// name of the version just extracted.
void CTessitDlg::RemoveMuiCacheEntry(const KxString& tempFolder)
{
    const KxString valueName = tempFolder + kMainToolFileName;
    const std::unique_ptr<RegistryKey> cache = m_platform.openCurrentUserKey(kMuiCachePath);
    if (!cache)
        return;
    if (cache->queryValue(valueName) != ValueQuery::Missing)
        cache->deleteValue(valueName);
}

// Each control this run wrote, in table order.
void CTessitDlg::RegisterControls(const KxString& tempFolder, const PackageHeader& header,
                                  const ExtractionReport& extraction)
{
    const KxString registrationTool = m_platform.systemToolPath(kRegistrationTool);
    for (int32_t index = 0; index < header.count; ++index) {
        const KxString name = header.name(index);
        if (!fileExtension(name).equalsIgnoreCase(kControlExtension) || !extraction.wrote(name))
            continue;
        const KxString path = tempFolder + name;
        const KxString shownPath = printableEntryName(path);
        m_log.appendFormat(kLogRegister, &shownPath);
        m_platform.shellOpen(registrationTool, {kSilentRegistration, path}, KxString(), ProgramWindow::Hidden);
    }
}

// The parameter line: diagnosis, OEM number and, when given, the model name,
// each followed by a tab, unquoted.
void CTessitDlg::LaunchMainTool(const KxString& mainToolPath, const KxString& tempFolder,
                                const ExtractionReport& extraction)
{
    const KxString shownPath = printableEntryName(mainToolPath);
    m_log.appendFormat(kLogExecute, &shownPath);
    KxString parameters;
    parameters.appendFormat(m_diagnosis ? u"1\t" : u"0\t");
    if (m_oemId != -1) {
        m_platform.debugOutput(kTraceOverrideOemChosen);
        parameters.appendFormat(u"%d\t", m_oemId);
    } else {
        m_platform.debugOutput(kTracePackageOemChosen);
        parameters.appendFormat(u"%d\t", m_packageOemId);
    }
    if (m_modelName.length() != 0) {
        m_platform.debugOutput(kTraceModelNameAdded);
        parameters.appendFormat(u"%@\t", &m_modelName);
    }
    m_platform.debugOutput(TraceBanner(kTraceSourceDialog));
    m_platform.debugOutput(parameters);
    m_platform.debugOutput(kTraceParameterLineEnd);
    m_mainToolStarted = extraction.wrote(kMainToolFileName) &&
                        m_platform.shellOpenWithParameterLine(mainToolPath, parameters, tempFolder, ProgramWindow::Default);
}

void CTessitDlg::ShowError(const KxString& message)
{
    m_platform.messageBox(message, Caption(), MessageBoxKind::Error);
}

// The launcher's own name: whoever names its file chooses it.
KxString CTessitDlg::Caption() { return printableEntryName(m_platform.applicationName()); }

} // namespace Tessit
