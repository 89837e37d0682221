// The settings engine's record: reading a settings record into the controls and writing the
// controls into one, keyed by the dialog's settings table.
#include "settings/settings_dialog.h"

#include "comms/decimal_text.h"
#include "settings/custom_controls.h"
#include "settings/settings_ids.h"
#include "ui/prompts.h"
#include "ui/text.h"

#include <QLatin1Char>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// Keys that the printer reports but never takes back.
constexpr std::uint8_t kDeviceTypeListKey = 0x10;
constexpr std::uint8_t kProtocolListKeys[] = {0x11, 0x12};
constexpr std::uint8_t kModelKey = 0x14;
constexpr std::uint8_t kSerialNumberKey = 0x15;
constexpr std::uint8_t kProtocolKey = 0x01;
constexpr std::uint8_t kPlatenErrKey = 0x18;

// A check box whose field carries 'x' (or the number of 'x' or 'X') is not for this printer.
constexpr std::int32_t kHiddenMarkLower = 'x';
constexpr std::int32_t kHiddenMarkUpper = 'X';

// Perform/Speed: printers report 'L', which the dialog shows as NORMAL ('N').
constexpr std::int32_t kSpeedCodeLow = 'L';
constexpr std::int32_t kSpeedCodeNormal = 'N';

// Said when a numeric field holds no number of its range: nothing is saved or sent then.
constexpr char kNumberOutOfRange[] = "%1: the value must be between %2 and %3.";
// Said when a field shows a text, as reported, longer than the field takes.
constexpr char kTextTooLong[] = "%1: the text must be at most %2 characters.";
// Said when a field holds a text, typed or cleared, shorter than the field takes.
constexpr char kTextTooShort[] = "%1: the text must be at least %2 %3 long.";
constexpr char kCharacter[] = "character";
constexpr char kCharacters[] = "characters";
// Said when a field holds a character that no byte of the record can carry; %3 is its code
// point, for a character that shows as nothing.
constexpr char kCharacterWithoutByte[] =
    "%1: the character \"%2\" (U+%3) cannot be written; the text may hold only Latin-1 characters.";
constexpr int kCodePointDigits = 4;
constexpr int kHexBase = 16;

constexpr char kCheckedText[] = "TRUE";
constexpr char kUncheckedText[] = "FALSE";

bool IsProtocolList(std::uint8_t parameter)
{
    return parameter == kProtocolListKeys[0] || parameter == kProtocolListKeys[1];
}

// Fields that the printer reports and never takes back.
bool IsReportedOnly(const SettingDescriptor& row)
{
    return row.group == SETTING_GROUP_DEVICE &&
           (row.parameter == kModelKey || row.parameter == kSerialNumberKey || row.parameter == kDeviceTypeListKey ||
            IsProtocolList(row.parameter));
}

// The rows of the device group that a drop list carries: among them the protocol, the device
// type, the printer's own lists and what it reports of itself.
bool IsDeviceCombo(const SettingDescriptor& row)
{
    return IsComboKind(row.kind) && row.group == SETTING_GROUP_DEVICE;
}

bool IsReadOnlyKey(const SettingDescriptor& row, bool withPlatenErr)
{
    return IsReportedOnly(row) ||
           (row.group == SETTING_GROUP_DEFAULTS && row.parameter == kPlatenErrKey && !withPlatenErr);
}

// The rows whose control takes a text that the technician types.
bool TakesTypedText(const SettingDescriptor& row)
{
    return row.kind == SETTING_KIND_EDIT ||
           (row.kind == SETTING_KIND_EDIT_COMBO && row.encoding == SETTING_ENC_HEX_TEXT);
}

void AppendKey(std::string& record, const SettingDescriptor& row)
{
    record += kRecordDelimiter;
    record += static_cast<char>(row.group);
    record += static_cast<char>(row.parameter);
}

// A value text as a record takes it: cut to the row's maximum length, then tested against
// both bounds. Nothing when it does not fit.
std::optional<QString> FittingText(QString text, const SettingDescriptor& row)
{
    if (row.maxTextLength != 0 && static_cast<std::uint32_t>(text.size()) > row.maxTextLength)
        text.truncate(static_cast<qsizetype>(row.maxTextLength));
    const auto length = static_cast<std::uint32_t>(text.size());
    if (length < row.minTextLength || length > row.maxTextLength)
        return std::nullopt;
    return text;
}

