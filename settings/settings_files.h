#pragma once
// Configuration files of the settings dialogs. A file holds exactly one printer frame (a
// stored message: flags 0, direction 0) whose payload is a settings record; the main
// dialog's Send Config File sends that frame to a printer as it stands.

// Profile value (section kProfileSection): the folder of the last configuration file that
// a settings dialog saved or loaded. The main dialog proposes it too.
inline constexpr char kProfileLastLoadConfigPath[] = "LastLoadConfigPath";

// The file name a dialog proposes: the program's name, then "_" and the protocol when the
// dialog's file kind names it, then the extension.
inline constexpr char kConfigFileProtocolSeparator[] = "_";
