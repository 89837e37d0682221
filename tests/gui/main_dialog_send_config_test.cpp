// Send Config File from the main dialog: the file dialog's request, the type check against
// the printer, the file's frame going out unchanged, and the ends of the operation.

#include "main_dialog_fixture.h"

#include "ui/exit_codes.h"
#include "app/file_choice.h"
#include "app/profile_values.h"
#include "app/status_texts.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "ui/display.h"
#include "ui/profile.h"
#include "tests/support/settings_file_families.h"

#include <optional>
#include <tuple>

namespace main_dialog_test {
namespace {

// A configuration file holds one complete frame with direction 0.
std::string ConfigurationFrame(const std::string& record)
{
    std::string frame;
    return CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, CMD_SET_SETTINGS, record);
}

// The bytes of a received frame as they crossed the line.
std::string FrameBytes(const printer_sim::ReceivedFrame& received)
{
    std::string frame;
    return CQVMessageParser::BuildMessage(frame, received.flags, received.direction, received.command,
                                          received.payload);
}

std::vector<std::uint8_t> Commands(const std::vector<printer_sim::ReceivedFrame>& frames)
{
    std::vector<std::uint8_t> commands;
    for (const printer_sim::ReceivedFrame& frame : frames)
        commands.push_back(frame.command);
    return commands;
}

using SendConfigFile = MainDialogTest;

TEST_F(SendConfigFile, ChosenBagTagFileGoesToTheBagTagPrinterByteForByte)
{
    // Bytes outside 0x20..0x7F travel escaped in the frame; the file is sent as it stands.
    const std::string file = ConfigurationFrame(std::string("PAPER=TAG\x01\x10\xFF;SPEED=3", 20));
    StartPrinter(kIdentityBagTag);
    prompts.AnswerFileDialog(WriteFile("desk.QV_BTP_CFG", file));
    OpenDialog();

    Click(IDC_SEND_CONFIG_FILE);
    ASSERT_TRUE(WaitForStatus(kStatusConfigurationSent)) << Printable(StatusHistory());

    const std::vector<printer_sim::ReceivedFrame> frames = printer->ReceivedFrames();
    ASSERT_EQ(Commands(frames), (std::vector<std::uint8_t>{CMD_IDENTIFY, CMD_GET_SETTINGS, CMD_SET_SETTINGS}));
    EXPECT_EQ(frames[2].direction, FRAME_DIRECTION_FILE);
    EXPECT_EQ(FrameBytes(frames[2]), file);
    EXPECT_TRUE(AppearInOrder(StatusHistory(),
                              {kStatusSearching, kStatusCheckingDeviceTypeSent, kStatusConfigurationSent}))
        << Printable(StatusHistory());
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(ExitCaption(), kExitCaption);
    EXPECT_FALSE(ui::QuitCode().has_value());
}

TEST_F(SendConfigFile, FileDialogProposesTheDefaultNameWhenTheProfileIsEmpty)
{
    OpenDialog();

    Click(IDC_SEND_CONFIG_FILE); // no answer queued: the dialog is cancelled

    ASSERT_EQ(prompts.FileDialogs().size(), 1u);
    const ui::FileDialogRequest& request = prompts.FileDialogs()[0];
    EXPECT_EQ(request.kind, ui::FileDialogKind::Open);
    EXPECT_EQ(request.owner, dialog->GetSafeHwnd());
    EXPECT_EQ(request.defaultExtension, QString("QV_BTP_CFG"));
    EXPECT_EQ(request.initialFile, QString("Jetvane.QV_BTP_CFG"));
    EXPECT_EQ(request.filter, QString("Configuration Files (*.QV_BTP_CFG,*.QV_BPP_CFG,*.QV_EEPROM_CFG)|"
                                      "*.QV_BTP_CFG; *.QV_BPP_CFG; *.QV_EEPROM_CFG||"));
    EXPECT_NE(request.flags & ui::OFN_FILEMUSTEXIST, 0u);
}

TEST_F(SendConfigFile, BoardingPassFileToABagTagPrinterIsNotSent)
{
    StartPrinter(kIdentityBagTag);
    prompts.AnswerFileDialog(WriteFile("gate.QV_BPP_CFG", ConfigurationFrame("BPP RECORD")));
    OpenDialog();

    Click(IDC_SEND_CONFIG_FILE);
    ASSERT_TRUE(WaitForStatus(kStatusChangingDeviceTypeNotSupported)) << Printable(StatusHistory());

    EXPECT_EQ(Commands(printer->ReceivedFrames()), (std::vector<std::uint8_t>{CMD_IDENTIFY, CMD_GET_SETTINGS}));
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->Connection(), nullptr);
    EXPECT_TRUE(OperationButtonsEnabled(true));
}