// The leading decimal digits of a text, as an unsigned number (none: 0).
std::int32_t LeadingUnsigned(const QString& text)
{
    return ReadLeadingNumber(ui::Utf16(text)).number;
}

} // namespace

// ---- the values of the controls

const SettingDescriptor* CSettingsTableDlg::ValueRowOf(int controlId) const
{
    for (const SettingDescriptor& row : definition_.tables.settings) {
        if (row.controlId == controlId && !IsReportedOnly(row))
            return &row;
    }
    return FirstRowOf(controlId);
}

void CSettingsTableDlg::ShowNumber(int controlId, std::string_view asRead)
{
    CCustomEditCtrl* edit = NumberEdit(controlId);
    if (edit == nullptr)
        return;
    if (edit->ValidateValue(RecordText(asRead), 0)) {
        edit->setText(edit->ValueText());
        return;
    }
    // Every digit, also of a number that 32 bits cannot hold: the field shows no number that
    // was never reported. The sign counts as typed, as a record always carries one.
    edit->setText(edit->NumberText(asRead.starts_with('-'), RecordText(asRead.substr(1)), true));
}

CListComboCtrl* CSettingsTableDlg::ListCombo(int controlId) const
{
    return dynamic_cast<CListComboCtrl*>(GetDlgItem(controlId).Widget());
}

bool CSettingsTableDlg::ChoiceEntryOf(int controlId, std::int32_t code, int& index) const
{
    std::int32_t value = code;
    const bool hasRow = MapChoiceValue(controlId, value, true);
    index = value;
    if (hasRow)
        return index >= 0;
    const bool hasChoices =
        std::any_of(definition_.tables.choices.begin(), definition_.tables.choices.end(),
                    [controlId](const SettingChoice& choice) { return choice.controlId == controlId; });
    return !hasChoices && index >= 0 && index < GetComboBox(controlId).GetCount();
}

void CSettingsTableDlg::ShowUnlisted(int controlId, const QString& shown, std::string value)
{
    if (CListComboCtrl* combo = ListCombo(controlId)) {
        combo->SelectUnlisted(shown);
        unlistedValues_[controlId] = std::move(value);
    }
}

void CSettingsTableDlg::ShowUnlistedNumber(int controlId, std::string asRead)
{
    QString shown = RecordText(asRead);
    if (shown.startsWith(QLatin1Char('+')))
        shown.remove(0, 1);
    ShowUnlisted(controlId, shown, std::move(asRead));
}

void CSettingsTableDlg::DropUnlisted(int controlId, bool keepSelected)
{
    CListComboCtrl* combo = ListCombo(controlId);
    if (combo == nullptr || combo->DropUnlisted(keepSelected))
        unlistedValues_.erase(controlId);
}

const std::string* CSettingsTableDlg::UnlistedValueShown(int controlId) const
{
    const CListComboCtrl* combo = ListCombo(controlId);
    if (combo == nullptr || !combo->UnlistedSelected())
        return nullptr;
    const auto found = unlistedValues_.find(controlId);
    return found == unlistedValues_.end() ? nullptr : &found->second;
}

// A field's name as the form shows it: its label, or the static text that stands above it.
QString CSettingsTableDlg::FieldLabel(int controlId) const
{
    const ui::FormLayout* form = definition_.dialogTemplate->form;
    if (form == nullptr)
        return {};
    for (const ui::FormPane& pane : form->panes) {
        const auto columns = static_cast<std::size_t>(std::max(1, pane.fieldColumns));
        for (std::size_t index = 0; index < pane.fields.size(); ++index) {
            const ui::FormField& field = pane.fields[index];
            if (field.id != controlId)
                continue;
            if (!field.label.empty())
                return ui::Text(field.label);
            if (index >= columns && pane.fields[index - columns].kind == ui::ControlKind::StaticText)
                return ui::Text(pane.fields[index - columns].caption);
            return {};
        }
    }
    return {};
}

