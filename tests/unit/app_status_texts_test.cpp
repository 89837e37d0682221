// Texts of the main dialog chosen by a state or a result.
#include "app/status_texts.h"

#include "comms/device_types.h"
#include "ui/exit_codes.h"
#include "app/operation_states.h"
#include "comms/printer_codes.h"

#include <QString>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StatusTexts, DeviceFoundShowsTheLineSettings)
{
    const QString text = QString::asprintf(kStatusDeviceFoundFormat, 3, 9600, 8, 'N', 1.0f);
    EXPECT_EQ(text, "Device Found:\nCOM3,9600,8,N,1");
}

TEST(StatusTexts, AcknowledgedCommandsByState)
{
    EXPECT_STREQ(AcknowledgementText(STATE_WAIT_TEST_PRINT, true, REPLY_ACK), "Tag Printed");
    EXPECT_STREQ(AcknowledgementText(STATE_WAIT_TEST_PRINT, true, REPLY_SETTINGS), "Tag Print FAILED");
    EXPECT_STREQ(AcknowledgementText(STATE_WAIT_ROM_OPTION, true, REPLY_ACK), "Successful");
    EXPECT_STREQ(AcknowledgementText(STATE_WAIT_RFID_OPTION, true, REPLY_NO_SWITCH), "FAILED");
    EXPECT_STREQ(AcknowledgementText(STATE_WAIT_SET_CLOCK, true, REPLY_ACK), "Clock Set");
    EXPECT_STREQ(AcknowledgementText(STATE_WAIT_SET_CLOCK, true, 0), "Clock Set FAILED");
}

TEST(StatusTexts, NoAnswerToAnAcknowledgedCommand)
{
    EXPECT_STREQ(AcknowledgementText(STATE_WAIT_SET_CLOCK, false, REPLY_ACK), "Failed to get response to command");
}

TEST(StatusTexts, StatesWithADialogToFollowHaveNoAcknowledgementText)
{
    for (int state : {STATE_IDLE, STATE_WAIT_SETTINGS, STATE_WAIT_EEPROM_SETTINGS, STATE_WAIT_FIRMWARE_CHECK,
                      STATE_WAIT_CONFIG_CHECK}) {
        SCOPED_TRACE(state);
        EXPECT_EQ(AcknowledgementText(state, true, REPLY_ACK), nullptr);
    }
}

TEST(StatusTexts, UnsupportedFeatureByFamily)
{
    EXPECT_STREQ(UnsupportedFeatureText(DEVICE_TYPE_BPP), "BPP does not support this feature");
    EXPECT_STREQ(UnsupportedFeatureText(DEVICE_TYPE_BTP), "BTP does not support this feature");
    EXPECT_STREQ(UnsupportedFeatureText(DEVICE_TYPE_ANY), "Device does not support this feature");
}

TEST(StatusTexts, ChildDialogResults)
{
    EXPECT_STREQ(ConfigUpdatedText(1), "Config Updated Successfully");
    EXPECT_STREQ(ConfigUpdatedText(2), "Config Update FAILED");
    EXPECT_STREQ(ConfigUpdatedText(0), "Config Update Cancelled");
    EXPECT_STREQ(ConfigUpdatedText(3), "Config Update Cancelled");
    EXPECT_STREQ(FirmwareLoadDoneText(1), "Loaded Successfully");
    EXPECT_STREQ(FirmwareLoadDoneText(2), "Firmware Load FAILED");
    EXPECT_STREQ(FirmwareLoadDoneText(0), "Firmware Load Cancelled");
}

TEST(StatusTexts, TitlePrefixByFamily)
{
    EXPECT_STREQ(TitlePrefixFor(DEVICE_TYPE_BPP), "BPP ");
    EXPECT_STREQ(TitlePrefixFor(DEVICE_TYPE_BTP), "BTP ");
    EXPECT_STREQ(TitlePrefixFor(DEVICE_TYPE_ANY), "BTP ");
}

TEST(ExitCodes, Values)
{
    EXPECT_EQ(EXIT_CODE_SUCCESS, 0);
    EXPECT_EQ(EXIT_CODE_BAD_REQUEST, 10);
    EXPECT_EQ(EXIT_CODE_FILE_ERROR, 11);
    EXPECT_EQ(EXIT_CODE_COMMAND_ERROR, 12);
    EXPECT_EQ(EXIT_CODE_OPERATION_FAILED, 20);
    EXPECT_EQ(EXIT_CODE_DEVICE_NOT_FOUND, 21);
}

} // namespace
