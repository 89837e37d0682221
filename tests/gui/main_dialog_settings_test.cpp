// Edit Default Config and Edit EEPROM Config end to end: the printer's settings open in a
// settings dialog in place of the main window, go back to the printer, and the main window
// returns with the result; the type switch and the closing of the dialogs.

#include "main_dialog_fixture.h"

#include "app/status_texts.h"

#include <QMetaObject>
#include <QScreen>
#include "comms/message_parser.h"
#include "comms/private_messages.h"
#include "settings/settings_dialogs.h"
#include "tools/printer-sim/default_records.h"

#include <optional>

namespace main_dialog_test {
namespace {

constexpr int kUpdateDefaults = 1000;
constexpr int kCancel = 1002;
constexpr char kBaseTitle[] = "Jetvane (v2.3.1.1)";

class EditDefaultConfig : public MainDialogTest {
protected:
    // Opens the printer's settings dialog through the main window; the printer reports its
    // factory record with extraFields (whole fields, each closed by DEL) behind it and
    // leadingFields (each opened by DEL) ahead of it.
    CJetvaneSettingsDeviceInterface& OpenSettings(const std::string& identity, const std::string& extraFields = {},
                                                  const std::string& leadingFields = {})
    {
        printer_sim::PrinterConfig config = PrinterWithIdentity(identity);
        config.settingsRecord = leadingFields + printer_sim::DefaultSettingsRecord(config.type) + extraFields;
        config.eepromRecord = printer_sim::DefaultEepromRecord(config.type);
        StartPrinter(config);
        OpenDialog();
        mainPosition = dialog->GetWindowRect().topLeft();
        Click(IDC_EDIT_DEFAULT_CONFIG);
        EXPECT_TRUE(WaitForState(STATE_SETTINGS_DIALOG)) << Printable(StatusHistory());
        EXPECT_NE(dialog->SettingsDialog(), nullptr);
        return *dialog->SettingsDialog();
    }

    QPoint mainPosition;
};

TEST_F(EditDefaultConfig, PrintersSettingsOpenInPlaceOfTheMainWindowAndGoBack)
{
    struct Road {
        const char* identity;
        const char* caption;
        unsigned resultMessage;
    };
    const Road roads[] = {
        {kIdentityBoardingPass, "BPP Jetvane (v2.3.1.1) - YP00000006060 - MRV58E (S/N:SIMBPP0001)",
         WM_BPP_CONFIG_UPDATED},
        {kIdentityBagTag, "BTP Jetvane (v2.3.1.1) - YT00000006060 - MRV41E (S/N:SIMBTP0001)",
         WM_CONFIG_UPDATED},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.identity);
        CJetvaneSettingsDeviceInterface& settings = OpenSettings(road.identity);
        EXPECT_FALSE(dialog->IsWindowVisible());
        EXPECT_TRUE(settings.IsWindowVisible());
        EXPECT_EQ(settings.GetWindowText(), road.caption);
        // Where the main window stood, as far as the whole dialog stays on the screen.
        const QRect placed = settings.GetWindowRect();
        const QRect screen = settings.Window()->screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(placed) || placed.left() == screen.left()) << placed.x() << "," << placed.y();
        EXPECT_TRUE(placed.left() == mainPosition.x() || placed.right() == screen.right() ||
                    placed.left() == screen.left());
        EXPECT_TRUE(placed.top() == mainPosition.y() || placed.bottom() == screen.bottom());

        settings.GetButton(kUpdateDefaults).Click();
        EXPECT_EQ(Status(), kStatusConfigUpdated);
        EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
        EXPECT_TRUE(dialog->IsWindowVisible());
        EXPECT_EQ(dialog->Connection(), nullptr);
        ASSERT_EQ(FramesWithCommand(CMD_SET_SETTINGS).size(), 1u);
        // The record ends with the Platen Err row's neighbours and the closing DEL.
        EXPECT_EQ(FramesWithCommand(CMD_SET_SETTINGS)[0].payload.back(), '\x7F');
        dialog.reset();
        printer.reset();
    }
}

