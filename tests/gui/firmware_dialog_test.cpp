// The firmware load window on its own, under a parent that records its end: the serial
// road against the simulated printer on a virtual line, the update-mode handshake, the USB
// road through the simulated USB printer, the Cancel button and the size limits.

#include "main_dialog_fixture.h"

#include "comms/comms.h"
#include "comms/private_messages.h"
#include "firmware/load_firmware_dlg.h"
#include "tests/support/message_recorder.h"
#include "tools/printer-sim/usb_side.h"

#include <QProgressBar>

#include <chrono>

namespace main_dialog_test {
namespace {

constexpr std::uint32_t kImageSize = 20000;
constexpr std::uint32_t kSerialOnlyVersion = 6050;
constexpr std::uint32_t kUsbVersion = 6060;
constexpr char kCandidateName[] = "F2QV1_TEST.BIN";
constexpr char kOtherName[] = "firmware.bin";
// The protocol's fixed waits are not what these tests are about.
constexpr double kFasterWaits = 10;

constexpr ui::DialogTemplate kParentTemplate{"parent", 120, 60, ui::dialog_style::kCentered, {}, {}};

// Stands in for the main dialog: records every end the firmware dialog reports.
class ParentWindow final : public ui::Dialog {
public:
    ParentWindow() : ui::Dialog(kParentTemplate) { MapMessage(WM_FIRMWARE_LOAD_DONE, &ParentWindow::OnDone); }
    ui::LResult OnDone(ui::WParam result, ui::LParam)
    {
        results.push_back(static_cast<int>(result));
        return 0;
    }
    std::vector<int> results;
};

std::string TestImage(std::uint32_t size)
{
    std::string image(size, '\0');
    for (std::uint32_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 7 + i / 256) & 0xFF); // every byte value, escapes included
    return image;
}

printer_sim::Fault Fault(printer_sim::FaultKind kind, std::uint8_t command, int times)
{
    printer_sim::Fault fault;
    fault.kind = kind;
    fault.command = command;
    fault.times = times;
    return fault;
}

class FirmwareDialogTest : public MainDialogTest {
protected:
    FirmwareDialogTest() { parent.Create(); }
    ~FirmwareDialogTest() override
    {
        sampler.reset();
        firmware.reset();
        connection.Close();
        parent.DestroyWindow();
        gui_test::ProcessPendingEvents();
    }

    // Opens the printer's port with DTR and RTS raised, as the main dialog hands it over,
    // and the dialog with the image, which the dialog borrows as it does the main dialog's.
    bool OpenFirmwareDialog(const std::string& bytes, std::uint32_t version, const char* fileName,
                            int baudRate = 19200)
    {
        image = bytes;
        EXPECT_TRUE(connection.Open(kPrinterPortText, baudRate, 8, 'N', 1.0f));
        connection.SerialChannel().SetDTR(true);
        connection.SerialChannel().SetRTS(true);
        firmware = std::make_unique<CQVAirLoadFirmwareDlg>(&parent, [this] { return silent; });
        EXPECT_TRUE(firmware->Create(&parent));
        sampler = std::make_unique<EventSampler>([this] { return FirmwareStatus(); });
        return firmware->SetFirmwareData(&connection, fileName, static_cast<std::uint32_t>(image.size()),
                                         reinterpret_cast<const std::uint8_t*>(image.data()), version);
    }

    bool WaitForResult() { return WaitUntil([this] { return firmware->Result() != kChildResultNone; }); }
    QString FirmwareStatus() const { return firmware ? firmware->GetDlgItemText(IDC_FIRMWARE_STATUS) : QString(); }
    QString ButtonCaption() const { return firmware->GetDlgItemText(IDC_FIRMWARE_CANCEL); }
    QProgressBar* Bar() const
    {
        return qobject_cast<QProgressBar*>(firmware->GetDlgItem(IDC_FIRMWARE_PROGRESS).Widget());
    }
    // The commands the printer heard; only those of the handshake when asked.
    std::vector<std::uint8_t> Commands(bool handshakeOnly = false) const
    {
        std::vector<std::uint8_t> commands;
        for (const printer_sim::ReceivedFrame& frame : printer->ReceivedFrames()) {
            if (!handshakeOnly || frame.command == CMD_QUERY_UPDATE_MODE || frame.command == CMD_SWITCH_UPDATE_MODE)
                commands.push_back(frame.command);
        }
        return commands;
    }

