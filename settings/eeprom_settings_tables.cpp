// The EEPROM settings dialog as data.

#include "settings/settings_definitions.h"
#include "settings/settings_files.h"
#include "settings/settings_form_parts.h"
#include "settings/settings_ids.h"

#include "comms/printer_codes.h"
#include "comms/private_messages.h"

namespace {

using namespace settings_form;
using namespace setting_table_names;

// group, parameter, control, label, level, text length min and max, range min and max, step,
// kind, encoding, restricted
constexpr SettingDescriptor kSettings[] = {
    // Model and serial number: read into the caption, never written.
    {kDevice, 0x14, IDC_BLACK_MARK_STYLE, 0, 0, 0, 0, 0, 0, 1, kList, kHex, false},
    {kDevice, 0x15, IDC_BLACK_MARK_STYLE, 0, 0, 0, 0, 0, 0, 1, kList, kHex, false},
    {kEeprom, 0x10, IDC_CUT_LINE_OFFSET, 0, 0, 1, 4, -200, 200, 20, kNumber, kNum, false},
    {kEeprom, 0x11, IDC_BLACK_MARK_STYLE, 0, 0, 0, 0, 0, 0, 1, kList, kChoice, false},
    {kEeprom, 0x12, IDC_REGION, 0, 0, 0, 0, 0, 0, 1, kList, kChoice, false},
    {kEeprom, 0x13, IDC_READ_POWER, 0, 0, 1, 4, 0, 999, 1, kNumber, kNum, false},
    {kEeprom, 0x14, IDC_WRITE_POWER, 0, 0, 1, 4, 0, 999, 1, kNumber, kNum, false},
    {kEeprom, 0x15, IDC_USE_FIRST_BLACK_MARK, 0, 0, 1, 1, 0, 0, 1, kCheck, kNum, false},
    {kEeprom, 0x16, IDC_ENABLE_STOCK_PARKING, 0, 0, 1, 1, 0, 0, 1, kCheck, kNum, false},
    {kEeprom, 0x17, IDC_ENABLE_BEEPER, 0, 0, 1, 1, 0, 0, 1, kCheck, kNum, false},
};

constexpr SettingDefault kDefaultValues[] = {
    {IDC_CUT_LINE_OFFSET, 0},
    {IDC_BLACK_MARK_STYLE, 34},  // "TOF Before Mark (Default)"
    {IDC_REGION, 13},            // "[NA2] Reduced FCC (NA) region ..."
    {IDC_READ_POWER, 350},
    {IDC_WRITE_POWER, 350},
    {IDC_USE_FIRST_BLACK_MARK, 0},
    {IDC_ENABLE_STOCK_PARKING, 0},
    {IDC_ENABLE_BEEPER, 1},
};

// The region texts stand as the printer's documentation gives them, open parentheses
// included. Region codes 7, 10 and 15 have no entry.
constexpr SettingChoice kChoices[] = {
    {IDC_BLACK_MARK_STYLE, 34, "TOF Before Mark (Default)", {}},
    {IDC_BLACK_MARK_STYLE, 32, "TOF Centered On Mark", {}},
    {IDC_BLACK_MARK_STYLE, 33, "TOF After Mark", {}},
    {IDC_REGION, 4, "[IN] India (865,000 kHz-867,000 kHz", {}},
    {IDC_REGION, 5, "[JP] Japan (916,800 kHz-923,400 kHz", {}},
    {IDC_REGION, 6, "[PRC] People's Republic of China (920,125 kHz-924,875 kHz", {}},
    {IDC_REGION, 8, "[EU3] European Union 3 (865,600 kHz-867,600 kHz)", {}},
    {IDC_REGION, 9, "[KR2] Korea 2 (917,000 kHz-923,500 kHz", {}},
    {IDC_REGION, 11, "[AU] Australia (920,000 kHz-926,000 kHz", {}},
    {IDC_REGION, 12, "[NZ] New Zealand (922,000 kHz-927,000 kHz", {}},
    {IDC_REGION, 13, "[NA2] Reduced FCC (NA) region (917,400 kHz-927,200 kHz)", {}},
    {IDC_REGION, 14, "[NA3] 5MHZ FCC (NA) band (917,500 kHz-922,500 kHz", {}},
    {IDC_REGION, 16, "[MY] Malaysia", {}},
    {IDC_REGION, 17, "[ID] Indonesia", {}},
    {IDC_REGION, 18, "[PH] Philippines", {}},
    {IDC_REGION, 19, "[TW] Taiwan (922 MHz-928 MHz)", {}},
    {IDC_REGION, 20, "[MO] Macau (920 MHz-925 MHz", {}},
    {IDC_REGION, 21, "[RU] Russia (866 MHz-868 MHz", {}},
    {IDC_REGION, 22, "[SG] Singapore (920 MHz-925 MHz", {}},
};

constexpr std::string_view kTipPower = "Range is 0 to 999 centi-dBm (Default: 350 centi-dBm)";

constexpr ToolTipEntry kToolTips[] = {
    {IDC_CUT_LINE_OFFSET,
     "Select how far the cut line must be from its current position in thousands of an inch. (Default 0) Range "
     "is from -200 to +200 in steps of 20."},
    {IDC_BLACK_MARK_STYLE, "Where the document must be cut at the black mark."},
    {IDC_REGION, ""},
    {IDC_READ_POWER, kTipPower},
    {IDC_WRITE_POWER, kTipPower},
    {IDC_USE_FIRST_BLACK_MARK,
     "This ensures that the 1st black mark encountered is used. Use 1st Black Mark encountered when checking "
     "stock for black mark and there is a black mark at the begining of the next tag."},
    {IDC_ENABLE_STOCK_PARKING,
     "Parking is where the stock is moved away from the print head while the printer is idle. Enable this "
     "feature if using self adhesive tags and the printer might be left idle for a period of time.\r\n"
     "(Added MRV41E V6.58)"},
    {IDC_ENABLE_BEEPER, "Enable or disable the beeper.\r\n(Added MRV41E V6.63)"},
};

constexpr std::int32_t kChoiceCombos[] = {IDC_BLACK_MARK_STYLE, IDC_REGION};

// ---- the form: each static text stands above its control.
constexpr FormField kNoField{ControlKind::StaticText, IDC_STATIC, {}, {}, IDC_STATIC, 0, {}};

constexpr FormField kStockFields[] = {
    {ControlKind::StaticText, IDC_STATIC, "Black Mark Style", {}, IDC_STATIC, 0, {}},
    {ControlKind::StaticText, IDC_STATIC, "Cut Line Offset", {}, IDC_STATIC, 0, {}},
    {ControlKind::CheckBox, IDC_USE_FIRST_BLACK_MARK, "Use 1st Black Mark", {}, IDC_STATIC, kInput, {}},
    {ControlKind::ComboDropList, IDC_BLACK_MARK_STYLE, {}, {}, IDC_STATIC, kInput | ui::style::kVScroll, {}, 160},
    {ControlKind::Edit, IDC_CUT_LINE_OFFSET, {}, {}, IDC_STATIC, kInput, {}, 50},
    {ControlKind::CheckBox, IDC_ENABLE_STOCK_PARKING, "Enable Stock Parking", {}, IDC_STATIC, kInput, {}},
    kNoField,
    kNoField,
    {ControlKind::CheckBox, IDC_ENABLE_BEEPER, "Enable Beeper", {}, IDC_STATIC, kInput, {}},
};

constexpr FormField kRfidFields[] = {
    {ControlKind::StaticText, IDC_STATIC, "Region", {}, IDC_STATIC, 0, {}},
    {ControlKind::StaticText, IDC_STATIC, "Read Power", {}, IDC_STATIC, 0, {}},
    {ControlKind::StaticText, IDC_STATIC, "Write Power", {}, IDC_STATIC, 0, {}},
    {ControlKind::ComboDropList, IDC_REGION, {}, {}, IDC_STATIC, kInput | ui::style::kVScroll, {}, 210},
    {ControlKind::Edit, IDC_READ_POWER, {}, {}, IDC_STATIC, kInput, {}, 50},
    {ControlKind::Edit, IDC_WRITE_POWER, {}, {}, IDC_STATIC, kInput, {}, 50},
};

constexpr ui::FormPane kPanes[] = {
    {{}, true, {0, 0}, 3, kStockFields},
    {"RFID Settings (If Installed)", true, {1, 0}, 3, kRfidFields},
};

constexpr FormField kButtons[] = {
    kResetToDefaultsButton,
    kLoadFromFileButton,
    kSaveToFileButton,
    {ControlKind::PushButton, IDC_UPDATE_DEFAULTS, kUpdateEepromCaption, {}, IDC_STATIC, kAction, {}},
    kCancelButton,
};

constexpr ui::FormLayout kForm{kPanes, kButtons};

constexpr ui::DialogTemplate kTemplate{
    "QV Airport Printer EEPROM Settings", 0, 0, ui::dialog_style::kCentered | ui::dialog_style::kMinimizeBox, {}, {}, &kForm,
};

constexpr std::int32_t kActionButtons[] = {IDC_UPDATE_DEFAULTS, IDC_SAVE_TO_FILE, IDC_LOAD_FROM_FILE, IDC_RESET_TO_DEFAULTS};

constexpr SettingsUpdateButton kUpdateButtons[] = {
    {IDC_UPDATE_DEFAULTS, CMD_SET_EEPROM_SETTINGS, false, false},
};

// No device-type or protocol combos, overlays or type switch.
constexpr SettingsDialogDefinition kDefinition{
    &kTemplate,
    {kSettings, kDefaultValues, kChoices, kToolTips, kChoiceCombos, {}, {}, {}},
    0,
    0,
    0,
    0,
    WM_CONFIG_UPDATED,
    false,
    kActionButtons,
    kUpdateButtons,
    {kConfigExtensionEeprom, "LastLoadEEPROMConfigFile", CMD_SET_EEPROM_SETTINGS, false, false},
};

} // namespace

const SettingsDialogDefinition& EepromSettingsDefinition()
{
    return kDefinition;
}