TEST_F(SendConfigFile, CancelledFileDialogStartsNothing)
{
    StartPrinter();
    prompts.AnswerFileDialog(std::nullopt);
    OpenDialog();

    Click(IDC_SEND_CONFIG_FILE);

    EXPECT_EQ(Status(), kStatusSendConfigSelectCancelled);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->Search(), nullptr);
    KeepRunning(kQuietWatchMs);
    EXPECT_TRUE(printer->ReceivedFrames().empty());
}

TEST_F(SendConfigFile, TextFileIsRefusedAsUnsupportedDeviceType)
{
    StartPrinter();
    prompts.AnswerFileDialog(WriteFile("notes.txt", ConfigurationFrame("BTP RECORD")));
    OpenDialog();

    Click(IDC_SEND_CONFIG_FILE);

    EXPECT_EQ(Status(), kStatusUnsupportedDeviceType);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(dialog->ConfigFileImage().IsEmpty());
    KeepRunning(kQuietWatchMs);
    EXPECT_TRUE(printer->ReceivedFrames().empty());
}

// A frame cut short would leave the printer's receiver in the middle of a frame.
TEST_F(SendConfigFile, FileThatIsNotOneWholeFrameIsRefusedBeforeTheSearch)
{
    using namespace std::string_literals;
    StartPrinter(kIdentityBagTag);
    prompts.AnswerFileDialog(WriteFile("cut.QV_BTP_CFG", "\x09\x01\x00\x02\x42" "0000050\x7F\x7E\x01"s));
    OpenDialog();

    Click(IDC_SEND_CONFIG_FILE);

    EXPECT_EQ(Status(), "Not a configuration file");
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->Search(), nullptr);
    EXPECT_TRUE(OperationButtonsEnabled(true));
    KeepRunning(kQuietWatchMs);
    EXPECT_TRUE(printer->ReceivedFrames().empty());
}

// 4 GiB and 5 bytes: its length in 32 bits would be 5, and those first bytes a whole frame.
TEST_F(SendConfigFile, FileLongerThanA32BitLengthIsAFileThatCannotBeRead)
{
    StartPrinter(kIdentityBagTag);
    prompts.AnswerFileDialog(WriteSparseFile("huge.QV_BTP_CFG", ConfigurationFrame("A"), 4294967301));
    OpenDialog();

    Click(IDC_SEND_CONFIG_FILE);

    EXPECT_EQ(Status(), "Unable To Read File");
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->Search(), nullptr);
    EXPECT_TRUE(dialog->ConfigFileImage().IsEmpty());
    KeepRunning(kQuietWatchMs);
    EXPECT_TRUE(printer->ReceivedFrames().empty());
}

TEST_F(SendConfigFile, SilentRunWithAGoodFileEndsWithExitCodeSuccess)
{
    const std::string file = ConfigurationFrame("PAPER=TAG");
    const QString path = WriteFile("silent.QV_BTP_CFG", file);
    StartPrinter(kIdentityBagTag);
    ui::WriteProfileString(kProfileSection, kProfilePortConnect, kPrinterPortText);

    OpenDialog(AppWithCommandLine({"SILENT", "SENDCONFIG", path}));
    ASSERT_TRUE(WaitUntil([] { return ui::QuitCode().has_value(); })) << Printable(StatusHistory());

    EXPECT_EQ(ui::QuitCode(), EXIT_CODE_SUCCESS);
    EXPECT_EQ(Status(), kStatusConfigurationSent);
    EXPECT_TRUE(prompts.FileDialogs().empty());
    const std::vector<printer_sim::ReceivedFrame> frames = printer->ReceivedFrames();
    ASSERT_EQ(Commands(frames), (std::vector<std::uint8_t>{CMD_IDENTIFY, CMD_GET_SETTINGS, CMD_SET_SETTINGS}));
    EXPECT_EQ(FrameBytes(frames[2]), file);
}

