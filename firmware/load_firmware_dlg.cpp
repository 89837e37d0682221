// The firmware load window: the two roads of a load, the update-mode handshake that
// chooses between them, the result, the Cancel button and the end.
#include "firmware/load_firmware_dlg.h"

#include "comms/comms.h"
#include "comms/exchange_reasons.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "firmware/firmware_image.h"
#include "platform/timing.h"
#include "ui/application_icon.h"
#include "ui/exit_codes.h"
#include "ui/messages.h"
#include "ui/text.h"

namespace timing = platform::timing;

namespace {

// The progress bar counts 8192-byte blocks: length >> 13.
constexpr int kBlockShift = 13;
constexpr int kPercentRange = 100;

constexpr int kHandshakeAttempts = 3;
constexpr std::uint32_t kAfterSilentSwitchMs = 5000;
constexpr std::uint32_t kAfterFirstAttemptMs = 1000;
constexpr std::uint32_t kAfterCloseMs = 500;
constexpr std::uint32_t kAfterReopenMs = 1000;

// The Cancel button waits this often this long for the send job to stop, then ends it.
constexpr int kStopWaits = 11;
constexpr std::uint32_t kStopWaitMs = 1500;
constexpr std::uint32_t kAfterForcedEndMs = 100;
// Long enough for the abort's job to settle (50 ms), write its frame, pause (50 ms) and hear
// a live printer answer within a transaction's time-out (1500 ms).
constexpr std::uint32_t kAbortLeaveMs = 1600;

bool IsUsbAnswer(const MessageParseState& state, const std::string& reply)
{
    return state.command == REPLY_UPDATE_MODE &&
           QString::fromLatin1(reply.data(), static_cast<qsizetype>(reply.size()))
                   .compare(QLatin1String(kUpdateModeUsb), Qt::CaseInsensitive) == 0;
}

// One request with an empty payload on the calling thread, with the transaction's time-out.
bool Exchange(CComms* comms, std::uint8_t command, MessageParseState* state, std::string* reply)
{
    std::string frame;
    CQVMessageParser::BuildRequest(frame, 0, command, {});
    return CQVMessageParser::Transact(comms, frame, state, reply);
}

} // namespace

const ui::DialogTemplate& LoadFirmwareDialogTemplate()
{
    using ui::ControlKind;
    namespace style = ui::style;
    static constexpr ui::ControlTemplate kControls[] = {
        {ControlKind::GroupBox, ui::IDC_STATIC, "", {7, 7, 337, 40}, 0},
        {ControlKind::StaticText, IDC_FIRMWARE_STATUS, "", {11, 15, 327, 12}, style::kCenter},
        {ControlKind::ProgressBar, IDC_FIRMWARE_PROGRESS, "", {11, 29, 328, 12}, style::kBorder},
        {ControlKind::PushButton, IDC_FIRMWARE_CANCEL, kFirmwareCancelCaption, {277, 50, 67, 14}, style::kTabStop},
    };
    static const ui::DialogTemplate kTemplate{
        kFirmwareDialogTitle,
        351,
        71,
        ui::dialog_style::kCentered | ui::dialog_style::kMinimizeBox | ui::dialog_style::kVisible,
        {},
        kControls,
    };
    return kTemplate;
}

bool IsUsbUpdateCandidate(std::uint32_t firmwareVersion, const QString& fileName)
{
    return firmwareVersion >= MIN_FIRMWARE_VERSION_FOR_USB && !fileName.isEmpty() &&
           fileName.startsWith(QLatin1String(kFirmwareFileNamePrefix), Qt::CaseInsensitive) &&
           fileName.endsWith(QLatin1String(kFirmwareFileSuffix), Qt::CaseInsensitive);
}

CQVAirLoadFirmwareDlg::CQVAirLoadFirmwareDlg(ui::Dialog* parent, SilentModeQuery silentMode)
    : ui::Dialog(LoadFirmwareDialogTemplate(), parent),
      icon_(ui::ApplicationIcon()),
      silentMode_(std::move(silentMode))
{
    MapCommand(IDC_FIRMWARE_CANCEL, &CQVAirLoadFirmwareDlg::OnBnClickedCancel);
    MapMessage(WM_SEND_DONE, &CQVAirLoadFirmwareDlg::OnSendDone);
    MapMessage(WM_FLASH_UPDATE_DONE, &CQVAirLoadFirmwareDlg::OnFlashUpdateDone);
    MapMessage(WM_UPDATING_FLASH, &CQVAirLoadFirmwareDlg::OnUpdatingFlash);
    MapMessage(WM_LOAD_PROGRESS, &CQVAirLoadFirmwareDlg::OnLoadProgress);
    MapMessage(WM_STATUS_TEXT, &CQVAirLoadFirmwareDlg::OnStatusText);
}

CQVAirLoadFirmwareDlg::~CQVAirLoadFirmwareDlg()
{
    if (!finished_)
        OnBnClickedCancel();
    finished_ = true;
    // The jobs end before the members they use go (the flash engine, then the parser).
    ReleaseComms();
}

