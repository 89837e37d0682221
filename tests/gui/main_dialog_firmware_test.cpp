// Load Firmware from the main dialog: the file, the search, the type check, the firmware
// window in the main window's place, its result back in the main dialog, and the same road
// in an unattended run with its exit codes.

#include "main_dialog_fixture.h"

#include "app/profile_values.h"
#include "firmware/load_firmware_dlg.h"
#include "tests/support/message_recorder.h"
#include "ui/profile.h"

#include <QDir>
#include <QPointer>

namespace main_dialog_test {
namespace {

constexpr std::uint32_t kImageSize = 20000;
// Serial-only printers: a version below 6060 never asks for USB.
constexpr char kBagTag6050[] = "YT00000006050";
constexpr char kBoardingPass6050[] = "YP00000006050";
constexpr char kFirmwareFileName[] = "F2QV1_ROAD.BIN";
constexpr double kFasterWaits = 4;

std::string TestImage(std::uint32_t size)
{
    std::string image(size, '\0');
    for (std::uint32_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 11 + i / 253) & 0xFF);
    return image;
}

class LoadFirmware : public MainDialogTest {
protected:
    LoadFirmware() { ui::WriteProfileString(kProfileSection, kProfilePortConnect, kPrinterPortText); }

    bool WaitForFirmwareDialog() { return WaitForState(STATE_FIRMWARE_DIALOG); }
    bool WaitForFirmwareResult()
    {
        return WaitUntil([this] {
            return dialog->FirmwareDialog() != nullptr && dialog->FirmwareDialog()->Result() != kChildResultNone;
        });
    }
    void ClickFirmwareButton() { dialog->FirmwareDialog()->GetButton(IDC_FIRMWARE_CANCEL).Click(); }

    // A load whose blocks the printer answers slowly, with its second block in flight.
    void SlowDownBlocks()
    {
        printer_sim::Fault slow;
        slow.kind = printer_sim::FaultKind::Delayed;
        slow.command = CMD_FIRMWARE_BLOCK;
        slow.times = -1;
        slow.delayMs = 2000;
        printer->AddFault(slow);
    }

    test_support::ScopedSpeedFactor faster{kFasterWaits};
};

struct Family {
    const char* name;
    const char* identity;
    const char* caption;
};

// The lowest firmware version that takes a load is offered it (one below: kRefusals).
constexpr Family kFamilies[] = {
    {"BagTag", kBagTag6050, "BTP Jetvane (v2.3.1.1) - YT00000006050"},
    {"BoardingPass", kBoardingPass6050, "BPP Jetvane (v2.3.1.1) - YP00000006050"},
    {"BagTagAtTheLowestVersion", "YT00000006036", "BTP Jetvane (v2.3.1.1) - YT00000006036"},
};

class LoadFirmwareFromTheWindow : public LoadFirmware, public ::testing::WithParamInterface<Family> {};

TEST_P(LoadFirmwareFromTheWindow, FirmwareWindowTakesTheMainWindowsPlaceAndHandsTheResultBack)
{
    const std::string image = TestImage(kImageSize);
    StartPrinter(GetParam().identity);
    const QString file = WriteFile(kFirmwareFileName, image);
    prompts.AnswerFileDialog(file);
    OpenDialog();
    dialog->MoveWindowTo(QPoint(40, 30));
    const QPoint mainPlace = dialog->GetWindowRect().topLeft();

    Click(IDC_LOAD_FIRMWARE);
    ASSERT_TRUE(QFile::remove(file)); // the image was read when it was chosen
    ASSERT_TRUE(WaitForFirmwareDialog()) << Printable(StatusHistory());

    CQVAirLoadFirmwareDlg& firmware = *dialog->FirmwareDialog();
    EXPECT_EQ(firmware.GetWindowText(), GetParam().caption);
    EXPECT_EQ(firmware.GetWindowRect().topLeft(), mainPlace);
    EXPECT_TRUE(firmware.IsWindowVisible());
    EXPECT_FALSE(dialog->IsWindowVisible());
    ASSERT_TRUE(WaitForFirmwareResult());
    EXPECT_EQ(firmware.GetDlgItemText(IDC_FIRMWARE_STATUS), "Firmware Upload Successful");
    EXPECT_EQ(printer->FirmwareImage(), image);

    firmware.MoveWindowTo(QPoint(70, 50));
    const QPoint firmwarePlace = firmware.GetWindowRect().topLeft();
    const QPointer<QWidget> firmwareWindow = firmware.Window();
    ClickFirmwareButton(); // "&Close"

    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(Status(), "Loaded Successfully");
    EXPECT_TRUE(dialog->IsWindowVisible());
    EXPECT_EQ(dialog->GetWindowRect().topLeft(), firmwarePlace); // where the firmware window stood
    EXPECT_EQ(dialog->FirmwareDialog(), nullptr);
    EXPECT_TRUE(dialog->FirmwareImage().IsEmpty());
    EXPECT_FALSE(firmwareWindow.isNull()) << "destroyed while its notification was still running";
    gui_test::ProcessPendingEvents();
    EXPECT_TRUE(firmwareWindow.isNull());
    EXPECT_FALSE(ui::QuitCode().has_value());
}

INSTANTIATE_TEST_SUITE_P(Families, LoadFirmwareFromTheWindow, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family>& info) { return info.param.name; });

