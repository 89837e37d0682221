// The settings engine: opening, the combos, defaults and overlays, the protocol and
// device-type combos, the type switch, tool tips, the caption and the close path.
#include "settings/settings_dialog.h"

#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "settings/custom_controls.h"
#include "settings/device_type_names.h"
#include "settings/settings_ids.h"
#include "ui/application_icon.h"
#include "ui/prompts.h"
#include "ui/text.h"

#include <QLatin1Char>

#include <algorithm>

namespace {

constexpr char kSwitchDeviceTypeQuestion[] =
    "Switching printer type will cause any changes to be lost. Do you want to contiue?";
constexpr char kUnableToChangeDeviceType[] = "Unable to change the device type.";

// The Ack Timeout combo lists every multiple of 50 ms up to 2000 ms.
constexpr int kAckTimeoutStepMs = 50;
constexpr int kAckTimeoutMaxMs = 2000;

// The protocols whose entry a reset selects again, applying their overlay.
constexpr int kKnownProtocols[] = {PROTOCOL_SITA, PROTOCOL_SIMPLE_AEA, PROTOCOL_MUSE, PROTOCOL_FGL};

// Item lengths in the record's lists of device types and protocols.
constexpr int kDeviceTypeNameLength = 3;
constexpr int kProtocolSlotLength = 4;
constexpr int kProtocolCodeMinLength = 3;

constexpr char kTitleModelSeparator[] = " - ";
constexpr char kTitleSerialOpen[] = " (S/N:";
constexpr char kTitleSerialClose[] = ")";

} // namespace

// ---- the interface's refusals

bool CJetvaneSettingsDeviceInterface::SetDeviceSettings(const std::string&, CComms*, bool)
{
    return false;
}

bool CJetvaneSettingsDeviceInterface::SetAccessLevel(int)
{
    return false;
}

bool CJetvaneSettingsDeviceInterface::TakeLoadedConfig(std::string&)
{
    return false;
}

bool CJetvaneSettingsDeviceInterface::CloseSettings()
{
    return false;
}

bool CJetvaneSettingsDeviceInterface::SetTitle(const QString& title)
{
    SetWindowText(title);
    return true;
}

// ---- construction and the close path

CSettingsTableDlg::CSettingsTableDlg(const SettingsDialogDefinition& definition, ui::Dialog* parent)
    : CJetvaneSettingsDeviceInterface(*definition.dialogTemplate, parent),
      definition_(definition),
      icon_(ui::ApplicationIcon())
{
    MapCommand(IDC_SETTINGS_CANCEL, &CSettingsTableDlg::OnBnClickedCancel);
    MapCommand(IDC_RESET_TO_DEFAULTS, &CSettingsTableDlg::OnBnClickedResetToDefaults);
    MapCommand(IDC_SAVE_TO_FILE, &CSettingsTableDlg::OnBnClickedSaveToFile);
    MapCommand(IDC_LOAD_FROM_FILE, &CSettingsTableDlg::OnBnClickedLoadFromFile);
    for (const SettingsUpdateButton& button : definition_.updateButtons) {
        if (button.allConfigs)
            MapCommand(button.controlId, &CSettingsTableDlg::OnBnClickedUpdateAllConfigs);
        else if (HasDeviceType())
            MapCommand(button.controlId, &CSettingsTableDlg::OnBnClickedUpdateDefaults);
        else
            MapCommand(button.controlId, &CSettingsTableDlg::OnBnClickedUpdateEEPROM);
    }
    if (HasDeviceType()) {
        MapCommand(IDC_PROTOCOL, ui::CBN_SELCHANGE, &CSettingsTableDlg::OnCbnSelchangeProtocol);
        MapCommand(IDC_DEVICE_TYPE, ui::CBN_SELCHANGE, &CSettingsTableDlg::OnCbnSelchangeDeviceType);
    }
}

CSettingsTableDlg::~CSettingsTableDlg()
{
    // A dialog destroyed while open still reports its result.
    Close();
}

