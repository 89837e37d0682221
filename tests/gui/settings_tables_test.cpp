// The settings dialogs' tables as the printers' documentation gives them, row by row: every
// setting's key, control, label, access level, text lengths, range, kind, encoding and
// restricted flag; every choice of every combo with its code; every tool tip. Where a dialog
// shows a row cheaply it is checked there: the entries a combo lists, the code under which a
// choice is read and written, the range and step of a number, the tip over a control.

#include "settings_dialog_fixture.h"

#include "settings/custom_controls.h"
#include "settings/settings_definitions.h"

#include <QLineEdit>
#include <QWheelEvent>

#include <algorithm>
#include <map>
#include <ostream>
#include <span>

namespace settings_test {
namespace {

// Control kinds and value encodings, as the tables number them.
constexpr int kEdit = 0;
constexpr int kNumber = 1;
constexpr int kEditCombo = 2;
constexpr int kList = 3;
constexpr int kCheck = 4;
constexpr int kChoice = 0;
constexpr int kNum = 1;
constexpr int kHex = 2;

// group, parameter, control, label control, access level, text length minimum and maximum,
// range minimum and maximum, step (0 where the table gives none: it counts as 1), kind,
// encoding, restricted.
struct SettingRow {
    char group;
    int parameter;
    int control;
    int label;
    int level;
    unsigned minLength;
    unsigned maxLength;
    int minimum;
    int maximum;
    unsigned step;
    int kind;
    int encoding;
    bool restricted;
    bool operator==(const SettingRow&) const = default;
};

void PrintTo(const SettingRow& r, std::ostream* out)
{
    *out << "{'" << r.group << "' 0x" << std::hex << r.parameter << std::dec << ", " << r.control << ", " << r.label
         << ", level " << r.level << ", length " << r.minLength << "-" << r.maxLength << ", range " << r.minimum
         << ".." << r.maximum << ", step " << r.step << ", kind " << r.kind << ", encoding " << r.encoding
         << (r.restricted ? ", restricted}" : "}");
}

struct ChoiceRow {
    int control;
    int code;
    const char* display;
    const char* protocolCode;
};

struct TipRow {
    int control;
    const char* text;
};

// ---- the boarding-pass dialog

constexpr SettingRow kBppSettings[] = {
    {'~', 0x11, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Protocol: protocol code list
    {'~', 0x12, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Protocol: protocol code list
    {'~', 0x14, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Protocol: model
    {'~', 0x15, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Protocol: serial number
    {'~', 0x01, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},  // Protocol
    {'~', 0x02, 1014, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},  // User Mode
    {'~', 0x10, 1030, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Device Type: device type list
    {'~', 0x03, 1030, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},  // Device Type
    {'~', 0x04, 1012, 0, 0, 1, 7, 0, 0, 0, kList, kNum, true},  // Baud Rate
    {'~', 0x05, 1013, 0, 0, 1, 1, 0, 0, 0, kList, kHex, true},  // Parity
    {'~', 0x06, 1016, 0, 0, 1, 1, 0, 0, 0, kList, kHex, true},  // Data Bits
    {'~', 0x08, 1029, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // BPP Direction
    {'~', 0x09, 1010, 0, 0, 1, 5, 0, 0, 0, kList, kNum, true},  // Ack Timeout
    {'~', 0x17, 1024, 1008, 1, 1, 4, 0, 128, 0, kNumber, kNum, true},  // Global X Start
    {'~', 0x18, 1025, 1040, 1, 1, 4, -100, 100, 0, kNumber, kNum, true},  // Global Start Adj
    {'~', 0x19, 1026, 1041, 1, 1, 4, -100, 100, 0, kNumber, kNum, true},  // Global Stop Adj
    {'~', 0x1A, 1038, 1039, 1, 1, 4, -128, 128, 0, kNumber, kNum, true},  // Global X Adj
    {'~', 0x13, 1042, 1043, 1, 1, 2, 1, 9, 0, kNumber, kNum, true},  // Reprint Limit
    {'}', 0x53, 1063, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // Length
    {'}', 0x0A, 1003, 0, 0, 1, 5, 0, 0, 0, kEdit, kHex, true},  // HDC
    {'}', 0x0C, 1031, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},  // Perform/Speed
    {'}', 0x0D, 1032, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // Detection
    {'}', 0x11, 1037, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // ERR3 Ignore
    {'}', 0x16, 1035, 0, 0, 1, 3, -30, 30, 0, kNumber, kNum, false},  // Cut Pos Adj
    {'}', 0x35, 1057, 0, 0, 1, 3, 0, 999, 0, kNumber, kNum, false},  // Black Mk Adj
    {'}', 0x36, 1058, 0, 0, 1, 4, 1, 999, 0, kNumber, kNum, false},  // Fixed Len
    {'}', 0x39, 1053, 0, 0, 1, 3, -40, 40, 0, kNumber, kNum, false},  // Top Adj
    {'}', 0x3A, 1054, 0, 0, 1, 3, -40, 40, 0, kNumber, kNum, false},  // Left Adjust
    {'}', 0x07, 1022, 0, 0, 1, 2, 0, 10, 0, kNumber, kNum, true},  // Contrast
    {'}', 0x0E, 1006, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Cut on Print
    {'}', 0x3B, 1061, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Include VSR
    {'}', 0x10, 1044, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},  // Hold When Cut
    {'}', 0x3D, 1056, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // TK#C01 Check
    {'}', 0x12, 1033, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Unsol Status
    {'}', 0x3C, 1062, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Keep for Confirmation
    {'}', 0x2B, 1052, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},  // Drop CTS on OOP
    {'}', 0x52, 1055, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Print Grid
    {'}', 0x05, 1023, 0, 0, 1, 4, 1, 999, 0, kNumber, kNum, true},  // Dot Fail Limit
    {'}', 0x18, 1028, 0, 0, 1, 4, -100, 100, 0, kNumber, kNum, true},  // Platen Err
    {'}', 0x1F, 1045, 0, 0, 1, 2, 0, 99, 0, kNumber, kNum, true},  // Hold Wait
    {'}', 0x51, 1046, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // Checkin Mode
};

constexpr ChoiceRow kBppChoices[] = {
    {1009, 2, "Simple AEA", "AEA"},
    {1009, 254, "FGL", "FGL"},
    {1031, 78, "NORMAL", ""},
    {1031, 72, "HIGH", ""},
    {1031, 85, "ULTRAHIGH", ""},
    {1032, 16, "HOLE", ""},
    {1032, 17, "SILICON", ""},
    {1032, 18, "BLACKMK", ""},
    {1032, 19, "AUTO", ""},
    {1037, 1, "PRINT+PROK", ""},
    {1037, 69, "PRINT+ERR3", ""},
    {1037, 0, "DONT PRINT", ""},
    {1014, 9, "SU/SC", ""},
    {1014, 17, "SU/MC", ""},
    {1014, 10, "MU/MC", ""},
    {1046, 31, "NONE", ""},
    {1046, 29, "CHECKIN", ""},
    {1046, 30, "TICKET", ""},
    {1063, 800, "8 Inches", ""},
    {1063, 738, "7 3/8 Inches", ""},
};

constexpr TipRow kBppTips[] = {
    {1009, "Select Airport/Airline Protocol\r\n(e.g. SITA, Simple AEA ...)"},
    {1014,
     "Select relevant user mode:\r\n - SUSC - Single-User/Single-Context\r\n - SUMC - "
     "Single-User/Multi-Context\r\n - MUMC - Multi-User/Multi-Context"},
    {1030, ""},
    {1012, ""},
    {1013, ""},
    {1016, ""},
    {1029,
     "Reverse the direction in which the coupon is printed.\r\nThis is a global setting that affects all "
     "users."},
    {1010, "Maximum time for a protocol message to be acknowledged"},
    {1042, "The amount of times a printer retries a print before erroring."},
    {1024,
     "Global Changes the origin of the print position along the print head (0.125 mm units)\r\nCannot be "
     "changed by parameters."},
    {1025, "Global Y (vertical) start print offset in 0.125mm units\r\nCannot be changed by parameters."},
    {1026, "Global Y (vertical) adjustments after print in 0.125 mm units\r\nCannot be changed by parameters."},
    {1003, "Enter the printers default HDC (Hardcode). This can be 1 to 5 alpha numeric characters long"},
    {1031, "Selects the label printing speed."},
    {1032, "Indicates the method of detecting the end of a document."},
    {1037, "Enables the printer to print data, regardless whether it would result in an ERR3 condition."},
    {1035, "Shifts the cut position of the cutter in 0,125 mm units.\r\nValid Range From -40 to +40"},
    {1057,
     "Black mark offset to the top of form when detection is set to AUTO. Offset is 1/10th mm "
     "units.\r\nValid Range From 0 to 9999"},
    {1058,
     "Fixed length for when detection is set to AUTO. Fixed length is in \r\n1mm units, or \r\n800 (8\") "
     "or \r\n738 (7 3/8\") boarding pass stock.\r\nValid Range From 1 to 999"},
    {1053, "Changes the top print offset in 0.125 mm units.\r\nValid Range From -40 to +40"},
    {1054, "Changes the left print offset in 0.125 mm units.\r\nValid Range From -40 to +40"},
    {1022, "Print contrast\r\nValid Range From 1 to 9"},
    {1006, "Enables cut on print.\r\n\r\nNOTE:\r\nThis setting cannot be changed for a cutter only device."},
    {1061, "Defines whether the PROK and error responses have to include the VSR parameters."},
    {1044,
     "Enables the printer to cut and hold the cut paper. The next tag is only printed when the tag is "
     "removed from the hold.\r\n\r\nNOTE:\r\nThis setting allows the printer to print before a ticket has "
     "been taken."},
    {1056, "Enables test of presence of TK#C01 and order of flight coupons."},
    {1033, "Allow the device to send unsolicited status messages."},
    {1062,
     "Enables the printer to either send or ignore sending the fields defined as \"keep for "
     "confirmation\" in the pectab."},
    {1052,
     "When printer goes out of paper or has a paper jam, then the error messages will be sent and the CTS "
     "signal dropped."},
    {1055,
     "Print a background positioning grid to assist with designing pectabs.\n\n-- DO NOT USE IN LIVE "
     "ENVIRONMENT --"},
    {1023, "Qty dots that can fail before ERR5Dxx is returned\r\nValid Range From 1 to 999"},
    {1028, "Tag length is adjusted according to the value set (+100 = 10%)."},
    {1045, "How long to wait in seconds before sending ERR5100 when using CUTHOLD on SITA."},
    {1046, "Allows the selection of TICKETING (TSOK), CHECKIN (CSOK) or NO (PSOK) Modes."},
    {1063, "Allows the selection of default supported BPP stock lengths."},
};

// ---- the bag-tag dialog

constexpr SettingRow kBtpSettings[] = {
    {'~', 0x11, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Protocol: protocol code list
    {'~', 0x12, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Protocol: protocol code list
    {'~', 0x14, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Protocol: model
    {'~', 0x15, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Protocol: serial number
    {'~', 0x01, 1009, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},  // Protocol
    {'~', 0x02, 1014, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},  // User Mode
    {'~', 0x10, 1030, 0, 0, 0, 0, 0, 0, 0, kList, kHex, true},  // Device Type: device type list
    {'~', 0x03, 1030, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},  // Device Type
    {'~', 0x04, 1012, 0, 0, 1, 7, 0, 0, 0, kList, kNum, true},  // Baud Rate
    {'~', 0x05, 1013, 0, 0, 1, 1, 0, 0, 0, kList, kHex, true},  // Parity
    {'~', 0x06, 1016, 0, 0, 1, 1, 0, 0, 0, kList, kHex, true},  // Data Bits
    {'~', 0x08, 1029, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // BTP Direction
    {'~', 0x09, 1010, 0, 0, 1, 5, 0, 0, 0, kList, kNum, true},  // Ack Timeout
    {'~', 0x0B, 1024, 1008, 1, 1, 4, 0, 128, 0, kNumber, kNum, true},  // Global X Start
    {'~', 0x0C, 1025, 1040, 1, 1, 4, -100, 100, 0, kNumber, kNum, true},  // Global Start Adj
    {'~', 0x0D, 1026, 1041, 1, 1, 4, -100, 100, 0, kNumber, kNum, true},  // Global Stop Adj
    {'~', 0x0E, 1038, 1039, 1, 1, 4, -128, 128, 0, kNumber, kNum, true},  // Global X Adj
    {'~', 0x0F, 1042, 1043, 1, 1, 2, 1, 9, 0, kNumber, kNum, true},  // Reprint Limit
    {'}', 0x0A, 1003, 0, 0, 1, 5, 0, 0, 0, kEdit, kHex, true},  // HDC
    {'}', 0x02, 1017, 0, 0, 1, 3, 0, 640, 0, kNumber, kNum, false},  // X Start
    {'}', 0x03, 1020, 0, 0, 1, 3, 1, 640, 0, kNumber, kNum, false},  // Width
    {'}', 0x04, 1021, 0, 0, 1, 4, 0, 9999, 0, kNumber, kNum, false},  // Length
    {'}', 0x05, 1023, 0, 0, 1, 3, 1, 999, 0, kNumber, kNum, true},  // Dot Fail Limit
    {'}', 0x06, 1011, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // ProkI
    {'}', 0x07, 1022, 0, 0, 1, 2, 0, 10, 0, kNumber, kNum, true},  // Contrast
    {'}', 0x08, 1018, 0, 0, 1, 3, -40, 40, 0, kNumber, kNum, false},  // Start Adjust
    {'}', 0x09, 1019, 0, 0, 1, 3, -40, 40, 0, kNumber, kNum, false},  // Stop Adjust
    {'}', 0x0B, 1015, 0, 0, 1, 20, 0, 0, 0, kEditCombo, kHex, false},  // Paper Type
    {'}', 0x0C, 1031, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, true},  // Perform/Speed
    {'}', 0x0D, 1032, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // Detection
    {'}', 0x0E, 1006, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Cut on Print
    {'}', 0x0F, 1007, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Cut on IPrint
    {'}', 0x10, 1044, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},  // Hold When Cut
    {'}', 0x11, 1037, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // ERR3 Ignore
    {'}', 0x12, 1033, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Unsol Status
    {'}', 0x14, 1036, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // Truncate Print
    {'}', 0x15, 1034, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // ERR5 Print
    {'}', 0x16, 1035, 0, 0, 1, 3, -30, 30, 0, kNumber, kNum, false},  // Cut Pos Adj
    {'}', 0x18, 1028, 0, 0, 1, 4, -100, 100, 0, kNumber, kNum, true},  // Platen Err
    {'}', 0x52, 1064, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Print Grid
    {'}', 0x1F, 1045, 0, 0, 1, 2, 0, 99, 0, kNumber, kNum, true},  // Hold Wait
    {'}', 0x1D, 1027, 0, 0, 1, 5, 0, 5000, 0, kNumber, kNum, false},  // LB Stop
    {'}', 0x20, 1046, 0, 0, 1, 5, 0, 5000, 0, kNumber, kNum, false},  // DF Buzzer
    {'}', 0x2B, 1052, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},  // Drop CTS on OOP
    {'}', 0x54, 1053, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},  // Ticket In Cutter
    {'}', 0x55, 1054, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, true},  // Alpha Logo Number
    {'}', 0x2E, 1047, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // RFID mode
    {'}', 0x2F, 1048, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // RFID verify
    {'}', 0x30, 1049, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // Julian Date In Response
    {'}', 0x31, 1050, 0, 0, 1, 1, 0, 0, 0, kCheck, kNum, false},  // License Plate ID In Response
    {'}', 0x33, 1051, 0, 0, 0, 0, 0, 0, 0, kList, kChoice, false},  // encode retries
};

constexpr ChoiceRow kBtpChoices[] = {
    {1009, 4, "MUSE", "ARIN"},
    {1009, 1, "SITA", "SITA"},
    {1009, 2, "Simple AEA", "AEA"},
    {1009, 254, "FGL", "FGL"},
    {1031, 78, "NORMAL", ""},
    {1031, 72, "HIGH", ""},
    {1031, 85, "ULTRAHIGH", ""},
    {1032, 16, "HOLE", ""},
    {1032, 17, "SILICON", ""},
    {1032, 18, "BLACKMK", ""},
    {1032, 19, "AUTO", ""},
    {1036, 20, "PROK", ""},
    {1036, 21, "ERR3", ""},
    {1036, 22, "IGNO", ""},
    {1037, 1, "PRINT+PROK", ""},
    {1037, 69, "PRINT+ERR3", ""},
    {1037, 0, "DONT PRINT", ""},
    {1014, 9, "SU/SC", ""},
    {1014, 17, "SU/MC", ""},
    {1014, 10, "MU/MC", ""},
    {1047, 48, "RFID Off", ""},
    {1047, 49, "Auto RFID", ""},
    {1047, 50, "RFID On (Optional)", ""},
    {1047, 51, "RFID On (Required)", ""},
    {1048, 48, "Verify Off", ""},
    {1048, 49, "Verify On", ""},
    {1048, 50, "Verify Enhanced (Auto)", ""},
    {1048, 51, "On (3 Voids Max)", ""},
    {1048, 52, "On (4 Voids Max)", ""},
    {1048, 53, "On (5 Voids Max)", ""},
    {1048, 54, "On (6 Voids Max)", ""},
    {1048, 55, "On (7 Voids Max)", ""},
    {1048, 56, "On (8 Voids Max)", ""},
    {1048, 57, "On (9 Voids Max)", ""},
};

constexpr TipRow kBtpTips[] = {
    {1009, "Select Airport/Airline Protocol\r\n(e.g. SITA, Simple AEA ...)"},
    {1014,
     "Select relevant user mode:\r\n - SUSC - Single-User/Single-Context\r\n - SUMC - "
     "Single-User/Multi-Context\r\n - MUMC - Multi-User/Multi-Context"},
    {1030, ""},
    {1012, ""},
    {1013, ""},
    {1016, ""},
    {1029, "Reverse the direction in which the tag is printed.\r\nThis is a global setting that affects all users."},
    {1010, "Maximum time for a protocol message to be acknowledged"},
    {1042, "The amount of times a printer retries a print before erroring."},
    {1024,
     "Global Changes the origin of the print position along the print head (0.125 mm units)\r\nCannot be "
     "changed by parameters."},
    {1025, "Global Y (vertical) start print offset in 0.125mm units\r\nCannot be changed by parameters."},
    {1026, "Global Y (vertical) adjustments after print in 0.125 mm units\r\nCannot be changed by parameters."},
    {1017,
     "Changes the origin of the print position along the print head (0.125 mm units)\r\nValid Range From "
     "0 to 640"},
    {1020, "Width of the stock in 0.125mm units\r\nValid Range From 1 to 640"},
    {1021, "Set up the length of the printable area in 0.125mm units\r\nValid Range From 0 to 9999"},
    {1023, "Qty dots that can fail before ERR5Dxx is returned\r\nValid Range From 1 to 999"},
    {1011, "Enables intermediate tag print confirmation with PROKI"},
    {1022, "Print contrast\r\nValid Range From 1 to 9"},
    {1018, "Y (vertical) start print offset in 0.125mm units\r\nValid Range From -40 to +40"},
    {1019, "Y (vertical) adjustments after print in 0.125 mm units\r\nValid Range From -40 to +40"},
    {1003, "Enter the printers default HDC (Hardcode). This can be 1 to 5 alpha numeric characters long"},
    {1015, "Enter the default paper type."},
    {1031, "Selects the label printing speed."},
    {1032, "Indicates the method of detecting the end of a label."},
    {1006, "Enables cut on print.\r\n\r\nNOTE:\r\nThis setting cannot be changed for a cutter only device."},
    {1007,
     "Enables cut when an intermediate tag is printed.\r\n\r\nNOTE:\r\nThis setting cannot be changed for "
     "a cutter only device."},
    {1044,
     "Enables the printer to cut and hold the cut paper. The next tag is only printed when the tag is "
     "removed from the hold.\r\n\r\nNOTE:\r\nThis setting allows the printer to print before a ticket has "
     "been taken."},
    {1037, "Enables the printer to print data, regardless whether it would result in an ERR3 condition."},
    {1033, "Allow the device to send unsolicited status messages."},
    {1036, "Defines the printer behaviour when bagtag end is detected, but printing is not finished yet."},
    {1034, "Enables the printer to continue print data when ERR5 happens."},
    {1052,
     "When printer goes out of paper or has a paper jam, then the error messages will be sent and the CTS "
     "signal dropped."},
    {1053,
     "Change the SQOK#...#CU= parameter for (Cutter Status) to blocked ‘3’ if there is a ticket not "
     "taken. If there is a cutter error or a ticket not taken, the SQ reply will be SQOK#...#CU=3."},
    {1054,
     "Allow BTP logo numbers to include Alpha Numeric values (A-Z, 0-9). Instead of just numeric as "
     "specified in AEA (00-99)."},
    {1035, "Shifts the cut position of the cutter in 0,125 mm units.\r\nValid Range From -40 to +40"},
    {1028, "Tag length is adjusted according to the value set (+100 = 10%)."},
    {1027,
     "Turns off the top of form sensor from the beginning of the tag to the value specified in dots "
     "(0.125 mm units)"},
    {1045, "How long to wait in seconds before sending ERR5100 when using CUTHOLD on SITA."},
    {1046,
     "Buzzer will be sounded for each print after a dot failure is detected (in "
     "milliseconds).\r\n\r\nSITA: 500ms\r\nAEA: 0ms"},
    {1064,
     "Print a background positioning grid to assist with aligning tag.\n\n-- DO NOT USE IN LIVE "
     "ENVIRONMENT --"},
    {1047,
     "RFID operational mode for if RFID reader is fitted.\r\nIf disabled here, then the printer will not "
     "send any RFID related responses."},
    {1048, "Enables RFID verify and selects the amount of attempts."},
    {1049, "Selects if the Julian Date must be included in the printer response."},
    {1050, "Selects if the License Plate Identifier must be included in the printer response."},
    {1051, "Qty of times that the printer must try and encode the tag before voiding it."},
};

// ---- the EEPROM dialog

constexpr SettingRow kEepromSettings[] = {
    {'~', 0x14, 1065, 0, 0, 0, 0, 0, 0, 1, kList, kHex, false},        // printer model, read only
    {'~', 0x15, 1065, 0, 0, 0, 0, 0, 0, 1, kList, kHex, false},        // serial number, read only
    {'|', 0x10, 1066, 0, 0, 1, 4, -200, 200, 20, kNumber, kNum, false}, // Cut Line Offset
    {'|', 0x11, 1065, 0, 0, 0, 0, 0, 0, 1, kList, kChoice, false},     // Black Mark Style
    {'|', 0x12, 1069, 0, 0, 0, 0, 0, 0, 1, kList, kChoice, false},     // Region
    {'|', 0x13, 1067, 0, 0, 1, 4, 0, 999, 1, kNumber, kNum, false},    // Read Power
    {'|', 0x14, 1068, 0, 0, 1, 4, 0, 999, 1, kNumber, kNum, false},    // Write Power
    {'|', 0x15, 1070, 0, 0, 1, 1, 0, 0, 1, kCheck, kNum, false},       // Use 1st Black Mark
    {'|', 0x16, 1071, 0, 0, 1, 1, 0, 0, 1, kCheck, kNum, false},       // Enable Stock Parking
    {'|', 0x17, 1072, 0, 0, 1, 1, 0, 0, 1, kCheck, kNum, false},       // Enable Beeper
};

constexpr ChoiceRow kEepromChoices[] = {
    {1065, 34, "TOF Before Mark (Default)", ""},
    {1065, 32, "TOF Centered On Mark", ""},
    {1065, 33, "TOF After Mark", ""},
    {1069, 4, "[IN] India (865,000 kHz-867,000 kHz", ""},
    {1069, 5, "[JP] Japan (916,800 kHz-923,400 kHz", ""},
    {1069, 6, "[PRC] People's Republic of China (920,125 kHz-924,875 kHz", ""},
    {1069, 8, "[EU3] European Union 3 (865,600 kHz-867,600 kHz)", ""},
    {1069, 9, "[KR2] Korea 2 (917,000 kHz-923,500 kHz", ""},
    {1069, 11, "[AU] Australia (920,000 kHz-926,000 kHz", ""},
    {1069, 12, "[NZ] New Zealand (922,000 kHz-927,000 kHz", ""},
    {1069, 13, "[NA2] Reduced FCC (NA) region (917,400 kHz-927,200 kHz)", ""},
    {1069, 14, "[NA3] 5MHZ FCC (NA) band (917,500 kHz-922,500 kHz", ""},
    {1069, 16, "[MY] Malaysia", ""},
    {1069, 17, "[ID] Indonesia", ""},
    {1069, 18, "[PH] Philippines", ""},
    {1069, 19, "[TW] Taiwan (922 MHz-928 MHz)", ""},
    {1069, 20, "[MO] Macau (920 MHz-925 MHz", ""},
    {1069, 21, "[RU] Russia (866 MHz-868 MHz", ""},
    {1069, 22, "[SG] Singapore (920 MHz-925 MHz", ""},
};

constexpr TipRow kEepromTips[] = {
    {1066,
     "Select how far the cut line must be from its current position in thousands of an inch. (Default 0) "
     "Range is from -200 to +200 in steps of 20."},
    {1065, "Where the document must be cut at the black mark."},
    {1069, ""},
    {1067, "Range is 0 to 999 centi-dBm (Default: 350 centi-dBm)"},
    {1068, "Range is 0 to 999 centi-dBm (Default: 350 centi-dBm)"},
    {1070,
     "This ensures that the 1st black mark encountered is used. Use 1st Black Mark encountered when "
     "checking stock for black mark and there is a black mark at the begining of the next tag."},
    {1071,
     "Parking is where the stock is moved away from the print head while the printer is idle. Enable this "
     "feature if using self adhesive tags and the printer might be left idle for a period of time.\r\n"
     "(Added MRV41E V6.58)"},
    {1072, "Enable or disable the beeper.\r\n(Added MRV41E V6.63)"},
};

// ---- the three dialogs

enum class Which { Bpp, Btp, Eeprom };

struct DialogTables {
    const char* name;
    Which which;
    const SettingsDialogDefinition& (*definition)();
    std::span<const SettingRow> settings;
    std::span<const ChoiceRow> choices;
    std::span<const TipRow> tips;
};

const DialogTables kDialogs[] = {
    {"boarding-pass", Which::Bpp, &BppSettingsDefinition, kBppSettings, kBppChoices, kBppTips},
    {"bag-tag", Which::Btp, &BtpSettingsDefinition, kBtpSettings, kBtpChoices, kBtpTips},
    {"EEPROM", Which::Eeprom, &EepromSettingsDefinition, kEepromSettings, kEepromChoices, kEepromTips},
};

// A number as the edit shows it: with its sign where the range goes below zero.
QString Shown(int value, bool signedRange)
{
    return signedRange ? QString::asprintf("%+d", value) : QString::number(value);
}

void Turn(QWidget* target, int angleDelta)
{
    QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, angleDelta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

class SettingsTables : public SettingsDialogTest {
protected:
    CSettingsTableDlg& OpenDialog(Which which, int level)
    {
        switch (which) {
        case Which::Bpp: return Open<CJetvaneSettingsBPPDlg>(level);
        case Which::Btp: return Open<CJetvaneSettingsBTPDlg>(level);
        case Which::Eeprom: break;
        }
        return Open<CJetvaneEEPROMSettingsDlg>(level);
    }

    // A key, as the user presses it on the control; what it posts runs before this returns.
    void Key(int control, int key)
    {
        gui_test::PressKey(dialog->GetDlgItem(control).Widget(), key);
        gui_test::ProcessPendingEvents();
    }
    void Wheel(int control, int angleDelta)
    {
        Turn(dialog->GetDlgItem(control).Widget(), angleDelta);
        gui_test::ProcessPendingEvents();
    }
};

TEST_F(SettingsTables, EverySettingRowIsTheDocumentedOne)
{
    for (const DialogTables& d : kDialogs) {
        SCOPED_TRACE(d.name);
        const std::span<const SettingDescriptor> rows = d.definition().tables.settings;
        ASSERT_EQ(rows.size(), d.settings.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const SettingDescriptor& r = rows[i];
            const SettingRow& expected = d.settings[i];
            const SettingRow actual{static_cast<char>(r.group), r.parameter, r.controlId, r.labelControlId,
                                    r.accessLevel, r.minTextLength, r.maxTextLength, r.minimum, r.maximum,
                                    expected.step == 0 ? 0u : r.step, r.kind, r.encoding, r.restricted};
            EXPECT_EQ(actual, expected) << "row " << i + 1;
        }

        // What may be typed into an edit or an edit field is limited to the row's length.
        OpenDialog(d.which, 1);
        for (const SettingRow& row : d.settings) {
            if ((row.kind != kEdit && row.kind != kEditCombo) || row.maxLength == 0)
                continue;
            QWidget* widget = dialog->GetDlgItem(row.control).Widget();
            auto* combo = qobject_cast<QComboBox*>(widget);
            auto* edit = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(widget);
            ASSERT_NE(edit, nullptr) << row.control;
            EXPECT_EQ(edit->maxLength(), static_cast<int>(row.maxLength)) << row.control;
        }
    }
}

// Each combo lists its choices in table order; each choice is read from a record under its
// code and written back under it.
TEST_F(SettingsTables, EveryChoiceIsListedAndTravelsUnderItsCode)
{
    for (const DialogTables& d : kDialogs) {
        SCOPED_TRACE(d.name);
        const std::span<const SettingChoice> rows = d.definition().tables.choices;
        ASSERT_EQ(rows.size(), d.choices.size());
        std::map<int, QStringList> listed;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const ChoiceRow& expected = d.choices[i];
            // The protocol codes under which a printer lists its protocols.
            EXPECT_EQ(std::string(rows[i].protocolCode), expected.protocolCode) << "choice " << i + 1;
            listed[expected.control] << QString::fromUtf8(expected.display);
        }

        CSettingsTableDlg& opened = OpenDialog(d.which, 1);
        for (const auto& [control, entries] : listed)
            EXPECT_EQ(Entries(control), entries) << control;

        for (const ChoiceRow& choice : d.choices) {
            SCOPED_TRACE(choice.display);
            const SettingRow* key = nullptr;
            for (const SettingRow& row : d.settings) {
                if (row.control == choice.control && row.encoding == kChoice) {
                    key = &row;
                    break;
                }
            }
            ASSERT_NE(key, nullptr);
            const std::string field = Field(key->group, key->parameter, "+" + std::to_string(choice.code));
            ASSERT_TRUE(opened.SetDeviceSettings(field + kDel, &connection, false));
            EXPECT_EQ(Text(choice.control), QString::fromUtf8(choice.display));
            EXPECT_NE(opened.BuildSettingsString(false).find(field + kDel), std::string::npos);
        }
    }
}

TEST_F(SettingsTables, EveryToolTipReadsAsDocumented)
{
    for (const DialogTables& d : kDialogs) {
        SCOPED_TRACE(d.name);
        EXPECT_EQ(d.definition().tables.toolTips.size(), d.tips.size());
        CSettingsTableDlg& opened = OpenDialog(d.which, 1);
        for (const TipRow& tip : d.tips) {
            QString shown = "none";
            EXPECT_TRUE(opened.OnToolTipNotify(tip.control, &shown)) << tip.control;
            EXPECT_EQ(shown, QString::fromUtf8(tip.text)) << tip.control;
        }
        QString shown;
        EXPECT_FALSE(opened.OnToolTipNotify(1002, &shown)) << "the Cancel button has no tip";
    }
}

// Arrows and the wheel step by the row's step (1 where the table gives none), Page Up and Down
// by ten (twice a larger step), Home and End go to the ends of the row's range.
TEST_F(SettingsTables, EveryNumberStepsWithinItsRange)
{
    for (const DialogTables& d : kDialogs) {
        SCOPED_TRACE(d.name);
        OpenDialog(d.which, 1);
        for (const SettingRow& row : d.settings) {
            if (row.kind != kNumber)
                continue;
            SCOPED_TRACE(row.control);
            const bool signedRange = row.minimum < 0;
            const int step = row.step == 0 ? 1 : static_cast<int>(row.step);
            SetText(row.control, Shown(row.minimum, signedRange));
            Key(row.control, Qt::Key_Up);
            EXPECT_EQ(Text(row.control), Shown(row.minimum + step, signedRange));
            Key(row.control, Qt::Key_Down);
            EXPECT_EQ(Text(row.control), Shown(row.minimum, signedRange));
            Wheel(row.control, 120);
            EXPECT_EQ(Text(row.control), Shown(row.minimum + step, signedRange));
            Key(row.control, Qt::Key_PageDown);
            EXPECT_EQ(Text(row.control), Shown(row.minimum, signedRange));
            Key(row.control, Qt::Key_PageUp);
            const int page = step > 1 ? 2 * step : 10;
            EXPECT_EQ(Text(row.control), Shown(std::min(row.minimum + page, row.maximum), signedRange));
            Key(row.control, Qt::Key_Home);
            EXPECT_EQ(Text(row.control), Shown(row.maximum, signedRange));
            Key(row.control, Qt::Key_End);
            EXPECT_EQ(Text(row.control), Shown(row.minimum, signedRange));
        }
    }
}

// The combos whose entries come from the template or from the dialog's opening rather than
// from choice rows.
TEST_F(SettingsTables, CombosWithoutChoiceRowsListTheirOwnEntries)
{
    const QStringList lineSettings[] = {{"9600", "19200", "38400", "115200"}, {"N", "E"}, {"8", "7"}};
    const int lineControls[] = {1012, 1013, 1016};
    for (const Which which : {Which::Bpp, Which::Btp}) {
        OpenDialog(which, 0);
        EXPECT_EQ(Entries(1030), QStringList({which == Which::Bpp ? "BPP" : "BTP"}));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Entries(lineControls[i]), lineSettings[i]) << lineControls[i];
    }
    EXPECT_EQ(Entries(1015), QStringList({"BT2 RICOH 120 LCS", "RICOH 130 LAB/LAM", "BT APPLETON T0970",
                                          "BT KANZAKI 3009J", "BT OJI LYS630100", "RICOH 130 LCSB", "KANZAN KLS46",
                                          "UNISTAT", "RICOH 120 LCS B", "ATLAS PAPER", "RICOH 130 NA", "RICOH 140 LA",
                                          "RICOH 130 LCS B", "EEZEETAGS"}));
    EXPECT_EQ(Entries(1051), QStringList({"No Retry", "1 Retry", "2 Retries", "3 Retries", "4 Retries", "5 Retries",
                                          "6 Retries", "7 Retries", "8 Retries", "9 Retries"}));
}

TEST_F(SettingsTables, AckTimeoutListsEveryFiftyMillisecondsUpTo2000)
{
    QStringList expected;
    for (int ms = 0; ms <= 2000; ms += 50)
        expected << QString::number(ms);
    for (const Which which : {Which::Bpp, Which::Btp}) {
        OpenDialog(which, 0);
        EXPECT_EQ(Entries(1010).size(), 41); // 0, 50, ..., 2000
        EXPECT_EQ(Entries(1010), expected);
    }
}

} // namespace
} // namespace settings_test