// A silent run whose file is refused hands its window to the technician (a display shows
// it), who sends another file there and then closes it: the run ends by hand, saying what
// became of its own file, not of the other one.
TEST_F(SendConfigFile, SilentRunHandedOverSaysWhatBecameOfItsFileWhenClosedByHand)
{
    const QString refused = WriteFile("gate.QV_BPP_CFG", ConfigurationFrame("PAPER=TAG"));
    StartPrinter(kIdentityBagTag);
    ui::WriteProfileString(kProfileSection, kProfilePortConnect, kPrinterPortText);
    OpenDialog(AppWithCommandLine({"SILENT", "SENDCONFIG", refused}));
    ASSERT_TRUE(WaitUntil([&] { return Status() == kStatusChangingDeviceTypeNotSupported; }))
        << Printable(StatusHistory());
    ASSERT_FALSE(dialog->SilentMode());

    prompts.AnswerFileDialog(WriteFile("desk.QV_BTP_CFG", ConfigurationFrame("PAPER=TAG")));
    Click(IDC_SEND_CONFIG_FILE);
    ASSERT_TRUE(
        WaitUntil([&] { return Status() == kStatusConfigurationSent && dialog->OperationState() == STATE_IDLE; }))
        << Printable(StatusHistory());

    EXPECT_FALSE(ui::QuitCode().has_value());
    EXPECT_EQ(dialog->EndedByHandReason(),
              "the window was closed before the operation ended (last status: Changing device type not supported: "
              "gate.QV_BPP_CFG is not for the BTP printer found)");
}

// How the printer answers the two exchanges of a send: the type check (its settings
// request) and the file's frame; and the files of either family by name and by record
// (tests/support/settings_file_families.h) before a printer of either family. Each runs
// attended (the status line, back to idle) and silent (the exit code and the reason of the
// run's end). The record's device-type field ('~' 0x03: +1 bag-tag, +16 boarding-pass) is
// read as the dialogs read it; a field of neither family leaves it to the name.
struct PrinterAnswers {
    const char* name;
    std::optional<printer_sim::Fault> typeCheck; // none: the settings reply
    std::optional<printer_sim::Fault> send;      // none: an acknowledgement
    bool sent;
    const char* identity = kIdentityBagTag;
    const char* fileName = "answers.QV_BTP_CFG";
    std::string record = "PAPER=TAG";
    const char* refusal = nullptr; // why a silent run ends when refused as the other family's
};

printer_sim::Fault FaultOn(std::uint8_t command, printer_sim::FaultKind kind, std::uint8_t code = 0)
{
    printer_sim::Fault fault;
    fault.kind = kind;
    fault.command = command;
    fault.refuseCode = code;
    return fault;
}

const PrinterAnswers kPrinterAnswers[] = {
    // A complete reply of code 0x60 and no payload: the printer acknowledges the request.
    {"TypeCheckAnsweredByABareAcknowledgement",
     FaultOn(CMD_GET_SETTINGS, printer_sim::FaultKind::Refuse, 0x60), std::nullopt, true},
    {"PrinterSilentAfterTheTypeCheck", std::nullopt, FaultOn(CMD_SET_SETTINGS, printer_sim::FaultKind::Silence), false},
    // The acknowledgement's code byte arrives, its CRC does not match: no reply was taken.
    {"AcknowledgementArrivesDamaged", std::nullopt, FaultOn(CMD_SET_SETTINGS, printer_sim::FaultKind::WrongCrc), false},
    // As hexadecimal digits, read as the dialogs read them: the text 16.
    {"BoardingPassSettingsInHexDigits", {}, {}, false, kIdentityBagTag, "desk.QV_BTP_CFG", "\x7F~\x03" "3136\x7F",
     "desk.QV_BTP_CFG is not for the BTP printer found (its name is for a BTP printer, its settings for a BPP "
     "printer)"},
    {"BoardingPassSettingsNamedBagTagToABoardingPassPrinter", {}, {}, false, kIdentityBoardingPass, "desk.QV_BTP_CFG",
     "\x7F~\x01+2\x7F~\x03+16\x7Fq\x7F",
     "desk.QV_BTP_CFG is not for the BPP printer found (its name is for a BTP printer, its settings for a BPP "
     "printer)"},
    {"DeviceTypeOfNoFamily", {}, {}, true, kIdentityBagTag, "desk.QV_BTP_CFG", "\x7F~\x03+0\x7F~\x03-16\x7Fq\x7F"},
    // A DEL as a field's parameter opens no field: the key behind it is that field's value.
    {"DeviceTypeKeyBehindADelParameter", {}, {}, true, kIdentityBagTag, "desk.QV_BTP_CFG",
     "\x7F}\x7F~\x03+16\x7F}\x0A" "414243\x7Fq\x7F"},
};

