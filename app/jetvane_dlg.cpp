// The main dialog's window: construction, initialisation, button states, the universal
// reset and the teardown.
#include "app/jetvane_dlg.h"

#include "app/access_level.h"
#include "app/end_of_run.h"
#include "app/main_dialog_template.h"
#include "app/operation_states.h"
#include "app/option_menus.h"
#include "app/port_text.h"
#include "app/profile_values.h"
#include "app/resource.h"
#include "app/status_texts.h"
#include "comms/device_types.h"
#include "comms/exchange_reasons.h"
#include "comms/private_messages.h"
#include "platform/timing.h"
#include "ui/application_icon.h"
#include "ui/display.h"
#include "ui/exit_codes.h"
#include "ui/profile.h"
#include "ui/program_name.h"
#include "ui/prompts.h"

namespace {

constexpr std::uint32_t kPauseAfterCloseMs = 100;

// The buttons that start operations; the Exit button and the port combo stay usable.
constexpr int kOperationButtons[] = {IDC_EDIT_DEFAULT_CONFIG, IDC_PRINT_TEST_DOCUMENT, IDC_ROM_OPTIONS,
                                     IDC_EDIT_EEPROM_CONFIG, IDC_SET_CLOCK,           IDC_LOAD_FIRMWARE,
                                     IDC_SEND_CONFIG_FILE};

QString ProfileValue(const char* name)
{
    return ui::GetProfileString(kProfileSection, name);
}

} // namespace

CJetvaneDlg::CJetvaneDlg(const CJetvaneApp& app)
    : ui::Dialog(MainDialogTemplate()),
      testDocumentPayload_(kTestDocumentPayloadNone),
      testDocumentFilter_(DEVICE_TYPE_ANY),
      operationState_(STATE_INIT),
      deviceType_(DEVICE_TYPE_ANY),
      connectedDeviceType_(DEVICE_TYPE_BTP),
      firmwareFileName_(ProfileValue(kProfileLastLoadedFirmwareFileName)),
      lastFirmwareFolder_(ProfileValue(kProfileLastLoadedFirmwareFilePath)),
      configFileType_(DEVICE_TYPE_ANY),
      lastConfigFolder_(ProfileValue(kProfileLastLoadedMainConfigFilePath)),
      configFileName_(ProfileValue(kProfileLastLoadedMainConfigFileName)),
      silentMode_(app.SilentMode()),
      commandLineVerb_(app.CommandLineVerb()),
      commandLineFilePath_(app.CommandLineFilePath()),
      commandLineRefusal_(app.RefusedCommandLine()),
      icon_(ui::ApplicationIcon())
{
    accessLevel_ = CurrentAccessLevel();

    MapCommand(IDC_EXIT, &CJetvaneDlg::OnBnClickedExit);
    MapCommand(IDC_EDIT_DEFAULT_CONFIG, &CJetvaneDlg::OnBnClickedEditDefaultConfig);
    MapCommand(IDC_PRINT_TEST_DOCUMENT, &CJetvaneDlg::OnBnClickedPrintTestDocument);
    MapCommand(IDC_ROM_OPTIONS, &CJetvaneDlg::OnBnClickedROMOptions);
    MapCommand(IDC_SET_CLOCK, &CJetvaneDlg::OnBnClickedSetClock);
    MapCommand(IDC_EDIT_EEPROM_CONFIG, &CJetvaneDlg::OnBnClickedEditEEPROMConfig);
    MapCommand(IDC_LOAD_FIRMWARE, &CJetvaneDlg::OnBnClickedLoadFirmware);
    MapCommand(IDC_SEND_CONFIG_FILE, &CJetvaneDlg::OnBnClickedSendConfigFile);
    MapMessage(WM_DEVICE_IDENTITY, &CJetvaneDlg::OnDeviceIdentity);
    MapMessage(WM_SEARCH_STATUS, &CJetvaneDlg::OnSearchStatus);
    MapMessage(WM_DEVICE_FOUND, &CJetvaneDlg::OnDeviceFound);
    MapMessage(WM_DEVICE_NOT_FOUND, &CJetvaneDlg::OnDeviceNotFound);
    MapMessage(WM_SEND_DONE, &CJetvaneDlg::OnSendDone);
    MapMessage(WM_CONFIG_UPDATED, &CJetvaneDlg::OnConfigUpdated);
    MapMessage(WM_BPP_CONFIG_UPDATED, &CJetvaneDlg::OnConfigUpdated);
    MapMessage(WM_CHANGE_DEVICE_TYPE, &CJetvaneDlg::OnChangeDeviceType);
    MapMessage(WM_FIRMWARE_LOAD_DONE, &CJetvaneDlg::OnFirmwareLoadDone);
    MapMessage(WM_DESTROY_PARKED_FIRMWARE_DIALOG, &CJetvaneDlg::OnDestroyParkedFirmwareDialog);
}

