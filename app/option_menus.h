#pragma once
// The test-document and ROM-options menus of the main dialog: constant row tables, the
// menu to show at an access level (window-free; the window layer turns it into a popup),
// and what a chosen item id means. The id of a row is its row number, whether or not
// earlier rows are hidden; the power sub-menu items have ids 100 * row + 1 + k.

#include "ui/prompts.h"

#include <QString>

#include <optional>
#include <span>
#include <string>
#include <vector>

// Menu item flags, as the popup shows them.
inline constexpr unsigned kMenuItemNormal = ui::MF_STRING;
inline constexpr unsigned kMenuItemDisabled = ui::MF_DISABLED; // a heading: shown, cannot be chosen
inline constexpr unsigned kMenuItemSubMenu = ui::MF_POPUP;
inline constexpr unsigned kMenuItemSeparator = ui::MF_SEPARATOR;

struct PopupMenuEntry {
    unsigned flags;
    int minimumAccessLevel;
    const char* label;    // "&" before the access key
    const char* command;  // bytes that a chosen row sends; nullptr: none
    int deviceType;       // test-document menu: the family the document needs
};

// Commands of the two ROM-options rows that only mark the power sub-menus.
inline constexpr char kWritePowerSubMenuCommand[] = "CHANGEWRITEPOWERSUBMENU";
inline constexpr char kReadPowerSubMenuCommand[] = "CHANGEREADPOWERSUBMENU";
// ROM-options commands with a meaning of their own.
inline constexpr char kEditEepromSettingsCommand[] = "EDITEEPROMSETTINGSDLG";
// A command that begins so (without regard to case) goes out as an RFID option.
inline constexpr char kRfidCommandPrefix[] = "SetRFID";
inline constexpr char kWritePowerCommandFormat[] = "SetRFIDWritePower%d";
inline constexpr char kReadPowerCommandFormat[] = "SetRFIDReadPower%d";

// Power sub-menus: items 0..19 are 50 * k centi-dBm, item 20 the maximum.
inline constexpr int kPowerItemCount = 21;
inline constexpr int kPowerStep = 50;
inline constexpr int kPowerMaximum = 999;
inline constexpr int kPowerDefault = 350;
inline constexpr char kPowerLabelFormat[] = "%d centi-dBm";
inline constexpr char kPowerDefaultSuffix[] = " (Default)";

// What the test-document and ROM-options handlers reset to before a menu is shown.
inline constexpr char kTestDocumentPayloadNone[] = "0";
inline constexpr char kRomOptionCommandNone[] = "0";

std::span<const PopupMenuEntry> TestDocumentMenuRows();
std::span<const PopupMenuEntry> RomOptionsMenuRows();

// The value sent for power sub-menu item k (0..kPowerItemCount - 1).
int PowerItemValue(int k);
QString PowerItemLabel(int k);
// The id of power sub-menu item k under a row.
int PowerItemId(int row, int k);

// One item of a menu to show, as the prompts seam takes it.
using MenuItem = ui::MenuItem;

std::vector<MenuItem> BuildTestDocumentMenu(int accessLevel);
std::vector<MenuItem> BuildRomOptionsMenu(int accessLevel);

struct TestDocumentChoice {
    std::string payload;
    int filter = 0; // device type the document needs
};
// Nothing for no choice (0), an unknown id, a heading, a separator or "&Close Menu".
std::optional<TestDocumentChoice> DecodeTestDocumentChoice(int id);

struct RomOptionsChoice {
    int searchState = 0;  // STATE_SEARCH_ROM_OPTION or STATE_SEARCH_RFID_OPTION
    std::string command;  // the ROM-option command or the RFID command, by the state
};
// Nothing when the choice starts no operation.
std::optional<RomOptionsChoice> DecodeRomOptionsChoice(int id);
