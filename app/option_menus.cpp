#include "app/option_menus.h"

#include "app/operation_states.h"
#include "comms/device_types.h"

#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr int kLevelUser = 0;
constexpr int kLevelEngineering = 1;
constexpr char kSeparatorLabel[] = "-";
constexpr char kCloseMenuLabel[] = "&Close Menu";
// Row r's power item k has the id kPowerIdRowFactor * r + kPowerIdBase + k.
constexpr int kPowerIdRowFactor = 100;
constexpr int kPowerIdBase = 1;

// The "FGL" status ticket: a tag, then ESC and the status query.
constexpr char kStatusTicketPayload[] = "<CB><rte>\x1b" "IXD01";

constexpr std::array<PopupMenuEntry, 16> kTestDocumentRows = {{
    {kMenuItemDisabled, kLevelUser, "BPP - Select Test Document", nullptr, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "&Test Grid", "5", DEVICE_TYPE_ANY},
    {kMenuItemSeparator, kLevelUser, kSeparatorLabel, nullptr, DEVICE_TYPE_ANY},
    {kMenuItemDisabled, kLevelUser, "BTP - Select Test Document", nullptr, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "12\"/30cm &Scale", "0", DEVICE_TYPE_BTP},
    {kMenuItemNormal, kLevelUser, "&Platten Error Guide 10\"", "4", DEVICE_TYPE_BTP},
    {kMenuItemNormal, kLevelUser, "P&latten Error Guide 12\"", "1", DEVICE_TYPE_BTP},
    {kMenuItemNormal, kLevelUser, "Test &Grid", "5", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "Pri&nt Sensor Graph", "6", DEVICE_TYPE_BTP},
    {kMenuItemSeparator, kLevelUser, kSeparatorLabel, nullptr, DEVICE_TYPE_ANY},
    {kMenuItemDisabled, kLevelUser, "Select Status Test Document", nullptr, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "&FGL System Status Ticket", kStatusTicketPayload, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelEngineering, "&AEA Configuration", "2", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelEngineering, "AEA &User Configuration", "3", DEVICE_TYPE_ANY},
    {kMenuItemSeparator, kLevelUser, kSeparatorLabel, nullptr, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, kCloseMenuLabel, nullptr, DEVICE_TYPE_ANY},
}};

