#ifndef TESSIT_TEXTS_LAUNCHERTEXTS_H
#define TESSIT_TEXTS_LAUNCHERTEXTS_H

#include "KxFoundation/KxString.h"

#include <string>

// The texts the launcher writes: its trace lines, the lines of its log and
// the texts of its message boxes. People, support scripts and the tools
// that collect traces match them as they stand, odd spelling, spacing and
// punctuation included, so each is kept to the byte. They live here, below
// every layer that shows them; a new text of the launcher goes here too.
// Formats take the arguments of KxString::format.

namespace Tessit {

// Trace lines (debugOutput), in the order a full run writes them.

// A banner names the unit that writes it: 23 ampersands, the name, 27
// ampersands and a line feed.
inline constexpr char16_t kTraceBannerOpening[] = u"&&&&&&&&&&&&&&&&&&&&&&&";
inline constexpr char16_t kTraceBannerClosing[] = u"&&&&&&&&&&&&&&&&&&&&&&&&&&&\n";
static_assert(std::char_traits<char16_t>::length(kTraceBannerOpening) == 23);
static_assert(std::char_traits<char16_t>::length(kTraceBannerClosing) == 27 + 1);
inline constexpr char16_t kTraceSourceApp[] = u"Tessit";
inline constexpr char16_t kTraceSourceDialog[] = u"TessitDlg";

inline Kavo::KxString TraceBanner(const char16_t* sourceName)
{
    return Kavo::KxString(kTraceBannerOpening) + sourceName + kTraceBannerClosing;
}

inline constexpr char16_t kTraceOemOverride[] = u"oemChecker:%d\n";
inline constexpr char16_t kTraceSettingsHandedOver[] = u"setOemId!!!!!!!!!!!!!\n";

// "Start ", the window's unit and a line feed, when the window opens.
inline Kavo::KxString TraceStart(const char16_t* sourceName) { return Kavo::KxString(u"Start ") + sourceName + u"\n"; }

inline constexpr char16_t kTraceLocatingPackage[] = u"~~~~~~~~~~~~DeviceFile~~~~~~~~~~~~~~\n";
// Why a signed launcher's signature was refused, before the package is
// closed: a format of SignatureProblemText's words.
inline constexpr char16_t kTraceSignatureRefused[] = u"signature refused: %@\n";
// Every close of the package file, whatever the reason.
inline constexpr char16_t kTracePackageClosed[] = u"zipFile Closed...\n";
// Written as the installer is started: 53 asterisks and a line feed.
inline constexpr char16_t kTraceInstallerRule[] = u"*****************************************************\n";
static_assert(std::char_traits<char16_t>::length(kTraceInstallerRule) == 53 + 1);
inline constexpr char16_t kTraceOemRecorded[] = u"setOriginalOemId\n";
inline constexpr char16_t kTracePackageOemChosen[] = u"ORIGINAL\n";
inline constexpr char16_t kTraceOverrideOemChosen[] = u"SELECTED\n";
inline constexpr char16_t kTraceModelNameAdded[] = u"Selected Model Name...\n";
// Follows the dialog's banner and the parameter line.
inline constexpr char16_t kTraceParameterLineEnd[] = u"\n";
// The window's end: closed by the run, or cancelled. Neither ends a line.
inline constexpr char16_t kTraceWindowClosed[] = u"Year~";
inline constexpr char16_t kTraceWindowCancelled[] = u"What?";

// The window's log, shown at the end with DEBUG, in the order of a run.
inline constexpr char16_t kLogModule[] = u"Module : %@\n";
inline constexpr char16_t kLogCertificateTable[] = u"codeSignSize: [%x, %d]\n"; // offset, size
inline constexpr char16_t kLogPadding[] = u"padding size: [%d]\n";
inline constexpr char16_t kLogTempFolder[] = u"Temp Path : %@\n";
inline constexpr char16_t kLogOemId[] = u"OEM : %d\n";
inline constexpr char16_t kLogCount[] = u"Count : %d\n";
inline constexpr char16_t kLogUnsafeName[] = u"skip unsafe name: [%@]\n";
inline constexpr char16_t kLogMakeFolder[] = u"make folder: [%@]\n";
inline constexpr char16_t kLogEntry[] = u"File%02d : %@(%d)\n"; // number from 1, target, size
inline constexpr char16_t kLogDamaged[] = u"damaged: [%@]\n";
inline constexpr char16_t kLogRegister[] = u"Register : %@\n";
inline constexpr char16_t kLogExecute[] = u"Execute : %@\n";

// The progress window's line is in texts/WindowText.h, where the resource
// compiler reads it too.

// Message boxes. The window's title is also the caption of the box that
// turns a second instance away; the other boxes carry the program's name.
inline constexpr char16_t kWindowTitle[] = u"QIRA";
inline constexpr char16_t kMessageAlreadyRunning[] = u"Already running...";
inline constexpr char16_t kMessageNoTempFolder[] = u"Can not find temp folder!!!";
// Formats of the executable's path.
inline constexpr char16_t kMessageExecutableNotFound[] = u"Can not find %@ file!!!";
inline constexpr char16_t kMessageNoFooter[] = u"[1]Can not open %@ file!!!";
inline constexpr char16_t kMessageCannotOpen[] = u"[2]Can not open %@ file!!!";
inline constexpr char16_t kMessageInconsistent[] = u"[3]Can not open %@ file!!!";
inline constexpr char16_t kMessageNotAsSigned[] = u"[4]Can not verify %@ file!!!";
// A format of the damaged entry's target.
inline constexpr char16_t kMessageEntryDamaged[] = u"Can not write %@ file!!!";

} // namespace Tessit

#endif
