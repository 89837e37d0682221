#pragma once
// The printer's identity: the payload of its reply to the identify probe. Its beginning
// names the printer family, its last four characters are the firmware version.

#include "comms/device_types.h"
#include "firmware/firmware_image.h"

#include <string>

// Lowest printer firmware version that takes an EEPROM edit (a firmware load: firmware_image.h).
inline constexpr unsigned int MIN_FIRMWARE_VERSION_FOR_EEPROM = 6051;

// Number of characters at the end of the identity that hold the version.
inline constexpr std::size_t kIdentityVersionLength = 4;

// Family prefixes, compared case-sensitively.
inline constexpr char kIdentityPrefixBpp[] = "YP";
inline constexpr const char* kIdentityShortPrefixes[] = {"YT", "YA", "YR", "YF", kIdentityPrefixBpp};
inline constexpr const char* kIdentityLongPrefixes[] = {"NTP", "NTA", "NTR", "NRF"};

struct DeviceIdentity {
    std::string text;                    // bytes as the printer sent them
    unsigned int firmwareVersion = 0;
    int deviceType = DEVICE_TYPE_ANY;    // the default is the cleared identity
};

// An identity without a known family prefix keeps its text but gets version 0 and
// DEVICE_TYPE_ANY; an empty text counts as a bag-tag printer.
DeviceIdentity ParseDeviceIdentity(const std::string& identity);