bool CQVAirLoadFirmwareDlg::OnInitDialog()
{
    ui::Dialog::OnInitDialog();
    if (!icon_.isNull())
        SetIcon(icon_);
    ownHandle_ = GetSafeHwnd();
    cancelButton_ = GetButton(IDC_FIRMWARE_CANCEL);
    statusText_ = GetDlgItem(IDC_FIRMWARE_STATUS);
    progressBar_ = GetProgressCtrl(IDC_FIRMWARE_PROGRESS);
    // The parent hands the image over after the window exists.
    imageLength_ = 0;
    image_ = nullptr;
    firmwareVersion_ = 0;
    return true;
}

bool CQVAirLoadFirmwareDlg::SetFirmwareData(CComms* comms, const QString& fileName, std::uint32_t length,
                                            const std::uint8_t* image, std::uint32_t firmwareVersion)
{
    comms_ = comms;
    if (comms == nullptr || !HasWindow())
        return false;
    fileName_ = fileName;
    imageLength_ = length;
    image_ = image;
    firmwareVersion_ = firmwareVersion;
    return length >= FIRMWARE_IMAGE_MIN_LENGTH && image != nullptr && firmwareVersion >= MIN_FIRMWARE_VERSION_FOR_LOAD;
}

void CQVAirLoadFirmwareDlg::SetStatusText(const QString& text)
{
    if (statusText_.IsWindow() && HasWindow())
        statusText_.SetWindowText(text);
}

void CQVAirLoadFirmwareDlg::SetProgressRange(int upper)
{
    progressUpper_ = upper;
    progressBar_.SetRange32(0, upper);
    progressBar_.SetPos(0);
}

// ---------------------------------------------------------------- starting the load

bool CQVAirLoadFirmwareDlg::LoadFirmware()
{
    if (!progressBar_.IsWindow())
        return false;
    SetProgressRange(kPercentRange);
    if (imageLength_ <= CQVMessageParser::kFirmwareBlockSize || image_ == nullptr)
        return false;
    SetProgressRange(static_cast<int>(imageLength_ >> kBlockShift));

    if (IsUsbUpdateCandidate(firmwareVersion_, fileName_) && PrinterSwitchedToUpdateMode())
        return StartUsbRoad();
    return StartSerialRoad();
}

bool CQVAirLoadFirmwareDlg::PrinterSwitchedToUpdateMode()
{
    for (int attempt = 0; attempt < kHandshakeAttempts; ++attempt) {
        if (AttemptSwitchToUpdateMode())
            return true;
        if (attempt == 0)
            timing::SleepMs(kAfterFirstAttemptMs);
        else if (attempt == 1)
            ReopenAtUpdateModeBaudRate();
    }
    return false;
}

bool CQVAirLoadFirmwareDlg::AnswersUpdateModeUsb()
{
    MessageParseState state;
    std::string reply;
    return Exchange(comms_, CMD_QUERY_UPDATE_MODE, &state, &reply) && IsUsbAnswer(state, reply);
}

bool CQVAirLoadFirmwareDlg::AttemptSwitchToUpdateMode()
{
    if (!AnswersUpdateModeUsb())
        return false;
    MessageParseState state;
    std::string reply;
    // Only the reply's command counts: a printer that switches may garble its answer.
    Exchange(comms_, CMD_SWITCH_UPDATE_MODE, &state, &reply);
    switch (state.command) {
    case 0:
        // Silence is the switch itself, unless the printer still answers on its serial line.
        timing::SleepMs(kAfterSilentSwitchMs);
        return !AnswersUpdateModeUsb();
    case REPLY_NO_SWITCH:
        return false;
    default:
        return true;
    }
}

void CQVAirLoadFirmwareDlg::ReopenAtUpdateModeBaudRate()
{
    if (comms_ == nullptr)
        return;
    comms_->Close();
    timing::SleepMs(kAfterCloseMs);
    // Reopened without raising DTR or RTS: a closed channel keeps both lines off.
    CCommsSerialChannel& channel = comms_->SerialChannel();
    if (!channel.IsOpen() && !channel.PortName().empty())
        channel.Open(channel.PortName(), kUpdateModeReopenBaudRate, channel.DataBits(), channel.Parity(),
                     channel.StopBits());
    timing::SleepMs(kAfterReopenMs);
}

bool CQVAirLoadFirmwareDlg::StartSerialRoad()
{
    if (!HasWindow() || comms_ == nullptr || parser_.IsRunning())
        return false;
    parser_.ClearStopRequest();
    if (!parser_.StartDataSendThread(comms_, image_, imageLength_, CQVMessageParser::kFirmwareBlockSize,
                                     GetSafeHwnd()))
        return false;
    loadStarted_ = true;
    SetStatusText(ui::Text(kStatusLoadingFirmware));
    cancelButton_.SetWindowText(ui::Text(kFirmwareCancelCaption));
    return true;
}

bool CQVAirLoadFirmwareDlg::StartUsbRoad()
{
    SetStatusText(ui::Text(kStatusSwitchingToUpdateMode));
    cancelButton_.SetWindowText(ui::Text(kFirmwareCancelCaption));
    SetProgressRange(static_cast<int>(imageLength_ >> kBlockShift));
    loadStarted_ = flashEngine_.StartFlashUpdate(comms_, USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL,
                                                 USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL,
                                                 CQVMessageParser::kFirmwareBlockSize, image_, imageLength_,
                                                 GetSafeHwnd());
    return loadStarted_;
}

