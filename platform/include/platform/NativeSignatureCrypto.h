#ifndef TESSIT_PLATFORM_NATIVESIGNATURECRYPTO_H
#define TESSIT_PLATFORM_NATIVESIGNATURECRYPTO_H

#include "package/SignatureCrypto.h"

#include <memory>

namespace Tessit {

// The cryptography of the system the program runs on: OpenSSL's libcrypto
// on Linux, CryptoAPI and CNG on Windows.
std::unique_ptr<SignatureCrypto> createNativeSignatureCrypto();

} // namespace Tessit

#endif