    test_support::ScopedSpeedFactor faster{kFasterWaits};
    ParentWindow parent;
    CComms connection;
    std::string image;
    bool silent = false;
    std::unique_ptr<CQVAirLoadFirmwareDlg> firmware;
    std::unique_ptr<EventSampler> sampler;
};

// ---------------------------------------------------------------- the serial road

TEST_F(FirmwareDialogTest, SerialRoadDeliversTheImageByteForByteAndEndsWithAFullBar)
{
    StartPrinter();
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kSerialOnlyVersion, kCandidateName));
    EventSampler bar([this] { return QString::number(Bar()->value()); });

    ASSERT_TRUE(firmware->LoadFirmware());
    EXPECT_EQ(FirmwareStatus(), "Loading Firmware");
    EXPECT_EQ(Bar()->maximum(), 2);
    ASSERT_TRUE(WaitForResult()) << Printable(sampler->History());

    EXPECT_EQ(firmware->Result(), 1);
    EXPECT_EQ(printer->FirmwareImage(), image);
    EXPECT_EQ(printer->FirmwareBlockHeaders(),
              (std::vector<std::string>{"20000#8192#0#", "20000#8192#1#", "20000#3616#2#"}));
    EXPECT_TRUE(printer->FirmwareEnded());
    // Block by block (the first acknowledged block is position 0), full, then full of 100.
    EXPECT_EQ(bar.History(), (std::vector<QString>{"0", "1", "2", "100"}));
    EXPECT_TRUE(Commands(true).empty()); // version 6050 never asks for USB
    EXPECT_TRUE(AppearInOrder(sampler->History(), {"Loading Firmware", "Updating Flash", "Firmware Upload Successful"}))
        << Printable(sampler->History());
    EXPECT_EQ(Bar()->maximum(), 100);
    EXPECT_EQ(Bar()->value(), 100);
    EXPECT_EQ(ButtonCaption(), "&Close");
    EXPECT_TRUE(parent.results.empty()) << "the window stays open until the user closes it";

    firmware->GetButton(IDC_FIRMWARE_CANCEL).Click();
    EXPECT_EQ(parent.results, std::vector<int>{1});
    EXPECT_FALSE(firmware->IsWindowVisible());
}

TEST_F(FirmwareDialogTest, RefusedBlockIsSentAgainAtHalfSizeAndTheBarStillEndsFull)
{
    StartPrinter().AddFault(Fault(printer_sim::FaultKind::Refuse, CMD_FIRMWARE_BLOCK, 1));
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kSerialOnlyVersion, kOtherName));

    ASSERT_TRUE(firmware->LoadFirmware());
    ASSERT_TRUE(WaitForResult());

    EXPECT_EQ(firmware->Result(), 1);
    EXPECT_EQ(printer->FirmwareBlockHeaders(), (std::vector<std::string>{"20000#4096#0#", "20000#4096#1#",
                                                                        "20000#4096#2#", "20000#4096#3#",
                                                                        "20000#3616#4#"}));
    EXPECT_EQ(printer->FirmwareImage(), image);
    EXPECT_EQ(Bar()->value(), Bar()->maximum());
}

TEST_F(FirmwareDialogTest, ThreeRefusalsInARowEndInFailureWithoutTheEndCommand)
{
    StartPrinter().AddFault(Fault(printer_sim::FaultKind::Refuse, CMD_FIRMWARE_BLOCK, 3));
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kSerialOnlyVersion, kOtherName));

    ASSERT_TRUE(firmware->LoadFirmware());
    ASSERT_TRUE(WaitForResult());

    EXPECT_EQ(firmware->Result(), 2);
    EXPECT_EQ(FirmwareStatus(), "Firmware Upload Failed");
    EXPECT_EQ(ButtonCaption(), "&Close");
    EXPECT_EQ(Bar()->maximum(), 2);
    EXPECT_FALSE(printer->FirmwareEnded());
    EXPECT_EQ(Commands(), (std::vector<std::uint8_t>(3, CMD_FIRMWARE_BLOCK)));
}

