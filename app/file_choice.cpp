#include "app/file_choice.h"

#include "app/device_types.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QChar kExtensionSeparator = u'.';
constexpr std::uint64_t kLow32Bits = 0xFFFFFFFFu;
constexpr char kNotARegularFile[] = "not a regular file";
constexpr char kShorterThanItWas[] = "the file became shorter while it was read";

// Compares the last suffix.size() characters (the whole text when shorter).
bool EndsWithNoCase(const QString& text, const char* suffix)
{
    const QLatin1String expected(suffix);
    return text.right(expected.size()).compare(expected, Qt::CaseInsensitive) == 0;
}

bool BeginsWithNoCase(const QString& text, const char* prefix)
{
    const QLatin1String expected(prefix);
    return text.left(expected.size()).compare(expected, Qt::CaseInsensitive) == 0;
}

} // namespace

QString DefaultConfigFileProposal(const QString& lastConfigPath)
{
    const QString name = QString::fromLatin1(kConfigFileDefaultName);
    if (lastConfigPath.isEmpty())
        return name;
    return lastConfigPath + kPathSeparator + name;
}

bool IsSilentConfigFileAccepted(const QString& path)
{
    return EndsWithNoCase(path, kConfigExtensionEeprom) || EndsWithNoCase(path, kConfigExtensionBtp) ||
           EndsWithNoCase(path, kConfigExtensionBpp);
}

bool IsSilentFirmwareFileAccepted(const QString& path)
{
    return BeginsWithNoCase(FileNameOfPath(path), kFirmwareFileNamePrefix) &&
           EndsWithNoCase(path, kFirmwareFileSuffix);
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

QString ConfigFileExtension(const QString& fileName)
{
    const QString upper = fileName.toUpper();
    return upper.mid(upper.lastIndexOf(kExtensionSeparator) + 1).trimmed();
}

std::optional<int> ConfigFileTypeFromExtension(const QString& extension)
{
    if (extension.compare(QLatin1String(kConfigExtensionBtp), Qt::CaseInsensitive) == 0)
        return DEVICE_TYPE_BTP;
    if (extension.compare(QLatin1String(kConfigExtensionBpp), Qt::CaseInsensitive) == 0)
        return DEVICE_TYPE_BPP;
    if (extension.compare(QLatin1String(kConfigExtensionEeprom), Qt::CaseInsensitive) == 0)
        return DEVICE_TYPE_ANY;
    return std::nullopt;
}

std::optional<int> ConfigFileTypeFromName(const QString& fileName)
{
    return ConfigFileTypeFromExtension(ConfigFileExtension(fileName));
}

bool ConfigFileFitsDevice(int fileType, const QString& upperFileName, int deviceType)
{
    if (fileType == deviceType)
        return true;
    return fileType == DEVICE_TYPE_ANY && upperFileName.indexOf(QLatin1String(kEepromConfigFileMarker)) > 0;
}

QString ReplaceFilePlaceholders(const QString& path, const QString& lastFolder, const QString& lastName)
{
    QString result = path;
    result.replace(QLatin1String(kPlaceholderFilePath), lastFolder, Qt::CaseSensitive);
    result.replace(QLatin1String(kPlaceholderFileName), lastName, Qt::CaseSensitive);
    return result;
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
    return true;
}

FileReadResult ImageFile::ReadInto(FileImage& image)
{
    image.Free();
    if (fd_ < 0)
        return FileReadResult::OpenFailed;
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
