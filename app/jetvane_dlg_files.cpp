// The main dialog's file choice: Send Config File and Load Firmware, the file dialogs
// and reading the chosen file into memory.
#include "app/jetvane_dlg.h"

#include "app/end_of_run.h"
#include "app/operation_states.h"
#include "app/profile_values.h"
#include "app/resource.h"
#include "app/status_texts.h"
#include "comms/device_types.h"
#include "ui/exit_codes.h"
#include "ui/profile.h"
#include "ui/prompts.h"
#include "ui/text.h"

namespace {

void WriteProfileValue(const char* name, const QString& value)
{
    ui::WriteProfileString(kProfileSection, name, value);
}

QString ReadProfileValue(const char* name)
{
    return ui::GetProfileString(kProfileSection, name);
}

// A file too long to count in 32 bits is one that cannot be read, like a short read.
const char* ReadFailureText(FileReadResult result)
{
    return result == FileReadResult::AllocationFailed ? kStatusUnableToAllocateMemory : kStatusUnableToReadFile;
}

// "<path>: <status text> (<what the system said>)", or without the part in brackets.
QString FileNotLoadedReason(const QString& path, const QString& status, const QString& problem)
{
    const QString what = problem.isEmpty() ? status : ui::Text(kStatusWithCause).arg(status, problem);
    return ui::Text(kReasonFileNotLoaded).arg(path, what);
}

} // namespace

void CJetvaneDlg::OnBnClickedSendConfigFile()
{
    QString initialFile = ReadProfileValue(kProfileLastLoadMainConfigFile);
    if (!commandLineFilePath_.isEmpty())
        initialFile = commandLineFilePath_;
    if (initialFile.isEmpty())
        initialFile = DefaultConfigFileProposal(ReadProfileValue(kProfileLastLoadConfigPath));

    QString chosen;
    if (!silentMode_) {
        ui::FileDialogRequest request;
        request.kind = ui::FileDialogKind::Open;
        request.owner = GetSafeHwnd();
        request.defaultExtension = ui::Text(kConfigFileDefaultExtension);
        request.initialFile = initialFile;
        request.filter = ui::Text(kConfigFileFilter);
        request.flags = ui::OFN_FILEMUSTEXIST | ui::OFN_LONGNAMES | ui::OFN_EXPLORER;
        const std::optional<QString> answer = ui::FileDialog(request);
        if (!answer) {
            SetStatusText(ui::Text(kStatusSendConfigSelectCancelled));
            return;
        }
        chosen = *answer;
    } else {
        // Its name was judged with the command line (CJetvaneApp::RefusedCommandLine).
        chosen = commandLineFilePath_;
    }
    if (chosen.isEmpty())
        return;

    chosen = ResolvedPath(chosen);
    WriteProfileValue(kProfileLastLoadMainConfigFile, chosen);
    if (LoadConfigFile(chosen))
        StartDeviceSearch(STATE_SEARCH_SEND_CONFIG);
    else if (silentMode_)
        PostQuit(EXIT_CODE_FILE_ERROR, FileNotLoadedReason(chosen, StatusText(), fileProblem_));
}

void CJetvaneDlg::OnBnClickedLoadFirmware()
{
    QString initialFile = ReadProfileValue(kProfileLastLoadFirmwareFile);
    if (!commandLineFilePath_.isEmpty())
        initialFile = commandLineFilePath_;
    SetExitCaption(kCancelCaption);
    EnableButtons(false);

    const auto giveBackButtons = [this] {
        EnableButtons(true);
        SetExitCaption(kExitCaption);
    };

    QString chosen;
    if (!silentMode_) {
        ui::FileDialogRequest request;
        request.kind = ui::FileDialogKind::Open;
        request.owner = GetSafeHwnd();
        request.defaultExtension = ui::Text(kFirmwareFileDefaultExtension);
        request.initialFile = initialFile;
        request.filter = ui::Text(kFirmwareFileFilter);
        request.flags = ui::OFN_LONGNAMES | ui::OFN_EXPLORER;
        const std::optional<QString> answer = ui::FileDialog(request);
        if (!answer) {
            SetStatusText(ui::Text(kStatusFirmwareSelectCancelled));
            giveBackButtons();
            return;
        }
        chosen = *answer;
    } else {
        // Its name was judged with the command line (CJetvaneApp::RefusedCommandLine).
        chosen = commandLineFilePath_;
    }
    if (chosen.isEmpty())
        return;

    chosen = ResolvedPath(chosen);
    WriteProfileValue(kProfileLastLoadFirmwareFile, chosen);
    if (LoadFirmwareFile(chosen)) {
        giveBackButtons();
        StartDeviceSearch(STATE_SEARCH_LOAD_FIRMWARE);
    } else if (silentMode_) {
        PostQuit(EXIT_CODE_FILE_ERROR, FileNotLoadedReason(chosen, StatusText(), fileProblem_));
    } else {
        giveBackButtons();
    }
}

