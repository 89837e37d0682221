#pragma once
// The static tables that drive the settings dialogs. Each dialog is the one settings engine
// (settings_dialog.h) over its own set of these tables: one row per setting says which
// control shows it, who may see it, what may be typed, how its value travels in the
// settings record, and the dialog's defaults, overlays, combo choices and tool tips.
//
// Texts are UTF-8. Every table is constant data defined once, in the dialog's tables file.

#include <cstdint>
#include <span>
#include <string_view>

// Group byte of a setting's key in the settings record.
inline constexpr std::uint8_t SETTING_GROUP_DEVICE = '~';
inline constexpr std::uint8_t SETTING_GROUP_DEFAULTS = '}';
inline constexpr std::uint8_t SETTING_GROUP_EEPROM = '|';

// The control that shows a setting. Any other value makes the row inert.
inline constexpr std::int32_t SETTING_KIND_EDIT = 0;
inline constexpr std::int32_t SETTING_KIND_NUMBER = 1;      // CCustomEditCtrl in numeric mode
inline constexpr std::int32_t SETTING_KIND_EDIT_COMBO = 2;  // combo box with an edit field
inline constexpr std::int32_t SETTING_KIND_LIST_COMBO = 3;  // drop-list combo box
inline constexpr std::int32_t SETTING_KIND_CHECK = 4;

constexpr bool IsComboKind(std::int32_t kind)
{
    return kind == SETTING_KIND_EDIT_COMBO || kind == SETTING_KIND_LIST_COMBO;
}

// How a setting's value is coded.
inline constexpr std::int32_t SETTING_ENC_CHOICE = 0;    // a value code, mapped to a combo entry
inline constexpr std::int32_t SETTING_ENC_NUMBER = 1;    // a signed number
inline constexpr std::int32_t SETTING_ENC_HEX_TEXT = 2;  // text, sent as hexadecimal pairs

// Printer protocols: value codes of the protocol combo.
inline constexpr int PROTOCOL_SITA = 1;
inline constexpr int PROTOCOL_SIMPLE_AEA = 2;
inline constexpr int PROTOCOL_MUSE = 4;
inline constexpr int PROTOCOL_FGL = 254;

struct SettingDescriptor {
    std::uint8_t group = 0;
    std::uint8_t parameter = 0;
    std::int32_t controlId = 0;       // several rows may name one control
    std::int32_t labelControlId = 0;  // static text shown and hidden with the row; 0: none
    std::int32_t accessLevel = 0;     // lowest access level that sees the row
    std::uint32_t minTextLength = 0;  // bounds on the length of a value text written to a record
    std::uint32_t maxTextLength = 0;  // also the typing limit; 0: none. Non-zero on a numeric row: numeric mode
    std::int32_t minimum = 0;         // range of a numeric row
    std::int32_t maximum = 0;
    std::uint32_t step = 0;           // 0 counts as 1
    std::int32_t kind = SETTING_KIND_EDIT;
    std::int32_t encoding = SETTING_ENC_HEX_TEXT;
    bool restricted = false;          // applied also when the record comes from the other printer type
};

// Rows whose value a record carries as a number (a choice code or a number), not a text.
constexpr bool IsNumericEncoding(const SettingDescriptor& row)
{
    return row.encoding == SETTING_ENC_CHOICE || row.encoding == SETTING_ENC_NUMBER;
}

// One value for a control: the text when there is one, else the number.
struct SettingDefault {
    std::int32_t controlId = 0;
    std::int32_t value = 0;
    const char* text = nullptr;
};

// One entry of a choice combo; a combo lists its rows in table order.
struct SettingChoice {
    std::int32_t controlId = 0;
    std::int32_t value = 0;
    std::string_view display;
    std::string_view protocolCode;  // only on rows of the protocol combo: "AEA", "FGL", "SITA", "ARIN"
};

struct ToolTipEntry {
    std::int32_t controlId = 0;
    std::string_view text;  // empty: no visible tip
};

struct DeviceTypeEntry {
    std::int32_t code = 0;
    std::string_view name;
};

// The defaults overlay for the printer models it names. A model matches when it equals one
// of the names (case-insensitive; an empty name stands for "no model yet"), or, with
// anyOtherModel, whatever the model is. The first matching overlay of a dialog applies.
struct ModelOverlay {
    std::span<const std::string_view> models;
    bool anyOtherModel = false;
    std::span<const SettingDefault> rows;
};

struct ProtocolOverlay {
    int protocol = 0;
    std::span<const SettingDefault> rows;
};

// Entries that the dialog itself appends to a combo when it opens (not from the choice table).
struct ComboEntries {
    std::int32_t controlId = 0;
    std::span<const std::string_view> entries;
};

// Short names that keep the rows of the tables files readable, one row to a line.
namespace setting_table_names {
inline constexpr std::uint8_t kDevice = SETTING_GROUP_DEVICE;
inline constexpr std::uint8_t kDefaults = SETTING_GROUP_DEFAULTS;
inline constexpr std::uint8_t kEeprom = SETTING_GROUP_EEPROM;
inline constexpr std::int32_t kEdit = SETTING_KIND_EDIT;
inline constexpr std::int32_t kNumber = SETTING_KIND_NUMBER;
inline constexpr std::int32_t kEditCombo = SETTING_KIND_EDIT_COMBO;
inline constexpr std::int32_t kList = SETTING_KIND_LIST_COMBO;
inline constexpr std::int32_t kCheck = SETTING_KIND_CHECK;
inline constexpr std::int32_t kChoice = SETTING_ENC_CHOICE;
inline constexpr std::int32_t kNum = SETTING_ENC_NUMBER;
inline constexpr std::int32_t kHex = SETTING_ENC_HEX_TEXT;
} // namespace setting_table_names