bool CSettingsTableDlg::ButtonsHaveWindows() const
{
    return GetDlgItem(IDC_SETTINGS_CANCEL).IsWindow() && HasWindow();
}

void CSettingsTableDlg::Close()
{
    if (closing_ || !ButtonsHaveWindows())
        return;
    closing_ = true;
    OnCancel();
}

void CSettingsTableDlg::OnBnClickedCancel()
{
    Close();
}

bool CSettingsTableDlg::CloseSettings()
{
    Close();
    return true;
}

void CSettingsTableDlg::OnCancel()
{
    closing_ = true;
    // The result goes out once: a dialog that has ended may still be sent the close box's
    // message while its owner takes it down.
    if (!switchPending_ && !resultSent_ && ui::IsWindow(GetParentHandle())) {
        resultSent_ = true;
        NotifyParent(definition_.resultMessage, static_cast<ui::WParam>(result_), 0);
    }
    if (HasWindow())
        CJetvaneSettingsDeviceInterface::OnCancel();
}

// ---- the simple operations

bool CSettingsTableDlg::SetAccessLevel(int level)
{
    accessLevel_ = level;
    return true;
}

bool CSettingsTableDlg::TakeLoadedConfig(std::string& out)
{
    out = std::move(loadedConfig_);
    loadedConfig_.clear();
    return true;
}

bool CSettingsTableDlg::SetTitle(const QString& title)
{
    QString caption = title;
    if (!model_.isEmpty()) {
        if (!caption.isEmpty())
            caption += QLatin1String(kTitleModelSeparator);
        caption += model_;
    }
    if (!serialNumber_.isEmpty())
        caption += QLatin1String(kTitleSerialOpen) + serialNumber_ + QLatin1String(kTitleSerialClose);
    SetWindowText(caption);
    return true;
}

bool CSettingsTableDlg::OnToolTipNotify(int controlId, QString* text)
{
    for (const ToolTipEntry& tip : definition_.tables.toolTips) {
        if (tip.controlId == controlId) {
            *text = ui::Text(tip.text);
            return true;
        }
    }
    return false;
}

QWidget* CSettingsTableDlg::CreateCustomControl(const ui::ControlTemplate& control, QWidget* parent)
{
    const SettingDescriptor* row = FirstRowOf(control.id);
    if (row == nullptr)
        return nullptr;
    if (row->kind == SETTING_KIND_NUMBER && control.kind == ui::ControlKind::Edit)
        return new CCustomEditCtrl(parent);
    if (row->kind == SETTING_KIND_EDIT_COMBO && control.kind == ui::ControlKind::ComboDropDown) {
        auto* combo = new CCustomComboCtrl(parent);
        combo->SetShortcuts(true);
        return combo;
    }
    if (row->kind == SETTING_KIND_LIST_COMBO && control.kind == ui::ControlKind::ComboDropList)
        return new CListComboCtrl(parent);
    return nullptr;
}

// ---- opening