// An acknowledgement whose CRC is damaged is no reply, so no refusal either.
TEST_F(FirmwareDialogTest, SilentLoadWhoseAcknowledgementsAreDamagedEndsForWantOfAnAnswer)
{
    test_support::ScopedSpeedFactor muchFaster(100); // three 15 s reply time-outs
    silent = true;
    StartPrinter().AddFault(Fault(printer_sim::FaultKind::WrongCrc, CMD_FIRMWARE_BLOCK, -1));
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kSerialOnlyVersion, kOtherName));

    ASSERT_TRUE(firmware->LoadFirmware());
    ASSERT_TRUE(WaitForResult());

    EXPECT_EQ(ui::QuitCode(), 20);
    EXPECT_EQ(ui::QuitReason(), "Firmware Upload Failed: the printer did not answer");
}

TEST_F(FirmwareDialogTest, UnpluggedPrinterEndsTheLoadInFailure)
{
    StartPrinter().AddFault(Fault(printer_sim::FaultKind::Silence, CMD_FIRMWARE_BLOCK, -1));
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kSerialOnlyVersion, kOtherName));
    ASSERT_TRUE(firmware->LoadFirmware());
    ASSERT_TRUE(printer->WaitForFrames(1, kOperationWaitMs));

    printerLine.Line()->Unplug();

    ASSERT_TRUE(WaitForResult());
    EXPECT_EQ(firmware->Result(), 2);
    EXPECT_EQ(FirmwareStatus(), "Firmware Upload Failed");
}

// ---------------------------------------------------------------- cancel and escape

class FirmwareDialogEndTest : public FirmwareDialogTest {
protected:
    // A load whose blocks the printer answers slowly, with its second block in flight.
    void StartSlowLoad()
    {
        printer_sim::Fault slow = Fault(printer_sim::FaultKind::Delayed, CMD_FIRMWARE_BLOCK, -1);
        slow.delayMs = 2000;
        StartPrinter().AddFault(slow);
        ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kSerialOnlyVersion, kOtherName));
        ASSERT_TRUE(firmware->LoadFirmware());
        ASSERT_TRUE(printer->WaitForFrames(2, kOperationWaitMs));
    }
};

TEST_F(FirmwareDialogEndTest, CancelStopsBeforeTheNextBlockSendsTheAbortAndReportsOnce)
{
    StartSlowLoad();

    firmware->GetButton(IDC_FIRMWARE_CANCEL).Click();
    firmware->GetButton(IDC_FIRMWARE_CANCEL).Click(); // a finished dialog ignores it
    KeepRunning(kQuietWatchMs);

    EXPECT_EQ(parent.results, std::vector<int>{0});
    EXPECT_TRUE(firmware->Finished());
    EXPECT_EQ(firmware->Result(), 0);
    EXPECT_EQ(Commands(), (std::vector<std::uint8_t>{CMD_FIRMWARE_BLOCK, CMD_FIRMWARE_BLOCK, CMD_ABORT}));
    EXPECT_FALSE(firmware->IsWindowVisible());
}

// DSR stays low for an hour after the end command: a wait deaf to the stop would take its whole
// restart budget (50 s), and the Cancel button up to 16.5 s for it, at the clock's real speed.
TEST_F(FirmwareDialogEndTest, CancelWhileThePrinterRestartsEndsTheWindowAtOnceAndSendsTheAbort)
{
    test_support::ScopedSpeedFactor realSpeed(1);
    printer_sim::PrinterConfig config = PrinterWithIdentity(kIdentityBagTag);
    config.restartDsrLowMs = 3600000;
    StartPrinter(config);
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kSerialOnlyVersion, kOtherName));
    ASSERT_TRUE(firmware->LoadFirmware());
    ASSERT_TRUE(WaitUntil([this] { return FirmwareStatus() == "Updating Flash"; })) << Printable(sampler->History());

    const auto start = std::chrono::steady_clock::now();
    firmware->GetButton(IDC_FIRMWARE_CANCEL).Click();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

    EXPECT_EQ(parent.results, std::vector<int>{0});
    EXPECT_FALSE(firmware->IsWindowVisible());
    ASSERT_TRUE(printer->WaitForFrames(5, kOperationWaitMs));
    KeepRunning(kQuietWatchMs); // the job's own report reaches a finished window
    EXPECT_EQ(Commands(), (std::vector<std::uint8_t>{CMD_FIRMWARE_BLOCK, CMD_FIRMWARE_BLOCK, CMD_FIRMWARE_BLOCK,
                                                     CMD_FIRMWARE_END, CMD_ABORT}));
    EXPECT_EQ(firmware->Result(), 0);
    EXPECT_EQ(printer->FirmwareImage(), image);
}

