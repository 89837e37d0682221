// How the main dialog's operations end: no printer found, a cancel during the search or
// while the command is out, a result that arrives after the reset, Escape and the end of
// the dialog, and which states leave the operation buttons enabled.

#include "main_dialog_fixture.h"

#include "ui/exit_codes.h"
#include "app/profile_values.h"
#include "app/status_texts.h"
#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "tests/support/message_recorder.h"
#include "ui/profile.h"

#include <QTimer>

#include <ostream>

namespace main_dialog_test {
namespace {

// A port that the test's port map leads to no device: the search finds nothing, at once.
constexpr char kEmptyPortText[] = "COM4";
constexpr char kSearchingPortPrefix[] = "Searching port:";
// Long enough for the search to be inside a probe when the test acts.
constexpr int kIntoTheSearchMs = 300;
constexpr std::uint32_t kDelayedReplyMs = 1500;
constexpr int kSendJobWaitMs = 5000;

bool IsSearchingText(const QString& status)
{
    return status.startsWith(QLatin1String(kSearchingPortPrefix));
}

using DeviceNotFound = MainDialogTest;

TEST_F(DeviceNotFound, NothingOnThePortShowsDeviceNotFoundAndReturnsToIdle)
{
    OpenDialog();
    ChoosePort(kEmptyPortText);

    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitForStatus(kStatusDeviceNotFound)) << Printable(StatusHistory());

    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(OperationButtonsEnabled(true));
    EXPECT_TRUE(dialog->IsDlgItemEnabled(IDC_EXIT));
    EXPECT_EQ(ExitCaption(), kExitCaption);
    EXPECT_EQ(dialog->Search(), nullptr);
    EXPECT_FALSE(ui::QuitCode().has_value());
}

TEST_F(DeviceNotFound, SilentSendConfigEndsWithExitCodeDeviceNotFound)
{
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, CMD_SET_SETTINGS, "PAPER=TAG");
    const QString config = WriteFile("good.QV_BTP_CFG", frame);
    ui::WriteProfileString(kProfileSection, kProfilePortConnect, kEmptyPortText);

    OpenDialog(AppWithCommandLine({"SILENT", "SENDCONFIG", config}));
    ASSERT_TRUE(WaitUntil([] { return ui::QuitCode().has_value(); })) << Printable(StatusHistory());

    EXPECT_EQ(ui::QuitCode(), EXIT_CODE_DEVICE_NOT_FOUND);
    EXPECT_EQ(ui::QuitCode(), 21);
    EXPECT_EQ(Status(), kStatusDeviceNotFound);
}

// The search numbers its ports in 8 bits. A typed port beyond them is no port at all: cut to
// 8 bits, COM261 would reach the printer on COM5, COM256 every port, COM99999999999 COM255.
TEST_F(DeviceNotFound, TypedPortBeyondTheSearchReachesNoOtherPort)
{
    StartPrinter();
    for (int alsoThePrinter : {5, 255})
        portMap.Set(alsoThePrinter, printerLine.Device());
    OpenDialog();

    for (const char* typed : {"COM256", "COM261", "com 261", "COM99999999999"}) {
        SCOPED_TRACE(typed);
        ChoosePort(typed);
        Click(IDC_SET_CLOCK);
        ASSERT_TRUE(WaitForState(STATE_IDLE)) << Printable(StatusHistory());
        EXPECT_EQ(Status(), "Device not found");
        EXPECT_EQ(ExitCaption(), "E&xit");
        EXPECT_TRUE(OperationButtonsEnabled(true));
    }
    KeepRunning(kQuietWatchMs);
    EXPECT_TRUE(printer->ReceivedFrames().empty());
    EXPECT_FALSE(ui::QuitCode().has_value());

    // The highest port the search takes is still searched.
    ChoosePort("COM255");
    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitForStatus("Clock Set")) << Printable(StatusHistory());
    EXPECT_EQ(FramesWithCommand(CMD_SET_CLOCK).size(), 1u);
}

// A printer left in USB update mode, which each search start would tell to restart and then
// wait 15 s for; it stays listed, so that a reset would show in what it was sent.
platform::SimulatedUsbDevice PrinterInUpdateMode()
{
    platform::SimulatedUsbDevice device;
    device.productId = platform::kSimulatedUpdateModeProductId;
    device.serial = platform::SimulatedUsbBackend::HexSerial("MRV41F000123");
    device.restart.enabled = false;
    return device;
}

