// The test-document and ROM-options menus: rows shown at each access level and what a
// chosen id starts.
#include "app/option_menus.h"

#include "app/access_level.h"
#include "comms/device_types.h"
#include "app/operation_states.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const MenuItem* FindItem(const std::vector<MenuItem>& items, int id)
{
    const auto found = std::find_if(items.begin(), items.end(), [id](const MenuItem& item) { return item.id == id; });
    return found == items.end() ? nullptr : &*found;
}

TEST(TestDocumentMenu, UserLevelHidesTheAeaRows)
{
    const std::vector<MenuItem> items = BuildTestDocumentMenu(ACCESS_LEVEL_USER);
    EXPECT_EQ(items.size(), 14u);
    EXPECT_EQ(FindItem(items, 13), nullptr);
    EXPECT_EQ(FindItem(items, 14), nullptr);
}

TEST(TestDocumentMenu, IdsStayTheRowNumbersWhenRowsAreHidden)
{
    const std::vector<MenuItem> items = BuildTestDocumentMenu(ACCESS_LEVEL_USER);
    const MenuItem* separator = FindItem(items, 15);
    ASSERT_NE(separator, nullptr);
    EXPECT_EQ(separator->flags, kMenuItemSeparator);
    EXPECT_EQ(items.back().id, 16);
    EXPECT_EQ(items.back().label, "&Close Menu");
}

TEST(TestDocumentMenu, EngineeringLevelShowsAllRows)
{
    const std::vector<MenuItem> items = BuildTestDocumentMenu(ACCESS_LEVEL_ENGINEERING);
    ASSERT_EQ(items.size(), 16u);
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].id, static_cast<int>(i + 1));
    EXPECT_EQ(items[12].label, "&AEA Configuration");
}

TEST(TestDocumentMenu, LabelsCarryTheInchMarks)
{
    const std::vector<MenuItem> items = BuildTestDocumentMenu(ACCESS_LEVEL_USER);
    EXPECT_EQ(FindItem(items, 5)->label, "12\"/30cm &Scale");
    EXPECT_EQ(FindItem(items, 6)->label, "&Platten Error Guide 10\"");
    EXPECT_EQ(FindItem(items, 7)->label, "P&latten Error Guide 12\"");
}

TEST(TestDocumentMenu, HeadingsAreDisabled)
{
    const std::vector<MenuItem> items = BuildTestDocumentMenu(ACCESS_LEVEL_USER);
    EXPECT_EQ(FindItem(items, 1)->flags, kMenuItemDisabled);
    EXPECT_EQ(FindItem(items, 1)->label, "BPP - Select Test Document");
    EXPECT_EQ(FindItem(items, 11)->flags, kMenuItemDisabled);
}

TEST(TestDocumentMenu, PlatenGuideTenInchIsForBagTagPrinters)
{
    const auto choice = DecodeTestDocumentChoice(6);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->payload, "4");
    EXPECT_EQ(choice->filter, DEVICE_TYPE_BTP);
}

TEST(TestDocumentMenu, BothTestGridsSendTheSamePayloadToAnyPrinter)
{
    for (int id : {2, 8}) {
        SCOPED_TRACE(id);
        const auto choice = DecodeTestDocumentChoice(id);
        ASSERT_TRUE(choice.has_value());
        EXPECT_EQ(choice->payload, "5");
        EXPECT_EQ(choice->filter, DEVICE_TYPE_ANY);
    }
}

TEST(TestDocumentMenu, StatusTicketPayloadHoldsTheEscapeByte)
{
    const auto choice = DecodeTestDocumentChoice(12);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->payload, std::string("<CB><rte>\x1b" "IXD01"));
    EXPECT_EQ(choice->payload.size(), 15u);
}

TEST(TestDocumentMenu, NoChoiceHeadingSeparatorAndCloseStartNothing)
{
    for (int id : {0, 1, 3, 4, 10, 11, 15, 16, 17, -1}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(DecodeTestDocumentChoice(id).has_value());
    }
}

TEST(RomOptionsMenu, UserLevelHidesTheGraphicsSwitch)
{
    const std::vector<MenuItem> items = BuildRomOptionsMenu(ACCESS_LEVEL_USER);
    EXPECT_EQ(items.size(), 27u);
    EXPECT_EQ(FindItem(items, 5), nullptr);
    EXPECT_EQ(FindItem(items, 6)->flags, kMenuItemSeparator);
}

TEST(RomOptionsMenu, EngineeringLevelShowsAllRowsWithRowNumbersAsIds)
{
    const std::vector<MenuItem> items = BuildRomOptionsMenu(ACCESS_LEVEL_ENGINEERING);
    ASSERT_EQ(items.size(), 28u);
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].id, static_cast<int>(i + 1));
    EXPECT_EQ(items[4].label, "Switch to Graphics Printer");
}

TEST(RomOptionsMenu, RegionLabelsAreKeptAsTheyStand)
{
    const std::vector<MenuItem> items = BuildRomOptionsMenu(ACCESS_LEVEL_USER);
    EXPECT_EQ(FindItem(items, 10)->label, "[PRC] People's Republic of China (920,125 kHz-924,875 kHz");
    EXPECT_EQ(FindItem(items, 11)->label, "[EU3] European Union 3 (865,600 kHz-867,600 kHz)");
    EXPECT_EQ(FindItem(items, 23)->label, "[SG] Singapore (920 MHz-925 MHz");
}

