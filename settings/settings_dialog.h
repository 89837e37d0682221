#pragma once
// The settings dialogs: the interface through which the main dialog drives them, and the one
// settings engine that every dialog runs over its own tables (settings_dialog_definition.h).
//
// A dialog is modeless, a child of the main dialog. The main dialog constructs it, sets the
// access level, creates the window (which fills and limits the controls and applies the
// defaults), hands it the printer's settings record and the connection, and sets the caption.
// The user edits, resets, saves, loads and updates; every way out ends in OnCancel, which sends
// the dialog's result message to the main dialog synchronously and then ends the dialog.
//
// Threads: everything here runs on the user-interface thread. An update blocks that thread
// for one transaction on the borrowed connection.

#include "comms/private_messages.h"
#include "settings/settings_dialog_definition.h"
#include "settings/settings_record.h"
#include "ui/dialog.h"
#include "ui/prompts.h"

#include <QIcon>
#include <QString>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class CComms;
class CCustomEditCtrl;
class CListComboCtrl;

// What the main dialog relies on; each operation's base behaviour is a refusal.
class CJetvaneSettingsDeviceInterface : public ui::Dialog {
public:
    using ui::Dialog::Dialog;

    // Fills the dialog from a settings record and keeps the connection for its sends; with
    // restricted only the rows marked for it are applied. False when the record is unusable.
    virtual bool SetDeviceSettings(const std::string& record, CComms* connection, bool restricted);
    virtual bool SetAccessLevel(int level);
    // Hands out the bytes of the configuration file last loaded, and forgets them.
    virtual bool TakeLoadedConfig(std::string& out);
    // Ends the dialog as its Cancel button would, unless it is closing already.
    virtual bool CloseSettings();
    virtual bool SetTitle(const QString& title);
};

// Access level values of the rows (and of the user).
inline constexpr int kSettingsAccessLevelUser = 0;

// The settings engine. The three dialogs are this class over their definitions.
class CSettingsTableDlg : public CJetvaneSettingsDeviceInterface {
public:
    CSettingsTableDlg(const SettingsDialogDefinition& definition, ui::Dialog* parent);
    ~CSettingsTableDlg() override;

    // ---- the interface
    bool SetDeviceSettings(const std::string& record, CComms* connection, bool restricted) override;
    bool SetAccessLevel(int level) override;
    bool TakeLoadedConfig(std::string& out) override;
    bool CloseSettings() override;
    bool SetTitle(const QString& title) override;

    bool OnInitDialog() override;
    void OnCancel() override;
    bool OnToolTipNotify(int controlId, QString* text) override;

    // ---- the engine over the tables
    bool FillChoiceCombo(int controlId);
    // toIndex: value code to combo index (-1 when the combo lacks the choice's text); else the
    // selection to its value code. False, value unchanged, when no choice row matches: callers
    // then use the value as it stands, so a code without a choice row serves as an index.
    bool MapChoiceValue(int controlId, std::int32_t& value, bool toIndex) const;
    bool SetControlValue(const SettingDefault* row);
    void ResetToDefaults();
    void EnableButtons(bool enable);
    int GetProtocol() const;
    bool SetProtocol(int code);
    int GetDeviceType() const;
    bool SetDeviceType(int code);
    void ApplyDeviceTypeList(QString list);
    void ApplyProtocolList(QString list);
    // The record of the controls as they stand; withPlatenErr adds the Platen Err field.
    std::string BuildSettingsString(bool withPlatenErr) const;

    // ---- handlers
    void OnBnClickedCancel();
    void OnBnClickedResetToDefaults();
    void OnCbnSelchangeProtocol();
    void OnCbnSelchangeDeviceType();
    void OnBnClickedUpdateDefaults();
    void OnBnClickedUpdateAllConfigs();
    void OnBnClickedUpdateEEPROM();
    void OnBnClickedSaveToFile();
    void OnBnClickedLoadFromFile();

    // ---- state, for the main dialog's tests and the file operations
    const SettingsDialogDefinition& Definition() const { return definition_; }
    int AccessLevel() const { return accessLevel_; }
    int Result() const { return result_; }
    // Once set, the window layer hands the dialog no more input (ui::Dialog::IsClosing).
    bool IsClosing() const override { return closing_; }
    bool IsSwitchPending() const { return switchPending_; }
    CComms* Connection() const { return connection_; }
    const QString& Model() const { return model_; }
    const QString& SerialNumber() const { return serialNumber_; }
    int ProtocolIndex() const { return protocolIndex_; }
    const QString& ProtocolText() const { return protocolText_; }
    const std::string& LoadedConfig() const { return loadedConfig_; }

protected:
    QWidget* CreateCustomControl(const ui::ControlTemplate& control, QWidget* parent) override;

private:
    class ButtonsDisabled;