// A port beyond the search ends before any update-mode reset or its wait, by the posted
// message a search that found nothing sends.
TEST_F(DeviceNotFound, TypedPortBeyondTheSearchEndsByThePostedMessageWithoutAReset)
{
    const auto updateMode = usb.AddDevice(PrinterInUpdateMode());
    test_support::ThreadWaitLog waits;
    waits.FollowThisThread();
    OpenDialog();
    ChoosePort("COM261");

    Click(IDC_SET_CLOCK);
    EXPECT_EQ(Status(), "Searching");
    EXPECT_EQ(dialog->OperationState(), STATE_SEARCH_SET_CLOCK);
    EXPECT_EQ(ExitCaption(), "&Cancel");

    gui_test::ProcessPendingEvents();
    EXPECT_EQ(Status(), "Device not found");
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(ExitCaption(), "E&xit");
    EXPECT_TRUE(usb.Writes(updateMode).empty());
    for (std::uint32_t ms : waits.Waits())
        EXPECT_LT(ms, 1000u) << "an update-mode wait";
}

// Cancelled before its end arrived, the search for a port beyond the search ends there: the
// end that was on its way neither shows nor ends the next search.
TEST_F(DeviceNotFound, EndOfACancelledSearchBeyondTheSearchLeavesTheNextSearchAlone)
{
    StartPrinter();
    OpenDialog();
    ChoosePort("COM261");
    Click(IDC_SET_CLOCK);
    Click(IDC_EXIT);
    ASSERT_EQ(dialog->OperationState(), STATE_IDLE);

    ChoosePort(kPrinterPortText);
    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitForStatus("Clock Set")) << Printable(StatusHistory());
    EXPECT_FALSE(AppearInOrder(StatusHistory(), {"Device not found"})) << Printable(StatusHistory());
    EXPECT_EQ(FramesWithCommand(CMD_SET_CLOCK).size(), 1u);
}

using Cancel = MainDialogTest;

TEST_F(Cancel, CancelDuringTheSearchStopsItAndKeepsTheLastStatus)
{
    StartMutePrinter(); // the search waits at its first probe
    OpenDialog();
    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitUntil([&] { return IsSearchingText(Status()); })) << Printable(StatusHistory());
    KeepRunning(kIntoTheSearchMs);
    ASSERT_EQ(dialog->OperationState(), STATE_SEARCH_SET_CLOCK);
    ASSERT_EQ(ExitCaption(), kCancelCaption);
    const QString lastStatus = Status();

    Click(IDC_EXIT);

    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(Status(), lastStatus);
    EXPECT_EQ(ExitCaption(), kExitCaption);
    EXPECT_TRUE(OperationButtonsEnabled(true));
    EXPECT_TRUE(dialog->IsDlgItemEnabled(IDC_EXIT));
    EXPECT_EQ(dialog->Search(), nullptr);
    EXPECT_FALSE(printerLine.Line()->HostIsOpen());

    KeepRunning(kQuietWatchMs); // nothing from the stopped search may arrive now
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(Status(), lastStatus);
    EXPECT_TRUE(dialog->HasWindow());
}

TEST_F(Cancel, CancelWhileTheCommandIsOutEndsTheSendJobBeforeTheConnectionCloses)
{
    printer_sim::SimulatedPrinter& bagTag = StartPrinter();
    printer_sim::Fault slowReply;
    slowReply.kind = printer_sim::FaultKind::Delayed;
    slowReply.command = CMD_SET_CLOCK;
    slowReply.delayMs = kDelayedReplyMs;
    bagTag.AddFault(slowReply);
    OpenDialog();
    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitForState(STATE_WAIT_SET_CLOCK)) << Printable(StatusHistory());
    ASSERT_TRUE(bagTag.WaitForFrames(2, kSendJobWaitMs));
    ASSERT_NE(dialog->Connection(), nullptr);

    Click(IDC_EXIT);

    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->Connection(), nullptr);
    EXPECT_FALSE(printerLine.Line()->HostIsOpen());
    EXPECT_EQ(Status(), kStatusCommandSent);
    EXPECT_EQ(ExitCaption(), kExitCaption);

    // Past the moment the delayed reply goes out: no result of the ended job shows.
    KeepRunning(static_cast<int>(kDelayedReplyMs) + kQuietWatchMs);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(Status(), kStatusCommandSent);
}

