#pragma once
// The main dialog: a port selector, eight buttons and a status line. Every operation runs
// as one fixed sequence on the user-interface thread: search the port(s), take the
// printer's identity, open an own connection, send one command on the message parser's
// send thread and act on its result. The search thread and the send thread report only
// by posted messages.
//
// Threads: everything here runs on the user-interface thread.
//
// How an unattended (SILENT) run ends: every end of the operation posts its exit code with
// why (ui::PostQuitMessage), and the run's end writes that as one line on standard error
// for every failure code (EndOfRun), the firmware dialog's too. A few
// ends cannot go on unattended and fall back to an interactive run instead, with the window
// left to the technician (FallBackToInteractiveRun); without a display nobody could ever use
// that window, so such a run ends there with EXIT_CODE_OPERATION_FAILED.

#include "app/file_choice.h"
#include "app/jetvane_app.h"
#include "comms/comms.h"
#include "comms/device_search.h"
#include "comms/message_parser.h"
#include "firmware/load_firmware_dlg.h"
#include "settings/settings_dialog.h"
#include "ui/dialog.h"

#include <QIcon>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CJetvaneDlg : public ui::Dialog {
public:
    explicit CJetvaneDlg(const CJetvaneApp& app);
    ~CJetvaneDlg() override;

    bool OnInitDialog() override;

    // ---- the window
    void UpdateButtons();
    void EnableButtons(bool enable);
    // The universal reset behind the Exit/Cancel button: abandons a running operation and
    // returns to idle; in the idle state it ends the dialog.
    void OnBnClickedExit();
    void SetStatusText(const QString& text);
    // The last status text that said what happened, also once the window is gone.
    // "Exiting..." only says that the window closes, and does not count.
    const QString& StatusText() const { return statusText_; }
    // Why a silent run ended without its quit code (its window was closed): what became of
    // its file. Once the run fell back to an interactive one, that is the status (with its
    // reason) it fell back with, whatever the window did afterwards; until then the last status.
    QString EndedByHandReason() const;

    // ---- the operation sequencer
    void StartDeviceSearch(int searchState);
    void OnBnClickedEditDefaultConfig();
    void OnBnClickedSetClock();
    ui::LResult OnSearchStatus(ui::WParam port, ui::LParam text);
    ui::LResult OnDeviceIdentity(ui::WParam port, ui::LParam text);
    ui::LResult OnDeviceFound(ui::WParam port, ui::LParam lineSettings);
    // ownEnd: 0 from the search; else the dialog's own end of a search for a port beyond
    // the search's, which counts only while that search stands.
    ui::LResult OnDeviceNotFound(ui::WParam ownEnd, ui::LParam);
    ui::LResult OnSendDone(ui::WParam, ui::LParam parser);
    void OnCommandResult(bool ok, MessageParseState state, std::string reply);

    // ---- option menus
    void OnBnClickedPrintTestDocument();
    void OnBnClickedROMOptions();
    void OnBnClickedEditEEPROMConfig();

    // ---- file choice
    void OnBnClickedSendConfigFile();
    void OnBnClickedLoadFirmware();
    bool LoadConfigFile(QString path);
    bool LoadFirmwareFile(QString path);
    // The settings record of the loaded configuration file: the payload of its one frame.
    std::optional<std::string> ConfigFileRecord() const;

    // ---- child dialogs
    // A settings dialog or the firmware dialog stands in for the main window while it works,
    // and reports its end with a synchronous message. A child is never deleted while it is
    // inside such a message (ui::Dialog::IsNotifying), at whatever depth the close comes:
    // it is hidden and parked, and deleted by the next close of the settings dialogs or by
    // the main dialog's destructor.
    bool ShowDeviceSettingsDialog(int deviceType, bool restricted);
    bool ShowEepromSettingsDialog(const std::string& record);
    ui::LResult OnConfigUpdated(ui::WParam result, ui::LParam);
    ui::LResult OnChangeDeviceType(ui::WParam deviceType, ui::LParam);
    void CloseSettingsDialog();
    ui::LResult OnFirmwareLoadDone(ui::WParam result, ui::LParam);
    void CloseFirmwareDialog();

    // ---- read-only views for tests and the child dialogs
    int OperationState() const { return operationState_; }
    int AccessLevel() const { return accessLevel_; }
    bool SilentMode() const { return silentMode_; }
    int DeviceType() const { return deviceType_; }
    unsigned FirmwareVersion() const { return printerFirmwareVersion_; }
    const std::string& DeviceIdentityString() const { return deviceIdentity_; }
    const std::string& TestDocumentPayload() const { return testDocumentPayload_; }
    int TestDocumentFilter() const { return testDocumentFilter_; }
    const std::string& RomOptionCommand() const { return romOptionCommand_; }
    const std::string& RfidCommand() const { return rfidCommand_; }
    const FileImage& ConfigFileImage() const { return configFileImage_; }
    int ConfigFileType() const { return configFileType_; }
    const FileImage& FirmwareImage() const { return firmwareImage_; }
    CComms* Connection() const { return connection_.get(); }
    CJetvaneSettingsDeviceInterface* SettingsDialog() const { return settingsDialog_.get(); }
    const std::vector<std::unique_ptr<CJetvaneSettingsDeviceInterface>>& ParkedSettingsDialogs() const
    {
        return parkedSettingsDialogs_;
    }
    CQVAirLoadFirmwareDlg* FirmwareDialog() const { return firmwareDialog_.get(); }
    CQVAirDeviceSearch* Search() const { return search_.get(); }

