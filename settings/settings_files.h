#pragma once
// Configuration files of the settings dialogs. A file holds exactly one printer frame (a
// stored message: flags 0, direction 0) whose payload is a settings record; the main
// dialog's Send Config File sends that frame to a printer as it stands.
//
// Which printer family a settings file is for, by its name and its record, is decided here
// for both: Send Config File checks it against the printer found, Load From File against the
// dialog's own family.

#include "settings/settings_record.h"

#include <QString>

#include <optional>
#include <string_view>

struct SettingsDialogDefinition;

// Profile value (section kProfileSection): the folder of the last configuration file that
// a settings dialog saved or loaded. The main dialog proposes it too.
inline constexpr char kProfileLastLoadConfigPath[] = "LastLoadConfigPath";

// The file name a dialog proposes: the program's name, then "_" and the protocol when the
// dialog's file kind names it, then the extension.
inline constexpr char kConfigFileProtocolSeparator[] = "_";

// Stands before the extension of a file name.
inline constexpr QChar kExtensionSeparator = u'.';

// ---- configuration file types, by extension (without regard to case)
inline constexpr char kConfigExtensionBtp[] = "QV_BTP_CFG";
inline constexpr char kConfigExtensionBpp[] = "QV_BPP_CFG";
inline constexpr char kConfigExtensionEeprom[] = "QV_EEPROM_CFG";
// An EEPROM configuration file fits either printer family when its name holds this.
inline constexpr char kEepromConfigFileMarker[] = ".QV_EEPROM_CFG";

// The extension of a file name: upper-cased, the text after its last "." (the whole name
// without one), trimmed of white space.
QString ConfigFileExtension(const QString& fileName);
// The configuration file type of an extension, or nothing when it names no known type:
// DEVICE_TYPE_BTP, DEVICE_TYPE_BPP, or DEVICE_TYPE_ANY for an EEPROM file.
std::optional<int> ConfigFileTypeFromExtension(const QString& extension);
std::optional<int> ConfigFileTypeFromName(const QString& fileName);

// Whether a configuration file fits the settings it is to change, and what its name and its
// record say.
struct SettingsFileFit {
    bool fits = false;
    // By the extension; DEVICE_TYPE_ANY: an EEPROM file. None: no configuration file.
    std::optional<int> byName;
    // Named by the record's device-type fields (FamiliesNamedBy): the other family when any
    // of them names it, else the family asked about when one names that. Read only for a
    // boarding-pass or bag-tag file and the settings of a printer family.
    std::optional<int> byRecord;

    // The name and the record name different families.
    bool NameAndRecordDisagree() const { return byRecord.has_value() && byRecord != byName; }
};

// The one rule for the settings that a dialog of definition edits. Those of a printer family
// (its own device type, DEVICE_TYPE_BPP or DEVICE_TYPE_BTP): a file fits only when its
// extension names that family and named, what the device-type fields of its record (the
// frame's record that is sent or applied) name as that dialog reads them, is not the other
// family. The EEPROM settings (a definition without a device type): the extension alone
// decides. fileName is the name, or the path, whose text after the last "." is the extension
// (ConfigFileExtension). Nothing named leaves the name to decide.
SettingsFileFit FitOfSettingsFile(const SettingsDialogDefinition& definition, const QString& fileName,
                                  const RecordFamilies& named);
// The same for a record, read with the definition's rows (FamiliesNamedBy). An empty record
// leaves the name to decide.
SettingsFileFit FitOfSettingsFile(const SettingsDialogDefinition& definition, const QString& fileName,
                                  std::string_view record);

// Whether an EEPROM file may go to a printer of either family: kEepromConfigFileMarker stands
// in its name after the first character.
bool EepromFileFitsEitherFamily(const QString& fileName);
