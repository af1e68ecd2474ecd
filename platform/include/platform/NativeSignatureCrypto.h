#ifndef TESSIT_PLATFORM_NATIVESIGNATURECRYPTO_H
#define TESSIT_PLATFORM_NATIVESIGNATURECRYPTO_H

#include "package/SignatureCrypto.h"

#include <memory>

namespace Tessit {

// The cryptography of the system the program runs on: OpenSSL's libcrypto
// on Linux, CryptoAPI and CNG on Windows (loaded from the system folder
// here, on first use); null when the system lacks it.
std::unique_ptr<SignatureCrypto> createNativeSignatureCrypto();

} // namespace Tessit

#endif
