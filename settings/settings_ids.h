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

// Controls of the boarding-pass and bag-tag dialogs. Where the two dialogs give one id two
// meanings, the name says both, boarding-pass meaning first.
inline constexpr int IDC_HDC = 1003;
inline constexpr int IDC_CUT_ON_PRINT = 1006;
inline constexpr int IDC_CUT_ON_IPRINT = 1007;
inline constexpr int IDC_PROKI = 1011;
inline constexpr int IDC_BAUD_RATE = 1012;
inline constexpr int IDC_PARITY = 1013;
inline constexpr int IDC_USER_MODE = 1014;
inline constexpr int IDC_PAPER_TYPE = 1015;
inline constexpr int IDC_DATA_BITS = 1016;
inline constexpr int IDC_X_START = 1017;
inline constexpr int IDC_START_ADJUST = 1018;
inline constexpr int IDC_STOP_ADJUST = 1019;
inline constexpr int IDC_WIDTH = 1020;
inline constexpr int IDC_BTP_LENGTH = 1021;           // numeric; the boarding-pass Length is a choice (1063)
inline constexpr int IDC_CONTRAST = 1022;
inline constexpr int IDC_DOT_FAIL_LIMIT = 1023;
inline constexpr int IDC_GLOBAL_X_START = 1024;
inline constexpr int IDC_GLOBAL_START_ADJ = 1025;
inline constexpr int IDC_GLOBAL_STOP_ADJ = 1026;
inline constexpr int IDC_LB_STOP = 1027;
inline constexpr int IDC_DIRECTION = 1029;            // "BPP Direction" / "BTP Direction"
inline constexpr int IDC_DETECTION = 1032;
inline constexpr int IDC_UNSOL_STATUS = 1033;
inline constexpr int IDC_ERR5_PRINT = 1034;
inline constexpr int IDC_CUT_POS_ADJ = 1035;
inline constexpr int IDC_TRUNCATE_PRINT = 1036;
inline constexpr int IDC_ERR3_IGNORE = 1037;
inline constexpr int IDC_GLOBAL_X_ADJ = 1038;
inline constexpr int IDC_REPRINT_LIMIT = 1042;
inline constexpr int IDC_HOLD_WHEN_CUT = 1044;
inline constexpr int IDC_HOLD_WAIT = 1045;
inline constexpr int IDC_CHECKIN_MODE_DF_BUZZER = 1046;    // Checkin Mode combo / DF Buzzer numeric
inline constexpr int IDC_RFID_MODE = 1047;
inline constexpr int IDC_RFID_VERIFY = 1048;
inline constexpr int IDC_JULIAN_DATE_IN_RESPONSE = 1049;
inline constexpr int IDC_LICENSE_PLATE_ID_IN_RESPONSE = 1050;
inline constexpr int IDC_ENCODE_RETRIES = 1051;
inline constexpr int IDC_DROP_CTS_ON_OOP = 1052;
inline constexpr int IDC_TOP_ADJ_TICKET_IN_CUTTER = 1053;  // Top Adj numeric / Ticket In Cutter (SQOK) check
inline constexpr int IDC_LEFT_ADJUST_ALPHA_LOGO = 1054;    // Left Adjust numeric / Alpha Logo Number check
inline constexpr int IDC_BPP_PRINT_GRID = 1055;
inline constexpr int IDC_TK_C01_CHECK = 1056;
inline constexpr int IDC_BLACK_MK_ADJ = 1057;
inline constexpr int IDC_FIXED_LEN = 1058;
inline constexpr int IDC_INCLUDE_VSR = 1061;
inline constexpr int IDC_KEEP_FOR_CONFIRMATION = 1062;
inline constexpr int IDC_BPP_LENGTH = 1063;
inline constexpr int IDC_BTP_PRINT_GRID = 1064;

// Static texts of the engineering rows, shown and hidden with their edits.
inline constexpr int IDC_GLOBAL_X_START_LABEL = 1008;
inline constexpr int IDC_GLOBAL_X_ADJ_LABEL = 1039;
inline constexpr int IDC_GLOBAL_START_ADJ_LABEL = 1040;
inline constexpr int IDC_GLOBAL_STOP_ADJ_LABEL = 1041;
inline constexpr int IDC_REPRINT_LIMIT_LABEL = 1043;

// Controls of the EEPROM dialog.
inline constexpr int IDC_BLACK_MARK_STYLE = 1065;
inline constexpr int IDC_CUT_LINE_OFFSET = 1066;
inline constexpr int IDC_READ_POWER = 1067;
inline constexpr int IDC_WRITE_POWER = 1068;
inline constexpr int IDC_REGION = 1069;
inline constexpr int IDC_USE_FIRST_BLACK_MARK = 1070;
inline constexpr int IDC_ENABLE_STOCK_PARKING = 1071;
inline constexpr int IDC_ENABLE_BEEPER = 1072;
