// The option menus of the main dialog: a row chosen from the Print Test Document or ROM
// Options menu, or the Edit EEPROM Config button, decides what the printer receives.

#include "main_dialog_fixture.h"

#include "app/access_level.h"
#include "app/option_menus.h"
#include "app/status_texts.h"
#include "comms/printer_codes.h"

namespace main_dialog_test {
namespace {

constexpr int kRowTestGridBpp = 2;
constexpr int kRowPlattenErrorGuide10 = 6;
constexpr int kRowResetStoredAeaData = 3;
constexpr int kItemWritePower350 = 2508;

std::vector<int> ItemIds(const std::vector<ui::MenuItem>& items)
{
    std::vector<int> ids;
    for (const ui::MenuItem& item : items)
        ids.push_back(item.id);
    return ids;
}

using OptionMenus = MainDialogTest;

TEST_F(OptionMenus, TestDocumentMenuAtUserLevelShowsFourteenRowsUnderTheirRowNumbers)
{
    StartPrinter();
    OpenDialog();
    ASSERT_EQ(dialog->AccessLevel(), ACCESS_LEVEL_USER);

    Click(IDC_PRINT_TEST_DOCUMENT); // no answer queued: the menu closes without a choice

    ASSERT_EQ(prompts.Menus().size(), 1u);
    const ui::PopupMenuRequest& menu = prompts.Menus()[0];
    EXPECT_EQ(menu.owner, dialog->GetSafeHwnd());
    EXPECT_EQ(menu.items.size(), 14u);
    EXPECT_EQ(ItemIds(menu.items), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16}));
    EXPECT_EQ(menu.items[5].label, QString::fromUtf8("&Platten Error Guide 10\""));
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(printer->ReceivedFrames().empty());
}

TEST_F(OptionMenus, PlattenErrorGuideOnABagTagPrinterSendsPayloadFourAndShowsTagPrinted)
{
    StartPrinter(kIdentityBagTag);
    OpenDialog();
    prompts.AnswerMenu(kRowPlattenErrorGuide10);

    Click(IDC_PRINT_TEST_DOCUMENT);
    ASSERT_TRUE(WaitForStatus(kStatusTagPrinted)) << Printable(StatusHistory());

    const std::vector<printer_sim::ReceivedFrame> printed = FramesWithCommand(CMD_PRINT_TEST_DOCUMENT);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].payload, "4");
    EXPECT_TRUE(AppearInOrder(StatusHistory(), {kStatusSearching, kStatusPrintTestTagSent, kStatusTagPrinted}))
        << Printable(StatusHistory());
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
}

TEST_F(OptionMenus, PlattenErrorGuideOnABoardingPassPrinterSendsNothing)
{
    StartPrinter(kIdentityBoardingPass);
    OpenDialog();
    prompts.AnswerMenu(kRowPlattenErrorGuide10);

    Click(IDC_PRINT_TEST_DOCUMENT);
    ASSERT_TRUE(WaitForStatus(kStatusBppNotSupported)) << Printable(StatusHistory());

    EXPECT_TRUE(FramesWithCommand(CMD_PRINT_TEST_DOCUMENT).empty());
    EXPECT_EQ(printer->ReceivedFrames().size(), 1u); // the search's identity request only
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(ExitCaption(), kExitCaption);
    EXPECT_EQ(dialog->Connection(), nullptr);
}

TEST_F(OptionMenus, TestGridGoesToAnyPrinterWithPayloadFive)
{
    StartPrinter(kIdentityBoardingPass);
    OpenDialog();
    prompts.AnswerMenu(kRowTestGridBpp);

    Click(IDC_PRINT_TEST_DOCUMENT);
    ASSERT_TRUE(WaitForStatus(kStatusTagPrinted)) << Printable(StatusHistory());

    const std::vector<printer_sim::ReceivedFrame> printed = FramesWithCommand(CMD_PRINT_TEST_DOCUMENT);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].payload, "5");
}

TEST_F(OptionMenus, ResetStoredAeaDataSendsTheRomOptionAndShowsSuccessful)
{
    StartPrinter();
    OpenDialog();
    prompts.AnswerMenu(kRowResetStoredAeaData);

    Click(IDC_ROM_OPTIONS);
    ASSERT_TRUE(WaitForStatus(kStatusSuccessful)) << Printable(StatusHistory());

    const std::vector<printer_sim::ReceivedFrame> options = FramesWithCommand(CMD_ROM_OPTION);
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options[0].payload, "RESETAEA");
    EXPECT_TRUE(FramesWithCommand(CMD_RFID_OPTION).empty());
    EXPECT_TRUE(AppearInOrder(StatusHistory(), {kStatusSearching, kStatusCommandSent, kStatusSuccessful}));
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
}

TEST_F(OptionMenus, WritePower350FromTheSubMenuSendsTheRfidOption)
{
    StartPrinter();
    OpenDialog();
    prompts.AnswerMenu(kItemWritePower350);

    Click(IDC_ROM_OPTIONS);
    ASSERT_TRUE(WaitForStatus(kStatusSuccessful)) << Printable(StatusHistory());

    ASSERT_EQ(prompts.Menus().size(), 1u);
    const ui::MenuItem* item = ui::FindMenuItem(prompts.Menus()[0].items, kItemWritePower350);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->label, QString::fromUtf8("350 centi-dBm (Default)"));
    const std::vector<printer_sim::ReceivedFrame> options = FramesWithCommand(CMD_RFID_OPTION);
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options[0].payload, "SetRFIDWritePower350");
    EXPECT_TRUE(FramesWithCommand(CMD_ROM_OPTION).empty());
}

TEST_F(OptionMenus, EditEepromConfigAsksForTheEepromSettingsAndEndsIdle)
{
    StartPrinter();
    OpenDialog();

    Click(IDC_EDIT_EEPROM_CONFIG);
    ASSERT_TRUE(WaitForState(STATE_WAIT_EEPROM_SETTINGS)) << Printable(StatusHistory());
    ASSERT_TRUE(WaitForState(STATE_IDLE)) << Printable(StatusHistory());

    const std::vector<printer_sim::ReceivedFrame> queries = FramesWithCommand(CMD_GET_EEPROM_SETTINGS);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_TRUE(queries[0].payload.empty());
    EXPECT_TRUE(FramesWithCommand(CMD_ROM_OPTION).empty());
    EXPECT_TRUE(prompts.Menus().empty());
    EXPECT_EQ(ExitCaption(), kExitCaption);
    EXPECT_TRUE(OperationButtonsEnabled(true));
    EXPECT_EQ(dialog->Connection(), nullptr);
}

} // namespace
} // namespace main_dialog_test
