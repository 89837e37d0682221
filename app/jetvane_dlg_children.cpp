// The main dialog's child dialogs: opening the settings dialogs, their end and the type
// switch, the firmware dialog's end, and closing the children.
#include "app/jetvane_dlg.h"

#include "app/operation_states.h"
#include "app/status_texts.h"
#include "comms/device_types.h"
#include "comms/private_messages.h"
#include "platform/timing.h"
#include "settings/settings_dialogs.h"
#include "ui/exit_codes.h"
#include "ui/text.h"

namespace {

// Each step of closing a child gives its window time to go.
constexpr std::uint32_t kChildClosePauseMs = 50;

// Counts the main dialog as inside a child's notification for the life of the object.
class NotificationScope {
public:
    explicit NotificationScope(int& depth) : depth_(depth) { ++depth_; }
    ~NotificationScope() { --depth_; }
    NotificationScope(const NotificationScope&) = delete;
    NotificationScope& operator=(const NotificationScope&) = delete;

private:
    int& depth_;
};

constexpr char kBppCaptionPrefix[] = "BPP ";
constexpr char kBtpCaptionPrefix[] = "BTP ";
constexpr char kEepromCaption[] = "QV Airport Printer EEPROM Settings";
constexpr char kIdentityCaptionFormat[] = "%1 - %2";

QString CaptionPrefix(int deviceType)
{
    return ui::Text(deviceType == DEVICE_TYPE_BPP ? kBppCaptionPrefix : kBtpCaptionPrefix);
}

} // namespace

// ---- settings dialogs

bool CJetvaneDlg::ShowDeviceSettingsDialog(int deviceType, bool restricted)
{
    QString caption = childWindowBaseTitle_;
    QPoint position = GetWindowPosition();
    if (settingsDialog_ && settingsDialog_->HasWindow()) {
        position = settingsDialog_->GetWindowPosition();
        settingsDialog_->ShowWindow(false);
    }
    CloseSettingsDialog();

    std::unique_ptr<CJetvaneSettingsDeviceInterface> dialog;
    if (deviceType == DEVICE_TYPE_BPP)
        dialog = std::make_unique<CJetvaneSettingsBPPDlg>(this);
    else if (deviceType == DEVICE_TYPE_BTP)
        dialog = std::make_unique<CJetvaneSettingsBTPDlg>(this);
    else
        return false;
    caption.prepend(CaptionPrefix(deviceType));
    return OpenSettingsDialog(std::move(dialog), caption, lastSettingsReply_, restricted, position);
}

bool CJetvaneDlg::ShowEepromSettingsDialog(const std::string& record)
{
    if (settingsDialog_ && settingsDialog_->HasWindow())
        settingsDialog_->ShowWindow(false);
    CloseSettingsDialog();
    const QString caption = CaptionPrefix(deviceType_) + ui::Text(kEepromCaption);
    return OpenSettingsDialog(std::make_unique<CJetvaneEEPROMSettingsDlg>(this), caption, record, false,
                              GetWindowPosition());
}

bool CJetvaneDlg::OpenSettingsDialog(std::unique_ptr<CJetvaneSettingsDeviceInterface> dialog, const QString& caption,
                                     const std::string& record, bool restricted, QPoint position)
{
    settingsDialog_ = std::move(dialog);
    CJetvaneSettingsDeviceInterface& settings = *settingsDialog_;
    if (!settings.SetAccessLevel(accessLevel_)) {
        CloseSettingsDialog();
        SetStatusText(ui::Text(kStatusConfigureLevelFailed));
        return false;
    }
    if (!settings.Create(this)) {
        CloseSettingsDialog();
        SetStatusText(ui::Text(kStatusShowDeviceSettingsFailed));
        return false;
    }
    if (!settings.SetDeviceSettings(record, connection_.get(), restricted)) {
        CloseSettingsDialog();
        SetStatusText(ui::Text(kStatusParseDeviceSettingsFailed));
        return false;
    }
    QString title = caption;
    if (!deviceIdentity_.empty())
        title = ui::Text(kIdentityCaptionFormat).arg(caption, QString::fromLatin1(deviceIdentity_.c_str()));
    settings.SetTitle(title);
    settings.MoveWindowTo(position);
    settings.ShowWindow(true);
    settings.BringWindowToTop();
    return true;
}

ui::LResult CJetvaneDlg::OnConfigUpdated(ui::WParam result, ui::LParam)
{
    if (operationState_ == STATE_SETTINGS_DIALOG)
        OnBnClickedExit();
    SetStatusText(ui::Text(ConfigUpdatedText(static_cast<int>(result))));
    return 0;
}

ui::LResult CJetvaneDlg::OnChangeDeviceType(ui::WParam deviceType, ui::LParam)
{
    keepOldSettings_ = true;
    const int requested = static_cast<int>(deviceType);
    if ((requested == DEVICE_TYPE_BPP || requested == DEVICE_TYPE_BTP) &&
        ShowDeviceSettingsDialog(requested, requested != connectedDeviceType_)) {
        keepOldSettings_ = false;
        return 0;
    }
    keepOldSettings_ = false;
    if (operationState_ == STATE_SETTINGS_DIALOG)
        OnBnClickedExit();
    SetStatusText(ui::Text(kStatusConfigUpdateFailed));
    return 0;
}