CJetvaneDlg::~CJetvaneDlg()
{
    silentMode_ = false;
    if (operationState_ != STATE_INIT && operationState_ != STATE_IDLE && operationState_ != STATE_EXITING) {
        OnBnClickedExit(); // returns at once without a window
        operationState_ = STATE_EXITING;
    }
    CloseSettingsDialog();
    CloseFirmwareDialog();
    ReleaseConnection();
    ReleaseSearch();
    FreeFileImages();
}

bool CJetvaneDlg::OnInitDialog()
{
    ui::Dialog::OnInitDialog();
    if (!icon_.isNull())
        SetIcon(icon_);

    const ui::ComboBox ports = GetComboBox(IDC_PORT);
    for (const QString& item : PortComboItems())
        ports.AddString(item);
    ports.SetCurSel(0);
    ShowRememberedPort();

    const QString programName = QString::fromLatin1(ui::kProgramName);
    childWindowBaseTitle_ = QString::fromLatin1(kChildWindowBaseTitleFormat).arg(programName);
    windowTitle_ = QString::fromLatin1(kMainWindowTitleFormat).arg(programName);
    SetWindowText(windowTitle_);

    operationState_ = STATE_IDLE;
    UpdateButtons();

    // The start-up ends a refused run before the dialog; a dialog made without it refuses the same.
    const bool hasPath = !commandLineFilePath_.isEmpty();
    if (commandLineRefusal_) {
        PostQuit(commandLineRefusal_->exitCode, commandLineRefusal_->reason);
    } else if (hasPath && commandLineVerb_.compare(QLatin1String(kCommandWordLoadFirmware), Qt::CaseInsensitive) == 0) {
        OnBnClickedLoadFirmware();
    } else if (hasPath && commandLineVerb_.compare(QLatin1String(kCommandWordSendConfig), Qt::CaseInsensitive) == 0) {
        OnBnClickedSendConfigFile();
    } else {
        silentMode_ = false;
        commandLineVerb_.clear();
        commandLineFilePath_.clear();
        UpdateButtons();
    }
    return true;
}

// A port remembered in the profile is the port that is searched: the combo shows it as the
// chosen item when it is one, else as typed text (which the search reads the same way).
void CJetvaneDlg::ShowRememberedPort()
{
    const QString remembered = ProfileValue(kProfilePortConnect);
    if (remembered.isEmpty())
        return;
    const ui::ComboBox ports = GetComboBox(IDC_PORT);
    const int index = ports.FindStringExact(remembered);
    if (index >= 0) {
        ports.SetCurSel(index);
    } else {
        ports.SetCurSel(-1);
        ports.SetWindowText(remembered);
    }
}

void CJetvaneDlg::UpdateButtons()
{
    if (!GetDlgItem(IDC_EXIT).IsWindow() || !HasWindow())
        return;
    EnableButtons(!AreButtonsDisabledInState(operationState_));
}

void CJetvaneDlg::EnableButtons(bool enable)
{
    for (int id : kOperationButtons)
        EnableDlgItem(id, enable);
}

void CJetvaneDlg::SetStatusText(const QString& text)
{
    if (!HasWindow())
        return;
    SetDlgItemText(IDC_STATUS, text);
    statusText_ = text;
}

void CJetvaneDlg::ShowExiting()
{
    if (HasWindow())
        SetDlgItemText(IDC_STATUS, QString::fromUtf8(kStatusExiting));
}

