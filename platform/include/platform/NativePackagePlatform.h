#ifndef TESSIT_PLATFORM_NATIVEPACKAGEPLATFORM_H
#define TESSIT_PLATFORM_NATIVEPACKAGEPLATFORM_H

#include "package/PackagePlatform.h"

#include <memory>

namespace Tessit {

// Whether a package platform's trace lines reach the debugger (on Linux the
// file named by TESSIT_TRACE): the launcher's do, the packer's do not.
enum class TraceLines { Sent, Dropped };

// The package operations of the machine the program runs on.
std::unique_ptr<PackagePlatform> createNativePackagePlatform(TraceLines traceLines = TraceLines::Sent);

// The running launcher's own, trace lines sent: `executable`, the path it
// was started from, is read as the running file itself, as the path may
// name another file by now.
std::unique_ptr<PackagePlatform> createLauncherPackagePlatform(const KxString& executable);

} // namespace Tessit

#endif
