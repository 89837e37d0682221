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
#include <optional>

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

// QSettings reads a value with unquoted commas, as somebody may write one by hand, as a list
// and drops each comma with the blanks around it. A copy of the file with its commas escaped
// gives QSettings the value to read whole, so that everything else in it (escapes, quotes, a
// comment, a line continued) reads as in a value without a comma. Nothing when the copy
// cannot be made.
std::optional<QString> ReadWithCommas(const QString& fileName, const QString& keyPath)
{
    QFile file(fileName);
    const QTemporaryDir folder;
    if (!folder.isValid() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString copyName = folder.filePath(QFileInfo(fileName).fileName());
    QFile copy(copyName);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(WithCommasEscaped(file.readAll())) < 0)
        return std::nullopt;
    copy.close();
    const QVariant value = QSettings(copyName, QSettings::IniFormat).value(keyPath);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
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
