#include "app/file_choice.h"

#include "comms/device_types.h"
#include "comms/printer_codes.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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


std::uint8_t ConfigFileCommand(int fileType)
{
    return fileType == DEVICE_TYPE_ANY ? CMD_SET_EEPROM_SETTINGS : CMD_SET_SETTINGS;
}

QString ReplaceFilePlaceholders(const QString& path, const QString& lastFolder, const QString& lastName)
{
    QString result = path;
    result.replace(QLatin1String(kPlaceholderFilePath), lastFolder, Qt::CaseSensitive);
    result.replace(QLatin1String(kPlaceholderFileName), lastName, Qt::CaseSensitive);
    return result;
}