TEST_F(Cancel, CancelWhileASilentPrinterKeepsTheCommandWaitingReturnsToIdle)
{
    printer_sim::SimulatedPrinter& bagTag = StartPrinter();
    printer_sim::Fault silence;
    silence.kind = printer_sim::FaultKind::Silence;
    silence.command = CMD_ROM_OPTION;
    bagTag.AddFault(silence);
    prompts.AnswerMenu(3); // "Reset Stored AEA Data"
    OpenDialog();
    Click(IDC_ROM_OPTIONS);
    ASSERT_TRUE(WaitForState(STATE_WAIT_ROM_OPTION)) << Printable(StatusHistory());
    ASSERT_TRUE(bagTag.WaitForFrames(2, kSendJobWaitMs));

    Click(IDC_EXIT);

    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->Connection(), nullptr);
    KeepRunning(kQuietWatchMs);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(Status(), kStatusCommandSent);
}

TEST_F(Cancel, NewSearchWhileTheCommandIsOutEndsThatCommandAsFailed)
{
    printer_sim::SimulatedPrinter& bagTag = StartPrinter();
    printer_sim::Fault silence;
    silence.kind = printer_sim::FaultKind::Silence;
    silence.command = CMD_SET_CLOCK;
    bagTag.AddFault(silence);
    OpenDialog();
    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitForState(STATE_WAIT_SET_CLOCK)) << Printable(StatusHistory());
    ASSERT_TRUE(bagTag.WaitForFrames(2, kSendJobWaitMs));

    // Outside the idle state nothing starts, but the command in flight loses its line.
    dialog->StartDeviceSearch(STATE_SEARCH_SET_CLOCK);

    EXPECT_EQ(dialog->Connection(), nullptr);
    ASSERT_TRUE(WaitForState(STATE_IDLE)) << Printable(StatusHistory());
    EXPECT_EQ(Status(), "Failed to get response to command");
    EXPECT_EQ(ExitCaption(), kExitCaption);
}

using LateResult = MainDialogTest;

TEST_F(LateResult, FailedResultAfterTheResetOnlyShowsItsText)
{
    OpenDialog();
    const CQVMessageParser parserWithoutResult; // its result reads ok false

    dialog->PostMessage(WM_SEND_DONE, 0, reinterpret_cast<ui::LParam>(&parserWithoutResult));
    ASSERT_TRUE(WaitForStatus(kStatusSettingsRetrieveFailed)) << Printable(StatusHistory());

    gui_test::ProcessPendingEvents();
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(OperationButtonsEnabled(true));
    EXPECT_EQ(ExitCaption(), kExitCaption);
    EXPECT_TRUE(dialog->HasWindow());
}

TEST_F(LateResult, SuccessfulResultAfterTheResetFindsNoSupportedDevice)
{
    StartPrinter();
    OpenDialog();
    // A job that really runs against the printer and reports to the idle dialog, as one
    // that a reset left behind would.
    CComms connection;
    ASSERT_TRUE(connection.Open(kPrinterPortText, 19200, 8, 'N', 1.0f));
    CQVMessageParser lateJob;

    ASSERT_TRUE(lateJob.StartSendThread(&connection, CMD_GET_SETTINGS, {}, dialog->GetSafeHwnd()));
    ASSERT_TRUE(WaitForStatus(kStatusUnsupportedDevice)) << Printable(StatusHistory());

    bool ok = false;
    MessageParseState state;
    std::string reply;
    lateJob.GetResult(&ok, &state, &reply);
    EXPECT_TRUE(ok);
    EXPECT_EQ(state.command, REPLY_SETTINGS);
    gui_test::ProcessPendingEvents();
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(dialog->IsWindowVisible());
    EXPECT_TRUE(lateJob.WaitForSendThread(kSendJobWaitMs));
    connection.Close();
}

using EndOfDialog = MainDialogTest;

