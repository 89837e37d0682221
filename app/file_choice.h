#pragma once
// Choosing, naming and reading the configuration and firmware files of the main dialog's
// Send Config File and Load Firmware.
//
// Everything here runs on the user-interface thread; nothing keeps state between calls
// except an open ImageFile.

#include "firmware/firmware_image.h"
#include "settings/settings_files.h"
#include "ui/files.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// ---- file dialogs (filters in the "description|patterns|...||" form)
inline constexpr char kConfigFileDefaultExtension[] = "QV_BTP_CFG";
inline constexpr char kConfigFileDefaultName[] = "Jetvane.QV_BTP_CFG";
inline constexpr char kConfigFileFilter[] =
    "Configuration Files (*.QV_BTP_CFG,*.QV_BPP_CFG,*.QV_EEPROM_CFG)|*.QV_BTP_CFG; *.QV_BPP_CFG; *.QV_EEPROM_CFG||";
inline constexpr char kFirmwareFileDefaultExtension[] = "BIN";
inline constexpr char kFirmwareFileFilter[] =
    "Firmware Files (*.BIN)|F2QV1_*.BIN;F2QV1_*.LNK|All Files (*.*)|*||";

// The dialog's proposal when no configuration file was chosen before: the default name
// in the settings dialogs' folder, or alone when that folder is unknown.
QString DefaultConfigFileProposal(const QString& lastConfigPath);

// Name checks of a SILENT run, which shows no file dialog (without regard to case):
// a configuration path must end in one of the three extensions (a shorter path is
// compared whole); a firmware file's name must begin with kFirmwareFileNamePrefix and
// the path end in kFirmwareFileSuffix.
bool IsSilentConfigFileAccepted(const QString& path);
bool IsSilentFirmwareFileAccepted(const QString& path);

// The command byte of the frame that a configuration file of a type must hold: EEPROM
// files (DEVICE_TYPE_ANY) update the EEPROM settings, the others the settings.
std::uint8_t ConfigFileCommand(int fileType);
// Every "<%FilePath%>" replaced by lastFolder, then every "<%FileName%>" by lastName
// (case-sensitive).
QString ReplaceFilePlaceholders(const QString& path, const QString& lastFolder, const QString& lastName);

