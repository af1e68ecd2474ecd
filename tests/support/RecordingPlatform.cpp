#include "RecordingPlatform.h"

#include <algorithm>

namespace Tessit {

namespace {

// Recorded as the show command the shell is given on Windows.
int showCommand(ProgramWindow window) { return window == ProgramWindow::Hidden ? 0 : 10; }

// Each argument in brackets after a blank, so their bounds show.
KxString bracketed(const std::vector<KxString>& arguments)
{
    KxString list;
    for (const KxString& argument : arguments)
        list += KxString(u" [") + argument + u"]";
    return list;
}

class RecordingMutex : public NamedMutex {
public:
    RecordingMutex(RecordingPlatform& platform, const KxString& name) : m_platform(platform), m_name(name)
    {
        m_platform.mutexHeld = true;
    }
    ~RecordingMutex() override
    {
        m_platform.mutexHeld = false;
        m_platform.events.push_back(KxString(u"releaseMutex: ") + m_name);
    }

private:
    RecordingPlatform& m_platform;
    KxString m_name;
};

class RecordingKey : public RegistryKey {
public:
    RecordingKey(RecordingPlatform& platform, std::vector<std::u16string>& values)
        : m_platform(platform), m_values(values) {}
    ~RecordingKey() override { m_platform.events.push_back(u"closeKey"); }

    ValueQuery queryValue(const KxString& name) override
    {
        m_platform.events.push_back(KxString(u"queryValue: ") + name);
        return find(name) == m_values.end() ? ValueQuery::Missing : ValueQuery::Present;
    }

    bool deleteValue(const KxString& name) override
    {
        m_platform.events.push_back(KxString(u"deleteValue: ") + name);
        const auto value = find(name);
        if (value == m_values.end())
            return false;
        m_values.erase(value);
        return true;
    }

private:
    std::vector<std::u16string>::iterator find(const KxString& name)
    {
        return std::find(m_values.begin(), m_values.end(), std::u16string(name.c_str()));
    }

    RecordingPlatform& m_platform;
    std::vector<std::u16string>& m_values;
};

// Delivers what a window would: initialisation, then timer ticks while a
// timer runs, until the dialog ends.
class RecordingDialogHost : public DialogHost {
public:
    explicit RecordingDialogHost(RecordingPlatform& platform) : m_platform(platform) {}

    void setIcon(IconHandle, bool big) override { record(big ? u"setIcon: big" : u"setIcon: small"); }
    void setWindowText(const KxString& text) override { record(KxString(u"setWindowText: ") + text); }
    void setTimer(unsigned id, unsigned period) override
    {
        KxString event;
        event.format(u"setTimer: %u, %u", id, period);
        record(event);
        m_timer = id;
    }
    void killTimer(unsigned id) override
    {
        KxString event;
        event.format(u"killTimer: %u", id);
        record(event);
        if (m_timer == id)
            m_timer.reset();
    }
    void endDialog(int result) override
    {
        KxString event;
        event.format(u"endDialog: %d", result);
        record(event);
        m_result = result;
    }
    void defaultHandling() override { record(u"defaultHandling"); }
    bool isIconic() override { return false; }
    void clientSize(int& width, int& height) override { width = 360, height = 48; }
    void iconSize(int& width, int& height) override { width = 32, height = 32; }
    void eraseIconBackground() override { record(u"eraseIconBackground"); }
    void drawIcon(int x, int y, IconHandle) override
    {
        KxString event;
        event.format(u"drawIcon: %d, %d", x, y);
        record(event);
    }
    void defaultPaint() override { record(u"defaultPaint"); }

    int run(DialogClient& client)
    {
        client.OnInitDialog(*this);
        client.OnPaint(*this);
        if (m_platform.beforeFirstTimer && !m_result)
            m_platform.beforeFirstTimer(*this);
        // A bounded number of ticks: a dialog that never ends is a failing test, not a hang.
        for (int tick = 0; tick < 1000 && !m_result && m_timer; ++tick)
            client.OnTimer(*this, *m_timer);
        return m_result.value_or(-1);
    }

private:
    void record(const KxString& event) { m_platform.events.push_back(event); }