TEST_F(EndOfDialog, EscapeDuringASearchEndsTheDialogAtOnceAndTheDestructorStopsTheSearch)
{
    StartMutePrinter(); // the search waits at its first probe
    MakeDialog();
    QTimer::singleShot(0, [this] {
        ChoosePort(kPrinterPortText);
        Click(IDC_SET_CLOCK);
    });
    QTimer watch;
    bool escapePressed = false;
    int stateAtEscape = STATE_INIT;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (escapePressed || !IsSearchingText(Status()))
            return;
        escapePressed = true;
        stateAtEscape = dialog->OperationState();
        gui_test::PressKey(dialog->Window(), Qt::Key_Escape);
    });
    watch.start(10);
    QTimer safety; // ends the run should Escape fail to, so the test cannot hang
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [this] { dialog->EndDialog(-2); });
    safety.start(kOperationWaitMs);

    const int result = dialog->DoModal();
    watch.stop();
    safety.stop();

    EXPECT_TRUE(escapePressed);
    EXPECT_EQ(result, ui::IDCANCEL);
    EXPECT_EQ(stateAtEscape, STATE_SEARCH_SET_CLOCK);
    EXPECT_FALSE(dialog->HasWindow());
    // The run ended without the reset: the operation is still there for the destructor.
    EXPECT_EQ(dialog->OperationState(), STATE_SEARCH_SET_CLOCK);
    EXPECT_NE(dialog->Search(), nullptr);

    dialog.reset();
    EXPECT_FALSE(printerLine.Line()->HostIsOpen());
    KeepRunning(kQuietWatchMs); // late posts to the gone window are dropped
}

// ---------------------------------------------------------------- buttons by state

// What starts an operation whose command the printer answers late, and the state the
// dialog waits in meanwhile.
struct WaitingOperation {
    const char* name;
    int button;
    int menuAnswer; // 0: no menu
    const char* chosenFile; // file dialog answer, written first; nullptr: none
    std::uint8_t command;
    int searchState;
    int waitState;
    bool buttonsEnabledWhileWaiting;
};

constexpr WaitingOperation kWaitingOperations[] = {
    {"EditDefaultConfig", IDC_EDIT_DEFAULT_CONFIG, 0, nullptr, CMD_GET_SETTINGS, STATE_SEARCH_EDIT_CONFIG,
     STATE_WAIT_SETTINGS, false},
    {"PrintTestDocument", IDC_PRINT_TEST_DOCUMENT, 2, nullptr, CMD_PRINT_TEST_DOCUMENT, STATE_SEARCH_TEST_PRINT,
     STATE_WAIT_TEST_PRINT, true},
    {"EditEepromConfig", IDC_EDIT_EEPROM_CONFIG, 0, nullptr, CMD_GET_EEPROM_SETTINGS, STATE_SEARCH_ROM_OPTION,
     STATE_WAIT_EEPROM_SETTINGS, false},
    {"RomOption", IDC_ROM_OPTIONS, 3, nullptr, CMD_ROM_OPTION, STATE_SEARCH_ROM_OPTION, STATE_WAIT_ROM_OPTION, true},
    {"RfidOption", IDC_ROM_OPTIONS, 2508, nullptr, CMD_RFID_OPTION, STATE_SEARCH_RFID_OPTION,
     STATE_WAIT_RFID_OPTION, true},
    {"SetClock", IDC_SET_CLOCK, 0, nullptr, CMD_SET_CLOCK, STATE_SEARCH_SET_CLOCK, STATE_WAIT_SET_CLOCK, true},
    {"LoadFirmware", IDC_LOAD_FIRMWARE, 0, "F2QV1_TEST.BIN", CMD_GET_SETTINGS, STATE_SEARCH_LOAD_FIRMWARE,
     STATE_WAIT_FIRMWARE_CHECK, true},
    {"SendConfigFile", IDC_SEND_CONFIG_FILE, 0, "test.QV_BTP_CFG", CMD_GET_SETTINGS, STATE_SEARCH_SEND_CONFIG,
     STATE_WAIT_CONFIG_CHECK, true},
};

// What the chosen file holds: a configuration file one whole frame (command 0x10, payload
// "abc"), a firmware image any bytes.
std::string ChosenFileBytes(const WaitingOperation& operation)
{
    using namespace std::string_literals;
    return operation.button == IDC_SEND_CONFIG_FILE ? "\x09\x01\x00\x00\x10" "0000003abc\x08\x08"s
                                                    : std::string(600, 'F');
}

void PrintTo(const WaitingOperation& operation, std::ostream* out)
{
    *out << operation.name;
}