// A load that never started has nothing to abort, whether the window is closed or destroyed.
class FirmwareDialogNeverStarted : public FirmwareDialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FirmwareDialogNeverStarted, ClosedOrDestroyedItSendsNothing)
{
    const bool closedByButton = GetParam();
    StartPrinter();
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(8192), kSerialOnlyVersion, kOtherName));
    ASSERT_FALSE(firmware->LoadFirmware()); // one block is not enough

    if (closedByButton)
        firmware->GetButton(IDC_FIRMWARE_CANCEL).Click();
    firmware.reset();
    KeepRunning(kQuietWatchMs);

    EXPECT_EQ(parent.results, std::vector<int>{0});
    EXPECT_TRUE(printer->ReceivedFrames().empty());
}

INSTANTIATE_TEST_SUITE_P(Ends, FirmwareDialogNeverStarted, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "CancelButton" : "Destruction"); });

// ---------------------------------------------------------------- the update-mode handshake

TEST_F(FirmwareDialogTest, UsbCandidateThatRefusesTheSwitchThreeTimesLoadsOverTheSerialLine)
{
    printer_sim::PrinterConfig config = PrinterWithIdentity(kIdentityBagTag);
    config.usbCapable = true; // answers "USB", but nobody plays its USB side: it refuses to switch
    StartPrinter(config);
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kUsbVersion, "f2qv1_test.bin"));

    ASSERT_TRUE(firmware->LoadFirmware());
    ASSERT_TRUE(WaitForResult());

    EXPECT_EQ(firmware->Result(), 1);
    EXPECT_EQ(Commands(true), (std::vector<std::uint8_t>{CMD_QUERY_UPDATE_MODE, CMD_SWITCH_UPDATE_MODE,
                                                              CMD_QUERY_UPDATE_MODE, CMD_SWITCH_UPDATE_MODE,
                                                              CMD_QUERY_UPDATE_MODE, CMD_SWITCH_UPDATE_MODE}));
    EXPECT_EQ(printer->FirmwareImage(), image);
}

TEST_F(FirmwareDialogTest, UsbCandidateThatNeverAnswersIsReopenedAt19200WithoutDtrOrRtsAndLoadsThere)
{
    StartPrinter().AddFault(Fault(printer_sim::FaultKind::Silence, CMD_QUERY_UPDATE_MODE, -1));
    printerLine.Line()->SetPrinterLineConfig(std::nullopt); // hears the host at any baud rate
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kUsbVersion, kCandidateName, 38400));

    ASSERT_TRUE(firmware->LoadFirmware());
    ASSERT_TRUE(WaitForResult());

    EXPECT_EQ(firmware->Result(), 1);
    EXPECT_EQ(Commands(true), (std::vector<std::uint8_t>(3, CMD_QUERY_UPDATE_MODE)));
    EXPECT_EQ(printerLine.Line()->HostConfig().baudRate, 19200u);
    EXPECT_FALSE(printerLine.Line()->Dtr());
    EXPECT_FALSE(printerLine.Line()->Rts());
    EXPECT_EQ(printer->FirmwareImage(), image);
}

