#pragma once
// The settings record: the text in which printer settings travel, in the printer's replies,
// in the set-settings commands and in configuration files. A record is a run of fields, each
// DEL, group byte, parameter byte and value, closed by one more DEL. Values are signed
// decimals ("+350", "-24"), hexadecimal pairs of upper-case digits (a text), or empty.
//
// The pieces of the format that need no dialog; reading and writing a whole record is the
// settings engine's (settings_dialog.h), which knows the rows and controls.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The printer family of a boarding-pass or bag-tag settings file whose name gives
// familyByName: the other family when a device-type field of its record names that one
// (the value read as the dialogs read it), else familyByName. Every field counts, as the
// printer takes every one of them; a value that names neither family leaves the name to
// decide. An EEPROM file (DEVICE_TYPE_ANY) stays its name's.
int SettingsFileFamily(int familyByName, std::string_view record);

// Bytes to UI text and back, one character per byte; characters above U+00FF become 0.
QString RecordText(std::string_view bytes);