// The states are what this test is about, not how long the protocol waits take.
constexpr double kFasterOperations = 4;
constexpr std::uint32_t kLateReplyProgramMs = 1600;
// Messages posted at the end of an operation (a focus move among them) have run by then.
constexpr int kFocusSettleMs = 100;

class ButtonsByState : public MainDialogTest, public ::testing::WithParamInterface<WaitingOperation> {
protected:
    test_support::ScopedSpeedFactor faster{kFasterOperations};
};

TEST_P(ButtonsByState, OperationButtonsFollowTheStateAndExitStaysEnabled)
{
    const WaitingOperation& operation = GetParam();
    printer_sim::SimulatedPrinter& bagTag = StartPrinter();
    printer_sim::Fault lateReply;
    lateReply.kind = printer_sim::FaultKind::Delayed;
    lateReply.command = operation.command;
    lateReply.delayMs = kLateReplyProgramMs;
    bagTag.AddFault(lateReply);
    if (operation.menuAnswer != 0)
        prompts.AnswerMenu(operation.menuAnswer);
    if (operation.chosenFile != nullptr)
        prompts.AnswerFileDialog(WriteFile(operation.chosenFile, ChosenFileBytes(operation)));
    OpenDialog();
    ASSERT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(OperationButtonsEnabled(true));

    Click(operation.button);
    ASSERT_EQ(dialog->OperationState(), operation.searchState) << Printable(StatusHistory());
    EXPECT_TRUE(OperationButtonsEnabled(false));
    EXPECT_TRUE(dialog->IsDlgItemEnabled(IDC_EXIT));

    // The found handler changes the state without redoing the buttons; ask for them here.
    ASSERT_TRUE(WaitForState(operation.waitState)) << Printable(StatusHistory());
    dialog->UpdateButtons();
    EXPECT_TRUE(OperationButtonsEnabled(operation.buttonsEnabledWhileWaiting));
    EXPECT_TRUE(dialog->IsDlgItemEnabled(IDC_EXIT));

    ASSERT_TRUE(WaitForState(STATE_IDLE)) << Printable(StatusHistory());
    EXPECT_TRUE(OperationButtonsEnabled(true));
    EXPECT_TRUE(dialog->IsDlgItemEnabled(IDC_EXIT));
}

INSTANTIATE_TEST_SUITE_P(WaitStates, ButtonsByState, ::testing::ValuesIn(kWaitingOperations),
                         [](const ::testing::TestParamInfo<WaitingOperation>& info) { return info.param.name; });

// The button is disabled while its operation runs, which takes the keyboard focus from it;
// once the operation has ended, the focus is back on it (not in the port box, where the next
// key would replace the port and Enter would end the program).
class FocusAfterOperation : public ButtonsByState {};

TEST_P(FocusAfterOperation, FocusReturnsToTheButtonThatStartedIt)
{
    const WaitingOperation& operation = GetParam();
    StartPrinter();
    if (operation.menuAnswer != 0)
        prompts.AnswerMenu(operation.menuAnswer);
    if (operation.chosenFile != nullptr)
        prompts.AnswerFileDialog(WriteFile(operation.chosenFile, ChosenFileBytes(operation)));
    OpenDialog();
    dialog->BringWindowToTop();
    dialog->GotoDlgCtrl(operation.button);
    ASSERT_EQ(dialog->GetFocusedDlgItem(), operation.button);

    Click(operation.button);
    ASSERT_EQ(dialog->OperationState(), operation.searchState) << Printable(StatusHistory());
    ASSERT_NE(dialog->GetFocusedDlgItem(), operation.button);
    ASSERT_TRUE(WaitForState(STATE_IDLE)) << Printable(StatusHistory());
    KeepRunning(kFocusSettleMs);

    // The firmware window stands in for the main window before its load fails to start (the
    // image is too short); after a child window the focus goes to Edit Default Config.
    const int expected = operation.button == IDC_LOAD_FIRMWARE ? IDC_EDIT_DEFAULT_CONFIG : operation.button;
    EXPECT_EQ(dialog->GetFocusedDlgItem(), expected) << Printable(StatusHistory());
}

INSTANTIATE_TEST_SUITE_P(Operations, FocusAfterOperation, ::testing::ValuesIn(kWaitingOperations),
                         [](const ::testing::TestParamInfo<WaitingOperation>& info) { return info.param.name; });

} // namespace
} // namespace main_dialog_test
