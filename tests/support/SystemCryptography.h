#ifndef TESSIT_TESTS_SUPPORT_SYSTEMCRYPTOGRAPHY_H
#define TESSIT_TESTS_SUPPORT_SYSTEMCRYPTOGRAPHY_H

#include "KxTestSystem.h"

namespace Tessit {

// Whether the system's cryptography the check uses verifies ECDSA
// signatures: OpenSSL and Windows do; Wine 8's crypt32 loads no ECDSA key
// for CryptMsgControl, so such a signature cannot be checked there.
inline bool systemVerifiesEcdsa() { return !Kavo::runsUnderWine(); }

} // namespace Tessit

#endif
