// The bag-tag printer's settings dialog as data.

#include "settings/device_type_names.h"
#include "settings/printer_settings_common.h"
#include "settings/settings_definitions.h"
#include "settings/settings_files.h"
#include "settings/settings_form_parts.h"
#include "settings/settings_ids.h"

#include "comms/device_types.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"

namespace {

using namespace settings_form;
using namespace setting_table_names;

// group, parameter, control, label, level, text length min and max, range min and max, step,
// kind, encoding, restricted
constexpr SettingDescriptor kSettings[] = {
    {kDevice, 0x11, IDC_PROTOCOL, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},
    {kDevice, 0x12, IDC_PROTOCOL, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},
    {kDevice, 0x14, IDC_PROTOCOL, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},
    {kDevice, 0x15, IDC_PROTOCOL, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},
    {kDevice, 0x01, IDC_PROTOCOL, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},
    {kDevice, 0x02, IDC_USER_MODE, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},
    {kDevice, 0x10, IDC_DEVICE_TYPE, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},
    {kDevice, 0x03, IDC_DEVICE_TYPE, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},
    {kDevice, 0x04, IDC_BAUD_RATE, 0, 0, 1, 7, 0, 0, 0, kList, kNum, true},
    {kDevice, 0x05, IDC_PARITY, 0, 0, 1, 1, 0, 0, 0, kList, kHex, true},
    {kDevice, 0x06, IDC_DATA_BITS, 0, 0, 1, 1, 0, 0, 0, kList, kHex, true},
    {kDevice, 0x08, IDC_DIRECTION, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDevice, 0x09, IDC_ACK_TIMEOUT, 0, 0, 1, 5, 0, 0, 0, kList, kNum, true},
    {kDevice, 0x0B, IDC_GLOBAL_X_START, IDC_GLOBAL_X_START_LABEL, 1, 1, 4, 0, 128, 0, kNumber, kNum, true},
    {kDevice, 0x0C, IDC_GLOBAL_START_ADJ, IDC_GLOBAL_START_ADJ_LABEL, 1, 1, 4, -100, 100, 0, kNumber, kNum, true},
    {kDevice, 0x0D, IDC_GLOBAL_STOP_ADJ, IDC_GLOBAL_STOP_ADJ_LABEL, 1, 1, 4, -100, 100, 0, kNumber, kNum, true},
    {kDevice, 0x0E, IDC_GLOBAL_X_ADJ, IDC_GLOBAL_X_ADJ_LABEL, 1, 1, 4, -128, 128, 0, kNumber, kNum, true},
    {kDevice, 0x0F, IDC_REPRINT_LIMIT, IDC_REPRINT_LIMIT_LABEL, 1, 1, 2, 1, 9, 0, kNumber, kNum, true},
    {kDefaults, 0x0A, IDC_HDC, 0, 0, 1, 5, 0, 0, 0, kEdit, kHex, true},
    {kDefaults, 0x02, IDC_X_START, 0, 0, 1, 3, 0, 640, 0, kNumber, kNum, false},
    {kDefaults, 0x03, IDC_WIDTH, 0, 0, 1, 3, 1, 640, 0, kNumber, kNum, false},
    {kDefaults, 0x04, IDC_BTP_LENGTH, 0, 0, 1, 4, 0, 9999, 0, kNumber, kNum, false},
    {kDefaults, 0x05, IDC_DOT_FAIL_LIMIT, 0, 0, 1, 3, 1, 999, 0, kNumber, kNum, true},
    {kDefaults, 0x06, IDC_PROKI, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x07, IDC_CONTRAST, 0, 0, 1, 2, 0, 10, 0, kNumber, kNum, true},
    {kDefaults, 0x08, IDC_START_ADJUST, 0, 0, 1, 3, -40, 40, 0, kNumber, kNum, false},
    {kDefaults, 0x09, IDC_STOP_ADJUST, 0, 0, 1, 3, -40, 40, 0, kNumber, kNum, false},
    {kDefaults, 0x0B, IDC_PAPER_TYPE, 0, 0, 1, 20, 0, 0, 0, kEditCombo, kHex, false},
    {kDefaults, 0x0C, IDC_PERFORM_SPEED, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},
    {kDefaults, 0x0D, IDC_DETECTION, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
    {kDefaults, 0x0E, IDC_CUT_ON_PRINT, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x0F, IDC_CUT_ON_IPRINT, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x10, IDC_HOLD_WHEN_CUT, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},
    {kDefaults, 0x11, IDC_ERR3_IGNORE, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
    {kDefaults, 0x12, IDC_UNSOL_STATUS, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x14, IDC_TRUNCATE_PRINT, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
    {kDefaults, 0x15, IDC_ERR5_PRINT, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x16, IDC_CUT_POS_ADJ, 0, 0, 1, 3, -30, 30, 0, kNumber, kNum, false},
    {kDefaults, 0x18, IDC_PLATEN_ERR, 0, 0, 1, 4, -100, 100, 0, kNumber, kNum, true},
    {kDefaults, 0x52, IDC_BTP_PRINT_GRID, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x1F, IDC_HOLD_WAIT, 0, 0, 1, 2, 0, 99, 0, kNumber, kNum, true},
    {kDefaults, 0x1D, IDC_LB_STOP, 0, 0, 1, 5, 0, 5000, 0, kNumber, kNum, false},
    {kDefaults, 0x20, IDC_CHECKIN_MODE_DF_BUZZER, 0, 0, 1, 5, 0, 5000, 0, kNumber, kNum, false},
    {kDefaults, 0x2B, IDC_DROP_CTS_ON_OOP, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},
    {kDefaults, 0x54, IDC_TOP_ADJ_TICKET_IN_CUTTER, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},
    {kDefaults, 0x55, IDC_LEFT_ADJUST_ALPHA_LOGO, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},
    {kDefaults, 0x2E, IDC_RFID_MODE, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
    {kDefaults, 0x2F, IDC_RFID_VERIFY, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
    {kDefaults, 0x30, IDC_JULIAN_DATE_IN_RESPONSE, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x31, IDC_LICENSE_PLATE_ID_IN_RESPONSE, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    // Its codes are its entry indexes: the combo has no choice rows.
    {kDefaults, 0x33, IDC_ENCODE_RETRIES, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
};

constexpr char kPaperRicoh120LcsB[] = "RICOH 120 LCS B";
constexpr char kPaperRicoh130LabLam[] = "RICOH 130 LAB/LAM";

constexpr SettingDefault kDefaultValues[] = {
    {IDC_USER_MODE, 10},
    {IDC_DEVICE_TYPE, 0, kDeviceTypeNameBtp},
    // Baud Rate, Parity and Data Bits name no entry of their lists: a reset leaves them.
    {IDC_BAUD_RATE, 1},
    {IDC_PARITY, 0},
    {IDC_DATA_BITS, 0},
    {IDC_DIRECTION, 1},
    {IDC_ACK_TIMEOUT, 0, kDefaultAckTimeout},
    {IDC_GLOBAL_X_START, 96},
    {IDC_GLOBAL_START_ADJ, 16},
    {IDC_GLOBAL_STOP_ADJ, 16},
    {IDC_GLOBAL_X_ADJ, -48},
    {IDC_REPRINT_LIMIT, 3},
    {IDC_X_START, 32},
    {IDC_WIDTH, 448},
    {IDC_BTP_LENGTH, 4800},
    {IDC_DOT_FAIL_LIMIT, 999},
    {IDC_PROKI, 0},
    {IDC_CONTRAST, 5},
    {IDC_START_ADJUST, 0},
    {IDC_STOP_ADJUST, 0},
    {IDC_HDC, 0, kDefaultHdc},
    {IDC_PAPER_TYPE, 0, kPaperRicoh120LcsB},
    {IDC_PERFORM_SPEED, 72},
    {IDC_DETECTION, 19},
    {IDC_CUT_ON_PRINT, 1},
    {IDC_CUT_ON_IPRINT, 1},
    {IDC_HOLD_WHEN_CUT, 0},
    {IDC_ERR3_IGNORE, 0},
    {IDC_UNSOL_STATUS, 0},
    {IDC_TRUNCATE_PRINT, 20},
    {IDC_ERR5_PRINT, 1},
    {IDC_DROP_CTS_ON_OOP, 0},
    {IDC_TOP_ADJ_TICKET_IN_CUTTER, 0},
    {IDC_LEFT_ADJUST_ALPHA_LOGO, 0},
    {IDC_CUT_POS_ADJ, 0},
    {IDC_PLATEN_ERR, 0},
    {IDC_BTP_PRINT_GRID, 0},
    {IDC_LB_STOP, 0},
    {IDC_HOLD_WAIT, 0},
    {IDC_CHECKIN_MODE_DF_BUZZER, 0},
    {IDC_RFID_MODE, 48},    // "RFID Off"
    {IDC_RFID_VERIFY, 49},  // "Verify On"
    {IDC_JULIAN_DATE_IN_RESPONSE, 0},
    {IDC_LICENSE_PLATE_ID_IN_RESPONSE, 0},
    {IDC_ENCODE_RETRIES, 2},  // "2 Retries"
};

// An empty model: none read from the printer yet.
constexpr std::string_view kMrv41eModels[] = {"MRV41E", ""};
constexpr SettingDefault kMrv41eOverlay[] = {
    {IDC_GLOBAL_X_START, 96},
    {IDC_GLOBAL_START_ADJ, 16},
    {IDC_GLOBAL_STOP_ADJ, 16},
    {IDC_GLOBAL_X_ADJ, -48},
    {IDC_PLATEN_ERR, 20},
};
// MRV58E and every other model.
constexpr SettingDefault kOtherModelOverlay[] = {
    {IDC_GLOBAL_X_START, 96},
    {IDC_GLOBAL_START_ADJ, -8},
    {IDC_GLOBAL_STOP_ADJ, 16},
    {IDC_GLOBAL_X_ADJ, -16},
    {IDC_PLATEN_ERR, 0},
};
constexpr ModelOverlay kModelOverlays[] = {
    {kMrv41eModels, false, kMrv41eOverlay},
    {{}, true, kOtherModelOverlay},
};

constexpr SettingDefault kSitaOverlay[] = {
    {IDC_ACK_TIMEOUT, 0, "400"},
    {IDC_HDC, 0, "CUTE2"},
    {IDC_PAPER_TYPE, 0, kPaperRicoh130LabLam},
    {IDC_DETECTION, 16},
    {IDC_HOLD_WAIT, 30},
    {IDC_CHECKIN_MODE_DF_BUZZER, 500},
    {IDC_TOP_ADJ_TICKET_IN_CUTTER, 0},
};
constexpr SettingDefault kSimpleAeaOverlay[] = {
    {IDC_HDC, 0, kDefaultHdc},
    {IDC_PAPER_TYPE, 0, kPaperRicoh120LcsB},
    {IDC_TOP_ADJ_TICKET_IN_CUTTER, 0},
};
constexpr SettingDefault kMuseOverlay[] = {
    {IDC_ACK_TIMEOUT, 0, "250"},
    {IDC_HDC, 0, "MUSE"},
    {IDC_DETECTION, 16},
    {IDC_TOP_ADJ_TICKET_IN_CUTTER, 0},
};
constexpr SettingDefault kFglOverlay[] = {
    {IDC_DIRECTION, 0},
};
constexpr ProtocolOverlay kProtocolOverlays[] = {
    {PROTOCOL_SITA, kSitaOverlay},
    {PROTOCOL_SIMPLE_AEA, kSimpleAeaOverlay},
    {PROTOCOL_MUSE, kMuseOverlay},
    {PROTOCOL_FGL, kFglOverlay},
};

constexpr SettingChoice kChoices[] = {
    {IDC_PROTOCOL, PROTOCOL_MUSE, kProtocolMuse, kProtocolCodeArin},
    {IDC_PROTOCOL, PROTOCOL_SITA, kProtocolSita, kProtocolCodeSita},
    {IDC_PROTOCOL, PROTOCOL_SIMPLE_AEA, kProtocolSimpleAea, kProtocolCodeAea},
    {IDC_PROTOCOL, PROTOCOL_FGL, kProtocolFgl, kProtocolCodeFgl},
    {IDC_PERFORM_SPEED, 78, kSpeedNormal, {}},
    {IDC_PERFORM_SPEED, 72, kSpeedHigh, {}},
    {IDC_PERFORM_SPEED, 85, kSpeedUltraHigh, {}},
    {IDC_DETECTION, 16, kDetectionHole, {}},
    {IDC_DETECTION, 17, kDetectionSilicon, {}},
    {IDC_DETECTION, 18, kDetectionBlackMark, {}},
    {IDC_DETECTION, 19, kDetectionAuto, {}},
    {IDC_TRUNCATE_PRINT, 20, "PROK", {}},
    {IDC_TRUNCATE_PRINT, 21, "ERR3", {}},
    {IDC_TRUNCATE_PRINT, 22, "IGNO", {}},
    {IDC_ERR3_IGNORE, 1, kErr3PrintProk, {}},
    {IDC_ERR3_IGNORE, 69, kErr3PrintErr3, {}},
    {IDC_ERR3_IGNORE, 0, kErr3DontPrint, {}},
    {IDC_USER_MODE, 9, kUserModeSuSc, {}},
    {IDC_USER_MODE, 17, kUserModeSuMc, {}},
    {IDC_USER_MODE, 10, kUserModeMuMc, {}},
    {IDC_RFID_MODE, 48, "RFID Off", {}},
    {IDC_RFID_MODE, 49, "Auto RFID", {}},
    {IDC_RFID_MODE, 50, "RFID On (Optional)", {}},
    {IDC_RFID_MODE, 51, "RFID On (Required)", {}},
    {IDC_RFID_VERIFY, 48, "Verify Off", {}},
    {IDC_RFID_VERIFY, 49, "Verify On", {}},
    {IDC_RFID_VERIFY, 50, "Verify Enhanced (Auto)", {}},
    {IDC_RFID_VERIFY, 51, "On (3 Voids Max)", {}},
    {IDC_RFID_VERIFY, 52, "On (4 Voids Max)", {}},
    {IDC_RFID_VERIFY, 53, "On (5 Voids Max)", {}},
    {IDC_RFID_VERIFY, 54, "On (6 Voids Max)", {}},
    {IDC_RFID_VERIFY, 55, "On (7 Voids Max)", {}},
    {IDC_RFID_VERIFY, 56, "On (8 Voids Max)", {}},
    {IDC_RFID_VERIFY, 57, "On (9 Voids Max)", {}},
};

constexpr ToolTipEntry kToolTips[] = {
    {IDC_PROTOCOL, kTipProtocol},
    {IDC_USER_MODE, kTipUserMode},
    {IDC_DEVICE_TYPE, ""},
    {IDC_BAUD_RATE, ""},
    {IDC_PARITY, ""},
    {IDC_DATA_BITS, ""},
    {IDC_DIRECTION, "Reverse the direction in which the tag is printed.\r\nThis is a global setting that affects all users."},
    {IDC_ACK_TIMEOUT, kTipAckTimeout},
    {IDC_REPRINT_LIMIT, kTipReprintLimit},
    {IDC_GLOBAL_X_START, kTipGlobalXStart},
    {IDC_GLOBAL_START_ADJ, kTipGlobalStartAdj},
    {IDC_GLOBAL_STOP_ADJ, kTipGlobalStopAdj},
    {IDC_X_START,
     "Changes the origin of the print position along the print head (0.125 mm units)\r\nValid Range From 0 to 640"},
    {IDC_WIDTH, "Width of the stock in 0.125mm units\r\nValid Range From 1 to 640"},
    {IDC_BTP_LENGTH, "Set up the length of the printable area in 0.125mm units\r\nValid Range From 0 to 9999"},
    {IDC_DOT_FAIL_LIMIT, kTipDotFailLimit},
    {IDC_PROKI, "Enables intermediate tag print confirmation with PROKI"},
    {IDC_CONTRAST, kTipContrast},
    {IDC_START_ADJUST, "Y (vertical) start print offset in 0.125mm units\r\nValid Range From -40 to +40"},
    {IDC_STOP_ADJUST, "Y (vertical) adjustments after print in 0.125 mm units\r\nValid Range From -40 to +40"},
    {IDC_HDC, kTipHdc},
    {IDC_PAPER_TYPE, "Enter the default paper type."},
    {IDC_PERFORM_SPEED, kTipPerformSpeed},
    {IDC_DETECTION, "Indicates the method of detecting the end of a label."},
    {IDC_CUT_ON_PRINT, kTipCutOnPrint},
    {IDC_CUT_ON_IPRINT,
     "Enables cut when an intermediate tag is printed.\r\n\r\nNOTE:\r\nThis setting cannot be changed for a cutter "
     "only device."},
    {IDC_HOLD_WHEN_CUT, kTipHoldWhenCut},
    {IDC_ERR3_IGNORE, kTipErr3Ignore},
    {IDC_UNSOL_STATUS, kTipUnsolStatus},
    {IDC_TRUNCATE_PRINT,
     "Defines the printer behaviour when bagtag end is detected, but printing is not finished yet."},
    {IDC_ERR5_PRINT, "Enables the printer to continue print data when ERR5 happens."},
    {IDC_DROP_CTS_ON_OOP, kTipDropCtsOnOop},
    {IDC_TOP_ADJ_TICKET_IN_CUTTER,
     "Change the SQOK#...#CU= parameter for (Cutter Status) to blocked \u20183\u2019 if there is a ticket not "
     "taken. If there is a cutter error or a ticket not taken, the SQ reply will be SQOK#...#CU=3."},
    {IDC_LEFT_ADJUST_ALPHA_LOGO,
     "Allow BTP logo numbers to include Alpha Numeric values (A-Z, 0-9). Instead of just numeric as specified in "
     "AEA (00-99)."},
    {IDC_CUT_POS_ADJ, kTipCutPosAdj},
    {IDC_PLATEN_ERR, kTipPlatenErr},
    {IDC_LB_STOP,
     "Turns off the top of form sensor from the beginning of the tag to the value specified in dots (0.125 mm "
     "units)"},
    {IDC_HOLD_WAIT, kTipHoldWait},
    {IDC_CHECKIN_MODE_DF_BUZZER,
     "Buzzer will be sounded for each print after a dot failure is detected (in milliseconds).\r\n\r\n"
     "SITA: 500ms\r\nAEA: 0ms"},
    {IDC_BTP_PRINT_GRID,
     "Print a background positioning grid to assist with aligning tag.\n\n-- DO NOT USE IN LIVE ENVIRONMENT --"},
    {IDC_RFID_MODE,
     "RFID operational mode for if RFID reader is fitted.\r\nIf disabled here, then the printer will not send any "
     "RFID related responses."},
    {IDC_RFID_VERIFY, "Enables RFID verify and selects the amount of attempts."},
    {IDC_JULIAN_DATE_IN_RESPONSE, "Selects if the Julian Date must be included in the printer response."},
    {IDC_LICENSE_PLATE_ID_IN_RESPONSE,
     "Selects if the License Plate Identifier must be included in the printer response."},
    {IDC_ENCODE_RETRIES, "Qty of times that the printer must try and encode the tag before voiding it."},
};

constexpr std::int32_t kChoiceCombos[] = {
    IDC_PROTOCOL, IDC_PERFORM_SPEED, IDC_DETECTION, IDC_USER_MODE, IDC_ERR3_IGNORE, IDC_TRUNCATE_PRINT, IDC_RFID_MODE,
    IDC_RFID_VERIFY,
};

// In this order; the user may type another name.
constexpr std::string_view kPaperTypes[] = {
    "BT2 RICOH 120 LCS", kPaperRicoh130LabLam, "BT APPLETON T0970", "BT KANZAKI 3009J", "BT OJI LYS630100",
    "RICOH 130 LCSB", "KANZAN KLS46", "UNISTAT", kPaperRicoh120LcsB, "ATLAS PAPER",
    "RICOH 130 NA", "RICOH 140 LA", "RICOH 130 LCS B", "EEZEETAGS",
};
constexpr ComboEntries kOpeningEntries[] = {
    {IDC_PAPER_TYPE, kPaperTypes},
};

// ---- the form: device and line settings at the top, the defaults under them and the
// engineering and RFID settings at their right.
constexpr std::string_view kDeviceTypeItems[] = {kDeviceTypeNameBtp};
// The entry index is the number of retries.
constexpr std::string_view kEncodeRetryItems[] = {
    "No Retry", "1 Retry", "2 Retries", "3 Retries", "4 Retries", "5 Retries", "6 Retries", "7 Retries", "8 Retries", "9 Retries",
};

constexpr FormField kDeviceFields[] = {
    {ControlKind::ComboDropList, IDC_DEVICE_TYPE, {}, kDeviceTypeLabel, IDC_STATIC, kInput, kDeviceTypeItems, 36},
    kProtocolField,
    kUserModeField,
    kAckTimeoutField,
    kBaudRateField,
    kParityField,
    kDataBitsField,
};

constexpr FormField kDefaultFields[] = {
    kHdcField,
    {ControlKind::ComboDropDown, IDC_PAPER_TYPE, {}, "Paper Type", IDC_STATIC, kInput, {}, 100},
    kPerformSpeedField,
    kDetectionField,
    kErr3IgnoreField,
    {ControlKind::ComboDropList, IDC_TRUNCATE_PRINT, {}, "Truncate Print", IDC_STATIC, kInput, {}, 40},
    {ControlKind::Edit, IDC_X_START, {}, "X Start", IDC_STATIC, kInput, {}, kNumberWidth},
    {ControlKind::Edit, IDC_WIDTH, {}, "Width", IDC_STATIC, kInput, {}, kNumberWidth},
    {ControlKind::Edit, IDC_BTP_LENGTH, {}, kLengthLabel, IDC_STATIC, kInput, {}, kNumberWidth},
    {ControlKind::Edit, IDC_START_ADJUST, {}, "Start Adjust", IDC_STATIC, kInput, {}, kNumberWidth},
    {ControlKind::Edit, IDC_STOP_ADJUST, {}, "Stop Adjust", IDC_STATIC, kInput, {}, kNumberWidth},
    kCutPosAdjField,
    kContrastField,
    kDotFailLimitField,
    kPlatenErrField,
    kHoldWaitField,
    {ControlKind::Edit, IDC_LB_STOP, {}, "LB Stop", IDC_STATIC, kInput, {}, kNumberWidth},
    {ControlKind::Edit, IDC_CHECKIN_MODE_DF_BUZZER, {}, "DF Buzzer", IDC_STATIC, kInput, {}, kNumberWidth},
    {ControlKind::CheckBox, IDC_PROKI, "ProkI", {}, IDC_STATIC, kInput, {}},
    kCutOnPrintCheck,
    {ControlKind::CheckBox, IDC_CUT_ON_IPRINT, "Cut on IPrint", {}, IDC_STATIC, kInput, {}},
    kHoldWhenCutCheck,
    kUnsolStatusCheck,
    {ControlKind::CheckBox, IDC_ERR5_PRINT, "ERR5 Print", {}, IDC_STATIC, kInput, {}},
    kDropCtsOnOopCheck,
    {ControlKind::CheckBox, IDC_TOP_ADJ_TICKET_IN_CUTTER, "Ticket In Cutter (SQOK)", {}, IDC_STATIC, kInput, {}},
    {ControlKind::CheckBox, IDC_LEFT_ADJUST_ALPHA_LOGO, "Alpha Logo Number", {}, IDC_STATIC, kInput, {}},
};

constexpr FormField kEngineeringFields[] = {
    kGlobalXStartField,
    kGlobalXAdjField,
    kGlobalStartAdjField,
    kGlobalStopAdjField,
    kReprintLimitField,
    {ControlKind::CheckBox, IDC_DIRECTION, "BTP Direction", {}, IDC_STATIC, kInput, {}},
    {ControlKind::CheckBox, IDC_BTP_PRINT_GRID, kPrintGridCaption, {}, IDC_STATIC, kInput, {}},
};

constexpr FormField kRfidFields[] = {
    {ControlKind::ComboDropList, IDC_RFID_MODE, {}, {}, IDC_STATIC, kInput, {}, 84},
    {ControlKind::ComboDropList, IDC_RFID_VERIFY, {}, {}, IDC_STATIC, kInput, {}, 96},
    {ControlKind::ComboDropList, IDC_ENCODE_RETRIES, {}, {}, IDC_STATIC, kInput, kEncodeRetryItems, 52},
    {ControlKind::CheckBox, IDC_JULIAN_DATE_IN_RESPONSE, "Julian Date In Response", {}, IDC_STATIC, kInput, {}},
    {ControlKind::CheckBox, IDC_LICENSE_PLATE_ID_IN_RESPONSE, "License Plate ID In Response", {}, IDC_STATIC, kInput, {}},
};

constexpr ui::FormPane kPanes[] = {
    {{}, true, {0, 0, 1, 2}, 4, kDeviceFields},
    {"Default Settings", true, {1, 0, 2, 1}, 3, kDefaultFields},
    {{}, true, {1, 1}, 1, kEngineeringFields},
    {"Default RFID Settings", true, {2, 1}, 1, kRfidFields},
};

constexpr ui::FormLayout kForm{kPanes, kPrinterSettingsButtons};

constexpr ui::DialogTemplate kTemplate{
    "QV Airport BTP Printer Config", 0, 0, ui::dialog_style::kCentered | ui::dialog_style::kMinimizeBox, {}, {}, &kForm,
};

constexpr SettingsDialogDefinition kDefinition{
    &kTemplate,
    {kSettings, kDefaultValues, kChoices, kToolTips, kChoiceCombos, kOpeningEntries, kModelOverlays, kProtocolOverlays},
    DEVICE_TYPE_BTP,
    DEVICE_TYPE_BPP,
    PROTOCOL_SITA,
    0x11,
    WM_CONFIG_UPDATED,
    true,
    kPrinterSettingsActionButtons,
    kPrinterSettingsUpdateButtons,
    {kConfigExtensionBtp, "LastLoadBTPConfigFile", CMD_SET_SETTINGS, true, true},
};

} // namespace

const SettingsDialogDefinition& BtpSettingsDefinition()
{
    return kDefinition;
}
