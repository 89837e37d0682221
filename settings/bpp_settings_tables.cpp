// The boarding-pass printer's settings dialog as data.

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
    {kDevice, 0x17, IDC_GLOBAL_X_START, IDC_GLOBAL_X_START_LABEL, 1, 1, 4, 0, 128, 0, kNumber, kNum, true},
    {kDevice, 0x18, IDC_GLOBAL_START_ADJ, IDC_GLOBAL_START_ADJ_LABEL, 1, 1, 4, -100, 100, 0, kNumber, kNum, true},
    {kDevice, 0x19, IDC_GLOBAL_STOP_ADJ, IDC_GLOBAL_STOP_ADJ_LABEL, 1, 1, 4, -100, 100, 0, kNumber, kNum, true},
    {kDevice, 0x1A, IDC_GLOBAL_X_ADJ, IDC_GLOBAL_X_ADJ_LABEL, 1, 1, 4, -128, 128, 0, kNumber, kNum, true},
    {kDevice, 0x13, IDC_REPRINT_LIMIT, IDC_REPRINT_LIMIT_LABEL, 1, 1, 2, 1, 9, 0, kNumber, kNum, true},
    {kDefaults, 0x53, IDC_BPP_LENGTH, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
    {kDefaults, 0x0A, IDC_HDC, 0, 0, 1, 5, 0, 0, 0, kEdit, kHex, true},
    {kDefaults, 0x0C, IDC_PERFORM_SPEED, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},
    {kDefaults, 0x0D, IDC_DETECTION, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
    {kDefaults, 0x11, IDC_ERR3_IGNORE, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
    {kDefaults, 0x16, IDC_CUT_POS_ADJ, 0, 0, 1, 3, -30, 30, 0, kNumber, kNum, false},
    {kDefaults, 0x35, IDC_BLACK_MK_ADJ, 0, 0, 1, 3, 0, 999, 0, kNumber, kNum, false},
    {kDefaults, 0x36, IDC_FIXED_LEN, 0, 0, 1, 4, 1, 999, 0, kNumber, kNum, false},
    {kDefaults, 0x39, IDC_TOP_ADJ_TICKET_IN_CUTTER, 0, 0, 1, 3, -40, 40, 0, kNumber, kNum, false},
    {kDefaults, 0x3A, IDC_LEFT_ADJUST_ALPHA_LOGO, 0, 0, 1, 3, -40, 40, 0, kNumber, kNum, false},
    {kDefaults, 0x07, IDC_CONTRAST, 0, 0, 1, 2, 0, 10, 0, kNumber, kNum, true},
    {kDefaults, 0x0E, IDC_CUT_ON_PRINT, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x3B, IDC_INCLUDE_VSR, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x10, IDC_HOLD_WHEN_CUT, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},
    {kDefaults, 0x3D, IDC_TK_C01_CHECK, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x12, IDC_UNSOL_STATUS, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x3C, IDC_KEEP_FOR_CONFIRMATION, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x2B, IDC_DROP_CTS_ON_OOP, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},
    {kDefaults, 0x52, IDC_BPP_PRINT_GRID, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},
    {kDefaults, 0x05, IDC_DOT_FAIL_LIMIT, 0, 0, 1, 4, 1, 999, 0, kNumber, kNum, true},
    {kDefaults, 0x18, IDC_PLATEN_ERR, 0, 0, 1, 4, -100, 100, 0, kNumber, kNum, true},
    {kDefaults, 0x1F, IDC_HOLD_WAIT, 0, 0, 1, 2, 0, 99, 0, kNumber, kNum, true},
    {kDefaults, 0x51, IDC_CHECKIN_MODE_DF_BUZZER, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},
};

constexpr SettingDefault kDefaultValues[] = {
    {IDC_USER_MODE, 10},
    {IDC_DEVICE_TYPE, 0, kDeviceTypeNameBpp},
    // Baud Rate, Parity and Data Bits name no entry of their lists: a reset leaves them.
    {IDC_BAUD_RATE, 1},
    {IDC_PARITY, 0},
    {IDC_DATA_BITS, 0},
    {IDC_DIRECTION, 1},
    {IDC_ACK_TIMEOUT, 0, kDefaultAckTimeout},
    {IDC_GLOBAL_X_START, 96},
    {IDC_GLOBAL_START_ADJ, -8},
    {IDC_GLOBAL_STOP_ADJ, 16},
    {IDC_GLOBAL_X_ADJ, -24},
    {IDC_REPRINT_LIMIT, 3},
    {IDC_HDC, 0, kDefaultHdc},
    {IDC_PERFORM_SPEED, 72},
    {IDC_DETECTION, 16},
    {IDC_ERR3_IGNORE, 0},
    {IDC_CUT_POS_ADJ, 0},
    {IDC_BLACK_MK_ADJ, 0},
    {IDC_FIXED_LEN, 800},
    {IDC_TOP_ADJ_TICKET_IN_CUTTER, 0},
    {IDC_LEFT_ADJUST_ALPHA_LOGO, 0},
    {IDC_CONTRAST, 5},
    {IDC_CUT_ON_PRINT, 1},
    {IDC_INCLUDE_VSR, 1},
    {IDC_HOLD_WHEN_CUT, 0},
    {IDC_TK_C01_CHECK, 0},
    {IDC_UNSOL_STATUS, 0},
    {IDC_KEEP_FOR_CONFIRMATION, 1},
    {IDC_DROP_CTS_ON_OOP, 0},
    {IDC_BPP_PRINT_GRID, 0},
    {IDC_DOT_FAIL_LIMIT, 999},
    {IDC_PLATEN_ERR, 0},
    {IDC_HOLD_WAIT, 0},
    {IDC_CHECKIN_MODE_DF_BUZZER, 29},
    {IDC_BPP_LENGTH, 800},
};

constexpr std::string_view kMrv58eModels[] = {"MRV58E"};
constexpr SettingDefault kMrv58eOverlay[] = {
    {IDC_GLOBAL_X_START, 96},
    {IDC_GLOBAL_START_ADJ, -8},
    {IDC_GLOBAL_STOP_ADJ, 16},
    {IDC_GLOBAL_X_ADJ, -16},
    {IDC_PLATEN_ERR, 0},
};
constexpr ModelOverlay kModelOverlays[] = {
    {kMrv58eModels, false, kMrv58eOverlay},
};

constexpr SettingDefault kSimpleAeaOverlay[] = {
    {IDC_ACK_TIMEOUT, 0, kDefaultAckTimeout},
    {IDC_HDC, 0, kDefaultHdc},
    {IDC_HOLD_WAIT, 10},
};
constexpr SettingDefault kFglOverlay[] = {
    {IDC_DIRECTION, 0},
};
constexpr ProtocolOverlay kProtocolOverlays[] = {
    {PROTOCOL_SIMPLE_AEA, kSimpleAeaOverlay},
    {PROTOCOL_FGL, kFglOverlay},
};

constexpr SettingChoice kChoices[] = {
    {IDC_PROTOCOL, PROTOCOL_SIMPLE_AEA, kProtocolSimpleAea, kProtocolCodeAea},
    {IDC_PROTOCOL, PROTOCOL_FGL, kProtocolFgl, kProtocolCodeFgl},
    {IDC_PERFORM_SPEED, 78, kSpeedNormal, {}},
    {IDC_PERFORM_SPEED, 72, kSpeedHigh, {}},
    {IDC_PERFORM_SPEED, 85, kSpeedUltraHigh, {}},
    {IDC_DETECTION, 16, kDetectionHole, {}},
    {IDC_DETECTION, 17, kDetectionSilicon, {}},
    {IDC_DETECTION, 18, kDetectionBlackMark, {}},
    {IDC_DETECTION, 19, kDetectionAuto, {}},
    {IDC_ERR3_IGNORE, 1, kErr3PrintProk, {}},
    {IDC_ERR3_IGNORE, 69, kErr3PrintErr3, {}},
    {IDC_ERR3_IGNORE, 0, kErr3DontPrint, {}},
    {IDC_USER_MODE, 9, kUserModeSuSc, {}},
    {IDC_USER_MODE, 17, kUserModeSuMc, {}},
    {IDC_USER_MODE, 10, kUserModeMuMc, {}},
    {IDC_CHECKIN_MODE_DF_BUZZER, 31, "NONE", {}},
    {IDC_CHECKIN_MODE_DF_BUZZER, 29, "CHECKIN", {}},
    {IDC_CHECKIN_MODE_DF_BUZZER, 30, "TICKET", {}},
    {IDC_BPP_LENGTH, 800, "8 Inches", {}},
    {IDC_BPP_LENGTH, 738, "7 3/8 Inches", {}},
};

constexpr ToolTipEntry kToolTips[] = {
    {IDC_PROTOCOL, kTipProtocol},
    {IDC_USER_MODE, kTipUserMode},
    {IDC_DEVICE_TYPE, ""},
    {IDC_BAUD_RATE, ""},
    {IDC_PARITY, ""},
    {IDC_DATA_BITS, ""},
    {IDC_DIRECTION,
     "Reverse the direction in which the coupon is printed.\r\nThis is a global setting that affects all users."},
    {IDC_ACK_TIMEOUT, kTipAckTimeout},
    {IDC_REPRINT_LIMIT, kTipReprintLimit},
    {IDC_GLOBAL_X_START, kTipGlobalXStart},
    {IDC_GLOBAL_START_ADJ, kTipGlobalStartAdj},
    {IDC_GLOBAL_STOP_ADJ, kTipGlobalStopAdj},
    {IDC_HDC, kTipHdc},
    {IDC_PERFORM_SPEED, kTipPerformSpeed},
    {IDC_DETECTION, "Indicates the method of detecting the end of a document."},
    {IDC_ERR3_IGNORE, kTipErr3Ignore},
    {IDC_CUT_POS_ADJ, kTipCutPosAdj},
    {IDC_BLACK_MK_ADJ,
     "Black mark offset to the top of form when detection is set to AUTO. Offset is 1/10th mm units.\r\n"
     "Valid Range From 0 to 9999"},
    {IDC_FIXED_LEN,
     "Fixed length for when detection is set to AUTO. Fixed length is in \r\n1mm units, or \r\n800 (8\") or \r\n"
     "738 (7 3/8\") boarding pass stock.\r\nValid Range From 1 to 999"},
    {IDC_TOP_ADJ_TICKET_IN_CUTTER, "Changes the top print offset in 0.125 mm units.\r\nValid Range From -40 to +40"},
    {IDC_LEFT_ADJUST_ALPHA_LOGO, "Changes the left print offset in 0.125 mm units.\r\nValid Range From -40 to +40"},
    {IDC_CONTRAST, kTipContrast},
    {IDC_CUT_ON_PRINT, kTipCutOnPrint},
    {IDC_INCLUDE_VSR, "Defines whether the PROK and error responses have to include the VSR parameters."},
    {IDC_HOLD_WHEN_CUT, kTipHoldWhenCut},
    {IDC_TK_C01_CHECK, "Enables test of presence of TK#C01 and order of flight coupons."},
    {IDC_UNSOL_STATUS, kTipUnsolStatus},
    {IDC_KEEP_FOR_CONFIRMATION,
     "Enables the printer to either send or ignore sending the fields defined as \"keep for confirmation\" in "
     "the pectab."},
    {IDC_DROP_CTS_ON_OOP, kTipDropCtsOnOop},
    {IDC_BPP_PRINT_GRID,
     "Print a background positioning grid to assist with designing pectabs.\n\n-- DO NOT USE IN LIVE ENVIRONMENT --"},
    {IDC_DOT_FAIL_LIMIT, kTipDotFailLimit},
    {IDC_PLATEN_ERR, kTipPlatenErr},
    {IDC_HOLD_WAIT, kTipHoldWait},
    {IDC_CHECKIN_MODE_DF_BUZZER, "Allows the selection of TICKETING (TSOK), CHECKIN (CSOK) or NO (PSOK) Modes."},
    {IDC_BPP_LENGTH, "Allows the selection of default supported BPP stock lengths."},
};

constexpr std::int32_t kChoiceCombos[] = {
    IDC_PROTOCOL, IDC_PERFORM_SPEED, IDC_DETECTION, IDC_USER_MODE, IDC_ERR3_IGNORE, IDC_CHECKIN_MODE_DF_BUZZER, IDC_BPP_LENGTH,
};

// ---- the form: device and line settings at the top, the defaults under them and the
// engineering settings at their right.
constexpr std::string_view kDeviceTypeItems[] = {kDeviceTypeNameBpp};

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
    kPerformSpeedField,
    kDetectionField,
    kErr3IgnoreField,
    {ControlKind::ComboDropList, IDC_CHECKIN_MODE_DF_BUZZER, {}, "Checkin Mode", IDC_STATIC, kInput, {}, 52},
    {ControlKind::ComboDropList, IDC_BPP_LENGTH, {}, kLengthLabel, IDC_STATIC, kInput, {}, 62},
    {ControlKind::Edit, IDC_FIXED_LEN, {}, "Fixed Len", IDC_STATIC, kInput, {}, kNumberWidth},
    {ControlKind::Edit, IDC_BLACK_MK_ADJ, {}, "Black Mk Adj", IDC_STATIC, kInput, {}, kNumberWidth},
    kCutPosAdjField,
    {ControlKind::Edit, IDC_TOP_ADJ_TICKET_IN_CUTTER, {}, "Top Adj", IDC_STATIC, kInput, {}, kNumberWidth},
    {ControlKind::Edit, IDC_LEFT_ADJUST_ALPHA_LOGO, {}, "Left Adjust", IDC_STATIC, kInput, {}, kNumberWidth},
    kContrastField,
    kDotFailLimitField,
    kPlatenErrField,
    kHoldWaitField,
    kCutOnPrintCheck,
    {ControlKind::CheckBox, IDC_INCLUDE_VSR, "Include VSR", {}, IDC_STATIC, kInput, {}},
    kHoldWhenCutCheck,
    {ControlKind::CheckBox, IDC_TK_C01_CHECK, "TK#C01 Check", {}, IDC_STATIC, kInput, {}},
    kUnsolStatusCheck,
    {ControlKind::CheckBox, IDC_KEEP_FOR_CONFIRMATION, "Keep for Confirmation", {}, IDC_STATIC, kInput, {}},
    kDropCtsOnOopCheck,
};

constexpr FormField kEngineeringFields[] = {
    kGlobalXStartField,
    kGlobalXAdjField,
    kGlobalStartAdjField,
    kGlobalStopAdjField,
    kReprintLimitField,
    {ControlKind::CheckBox, IDC_DIRECTION, "BPP Direction", {}, IDC_STATIC, kInput, {}},
    {ControlKind::CheckBox, IDC_BPP_PRINT_GRID, kPrintGridCaption, {}, IDC_STATIC, kInput, {}},
};

constexpr ui::FormPane kPanes[] = {
    {{}, true, {0, 0, 1, 2}, 4, kDeviceFields},
    {"Default Settings", true, {1, 0}, 3, kDefaultFields},
    {{}, true, {1, 1}, 1, kEngineeringFields},
};

constexpr ui::FormLayout kForm{kPanes, kPrinterSettingsButtons};

constexpr ui::DialogTemplate kTemplate{
    "QV Airport BPP Printer Config", 0, 0, ui::dialog_style::kCentered | ui::dialog_style::kMinimizeBox, {}, {}, &kForm,
};

constexpr SettingsDialogDefinition kDefinition{
    &kTemplate,
    {kSettings, kDefaultValues, kChoices, kToolTips, kChoiceCombos, {}, kModelOverlays, kProtocolOverlays},
    DEVICE_TYPE_BPP,
    DEVICE_TYPE_BTP,
    PROTOCOL_SIMPLE_AEA,
    0x12,
    WM_BPP_CONFIG_UPDATED,
    true,
    kPrinterSettingsActionButtons,
    kPrinterSettingsUpdateButtons,
    {kConfigExtensionBpp, "LastLoadBPPConfigFile", CMD_SET_SETTINGS, true, true},
};

} // namespace

const SettingsDialogDefinition& BppSettingsDefinition()
{
    return kDefinition;
}
