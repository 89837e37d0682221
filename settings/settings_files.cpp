#include "settings/settings_files.h"

#include "comms/device_types.h"
#include "settings/settings_dialog_definition.h"

namespace {

int OtherFamily(int family)
{
    return family == DEVICE_TYPE_BPP ? DEVICE_TYPE_BTP : DEVICE_TYPE_BPP;
}

} // namespace

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

SettingsFileFit FitOfSettingsFile(const SettingsDialogDefinition& definition, const QString& fileName,
                                  const RecordFamilies& named)
{
    // A dialog without a device type edits the EEPROM settings, whose files are DEVICE_TYPE_ANY.
    const int family = definition.ownDeviceType != 0 ? definition.ownDeviceType : DEVICE_TYPE_ANY;
    SettingsFileFit fit;
    fit.byName = ConfigFileTypeFromName(fileName);
    const auto isPrinterFamily = [](std::optional<int> which) {
        return which == DEVICE_TYPE_BPP || which == DEVICE_TYPE_BTP;
    };
    if (!isPrinterFamily(family) || !isPrinterFamily(fit.byName)) {
        fit.fits = fit.byName == family;
        return fit;
    }
    if (named.Names(OtherFamily(family)))
        fit.byRecord = OtherFamily(family);
    else if (named.Names(family))
        fit.byRecord = family;
    fit.fits = fit.byName == family && fit.byRecord != OtherFamily(family);
    return fit;
}

SettingsFileFit FitOfSettingsFile(const SettingsDialogDefinition& definition, const QString& fileName,
                                  std::string_view record)
{
    return FitOfSettingsFile(definition, fileName, FamiliesNamedBy(record, definition.tables.settings));
}

bool EepromFileFitsEitherFamily(const QString& fileName)
{
    return fileName.toUpper().indexOf(QLatin1String(kEepromConfigFileMarker)) > 0;
}