TEST_F(LoadFirmware, CancelInTheFirmwareWindowSendsTheAbortAndReportsCancelled)
{
    StartPrinter(kBagTag6050);
    SlowDownBlocks();
    prompts.AnswerFileDialog(WriteFile(kFirmwareFileName, TestImage(kImageSize)));
    OpenDialog();
    Click(IDC_LOAD_FIRMWARE);
    ASSERT_TRUE(WaitForFirmwareDialog()) << Printable(StatusHistory());
    ASSERT_TRUE(WaitUntil([this] { return FramesWithCommand(CMD_FIRMWARE_BLOCK).size() >= 2; }));

    ClickFirmwareButton();

    EXPECT_EQ(Status(), "Firmware Load Cancelled");
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->Connection(), nullptr);
    // The abort left before the connection closed.
    ASSERT_EQ(FramesWithCommand(CMD_ABORT).size(), 1u);
    EXPECT_EQ(printer->ReceivedFrames().back().command, CMD_ABORT);
    EXPECT_FALSE(printer->FirmwareEnded());
}

struct RefusalCase {
    const char* name;
    const char* identity;
    std::uint32_t imageSize;
    const char* status;
};

constexpr RefusalCase kRefusals[] = {
    {"OldFirmware", "YT00000006035", kImageSize, "Minimum Firmware Version v6036 Required"},
    {"ImageTooShort", kBagTag6050, 499, "FAILED to parse device settings"},
    {"ImageOfOneBlock", kBagTag6050, 8192, "FAILED - Unable to start firmware load"},
};

class LoadFirmwareRefused : public LoadFirmware, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(LoadFirmwareRefused, NothingIsSentAndTheWindowReturnsToIdle)
{
    StartPrinter(GetParam().identity);
    prompts.AnswerFileDialog(WriteFile(kFirmwareFileName, TestImage(GetParam().imageSize)));
    OpenDialog();

    Click(IDC_LOAD_FIRMWARE);
    ASSERT_TRUE(WaitForStatus(GetParam().status)) << Printable(StatusHistory());

    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->FirmwareDialog(), nullptr);
    EXPECT_TRUE(dialog->IsWindowVisible());
    EXPECT_TRUE(dialog->FirmwareImage().IsEmpty());
    // The search's probe and the type check, and nothing after them: no block, no abort.
    KeepRunning(kQuietWatchMs);
    std::vector<std::uint8_t> heard;
    for (const printer_sim::ReceivedFrame& frame : printer->ReceivedFrames())
        heard.push_back(frame.command);
    EXPECT_EQ(heard, (std::vector<std::uint8_t>{CMD_IDENTIFY, CMD_GET_SETTINGS}));
}

