#ifndef TESSIT_PLATFORM_WINDOWSCOMMANDLINE_H
#define TESSIT_PLATFORM_WINDOWSCOMMANDLINE_H

#include "KxFoundation/KxString.h"

#include <vector>

namespace Tessit {

using Kavo::KxString;

// Splits a command line as a started Windows program sees it: the program
// name as process creation reads it (up to the closing quote when quoted,
// else up to the first blank), then the arguments by the C runtime's rules
// (quotes group, 2n backslashes before a quote give n and the quote toggles
// grouping, 2n+1 give n and a literal quote, "" inside a group gives ").
std::vector<KxString> splitWindowsCommandLine(const KxString& commandLine);

// The text after the program name, as the runtime hands it to WinMain: the
// name (quotes toggle, anything up to a blank or control character outside
// them) and the blanks after it are dropped.
KxString argumentText(const KxString& commandLine);

// One argument written so that the C runtime's rules give it back unchanged.
KxString quoteWindowsArgument(const KxString& argument);

// Arguments joined by blanks, each quoted where it needs it.
KxString joinWindowsArguments(const std::vector<KxString>& arguments);

// The parameters of a tool that takes switches and paths (regsvr32): a
// switch ('/' or '-' first, nothing in it to quote) as it is, every other
// argument, a path, between double quotes whatever it holds.
KxString windowsToolParameters(const std::vector<KxString>& arguments);

// The command line that starts `program` with `arguments`. The program's
// path is always quoted: unquoted, process creation would try each
// blank-separated prefix of it as a program of its own.
KxString windowsCommandLine(const KxString& program, const std::vector<KxString>& arguments);

} // namespace Tessit

#endif