void CJetvaneDlg::ParkSettingsDialog(std::unique_ptr<CJetvaneSettingsDeviceInterface> dialog)
{
    dialog->ShowWindow(false);
    parkedSettingsDialogs_.push_back(std::move(dialog));
}

void CJetvaneDlg::CloseSettingsDialog()
{
    // Parked dialogs go first, except those still inside a notification of theirs: a close
    // may run nested in any of them (a reset inside a failed type switch, say).
    for (auto parked = parkedSettingsDialogs_.begin(); parked != parkedSettingsDialogs_.end();) {
        if ((*parked)->IsNotifying()) {
            ++parked;
            continue;
        }
        if ((*parked)->DestroyWindow())
            platform::timing::SleepMs(kChildClosePauseMs);
        parked = parkedSettingsDialogs_.erase(parked);
    }

    if (!settingsDialog_)
        return;
    // Taken out first: closing it may bring its notification, whose handler closes again.
    std::unique_ptr<CJetvaneSettingsDeviceInterface> dialog = std::move(settingsDialog_);
    if (dialog->HasWindow()) {
        dialog->CloseSettings();
        platform::timing::SleepMs(kChildClosePauseMs);
        if (dialog->IsNotifying()) {
            ParkSettingsDialog(std::move(dialog));
            return;
        }
        if (dialog->HasWindow()) {
            dialog->SendMessage(ui::WM_CLOSE, 0, 0);
            platform::timing::SleepMs(kChildClosePauseMs);
        }
        if (dialog->HasWindow()) {
            if (keepOldSettings_) {
                ParkSettingsDialog(std::move(dialog));
                return;
            }
            dialog->DestroyWindow();
            platform::timing::SleepMs(kChildClosePauseMs);
        }
    }
}

// ---- firmware dialog

ui::LResult CJetvaneDlg::OnFirmwareLoadDone(ui::WParam wParam, ui::LParam)
{
    // A dialog that we are closing reports that close back to us: it is no end of the load,
    // and must not cover the text of the failure that closes it ("FAILED to parse device
    // settings", say) with "Firmware Load Cancelled".
    if (closingFirmwareDialog_ != nullptr)
        return 0;
    // The dialog runs on once this returns: whatever closes it here only parks it.
    const NotificationScope inside(firmwareNotificationDepth_);
    const int result = static_cast<int>(wParam);
    if (silentMode_) {
        firmwareImage_.Free();
        if (result == kChildResultDone || result == kChildResultFailed) {
            SetStatusText(QString::fromUtf8(FirmwareLoadDoneText(result)));
            PostQuit(result == kChildResultDone ? EXIT_CODE_SUCCESS : EXIT_CODE_OPERATION_FAILED);
            return 0;
        }
        // Cancelled: no one is left to finish the run unattended.
        SetStatusText(QString::fromUtf8(FirmwareLoadDoneText(result)));
        FallBackToInteractiveRun();
        if (silentMode_)
            return 0;
    }
    if (operationState_ == STATE_FIRMWARE_DIALOG)
        OnBnClickedExit();
    SetStatusText(QString::fromUtf8(FirmwareLoadDoneText(result)));
    return 0;
}

void CJetvaneDlg::CloseFirmwareDialog()
{
    DestroyParkedFirmwareDialog();
    if (!firmwareDialog_)
        return;
    if (firmwareNotificationDepth_ > 0) {
        // The dialog is inside its notification to us: hidden now, destroyed once it returned.
        firmwareDialog_->ShowWindow(false);
        parkedFirmwareDialog_ = std::move(firmwareDialog_);
        PostMessage(WM_DESTROY_PARKED_FIRMWARE_DIALOG, 0, 0);
    } else {
        // Taken out first: the close may notify us, and that notification finds nothing left to close.
        std::unique_ptr<CQVAirLoadFirmwareDlg> closing = std::move(firmwareDialog_);
        closingFirmwareDialog_ = closing.get();
        closing->SendMessage(ui::WM_CLOSE, 0, 0);
        platform::timing::SleepMs(kChildClosePauseMs);
        if (closing->HasWindow())
            closing->DestroyWindow();
        closing.reset();
        closingFirmwareDialog_ = nullptr;
    }
    firmwareImage_.Free();
}

void CJetvaneDlg::DestroyParkedFirmwareDialog()
{
    if (firmwareNotificationDepth_ > 0 || !parkedFirmwareDialog_)
        return;
    if (parkedFirmwareDialog_->HasWindow())
        parkedFirmwareDialog_->DestroyWindow();
    parkedFirmwareDialog_.reset();
}

ui::LResult CJetvaneDlg::OnDestroyParkedFirmwareDialog(ui::WParam, ui::LParam)
{
    DestroyParkedFirmwareDialog();
    return 0;
}

void CJetvaneDlg::ReleaseFirmwareDialogConnection()
{
    for (CQVAirLoadFirmwareDlg* dialog : {firmwareDialog_.get(), parkedFirmwareDialog_.get(), closingFirmwareDialog_}) {
        if (dialog != nullptr)
            dialog->ReleaseComms();
    }
}