// Settings that a printer reports ahead of its protocol go back to it as reported, not as the
// protocol's defaults.
TEST_F(EditDefaultConfig, SettingsReportedBeforeTheProtocolGoBackAsReported)
{
    const std::string hdcAbc = "\x7F}\x0A" "414243", holdWait55 = "\x7F}\x1F+55";
    for (const char* identity : {kIdentityBagTag, kIdentityBoardingPass}) {
        SCOPED_TRACE(identity);
        CJetvaneSettingsDeviceInterface& settings = OpenSettings(identity, {}, hdcAbc + holdWait55);
        EXPECT_EQ(settings.GetDlgItemText(1003), "ABC");
        EXPECT_EQ(settings.GetDlgItemText(1045), "55");
        settings.GetButton(kUpdateDefaults).Click();
        EXPECT_EQ(Status(), kStatusConfigUpdated);
        const std::vector<printer_sim::ReceivedFrame> sent = FramesWithCommand(CMD_SET_SETTINGS);
        ASSERT_EQ(sent.size(), 1u);
        for (const std::string& field : {hdcAbc, holdWait55})
            EXPECT_NE(sent[0].payload.find(field + '\x7F'), std::string::npos) << field;
        dialog.reset();
        printer.reset();
    }
}

TEST_F(EditDefaultConfig, CancelShowsTheMainWindowAgainIdle)
{
    CJetvaneSettingsDeviceInterface& settings = OpenSettings(kIdentityBagTag);
    settings.MoveWindowTo(mainPosition + QPoint(40, 30));
    const QPoint moved = settings.GetWindowRect().topLeft();
    settings.GetButton(kCancel).Click();
    EXPECT_EQ(Status(), kStatusConfigUpdateCancelled);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(dialog->IsWindowVisible());
    EXPECT_EQ(dialog->GetWindowRect().topLeft(), moved);
    EXPECT_TRUE(FramesWithCommand(CMD_SET_SETTINGS).empty());
    // The dialog that reported is destroyed by the next close at the latest.
    dialog->CloseSettingsDialog();
    EXPECT_EQ(dialog->SettingsDialog(), nullptr);
    EXPECT_TRUE(dialog->ParkedSettingsDialogs().empty());
}

// Each round of opening and closing a settings dialog leaves the main window exactly where
// the dialog stood, frame included.
TEST_F(EditDefaultConfig, MainWindowComesBackExactlyWhereTheDialogStoodRoundAfterRound)
{
    CJetvaneSettingsDeviceInterface* settings = &OpenSettings(kIdentityBagTag);
    std::optional<QPoint> firstPlace;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        if (round > 0) {
            Click(IDC_EDIT_DEFAULT_CONFIG);
            ASSERT_TRUE(WaitForState(STATE_SETTINGS_DIALOG)) << Printable(StatusHistory());
            settings = dialog->SettingsDialog();
            ASSERT_NE(settings, nullptr);
        }
        gui_test::ProcessPendingEvents();
        const QPoint stood = settings->GetWindowRect().topLeft();
        if (!firstPlace)
            firstPlace = stood;
        EXPECT_EQ(stood, *firstPlace);
        settings->GetButton(kCancel).Click();
        ASSERT_EQ(dialog->OperationState(), STATE_IDLE);
        gui_test::ProcessPendingEvents();
        EXPECT_EQ(dialog->GetWindowRect().topLeft(), stood);
    }
}

TEST_F(EditDefaultConfig, ResultsOutsideTheDialogStateOnlyShowTheirText)
{
    StartPrinter();
    OpenDialog();
    const std::pair<ui::WParam, const char*> results[] = {
        {0, kStatusConfigUpdateCancelled}, {1, kStatusConfigUpdated}, {2, kStatusConfigUpdateFailed},
        {3, kStatusConfigUpdateCancelled}};
    for (const auto& [result, text] : results) {
        dialog->SendMessage(WM_CONFIG_UPDATED, result, 0);
        EXPECT_EQ(Status(), text);
        EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    }
}

