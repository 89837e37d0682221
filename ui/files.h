#pragma once
// Files and paths as the program's dialogs use them: names and folders cut at
// kPathSeparator, shortcuts (here: symbolic links), and whole files read into memory.
//
// Everything here runs on the user-interface thread; nothing keeps state between calls
// except an open ImageFile.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>
#include <sys/types.h>

inline constexpr QChar kPathSeparator = u'/';

// The part after the last separator (the whole path without one), and the part before
// it (empty without one).
QString FileNameOfPath(const QString& path);
QString FolderOfPath(const QString& path);

// ---- shortcuts: paths outside these lengths are never resolved
inline constexpr int kShortcutPathMinLength = 10;
inline constexpr int kShortcutPathMaxLength = 260;

// A shortcut here is a symbolic link. For a link, target := its final target as an
// absolute path and the result is target's length; 0 (target untouched) for a path of
// fewer than kShortcutPathMinLength or more than kShortcutPathMaxLength characters, a
// path that is no link, or a link whose target does not exist or does not fit
// kShortcutPathMaxLength characters. The caller uses the path unchanged on 0.
int ResolveShortcutPath(const QString& path, QString& target);

// ---- placeholders in a file path: the last folder and name of the same kind of file, which
// the main dialog puts in before it opens the file
inline constexpr char kPlaceholderFilePath[] = "<%FilePath%>";
inline constexpr char kPlaceholderFileName[] = "<%FileName%>";

// A chosen path as the profile keeps it, naming the same file from any working folder: a
// relative path behind workingFolder. An empty path, an absolute one and one that begins
// with kPlaceholderFilePath (a folder of its own once replaced) stay as they are.
QString AbsoluteFilePath(const QString& path, const QString& workingFolder);

// A chosen file as it is opened and remembered, by the main dialog and the settings
// dialogs alike: a shortcut stands for its target (ResolveShortcutPath, whose limits apply),
// and any other path for the file it names from the process's working folder
// (AbsoluteFilePath), so that the profile names that file whatever folder a later run
// starts in.
QString ResolvedPath(const QString& chosen);

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

// The longest file read whole. A firmware block header announces the image's length as a
// signed 32-bit number, so a longer image would be announced negative; a configuration file
// that long is no frame anyway.
inline constexpr std::uint32_t kLongestFileImage = std::numeric_limits<std::int32_t>::max();

enum class FileReadResult {
    Ok,
    OpenFailed,       // "Unable To Open Firmware File" / "Unable To Open Configuration File"
    AllocationFailed, // "Unable To allocate memory"
    ShortRead,        // "Unable To Read File"
    TooLong,          // longer than kLongestFileImage: never read as its first bytes
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
    // Whether that length is at most kLongestFileImage (Length() is then the whole length).
    bool LengthFits() const { return lengthFits_; }

    // Reads Length() bytes into a fresh image; a file longer than kLongestFileImage is
    // refused (TooLong) rather than read as its first bytes. On failure the image is empty
    // (freed, length 0). Closes the file in every case.
    FileReadResult ReadInto(FileImage& image);
    void Close();

private:
    int fd_ = -1;
    QString fullPath_;
    QString error_;
    std::uint32_t length_ = 0;
    bool lengthFits_ = true;
};

// Open and ReadInto in one step; on OpenFailed the image is left as it was.
FileReadResult ReadWholeFile(const QString& path, FileImage& image);

// The name to try for a temporary file beside target on the given attempt (0, 1, ...).
// A name that exists already is never used, whatever it names: another one is tried.
// Tests give names of their own, to put something at one first.
using TemporaryFileNamer = QByteArray (*)(const QByteArray& target, int attempt);
// target, a dot and random letters and digits.
QByteArray RandomTemporaryFileName(const QByteArray& target, int attempt);

// A file that is replaced whole or not at all: the bytes go to a temporary file in the
// target's folder, reach the disk, and only then take the target's name. A symbolic link
// as target is followed: the file it points to is replaced, the link stays. Whatever
// fails (a full disk, a crash), the old file stays as it was and no partial file is left.
// An existing file is replaced only when the process may write it (not a read-only one,
// unless the process may write it anyway, as root may); the check does not open it, so
// tools watching it for writes see none. It keeps its permissions, set-user-id,
// set-group-id and sticky bits included. A new file gets those of any new file (the umask
// applies). The process's umask is never touched, so other threads may create files
// meanwhile.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(TemporaryFileNamer namer = RandomTemporaryFileName) : namer_(namer) {}
    ~AtomicFileWriter(); // abandons an uncommitted file
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file; false (errno kept in Error()) when the target cannot be
    // written, for example because its folder is missing or read-only, it is a folder or
    // it is a file that may not be written.
    bool Open(const QString& path);
    // Writes everything and gives the file the target's name; false with Error() set.
    bool Commit(std::string_view bytes);
    // The path as given to Open.
    const QString& Path() const { return path_; }
    int Error() const { return error_; }

private:
    void Abandon();

    TemporaryFileNamer namer_;
    QString path_;
    QByteArray target_;    // the file that is replaced (a link's target)
    QByteArray temporary_; // empty when no temporary file exists
    int fd_ = -1;
    int error_ = 0;
    bool keepsMode_ = false; // the target existed: its mode goes to the new file
    mode_t keptMode_ = 0;
};