bool CSettingsTableDlg::OnInitDialog()
{
    CJetvaneSettingsDeviceInterface::OnInitDialog();
    if (!icon_.isNull())
        SetIcon(icon_);
    EnableToolTips(true);

    for (const SettingDescriptor& row : definition_.tables.settings) {
        const bool seen = row.accessLevel <= accessLevel_;
        if (row.labelControlId != 0)
            ShowDlgItem(row.labelControlId, seen);
        if (row.controlId == 0)
            continue;
        switch (row.kind) {
        case SETTING_KIND_EDIT:
            if (row.maxTextLength != 0)
                GetEdit(row.controlId).LimitText(static_cast<int>(row.maxTextLength));
            break;
        case SETTING_KIND_NUMBER:
            if (CCustomEditCtrl* edit = NumberEdit(row.controlId); edit != nullptr && row.maxTextLength != 0) {
                edit->SetNumericMode(true);
                // A row whose minimum exceeds its maximum keeps the control's own range.
                if (row.minimum <= row.maximum) {
                    edit->SetRange(row.minimum, row.maximum);
                    edit->SetPlusSignMode(row.minimum < 0 || row.maximum < 0);
                    edit->SetStep(std::max<std::int32_t>(1, static_cast<std::int32_t>(row.step)));
                }
            }
            break;
        case SETTING_KIND_EDIT_COMBO:
        case SETTING_KIND_LIST_COMBO:
            if (row.maxTextLength != 0)
                GetComboBox(row.controlId).LimitText(static_cast<int>(row.maxTextLength));
            break;
        case SETTING_KIND_CHECK:
            break;
        default:
            continue;
        }
        ShowDlgItem(row.controlId, seen);
    }

    if (definition_.ackTimeoutList) {
        const ui::ComboBox ackTimeout = GetComboBox(IDC_ACK_TIMEOUT);
        for (int ms = 0; ms <= kAckTimeoutMaxMs; ms += kAckTimeoutStepMs)
            ackTimeout.AddString(QString::number(ms));
    }
    for (const ComboEntries& fill : definition_.tables.openingEntries) {
        const ui::ComboBox combo = GetComboBox(fill.controlId);
        for (const std::string_view entry : fill.entries)
            combo.AddString(ui::Text(entry));
    }
    for (const std::int32_t controlId : definition_.tables.choiceCombos)
        FillChoiceCombo(controlId);

    if (HasDeviceType()) {
        SetDeviceType(definition_.ownDeviceType);
        SetProtocol(definition_.defaultProtocol);
        ResetToDefaults();
    } else {
        ApplyDefaults();
    }

    if (ButtonsHaveWindows()) {
        EnableButtons(true);
        for (const SettingDescriptor& row : definition_.tables.settings) {
            if (row.controlId != 0)
                EnableDlgItem(row.controlId, row.accessLevel <= accessLevel_);
        }
    }
    return true;
}

// ---- combos and values

const SettingDescriptor* CSettingsTableDlg::FirstRowOf(int controlId) const
{
    for (const SettingDescriptor& row : definition_.tables.settings) {
        if (row.controlId == controlId)
            return &row;
    }
    return nullptr;
}

CCustomEditCtrl* CSettingsTableDlg::NumberEdit(int controlId) const
{
    return dynamic_cast<CCustomEditCtrl*>(GetDlgItem(controlId).Widget());
}

bool CSettingsTableDlg::FillChoiceCombo(int controlId)
{
    const ui::ComboBox combo = GetComboBox(controlId);
    if (!combo.IsWindow())
        return false;
    const int selected = combo.GetCurSel();
    combo.ResetContent();
    bool added = false;
    for (const SettingChoice& choice : definition_.tables.choices) {
        if (choice.controlId == controlId) {
            combo.AddString(ui::Text(choice.display));
            added = true;
        }
    }
    if (selected >= 0 && selected < combo.GetCount())
        combo.SetCurSel(selected);
    else if (combo.GetCount() > 0)
        combo.SetCurSel(0);
    return added;
}

bool CSettingsTableDlg::MapChoiceValue(int controlId, std::int32_t& value, bool toIndex) const
{
    const ui::ComboBox combo = GetComboBox(controlId);
    if (!combo.IsWindow())
        return false;
    if (toIndex) {
        for (const SettingChoice& choice : definition_.tables.choices) {
            if (choice.controlId == controlId && choice.value == value) {
                value = combo.FindStringExact(ui::Text(choice.display));
                return true;
            }
        }
        return false;
    }
    const QString selected = combo.GetLBText(combo.GetCurSel());
    for (const SettingChoice& choice : definition_.tables.choices) {
        if (choice.controlId == controlId && ui::Text(choice.display) == selected) {
            value = choice.value;
            return true;
        }
    }
    return false;
}