private:
    // Opens a settings dialog in place of the window at position; false with the status text
    // of the step that failed (none when the dialog cannot be made).
    bool OpenSettingsDialog(std::unique_ptr<CJetvaneSettingsDeviceInterface> dialog, const QString& caption,
                            const std::string& record, bool restricted, QPoint position);
    void ParkSettingsDialog(std::unique_ptr<CJetvaneSettingsDeviceInterface> dialog);

    // Ends a send job that still runs on the connection, then closes and deletes it. With
    // reportLostCommand, a command whose job was ended before it reported ends as failed,
    // as it would have once its reply stayed away, instead of leaving the operation waiting.
    void ReleaseConnection(bool reportLostCommand = false);
    // Stops and deletes the search object; an end the dialog posted for it no longer counts.
    void ReleaseSearch();
    void FailureEnding();
    void FreeFileImages();
    void SendConfigurationFile(const MessageParseState& checkState);
    void SetExitCaption(const char* caption);
    // "Exiting..." on the status line, leaving StatusText as it was.
    void ShowExiting();
    void ShowRememberedPort();
    bool StartCommand(std::uint8_t command, const std::string& payload, int nextState, const char* statusText);
    // Ends the run with exitCode. A failure code carries why (the status line's text when
    // why is empty) as its reason, which the run's end writes on standard error.
    void PostQuit(int exitCode, const QString& why = {});
    // The one place where an operation of a silent run that cannot go on unattended (a
    // configuration file for the other printer family or an empty one, a found printer whose
    // port cannot be opened again, the firmware dialog ended cancelled) gives up being
    // unattended. With a display, or in an interactive run, the reset runs: silent mode ends
    // and the window stays for the technician; a silent run keeps the status line's text, with
    // reason behind it when one is given, for EndedByHandReason. Without a display
    // (ui::RunsWithoutDisplay) a silent run ends here with EXIT_CODE_OPERATION_FAILED, and that
    // text goes to standard error as one line.
    void FallBackToInteractiveRun(const QString& reason = {});
    // Why the search found no printer, for the end of a silent run.
    QString DeviceNotFoundReason() const;

    // ---- firmware dialog
    // State 19 once the printer passed the type check: the firmware dialog takes over.
    void StartFirmwareLoad();
    // The firmware dialogs' jobs end before the connection they use is closed.
    void ReleaseFirmwareDialogConnection();
    void DestroyParkedFirmwareDialog();
    ui::LResult OnDestroyParkedFirmwareDialog(ui::WParam, ui::LParam);

    int accessLevel_ = 0;
    std::string testDocumentPayload_;
    int testDocumentFilter_ = 0;
    std::string romOptionCommand_;
    std::string rfidCommand_;
    CQVMessageParser messageParser_;
    std::unique_ptr<CComms> connection_;
    std::unique_ptr<CQVAirDeviceSearch> search_;
    // The number of the not-found end posted for a port beyond the search that still stands
    // (0: none), and how many such ends were posted, which numbers them.
    ui::WParam standingOwnSearchEnd_ = 0;
    ui::WParam ownSearchEndsPosted_ = 0;
    int operationState_;
    QString childWindowBaseTitle_;
    QString windowTitle_;
    std::string deviceIdentity_;
    unsigned printerFirmwareVersion_ = 0;
    int deviceType_;
    int connectedDeviceType_;
    QString firmwareFileName_;
    QString lastFirmwareFolder_;
    std::string lastSettingsReply_;
    bool keepOldSettings_ = false;
    std::unique_ptr<CJetvaneSettingsDeviceInterface> settingsDialog_;
    std::vector<std::unique_ptr<CJetvaneSettingsDeviceInterface>> parkedSettingsDialogs_;
    FileImage firmwareImage_;
    int configFileType_;
    FileImage configFileImage_;
    QString lastConfigFolder_;
    // As given: on a file system that tells letter cases apart an upper-cased name would be
    // another file's. Its extension is compared without regard to case.
    QString configFileName_;
    bool silentMode_;
    QString commandLineVerb_;
    QString commandLineFilePath_;
    std::optional<CommandLineRefusal> commandLineRefusal_;
    QIcon icon_;

    std::unique_ptr<CQVAirLoadFirmwareDlg> firmwareDialog_;
    // A firmware dialog closed while inside its own notification, destroyed once that
    // notification has returned to it.
    std::unique_ptr<CQVAirLoadFirmwareDlg> parkedFirmwareDialog_;
    // The dialog that CloseFirmwareDialog is taking down, while it is told to close.
    CQVAirLoadFirmwareDlg* closingFirmwareDialog_ = nullptr;
    int firmwareNotificationDepth_ = 0; // inside OnFirmwareLoadDone
    QString statusText_;
    // The status, with its reason, with which a silent run fell back to an interactive one.
    QString fallBackStatus_;
    QString fileProblem_; // why the last file could not be loaded, in the system's words
};
