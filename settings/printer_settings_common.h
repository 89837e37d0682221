#pragma once
// What the boarding-pass and bag-tag dialogs share: their action and update buttons, the
// default texts of their common controls, and the choice entries and tool tips that read the
// same in both. In the tips "\r\n" breaks a line.

#include "settings/settings_dialog_definition.h"
#include "settings/settings_ids.h"

#include "comms/printer_codes.h"

#include <cstdint>
#include <string_view>

// Disabled while a file is saved or loaded.
inline constexpr std::int32_t kPrinterSettingsActionButtons[] = {
    IDC_UPDATE_DEFAULTS, IDC_UPDATE_ALL_CONFIGS, IDC_SAVE_TO_FILE, IDC_LOAD_FROM_FILE, IDC_RESET_TO_DEFAULTS,
};

// Both send the record with Platen Err; Update All Configs adds the 'q' field.
inline constexpr SettingsUpdateButton kPrinterSettingsUpdateButtons[] = {
    {IDC_UPDATE_DEFAULTS, CMD_SET_SETTINGS, true, false},
    {IDC_UPDATE_ALL_CONFIGS, CMD_SET_SETTINGS, true, true},
};

// Default texts.
inline constexpr char kDefaultAckTimeout[] = "0";
inline constexpr char kDefaultHdc[] = "HDC";

// Protocol combo: display texts and the codes under which a printer lists the protocols.
inline constexpr std::string_view kProtocolSita = "SITA";
inline constexpr std::string_view kProtocolSimpleAea = "Simple AEA";
inline constexpr std::string_view kProtocolMuse = "MUSE";
inline constexpr std::string_view kProtocolFgl = "FGL";
inline constexpr std::string_view kProtocolCodeSita = "SITA";
inline constexpr std::string_view kProtocolCodeAea = "AEA";
inline constexpr std::string_view kProtocolCodeArin = "ARIN";
inline constexpr std::string_view kProtocolCodeFgl = "FGL";

// Entries of the other choice combos that both dialogs have.
inline constexpr std::string_view kSpeedNormal = "NORMAL";
inline constexpr std::string_view kSpeedHigh = "HIGH";
inline constexpr std::string_view kSpeedUltraHigh = "ULTRAHIGH";
inline constexpr std::string_view kDetectionHole = "HOLE";
inline constexpr std::string_view kDetectionSilicon = "SILICON";
inline constexpr std::string_view kDetectionBlackMark = "BLACKMK";
inline constexpr std::string_view kDetectionAuto = "AUTO";
inline constexpr std::string_view kErr3PrintProk = "PRINT+PROK";
inline constexpr std::string_view kErr3PrintErr3 = "PRINT+ERR3";
inline constexpr std::string_view kErr3DontPrint = "DONT PRINT";
inline constexpr std::string_view kUserModeSuSc = "SU/SC";
inline constexpr std::string_view kUserModeSuMc = "SU/MC";
inline constexpr std::string_view kUserModeMuMc = "MU/MC";

// Tool tips.
inline constexpr std::string_view kTipProtocol = "Select Airport/Airline Protocol\r\n(e.g. SITA, Simple AEA ...)";
inline constexpr std::string_view kTipUserMode =
    "Select relevant user mode:\r\n"
    " - SUSC - Single-User/Single-Context\r\n"
    " - SUMC - Single-User/Multi-Context\r\n"
    " - MUMC - Multi-User/Multi-Context";
inline constexpr std::string_view kTipAckTimeout = "Maximum time for a protocol message to be acknowledged";
inline constexpr std::string_view kTipReprintLimit = "The amount of times a printer retries a print before erroring.";
inline constexpr std::string_view kTipGlobalXStart =
    "Global Changes the origin of the print position along the print head (0.125 mm units)\r\n"
    "Cannot be changed by parameters.";
inline constexpr std::string_view kTipGlobalStartAdj =
    "Global Y (vertical) start print offset in 0.125mm units\r\nCannot be changed by parameters.";
inline constexpr std::string_view kTipGlobalStopAdj =
    "Global Y (vertical) adjustments after print in 0.125 mm units\r\nCannot be changed by parameters.";
inline constexpr std::string_view kTipHdc =
    "Enter the printers default HDC (Hardcode). This can be 1 to 5 alpha numeric characters long";
inline constexpr std::string_view kTipPerformSpeed = "Selects the label printing speed.";
inline constexpr std::string_view kTipErr3Ignore =
    "Enables the printer to print data, regardless whether it would result in an ERR3 condition.";
inline constexpr std::string_view kTipCutPosAdj =
    "Shifts the cut position of the cutter in 0,125 mm units.\r\nValid Range From -40 to +40";
inline constexpr std::string_view kTipContrast = "Print contrast\r\nValid Range From 1 to 9";
inline constexpr std::string_view kTipCutOnPrint =
    "Enables cut on print.\r\n\r\nNOTE:\r\nThis setting cannot be changed for a cutter only device.";
inline constexpr std::string_view kTipHoldWhenCut =
    "Enables the printer to cut and hold the cut paper. The next tag is only printed when the tag is "
    "removed from the hold.\r\n\r\nNOTE:\r\nThis setting allows the printer to print before a ticket has "
    "been taken.";
inline constexpr std::string_view kTipUnsolStatus = "Allow the device to send unsolicited status messages.";
inline constexpr std::string_view kTipDropCtsOnOop =
    "When printer goes out of paper or has a paper jam, then the error messages will be sent and the CTS "
    "signal dropped.";
inline constexpr std::string_view kTipDotFailLimit =
    "Qty dots that can fail before ERR5Dxx is returned\r\nValid Range From 1 to 999";
inline constexpr std::string_view kTipPlatenErr = "Tag length is adjusted according to the value set (+100 = 10%).";
inline constexpr std::string_view kTipHoldWait =
    "How long to wait in seconds before sending ERR5100 when using CUTHOLD on SITA.";