std::vector<PrinterAnswers> AllAnswers()
{
    std::vector<PrinterAnswers> all(std::begin(kPrinterAnswers), std::end(kPrinterAnswers));
    for (const test_support::SettingsFileFamilyCase& c : test_support::SettingsFileFamilyCases()) {
        all.push_back({c.name, std::nullopt, std::nullopt, c.refusal == nullptr,
                       c.bagTagPrinter ? kIdentityBagTag : kIdentityBoardingPass, c.fileName, c.record, c.refusal});
    }
    return all;
}

void PrintTo(const PrinterAnswers& answers, std::ostream* os)
{
    *os << answers.name;
}

// Silent runs go without a display, where nobody could take over from them.
class SendConfigAnswers : public MainDialogTest,
                          public ::testing::WithParamInterface<std::tuple<PrinterAnswers, bool>> {
protected:
    ~SendConfigAnswers() override { ui::SetRunsWithoutDisplay(false); }
};

TEST_P(SendConfigAnswers, FileIsSentOrTheRunSaysWhyNot)
{
    const auto& [answers, silent] = GetParam();
    const std::string file = ConfigurationFrame(answers.record);
    const QString path = WriteFile(answers.fileName, file);
    StartPrinter(answers.identity);
    for (const std::optional<printer_sim::Fault>& fault : {answers.typeCheck, answers.send}) {
        if (fault)
            printer->AddFault(*fault);
    }
    const QString ending = answers.sent      ? "Configuration Sent"
                           : answers.refusal ? "Changing device type not supported"
                                             : "Configuration Send FAILED";
    const QString reason = answers.sent      ? ""
                           : answers.refusal ? QString("Changing device type not supported: ") + answers.refusal
                                             : "Configuration Send FAILED: the printer did not answer";

    if (silent) {
        ui::SetRunsWithoutDisplay(true);
        ui::WriteProfileString(kProfileSection, kProfilePortConnect, kPrinterPortText);
        OpenDialog(AppWithCommandLine({"SILENT", "SENDCONFIG", path}));
        ASSERT_TRUE(WaitUntil([] { return ui::QuitCode().has_value(); })) << Printable(StatusHistory());
        EXPECT_EQ(ui::QuitCode(), answers.sent ? 0 : 20);
        EXPECT_EQ(ui::QuitReason(), reason);
    } else {
        prompts.AnswerFileDialog(path);
        OpenDialog();
        Click(IDC_SEND_CONFIG_FILE);
        ASSERT_TRUE(WaitUntil([&] { return Status() == ending && dialog->OperationState() == STATE_IDLE; }))
            << Printable(StatusHistory());
        EXPECT_FALSE(ui::QuitCode().has_value());
    }

    EXPECT_EQ(Status(), ending) << Printable(StatusHistory());
    const std::vector<printer_sim::ReceivedFrame> frames = printer->ReceivedFrames();
    if (answers.refusal) {
        EXPECT_EQ(Commands(frames), (std::vector<std::uint8_t>{CMD_IDENTIFY, CMD_GET_SETTINGS}));
        return;
    }
    ASSERT_EQ(Commands(frames), (std::vector<std::uint8_t>{CMD_IDENTIFY, CMD_GET_SETTINGS, CMD_SET_SETTINGS}));
    EXPECT_EQ(FrameBytes(frames[2]), file);
}

INSTANTIATE_TEST_SUITE_P(Answers, SendConfigAnswers,
                         ::testing::Combine(::testing::ValuesIn(AllAnswers()), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<PrinterAnswers, bool>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Silent" : "_Attended");
                         });

} // namespace
} // namespace main_dialog_test
