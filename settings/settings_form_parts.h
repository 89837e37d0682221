#pragma once
// Form fields and buttons that more than one settings dialog shows: the push buttons,
// and the fields that the boarding-pass and bag-tag dialogs have in common. A field's width
// is its least width in dialog units: a combo's is enough for the longest entry it gets.

#include "settings/settings_ids.h"
#include "ui/dialog_template.h"

#include <string_view>

namespace settings_form {

using ui::ControlKind;
using ui::FormField;
using ui::IDC_STATIC;

inline constexpr unsigned kInput = ui::style::kTabStop;
// Engineering rows start hidden; the dialog shows them from the engineering level on.
inline constexpr unsigned kEngineeringInput = ui::style::kTabStop | ui::style::kHidden;
// Actions start disabled; the dialog enables them once it is filled.
inline constexpr unsigned kAction = ui::style::kTabStop | ui::style::kDisabled;

inline constexpr int kNumberWidth = 40;

// ---- push buttons
inline constexpr char kResetToDefaultsCaption[] = "&Reset to Defaults";
inline constexpr char kLoadFromFileCaption[] = "&Load From File";
inline constexpr char kSaveToFileCaption[] = "&Save To File";
inline constexpr char kUpdateAllConfigsCaption[] = "&Update All Configs";
inline constexpr char kUpdateDefaultsCaption[] = "Update &Defaults";
inline constexpr char kUpdateEepromCaption[] = "Up&date EEPROM";
inline constexpr char kCancelCaption[] = "&Cancel";

inline constexpr FormField kResetToDefaultsButton{ControlKind::PushButton, IDC_RESET_TO_DEFAULTS, kResetToDefaultsCaption,
                                                  {}, IDC_STATIC, kAction, {}};
inline constexpr FormField kLoadFromFileButton{ControlKind::PushButton, IDC_LOAD_FROM_FILE, kLoadFromFileCaption,
                                               {}, IDC_STATIC, kAction, {}};
inline constexpr FormField kSaveToFileButton{ControlKind::PushButton, IDC_SAVE_TO_FILE, kSaveToFileCaption,
                                             {}, IDC_STATIC, kAction, {}};
inline constexpr FormField kCancelButton{ControlKind::PushButton, IDC_SETTINGS_CANCEL, kCancelCaption, {}, IDC_STATIC, kInput, {}};

// The buttons of the boarding-pass and bag-tag dialogs, left to right.
inline constexpr FormField kPrinterSettingsButtons[] = {
    kResetToDefaultsButton,
    kLoadFromFileButton,
    kSaveToFileButton,
    {ControlKind::DefPushButton, IDC_UPDATE_ALL_CONFIGS, kUpdateAllConfigsCaption, {}, IDC_STATIC, kAction, {}},
    {ControlKind::PushButton, IDC_UPDATE_DEFAULTS, kUpdateDefaultsCaption, {}, IDC_STATIC, kAction, {}},
    kCancelButton,
};

// ---- entries that the template puts into the line-setting combos
inline constexpr std::string_view kBaudRateItems[] = {"9600", "19200", "38400", "115200"};
inline constexpr std::string_view kParityItems[] = {"N", "E"};
inline constexpr std::string_view kDataBitsItems[] = {"8", "7"};

// ---- fields of the boarding-pass and bag-tag dialogs
inline constexpr char kDeviceTypeLabel[] = "Device Type";
inline constexpr char kLengthLabel[] = "Length";
inline constexpr char kPrintGridCaption[] = "Print Grid";

// Device, protocol and line settings.
inline constexpr FormField kProtocolField{ControlKind::ComboDropList, IDC_PROTOCOL, {}, "Protocol", IDC_STATIC, kInput, {}, 60};
inline constexpr FormField kUserModeField{ControlKind::ComboDropList, IDC_USER_MODE, {}, "User Mode", IDC_STATIC, kInput, {}, 44};
inline constexpr FormField kAckTimeoutField{ControlKind::ComboDropList, IDC_ACK_TIMEOUT, {}, "Ack Timeout", IDC_STATIC, kInput, {}, 40};
inline constexpr FormField kBaudRateField{ControlKind::ComboDropList, IDC_BAUD_RATE, {}, "Baud Rate", IDC_STATIC, kInput,
                                          kBaudRateItems, 46};
inline constexpr FormField kParityField{ControlKind::ComboDropList, IDC_PARITY, {}, "Parity", IDC_STATIC, kInput, kParityItems, 28};
inline constexpr FormField kDataBitsField{ControlKind::ComboDropList, IDC_DATA_BITS, {}, "Data Bits", IDC_STATIC, kInput,
                                          kDataBitsItems, 28};

// Engineering settings.
inline constexpr FormField kGlobalXStartField{ControlKind::Edit, IDC_GLOBAL_X_START, {}, "Global X Start",
                                              IDC_GLOBAL_X_START_LABEL, kEngineeringInput, {}, kNumberWidth};
inline constexpr FormField kGlobalXAdjField{ControlKind::Edit, IDC_GLOBAL_X_ADJ, {}, "Global X Adj",
                                            IDC_GLOBAL_X_ADJ_LABEL, kEngineeringInput, {}, kNumberWidth};
inline constexpr FormField kGlobalStartAdjField{ControlKind::Edit, IDC_GLOBAL_START_ADJ, {}, "Global Start Adj",
                                                IDC_GLOBAL_START_ADJ_LABEL, kEngineeringInput, {}, kNumberWidth};
inline constexpr FormField kGlobalStopAdjField{ControlKind::Edit, IDC_GLOBAL_STOP_ADJ, {}, "Global Stop Adj",
                                               IDC_GLOBAL_STOP_ADJ_LABEL, kEngineeringInput, {}, kNumberWidth};
inline constexpr FormField kReprintLimitField{ControlKind::Edit, IDC_REPRINT_LIMIT, {}, "Reprint Limit",
                                              IDC_REPRINT_LIMIT_LABEL, kEngineeringInput, {}, kNumberWidth};

// Default settings.
inline constexpr FormField kHdcField{ControlKind::Edit, IDC_HDC, {}, "HDC", IDC_STATIC, kInput, {}, kNumberWidth};
inline constexpr FormField kPerformSpeedField{ControlKind::ComboDropList, IDC_PERFORM_SPEED, {}, "Perform/Speed", IDC_STATIC,
                                              kInput, {}, 60};
inline constexpr FormField kDetectionField{ControlKind::ComboDropList, IDC_DETECTION, {}, "Detection", IDC_STATIC, kInput, {}, 56};
inline constexpr FormField kErr3IgnoreField{ControlKind::ComboDropList, IDC_ERR3_IGNORE, {}, "ERR3 Ignore", IDC_STATIC, kInput,
                                            {}, 64};
inline constexpr FormField kCutPosAdjField{ControlKind::Edit, IDC_CUT_POS_ADJ, {}, "Cut Pos Adj", IDC_STATIC, kInput, {},
                                           kNumberWidth};
inline constexpr FormField kContrastField{ControlKind::Edit, IDC_CONTRAST, {}, "Contrast", IDC_STATIC, kInput, {}, kNumberWidth};
inline constexpr FormField kDotFailLimitField{ControlKind::Edit, IDC_DOT_FAIL_LIMIT, {}, "Dot Fail Limit", IDC_STATIC, kInput,
                                              {}, kNumberWidth};
inline constexpr FormField kPlatenErrField{ControlKind::Edit, IDC_PLATEN_ERR, {}, "Platen Err", IDC_STATIC, kInput, {},
                                           kNumberWidth};
inline constexpr FormField kHoldWaitField{ControlKind::Edit, IDC_HOLD_WAIT, {}, "Hold Wait", IDC_STATIC, kInput, {}, kNumberWidth};
inline constexpr FormField kCutOnPrintCheck{ControlKind::CheckBox, IDC_CUT_ON_PRINT, "Cut on Print", {}, IDC_STATIC, kInput, {}};
inline constexpr FormField kHoldWhenCutCheck{ControlKind::CheckBox, IDC_HOLD_WHEN_CUT, "Hold When Cut", {}, IDC_STATIC, kInput, {}};
inline constexpr FormField kUnsolStatusCheck{ControlKind::CheckBox, IDC_UNSOL_STATUS, "Unsol Status", {}, IDC_STATIC, kInput, {}};
inline constexpr FormField kDropCtsOnOopCheck{ControlKind::CheckBox, IDC_DROP_CTS_ON_OOP, "Drop CTS on OOP", {}, IDC_STATIC,
                                              kInput, {}};

} // namespace settings_form
