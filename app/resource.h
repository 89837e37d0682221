#pragma once
// Ids of the main dialog's template and controls.

inline constexpr int IDD_JETVANE_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128; // the program's icon

inline constexpr int IDC_EDIT_DEFAULT_CONFIG = 1001;
inline constexpr int IDC_EXIT = 1002;
inline constexpr int IDC_SEND_CONFIG_FILE = 1003;
inline constexpr int IDC_STATUS = 1004;
inline constexpr int IDC_PRINT_TEST_DOCUMENT = 1005;
inline constexpr int IDC_ROM_OPTIONS = 1006;
inline constexpr int IDC_SET_CLOCK = 1007;
inline constexpr int IDC_PORT = 1008;
inline constexpr int IDC_EDIT_EEPROM_CONFIG = 1009;
inline constexpr int IDC_LOAD_FIRMWARE = 1010;
