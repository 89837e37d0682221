#pragma once
// The settings record: the text in which printer settings travel, in the printer's replies,
// in the set-settings commands and in configuration files. A record is a run of fields, each
// DEL, group byte, parameter byte and value, closed by one more DEL. Values are signed
// decimals ("+350", "-24"), hexadecimal pairs of upper-case digits (a text), or empty.
//
// The pieces of the format that need no dialog, and reading a record with a settings table's
// rows (the one reading that the dialogs and the file-family check share); applying a record
// to controls and writing one from them is the settings engine's (settings_dialog.h).

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct SettingDescriptor;

inline constexpr char kRecordDelimiter = '\x7F';  // DEL: opens every field and closes the record
// A field of the group 'q' alone, behind the closing DEL, asks the printer to store the
// settings in all its configurations.
inline constexpr char kAllConfigsGroup = 'q';
inline constexpr char kIgnoredGroup = 'r';
// Parameter of the device-type field (group '~') of the boarding-pass and bag-tag records:
// the printer family that the settings are for, as its device type code.
inline constexpr std::uint8_t kDeviceTypeKey = 0x03;

// The record with the 'q' field appended.
std::string WithAllConfigsField(std::string record);

// Value forms: "%+01d" (sign always present) and "+%01d" (a '+' before the number, so -1
// gives "+-1", which does not read back).
std::string SignedDecimal(std::int32_t value);
std::string PlusDecimal(std::int32_t value);
// Every character as "%02X": a character above 0xFF gives more than two digits, so a text
// that holds one is refused before it is written (FirstCharacterWithoutByte).
std::string HexText(const QString& text);
// The first character of a text that no byte can hold (above U+00FF), both halves of a
// surrogate pair included; empty when every character fits a byte.
QString FirstCharacterWithoutByte(const QString& text);

// One field's value as read from its first character up to the character that ends it.
struct FieldValue {
    bool signed_ = false;    // it began with '+' or '-'
    bool negative = false;
    std::string text;        // the digits after a sign, or the characters of the hex pairs
    std::size_t stop = 0;    // where reading stopped: normally the next field's DEL
};
// Reads the value that starts at position start. Nothing when it runs to the end of the
// record without a closing character (the record is then incomplete).
std::optional<FieldValue> ReadFieldValue(std::string_view record, std::size_t start);
// A number field's value as the record carries it, to be written back so: its sign ('+' for
// a value without one) and its leading digits, however many ("0" when there are none). A
// number beyond 32 bits keeps every digit.
std::string NumberAsRead(const FieldValue& value);
// The number of such a text, saturating as the record reader does.
std::int32_t NumberOf(std::string_view asRead);

// A check box's state from a text: off when it begins with 0, F or N (either case), on
// otherwise, an empty text included.
bool TextMeansChecked(const QString& text);

// Reads a record through as a settings dialog with these rows reads it: runs of DEL are passed
// over, a group alone ('q' or 'r' followed by DEL) is no field, and every other field is its
// group, its parameter and the value behind them (ReadFieldValue). The first row of the
// field's key (among the restricted rows only, when restricted) takes it: taken(row, value)
// is called, and the reading goes on where the value stopped, where a DEL must follow; a
// number with other characters behind its digits, and a field that no row takes, are passed
// over up to the next DEL. True when the record reads through to its closing DEL; false at
// the first fault, after the fields before it were taken.
using RecordFieldTaker = std::function<void(const SettingDescriptor& row, const FieldValue& value)>;
bool ReadRecordWithRows(std::string_view record, std::span<const SettingDescriptor> rows, bool restricted,
                        const RecordFieldTaker& taken);

// A field of a record with the row that takes it, as ReadRecordWithRows hands it over.
struct RecordField {
    const SettingDescriptor* row;
    FieldValue value;
};

// The printer families that a boarding-pass or bag-tag record names in its device-type fields
// ('~' kDeviceTypeKey), read with the rows of a dialog (ReadRecordWithRows) and each value
// taken as that dialog applies it; a value that names neither family names none. Every such
// field counts (the printer takes each), up to the first fault of the record.
struct RecordFamilies {
    bool boardingPass = false;
    bool bagTag = false;
    bool Names(int family) const;
};
RecordFamilies FamiliesNamedBy(std::string_view record, std::span<const SettingDescriptor> rows);
// The same of the fields of a record already read.
RecordFamilies FamiliesNamedBy(std::span<const RecordField> fields);

// Bytes to UI text and back, one character per byte; characters above U+00FF become 0.
QString RecordText(std::string_view bytes);
