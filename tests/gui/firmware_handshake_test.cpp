// The update-mode handshake's waits, measured on the program's clock: after a first attempt
// that found no update mode the window waits 1000 ms, and after a switch that went unanswered
// it waits 5000 ms before it asks again. The clock runs faster here; each wait still counts in
// full on it, and everything the handshake waits for happens in turn on the window's thread,
// so the time LoadFirmware takes is at least the sum of its waits however busy the machine.

#include "main_dialog_fixture.h"

#include "comms/comms.h"
#include "firmware/load_firmware_dlg.h"
#include "platform/timing.h"
#include "tests/support/message_recorder.h"

namespace main_dialog_test {
namespace {

constexpr double kFaster = 10;
constexpr std::uint32_t kUsbVersion = 6060;
constexpr char kCandidateName[] = "F2QV1_TEST.BIN";
constexpr std::uint32_t kImageSize = 9000;

// An exchange that nothing answers: the 50 ms pause after writing, then the 1500 ms time-out.
constexpr std::uint64_t kUnansweredMs = 50 + 1500;
// At least the pause after writing.
constexpr std::uint64_t kAnsweredMs = 50;
constexpr std::uint64_t kAfterFirstAttemptMs = 1000;
constexpr std::uint64_t kAfterUnansweredSwitchMs = 5000;
// Between the second and third attempts: close, 500 ms, reopen at 19200 baud, 1000 ms.
constexpr std::uint64_t kReopenMs = 500 + 1000;

constexpr ui::DialogTemplate kParentTemplate{"parent", 120, 60, ui::dialog_style::kCentered, {}, {}};

printer_sim::Fault SilenceOn(std::uint8_t command)
{
    printer_sim::Fault fault;
    fault.kind = printer_sim::FaultKind::Silence;
    fault.command = command;
    fault.times = -1;
    return fault;
}

class FirmwareHandshakeWaits : public MainDialogTest {
protected:
    FirmwareHandshakeWaits() { parent.Create(); }
    ~FirmwareHandshakeWaits() override
    {
        firmware.reset();
        connection.Close();
        parent.DestroyWindow();
        gui_test::ProcessPendingEvents();
    }

    // The program time that LoadFirmware takes for a USB candidate; the load it starts is
    // left to finish.
    std::uint64_t TimeOfLoadFirmware()
    {
        EXPECT_TRUE(connection.Open(kPrinterPortText, 19200, 8, 'N', 1.0f));
        firmware = std::make_unique<CQVAirLoadFirmwareDlg>(&parent);
        EXPECT_TRUE(firmware->Create(&parent));
        EXPECT_TRUE(firmware->SetFirmwareData(&connection, kCandidateName, kImageSize,
                                              reinterpret_cast<const std::uint8_t*>(image.data()), kUsbVersion));
        const std::uint64_t start = platform::timing::NowMs();
        EXPECT_TRUE(firmware->LoadFirmware());
        const std::uint64_t took = platform::timing::NowMs() - start;
        EXPECT_TRUE(WaitUntil([this] { return firmware->Result() != kChildResultNone; }));
        return took;
    }

    std::vector<std::uint8_t> HandshakeCommands() const
    {
        std::vector<std::uint8_t> commands;
        for (const printer_sim::ReceivedFrame& frame : printer->ReceivedFrames()) {
            if (frame.command == CMD_QUERY_UPDATE_MODE || frame.command == CMD_SWITCH_UPDATE_MODE)
                commands.push_back(frame.command);
        }
        return commands;
    }

    test_support::ScopedSpeedFactor faster{kFaster};
    std::string image = std::string(kImageSize, '\x5A');
    class Parent final : public ui::Dialog {
    public:
        Parent() : ui::Dialog(kParentTemplate) {}
    } parent;
    CComms connection;
    std::unique_ptr<CQVAirLoadFirmwareDlg> firmware;
};

TEST_F(FirmwareHandshakeWaits, APrinterThatNeverAnswersIsAskedAgainAfterOneSecond)
{
    StartPrinter().AddFault(SilenceOn(CMD_QUERY_UPDATE_MODE));

    const std::uint64_t took = TimeOfLoadFirmware();

    EXPECT_EQ(HandshakeCommands(), std::vector<std::uint8_t>(3, CMD_QUERY_UPDATE_MODE));
    EXPECT_GE(took, 3 * kUnansweredMs + kAfterFirstAttemptMs + kReopenMs);
}

TEST_F(FirmwareHandshakeWaits, AnUnansweredSwitchIsFollowedByFiveSecondsBeforeTheNextQuery)
{
    // It names USB but never answers the switch, and still talks on the serial line after it.
    printer_sim::PrinterConfig config = PrinterWithIdentity(kIdentityBagTag);
    config.usbCapable = true;
    StartPrinter(config).AddFault(SilenceOn(CMD_SWITCH_UPDATE_MODE));

    const std::uint64_t took = TimeOfLoadFirmware();

    const std::vector<std::uint8_t> attempt{CMD_QUERY_UPDATE_MODE, CMD_SWITCH_UPDATE_MODE, CMD_QUERY_UPDATE_MODE};
    std::vector<std::uint8_t> threeAttempts;
    for (int i = 0; i < 3; ++i)
        threeAttempts.insert(threeAttempts.end(), attempt.begin(), attempt.end());
    EXPECT_EQ(HandshakeCommands(), threeAttempts);
    EXPECT_EQ(firmware->Result(), 1) << "the load goes on over the serial line";
    const std::uint64_t eachAttempt = kAnsweredMs + kUnansweredMs + kAfterUnansweredSwitchMs + kAnsweredMs;
    EXPECT_GE(took, 3 * eachAttempt + kAfterFirstAttemptMs + kReopenMs);
}

} // namespace
} // namespace main_dialog_test
