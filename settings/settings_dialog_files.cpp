// The settings engine's configuration files: Save To File and Load From File.
#include "settings/settings_dialog.h"

#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "settings/settings_files.h"
#include "ui/files.h"
#include "ui/program_name.h"
#include "ui/profile.h"
#include "ui/prompts.h"
#include "ui/text.h"

#include <string_view>
#include <vector>

namespace {

constexpr char kSaved[] = "Saved";
constexpr char kUnableToCreateFile[] = "Unable to create file to save";
constexpr char kInvalidDeviceType[] = "Invalid device type";
constexpr char kUnableToOpenFile[] = "Unable to open file to read";
constexpr char kNoDataInFile[] = "No data to read from file";
constexpr char kUnableToLoadFile[] = "Unable to load configuration from file";
constexpr char kUnableToReadFile[] = "Unable to read file";
constexpr char kUnableToProcess[] = "Unable to process the configuration.";
constexpr char kLoaded[] = "Loaded";

constexpr char kFilterFormat[] = "Configuration Files (*.%1)|*.%1||";

void Tell(const char* text)
{
    ui::AfxMessageBox(QString::fromUtf8(text), ui::MB_OK | ui::MB_ICONINFORMATION);
}

void RememberFile(const SettingsFileKind& kind, const QString& path)
{
    ui::WriteProfileString(QString::fromLatin1(ui::kProfileSection), ui::Text(kind.lastFileProfileValue), path);
    ui::WriteProfileString(QString::fromLatin1(ui::kProfileSection), QString::fromLatin1(kProfileLastLoadConfigPath),
                           FolderOfPath(path));
}

// The payloads of the complete frames of a command that bytes hold, in their order; bytes
// outside them are passed over.
std::vector<std::string> FramePayloads(std::string_view bytes, std::uint8_t command)
{
    std::vector<std::string> payloads;
    std::string payload;
    MessageParseState state;
    for (const char byte : bytes) {
        if (CQVMessageParser::ParseByte(payload, static_cast<std::uint8_t>(byte), state) && state.command == command)
            payloads.push_back(payload);
    }
    return payloads;
}

} // namespace

// RAII for the action buttons: disabled while a file operation runs.
class CSettingsTableDlg::ButtonsDisabled {
public:
    explicit ButtonsDisabled(CSettingsTableDlg& dialog) : dialog_(dialog) { dialog_.EnableButtons(false); }
    ~ButtonsDisabled() { dialog_.EnableButtons(true); }
    ButtonsDisabled(const ButtonsDisabled&) = delete;
    ButtonsDisabled& operator=(const ButtonsDisabled&) = delete;

private:
    CSettingsTableDlg& dialog_;
};

QString CSettingsTableDlg::DefaultConfigFileName() const
{
    const SettingsFileKind& kind = definition_.file;
    QString name = ui::GetProfileString(QString::fromLatin1(ui::kProfileSection),
                                        QString::fromLatin1(kProfileLastLoadConfigPath));
    if (!name.isEmpty())
        name += kPathSeparator;
    name += QString::fromLatin1(ui::kProgramName);
    if (kind.protocolInName && !protocolText_.isEmpty())
        name += QString::fromLatin1(kConfigFileProtocolSeparator) + protocolText_;
    return name + kExtensionSeparator + ui::Text(kind.extension);
}

ui::FileDialogRequest CSettingsTableDlg::ConfigFileDialog(ui::FileDialogKind kind, const QString& initialFile) const
{
    ui::FileDialogRequest request;
    request.kind = kind;
    request.defaultExtension = ui::Text(definition_.file.extension);
    request.initialFile = initialFile;
    request.filter = QString::fromLatin1(kFilterFormat).arg(ui::Text(definition_.file.extension));
    // Every printer of a protocol is offered the same name: the file dialog asks before it
    // replaces a file, and a No keeps the file and the dialog.
    request.flags =
        ui::OFN_LONGNAMES | (kind == ui::FileDialogKind::Open ? ui::OFN_FILEMUSTEXIST : ui::OFN_OVERWRITEPROMPT);
    return request;
}