TEST(RomOptionsMenu, PowerRowsAreSubMenusOfTwentyOneItems)
{
    const std::vector<MenuItem> items = BuildRomOptionsMenu(ACCESS_LEVEL_USER);
    const MenuItem* write = FindItem(items, 25);
    const MenuItem* read = FindItem(items, 26);
    ASSERT_NE(write, nullptr);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(write->flags, kMenuItemSubMenu);
    EXPECT_EQ(write->label, "Change Write Power");
    EXPECT_EQ(read->label, "Change Read Power");
    ASSERT_EQ(write->subItems.size(), 21u);
    ASSERT_EQ(read->subItems.size(), 21u);
    EXPECT_EQ(write->subItems.front().id, 2501);
    EXPECT_EQ(write->subItems.back().id, 2521);
    EXPECT_EQ(read->subItems.front().id, 2601);
    EXPECT_EQ(read->subItems.back().id, 2621);
    EXPECT_TRUE(FindItem(items, 24)->subItems.empty());
}

TEST(RomOptionsMenu, PowerLabelsStepByFiftyAndMarkTheDefault)
{
    const std::vector<MenuItem> items = BuildRomOptionsMenu(ACCESS_LEVEL_USER);
    const std::vector<MenuItem>& power = FindItem(items, 25)->subItems;
    EXPECT_EQ(power[0].label, "0 centi-dBm");
    EXPECT_EQ(power[1].label, "50 centi-dBm");
    EXPECT_EQ(power[7].label, "350 centi-dBm (Default)");
    EXPECT_EQ(power[8].label, "400 centi-dBm");
    EXPECT_EQ(power[19].label, "950 centi-dBm");
    EXPECT_EQ(power[20].label, "999 centi-dBm");
    for (const MenuItem& item : power)
        EXPECT_EQ(item.flags, kMenuItemNormal);
}

TEST(RomOptionsMenu, RegionStartsAnRfidOption)
{
    const auto choice = DecodeRomOptionsChoice(11);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->searchState, STATE_SEARCH_RFID_OPTION);
    EXPECT_EQ(choice->command, "SetRFIDRegion8");
}

TEST(RomOptionsMenu, DefaultWritePowerSendsThreeHundredFifty)
{
    const auto choice = DecodeRomOptionsChoice(2508);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->searchState, STATE_SEARCH_RFID_OPTION);
    EXPECT_EQ(choice->command, "SetRFIDWritePower350");
}

TEST(RomOptionsMenu, FirstAndLastReadPowerItems)
{
    const auto lowest = DecodeRomOptionsChoice(2601);
    const auto highest = DecodeRomOptionsChoice(2621);
    ASSERT_TRUE(lowest.has_value());
    ASSERT_TRUE(highest.has_value());
    EXPECT_EQ(lowest->command, "SetRFIDReadPower0");
    EXPECT_EQ(highest->command, "SetRFIDReadPower999");
    EXPECT_EQ(highest->searchState, STATE_SEARCH_RFID_OPTION);
}

TEST(RomOptionsMenu, PowerRowWithoutAnItemStartsNothing)
{
    EXPECT_FALSE(DecodeRomOptionsChoice(25).has_value());
    EXPECT_FALSE(DecodeRomOptionsChoice(2500).has_value());
    EXPECT_FALSE(DecodeRomOptionsChoice(2522).has_value());
}

TEST(RomOptionsMenu, ResetAeaStartsARomOption)
{
    const auto choice = DecodeRomOptionsChoice(3);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->searchState, STATE_SEARCH_ROM_OPTION);
    EXPECT_EQ(choice->command, "RESETAEA");
}

TEST(RomOptionsMenu, EditEepromStartsARomOption)
{
    const auto choice = DecodeRomOptionsChoice(2);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->searchState, STATE_SEARCH_ROM_OPTION);
    EXPECT_EQ(choice->command, kEditEepromSettingsCommand);
    EXPECT_EQ(choice->command, "EDITEEPROMSETTINGSDLG");
}

TEST(RomOptionsMenu, IdAboveTheRowsDecodesByHundreds)
{
    // 310 is row 3 with k = 10; a row without sub-menu ignores k.
    const auto choice = DecodeRomOptionsChoice(310);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->command, "RESETAEA");
    EXPECT_FALSE(DecodeRomOptionsChoice(29).has_value());
}

TEST(RomOptionsMenu, NoChoiceHeadingSeparatorAndCloseStartNothing)
{
    for (int id : {0, 1, 4, 6, 7, 24, 27, 28, -3}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(DecodeRomOptionsChoice(id).has_value());
    }
}

TEST(OptionMenus, TablesHaveTheirRowCounts)
{
    EXPECT_EQ(TestDocumentMenuRows().size(), 16u);
    EXPECT_EQ(RomOptionsMenuRows().size(), 28u);
}

} // namespace
