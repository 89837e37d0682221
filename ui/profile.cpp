#include "ui/profile.h"

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

namespace ui {
namespace {

QString KeyPath(const QString& section, const QString& key)
{
    return section + u'/' + key;
}

// The backslash escapes of an INI value, as QSettings reads them.
constexpr std::pair<char16_t, char16_t> kIniEscapes[] = {
    {u'a', u'\a'}, {u'b', u'\b'}, {u'f', u'\f'}, {u'n', u'\n'},  {u'r', u'\r'},  {u't', u'\t'},
    {u'v', u'\v'}, {u'"', u'"'},   {u'?', u'?'},   {u'\'', u'\''}, {u'\\', u'\\'},
};

// An INI value text with its quotes dropped and its escapes read, its commas kept as they
// stand, blanks around them included.
QString UnquotedIniValue(QStringView raw)
{
    QString text;
    for (qsizetype at = 0; at < raw.size(); ++at) {
        const QChar character = raw[at];
        if (character == u'"')
            continue;
        if (character == u'\\' && at + 1 < raw.size()) {
            const auto escape = std::find_if(std::begin(kIniEscapes), std::end(kIniEscapes),
                                             [next = raw[at + 1]](const auto& pair) { return next == pair.first; });
            if (escape != std::end(kIniEscapes)) {
                text += QChar(escape->second);
                ++at;
                continue;
            }
        }
        text += character;
    }
    return text;
}

// The value of key in section as the INI file holds it; nothing when no line holds it.
// QSettings reads a value with unquoted commas, as somebody may write one by hand, as a list
// and drops the blanks around its commas: only the line itself gives the text back whole.
std::optional<QString> IniValueAsWritten(const QString& fileName, const QString& section, const QString& key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    std::optional<QString> value;
    QString currentSection;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            currentSection = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (currentSection == section && equals > 0 && line.left(equals).trimmed() == key)
            value = UnquotedIniValue(QStringView(line).mid(equals + 1).trimmed());
    }
    return value;
}

} // namespace

QString GetProfileString(const QString& section, const QString& key, const QString& defaultValue)
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kProfileOrganisation),
                             QString::fromLatin1(kProgramName));
    const QVariant value = settings.value(KeyPath(section, key));
    if (!value.isValid())
        return defaultValue;
    if (value.typeId() == QMetaType::QStringList)
        return IniValueAsWritten(settings.fileName(), section, key).value_or(value.toStringList().join(u','));
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
