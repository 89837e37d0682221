#pragma once
// Names of the values that the main dialog keeps in the per-user profile.

#include "settings/settings_files.h"
#include "ui/profile.h"

using ui::kProfileSection;

// Full path of the last chosen firmware file (after shortcut resolution); the initial
// file of the next Load Firmware.
inline constexpr char kProfileLastLoadFirmwareFile[] = "LastLoadFirmwareFile";
// Full path of the last chosen configuration file to send.
inline constexpr char kProfileLastLoadMainConfigFile[] = "LastLoadMainConfigFile";
// Folder and name of the last loaded firmware file: what the placeholders stand for.
inline constexpr char kProfileLastLoadedFirmwareFilePath[] = "LastLoadedFirmwareFilePath";
inline constexpr char kProfileLastLoadedFirmwareFileName[] = "LastLoadedFirmwareFileName";
// Folder and name (as chosen, before upper-casing) of the last loaded configuration file.
inline constexpr char kProfileLastLoadedMainConfigFilePath[] = "LastLoadedMainConfigFilePath";
inline constexpr char kProfileLastLoadedMainConfigFileName[] = "LastLoadedMainConfigFileName";
// A port text shown in the port combo at start-up; the program never writes it.
inline constexpr char kProfilePortConnect[] = "PortConnect";