void CSettingsTableDlg::OnBnClickedSaveToFile()
{
    if (!FieldsReadyToWrite(false))
        return;
    const SettingsFileKind& kind = definition_.file;
    std::string record = BuildSettingsString(false);
    const ButtonsDisabled disabled(*this);
    const QString proposal = DefaultConfigFileName();
    if (kind.allConfigs)
        record = WithAllConfigsField(std::move(record));
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, kind.command, std::move(record));

    const std::optional<QString> chosen = ui::FileDialog(ConfigFileDialog(ui::FileDialogKind::Save, proposal));
    if (!chosen)
        return;
    const QString path = ResolvedPath(*chosen);
    AtomicFileWriter file;
    if (!file.Open(path)) {
        Tell(kUnableToCreateFile);
        return;
    }
    RememberFile(kind, path);
    if (!file.Commit(frame)) {
        Tell(kUnableToCreateFile);
        return;
    }
    Tell(kSaved);
}

void CSettingsTableDlg::OnBnClickedLoadFromFile()
{
    const SettingsFileKind& kind = definition_.file;
    const ButtonsDisabled disabled(*this);
    QString initial = ui::GetProfileString(QString::fromLatin1(ui::kProfileSection), ui::Text(kind.lastFileProfileValue));
    if (initial.isEmpty())
        initial = DefaultConfigFileName();
    const std::optional<QString> chosen = ui::FileDialog(ConfigFileDialog(ui::FileDialogKind::Open, initial));
    if (!chosen)
        return;
    // The path is opened and remembered in the letter case chosen: on a file system that tells
    // letter cases apart, an upper-cased path would name another file.
    const QString path = ResolvedPath(*chosen);
    // The name first, before the file is opened; the settings once they are read. The
    // extension is the text after the path's last '.'.
    if (!FitOfSettingsFile(definition_, path, RecordFamilies{}).fits) {
        Tell(kInvalidDeviceType);
        return;
    }
    ImageFile file;
    if (!file.Open(path)) {
        Tell(kUnableToOpenFile);
        return;
    }
    const bool empty = file.LengthFits() && file.Length() == 0;
    FileImage image;
    const FileReadResult read = file.ReadInto(image);
    // The record is read once, as this dialog reads it, and judged and applied as read.
    std::optional<std::vector<RecordField>> fields;
    if (read == FileReadResult::Ok)
        fields = FieldsToLoad({reinterpret_cast<const char*>(image.buffer.get()), image.length});
    // Settings for the other printer family are refused as that family's file is by its name.
    if (fields && !FitOfSettingsFile(definition_, path, FamiliesNamedBy(*fields)).fits) {
        Tell(kInvalidDeviceType);
        return;
    }
    RememberFile(kind, path);
    if (empty) {
        Tell(kNoDataInFile);
        return;
    }
    if (read == FileReadResult::AllocationFailed || read == FileReadResult::TooLong) {
        Tell(kUnableToLoadFile);
        return;
    }
    if (read != FileReadResult::Ok) {
        Tell(kUnableToReadFile);
        return;
    }
    loadedConfig_.assign(reinterpret_cast<const char*>(image.buffer.get()), image.length);

    if (fields && CanApplyRecord()) {
        ApplyRecord(*fields);
        Tell(kLoaded);
        return;
    }
    Tell(kUnableToProcess);
}

std::optional<std::vector<RecordField>> CSettingsTableDlg::FieldsToLoad(std::string_view bytes)
{
    for (const std::string& record : FramePayloads(bytes, definition_.file.command)) {
        std::vector<RecordField> fields;
        if (ReadRecord(record, false, fields))
            return fields;
    }
    return std::nullopt;
}