// The device-type field is not used by this menu. Several region labels lack their
// closing parenthesis: they are shown exactly so.
constexpr std::array<PopupMenuEntry, 28> kRomOptionsRows = {{
    {kMenuItemDisabled, kLevelUser, "Change ROM Settings", nullptr, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "Edit EEPROM Config", kEditEepromSettingsCommand, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "Reset Stored AEA Data", "RESETAEA", DEVICE_TYPE_ANY},
    {kMenuItemSeparator, kLevelUser, kSeparatorLabel, nullptr, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelEngineering, "Switch to Graphics Printer", "SMG", DEVICE_TYPE_ANY},
    {kMenuItemSeparator, kLevelUser, kSeparatorLabel, nullptr, DEVICE_TYPE_ANY},
    {kMenuItemDisabled, kLevelUser, "Change RFID Region", nullptr, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[IN] India (865,000 kHz-867,000 kHz", "SetRFIDRegion4", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[JP] Japan (916,800 kHz-923,400 kHz", "SetRFIDRegion5", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[PRC] People's Republic of China (920,125 kHz-924,875 kHz", "SetRFIDRegion6",
     DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[EU3] European Union 3 (865,600 kHz-867,600 kHz)", "SetRFIDRegion8",
     DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[KR2] Korea 2 (917,000 kHz-923,500 kHz", "SetRFIDRegion9", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[AU] Australia (920,000 kHz-926,000 kHz", "SetRFIDRegion11", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[NZ] New Zealand (922,000 kHz-927,000 kHz", "SetRFIDRegion12", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[NA2] Reduced FCC (NA) region (917,400 kHz-927,200 kHz)", "SetRFIDRegion13",
     DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[NA3] 5MHZ FCC (NA) band (917,500 kHz-922,500 kHz", "SetRFIDRegion14",
     DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[MY] Malaysia", "SetRFIDRegion16", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[ID] Indonesia", "SetRFIDRegion17", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[PH] Philippines", "SetRFIDRegion18", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[TW] Taiwan (922 MHz-928 MHz)", "SetRFIDRegion19", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[MO] Macau (920 MHz-925 MHz", "SetRFIDRegion20", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[RU] Russia (866 MHz-868 MHz", "SetRFIDRegion21", DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, "[SG] Singapore (920 MHz-925 MHz", "SetRFIDRegion22", DEVICE_TYPE_ANY},
    {kMenuItemSeparator, kLevelUser, kSeparatorLabel, nullptr, DEVICE_TYPE_ANY},
    {kMenuItemSubMenu, kLevelUser, "Change Write Power", kWritePowerSubMenuCommand, DEVICE_TYPE_ANY},
    {kMenuItemSubMenu, kLevelUser, "Change Read Power", kReadPowerSubMenuCommand, DEVICE_TYPE_ANY},
    {kMenuItemSeparator, kLevelUser, kSeparatorLabel, nullptr, DEVICE_TYPE_ANY},
    {kMenuItemNormal, kLevelUser, kCloseMenuLabel, nullptr, DEVICE_TYPE_ANY},
}};

constexpr int kRomOptionsRowCount = static_cast<int>(kRomOptionsRows.size());
constexpr int kTestDocumentRowCount = static_cast<int>(kTestDocumentRows.size());

bool IsCommand(const char* command, const char* expected)
{
    return command != nullptr && std::strcmp(command, expected) == 0;
}

bool HasRfidPrefix(std::string_view command)
{
    const std::string_view prefix(kRfidCommandPrefix);
    if (command.size() < prefix.size())
        return false;
    return QLatin1String(command.data(), static_cast<qsizetype>(prefix.size()))
               .compare(QLatin1String(prefix.data(), static_cast<qsizetype>(prefix.size())), Qt::CaseInsensitive) == 0;
}

std::vector<MenuItem> PowerSubMenu(int row)
{
    std::vector<MenuItem> items;
    for (int k = 0; k < kPowerItemCount; ++k)
        items.push_back(MenuItem{PowerItemId(row, k), kMenuItemNormal, PowerItemLabel(k), {}});
    return items;
}

} // namespace

std::span<const PopupMenuEntry> TestDocumentMenuRows()
{
    return kTestDocumentRows;
}

std::span<const PopupMenuEntry> RomOptionsMenuRows()
{
    return kRomOptionsRows;
}

int PowerItemValue(int k)
{
    return k == kPowerItemCount - 1 ? kPowerMaximum : kPowerStep * k;
}

QString PowerItemLabel(int k)
{
    const int value = PowerItemValue(k);
    QString label = QString::asprintf(kPowerLabelFormat, value);
    if (value == kPowerDefault)
        label += QLatin1String(kPowerDefaultSuffix);
    return label;
}

int PowerItemId(int row, int k)
{
    return kPowerIdRowFactor * row + kPowerIdBase + k;
}

std::vector<MenuItem> BuildTestDocumentMenu(int accessLevel)
{
    std::vector<MenuItem> items;
    for (int row = 1; row <= kTestDocumentRowCount; ++row) {
        const PopupMenuEntry& entry = kTestDocumentRows[static_cast<std::size_t>(row - 1)];
        if (accessLevel >= entry.minimumAccessLevel)
            items.push_back(MenuItem{row, entry.flags, QString::fromLatin1(entry.label), {}});
    }
    return items;
}

std::vector<MenuItem> BuildRomOptionsMenu(int accessLevel)
{
    std::vector<MenuItem> items;
    for (int row = 1; row <= kRomOptionsRowCount; ++row) {
        const PopupMenuEntry& entry = kRomOptionsRows[static_cast<std::size_t>(row - 1)];
        if (accessLevel < entry.minimumAccessLevel)
            continue;
        MenuItem item{row, entry.flags, QString::fromLatin1(entry.label), {}};
        if (IsCommand(entry.command, kWritePowerSubMenuCommand) || IsCommand(entry.command, kReadPowerSubMenuCommand))
            item.subItems = PowerSubMenu(row);
        items.push_back(std::move(item));
    }
    return items;
}

std::optional<TestDocumentChoice> DecodeTestDocumentChoice(int id)
{
    if (id < 1 || id > kTestDocumentRowCount)
        return std::nullopt;
    const PopupMenuEntry& entry = kTestDocumentRows[static_cast<std::size_t>(id - 1)];
    if (entry.command == nullptr)
        return std::nullopt;
    return TestDocumentChoice{entry.command, entry.deviceType};
}

std::optional<RomOptionsChoice> DecodeRomOptionsChoice(int id)
{
    int row = id;
    int k = 0;
    if (id > kRomOptionsRowCount) {
        row = id / kPowerIdRowFactor;
        k = id - kPowerIdRowFactor * row;
    }
    if (row < 1 || row > kRomOptionsRowCount)
        return std::nullopt;
    const char* command = kRomOptionsRows[static_cast<std::size_t>(row - 1)].command;
    if (command == nullptr)
        return std::nullopt;

    const bool writePower = IsCommand(command, kWritePowerSubMenuCommand);
    if (writePower || IsCommand(command, kReadPowerSubMenuCommand)) {
        // k counts the sub-menu's items from 1.
        if (k < 1 || k > kPowerItemCount)
            return std::nullopt;
        const char* format = writePower ? kWritePowerCommandFormat : kReadPowerCommandFormat;
        return RomOptionsChoice{STATE_SEARCH_RFID_OPTION,
                                QString::asprintf(format, PowerItemValue(k - 1)).toStdString()};
    }
    if (HasRfidPrefix(command))
        return RomOptionsChoice{STATE_SEARCH_RFID_OPTION, command};
    return RomOptionsChoice{STATE_SEARCH_ROM_OPTION, command};
}
