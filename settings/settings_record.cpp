#include "settings/settings_record.h"

#include "comms/decimal_text.h"
#include "comms/device_types.h"
#include "settings/setting_tables.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kHexDigitValueBase = 10;
// The last character that a record carries as one byte.
constexpr char16_t kLastByteCharacter = 0xFF;

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + kHexDigitValueBase;
    return -1;
}

// The family that a device-type field's value names, if any.
std::optional<int> FamilyNamedBy(const FieldValue& value)
{
    if (value.negative)
        return std::nullopt;
    const std::int32_t code = ReadLeadingNumber(value.text).number;
    if (code == DEVICE_TYPE_BPP || code == DEVICE_TYPE_BTP)
        return code;
    return std::nullopt;
}

// Whether the record reads on behind a field of this row where its value stopped: not when
// the row takes a number and the value has other characters behind its digits (the field
// is then passed over up to the next DEL).
bool FieldEndsAtItsValue(const SettingDescriptor& row, const FieldValue& value)
{
    return row.controlId == 0 || !IsNumericEncoding(row) || ReadLeadingNumber(value.text).complete;
}

} // namespace

std::string WithAllConfigsField(std::string record)
{
    record += kAllConfigsGroup;
    record += kRecordDelimiter;
    return record;
}

std::string SignedDecimal(std::int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%+01d", static_cast<int>(value));
    return text;
}

std::string PlusDecimal(std::int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "+%01d", static_cast<int>(value));
    return text;
}

std::string HexText(const QString& text)
{
    std::string hex;
    hex.reserve(static_cast<std::size_t>(text.size()) * 2);
    for (const QChar character : text) {
        char pair[8];
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(character.unicode()));
        hex += pair;
    }
    return hex;
}

QString FirstCharacterWithoutByte(const QString& text)
{
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text[at].unicode() <= kLastByteCharacter)
            continue;
        const bool pair = text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
        return text.mid(at, pair ? 2 : 1);
    }
    return {};
}

std::optional<FieldValue> ReadFieldValue(std::string_view record, std::size_t start)
{
    FieldValue value;
    std::size_t at = start;
    if (at >= record.size())
        return std::nullopt;
    if (record[at] == '+' || record[at] == '-') {
        value.signed_ = true;
        value.negative = record[at] == '-';
        ++at;
        while (at < record.size() && IsDecimalDigit(static_cast<unsigned char>(record[at])))
            value.text += record[at++];
    } else {
        // Pairs of upper-case hex digits; a lone last digit is dropped.
        int high = -1;
        while (at < record.size()) {
            const int digit = HexDigitValue(record[at]);
            if (digit < 0)
                break;
            if (high < 0) {
                high = digit;
            } else {
                value.text += static_cast<char>(high * 16 + digit);
                high = -1;
            }
            ++at;
        }
    }
    if (at >= record.size())
        return std::nullopt;
    value.stop = at;
    return value;
}

std::string NumberAsRead(const FieldValue& value)
{
    const std::string_view text = value.text;
    std::string digits(text.substr(0, text.size() - ReadLeadingNumber(text).rest.size()));
    if (digits.empty())
        digits = "0";
    return (value.negative ? "-" : "+") + digits;
}

std::int32_t NumberOf(std::string_view asRead)
{
    const bool negative = asRead.starts_with('-');
    if (negative || asRead.starts_with('+'))
        asRead.remove_prefix(1);
    const std::int32_t number = ReadLeadingNumber(asRead).number;
    return negative ? -number : number;
}

bool ReadRecordWithRows(std::string_view record, std::span<const SettingDescriptor> rows, bool restricted,
                        const RecordFieldTaker& taken)
{
    if (record.empty())
        return false;
    std::size_t at = 0;
    for (;;) {
        if (record[at] != kRecordDelimiter)
            return false;
        while (at < record.size() && record[at] == kRecordDelimiter)
            ++at;
        if (at == record.size())
            return true;

        const auto group = static_cast<std::uint8_t>(record[at]);
        // A field of the group alone (the 'q' of "all configurations") carries nothing.
        if ((group == kAllConfigsGroup || group == kIgnoredGroup) && at + 1 < record.size() &&
            record[at + 1] == kRecordDelimiter) {
            ++at;
            continue;
        }
        // A record cut after its group or parameter cannot be read as a field.
        if (at + 2 >= record.size())
            return false;
        const auto parameter = static_cast<std::uint8_t>(record[at + 1]);
        const std::optional<FieldValue> value = ReadFieldValue(record, at + 2);
        if (!value)
            return false;

        const auto row = std::find_if(rows.begin(), rows.end(), [&](const SettingDescriptor& candidate) {
            return candidate.group == group && candidate.parameter == parameter &&
                   (!restricted || candidate.restricted);
        });
        if (row != rows.end())
            taken(*row, *value);
        at = value->stop;
        // Fields without a row, and numbers followed by other characters, are passed over
        // up to the next field.
        if (row == rows.end() || !FieldEndsAtItsValue(*row, *value)) {
            at = record.find(kRecordDelimiter, at);
            if (at == std::string_view::npos)
                return false;
        }
    }
}

bool RecordFamilies::Names(int family) const
{
    return (family == DEVICE_TYPE_BPP && boardingPass) || (family == DEVICE_TYPE_BTP && bagTag);
}

RecordFamilies FamiliesNamedBy(std::string_view record, std::span<const SettingDescriptor> rows)
{
    std::vector<RecordField> fields;
    ReadRecordWithRows(record, rows, false, [&fields](const SettingDescriptor& row, const FieldValue& value) {
        fields.push_back({&row, value});
    });
    return FamiliesNamedBy(fields);
}

RecordFamilies FamiliesNamedBy(std::span<const RecordField> fields)
{
    RecordFamilies families;
    for (const RecordField& field : fields) {
        if (field.row->group != SETTING_GROUP_DEVICE || field.row->parameter != kDeviceTypeKey)
            continue;
        const std::optional<int> family = FamilyNamedBy(field.value);
        families.boardingPass = families.boardingPass || family == DEVICE_TYPE_BPP;
        families.bagTag = families.bagTag || family == DEVICE_TYPE_BTP;
    }
    return families;
}

QString RecordText(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool TextMeansChecked(const QString& text)
{
    if (text.isEmpty())
        return true;
    const char16_t first = QChar::toUpper(text.front().unicode());
    return first != u'0' && first != u'F' && first != u'N';
}