bool CSettingsTableDlg::SetControlValue(const SettingDefault* row)
{
    if (row == nullptr)
        return false;
    const QString text = row->text != nullptr ? QString::fromUtf8(row->text) : QString::number(row->value);
    const SettingDescriptor* setting = ValueRowOf(row->controlId);
    if (setting == nullptr || setting->kind < SETTING_KIND_EDIT || setting->kind > SETTING_KIND_CHECK)
        return false;
    const ui::Control control = GetDlgItem(row->controlId);
    if (!control.IsWindow())
        return false;
    switch (setting->kind) {
    case SETTING_KIND_EDIT:
        control.SetWindowText(text);
        break;
    case SETTING_KIND_NUMBER:
        ShowNumber(row->controlId, SignedDecimal(row->value));
        break;
    case SETTING_KIND_EDIT_COMBO:
    case SETTING_KIND_LIST_COMBO: {
        const ui::ComboBox combo = GetComboBox(row->controlId);
        if (setting->encoding == SETTING_ENC_CHOICE) {
            std::int32_t index = row->value;
            MapChoiceValue(row->controlId, index, true);
            combo.SetCurSel(index);
        } else if (const int found = combo.FindStringExact(text); found >= 0) {
            combo.SetCurSel(found);
        } else {
            combo.SetWindowText(text);
        }
        // A value read from a record that no entry holds gives way to the entry selected here;
        // a default that names no entry leaves it, as it leaves any other value.
        DropUnlisted(row->controlId, true);
        break;
    }
    case SETTING_KIND_CHECK:
        if (setting->encoding == SETTING_ENC_HEX_TEXT)
            GetButton(row->controlId).SetCheck(TextMeansChecked(text.trimmed()));
        else
            GetButton(row->controlId).SetCheck(row->value != 0);
        break;
    default:
        break;
    }
    RememberFilledText(*setting);
    return true;
}

// ---- defaults and overlays

void CSettingsTableDlg::ApplyRows(std::span<const SettingDefault> rows)
{
    for (const SettingDefault& row : rows)
        SetControlValue(&row);
}

void CSettingsTableDlg::ApplyDefaults()
{
    ApplyRows(definition_.tables.defaults);
}

const ModelOverlay* CSettingsTableDlg::MatchingModelOverlay() const
{
    for (const ModelOverlay& overlay : definition_.tables.modelOverlays) {
        if (overlay.anyOtherModel)
            return &overlay;
        for (const std::string_view model : overlay.models) {
            if (model_.compare(ui::Text(model), Qt::CaseInsensitive) == 0)
                return &overlay;
        }
    }
    return nullptr;
}

// An empty Platen Err takes the value that the defaults and the model's overlay give it.
QString CSettingsTableDlg::PlatenErrDefault() const
{
    std::int32_t value = 0;
    const auto take = [&value](std::span<const SettingDefault> rows) {
        for (const SettingDefault& row : rows) {
            if (row.controlId == IDC_PLATEN_ERR)
                value = row.value;
        }
    };
    take(definition_.tables.defaults);
    if (const ModelOverlay* overlay = MatchingModelOverlay())
        take(overlay->rows);
    return QString::number(value);
}

void CSettingsTableDlg::ResetToDefaults()
{
    if (!HasDeviceType()) {
        ApplyDefaults();
        return;
    }
    // Platen Err is the user's own calibration: it survives every reset.
    QString platenErr = GetDlgItemText(IDC_PLATEN_ERR).trimmed();
    if (platenErr.isEmpty())
        platenErr = PlatenErrDefault();

    ApplyDefaults();
    if (const ModelOverlay* overlay = MatchingModelOverlay())
        ApplyRows(overlay->rows);

    // A protocol shown as reported, without an entry of its own, brings no overlay.
    const int protocol = GetProtocol();
    if (UnlistedValueShown(IDC_PROTOCOL) == nullptr &&
        std::find(std::begin(kKnownProtocols), std::end(kKnownProtocols), protocol) != std::end(kKnownProtocols)) {
        SetProtocol(protocol);
        for (const ProtocolOverlay& overlay : definition_.tables.protocolOverlays) {
            if (overlay.protocol == protocol)
                ApplyRows(overlay.rows);
        }
    }
    SetDlgItemText(IDC_PLATEN_ERR, platenErr);
}

