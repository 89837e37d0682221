#include "app/device_identity.h"

#include "comms/decimal_text.h"

#include <string_view>

namespace {

// Compares the first prefix.size() characters (the whole text when shorter).
bool BeginsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

DeviceIdentity ParseDeviceIdentity(const std::string& identity)
{
    DeviceIdentity result;
    result.text = identity;

    const std::string_view text(identity);
    const std::string_view tail =
        text.size() > kIdentityVersionLength ? text.substr(text.size() - kIdentityVersionLength) : text;
    const unsigned int version = static_cast<unsigned int>(ReadLeadingNumber(TrimWhiteSpace(tail)).number);

    bool known = text.empty();
    for (const char* prefix : kIdentityShortPrefixes)
        known = known || BeginsWith(text, prefix);
    for (const char* prefix : kIdentityLongPrefixes)
        known = known || BeginsWith(text, prefix);
    if (!known)
        return result;

    result.firmwareVersion = version;
    result.deviceType = BeginsWith(text, kIdentityPrefixBpp) ? DEVICE_TYPE_BPP : DEVICE_TYPE_BTP;
    return result;
}
