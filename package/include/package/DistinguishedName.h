#ifndef TESSIT_PACKAGE_DISTINGUISHEDNAME_H
#define TESSIT_PACKAGE_DISTINGUISHEDNAME_H

#include "package/SignatureCrypto.h"

#include <string>

namespace Tessit {

// `name` as one line, the same on every system: "O=Tessit tests, CN=Tessit
// test signer". RFC 4514's form, most significant part last, with ", "
// between relative names and " + " between the attributes of one; the usual
// attribute types by the short names OpenSSL gives them, any other dotted;
// in a string value ',', '+', '"', '\', '<', '>', ';', NUL, a leading '#' or
// space and a trailing space escaped with '\', the rest of its UTF-8 kept as
// it is (whoever shows it makes control characters visible); any other value
// as '#' and the hexadecimal digits of its DER encoding.
std::string distinguishedNameText(const DistinguishedName& name);

} // namespace Tessit

#endif