void CSettingsTableDlg::OnBnClickedResetToDefaults()
{
    if (!HasDeviceType()) {
        ApplyDefaults();
        return;
    }
    protocolIndex_ = -1;
    const ui::ComboBox protocols = GetComboBox(IDC_PROTOCOL);
    const int selected = protocols.GetCurSel();
    if (selected < 0)
        return;
    SelectProtocolIndex(selected);
    ResetToDefaults();
}

void CSettingsTableDlg::OnCbnSelchangeProtocol()
{
    const int selected = GetComboBox(IDC_PROTOCOL).GetCurSel();
    if (selected == protocolIndex_)
        return;
    SelectProtocolIndex(selected);
    ResetToDefaults();
}

// Remembers the protocol entry acted on; its text names default configuration files.
void CSettingsTableDlg::SelectProtocolIndex(int index)
{
    protocolIndex_ = index;
    if (index < 0)
        return;
    // A code that no entry holds names no protocol.
    protocolText_ =
        UnlistedValueShown(IDC_PROTOCOL) != nullptr ? QString() : GetComboBox(IDC_PROTOCOL).GetLBText(index);
}

// ---- protocol and device type

int CSettingsTableDlg::GetProtocol() const
{
    if (const std::string* unlisted = UnlistedValueShown(IDC_PROTOCOL))
        return NumberOf(*unlisted);
    std::int32_t code = GetComboBox(IDC_PROTOCOL).GetCurSel();
    MapChoiceValue(IDC_PROTOCOL, code, false);
    return code < 0 ? definition_.defaultProtocol : code;
}

// A code is never taken for a position in the list: one without an entry selects none.
bool CSettingsTableDlg::SetProtocol(int code)
{
    int index = -1;
    if (!ChoiceEntryOf(IDC_PROTOCOL, code, index))
        index = -1;
    GetComboBox(IDC_PROTOCOL).SetCurSel(index);
    SelectProtocolIndex(index);
    return true;
}

void CSettingsTableDlg::ShowProtocol(const std::string& asRead)
{
    DropUnlisted(IDC_PROTOCOL, false);
    const std::int32_t code = NumberOf(asRead);
    int index = -1;
    if (ChoiceEntryOf(IDC_PROTOCOL, code, index)) {
        SetProtocol(code);
        return;
    }
    ShowUnlistedNumber(IDC_PROTOCOL, asRead);
    SelectProtocolIndex(GetComboBox(IDC_PROTOCOL).GetCurSel());
}

int CSettingsTableDlg::GetDeviceType() const
{
    const ui::ComboBox types = GetComboBox(IDC_DEVICE_TYPE);
    const QString selected = types.GetLBText(types.GetCurSel());
    if (!selected.isEmpty()) {
        for (const DeviceTypeEntry& entry : DeviceTypeNames()) {
            if (selected.compare(ui::Text(entry.name), Qt::CaseInsensitive) == 0)
                return entry.code;
        }
    }
    return definition_.ownDeviceType;
}

bool CSettingsTableDlg::SetDeviceType(int code)
{
    for (const DeviceTypeEntry& entry : DeviceTypeNames()) {
        if (entry.code != code)
            continue;
        const ui::ComboBox types = GetComboBox(IDC_DEVICE_TYPE);
        const int index = types.FindStringExact(ui::Text(entry.name));
        if (index < 0)
            return false;
        types.SetCurSel(index);
        return true;
    }
    return false;
}

void CSettingsTableDlg::ApplyDeviceTypeList(QString list)
{
    const ui::ComboBox types = GetComboBox(IDC_DEVICE_TYPE);
    list = list.trimmed();
    QString item = list.left(kDeviceTypeNameLength).trimmed();
    while (item.size() == kDeviceTypeNameLength) {
        list = list.mid(kDeviceTypeNameLength).trimmed();
        item = item.toUpper();
        if (types.FindStringExact(item) < 0)
            types.AddString(item);
        item = list.left(kDeviceTypeNameLength).trimmed();
    }
}

