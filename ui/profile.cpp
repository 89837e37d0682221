#include "ui/profile.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace ui {
namespace {

QString KeyPath(const QString& section, const QString& key)
{
    return section + u'/' + key;
}

} // namespace

QString GetProfileString(const QString& section, const QString& key, const QString& defaultValue)
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kProfileOrganisation),
                             QString::fromLatin1(kProgramName));
    const QVariant value = settings.value(KeyPath(section, key));
    if (!value.isValid())
        return defaultValue;
    // An INI value written by hand with unquoted commas reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
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
