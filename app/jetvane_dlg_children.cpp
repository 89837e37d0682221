// The main dialog's child dialogs: opening the settings dialogs, their end and the type
// switch, the firmware dialog's end, and closing the children.
#include "app/jetvane_dlg.h"

#include "app/exit_codes.h"
#include "app/operation_states.h"
#include "app/status_texts.h"
#include "comms/private_messages.h"
#include "platform/timing.h"

namespace {

constexpr std::uint32_t kPauseAfterCloseRequestMs = 50;

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

} // namespace

// ---- settings dialogs

bool CJetvaneDlg::ShowDeviceSettingsDialog(int /*deviceType*/, bool /*restricted*/)
{
    CloseSettingsDialog();
    return false;
}

void CJetvaneDlg::CloseSettingsDialog() {}

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
        if (result == kChildResultUpdated || result == kChildResultFailed) {
            SetStatusText(QString::fromUtf8(FirmwareLoadDoneText(result)));
            PostQuit(result == kChildResultUpdated ? EXIT_CODE_SUCCESS : EXIT_CODE_OPERATION_FAILED);
            return 0;
        }
        ContinueCancelledSilentLoad();
    }
    if (operationState_ == STATE_FIRMWARE_DIALOG)
        OnBnClickedExit();
    SetStatusText(QString::fromUtf8(FirmwareLoadDoneText(result)));
    return 0;
}

// The one place that decides how a silent run goes on after its firmware load was
// cancelled: as an interactive run, with the window open and no exit code.
void CJetvaneDlg::ContinueCancelledSilentLoad()
{
    silentMode_ = false;
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
        platform::timing::SleepMs(kPauseAfterCloseRequestMs);
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
