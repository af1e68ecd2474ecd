#include "package/DistinguishedName.h"

#include <algorithm>
#include <cstring>

namespace Tessit {

namespace {

// The usual attribute types, by the names OpenSSL's tools print for them.
struct ShortName {
    const char* oid;
    const char* name;
};
constexpr ShortName kShortNames[] = {
    {"2.5.4.3", "CN"},
    {"2.5.4.4", "SN"},
    {"2.5.4.5", "serialNumber"},
    {"2.5.4.6", "C"},
    {"2.5.4.7", "L"},
    {"2.5.4.8", "ST"},
    {"2.5.4.9", "street"},
    {"2.5.4.10", "O"},
    {"2.5.4.11", "OU"},
    {"2.5.4.12", "title"},
    {"2.5.4.15", "businessCategory"},
    {"2.5.4.17", "postalCode"},
    {"2.5.4.42", "GN"},
    {"2.5.4.97", "organizationIdentifier"},
    {"1.2.840.113549.1.9.1", "emailAddress"},
    {"0.9.2342.19200300.100.1.1", "UID"},
    {"0.9.2342.19200300.100.1.25", "DC"},
    // The jurisdiction of incorporation, in Extended Validation certificates.
    {"1.3.6.1.4.1.311.60.2.1.1", "jurisdictionL"},
    {"1.3.6.1.4.1.311.60.2.1.2", "jurisdictionST"},
    {"1.3.6.1.4.1.311.60.2.1.3", "jurisdictionC"},
};

void appendType(std::string& text, const std::string& oid)
{
    const ShortName* known = std::find_if(std::begin(kShortNames), std::end(kShortNames),
                                          [&](const ShortName& entry) { return oid == entry.oid; });
    text += known == std::end(kShortNames) ? oid.c_str() : known->name;
    text += '=';
}

void appendString(std::string& text, const std::string& value)
{
    for (size_t index = 0; index < value.size(); ++index) {
        const char character = value[index];
        if (character == '\0') {
            text += "\\00";
            continue;
        }
        const bool special = std::strchr(",+\"\\<>;", character) != nullptr;
        const bool leading = index == 0 && (character == '#' || character == ' ');
        const bool trailing = index + 1 == value.size() && character == ' ';
        if (special || leading || trailing)
            text += '\\';
        text += character;
    }
}

void appendEncoded(std::string& text, const std::string& der)
{
    constexpr char kDigits[] = "0123456789ABCDEF";
    text += '#';
    for (const char byte : der) {
        text += kDigits[static_cast<unsigned char>(byte) >> 4];
        text += kDigits[static_cast<unsigned char>(byte) & 0x0F];
    }
}

} // namespace

std::string distinguishedNameText(const DistinguishedName& name)
{
    std::string text;
    for (auto relativeName = name.rbegin(); relativeName != name.rend(); ++relativeName) {
        if (relativeName != name.rbegin())
            text += ", ";
        for (auto attribute = relativeName->begin(); attribute != relativeName->end(); ++attribute) {
            if (attribute != relativeName->begin())
                text += " + ";
            appendType(text, attribute->type);
            if (attribute->isString)
                appendString(text, attribute->value);
            else
                appendEncoded(text, attribute->value);
        }
    }
    return text;
}

} // namespace Tessit