    QString DefaultConfigFileName() const;
    ui::FileDialogRequest ConfigFileDialog(ui::FileDialogKind kind, const QString& initialFile) const;
    // The fields that Load From File applies: those of the record of the first frame of the
    // dialog's command that reads through to its closing DEL. The frames behind it are not
    // looked at.
    std::optional<std::vector<RecordField>> FieldsToLoad(std::string_view bytes);
    bool HasDeviceType() const { return definition_.ownDeviceType != 0; }
    const SettingDescriptor* FirstRowOf(int controlId) const;
    // The row whose value the control shows and gives back; the printer's read-only fields
    // (model, serial number, lists) that share a control never are.
    const SettingDescriptor* ValueRowOf(int controlId) const;
    // A number, given by its sign and digits (as NumberAsRead gives it), put into a numeric
    // edit: in its normalised form when the range takes it, else with all its digits, marked
    // invalid, so that nothing but that number can be written from it.
    void ShowNumber(int controlId, std::string_view asRead);
    // Whether the record built with or without Platen Err has a field of the row, as far as
    // the row's key and access level tell (a control that cannot be used may still write none).
    bool RowIsWritten(const SettingDescriptor& row, bool withPlatenErr) const;
    // The first field that the record would carry and that cannot be written as it shows
    // (a numeric edit without a number of its range, a text longer than its field or with a
    // character above U+00FF, a changed text shorter than its field) is named in a message and
    // gets the focus: false. True when every one may be written.
    bool FieldsReadyToWrite(bool withPlatenErr);
    // Why a field cannot be written as its control shows it; empty when it can.
    QString WriteRefusal(const SettingDescriptor& row);
    // Notes the text that a text field shows once the dialog has filled it (defaults, overlays,
    // a record from the printer or a file): what the technician has not changed since.
    void RememberFilledText(const SettingDescriptor& row);
    QString FilledText(int controlId) const;
    QString FieldLabel(int controlId) const;
    CCustomEditCtrl* NumberEdit(int controlId) const;
    CListComboCtrl* ListCombo(int controlId) const;
    // The entry of a combo that a value code names: its choice row's entry or, in a combo
    // without choice rows, the entry at the code's index. False when the code names none;
    // index is then what the code stands for as an index.
    bool ChoiceEntryOf(int controlId, std::int32_t code, int& index) const;
    // A value read for a drop list that names none of its entries: shown as read, and written
    // back as value while the combo shows it.
    void ShowUnlisted(int controlId, const QString& shown, std::string value);
    // The same for a number, as NumberAsRead gives it; shown without a '+'.
    void ShowUnlistedNumber(int controlId, std::string asRead);
    // Forgets a drop list's unlisted value, unless keepSelected and the combo still shows it.
    void DropUnlisted(int controlId, bool keepSelected);
    const std::string* UnlistedValueShown(int controlId) const;
    bool IsUsable(int controlId) const;
    bool ButtonsHaveWindows() const;
    void ApplyDefaults();
    void ApplyRows(std::span<const SettingDefault> rows);
    const ModelOverlay* MatchingModelOverlay() const;
    QString PlatenErrDefault() const;
    void SelectProtocolIndex(int index);
    // The protocol that a record reports: its entry, or, when the combo holds none for it, the
    // code as read, which then brings no protocol's defaults and is written back so.
    void ShowProtocol(const std::string& asRead);
    void Update(const SettingsUpdateButton& button);
    const SettingsUpdateButton* UpdateButton(bool allConfigs, std::uint8_t command) const;
    void Close();
    // Reads a record through, collecting the fields that a row takes; false when it cannot
    // be read to its closing DEL.
    bool ReadRecord(std::string_view record, bool restricted, std::vector<RecordField>& fields);
    // Whether a record may be applied: the dialog has its window and a connection to send it on.
    bool CanApplyRecord() const;
    // Shows the settings of a record read through in place of those shown.
    void ApplyRecord(const std::vector<RecordField>& fields);
    void ApplyFields(const std::vector<RecordField>& fields);
    void ApplyField(const SettingDescriptor& row, const FieldValue& value);

    const SettingsDialogDefinition& definition_;
    std::string loadedConfig_;
    int accessLevel_ = kSettingsAccessLevelUser;
    int protocolIndex_ = -1;
    QString protocolText_;
    bool closing_ = false;
    bool switchPending_ = false;
    bool resultSent_ = false;
    int result_ = kChildResultNone;
    CComms* connection_ = nullptr;
    QString model_;
    QString serialNumber_;
    // By control: the unlisted value of a drop list, as the record carries it.
    std::map<std::int32_t, std::string> unlistedValues_;
    // By control: the text of a text field as the dialog last filled it.
    std::map<std::int32_t, QString> filledTexts_;
    QIcon icon_;
};