QString CSettingsTableDlg::WriteRefusal(const SettingDescriptor& row)
{
    if (CCustomEditCtrl* edit = row.kind == SETTING_KIND_NUMBER ? NumberEdit(row.controlId) : nullptr) {
        if (!edit->NumericMode())
            return {};
        // An empty text or a sign alone would write a number that the field does not show.
        const QString text = edit->text();
        const bool hasDigits =
            std::any_of(text.begin(), text.end(), [](QChar character) { return character.isDigit(); });
        if (edit->ValidateValue(text, 0) && hasDigits)
            return {};
        return QString::fromUtf8(kNumberOutOfRange)
            .arg(FieldLabel(row.controlId))
            .arg(edit->Minimum())
            .arg(edit->Maximum());
    }
    if (!TakesTypedText(row))
        return {};
    const QString text = GetDlgItemText(row.controlId);
    // A text too short for the record would be left out without a word; one that came so from
    // the printer or a file, and is shown as it came, is left out so as not to block the rest.
    if (static_cast<std::uint32_t>(text.size()) < row.minTextLength && text != FilledText(row.controlId))
        return QString::fromUtf8(kTextTooShort)
            .arg(FieldLabel(row.controlId))
            .arg(row.minTextLength)
            .arg(QLatin1String(row.minTextLength == 1 ? kCharacter : kCharacters));
    // A reported text longer than its field would reach the record cut short.
    if (row.maxTextLength != 0 && static_cast<std::uint32_t>(text.size()) > row.maxTextLength)
        return QString::fromUtf8(kTextTooLong).arg(FieldLabel(row.controlId)).arg(row.maxTextLength);
    // A typed character above U+00FF would go out as more than one byte: another text.
    const QString character = FirstCharacterWithoutByte(text);
    if (character.isEmpty())
        return {};
    const char32_t codePoint =
        character.size() == 2 ? QChar::surrogateToUcs4(character[0], character[1]) : character[0].unicode();
    return QString::fromUtf8(kCharacterWithoutByte)
        .arg(FieldLabel(row.controlId), character,
             QString::number(codePoint, kHexBase).toUpper().rightJustified(kCodePointDigits, u'0'));
}

void CSettingsTableDlg::RememberFilledText(const SettingDescriptor& row)
{
    if (TakesTypedText(row))
        filledTexts_[row.controlId] = GetDlgItemText(row.controlId);
}

QString CSettingsTableDlg::FilledText(int controlId) const
{
    const auto found = filledTexts_.find(controlId);
    return found == filledTexts_.end() ? QString() : found->second;
}

bool CSettingsTableDlg::FieldsReadyToWrite(bool withPlatenErr)
{
    for (const SettingDescriptor& row : definition_.tables.settings) {
        if (!RowIsWritten(row, withPlatenErr) || !IsUsable(row.controlId))
            continue;
        const QString refusal = WriteRefusal(row);
        if (refusal.isEmpty())
            continue;
        ui::AfxMessageBox(refusal, ui::MB_OK | ui::MB_ICONINFORMATION);
        GotoDlgCtrl(row.controlId);
        return false;
    }
    return true;
}

// ---- controls to record

bool CSettingsTableDlg::IsUsable(int controlId) const
{
    const ui::Control control = GetDlgItem(controlId);
    return control.IsWindow() && control.IsWindowEnabled() && control.IsWindowVisible();
}

bool CSettingsTableDlg::RowIsWritten(const SettingDescriptor& row, bool withPlatenErr) const
{
    return row.controlId != 0 && row.group != 0 && row.parameter != 0 && row.accessLevel <= accessLevel_ &&
           !IsReadOnlyKey(row, withPlatenErr);
}

