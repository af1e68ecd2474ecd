#ifndef TESSIT_PLATFORM_PLATFORM_H
#define TESSIT_PLATFORM_PLATFORM_H

#include "package/PackagePlatform.h"
#include "package/SignatureCrypto.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace Tessit {

// The icon kinds of the launcher's message boxes.
enum class MessageBoxKind { Warning, Error, Information };

// The kind as a word ("warning", "error", "information"), for lines that
// stand for message boxes where there are none.
const char* messageBoxKindName(MessageBoxKind kind);

// Dialog results, as the framework's modal loop returns them.
constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;

// How the window of a program started without waiting is shown.
enum class ProgramWindow { Hidden, Default };

// An opaque icon handle; null when no icon could be loaded.
using IconHandle = const void*;

// The window operations the progress dialog performs on itself.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual void setIcon(IconHandle icon, bool big) = 0;
    virtual void setWindowText(const KxString& text) = 0;
    virtual void setTimer(unsigned id, unsigned periodMilliseconds) = 0;
    virtual void killTimer(unsigned id) = 0;
    virtual void endDialog(int result) = 0;
    virtual void defaultHandling() = 0;
    virtual bool isIconic() = 0;
    virtual void clientSize(int& width, int& height) = 0;
    virtual void iconSize(int& width, int& height) = 0;
    virtual void eraseIconBackground() = 0;
    virtual void drawIcon(int x, int y, IconHandle icon) = 0;
    virtual void defaultPaint() = 0;
};

// What the modal dialog runner delivers to the dialog's logic, named after
// the framework handlers they stand for.
class DialogClient {
public:
    virtual ~DialogClient() = default;
    virtual bool OnInitDialog(DialogHost& host) = 0;
    virtual void OnTimer(DialogHost& host, unsigned id) = 0;
    virtual void OnPaint(DialogHost& host) = 0;
    virtual IconHandle OnQueryDragIcon() = 0;
};

// Held while this instance owns the named instance mutex; destruction
// releases and closes it.
class NamedMutex {
public:
    virtual ~NamedMutex() = default;
};

// What asking a registry key for a value found.
enum class ValueQuery { Present, Missing, Failed };

// An open registry key; destruction closes it.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    virtual ValueQuery queryValue(const KxString& name) = 0;
    // True when the value was deleted.
    virtual bool deleteValue(const KxString& name) = 0;
};

struct CommandLine {
    std::vector<KxString> arguments; // program name first, split by the runtime's rules
    KxString rawText;                // the text after the program name
};

// Everything the launcher's logic needs of the operating system and of the
// application framework, behind one narrow interface. The package layer gets
// only its own part, package().
class Platform {
public:
    virtual ~Platform() = default;

    // The package's operations on this system.
    virtual PackagePlatform& package() = 0;
    // One trace line for the debugger, exactly as given: the run and the
    // package share one channel.
    void debugOutput(const KxString& text) { package().debugOutput(text); }

    // Start-up
    virtual CommandLine commandLine() = 0;
    // The executable's file name without its extension: the caption of the
    // framework's message boxes.
    virtual KxString applicationName() = 0;
    // The full path of the running executable, which carries the package.
    virtual KxString executablePath() = 0;
    // The folder the run extracts into and starts its programs from: the
    // user's temporary folder (on Linux a private one below it), ending in a
    // separator; empty when there is none that may be used.
    virtual KxString tempFolder() = 0;
    virtual std::unique_ptr<NamedMutex> createNamedMutex(const KxString& name, bool& alreadyExists) = 0;
    virtual void setRegistryKey(const KxString& key, const KxString& profileName) = 0;

    // User interface
    virtual IconHandle loadApplicationIcon() = 0;
    virtual int runModalDialog(DialogClient& client) = 0;
    virtual void messageBox(const KxString& text, const KxString& caption, MessageBoxKind kind) = 0;

    // Profile and registry
    virtual void writeProfileInt(const KxString& section, const KxString& entry, int32_t value) = 0;
    virtual std::unique_ptr<RegistryKey> openCurrentUserKey(const KxString& path) = 0;

    // Processes. A program is named by its full path and receives its
    // arguments, switches and paths, one by one; only the Windows platform
    // writes them into a command line, by the quoting rules its programs
    // split it back with.
    // The program's exit code, or nothing when it could not be started.
    virtual std::optional<uint32_t> runHiddenAndWait(const KxString& program,
                                                     const std::vector<KxString>& arguments) = 0;
    // Starts without waiting, in `folder` unless that is empty; true when the
    // program was started. Windows writes a switch as it is and every other
    // argument, a path, between double quotes.
    virtual bool shellOpen(const KxString& program, const std::vector<KxString>& arguments, const KxString& folder,
                           ProgramWindow window) = 0;
    // As shellOpen with one argument, the parameter line; Windows hands it on
    // unchanged as the text after the program's name.
    virtual bool shellOpenWithParameterLine(const KxString& program, const KxString& parameterLine,
                                            const KxString& folder, ProgramWindow window) = 0;
    virtual KxString systemToolPath(const KxString& toolName) = 0;

    // Integrity
    // The system's cryptography for the digest of the launcher's own
    // signature; null where the launcher's file carries none (the Linux
    // launcher is an ELF file), so that a signed package there cannot be
    // verified.
    virtual SignatureCrypto* signatureCrypto() = 0;
};

} // namespace Tessit

#endif
