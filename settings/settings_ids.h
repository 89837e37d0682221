#pragma once
// Ids of the settings dialogs' templates and of the controls that the settings engine itself
// addresses. The controls that only the tables name are listed here too, one name each.

// Templates.
inline constexpr int IDD_SETTINGS_BTP = 103;
inline constexpr int IDD_SETTINGS_BPP = 106;
inline constexpr int IDD_SETTINGS_EEPROM = 107;

// Buttons of every settings dialog.
inline constexpr int IDC_UPDATE_DEFAULTS = 1000;      // "Update &Defaults"; "Up&date EEPROM" in the EEPROM dialog
inline constexpr int IDC_UPDATE_ALL_CONFIGS = 1001;
inline constexpr int IDC_SETTINGS_CANCEL = 1002;
inline constexpr int IDC_SAVE_TO_FILE = 1004;
inline constexpr int IDC_LOAD_FROM_FILE = 1005;
inline constexpr int IDC_RESET_TO_DEFAULTS = 1059;

// Controls with a part of their own in the engine.
inline constexpr int IDC_PROTOCOL = 1009;
inline constexpr int IDC_ACK_TIMEOUT = 1010;
inline constexpr int IDC_PLATEN_ERR = 1028;
inline constexpr int IDC_DEVICE_TYPE = 1030;
inline constexpr int IDC_PERFORM_SPEED = 1031;
