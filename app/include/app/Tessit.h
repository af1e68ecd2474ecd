#ifndef TESSIT_APP_TESSIT_H
#define TESSIT_APP_TESSIT_H

#include "KxFoundation/KxString.h"
#include "app/LaunchSettings.h"
#include "platform/Platform.h"

#include <cstdint>
#include <vector>

namespace Tessit {

using Kavo::KxString;

// Reads the arguments after the program name in order. Every argument is
// tested against every option, a later value overwrites an earlier one, and
// anything else is ignored.
LaunchSettings ParseLaunchOptions(const std::vector<KxString>& arguments);

// True when "DEBUG" appears anywhere in the text, in any letter case.
bool DebugRequested(const KxString& argumentText);

// The process's exit codes.
enum ExitCode : int {
    kExitMainToolStarted = 0,   // the main tool was started
    kExitRunIncomplete = 1,     // the package failed, stopped or came out damaged, the window was cancelled,
                                // or the main tool could not be started
    kExitAlreadyRunning = 2,    // another instance holds the instance mutex
    kExitTooManyArguments = 3,  // more than three arguments
};

// The application object: start-up does the launcher's whole job.
class CTessitApp {
public:
    explicit CTessitApp(Platform& platform);

    // Parses the command line, guards against a second instance, points the
    // profile at the application's key and runs the progress window. Always
    // false: there is no message loop of its own to enter afterwards.
    bool InitInstance();
    // The process's exit code.
    int ExitInstance() const { return m_exitCode; }

private:
    Platform& m_platform;
    int m_exitCode = kExitRunIncomplete;
};

// What the framework does with the application object: start-up, then exit.
int RunTessit(Platform& platform);

} // namespace Tessit

#endif