    RecordingPlatform& m_platform;
    std::optional<unsigned> m_timer;
    std::optional<int> m_result;
};

} // namespace

RecordingPlatform::RecordingPlatform(PackagePlatform& host) : m_host(host) {}

void RecordingPlatform::record(const KxString& event) { events.push_back(event); }

std::optional<FoundFile> RecordingPlatform::findFile(const KxString& path) { return m_host.findFile(path); }


void RecordingPlatform::debugOutput(const KxString& text)
{
    debugLines.push_back(text);
    record(KxString(u"debug: ") + text);
}

CommandLine RecordingPlatform::commandLine() { return reportedCommandLine; }

KxString RecordingPlatform::applicationName() { return reportedApplicationName; }

KxString RecordingPlatform::executablePath() { return packagePath; }

KxString RecordingPlatform::tempFolder() { return temporaryFolder; }

std::unique_ptr<NamedMutex> RecordingPlatform::createNamedMutex(const KxString& name, bool& alreadyExists)
{
    record(KxString(u"createMutex: ") + name);
    alreadyExists = anotherInstanceRuns;
    return std::make_unique<RecordingMutex>(*this, name);
}

void RecordingPlatform::setRegistryKey(const KxString& key, const KxString& profileName)
{
    record(KxString(u"setRegistryKey: ") + key + u", " + profileName);
}

IconHandle RecordingPlatform::loadApplicationIcon() { return this; }

int RecordingPlatform::runModalDialog(DialogClient& client)
{
    record(u"runModalDialog");
    return RecordingDialogHost(*this).run(client);
}

void RecordingPlatform::messageBox(const KxString& text, const KxString& caption, MessageBoxKind kind)
{
    record(KxString(u"messageBox: ") + caption + u": " + messageBoxKindName(kind) + u": " + text);
}

void RecordingPlatform::writeProfileInt(const KxString& section, const KxString& entry, int32_t value)
{
    KxString event;
    event.format(u"writeProfileInt: %@\\%@ = %d", &section, &entry, value);
    record(event);
    profile[(section + u"\\" + entry).c_str()] = value;
}

std::unique_ptr<RegistryKey> RecordingPlatform::openCurrentUserKey(const KxString& path)
{
    record(KxString(u"openKey: ") + path);
    const auto key = registryValues.find(path.c_str());
    if (key == registryValues.end())
        return nullptr;
    return std::make_unique<RecordingKey>(*this, key->second);
}

std::optional<uint32_t> RecordingPlatform::runHiddenAndWait(const KxString& program,
                                                            const std::vector<KxString>& arguments)
{
    record(KxString(u"runHiddenAndWait: ") + program + u" |" + bracketed(arguments));
    if (whileInstallerRuns)
        whileInstallerRuns();
    return installerExitCode;
}

bool RecordingPlatform::shellOpen(const KxString& program, const std::vector<KxString>& arguments,
                                  const KxString& folder, ProgramWindow window)
{
    KxString event;
    const KxString argumentList = bracketed(arguments);
    event.format(u"shellOpen: %@ |%@ | %@ | %d", &program, &argumentList, &folder, showCommand(window));
    record(event);
    return programsStart;
}

bool RecordingPlatform::shellOpenWithParameterLine(const KxString& program, const KxString& parameterLine,
                                                   const KxString& folder, ProgramWindow window)
{
    if (whenMainToolStarts)
        whenMainToolStarts();
    return shellOpen(program, {parameterLine}, folder, window);
}

KxString RecordingPlatform::systemToolPath(const KxString& toolName) { return toolName; }

SignatureCrypto* RecordingPlatform::signatureCrypto() { return crypto; }

} // namespace Tessit
