#ifndef TESSIT_TESTS_SUPPORT_SYSTEMCRYPTOGRAPHY_H
#define TESSIT_TESTS_SUPPORT_SYSTEMCRYPTOGRAPHY_H

namespace Tessit {

// Whether the system's cryptography the check uses verifies ECDSA
// signatures: OpenSSL and Windows do; Wine 8's crypt32 loads no ECDSA key
// for CryptMsgControl, so such a signature cannot be checked there.
bool systemVerifiesEcdsa();

} // namespace Tessit

#endif