TEST_F(EditDefaultConfig, TypeSwitchOpensTheOtherDialogRestrictedToItsRows)
{
    CJetvaneSettingsDeviceInterface& bagTag = OpenSettings(kIdentityBagTag);
    // The printer's record lists both types, so the user may switch.
    prompts.AnswerMessageBox(ui::IDYES);
    ASSERT_TRUE(gui_test::ChooseComboEntry(bagTag.GetDlgItem(1030).Widget(), "BPP"));

    ASSERT_NE(dialog->SettingsDialog(), nullptr);
    auto* boardingPass = dynamic_cast<CJetvaneSettingsBPPDlg*>(dialog->SettingsDialog());
    ASSERT_NE(boardingPass, nullptr);
    EXPECT_EQ(dialog->OperationState(), STATE_SETTINGS_DIALOG);
    EXPECT_FALSE(dialog->IsWindowVisible());
    // The bag-tag dialog waits, hidden, for the next close.
    ASSERT_EQ(dialog->ParkedSettingsDialogs().size(), 1u);
    EXPECT_FALSE(dialog->ParkedSettingsDialogs()[0]->IsWindowVisible());
    // A bag-tag record read restricted: its protocol list is applied, its model too.
    EXPECT_EQ(boardingPass->Model(), "MRV41E");

    // Switching back is not restricted (the printer is a bag-tag printer) and destroys the
    // first parked dialog as the second one is parked.
    prompts.AnswerMessageBox(ui::IDYES);
    boardingPass->ApplyDeviceTypeList("BTP");
    ASSERT_TRUE(gui_test::ChooseComboEntry(boardingPass->GetDlgItem(1030).Widget(), "BTP"));
    ASSERT_NE(dynamic_cast<CJetvaneSettingsBTPDlg*>(dialog->SettingsDialog()), nullptr);
    ASSERT_EQ(dialog->ParkedSettingsDialogs().size(), 1u);
    EXPECT_EQ(dialog->ParkedSettingsDialogs()[0].get(), boardingPass);

    dialog->SettingsDialog()->GetButton(kCancel).Click();
    EXPECT_EQ(Status(), kStatusConfigUpdateCancelled);
    dialog->CloseSettingsDialog();
    EXPECT_TRUE(dialog->ParkedSettingsDialogs().empty());
}

TEST_F(EditDefaultConfig, UnknownTypeSwitchFailsAndReturnsToIdle)
{
    OpenSettings(kIdentityBoardingPass);
    dialog->SendMessage(WM_CHANGE_DEVICE_TYPE, 2, 0);
    EXPECT_EQ(Status(), kStatusConfigUpdateFailed);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(dialog->IsWindowVisible());
}

// A switch whose new dialog cannot read the record ends in failure; the dialog that asked
// for it, still inside its request while the failure resets everything, stays whole (hidden
// and parked) until the request has returned to it, and goes at the next close.
TEST_F(EditDefaultConfig, FailedTypeSwitchKeepsTheAskingDialogUntilItsRequestReturns)
{
    // A field that only a boarding-pass dialog reads (restricted, a number followed by a
    // letter): the bag-tag dialog passes over it, the boarding-pass dialog cannot go on.
    const std::string unreadableForBoardingPass = std::string("~\x17+5X") + '\x7F';
    CJetvaneSettingsDeviceInterface& bagTag = OpenSettings(kIdentityBagTag, unreadableForBoardingPass);
    prompts.AnswerMessageBox(ui::IDYES);
    ASSERT_TRUE(gui_test::ChooseComboEntry(bagTag.GetDlgItem(1030).Widget(), "BPP"));

    EXPECT_EQ(Status(), kStatusConfigUpdateFailed);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(dialog->IsWindowVisible());
    EXPECT_EQ(dialog->SettingsDialog(), nullptr);
    EXPECT_EQ(dialog->Connection(), nullptr);
    bool parked = false;
    for (const auto& waiting : dialog->ParkedSettingsDialogs()) {
        parked = parked || waiting.get() == &bagTag;
        EXPECT_FALSE(waiting->IsWindowVisible());
    }
    ASSERT_TRUE(parked);
    EXPECT_FALSE(bagTag.IsNotifying());

    gui_test::ProcessPendingEvents();
    dialog->CloseSettingsDialog();
    EXPECT_TRUE(dialog->ParkedSettingsDialogs().empty());
}

