#include "package/DistinguishedName.h"

#include <gtest/gtest.h>

#include <string>

using namespace Tessit;

namespace {

NameAttribute text(const char* type, const std::string& value) { return {type, value, true}; }
NameAttribute encoded(const char* type, const std::string& der) { return {type, der, false}; }

constexpr const char* kCommonName = "2.5.4.3";
constexpr const char* kOrganization = "2.5.4.10";

} // namespace

// One line per name, whichever system's cryptography read its parts: RFC
// 4514's escapes, the most significant part last.
TEST(DistinguishedName, WritesANameAsOneLine)
{
    struct Case {
        const char* label;
        DistinguishedName name;
        std::string expected;
    };
    const auto commonName = [](const std::string& value) { return DistinguishedName{{text(kCommonName, value)}}; };
    const Case cases[] = {
        {"an ordinary name",
         {{text(kCommonName, "Tessit test signer")}, {text(kOrganization, "Tessit tests")}},
         "O=Tessit tests, CN=Tessit test signer"},
        {"the usual types",
         {{text("2.5.4.6", "DE")},
          {text("2.5.4.8", "Berlin")},
          {text("2.5.4.7", "Berlin")},
          {text(kOrganization, "Eco3 test")},
          {text("2.5.4.11", "Signing")},
          {text(kCommonName, "Eco3")},
          {text("1.2.840.113549.1.9.1", "signer@example.com")},
          {text("2.5.4.5", "HRB 1234")},
          {text("1.3.6.1.4.1.311.60.2.1.3", "DE")}},
         "jurisdictionC=DE, serialNumber=HRB 1234, emailAddress=signer@example.com, CN=Eco3, OU=Signing, "
         "O=Eco3 test, L=Berlin, ST=Berlin, C=DE"},
        {"a comma", commonName("Eco3, Inc."), "CN=Eco3\\, Inc."},
        {"a plus", commonName("a+b"), "CN=a\\+b"},
        {"quotes", commonName("\"Eco3\" test"), "CN=\\\"Eco3\\\" test"},
        {"a backslash", commonName("a\\b"), "CN=a\\\\b"},
        {"angle brackets", commonName("<a>"), "CN=\\<a\\>"},
        {"a semicolon", commonName("a;b"), "CN=a\\;b"},
        {"a leading number sign", commonName("#1 test"), "CN=\\#1 test"},
        {"a number sign inside", commonName("test #1"), "CN=test #1"},
        {"a leading space", commonName(" a"), "CN=\\ a"},
        {"a trailing space", commonName("a "), "CN=a\\ "},
        {"one space", commonName(" "), "CN=\\ "},
        {"two spaces", commonName("  "), "CN=\\ \\ "},
        {"an equals sign", commonName("a=b"), "CN=a=b"},
        {"NUL", commonName(std::string("a\0b", 3)), "CN=a\\00b"},
        {"UTF-8 and control characters, left to whoever shows them",
         commonName("Qualit\xC3\xA4t \x1B[31m\x07\xE2\x80\xAE"), "CN=Qualit\xC3\xA4t \x1B[31m\x07\xE2\x80\xAE"},
        {"an empty value", commonName(""), "CN="},
        {"several attributes in one relative name",
         {{text(kOrganization, "Eco3")}, {text("2.5.4.11", "Signing"), text("0.9.2342.19200300.100.1.1", "42")}},
         "OU=Signing + UID=42, O=Eco3"},
        {"an unknown type", {{text("1.3.6.1.4.1.55555.1", "#beta")}}, "1.3.6.1.4.1.55555.1=\\#beta"},
        {"a value that is no string",
         {{encoded(kCommonName, std::string("\x30\x03\x02\x01\x05", 5)), encoded("1.2.3.4", "\x03\x02\x07\x80")}},
         "CN=#3003020105 + 1.2.3.4=#03020780"},
        {"no name", {}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(distinguishedNameText(c.name), c.expected) << c.label;
}