void CJetvaneDlg::SetExitCaption(const char* caption)
{
    SetDlgItemText(IDC_EXIT, QString::fromUtf8(caption));
}

void CJetvaneDlg::PostQuit(int exitCode, const QString& why)
{
    ui::PostQuitMessage(exitCode, exitCode == EXIT_CODE_SUCCESS || !why.isEmpty() ? why : statusText_);
}

void CJetvaneDlg::FallBackToInteractiveRun(const QString& reason)
{
    if (silentMode_) {
        const QString status =
            reason.isEmpty() ? statusText_ : QString::fromUtf8(kStatusWithReason).arg(OneLine(statusText_), reason);
        if (ui::RunsWithoutDisplay() && HasWindow()) {
            PostQuit(EXIT_CODE_OPERATION_FAILED, status);
            return;
        }
        // The technician may go on working in the window; its statuses say nothing of this file.
        fallBackStatus_ = status;
    }
    OnBnClickedExit();
}

QString CJetvaneDlg::EndedByHandReason() const
{
    const QString& status = fallBackStatus_.isEmpty() ? statusText_ : fallBackStatus_;
    return QString::fromUtf8(kReasonEndedByHand).arg(OneLine(status));
}

void CJetvaneDlg::OnBnClickedExit()
{
    if (!GetDlgItem(IDC_EXIT).IsWindow() || !HasWindow())
        return;
    silentMode_ = false;
    commandLineVerb_.clear();
    commandLineFilePath_.clear();

    if (IsSearchState(operationState_)) {
        EnableDlgItem(IDC_EXIT, false);
        ReleaseSearch();
    } else if (operationState_ == STATE_EXITING) {
        ShowExiting();
        UpdateButtons();
        return;
    } else if (!ResetReturnsToIdle(operationState_)) {
        EndDialog(ui::IDCANCEL);
        ShowExiting();
        operationState_ = STATE_EXITING;
        UpdateButtons();
        return;
    }

    const int stateBefore = operationState_;
    EnableDlgItem(IDC_EXIT, false);
    SetExitCaption(kExitCaption);
    const bool childWasOpen = stateBefore == STATE_SETTINGS_DIALOG || stateBefore == STATE_FIRMWARE_DIALOG;
    if (childWasOpen) {
        // The main window comes back where the child stood.
        if (settingsDialog_ && settingsDialog_->HasWindow())
            MoveWindowTo(settingsDialog_->GetWindowPosition());
        if (firmwareDialog_ && firmwareDialog_->HasWindow())
            MoveWindowTo(firmwareDialog_->GetWindowPosition());
        ShowWindow(true);
    }

    deviceIdentity_.clear();
    printerFirmwareVersion_ = 0;
    deviceType_ = DEVICE_TYPE_ANY;
    CloseSettingsDialog();
    CloseFirmwareDialog();
    ReleaseConnection();

    EnableDlgItem(IDC_EXIT, true);
    operationState_ = STATE_IDLE;
    UpdateButtons();
    if (childWasOpen)
        PostMessage(ui::WM_NEXTDLGCTL, IDC_EDIT_DEFAULT_CONFIG, 1);
    UpdateButtons();
}

void CJetvaneDlg::ReleaseConnection(bool reportLostCommand)
{
    if (!connection_)
        return;
    ReleaseFirmwareDialogConnection();
    // The send thread must not outlive the transport it reads from.
    if (messageParser_.IsRunning() && messageParser_.AbortSendThread() && reportLostCommand)
        PostMessage(WM_SEND_DONE, 0, reinterpret_cast<ui::LParam>(&messageParser_));
    if (connection_->IsOpen()) {
        connection_->Close();
        platform::timing::SleepMs(kPauseAfterCloseMs);
    }
    connection_.reset();
}

void CJetvaneDlg::ReleaseSearch()
{
    standingOwnSearchEnd_ = 0;
    if (!search_)
        return;
    search_->Stop();
    search_.reset();
}

void CJetvaneDlg::FreeFileImages()
{
    firmwareImage_.Free();
    configFileImage_.Free();
}