// A device-type choice queued while the update held the window comes after the printer took
// the settings: it asks nothing and changes nothing, and the update's success stands.
TEST_F(EditDefaultConfig, ChoiceQueuedBehindAnUpdateChangesNothing)
{
    CJetvaneSettingsDeviceInterface& bagTag = OpenSettings(kIdentityBagTag);
    prompts.AnswerMessageBox(ui::IDYES); // were the question asked
    QWidget* deviceType = bagTag.GetDlgItem(1030).Widget();
    QMetaObject::invokeMethod(
        deviceType, [deviceType] { gui_test::ChooseComboEntry(deviceType, "BPP"); }, Qt::QueuedConnection);
    bagTag.GetButton(kUpdateDefaults).Click();
    EXPECT_EQ(Status(), kStatusConfigUpdated);

    gui_test::ProcessPendingEvents();
    EXPECT_EQ(Status(), kStatusConfigUpdated);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(prompts.MessageBoxes().empty());
    EXPECT_EQ(dialog->SettingsDialog(), nullptr);
    EXPECT_EQ(FramesWithCommand(CMD_SET_SETTINGS).size(), 1u);
}

TEST_F(EditDefaultConfig, UnreadableRecordFailsWithItsText)
{
    StartPrinter(); // its record is not a settings record
    OpenDialog();
    Click(IDC_EDIT_DEFAULT_CONFIG);
    ASSERT_TRUE(WaitForStatus(kStatusParseDeviceSettingsFailed)) << Printable(StatusHistory());
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->SettingsDialog(), nullptr);
}

TEST_F(EditDefaultConfig, ASavedFileGoesToThePrinterThroughSendConfigFile)
{
    CJetvaneSettingsDeviceInterface& settings = OpenSettings(kIdentityBagTag);
    const QString path = QDir(files.path()).filePath("desk.QV_BTP_CFG");
    prompts.AnswerFileDialog(path);
    prompts.AnswerMessageBox(ui::IDOK);
    settings.GetButton(1004).Click();
    ASSERT_EQ(prompts.MessageBoxes().back().text, "Saved");
    settings.GetButton(kCancel).Click();
    ASSERT_EQ(dialog->OperationState(), STATE_IDLE);

    prompts.AnswerFileDialog(path);
    Click(IDC_SEND_CONFIG_FILE);
    ASSERT_TRUE(WaitForStatus(kStatusConfigurationSent)) << Printable(StatusHistory());
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    const printer_sim::ReceivedFrame sent = FramesWithCommand(CMD_SET_SETTINGS).back();
    std::string frame;
    CQVMessageParser::BuildMessage(frame, sent.flags, sent.direction, sent.command, sent.payload);
    EXPECT_EQ(frame, std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

TEST_F(EditDefaultConfig, EepromSettingsOpenAndGoBackToThePrinter)
{
    // Edit EEPROM Config, and the ROM Options row of that name (the menu's second row).
    constexpr int kRomOptionsEepromRow = 2;
    for (const auto& [button, menuAnswer] : {std::pair{IDC_EDIT_EEPROM_CONFIG, 0}, std::pair{IDC_ROM_OPTIONS, kRomOptionsEepromRow}}) {
        SCOPED_TRACE(button);
        printer_sim::PrinterConfig config = PrinterWithIdentity(kIdentityBagTag);
        config.eepromRecord = printer_sim::DefaultEepromRecord(config.type);
        StartPrinter(config);
        OpenDialog();
        if (menuAnswer != 0)
            prompts.AnswerMenu(menuAnswer);
        Click(button);
        ASSERT_TRUE(WaitForState(STATE_SETTINGS_DIALOG)) << Printable(StatusHistory());
        CJetvaneSettingsDeviceInterface& eeprom = *dialog->SettingsDialog();
        EXPECT_EQ(eeprom.GetWindowText(),
                  "BTP QV Airport Printer EEPROM Settings - YT00000006060 - MRV41E (S/N:SIMBTP0001)");
        eeprom.GetButton(kUpdateDefaults).Click();
        EXPECT_EQ(Status(), kStatusConfigUpdated);
        const std::vector<printer_sim::ReceivedFrame> sent = FramesWithCommand(CMD_SET_EEPROM_SETTINGS);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].payload, std::string("\x7F|\x10+0\x7F|\x11+34\x7F|\x12+13\x7F|\x13+350\x7F|\x14+350"
                                               "\x7F|\x15+0\x7F|\x16+0\x7F|\x17+1\x7F"));
        dialog.reset();
        printer.reset();
    }
}

} // namespace
} // namespace main_dialog_test