// Opened at 19200, or at 38400, which the printer does not hear: the reopen lets the third query reach it.
class FirmwareDialogUsbRoad : public FirmwareDialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(FirmwareDialogUsbRoad, UsbCandidateThatFallsSilentAfterTheSwitchIsFlashedOverUsb)
{
    printer_sim::PrinterConfig config = PrinterWithIdentity(kIdentityBagTag);
    config.usbCapable = true;
    StartPrinter(config);
    const printer_sim::UsbSide usbSide(*printer, usb);
    ASSERT_TRUE(OpenFirmwareDialog(TestImage(kImageSize), kUsbVersion, kCandidateName, GetParam()));

    ASSERT_TRUE(firmware->LoadFirmware());
    EXPECT_EQ(FirmwareStatus(), "Switching to Firmware Update");
    ASSERT_TRUE(WaitForResult()) << Printable(sampler->History());

    EXPECT_EQ(firmware->Result(), 1) << Printable(sampler->History());
    const std::vector<std::uint8_t> flashed = usbSide.FirmwareImage();
    EXPECT_EQ(std::string(flashed.begin(), flashed.end()), image);
    EXPECT_EQ(usbSide.Restarts(), 1);
    // The query 5 s after the switch goes unheard; no block travels on the serial line.
    EXPECT_EQ(Commands(), (std::vector<std::uint8_t>{CMD_QUERY_UPDATE_MODE, CMD_SWITCH_UPDATE_MODE}));
    EXPECT_EQ(printerLine.Line()->HostConfig().baudRate, 19200u);
    EXPECT_TRUE(AppearInOrder(sampler->History(),
                              {"Switching to Firmware Update", "Firmware Update Mode Running", "Firmware Loading",
                               "Updating Flash", "Firmware Update - Restarting", "Firmware Update - Finished",
                               "Firmware Upload Successful"}))
        << Printable(sampler->History());
    EXPECT_EQ(Bar()->value(), 100);
}

INSTANTIATE_TEST_SUITE_P(OpenedAt, FirmwareDialogUsbRoad, ::testing::Values(19200, 38400),
                         ::testing::PrintToStringParamName());

// ---------------------------------------------------------------- what the dialog takes

struct ImageCase {
    const char* name;
    std::uint32_t length;
    std::uint32_t version;
    bool accepted;  // SetFirmwareData
    bool started;   // LoadFirmware
    int barMaximum; // after LoadFirmware
};

constexpr ImageCase kImageCases[] = {
    {"TooShort", 499, 6036, false, false, 100},
    {"Shortest", 500, 6036, true, false, 100},
    {"OldFirmware", 9000, 6035, false, true, 1},
    {"OneBlock", 8192, 6050, true, false, 100},
    {"OneBlockAndAByte", 8193, 6050, true, true, 1},
};

class FirmwareDialogImages : public FirmwareDialogTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(FirmwareDialogImages, LengthAndVersionDecideWhatTheDialogTakes)
{
    const ImageCase& c = GetParam();
    StartPrinter();

    EXPECT_EQ(OpenFirmwareDialog(TestImage(c.length), c.version, kOtherName), c.accepted);
    EXPECT_EQ(firmware->LoadFirmware(), c.started);
    EXPECT_EQ(Bar()->minimum(), 0);
    EXPECT_EQ(Bar()->maximum(), c.barMaximum);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FirmwareDialogImages, ::testing::ValuesIn(kImageCases),
                         [](const ::testing::TestParamInfo<ImageCase>& info) { return info.param.name; });

TEST(UsbUpdateCandidate, VersionAndNameDecide)
{
    EXPECT_FALSE(IsUsbUpdateCandidate(6059, "F2QV1_A.BIN"));
    EXPECT_TRUE(IsUsbUpdateCandidate(6060, "F2QV1_A.BIN"));
    EXPECT_TRUE(IsUsbUpdateCandidate(6060, "f2qv1_a.bin"));
    EXPECT_FALSE(IsUsbUpdateCandidate(6060, "F2QV1_A.BIN.OLD"));
    EXPECT_FALSE(IsUsbUpdateCandidate(6060, "X_F2QV1_A.BIN"));
    EXPECT_FALSE(IsUsbUpdateCandidate(6060, ""));
}

} // namespace
} // namespace main_dialog_test
