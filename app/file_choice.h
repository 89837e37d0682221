#pragma once
// Choosing, naming and reading the configuration and firmware files of the main dialog's
// Send Config File and Load Firmware. Folders are cut and joined at kPathSeparator.
//
// Everything here runs on the user-interface thread; nothing keeps state between calls
// except an open ImageFile.

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

inline constexpr QChar kPathSeparator = u'/';

// ---- file dialogs (filters in the "description|patterns|...||" form)
inline constexpr char kConfigFileDefaultExtension[] = "QV_BTP_CFG";
inline constexpr char kConfigFileDefaultName[] = "Jetvane.QV_BTP_CFG";
inline constexpr char kConfigFileFilter[] =
    "Configuration Files (*.QV_BTP_CFG,*.QV_BPP_CFG,*.QV_EEPROM_CFG)|*.QV_BTP_CFG; *.QV_BPP_CFG; *.QV_EEPROM_CFG||";
inline constexpr char kFirmwareFileDefaultExtension[] = "BIN";
inline constexpr char kFirmwareFileFilter[] =
    "Firmware Files (*.BIN)|F2QV1_*.BIN;F2QV1_*.LNK|All Files (*.*)|F2QV1_.*||";

// ---- configuration file types, by extension (without regard to case)
inline constexpr char kConfigExtensionBtp[] = "QV_BTP_CFG";
inline constexpr char kConfigExtensionBpp[] = "QV_BPP_CFG";
inline constexpr char kConfigExtensionEeprom[] = "QV_EEPROM_CFG";
// An EEPROM configuration file fits either printer family when its name holds this.
inline constexpr char kEepromConfigFileMarker[] = ".QV_EEPROM_CFG";

// ---- firmware files
inline constexpr char kFirmwareFileNamePrefix[] = "F2QV1_";
inline constexpr char kFirmwareFileSuffix[] = ".BIN";

// ---- placeholders in a file path: the last folder and name of the same kind of file
inline constexpr char kPlaceholderFilePath[] = "<%FilePath%>";
inline constexpr char kPlaceholderFileName[] = "<%FileName%>";

// ---- shortcuts: paths outside these lengths are never resolved
inline constexpr int kShortcutPathMinLength = 10;
inline constexpr int kShortcutPathMaxLength = 260;

// The dialog's proposal when no configuration file was chosen before: the default name
// in the settings dialogs' folder, or alone when that folder is unknown.
QString DefaultConfigFileProposal(const QString& lastConfigPath);

// Name checks of a SILENT run, which shows no file dialog (without regard to case):
// a configuration path must end in one of the three extensions (a shorter path is
// compared whole); a firmware file's name must begin with kFirmwareFileNamePrefix and
// the path end in kFirmwareFileSuffix.
bool IsSilentConfigFileAccepted(const QString& path);
bool IsSilentFirmwareFileAccepted(const QString& path);

// The part after the last separator (the whole path without one), and the part before
// it (empty without one).
QString FileNameOfPath(const QString& path);
QString FolderOfPath(const QString& path);

// The extension of a file name: upper-cased, the text after its last "." (the whole name
// without one), trimmed of white space.
QString ConfigFileExtension(const QString& fileName);
// The configuration file type of an extension, or nothing when it names no known type.
std::optional<int> ConfigFileTypeFromExtension(const QString& extension);
std::optional<int> ConfigFileTypeFromName(const QString& fileName);
// Whether a loaded configuration file may be sent to a printer of a device type: the
// types must match, except that an EEPROM file whose (upper-cased) name holds
// kEepromConfigFileMarker after its first character fits either family.
bool ConfigFileFitsDevice(int fileType, const QString& upperFileName, int deviceType);

// Every "<%FilePath%>" replaced by lastFolder, then every "<%FileName%>" by lastName
// (case-sensitive).
QString ReplaceFilePlaceholders(const QString& path, const QString& lastFolder, const QString& lastName);

// A shortcut here is a symbolic link. For a link, target := its final target as an
// absolute path and the result is target's length; 0 (target untouched) for a path of
// fewer than kShortcutPathMinLength or more than kShortcutPathMaxLength characters, a
// path that is no link, or a link whose target does not exist or does not fit
// kShortcutPathMaxLength characters. The caller uses the path unchanged on 0.
int ResolveShortcutPath(const QString& path, QString& target);

// A whole file in memory: length + 1 bytes, the last one 0, so that text consumers may
// treat it as terminated.
struct FileImage {
    std::uint32_t length = 0;
    std::unique_ptr<std::uint8_t[]> buffer;

    bool IsEmpty() const { return buffer == nullptr || length == 0; }
    void Free()
    {
        buffer.reset();
        length = 0;
    }
};

enum class FileReadResult {
    Ok,
    OpenFailed,       // "Unable To Open Firmware File" / "Unable To Open Configuration File"
    AllocationFailed, // "Unable To allocate memory"
    ShortRead,        // "Unable To Read File"
};

// A file opened for reading its whole content. Between Open and ReadInto the caller
// records the file's name and folder; a failed Open leaves the caller's previous image.
class ImageFile {
public:
    ImageFile() = default;
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // False when the path names no regular file that can be read; Error() then tells why.
    bool Open(const QString& path);
    // Why the last Open or ReadInto failed, as the system words it; empty after success.
    QString Error() const { return error_; }
    bool IsOpen() const { return fd_ >= 0; }
    // The absolute path as opened, its name and its folder.
    const QString& FullPath() const { return fullPath_; }
    QString FileName() const { return FileNameOfPath(fullPath_); }
    QString Folder() const { return FolderOfPath(fullPath_); }
    // The low 32 bits of the length the file had when it was opened.
    std::uint32_t Length() const { return length_; }

    // Reads Length() bytes into a fresh image. On failure the image is empty (freed,
    // length 0). Closes the file in every case.
    FileReadResult ReadInto(FileImage& image);
    void Close();

private:
    int fd_ = -1;
    QString fullPath_;
    QString error_;
    std::uint32_t length_ = 0;
};

// Open and ReadInto in one step; on OpenFailed the image is left as it was.
FileReadResult ReadWholeFile(const QString& path, FileImage& image);
