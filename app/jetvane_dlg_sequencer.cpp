// The main dialog's operation sequencer: the search start, the search messages, the one
// command of each operation and the handling of its result.
#include "app/jetvane_dlg.h"

#include "app/clock_text.h"
#include "app/device_identity.h"
#include "app/end_of_run.h"
#include "app/operation_states.h"
#include "app/option_menus.h"
#include "app/port_text.h"
#include "app/resource.h"
#include "app/status_texts.h"
#include "comms/device_types.h"
#include "comms/exchange_reasons.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "firmware/update_firmware_ptr_mode.h"
#include "platform/serial_device.h"
#include "platform/timing.h"
#include "settings/settings_definitions.h"
#include "ui/exit_codes.h"
#include "ui/text.h"

#include <cerrno>
#include <cstdio>

namespace timing = platform::timing;

namespace {

constexpr std::uint32_t kStartPauseMs = 100;
constexpr std::uint32_t kUpdateModeResetWaitMs = 15000;
constexpr std::uint32_t kUpdateModeSecondResetWaitMs = 1000;
constexpr int kSearchIdleRounds = 10;
constexpr std::uint32_t kSearchIdleRoundMs = 200;
constexpr std::uint32_t kPauseBeforeOpenMs = 100;
constexpr std::uint32_t kPauseAfterLinesMs = 100;

QString Latin1(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

void CJetvaneDlg::OnBnClickedEditDefaultConfig()
{
    StartDeviceSearch(STATE_SEARCH_EDIT_CONFIG);
}

void CJetvaneDlg::OnBnClickedSetClock()
{
    StartDeviceSearch(STATE_SEARCH_SET_CLOCK);
}

void CJetvaneDlg::StartDeviceSearch(int searchState)
{
    ReleaseSearch();
    ReleaseConnection(true);
    if (operationState_ != STATE_IDLE) {
        timing::SleepMs(kStartPauseMs);
        return;
    }

    const ui::ComboBox ports = GetComboBox(IDC_PORT);
    const std::optional<std::uint8_t> port = PortNumberFromCombo(ports.GetCurSel(), ports.GetWindowText());

    // A printer left in USB update mode would never answer on its serial port. A port beyond
    // the search has no printer: its end waits for nothing.
    if (port && CUpdateFirmwarePtrMode().ResetDevicesInUpdateMode()) {
        SetStatusText(ui::Text(kStatusUpdateModeResetting));
        timing::SleepMs(kUpdateModeResetWaitMs);
        if (CUpdateFirmwarePtrMode().ResetDevicesInUpdateMode()) {
            SetStatusText(ui::Text(kStatusUpdateModeResettingAgain));
            timing::SleepMs(kUpdateModeSecondResetWaitMs);
        }
    }

    SetStatusText(ui::Text(kStatusStartingSearch));
    search_ = std::make_unique<CQVAirDeviceSearch>();

    if (port && !search_->Start(GetSafeHwnd(), *port, *port)) {
        SetStatusText(ui::Text(kStatusUnableToStartSearch));
    } else {
        operationState_ = searchState;
        SetStatusText(ui::Text(kStatusSearching));
        SetExitCaption(kCancelCaption);
        UpdateButtons();
        // No search reaches a port beyond its 8-bit numbers: the operation ends as a search
        // that found nothing, on no other port, by the message a search posts.
        if (!port) {
            standingOwnSearchEnd_ = ++ownSearchEndsPosted_;
            if (!PostMessage(WM_DEVICE_NOT_FOUND, standingOwnSearchEnd_, 0))
                OnDeviceNotFound(standingOwnSearchEnd_, 0);
        }
    }
    timing::SleepMs(kStartPauseMs);
}

ui::LResult CJetvaneDlg::OnSearchStatus(ui::WParam, ui::LParam text)
{
    if (text != 0)
        SetStatusText(Latin1(platform::MessageText(text)));
    return 0;
}

ui::LResult CJetvaneDlg::OnDeviceIdentity(ui::WParam, ui::LParam text)
{
    const DeviceIdentity identity = text != 0 ? ParseDeviceIdentity(platform::MessageText(text)) : DeviceIdentity{};
    deviceIdentity_ = identity.text;
    printerFirmwareVersion_ = identity.firmwareVersion;
    deviceType_ = identity.deviceType;
    return 0;
}

ui::LResult CJetvaneDlg::OnDeviceFound(ui::WParam port, ui::LParam lineSettings)
{
    const bool wasSearching = IsSearchState(operationState_);
    // The search thread posts before it has closed down; its port must be free first.
    for (int round = 0; round < kSearchIdleRounds && IsSearchState(operationState_); ++round) {
        timing::SleepMs(kSearchIdleRoundMs);
        if (search_ && search_->State() == CQVAirDeviceSearch::SEARCH_IDLE)
            break;
    }

    const auto* settings = reinterpret_cast<const SerialLineSettings*>(lineSettings);
    const int portNumber = static_cast<int>(port);
    if (settings != nullptr) {
        char text[128];
        std::snprintf(text, sizeof text, kStatusDeviceFoundFormat, portNumber, static_cast<int>(settings->baudRate),
                      settings->dataBits, settings->parity, static_cast<double>(settings->stopBits));
        SetStatusText(ui::Text(text));
    }
    ReleaseConnection(true);

    bool opened = false;
    char portName[16];
    std::snprintf(portName, sizeof portName, kPortNameFormat, portNumber);
    if (GetDlgItem(IDC_EXIT).IsWindow() && HasWindow() && settings != nullptr) {
        timing::SleepMs(kPauseBeforeOpenMs);
        connection_ = std::make_unique<CComms>();
        opened = connection_->Open(portName, static_cast<int>(settings->baudRate), settings->dataBits,
                                   settings->parity, settings->stopBits);
    }
    if (!opened) {
        if (wasSearching) {
            QString reason;
            if (connection_) {
                reason = QString::fromUtf8(kReasonPortNotOpenedAgain)
                             .arg(QString::fromStdString(platform::DescribePortOpenFailure(
                                 portName, connection_->SerialChannel().LastOpenError())));
            }
            FallBackToInteractiveRun(reason);
        }
        return 0;
    }

    CCommsSerialChannel& channel = connection_->SerialChannel();
    if (channel.IsOpen())
        channel.SetDTR(true);
    if (channel.IsOpen())
        channel.SetRTS(true);
    timing::SleepMs(kPauseAfterLinesMs);

    if (!wasSearching)
        return 0;

    bool started = false;
    switch (operationState_) {
    case STATE_SEARCH_TEST_PRINT:
        if (testDocumentFilter_ != DEVICE_TYPE_ANY && testDocumentFilter_ != deviceType_) {
            const int deviceType = deviceType_;
            OnBnClickedExit();
            SetStatusText(ui::Text(UnsupportedFeatureText(deviceType)));
            return 0;
        }
        started = StartCommand(CMD_PRINT_TEST_DOCUMENT, testDocumentPayload_, STATE_WAIT_TEST_PRINT,
                               kStatusPrintTestTagSent);
        break;
    case STATE_SEARCH_ROM_OPTION:
        if (romOptionCommand_ == kEditEepromSettingsCommand)
            started = StartCommand(CMD_GET_EEPROM_SETTINGS, {}, STATE_WAIT_EEPROM_SETTINGS, kStatusCommandSent);
        else
            started = StartCommand(CMD_ROM_OPTION, romOptionCommand_, STATE_WAIT_ROM_OPTION, kStatusCommandSent);
        break;
    case STATE_SEARCH_RFID_OPTION:
        started = StartCommand(CMD_RFID_OPTION, rfidCommand_, STATE_WAIT_RFID_OPTION, kStatusCommandSent);
        break;
    case STATE_SEARCH_EDIT_CONFIG:
        started = StartCommand(CMD_GET_SETTINGS, {}, STATE_WAIT_SETTINGS, kStatusCommandSent);
        break;
    case STATE_SEARCH_SET_CLOCK:
        started = StartCommand(CMD_SET_CLOCK, CurrentClockText(), STATE_WAIT_SET_CLOCK, kStatusCommandSent);
        break;
    case STATE_SEARCH_LOAD_FIRMWARE:
        started = StartCommand(CMD_GET_SETTINGS, {}, STATE_WAIT_FIRMWARE_CHECK, kStatusCommandSent);
        break;
    case STATE_SEARCH_SEND_CONFIG:
        started = StartCommand(CMD_GET_SETTINGS, {}, STATE_WAIT_CONFIG_CHECK, kStatusCheckingDeviceTypeSent);
        break;
    default:
        break;
    }
    if (!started) {
        if (silentMode_)
            PostQuit(EXIT_CODE_COMMAND_ERROR, QString::fromUtf8(kReasonCommandNotHandedOver).arg(portNumber));
        else
            OnBnClickedExit();
    }
    return 0;
}

bool CJetvaneDlg::StartCommand(std::uint8_t command, const std::string& payload, int nextState,
                               const char* statusText)
{
    if (!messageParser_.StartSendThread(connection_.get(), command, payload, GetSafeHwnd()))
        return false;
    operationState_ = nextState;
    SetExitCaption(kCancelCaption);
    SetStatusText(ui::Text(statusText));
    return true;
}

ui::LResult CJetvaneDlg::OnDeviceNotFound(ui::WParam ownEnd, ui::LParam)
{
    // The end posted for a search that never ran counts only while that search stands.
    if (ownEnd != 0) {
        if (ownEnd != standingOwnSearchEnd_)
            return 0;
        standingOwnSearchEnd_ = 0;
    }
    if (silentMode_) {
        SetStatusText(ui::Text(kStatusDeviceNotFound));
        PostQuit(EXIT_CODE_DEVICE_NOT_FOUND,
                 QString::fromUtf8(kStatusWithReason).arg(ui::Text(kStatusDeviceNotFound), DeviceNotFoundReason()));
        return 0;
    }
    if (IsSearchState(operationState_))
        OnBnClickedExit();
    SetStatusText(ui::Text(kStatusDeviceNotFound));
    return 0;
}

ui::LResult CJetvaneDlg::OnSendDone(ui::WParam, ui::LParam parser)
{
    if (parser == 0)
        return 0;
    bool ok = false;
    MessageParseState state;
    std::string reply;
    reinterpret_cast<const CQVMessageParser*>(parser)->GetResult(&ok, &state, &reply);
    OnCommandResult(ok, state, std::move(reply));
    return 0;
}

void CJetvaneDlg::OnCommandResult(bool ok, MessageParseState state, std::string reply)
{
    connectedDeviceType_ = DEVICE_TYPE_BTP;
    const std::uint32_t replyCode = state.command;

    switch (operationState_) {
    case STATE_WAIT_TEST_PRINT:
    case STATE_WAIT_ROM_OPTION:
    case STATE_WAIT_RFID_OPTION:
    case STATE_WAIT_SET_CLOCK: {
        const QString text = ui::Text(AcknowledgementText(operationState_, ok, replyCode));
        SetStatusText(text);
        OnBnClickedExit();
        return;
    }
    default:
        break;
    }

    if (!ok) {
        SetStatusText(ui::Text(kStatusSettingsRetrieveFailed));
        FailureEnding();
        return;
    }
    CloseSettingsDialog();
    CloseFirmwareDialog();
    if (deviceType_ != DEVICE_TYPE_BPP && deviceType_ != DEVICE_TYPE_BTP) {
        SetStatusText(ui::Text(kStatusUnsupportedDevice));
        FailureEnding();
        return;
    }
    connectedDeviceType_ = deviceType_;

    switch (operationState_) {
    case STATE_WAIT_FIRMWARE_CHECK:
        if (printerFirmwareVersion_ < MIN_FIRMWARE_VERSION_FOR_LOAD) {
            SetStatusText(ui::Text(kStatusMinimumFirmwareForLoad));
            FailureEnding();
        } else if (replyCode != REPLY_SETTINGS) {
            SetStatusText(ui::Text(kStatusStartLoadingFirmwareFailed));
            FailureEnding();
        } else {
            StartFirmwareLoad();
        }
        return;

    case STATE_WAIT_CONFIG_CHECK:
        SendConfigurationFile(state);
        return;

    case STATE_WAIT_EEPROM_SETTINGS:
        if (printerFirmwareVersion_ < MIN_FIRMWARE_VERSION_FOR_EEPROM) {
            SetStatusText(ui::Text(kStatusMinimumFirmwareForEeprom));
            FailureEnding();
            return;
        }
        if (replyCode != REPLY_EEPROM_SETTINGS) {
            SetStatusText(ui::Text(kStatusStartEditEepromFailed));
            FailureEnding();
            return;
        }
        if (!ShowEepromSettingsDialog(reply)) {
            FailureEnding();
            return;
        }
        operationState_ = STATE_SETTINGS_DIALOG;
        ShowWindow(false);
        return;

    default:
        lastSettingsReply_ = reply;
        if (!ShowDeviceSettingsDialog(deviceType_ == DEVICE_TYPE_BPP ? DEVICE_TYPE_BPP : DEVICE_TYPE_BTP, false)) {
            FailureEnding();
            return;
        }
        operationState_ = STATE_SETTINGS_DIALOG;
        ShowWindow(false);
        return;
    }
}

void CJetvaneDlg::StartFirmwareLoad()
{
    firmwareDialog_ = std::make_unique<CQVAirLoadFirmwareDlg>(this, [this] { return silentMode_; });
    if (!firmwareDialog_->Create(this)) {
        SetStatusText(ui::Text(kStatusShowDialogFailed));
        FailureEnding();
        return;
    }
    // The image stays ours; the dialog borrows it and the connection.
    if (!firmwareDialog_->SetFirmwareData(connection_.get(), firmwareFileName_, firmwareImage_.length,
                                          firmwareImage_.buffer.get(), printerFirmwareVersion_)) {
        SetStatusText(ui::Text(kStatusParseDeviceSettingsFailed));
        FailureEnding();
        return;
    }

    operationState_ = STATE_FIRMWARE_DIALOG;
    QString caption = ui::Text(TitlePrefixFor(deviceType_)) + childWindowBaseTitle_;
    if (!deviceIdentity_.empty())
        caption = QString::asprintf(kTitleWithIdentityFormat, caption.toUtf8().constData(),
                                    Latin1(deviceIdentity_).toUtf8().constData());
    firmwareDialog_->SetWindowText(caption);
    firmwareDialog_->MoveWindowTo(GetWindowPosition());
    firmwareDialog_->ShowWindow(true);
    firmwareDialog_->BringWindowToTop();
    ShowWindow(false);

    if (firmwareDialog_->LoadFirmware())
        return;
    SetStatusText(ui::Text(kStatusFirmwareLoadStartFailed));
    if (silentMode_) {
        firmwareImage_.Free();
        PostQuit(EXIT_CODE_OPERATION_FAILED);
    } else {
        OnBnClickedExit();
        firmwareImage_.Free();
    }
}

void CJetvaneDlg::SendConfigurationFile(const MessageParseState& checkState)
{
    if (configFileImage_.IsEmpty()) {
        SetStatusText(ui::Text(kStatusNoResponse));
        FallBackToInteractiveRun(ui::Text(kReasonEmptyConfigFile));
        return;
    }
    // The settings the file changes, as the dialog that edits them reads them: an EEPROM file
    // changes the EEPROM settings, which printers of either family have.
    const SettingsDialogDefinition& settings =
        configFileType_ == DEVICE_TYPE_ANY && EepromFileFitsEitherFamily(configFileName_) ? EepromSettingsDefinition()
        : deviceType_ == DEVICE_TYPE_BPP                                                    ? BppSettingsDefinition()
                                                                                            : BtpSettingsDefinition();
    const SettingsFileFit fit = FitOfSettingsFile(settings, configFileName_, ConfigFileRecord().value_or(""));
    if (!fit.fits) {
        SetStatusText(ui::Text(kStatusChangingDeviceTypeNotSupported));
        const auto familyName = [](int family) { return ui::Text(TitlePrefixFor(family)).trimmed(); };
        QString reason = ui::Text(kReasonFileForOtherFamily).arg(configFileName_, familyName(deviceType_));
        // The name alone does not show what the settings say.
        if (fit.NameAndRecordDisagree())
            reason += ui::Text(kReasonNameAndSettingsDisagree).arg(familyName(*fit.byName), familyName(*fit.byRecord));
        FallBackToInteractiveRun(reason);
        return;
    }

    // replyCode: that of the reply taken whole, none when no reply was.
    const auto sendFailed = [this](std::optional<std::uint8_t> replyCode) {
        SetStatusText(ui::Text(kStatusConfigurationSendFailed));
        if (silentMode_)
            PostQuit(EXIT_CODE_OPERATION_FAILED, ui::Text(kStatusWithReason)
                                                     .arg(ui::Text(kStatusConfigurationSendFailed),
                                                          ui::Text(ExchangeFailureReason(replyCode))));
        else
            OnBnClickedExit();
    };
    if (checkState.command != REPLY_ACK && checkState.command != REPLY_SETTINGS) {
        sendFailed(static_cast<std::uint8_t>(checkState.command));
        return;
    }

    SetStatusText(ui::Text(kStatusSendingConfiguration));
    // The file holds one complete frame; it goes to the printer as it stands.
    const std::string frame(reinterpret_cast<const char*>(configFileImage_.buffer.get()), configFileImage_.length);
    MessageParseState state;
    std::string reply;
    if (!CQVMessageParser::Transact(connection_.get(), frame, &state, &reply)) {
        sendFailed(std::nullopt);
        return;
    }
    if (state.command != REPLY_ACK) {
        sendFailed(static_cast<std::uint8_t>(state.command));
        return;
    }
    SetStatusText(ui::Text(kStatusConfigurationSent));
    if (silentMode_)
        PostQuit(EXIT_CODE_SUCCESS);
    else
        OnBnClickedExit();
}

void CJetvaneDlg::FailureEnding()
{
    if (silentMode_) {
        FreeFileImages();
        PostQuit(EXIT_CODE_OPERATION_FAILED);
        return;
    }
    if (operationState_ != STATE_IDLE && operationState_ != STATE_EXITING) {
        OnBnClickedExit();
        FreeFileImages();
    }
}

QString CJetvaneDlg::DeviceNotFoundReason() const
{
    const ui::ComboBox ports = GetComboBox(IDC_PORT);
    const std::optional<std::uint8_t> searched = PortNumberFromCombo(ports.GetCurSel(), ports.GetWindowText());
    if (!searched)
        return ui::Text(kReasonPortBeyondSearch)
            .arg(ports.GetWindowText().trimmed(), QString::number(CQVAirDeviceSearch::kHighestPort));
    const int onePort = *searched;
    const std::optional<CQVAirDeviceSearch::OpenFailure> failure =
        search_ ? search_->LastOpenFailure() : std::nullopt;
    // A missing device matters where a technician aimed at one port; among all ports most are.
    const bool telling = failure && (failure->error != ENOENT || onePort != 0);
    if (telling) {
        char portName[16];
        std::snprintf(portName, sizeof portName, kPortNameFormat, failure->port);
        const QString why = QString::fromStdString(platform::DescribePortOpenFailure(portName, failure->error));
        return onePort != 0 ? why : ui::Text(kReasonNoAnswerAndPortRefused).arg(why);
    }
    return onePort != 0 ? ui::Text(kReasonNoAnswerOnPort).arg(onePort) : ui::Text(kReasonNoAnswerOnAnyPort);
}
