#include "ui/profile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ui {
namespace {

QString KeyPath(const QString& section, const QString& key)
{
    return section + u'/' + key;
}

bool IsIniBlank(char byte)
{
    return byte == ' ' || byte == '\t';
}

// Before and after each byte that stands for a character in an escape: "\x" and the code,
// then the unknown escape "\z", which reads as nothing and so ends the code's digits.
constexpr char kHexadecimalEscape[] = "\\x";
constexpr char kEndOfEscape[] = "\\z";
constexpr int kHexadecimal = 16;

// The in-memory copy of the profile: its name as the kernel lists it, and the folder in which
// each of the process's descriptors has a name that opens its file.
constexpr char kInMemoryCopyName[] = "jetvane-profile";
constexpr char kDescriptorFolder[] = "/proc/self/fd/";

// The text of an INI file with each comma, and the blanks around it, written as escapes,
// which QSettings reads as those characters and never as a list's separator or as blanks to
// drop. A comma in quotes reads as before, one in a comment stays in the comment, and one
// that a backslash escapes is left alone. Commas, blanks and backslashes are single bytes in
// UTF-8, never part of another character.
QByteArray WithCommasEscaped(QByteArrayView text)
{
    QByteArray escaped;
    qsizetype copied = 0;   // text up to here is in escaped
    qsizetype solidEnd = 0; // after the last byte that is no blank
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text[at] == '\\') {
            at = std::min(at + 1, text.size() - 1);
            solidEnd = at + 1;
            continue;
        }
        if (text[at] != ',') {
            if (!IsIniBlank(text[at]))
                solidEnd = at + 1;
            continue;
        }
        qsizetype separatorEnd = at + 1;
        while (separatorEnd < text.size() && IsIniBlank(text[separatorEnd]))
            ++separatorEnd;
        escaped += text.sliced(copied, solidEnd - copied);
        for (const char byte : text.sliced(solidEnd, separatorEnd - solidEnd))
            escaped += kHexadecimalEscape + QByteArray::number(byte, kHexadecimal) + kEndOfEscape;
        copied = solidEnd = separatorEnd;
        at = separatorEnd - 1;
    }
    escaped += text.sliced(copied);
    return escaped;
}

// The value as QSettings reads it from a copy; nothing when it cannot read the copy.
std::optional<QString> ReadCopy(const QString& copyName, const QString& keyPath)
{
    const QVariant value = QSettings(copyName, QSettings::IniFormat).value(keyPath);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

// False unless every byte of text reached the file (a full or limited file system fails a
// write, or only the flush or the close of a buffered one).
bool WriteWhole(QFile& copy, QByteArrayView text)
{
    const bool written = copy.write(text.data(), text.size()) == text.size() && copy.flush();
    copy.close();
    return written && copy.error() == QFileDevice::NoError;
}

// A copy in memory, which no temporary folder's state can stop or cut. QSettings reads it by
// its descriptor's name, and keeps what it read of a file by name while the file's size and
// modification time stay the same; descriptor numbers come back, so each copy is given a
// time of its own.
std::optional<QString> ReadInMemoryCopy(QByteArrayView text, const QString& keyPath)
{
    static std::atomic<std::int64_t> copiesMade{0};
    const int fd = ::memfd_create(kInMemoryCopyName, MFD_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const timespec copyTime{static_cast<time_t>(++copiesMade), 0};
    const timespec times[2] = {copyTime, copyTime}; // accessed, modified
    std::optional<QString> value;
    QFile copy;
    if (copy.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) && WriteWhole(copy, text) &&
        ::futimens(fd, times) == 0)
        value = ReadCopy(QString::fromLatin1(kDescriptorFolder) + QString::number(fd), keyPath);
    ::close(fd);
    return value;
}

// A copy in a temporary folder, for where there is no copy in memory.
std::optional<QString> ReadFileCopy(const QString& fileName, QByteArrayView text, const QString& keyPath)
{
    const QTemporaryDir folder;
    if (!folder.isValid())
        return std::nullopt;
    const QString copyName = folder.filePath(QFileInfo(fileName).fileName());
    QFile copy(copyName);
    if (!copy.open(QIODevice::WriteOnly) || !WriteWhole(copy, text))
        return std::nullopt;
    return ReadCopy(copyName, keyPath);
}

// QSettings reads a value with unquoted commas, as somebody may write one by hand, as a list
// and drops each comma with the blanks around it. A copy of the file with its commas escaped
// gives QSettings the value to read whole, so that everything else in it (escapes, quotes, a
// comment, a line continued) reads as in a value without a comma. Nothing when no copy can
// be made whole.
std::optional<QString> ReadWithCommas(const QString& fileName, const QString& keyPath)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray escaped = WithCommasEscaped(file.readAll());
    if (std::optional<QString> value = ReadInMemoryCopy(escaped, keyPath))
        return value;
    return ReadFileCopy(fileName, escaped, keyPath);
}

} // namespace

QString GetProfileString(const QString& section, const QString& key, const QString& defaultValue)
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kProfileOrganisation),
                             QString::fromLatin1(kProgramName));
    const QVariant value = settings.value(KeyPath(section, key));
    if (!value.isValid())
        return defaultValue;
    // A list of items that are not all text (one begins with '@') is a QVariantList.
    if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList)
        return ReadWithCommas(settings.fileName(), KeyPath(section, key)).value_or(value.toStringList().join(u','));
    return value.toString();
}

bool WriteProfileString(const QString& section, const QString& key, const QString& value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kProfileOrganisation),
                       QString::fromLatin1(kProgramName));
    settings.setValue(KeyPath(section, key), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::optional<std::string> ProfilePortMapSource::Lookup(const std::string& key) const
{
    const QString value = GetProfileString(QString::fromLatin1(kPortsSection), QString::fromStdString(key));
    if (value.isEmpty())
        return std::nullopt;
    return value.toStdString();
}

void InstallProfilePortMap()
{
    static ProfilePortMapSource source;
    platform::SetPortMapSource(&source);
}

} // namespace ui