bool CJetvaneDlg::LoadFirmwareFile(QString path)
{
    fileProblem_.clear();
    path = ReplaceFilePlaceholders(path, lastFirmwareFolder_, firmwareFileName_);
    if (path.isEmpty()) {
        SetStatusText(ui::Text(kStatusUnableToOpenFile));
        return false;
    }
    ImageFile file;
    if (!file.Open(path)) {
        fileProblem_ = file.Error();
        SetStatusText(ui::Text(kStatusUnableToOpenFirmwareFile));
        return false;
    }
    firmwareImage_.Free();
    firmwareFileName_ = file.FileName();
    lastFirmwareFolder_ = file.Folder();
    WriteProfileValue(kProfileLastLoadedFirmwareFilePath, lastFirmwareFolder_);
    WriteProfileValue(kProfileLastLoadedFirmwareFileName, firmwareFileName_);

    const FileReadResult result = file.ReadInto(firmwareImage_);
    if (result != FileReadResult::Ok) {
        fileProblem_ = file.Error();
        SetStatusText(ui::Text(ReadFailureText(result)));
        return false;
    }
    return true;
}

bool CJetvaneDlg::LoadConfigFile(QString path)
{
    configFileType_ = DEVICE_TYPE_ANY;
    fileProblem_.clear();
    path = ReplaceFilePlaceholders(path, lastConfigFolder_, configFileName_);
    if (path.isEmpty()) {
        SetStatusText(ui::Text(kStatusUnableToOpenFile));
        return false;
    }
    ImageFile file;
    if (!file.Open(path)) {
        fileProblem_ = file.Error();
        SetStatusText(ui::Text(kStatusUnableToOpenConfigurationFile));
        return false;
    }
    configFileImage_.Free();
    configFileName_ = file.FileName();
    lastConfigFolder_ = file.Folder();
    WriteProfileValue(kProfileLastLoadedMainConfigFilePath, lastConfigFolder_);
    WriteProfileValue(kProfileLastLoadedMainConfigFileName, configFileName_);

    const QString extension = ConfigFileExtension(configFileName_);
    const std::optional<int> type = ConfigFileTypeFromExtension(extension);
    if (!type) {
        SetStatusText(ui::Text(kStatusUnsupportedDeviceType));
        return false;
    }
    configFileType_ = *type;

    const FileReadResult result = file.ReadInto(configFileImage_);
    if (result != FileReadResult::Ok) {
        fileProblem_ = file.Error();
        SetStatusText(ui::Text(ReadFailureText(result)));
        return false;
    }
    // The file goes to the printer as it stands: anything but one whole frame of its type
    // would leave the printer's receiver in the middle of a frame.
    if (!ConfigFileRecord()) {
        configFileImage_.Free();
        SetStatusText(ui::Text(kStatusNotAConfigurationFile));
        return false;
    }
    return true;
}

std::optional<std::string> CJetvaneDlg::ConfigFileRecord() const
{
    const std::string_view bytes(reinterpret_cast<const char*>(configFileImage_.buffer.get()), configFileImage_.length);
    return CQVMessageParser::StoredMessagePayload(bytes, ConfigFileCommand(configFileType_));
}