std::string CSettingsTableDlg::BuildSettingsString(bool withPlatenErr) const
{
    std::string record;
    for (const SettingDescriptor& row : definition_.tables.settings) {
        if (!RowIsWritten(row, withPlatenErr))
            continue;
        const bool usable = IsUsable(row.controlId);
        switch (row.kind) {
        case SETTING_KIND_EDIT:
            if (!usable)
                break;
            if (const auto text = FittingText(GetDlgItemText(row.controlId), row)) {
                AppendKey(record, row);
                record += HexText(*text);
            }
            break;
        case SETTING_KIND_NUMBER: {
            CCustomEditCtrl* edit = NumberEdit(row.controlId);
            if (!usable || edit == nullptr)
                break;
            QString valueText;
            edit->GetValueText(valueText);
            const auto fitting = FittingText(valueText, row);
            edit->ValidateValue(edit->text(), 0);
            if (fitting) {
                AppendKey(record, row);
                record += SignedDecimal(edit->Value());
            }
            break;
        }
        case SETTING_KIND_EDIT_COMBO:
        case SETTING_KIND_LIST_COMBO:
            // A combo's key is written whatever the state of the control, and stays empty
            // when the control cannot be read.
            AppendKey(record, row);
            if (HasDeviceType() && row.group == SETTING_GROUP_DEVICE && row.parameter == kProtocolKey) {
                const std::string* unlisted = UnlistedValueShown(row.controlId);
                record += unlisted != nullptr ? *unlisted : PlusDecimal(GetProtocol());
            } else if (HasDeviceType() && row.group == SETTING_GROUP_DEVICE && row.parameter == kDeviceTypeKey) {
                record += PlusDecimal(GetDeviceType());
            } else if (usable) {
                const ui::ComboBox combo = GetComboBox(row.controlId);
                if (const std::string* unlisted = UnlistedValueShown(row.controlId)) {
                    record += *unlisted;
                } else if (row.encoding == SETTING_ENC_CHOICE) {
                    std::int32_t value = combo.GetCurSel();
                    MapChoiceValue(row.controlId, value, false);
                    record += PlusDecimal(value);
                } else if (row.encoding == SETTING_ENC_NUMBER) {
                    record += SignedDecimal(LeadingUnsigned(combo.GetWindowText()));
                } else if (const auto text = FittingText(combo.GetWindowText(), row)) {
                    record += HexText(*text);
                }
            }
            break;
        case SETTING_KIND_CHECK: {
            if (!usable)
                break;
            const bool checked = GetButton(row.controlId).GetCheck();
            AppendKey(record, row);
            if (row.encoding != SETTING_ENC_HEX_TEXT)
                record += PlusDecimal(checked ? 1 : 0);
            else if (const auto text = FittingText(QString::fromLatin1(checked ? kCheckedText : kUncheckedText), row))
                record += HexText(*text);
            break;
        }
        default:
            break;
        }
    }
    record += kRecordDelimiter;
    return record;
}

// ---- record to controls

bool CSettingsTableDlg::SetDeviceSettings(const std::string& record, CComms* connection, bool restricted)
{
    connection_ = connection;
    if (!CanApplyRecord())
        return false;
    // A record that cannot be read to its end changes nothing (a file that fails to load
    // leaves the dialog as it was): it is read through before any control is touched.
    std::vector<RecordField> fields;
    if (!ReadRecord(record, restricted, fields))
        return false;
    ApplyRecord(fields);
    return true;
}

bool CSettingsTableDlg::CanApplyRecord() const
{
    return connection_ != nullptr && HasWindow();
}

void CSettingsTableDlg::ApplyRecord(const std::vector<RecordField>& fields)
{
    ResetToDefaults();
    model_.clear();
    serialNumber_.clear();
    ApplyFields(fields);
    if (HasDeviceType() && GetDeviceType() != definition_.ownDeviceType)
        SetDeviceType(definition_.ownDeviceType);
}

bool CSettingsTableDlg::ReadRecord(std::string_view text, bool restricted, std::vector<RecordField>& fields)
{
    return ReadRecordWithRows(text, definition_.tables.settings, restricted,
                              [&fields](const SettingDescriptor& row, const FieldValue& value) {
                                  fields.push_back({&row, value});
                              });
}

// The protocol's reset would put back the defaults of every field read before it, and a
// printer or a hand-made file may carry the protocol anywhere: the protocol goes first, with
// its reset, then every other field in the record's order. The printer's protocol lists go
// before the protocol, which is judged against them wherever they stand; the reset's model
// overlay counts only a model reported ahead of the protocol.
void CSettingsTableDlg::ApplyFields(const std::vector<RecordField>& fields)
{
    const auto isProtocol = [this](const RecordField& field) {
        return HasDeviceType() && IsDeviceCombo(*field.row) && field.row->parameter == kProtocolKey;
    };
    const auto isProtocolList = [this](const RecordField& field) {
        return HasDeviceType() && IsDeviceCombo(*field.row) && IsProtocolList(field.row->parameter);
    };
    for (const RecordField& field : fields) {
        if (isProtocolList(field))
            ApplyField(*field.row, field.value);
    }
    // Each protocol's reset undoes the one before: the last protocol is the one that counts.
    const auto last = std::find_if(fields.rbegin(), fields.rend(), isProtocol);
    if (last != fields.rend()) {
        const auto protocol = std::prev(last.base());
        for (auto field = fields.begin(); field != protocol; ++field) {
            if (IsDeviceCombo(*field->row) && field->row->parameter == kModelKey)
                ApplyField(*field->row, field->value);
        }
        ApplyField(*protocol->row, protocol->value);
    }
    for (const RecordField& field : fields) {
        if (!isProtocol(field) && !isProtocolList(field))
            ApplyField(*field.row, field.value);
    }
}