INSTANTIATE_TEST_SUITE_P(Refusals, LoadFirmwareRefused, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

// 4 GiB and 9000 bytes: its length in 32 bits would be 9000, an image of two blocks.
TEST_F(LoadFirmware, ImageLongerThanA32BitLengthIsAFileThatCannotBeRead)
{
    StartPrinter(kBagTag6050);
    prompts.AnswerFileDialog(WriteSparseFile(kFirmwareFileName, TestImage(9000), 4294976296));
    OpenDialog();

    Click(IDC_LOAD_FIRMWARE);

    EXPECT_EQ(Status(), "Unable To Read File");
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(dialog->Search(), nullptr);
    EXPECT_TRUE(dialog->FirmwareImage().IsEmpty());
    EXPECT_TRUE(OperationButtonsEnabled(true));
    KeepRunning(kQuietWatchMs);
    EXPECT_TRUE(printer->ReceivedFrames().empty());
}

// "All Files" lists every file, one whose name holds no dot too.
TEST_F(LoadFirmware, FileDialogOffersFirmwareImagesOrEveryFile)
{
    OpenDialog();

    Click(IDC_LOAD_FIRMWARE); // no answer queued: the dialog is cancelled

    ASSERT_EQ(prompts.FileDialogs().size(), 1u);
    const std::vector<ui::FileFilter> filters = ui::ParseFileFilter(prompts.FileDialogs()[0].filter);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].description, QString("Firmware Files (*.BIN)"));
    EXPECT_EQ(filters[0].patterns, QStringList({"F2QV1_*.BIN", "F2QV1_*.LNK"}));
    EXPECT_EQ(filters[1].description, QString("All Files (*.*)"));
    for (const char* name : {"F2QV1_TEST.BIN", "F2QV1_.X", "image.bin", "README"})
        EXPECT_TRUE(QDir::match(filters[1].patterns, QString(name))) << name;
}

// ---------------------------------------------------------------- unattended

TEST_F(LoadFirmware, SilentRunOfAGoodImageEndsWithExitCodeSuccess)
{
    const std::string image = TestImage(kImageSize);
    StartPrinter(kBagTag6050);
    const QString file = WriteFile(kFirmwareFileName, image);

    OpenDialog(AppWithCommandLine({"SILENT", "LOADFIRMWARE", file}));
    ASSERT_TRUE(WaitUntil([] { return ui::QuitCode().has_value(); })) << Printable(StatusHistory());

    EXPECT_EQ(ui::QuitCode(), 0);
    EXPECT_TRUE(prompts.FileDialogs().empty());
    EXPECT_EQ(printer->FirmwareImage(), image);
}

TEST_F(LoadFirmware, SilentRunToAPrinterThatRefusesTheBlocksEndsWithOperationFailed)
{
    StartPrinter(kBagTag6050);
    printer_sim::Fault refuse;
    refuse.kind = printer_sim::FaultKind::Refuse;
    refuse.command = CMD_FIRMWARE_BLOCK;
    refuse.times = -1;
    printer->AddFault(refuse);

    OpenDialog(AppWithCommandLine({"SILENT", "LOADFIRMWARE", WriteFile(kFirmwareFileName, TestImage(kImageSize))}));
    ASSERT_TRUE(WaitUntil([] { return ui::QuitCode().has_value(); })) << Printable(StatusHistory());

    EXPECT_EQ(ui::QuitCode(), 20);
    // Why, for the line that the run's end writes on standard error.
    EXPECT_EQ(ui::QuitReason(), "Firmware Upload Failed: the printer refused it (reply code 0x61)");
    EXPECT_FALSE(printer->FirmwareEnded());
}

TEST_F(LoadFirmware, SilentRunWhoseLoadIsCancelledGoesOnInTheWindow)
{
    StartPrinter(kBagTag6050);
    SlowDownBlocks();
    OpenDialog(AppWithCommandLine({"SILENT", "LOADFIRMWARE", WriteFile(kFirmwareFileName, TestImage(kImageSize))}));
    ASSERT_TRUE(WaitForFirmwareDialog()) << Printable(StatusHistory());
    ASSERT_TRUE(WaitUntil([this] { return !FramesWithCommand(CMD_FIRMWARE_BLOCK).empty(); }));

    gui_test::PressKey(dialog->FirmwareDialog()->Window(), Qt::Key_Escape);
    KeepRunning(kQuietWatchMs);

    EXPECT_FALSE(ui::QuitCode().has_value());
    EXPECT_FALSE(dialog->SilentMode());
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_TRUE(dialog->IsWindowVisible());
    EXPECT_EQ(Status(), "Firmware Load Cancelled");
    EXPECT_TRUE(FramesWithCommand(CMD_ABORT).empty()); // Escape sends none
}

} // namespace
} // namespace main_dialog_test
