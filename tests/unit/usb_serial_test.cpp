// The serial text that identifies a printer on USB, read from its interface path, and the
// rule that judges a printer's status bytes.

#include "firmware/update_firmware_ptr_mode.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

struct SerialResult {
    bool ok;
    std::string text;
};

SerialResult Parse(const std::string& path, std::uint32_t vendorId = USB_PRINTER_VENDOR_ID)
{
    char text[USB_TEXT_FIELD_SIZE];
    std::fill(std::begin(text), std::end(text), 'x'); // whatever was there before
    const bool ok = CUpdateFirmwarePtrMode::ParseUsbSerial(vendorId, path.c_str(), text);
    return {ok, text};
}

std::string PathWithSerial(const std::string& serial)
{
    return "usb#vid_2f5d&pid_5550#" + serial + "#1-4.2";
}

TEST(UsbSerialText, LiteralSerialKeepsLettersAndDigitsAndDropsDashes)
{
    const SerialResult result = Parse(PathWithSerial("mrv1-AB-12"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.text, "mrv1AB12");
}

TEST(UsbSerialText, LiteralSerialWithAnotherCharacterGivesNothing)
{
    const SerialResult result = Parse(PathWithSerial("mrv1_AB"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "");
}

TEST(UsbSerialText, LiteralModeNeedsLowerCasePrefix)
{
    // "MRV1..." is read as hex, where "M" is no digit.
    EXPECT_FALSE(Parse(PathWithSerial("MRV1AB12")).ok);
}

TEST(UsbSerialText, HexSerialDecodesPairs)
{
    const SerialResult result = Parse(PathWithSerial("4D5256"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.text, "MRV");
}

TEST(UsbSerialText, HexSerialDropsDashBetweenPairs)
{
    const SerialResult result = Parse(PathWithSerial("4D-52"));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.text, "MR");
}

TEST(UsbSerialText, HexSerialAcceptsLowerCaseDigits)
{
    EXPECT_EQ(Parse(PathWithSerial("4d5256")).text, "MRV");
}

TEST(UsbSerialText, OddNumberOfHexDigitsGivesNothing)
{
    const SerialResult result = Parse(PathWithSerial("4D5"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "");
}

TEST(UsbSerialText, DashInsideAPairGivesNothing)
{
    const SerialResult result = Parse(PathWithSerial("4-D52"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "");
}

TEST(UsbSerialText, SerialRunsToTheEndOfAPathWithoutFurtherSeparator)
{
    EXPECT_EQ(Parse("usb#vid_2f5d&pid_5550#4D5256").text, "MRV");
}

TEST(UsbSerialText, WindowsStylePathWithClassGuidGivesTheSerial)
{
    EXPECT_EQ(Parse("\\\\?\\usb#vid_2f5d&pid_4254#4D5256343145#{a5dcbf10-6530-11d2-901f-00c04fb951ed}").text,
              "MRV41E");
}

TEST(UsbSerialText, OtherVendorGivesNothing)
{
    const SerialResult result = Parse(PathWithSerial("4D5256"), 0x1234);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "");
}

TEST(UsbSerialText, PathWithoutUsbMarkerGivesNothing)
{
    EXPECT_FALSE(Parse("hid#vid_2f5d&pid_5550#4D5256#1-1").ok);
}

TEST(UsbSerialText, PathWithoutSeparatorAfterMarkerGivesNothing)
{
    EXPECT_FALSE(Parse("usb#vid_2f5d&pid_5550").ok);
}

TEST(UsbSerialText, EmptySerialGivesNothing)
{
    EXPECT_FALSE(Parse(PathWithSerial("")).ok);
}

TEST(UsbSerialText, SerialIsCutAt255Characters)
{
    const SerialResult result = Parse(PathWithSerial("mrv1" + std::string(400, 'a')));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.text.size(), 255u);
}

// ---------------------------------------------------------------- status rule

std::array<std::uint8_t, 8> Status(std::uint8_t byte3, std::uint8_t byte4)
{
    return {0x53, 0x00, 0x00, byte3, byte4, 0x00, 0x00, 0x00};
}

TEST(UsbStatusRule, AllZeroIsClean)
{
    const std::array<std::uint8_t, 8> zero{};
    EXPECT_TRUE(CUpdateFirmwarePtrMode::IsStatusClean(zero.data()));
}

TEST(UsbStatusRule, NonzeroByte3IsDirty)
{
    EXPECT_FALSE(CUpdateFirmwarePtrMode::IsStatusClean(Status(0x01, 0x00).data()));
    EXPECT_FALSE(CUpdateFirmwarePtrMode::IsStatusClean(Status(0x80, 0x00).data()));
}

TEST(UsbStatusRule, ErrorBitsOfByte4AreDirty)
{
    for (std::uint8_t bit : {0x80, 0x40, 0x20, 0x10, 0x04}) {
        SCOPED_TRACE(bit);
        EXPECT_FALSE(CUpdateFirmwarePtrMode::IsStatusClean(Status(0x00, bit).data()));
    }
}

TEST(UsbStatusRule, HarmlessBitsOfByte4AreClean)
{
    for (std::uint8_t bit : {0x08, 0x02, 0x01}) {
        SCOPED_TRACE(bit);
        EXPECT_TRUE(CUpdateFirmwarePtrMode::IsStatusClean(Status(0x00, bit).data()));
    }
    EXPECT_TRUE(CUpdateFirmwarePtrMode::IsStatusClean(Status(0x00, 0x0B).data()));
}

TEST(UsbStatusRule, OtherBytesDoNotMatter)
{
    const std::array<std::uint8_t, 8> status = {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(CUpdateFirmwarePtrMode::IsStatusClean(status.data()));
}

} // namespace