void CSettingsTableDlg::ApplyField(const SettingDescriptor& row, const FieldValue& value)
{
    if (row.controlId == 0)
        return;
    const bool numeric = IsNumericEncoding(row);
    LeadingNumber number;
    QString valueText = RecordText(value.text);
    if (numeric) {
        number = ReadLeadingNumber(value.text);
        if (value.negative)
            number.number = -number.number;
    } else if (value.negative) {
        valueText.prepend(QLatin1Char('-'));
    }

    if (IsDeviceCombo(row)) {
        switch (row.parameter) {
        case kModelKey:
            model_ = valueText;
            return;
        case kSerialNumberKey:
            serialNumber_ = valueText;
            return;
        case kProtocolKey:
            if (HasDeviceType()) {
                ShowProtocol(NumberAsRead(value));
                ResetToDefaults();
                return;
            }
            break;
        case kDeviceTypeKey:
            if (HasDeviceType()) {
                SetDeviceType(number.number);
                return;
            }
            break;
        case kDeviceTypeListKey:
            if (HasDeviceType()) {
                ApplyDeviceTypeList(valueText);
                return;
            }
            break;
        default:
            if (HasDeviceType() && IsProtocolList(row.parameter)) {
                if (row.parameter == definition_.protocolListParameter)
                    ApplyProtocolList(valueText);
                return;
            }
            break;
        }
    }

    const ui::Control control = GetDlgItem(row.controlId);
    if (!control.IsWindow())
        return;
    switch (row.kind) {
    case SETTING_KIND_EDIT:
        control.SetWindowText(valueText);
        break;
    case SETTING_KIND_NUMBER:
        ShowNumber(row.controlId, NumberAsRead(value));
        break;
    case SETTING_KIND_EDIT_COMBO:
    case SETTING_KIND_LIST_COMBO: {
        const ui::ComboBox combo = GetComboBox(row.controlId);
        // A drop list shows a value that names none of its entries as it came, and writes it
        // back so; taken for another entry, it would reach the printer as that one.
        const bool keepsUnlisted = ListCombo(row.controlId) != nullptr;
        DropUnlisted(row.controlId, false);
        if (row.encoding == SETTING_ENC_CHOICE) {
            std::int32_t code = number.number;
            if (row.controlId == IDC_PERFORM_SPEED && code == kSpeedCodeLow)
                code = kSpeedCodeNormal;
            int index = 0;
            if (ChoiceEntryOf(row.controlId, code, index) || !keepsUnlisted)
                combo.SetCurSel(index);
            else
                ShowUnlistedNumber(row.controlId, NumberAsRead(value));
            break;
        }
        const bool isNumber = row.encoding == SETTING_ENC_NUMBER;
        const QString entry = isNumber ? QString::number(number.number) : valueText;
        // Only an entry of exactly this text is the value: "unistat" is not "UNISTAT".
        const int found = combo.FindStringExact(entry);
        if (found >= 0 && combo.GetLBText(found) == entry)
            combo.SetCurSel(found);
        else if (!keepsUnlisted)
            combo.SetWindowText(entry);
        else if (entry.isEmpty())
            // Nothing selected, and so written back empty.
            combo.SetCurSel(-1);
        else if (isNumber)
            ShowUnlistedNumber(row.controlId, NumberAsRead(value));
        else
            ShowUnlisted(row.controlId, entry, HexText(valueText));
        break;
    }
    case SETTING_KIND_CHECK: {
        const ui::Button box = GetButton(row.controlId);
        const QString trimmed = valueText.trimmed();
        if (numeric) {
            const QString rest = RecordText(number.rest).trimmed();
            const bool marked = rest.startsWith(QLatin1Char('x'), Qt::CaseInsensitive) ||
                                number.number == kHiddenMarkLower || number.number == kHiddenMarkUpper;
            box.ShowWindow(!marked);
            box.SetCheck(marked || number.number != 0);
        } else if (trimmed.startsWith(QLatin1Char('x'), Qt::CaseInsensitive)) {
            box.EnableWindow(false);
        } else {
            box.EnableWindow(true);
            box.SetCheck(TextMeansChecked(trimmed));
        }
        break;
    }
    default:
        break;
    }
    RememberFilledText(row);
}
