#include "settings/settings_files.h"

#include "comms/device_types.h"
#include "settings/settings_definitions.h"
#include "settings/settings_record.h"

namespace {

int OtherFamily(int family)
{
    return family == DEVICE_TYPE_BPP ? DEVICE_TYPE_BTP : DEVICE_TYPE_BPP;
}

// The rows of the dialog that edits a family's settings.
std::span<const SettingDescriptor> RowsOf(int family)
{
    return (family == DEVICE_TYPE_BPP ? BppSettingsDefinition() : BtpSettingsDefinition()).tables.settings;
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

SettingsFileFit FitOfSettingsFile(int family, const QString& fileName, std::string_view record)
{
    SettingsFileFit fit;
    fit.byName = ConfigFileTypeFromName(fileName);
    const auto isPrinterFamily = [](std::optional<int> which) {
        return which == DEVICE_TYPE_BPP || which == DEVICE_TYPE_BTP;
    };
    if (!isPrinterFamily(family) || !isPrinterFamily(fit.byName)) {
        fit.fits = fit.byName == family;
        return fit;
    }
    const RecordFamilies named = FamiliesNamedBy(record, RowsOf(family));
    if (named.Names(OtherFamily(family)))
        fit.byRecord = OtherFamily(family);
    else if (named.Names(family))
        fit.byRecord = family;
    fit.fits = fit.byName == family && fit.byRecord != OtherFamily(family);
    return fit;
}

bool EepromFileFitsEitherFamily(const QString& fileName)
{
    return fileName.toUpper().indexOf(QLatin1String(kEepromConfigFileMarker)) > 0;
}