void CSettingsTableDlg::ApplyProtocolList(QString list)
{
    const ui::ComboBox protocols = GetComboBox(IDC_PROTOCOL);
    protocols.ResetContent();
    list = list.trimmed();
    QString item = list.left(kProtocolSlotLength).trimmed();
    while (item.size() >= kProtocolCodeMinLength) {
        list = list.mid(kProtocolSlotLength);
        for (const SettingChoice& choice : definition_.tables.choices) {
            if (choice.controlId != IDC_PROTOCOL)
                continue;
            const QString code = ui::Text(choice.protocolCode).left(kProtocolSlotLength).trimmed();
            if (code.compare(item, Qt::CaseInsensitive) != 0)
                continue;
            if (protocols.FindStringExact(ui::Text(choice.display)) < 0)
                protocols.AddString(ui::Text(choice.display));
            break;
        }
        item = list.left(kProtocolSlotLength).trimmed();
    }
    if (protocols.GetCount() > 0)
        protocols.SetCurSel(0);
}

void CSettingsTableDlg::OnCbnSelchangeDeviceType()
{
    const int chosen = GetDeviceType();
    if (chosen == definition_.ownDeviceType)
        return;
    if (chosen == definition_.otherDeviceType) {
        const int answer =
            ui::AfxMessageBox(QString::fromUtf8(kSwitchDeviceTypeQuestion), ui::MB_YESNO);
        if (answer != ui::IDYES) {
            SetDeviceType(definition_.ownDeviceType);
            return;
        }
        if (ui::IsWindow(GetParentHandle())) {
            switchPending_ = true;
            NotifyParent(WM_CHANGE_DEVICE_TYPE, static_cast<ui::WParam>(definition_.otherDeviceType), 0);
            return;
        }
    }
    ui::AfxMessageBox(QString::fromUtf8(kUnableToChangeDeviceType), ui::MB_OK);
    SetDeviceType(definition_.ownDeviceType);
}

void CSettingsTableDlg::EnableButtons(bool enable)
{
    if (!ButtonsHaveWindows())
        return;
    for (const std::int32_t controlId : definition_.actionButtons)
        EnableDlgItem(controlId, enable);
}

// ---- sending the settings to the printer

void CSettingsTableDlg::OnBnClickedUpdateDefaults()
{
    if (const SettingsUpdateButton* button = UpdateButton(false, CMD_SET_SETTINGS))
        Update(*button);
}

void CSettingsTableDlg::OnBnClickedUpdateAllConfigs()
{
    if (const SettingsUpdateButton* button = UpdateButton(true, CMD_SET_SETTINGS))
        Update(*button);
}

void CSettingsTableDlg::OnBnClickedUpdateEEPROM()
{
    if (const SettingsUpdateButton* button = UpdateButton(false, CMD_SET_EEPROM_SETTINGS))
        Update(*button);
}

const SettingsUpdateButton* CSettingsTableDlg::UpdateButton(bool allConfigs, std::uint8_t command) const
{
    for (const SettingsUpdateButton& button : definition_.updateButtons) {
        if (button.allConfigs == allConfigs && button.command == command)
            return &button;
    }
    return nullptr;
}

void CSettingsTableDlg::Update(const SettingsUpdateButton& button)
{
    // A click queued while an earlier exchange blocked the window must not start a second
    // one on a connection that the main dialog has closed meanwhile.
    if (closing_)
        return;
    if (!FieldsReadyToWrite(button.withPlatenErr))
        return;
    std::string record = BuildSettingsString(button.withPlatenErr);
    if (button.allConfigs)
        record = WithAllConfigsField(std::move(record));
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_REQUEST, button.command, std::move(record));
    MessageParseState state;
    std::string reply;
    if (CQVMessageParser::Transact(connection_, frame, &state, &reply) && state.command == REPLY_ACK)
        result_ = kChildResultDone;
    if (result_ == kChildResultNone)
        result_ = kChildResultFailed;
    Close();
}
