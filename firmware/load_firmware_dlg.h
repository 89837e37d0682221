#pragma once
// The firmware load window: a status line, a progress bar and one button. It loads a
// firmware image into a printer that the main dialog has found and checked, by one of two
// roads: in acknowledged blocks over the printer's serial line (the send thread of its own
// message parser), or, when the printer takes its firmware over USB, by asking the printer
// to switch into its USB update mode and writing the image there (its own flash engine).
//
// It reports its end to its parent once, synchronously, with WM_FIRMWARE_LOAD_DONE (wParam
// 0 not finished or cancelled, 1 loaded, 2 failed), and in an unattended run ends the run
// with its exit code as soon as the result is known: a failure's quit request says why, for
// the line that the run's end writes on standard error.
//
// Threads: everything here runs on the user-interface thread. The send thread and the
// flash thread report only by posted messages. The thread blocks in LoadFirmware for the
// update-mode handshake (up to about 14 s without an answer) and in the Cancel button while
// a block in flight ends (up to 16.5 s).
//
// Lifetime: the connection and the image belong to the parent, which keeps both until it
// has called ReleaseComms or destroyed this dialog; the send and flash jobs work on copies
// of the image. The parent destroys the dialog only once its notification has returned.

#include "comms/message_parser.h"
#include "comms/private_messages.h"
#include "firmware/update_firmware_ptr_mode.h"
#include "ui/dialog.h"

#include <QIcon>
#include <QString>

#include <cstdint>
#include <functional>

class CComms;

// Template 105 and its controls.
inline constexpr int IDD_FIRMWARE_LOAD_DIALOG = 105;
inline constexpr int IDC_FIRMWARE_CANCEL = 1002;
inline constexpr int IDC_FIRMWARE_STATUS = 1047;
inline constexpr int IDC_FIRMWARE_PROGRESS = 1048;

// The shortest image the dialog takes at all; a load needs more than one block.
inline constexpr std::uint32_t FIRMWARE_IMAGE_MIN_LENGTH = 500;
// Printers from this firmware version on may take their firmware over USB.
inline constexpr std::uint32_t MIN_FIRMWARE_VERSION_FOR_USB = 6060;
// The handshake's serial road goes on at this baud rate once the port was reopened.
inline constexpr int kUpdateModeReopenBaudRate = 19200;

// The dialog's texts.
inline constexpr char kFirmwareDialogTitle[] = "QV Airport Firmware Load";
inline constexpr char kFirmwareCancelCaption[] = "&Cancel";
inline constexpr char kFirmwareCloseCaption[] = "&Close";
inline constexpr char kStatusLoadingFirmware[] = "Loading Firmware";
inline constexpr char kStatusSwitchingToUpdateMode[] = "Switching to Firmware Update";
inline constexpr char kStatusUpdatingFlash[] = "Updating Flash";
inline constexpr char kStatusUploadSuccessful[] = "Firmware Upload Successful";
inline constexpr char kStatusUploadFailed[] = "Firmware Upload Failed";

const ui::DialogTemplate& LoadFirmwareDialogTemplate();

// Whether a load may try the USB road: the printer's version is MIN_FIRMWARE_VERSION_FOR_USB
// or higher and the file's name begins with "F2QV1_" and ends with ".BIN" (any case).
bool IsUsbUpdateCandidate(std::uint32_t firmwareVersion, const QString& fileName);

class CQVAirLoadFirmwareDlg : public ui::Dialog {
public:
    // Asked when a result is known: whether the run is unattended (it then ends with the
    // result's exit code). Without one the run is taken as attended.
    using SilentModeQuery = std::function<bool()>;

    explicit CQVAirLoadFirmwareDlg(ui::Dialog* parent = nullptr, SilentModeQuery silentMode = {});
    // An unfinished load is cancelled first (stop, wait, CMD_ABORT), as the Cancel button does.
    ~CQVAirLoadFirmwareDlg() override;

    // The connection is kept whatever the outcome. False without a connection or a window,
    // for an image shorter than FIRMWARE_IMAGE_MIN_LENGTH or none, and for a printer
    // version below the minimum for a firmware load.
    bool SetFirmwareData(CComms* comms, const QString& fileName, std::uint32_t length, const std::uint8_t* image,
                         std::uint32_t firmwareVersion);
    // Starts the load (after the handshake, for a USB candidate); true when a road was started.
    bool LoadFirmware();
    void SetStatusText(const QString& text);

    // The owner of the connection calls this before it closes the connection while this
    // dialog lives on: the jobs that use it end (an abort on its way out is given its chance
    // to leave and be answered first) and the dialog forgets the connection.
    void ReleaseComms();

    bool OnInitDialog() override;
    // Every cancel command: the button (after its stop and abort), Escape and the close box.
    void OnCancel() override;

    // ---- handlers
    void OnBnClickedCancel();
    ui::LResult OnSendDone(ui::WParam, ui::LParam parser);
    ui::LResult OnFlashUpdateDone(ui::WParam ok, ui::LParam engine);
    ui::LResult OnUpdatingFlash(ui::WParam, ui::LParam sender);
    ui::LResult OnLoadProgress(ui::WParam, ui::LParam blockIndex);
    ui::LResult OnStatusText(ui::WParam, ui::LParam text);

    // ---- read-only views
    int Result() const { return result_; }
    bool Finished() const { return finished_; }

private:
    bool PrinterSwitchedToUpdateMode();
    bool AttemptSwitchToUpdateMode();
    bool AnswersUpdateModeUsb();
    void ReopenAtUpdateModeBaudRate();
    bool StartSerialRoad();
    bool StartUsbRoad();
    // The result; in an unattended run the run's end with its exit code and, for a failure,
    // why (what lies behind "Firmware Upload Failed", when known).
    void ShowResult(bool loaded, const QString& why = {});
    void StopLoadAndAbort();
    void SetProgressRange(int upper);
    bool SilentMode() const { return silentMode_ && silentMode_(); }

    bool finished_ = false;
    int result_ = kChildResultNone;
    CQVMessageParser parser_;
    CComms* comms_ = nullptr;
    std::uint32_t imageLength_ = 0;
    const std::uint8_t* image_ = nullptr;
    std::uint32_t firmwareVersion_ = 0;
    QString fileName_;
    ui::Button cancelButton_;
    ui::StaticText statusText_;
    ui::ProgressCtrl progressBar_;
    CUpdateFirmwarePtrMode flashEngine_;
    QIcon icon_;

    SilentModeQuery silentMode_;
    bool loadStarted_ = false; // LoadFirmware started one of the roads
    bool reported_ = false;    // the end went to the parent
    bool abortSent_ = false;   // the CMD_ABORT job may still be on its way out
    int progressUpper_ = 0;
    // The window's handle from its creation on: the abort also goes out once the window
    // is gone (its report is then dropped).
    ui::WindowHandle ownHandle_ = platform::kNoWindow;
};