// ---------------------------------------------------------------- progress and result

ui::LResult CQVAirLoadFirmwareDlg::OnLoadProgress(ui::WParam, ui::LParam blockIndex)
{
    if (blockIndex >= 0)
        progressBar_.SetPos(static_cast<int>(blockIndex));
    return 0;
}

ui::LResult CQVAirLoadFirmwareDlg::OnUpdatingFlash(ui::WParam, ui::LParam sender)
{
    // The senders name themselves in lParam rather than a position: the bar shows full.
    if (sender >= 0)
        progressBar_.SetPos(progressUpper_);
    SetStatusText(ui::Text(kStatusUpdatingFlash));
    return 0;
}

ui::LResult CQVAirLoadFirmwareDlg::OnStatusText(ui::WParam, ui::LParam text)
{
    if (text != 0) {
        const std::string& bytes = platform::MessageText(text);
        SetStatusText(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    return 0;
}

// A dialog that has reported its end takes no result any more: the abort's own job
// reports too, and it must not turn a cancelled load into a loaded or failed one.
ui::LResult CQVAirLoadFirmwareDlg::OnSendDone(ui::WParam, ui::LParam parser)
{
    if (parser == 0 || finished_)
        return 0;
    const auto* sender = reinterpret_cast<const CQVMessageParser*>(parser);
    bool ok = false;
    sender->GetResult(&ok, nullptr, nullptr);
    // The last exchange of a failed job tells why: no reply taken whole, or a refusal.
    ShowResult(ok, ok ? QString() : ui::Text(ExchangeFailureReason(sender->LastReplyCode())));
    return 0;
}

ui::LResult CQVAirLoadFirmwareDlg::OnFlashUpdateDone(ui::WParam ok, ui::LParam engine)
{
    if (engine == 0 || finished_)
        return 0;
    ShowResult(ok != 0);
    return 0;
}

void CQVAirLoadFirmwareDlg::ShowResult(bool loaded, const QString& why)
{
    if (loaded) {
        result_ = kChildResultDone;
        SetStatusText(ui::Text(kStatusUploadSuccessful));
        // Full even when halved blocks counted past the range.
        progressUpper_ = kPercentRange;
        progressBar_.SetRange32(0, kPercentRange);
        progressBar_.SetPos(kPercentRange);
    } else {
        result_ = kChildResultFailed;
        SetStatusText(ui::Text(kStatusUploadFailed));
    }
    if (SilentMode() && loaded) {
        ui::PostQuitMessage(EXIT_CODE_SUCCESS);
    } else if (SilentMode()) {
        const QString failed = ui::Text(kStatusUploadFailed);
        ui::PostQuitMessage(EXIT_CODE_OPERATION_FAILED,
                            why.isEmpty() ? failed : ui::Text(kStatusWithReason).arg(failed, why));
    }
    cancelButton_.SetWindowText(ui::Text(kFirmwareCloseCaption));
}

// ---------------------------------------------------------------- the end

void CQVAirLoadFirmwareDlg::OnBnClickedCancel()
{
    if (finished_)
        return;
    if (result_ == kChildResultNone)
        StopLoadAndAbort();
    if (cancelButton_.IsWindow() && HasWindow()) {
        finished_ = true;
        OnCancel();
    }
}

void CQVAirLoadFirmwareDlg::StopLoadAndAbort()
{
    // A block in flight is not cut short: the job stops before its next one.
    parser_.RequestStop();
    for (int wait = 0; wait < kStopWaits && parser_.IsRunning(); ++wait)
        parser_.WaitForSendThread(kStopWaitMs);
    if (parser_.IsRunning()) {
        parser_.AbortSendThread();
        timing::SleepMs(kAfterForcedEndMs);
    }
    // The abort goes out after a clean stop and after a forced end alike; its outcome is
    // ignored. A dialog that never started a load has sent nothing to abort.
    if (loadStarted_)
        abortSent_ = parser_.StartSendThread(comms_, CMD_ABORT, {}, ownHandle_);
}

void CQVAirLoadFirmwareDlg::OnCancel()
{
    finished_ = true;
    // A child reports its end once, also when its cancel command comes again meanwhile.
    if (!reported_ && ui::IsWindow(GetParentHandle())) {
        reported_ = true;
        ui::SendMessage(GetParentHandle(), WM_FIRMWARE_LOAD_DONE, static_cast<ui::WParam>(result_), 0);
    }
    // The parent may have destroyed this window while it handled the notification.
    if (HasWindow())
        ui::Dialog::OnCancel();
}

void CQVAirLoadFirmwareDlg::ReleaseComms()
{
    if (abortSent_) {
        parser_.WaitForSendThread(kAbortLeaveMs);
        abortSent_ = false;
    }
    parser_.AbortSendThread();
    flashEngine_.Stop();
    comms_ = nullptr;
}
