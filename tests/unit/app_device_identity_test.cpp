// The printer's identity: family from the prefix, firmware version from the last four characters.
#include "app/device_identity.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceIdentity, BoardingPassPrefixGivesBppAndTheVersion)
{
    const DeviceIdentity identity = ParseDeviceIdentity("YPQV-AIR 6051");
    EXPECT_EQ(identity.deviceType, DEVICE_TYPE_BPP);
    EXPECT_EQ(identity.firmwareVersion, 6051u);
    EXPECT_EQ(identity.text, "YPQV-AIR 6051");
}

TEST(DeviceIdentity, EveryBagTagPrefixGivesBtp)
{
    for (const char* identity : {"YT01 6040", "YA01 6040", "YR01 6040", "YF01 6040", "NTP 6040", "NTA 6040",
                                 "NTR 6040", "NRF 6040"}) {
        SCOPED_TRACE(identity);
        const DeviceIdentity parsed = ParseDeviceIdentity(identity);
        EXPECT_EQ(parsed.deviceType, DEVICE_TYPE_BTP);
        EXPECT_EQ(parsed.firmwareVersion, 6040u);
    }
}

TEST(DeviceIdentity, PrefixIsCaseSensitive)
{
    const DeviceIdentity identity = ParseDeviceIdentity("yp-air 6051");
    EXPECT_EQ(identity.deviceType, DEVICE_TYPE_ANY);
    EXPECT_EQ(identity.firmwareVersion, 0u);
    EXPECT_EQ(identity.text, "yp-air 6051");
}

TEST(DeviceIdentity, ThreeLetterPrefixNeedsAllThree)
{
    EXPECT_EQ(ParseDeviceIdentity("NTX 6040").deviceType, DEVICE_TYPE_ANY);
    EXPECT_EQ(ParseDeviceIdentity("NT").deviceType, DEVICE_TYPE_ANY);
}

TEST(DeviceIdentity, EmptyTextCountsAsBagTagWithVersionZero)
{
    const DeviceIdentity identity = ParseDeviceIdentity("");
    EXPECT_EQ(identity.deviceType, DEVICE_TYPE_BTP);
    EXPECT_EQ(identity.firmwareVersion, 0u);
}

TEST(DeviceIdentity, ShortTextTakesItsWholeTextAsTheVersion)
{
    // "YP5" is read as a number as a whole, which starts with a letter: 0, not 5.
    const DeviceIdentity identity = ParseDeviceIdentity("YP5");
    EXPECT_EQ(identity.deviceType, DEVICE_TYPE_BPP);
    EXPECT_EQ(identity.firmwareVersion, 0u);
}

TEST(DeviceIdentity, VersionStopsAtTheFirstNonDigit)
{
    EXPECT_EQ(ParseDeviceIdentity("YT-AIR 60a1").firmwareVersion, 60u);
    EXPECT_EQ(ParseDeviceIdentity("YT-AIR v605").firmwareVersion, 0u);
}

TEST(DeviceIdentity, VersionIsTrimmedOfWhiteSpaceWithinTheLastFour)
{
    EXPECT_EQ(ParseDeviceIdentity("YT-AIR  605").firmwareVersion, 605u);
    // A trailing blank pushes the first digit out of the last four characters.
    EXPECT_EQ(ParseDeviceIdentity("YT-AIR 6051 ").firmwareVersion, 51u);
}

TEST(DeviceIdentity, SignBeforeTheDigitsGivesZero)
{
    EXPECT_EQ(ParseDeviceIdentity("YT-AIR-605").firmwareVersion, 0u);
}

TEST(DeviceIdentity, DefaultIsTheClearedIdentity)
{
    const DeviceIdentity cleared;
    EXPECT_TRUE(cleared.text.empty());
    EXPECT_EQ(cleared.firmwareVersion, 0u);
    EXPECT_EQ(cleared.deviceType, DEVICE_TYPE_ANY);
}

TEST(DeviceIdentity, MinimumVersionsForLoadAndEeprom)
{
    EXPECT_EQ(MIN_FIRMWARE_VERSION_FOR_LOAD, 6036u);
    EXPECT_EQ(MIN_FIRMWARE_VERSION_FOR_EEPROM, 6051u);
}

} // namespace
