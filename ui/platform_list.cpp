#include "ui/platform_list.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <QStringList>

namespace ui {
namespace {

constexpr char kEntrySeparator = ';';
constexpr char kOptionSeparator = ':';
constexpr char kPlatformPluginPathVariable[] = "QT_QPA_PLATFORM_PLUGIN_PATH";
constexpr char kPluginPathVariable[] = "QT_PLUGIN_PATH";
constexpr char kPlatformsFolder[] = "/platforms";
constexpr char kProgramFile[] = "/proc/self/exe";
// What a platform plugin's metadata says it is, and where its names are.
constexpr char kPlatformPluginInterface[] = "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface";
constexpr char kInterfaceKey[] = "IID";
constexpr char kMetaDataKey[] = "MetaData";
constexpr char kNamesKey[] = "Keys";

QStringList PlatformPluginFolders()
{
    QStringList folders;
    if (const QString extra = qEnvironmentVariable(kPlatformPluginPathVariable); !extra.isEmpty())
        folders << extra;
    for (const QString& path : qEnvironmentVariable(kPluginPathVariable).split(QDir::listSeparator(), Qt::SkipEmptyParts))
        folders << path + QLatin1String(kPlatformsFolder);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QLatin1String(kPlatformsFolder);
    folders << QFileInfo(QLatin1String(kProgramFile)).canonicalPath() + QLatin1String(kPlatformsFolder);
    return folders;
}

bool PluginHasName(const QString& file, const QString& name)
{
    const QJsonObject metaData = QPluginLoader(file).metaData();
    if (!metaData.value(QLatin1String(kInterfaceKey)).toString().startsWith(QLatin1String(kPlatformPluginInterface)))
        return false;
    const QJsonArray names = metaData.value(QLatin1String(kMetaDataKey)).toObject().value(QLatin1String(kNamesKey)).toArray();
    for (const QJsonValue& key : names) {
        if (key.toString().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

QList<PlatformEntry> ReadPlatformList(const QByteArray& list)
{
    QList<PlatformEntry> entries;
    for (const QByteArray& text : list.split(kEntrySeparator)) {
        for (const QByteArray& part : text.split(kOptionSeparator)) {
            if (!part.isEmpty()) {
                entries.append(PlatformEntry{text, part.toLower()});
                break;
            }
        }
    }
    return entries;
}

QByteArray PlatformListText(const QList<PlatformEntry>& entries)
{
    QByteArray text;
    for (const PlatformEntry& entry : entries) {
        if (!text.isEmpty())
            text += kEntrySeparator;
        text += entry.text;
    }
    return text;
}

bool InstalledPlatform(const QByteArray& name)
{
    const QString wanted = QString::fromLatin1(name);
    for (const QString& folder : PlatformPluginFolders()) {
        const QDir plugins(folder);
        for (const QString& file : plugins.entryList(QDir::Files)) {
            if (QLibrary::isLibrary(file) && PluginHasName(plugins.filePath(file), wanted))
                return true;
        }
    }
    return false;
}

} // namespace ui
