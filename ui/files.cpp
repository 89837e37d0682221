#include "ui/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t kLow32Bits = 0xFFFFFFFFu;
constexpr char kNotARegularFile[] = "not a regular file";
constexpr char kShorterThanItWas[] = "the file became shorter while it was read";
constexpr char kLongerThanALength[] = "the file is longer than %1 bytes";
// A temporary file is named after its target, a dot and kTemporaryNameLength characters
// of kTemporaryNameCharacters, tried kTemporaryNameTries times at most.
constexpr char kTemporaryNameCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kTemporaryNameLength = 6;
constexpr int kTemporaryNameTries = 100;
constexpr char kTemporaryNameSeparator = '.';
constexpr mode_t kNewFileMode = 0666; // narrowed by the umask, as for any new file
constexpr mode_t kPermissionBits = 0777;
constexpr mode_t kModeBits = 07777; // the permissions, set-user-id, set-group-id and sticky
// A chain of links longer than this is taken for a loop.
constexpr int kMaxLinkDepth = 40;

// Where a write to path lands: path itself, or the end of its chain of symbolic links
// (which need not exist yet).
QByteArray WriteTarget(const QString& path)
{
    QString target = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            break;
        target = info.symLinkTarget();
    }
    return QFile::encodeName(target);
}

// Creates a new file beside target with kNewFileMode, which the system narrows by the
// process's umask (and a folder's default access list) as for any new file: the umask is
// never changed, so other threads are not affected. O_EXCL: a name that somebody placed
// there first (a link to another file, say) is never opened. -1 with errno set on failure.
int CreateTemporaryFile(const QByteArray& target, TemporaryFileNamer namer, QByteArray& name)
{
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        name = namer(target, attempt);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool SyncFolderOf(const QByteArray& file)
{
    const int slash = file.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : file.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

QByteArray RandomTemporaryFileName(const QByteArray& target, int)
{
    QRandomGenerator& random = *QRandomGenerator::global();
    constexpr auto kCharacters = static_cast<quint32>(sizeof kTemporaryNameCharacters - 1);
    QByteArray name = target + kTemporaryNameSeparator;
    for (int i = 0; i < kTemporaryNameLength; ++i)
        name += kTemporaryNameCharacters[random.bounded(kCharacters)];
    return name;
}

QString FileNameOfPath(const QString& path)
{
    return path.mid(path.lastIndexOf(kPathSeparator) + 1);
}

QString FolderOfPath(const QString& path)
{
    const qsizetype separator = path.lastIndexOf(kPathSeparator);
    return separator < 0 ? QString() : path.left(separator);
}

int ResolveShortcutPath(const QString& path, QString& target)
{
    if (path.size() < kShortcutPathMinLength || path.size() > kShortcutPathMaxLength)
        return 0;
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info {};
    if (lstat(encoded.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return 0;
    char* resolved = realpath(encoded.constData(), nullptr);
    if (resolved == nullptr)
        return 0;
    const QString result = QFile::decodeName(resolved);
    std::free(resolved);
    // The target must fit the same buffer as a path, its terminator included.
    if (result.size() >= kShortcutPathMaxLength)
        return 0;
    target = result;
    return static_cast<int>(target.size());
}

QString AbsoluteFilePath(const QString& path, const QString& workingFolder)
{
    if (path.isEmpty() || QFileInfo(path).isAbsolute() || path.startsWith(QLatin1String(kPlaceholderFilePath)))
        return path;
    return QDir(workingFolder).absoluteFilePath(path);
}

QString ResolvedPath(const QString& chosen)
{
    QString target;
    return AbsoluteFilePath(ResolveShortcutPath(chosen, target) > 0 ? target : chosen, QDir::currentPath());
}

ImageFile::~ImageFile()
{
    Close();
}

bool ImageFile::Open(const QString& path)
{
    Close();
    error_.clear();
    if (path.isEmpty())
        return false;
    // Non-blocking so that a FIFO cannot hold the user interface; it is refused below.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error_ = QString::fromLatin1(kNotARegularFile);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    fullPath_ = QFileInfo(path).absoluteFilePath();
    length_ = static_cast<std::uint32_t>(static_cast<std::uint64_t>(info.st_size) & kLow32Bits);
    lengthFits_ = static_cast<std::uint64_t>(info.st_size) <= kLongestFileImage;
    return true;
}

FileReadResult ImageFile::ReadInto(FileImage& image)
{
    image.Free();
    if (fd_ < 0)
        return FileReadResult::OpenFailed;
    if (!lengthFits_) {
        error_ = QString::fromLatin1(kLongerThanALength).arg(kLongestFileImage);
        Close();
        return FileReadResult::TooLong;
    }
    const std::size_t size = static_cast<std::size_t>(length_) + 1;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size]());
    if (buffer == nullptr) {
        Close();
        return FileReadResult::AllocationFailed;
    }
    std::size_t done = 0;
    while (done < length_) {
        const ssize_t got = ::read(fd_, buffer.get() + done, length_ - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error_ = QString::fromLocal8Bit(std::strerror(errno));
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    Close();
    if (done < length_) {
        if (error_.isEmpty())
            error_ = QString::fromLatin1(kShorterThanItWas);
        return FileReadResult::ShortRead;
    }
    image.buffer = std::move(buffer);
    image.length = length_;
    return FileReadResult::Ok;
}

void ImageFile::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

FileReadResult ReadWholeFile(const QString& path, FileImage& image)
{
    ImageFile file;
    if (!file.Open(path))
        return FileReadResult::OpenFailed;
    return file.ReadInto(image);
}

AtomicFileWriter::~AtomicFileWriter()
{
    Abandon();
}

bool AtomicFileWriter::Open(const QString& path)
{
    Abandon();
    path_ = path;
    error_ = 0;
    target_ = WriteTarget(path);
    struct stat existing {};
    const bool exists = ::stat(target_.constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        error_ = S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    // A file that may not be written is not replaced: renaming over it would succeed where
    // writing it, which is what saving to it means, fails. Asked without opening it, which
    // would tell everybody watching the file that it was opened for writing.
    if (exists && ::faccessat(AT_FDCWD, target_.constData(), W_OK, AT_EACCESS) != 0) {
        error_ = errno;
        return false;
    }
    QByteArray name;
    const int fd = CreateTemporaryFile(target_, namer_, name);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    fd_ = fd;
    temporary_ = name;
    // The new file keeps the old one's permissions from the start, so that nobody may read
    // it who could not read the old one; a file that did not exist has those of any new
    // file already. The special bits follow in Commit.
    keepsMode_ = exists;
    keptMode_ = existing.st_mode & kModeBits;
    if (keepsMode_)
        ::fchmod(fd_, keptMode_ & kPermissionBits);
    return true;
}

bool AtomicFileWriter::Commit(std::string_view bytes)
{
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            error_ = written < 0 ? errno : ENOSPC;
            Abandon();
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    // After the writes, which clear the set-user-id and set-group-id bits of a file that a
    // process other than root writes.
    if (keepsMode_)
        ::fchmod(fd_, keptMode_);
    if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
        error_ = errno;
        fd_ = -1;
        Abandon();
        return false;
    }
    fd_ = -1;
    if (::rename(temporary_.constData(), target_.constData()) != 0) {
        error_ = errno;
        Abandon();
        return false;
    }
    temporary_.clear();
    // The new name itself must survive a power cut too.
    SyncFolderOf(target_);
    return true;
}

void AtomicFileWriter::Abandon()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty())
        ::unlink(temporary_.constData());
    temporary_.clear();
}
