#pragma once
// Texts of the main dialog: status line, titles, captions. Plain character arrays so that
// both QString and printf-style formatting take them; all of them are ASCII.

#include <cstdint>

// ---- titles and captions
// The program's name takes the place of %1.
inline constexpr char kChildWindowBaseTitleFormat[] = "%1 (v2.3.1.1)";
inline constexpr char kMainWindowTitleFormat[] = "v2.3.1.1 %1";
inline constexpr char kEepromSettingsTitle[] = "QV Airport Printer EEPROM Settings";
inline constexpr char kTitlePrefixBpp[] = "BPP ";
inline constexpr char kTitlePrefixBtp[] = "BTP ";
// A child's caption followed by the printer's identity.
inline constexpr char kTitleWithIdentityFormat[] = "%s - %s";
inline constexpr char kExitCaption[] = "E&xit";
inline constexpr char kCancelCaption[] = "&Cancel";

// ---- port combo
inline constexpr char kPortComboAuto[] = "AUTO";
inline constexpr char kPortNameFormat[] = "COM%d";

// ---- starting a search
inline constexpr char kStatusUpdateModeResetting[] = "Device found in update mode... Resetting";
inline constexpr char kStatusUpdateModeResettingAgain[] = "Device found in update mode... Resetting Again";
inline constexpr char kStatusStartingSearch[] = "Starting search";
inline constexpr char kStatusUnableToInitiateSearch[] = "Unable to initiate search";
inline constexpr char kStatusUnableToStartSearch[] = "Unable to start search";
inline constexpr char kStatusSearching[] = "Searching";

// ---- printer found or not
// Port, baud rate, data bits, parity letter, stop bits (a float, shown without decimals).
inline constexpr char kStatusDeviceFoundFormat[] = "Device Found:\nCOM%d,%d,%d,%c,%.0f";
inline constexpr char kStatusPrintTestTagSent[] = "Print Test Tag Command Sent";
inline constexpr char kStatusCommandSent[] = "Command Sent";
inline constexpr char kStatusCheckingDeviceTypeSent[] = "Checking Device Type Command Sent";
inline constexpr char kStatusBppNotSupported[] = "BPP does not support this feature";
inline constexpr char kStatusBtpNotSupported[] = "BTP does not support this feature";
inline constexpr char kStatusDeviceNotSupported[] = "Device does not support this feature";
inline constexpr char kStatusDeviceNotFound[] = "Device not found";

// ---- command results
inline constexpr char kStatusNoResponse[] = "Failed to get response to command";
inline constexpr char kStatusTagPrinted[] = "Tag Printed";
inline constexpr char kStatusTagPrintFailed[] = "Tag Print FAILED";
inline constexpr char kStatusSuccessful[] = "Successful";
inline constexpr char kStatusFailed[] = "FAILED";
inline constexpr char kStatusClockSet[] = "Clock Set";
inline constexpr char kStatusClockSetFailed[] = "Clock Set FAILED";
inline constexpr char kStatusSettingsRetrieveFailed[] = "FAILED to retrieve settings from device";
inline constexpr char kStatusUnsupportedDevice[] = "FAILED - Unsupported device connected";
inline constexpr char kStatusMinimumFirmwareForLoad[] = "Minimum Firmware Version v6036 Required";
inline constexpr char kStatusStartLoadingFirmwareFailed[] = "Start Loading Firmware FAILED";
inline constexpr char kStatusShowDialogFailed[] = "FAILED to show dialog";
inline constexpr char kStatusParseDeviceSettingsFailed[] = "FAILED to parse device settings";
inline constexpr char kStatusFirmwareLoadStartFailed[] = "FAILED - Unable to start firmware load";
inline constexpr char kStatusChangingDeviceTypeNotSupported[] = "Changing device type not supported";
inline constexpr char kStatusConfigurationSendFailed[] = "Configuration Send FAILED";
inline constexpr char kStatusSendingConfiguration[] = "Sending Configuration";
inline constexpr char kStatusConfigurationSent[] = "Configuration Sent";
inline constexpr char kStatusMinimumFirmwareForEeprom[] = "Minimum Firmware Version v6051 Required";
inline constexpr char kStatusStartEditEepromFailed[] = "Start Edit EEPROM Settings FAILED";

// ---- child dialogs
inline constexpr char kStatusConfigureLevelFailed[] = "FAILED to configure level";
inline constexpr char kStatusShowDeviceSettingsFailed[] = "FAILED to show device settings";
inline constexpr char kStatusConfigUpdated[] = "Config Updated Successfully";
inline constexpr char kStatusConfigUpdateFailed[] = "Config Update FAILED";
inline constexpr char kStatusConfigUpdateCancelled[] = "Config Update Cancelled";
inline constexpr char kStatusFirmwareLoaded[] = "Loaded Successfully";
inline constexpr char kStatusFirmwareLoadFailed[] = "Firmware Load FAILED";
inline constexpr char kStatusFirmwareLoadCancelled[] = "Firmware Load Cancelled";

// ---- main window
inline constexpr char kStatusExiting[] = "Exiting...";
inline constexpr char kStatusUnableToCreateOptionsMenu[] = "Unable to create options menu";

// ---- file choice
inline constexpr char kStatusSendConfigSelectCancelled[] = "Send Config File Select Cancelled";
inline constexpr char kStatusFirmwareSelectCancelled[] = "Firmware File Select Cancelled";
inline constexpr char kStatusUnableToOpenFile[] = "Unable To Open File";
inline constexpr char kStatusUnableToOpenFirmwareFile[] = "Unable To Open Firmware File";
inline constexpr char kStatusUnableToOpenConfigurationFile[] = "Unable To Open Configuration File";
inline constexpr char kStatusUnableToAllocateMemory[] = "Unable To allocate memory";
inline constexpr char kStatusUnableToReadFile[] = "Unable To Read File";
inline constexpr char kStatusUnsupportedDeviceType[] = "Unsupported device type";
inline constexpr char kStatusNotAConfigurationFile[] = "Not a configuration file";

// The text for the result of a command that needs only an acknowledgement
// (STATE_WAIT_TEST_PRINT, STATE_WAIT_ROM_OPTION, STATE_WAIT_RFID_OPTION,
// STATE_WAIT_SET_CLOCK); nullptr in every other state.
const char* AcknowledgementText(int state, bool ok, std::uint32_t replyCode);
// The text for a test document that the printer's family cannot print.
const char* UnsupportedFeatureText(int deviceType);
// The texts for a settings dialog's and the firmware dialog's end (any other result:
// cancelled).
const char* ConfigUpdatedText(int result);
const char* FirmwareLoadDoneText(int result);
// "BPP " for a boarding-pass printer, "BTP " for anything else.
const char* TitlePrefixFor(int deviceType);
