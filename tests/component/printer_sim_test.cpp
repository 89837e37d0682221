// The simulated printer as the program sees it: a real CComms on a registered virtual line,
// with requests sent through CQVMessageParser.
#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "platform/port_map.h"
#include "platform/timing.h"
#include "platform/virtual_line.h"
#include "tests/support/message_recorder.h"
#include "tools/printer-sim/printer_engine.h"
#include "tools/printer-sim/simulated_printer.h"

#include "tests/support/scoped_port_map.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>

namespace {

using printer_sim::Fault;
using printer_sim::FaultKind;
using printer_sim::PrinterConfig;
using printer_sim::SimulatedPrinter;

constexpr char kLineName[] = "printer-sim-test";
constexpr char kPort[] = "COM7";
constexpr std::uint32_t kTimeoutMs = 1500;
constexpr int kWaitRealMs = 5000;
// Silence is only ever seen as a whole time-out; run those tests on a faster clock.
constexpr double kSilenceSpeedFactor = 10.0;
constexpr double kRestartSpeedFactor = 5.0;
constexpr platform::WindowHandle kNotifyWindow = 0x1234;

Fault FaultOf(FaultKind kind)
{
    Fault fault;
    fault.kind = kind;
    return fault;
}

// Waits up to realMs for the host's view of DSR to become `on`.
bool WaitForDsr(CComms& comms, bool on, int realMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    while (std::chrono::steady_clock::now() < until) {
        if (comms.IsDSROn() == on)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

class SimulatedPrinterTest : public ::testing::Test {
protected:
    SimulatedPrinterTest()
    {
        platform::RegisterVirtualLine(kLineName, line_);
        portMap_.Set(kPort, std::string(platform::kVirtualDevicePrefix) + kLineName);
    }

    ~SimulatedPrinterTest() override
    {
        comms_.Close();
        platform::UnregisterVirtualLine(kLineName);
    }

    bool OpenPort(std::uint32_t baudRate = 19200, int dataBits = 8, char parity = 'N')
    {
        return comms_.Open(kPort, static_cast<int>(baudRate), dataBits, parity, 1.0f);
    }

    // One request and its reply: true when a good frame came back.
    bool Send(std::uint8_t command, const std::string& payload = {})
    {
        state_ = {};
        reply_.clear();
        return CQVMessageParser::SendCommand(&comms_, 0, command, payload, kTimeoutMs, &state_, &reply_);
    }

    bool SendFrame(const std::string& frame)
    {
        state_ = {};
        reply_.clear();
        return CQVMessageParser::TransactWithTimeout(&comms_, frame, kTimeoutMs, &state_, &reply_);
    }

    static std::string BlockPayload(std::size_t total, std::size_t index, const std::string& bytes)
    {
        return std::to_string(total) + "#" + std::to_string(bytes.size()) + "#" + std::to_string(index) + "#" + bytes;
    }

    std::shared_ptr<platform::VirtualLine> line_ = platform::VirtualLine::Create();
    test_support::ScopedPortMap portMap_;
    CComms comms_;
    MessageParseState state_{};
    std::string reply_;
};

// ---------------------------------------------------------------- answers

TEST_F(SimulatedPrinterTest, AnswersIdentifyWithItsIdentityText)
{
    PrinterConfig config;
    config.identity = "YP00000006051";
    SimulatedPrinter printer(line_, config);
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_IDENTIFY));
    EXPECT_EQ(state_.command, REPLY_ACK);
    EXPECT_EQ(reply_, "YP00000006051");
}

TEST_F(SimulatedPrinterTest, AnswersIdentifyWithAnEmptyPayloadWhenItHasNoIdentity)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    printer.SetIdentity("");
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_IDENTIFY));
    EXPECT_EQ(state_.command, REPLY_ACK);
    EXPECT_EQ(reply_, "");
}

TEST_F(SimulatedPrinterTest, RecordsEveryRequestFrame)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_IDENTIFY));
    ASSERT_TRUE(Send(CMD_PRINT_TEST_DOCUMENT, "7"));

    const std::vector<printer_sim::ReceivedFrame> frames = printer.ReceivedFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].command, CMD_IDENTIFY);
    EXPECT_EQ(frames[0].direction, FRAME_DIRECTION_REQUEST);
    EXPECT_EQ(frames[0].flags, 0);
    EXPECT_EQ(frames[0].payload, "");
    EXPECT_EQ(frames[1].command, CMD_PRINT_TEST_DOCUMENT);
    EXPECT_EQ(frames[1].payload, "7");
}

TEST_F(SimulatedPrinterTest, SendsItsSettingsRecordByteForByte)
{
    PrinterConfig config;
    config.settingsRecord = std::string("[Print]\x00\x10\x08\x09\xFF", 12);
    SimulatedPrinter printer(line_, config);
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_GET_SETTINGS));
    EXPECT_EQ(state_.command, REPLY_SETTINGS);
    EXPECT_EQ(reply_, config.settingsRecord);
}

TEST_F(SimulatedPrinterTest, SendsItsEepromRecord)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    printer.SetEepromRecord("Baud=19200");
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_GET_EEPROM_SETTINGS));
    EXPECT_EQ(state_.command, REPLY_EEPROM_SETTINGS);
    EXPECT_EQ(reply_, "Baud=19200");
}

TEST_F(SimulatedPrinterTest, UsbCapablePrinterAnswersUpdateModeQueryWithUsb)
{
    PrinterConfig config;
    config.usbCapable = true;
    SimulatedPrinter printer(line_, config);
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_QUERY_UPDATE_MODE));
    EXPECT_EQ(state_.command, REPLY_UPDATE_MODE);
    EXPECT_EQ(reply_, kUpdateModeUsb);
}

TEST_F(SimulatedPrinterTest, SerialOnlyPrinterAcknowledgesUpdateModeQuery)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_QUERY_UPDATE_MODE));
    EXPECT_EQ(state_.command, REPLY_ACK);
    EXPECT_EQ(reply_, "");
}

TEST_F(SimulatedPrinterTest, SerialOnlyPrinterRefusesToSwitchToUpdateMode)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_SWITCH_UPDATE_MODE));
    EXPECT_EQ(state_.command, REPLY_NO_SWITCH);
}

TEST_F(SimulatedPrinterTest, UsbCapablePrinterWithoutUsbSideStaysInSerialMode)
{
    PrinterConfig config;
    config.usbCapable = true;
    SimulatedPrinter printer(line_, config);
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_SWITCH_UPDATE_MODE));
    EXPECT_EQ(state_.command, REPLY_NO_SWITCH);
    EXPECT_FALSE(printer.SerialSilent());
}

TEST_F(SimulatedPrinterTest, SwitchToUpdateModeSilencesTheLineAndRunsTheHook)
{
    test_support::ScopedSpeedFactor faster(kSilenceSpeedFactor);
    PrinterConfig config;
    config.usbCapable = true;
    SimulatedPrinter printer(line_, config);
    std::atomic<int> switches{0};
    printer.SetOnSwitchToUpdateMode([&switches] { ++switches; });
    ASSERT_TRUE(OpenPort());

    EXPECT_FALSE(Send(CMD_SWITCH_UPDATE_MODE));
    EXPECT_EQ(switches.load(), 1);
    EXPECT_TRUE(printer.SerialSilent());
    EXPECT_FALSE(Send(CMD_IDENTIFY));
    EXPECT_EQ(printer.ReceivedFrames().size(), 1u);
}

TEST_F(SimulatedPrinterTest, AcknowledgesEveryOtherRequest)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());

    const std::uint8_t unknownCode = 0x7A;
    for (const std::uint8_t command : {CMD_SET_SETTINGS, CMD_SET_EEPROM_SETTINGS, CMD_PRINT_TEST_DOCUMENT,
                                       CMD_ROM_OPTION, CMD_SET_CLOCK, CMD_RFID_OPTION, CMD_ABORT, unknownCode}) {
        SCOPED_TRACE(static_cast<int>(command));
        ASSERT_TRUE(Send(command, "x"));
        EXPECT_EQ(state_.command, REPLY_ACK);
        EXPECT_EQ(reply_, "");
    }
}

TEST_F(SimulatedPrinterTest, TakesAConfigurationFileFrameSentAsItStands)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());
    std::string fileFrame;
    CQVMessageParser::BuildMessage(fileFrame, 0, FRAME_DIRECTION_FILE, CMD_SET_SETTINGS, "[Print]");

    ASSERT_TRUE(SendFrame(fileFrame));
    EXPECT_EQ(state_.command, REPLY_ACK);
    ASSERT_EQ(printer.ReceivedFrames().size(), 1u);
    EXPECT_EQ(printer.ReceivedFrames()[0].direction, FRAME_DIRECTION_FILE);
    EXPECT_EQ(printer.ReceivedFrames()[0].payload, "[Print]");
}

TEST_F(SimulatedPrinterTest, IgnoresAFrameWithTheReplyDirection)
{
    test_support::ScopedSpeedFactor faster(kSilenceSpeedFactor);
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());
    std::string echoedReply;
    CQVMessageParser::BuildMessage(echoedReply, 0, FRAME_DIRECTION_REPLY, CMD_IDENTIFY, "");

    EXPECT_FALSE(SendFrame(echoedReply));
    EXPECT_TRUE(printer.ReceivedFrames().empty());
}

// ---------------------------------------------------------------- line settings

TEST_F(SimulatedPrinterTest, HearsNothingAtAnotherBaudRate)
{
    test_support::ScopedSpeedFactor faster(kSilenceSpeedFactor);
    SimulatedPrinter printer(line_, PrinterConfig{}); // 19200 8N1
    ASSERT_TRUE(OpenPort(9600));

    EXPECT_FALSE(Send(CMD_IDENTIFY));
    EXPECT_TRUE(printer.ReceivedFrames().empty());
}

TEST_F(SimulatedPrinterTest, HearsNothingAtAnotherParity)
{
    test_support::ScopedSpeedFactor faster(kSilenceSpeedFactor);
    SimulatedPrinter printer(line_, PrinterConfig{}); // 19200 8N1
    ASSERT_TRUE(OpenPort(19200, 7, 'E'));

    EXPECT_FALSE(Send(CMD_IDENTIFY));
    EXPECT_TRUE(printer.ReceivedFrames().empty());
}

TEST_F(SimulatedPrinterTest, AnswersAtItsOwnSevenBitEvenParitySettings)
{
    PrinterConfig config;
    config.line = {38400, 7, 'E', 1.0f};
    SimulatedPrinter printer(line_, config);
    ASSERT_TRUE(OpenPort(38400, 7, 'E'));

    EXPECT_TRUE(Send(CMD_IDENTIFY));
}

TEST_F(SimulatedPrinterTest, DrivesTheModemLinesItIsConfiguredWith)
{
    PrinterConfig config;
    config.cts = false;
    config.dsr = true;
    SimulatedPrinter printer(line_, config);
    ASSERT_TRUE(OpenPort());

    EXPECT_FALSE(comms_.IsCTSOn());
    EXPECT_TRUE(comms_.IsDSROn());
    printer.SetCts(true);
    printer.SetDsr(false);
    EXPECT_TRUE(comms_.IsCTSOn());
    EXPECT_FALSE(comms_.IsDSROn());
}

// ---------------------------------------------------------------- faults

TEST_F(SimulatedPrinterTest, SilenceFaultLeavesTheHostWithoutAReply)
{
    test_support::ScopedSpeedFactor faster(kSilenceSpeedFactor);
    SimulatedPrinter printer(line_, PrinterConfig{});
    printer.AddFault(FaultOf(FaultKind::Silence));
    ASSERT_TRUE(OpenPort());

    EXPECT_FALSE(Send(CMD_IDENTIFY));
    EXPECT_EQ(printer.ReceivedFrames().size(), 1u);
    EXPECT_TRUE(Send(CMD_IDENTIFY)) << "the fault applies to one request only";
}

TEST_F(SimulatedPrinterTest, WrongCrcFaultIsNotTakenAsAReply)
{
    test_support::ScopedSpeedFactor faster(kSilenceSpeedFactor);
    SimulatedPrinter printer(line_, PrinterConfig{});
    printer.AddFault(FaultOf(FaultKind::WrongCrc));
    ASSERT_TRUE(OpenPort());

    EXPECT_FALSE(Send(CMD_IDENTIFY));
}

TEST_F(SimulatedPrinterTest, ReplyInChunksWithShortGapsIsAccepted)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    Fault chunks = FaultOf(FaultKind::InChunks);
    chunks.chunks = 4;
    chunks.gapMs = 300; // shorter than the time-out, which counts from the last byte
    printer.AddFault(chunks);
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_IDENTIFY));
    EXPECT_EQ(reply_, PrinterConfig{}.identity);
}

TEST_F(SimulatedPrinterTest, DelayedReplyWithinTheTimeOutIsAccepted)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    Fault delayed = FaultOf(FaultKind::Delayed);
    delayed.delayMs = 400;
    printer.AddFault(delayed);
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_IDENTIFY));
    EXPECT_EQ(state_.command, REPLY_ACK);
}

TEST_F(SimulatedPrinterTest, RefuseFaultAnswersWithItsCode)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    Fault refuse = FaultOf(FaultKind::Refuse);
    refuse.refuseCode = 0x6E;
    printer.AddFault(refuse);
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_SET_SETTINGS, "[Print]"));
    EXPECT_EQ(state_.command, 0x6E);
}

TEST_F(SimulatedPrinterTest, GarbageBeforeTheReplyDoesNotHideIt)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    printer.AddFault(FaultOf(FaultKind::GarbageBefore));
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_IDENTIFY));
    EXPECT_EQ(state_.command, REPLY_ACK);
    EXPECT_EQ(reply_, PrinterConfig{}.identity);
}

TEST_F(SimulatedPrinterTest, FaultForOneCommandLeavesOthersAlone)
{
    test_support::ScopedSpeedFactor faster(kSilenceSpeedFactor);
    SimulatedPrinter printer(line_, PrinterConfig{});
    Fault silence = FaultOf(FaultKind::Silence);
    silence.command = CMD_GET_SETTINGS;
    printer.AddFault(silence);
    ASSERT_TRUE(OpenPort());

    EXPECT_TRUE(Send(CMD_IDENTIFY));
    EXPECT_FALSE(Send(CMD_GET_SETTINGS));
    EXPECT_TRUE(Send(CMD_GET_SETTINGS));
}

TEST_F(SimulatedPrinterTest, FaultForEveryRequestLastsUntilCleared)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    Fault refuse = FaultOf(FaultKind::Refuse);
    refuse.times = -1;
    printer.AddFault(refuse);
    ASSERT_TRUE(OpenPort());

    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Send(CMD_IDENTIFY));
        EXPECT_EQ(state_.command, refuse.refuseCode);
    }
    printer.ClearFaults();
    ASSERT_TRUE(Send(CMD_IDENTIFY));
    EXPECT_EQ(state_.command, REPLY_ACK);
}

// ---------------------------------------------------------------- firmware

TEST_F(SimulatedPrinterTest, AssemblesAFirmwareImageSentByTheSendThread)
{
    test_support::ScopedSpeedFactor faster(kRestartSpeedFactor);
    test_support::MessageRecorder messages;
    PrinterConfig config;
    // Longer than the host's 500 ms look at DSR, so that it sees the restart.
    config.restartDsrLowMs = 2000;
    SimulatedPrinter printer(line_, config);
    ASSERT_TRUE(OpenPort());
    std::string image(20000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7 % 256);
    CQVMessageParser parser;

    ASSERT_TRUE(parser.StartDataSendThread(&comms_, reinterpret_cast<const std::uint8_t*>(image.data()),
                                           static_cast<std::uint32_t>(image.size()),
                                           CQVMessageParser::kFirmwareBlockSize, kNotifyWindow));
    ASSERT_TRUE(messages.WaitFor(WM_SEND_DONE, 3 * kWaitRealMs));

    EXPECT_EQ(messages.MessagesWithId(WM_SEND_DONE)[0].wParam, 1u);
    EXPECT_EQ(printer.FirmwareBlockHeaders(),
              (std::vector<std::string>{"20000#8192#0#", "20000#8192#1#", "20000#3616#2#"}));
    EXPECT_TRUE(printer.FirmwareImage() == image) << "the assembled image differs from the one sent";
    EXPECT_TRUE(printer.FirmwareEnded());
}

TEST_F(SimulatedPrinterTest, RefusesAFirmwareBlockWithoutAHeader)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, "4#4#0abcd"));
    EXPECT_EQ(state_.command, printer_sim::kFirmwareBlockRefusal);
    EXPECT_TRUE(printer.FirmwareBlockHeaders().empty());
}

TEST_F(SimulatedPrinterTest, RefusesAFirmwareBlockShorterThanItsHeaderSays)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, "8#5#0#abcd"));
    EXPECT_EQ(state_.command, printer_sim::kFirmwareBlockRefusal);
    EXPECT_EQ(printer.FirmwareImage(), "");
}

TEST_F(SimulatedPrinterTest, RefusesAFirmwareBlockOutOfOrder)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, BlockPayload(12, 0, "abcd")));
    EXPECT_EQ(state_.command, REPLY_ACK);
    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, BlockPayload(12, 2, "ijkl")));
    EXPECT_EQ(state_.command, printer_sim::kFirmwareBlockRefusal);
    EXPECT_EQ(printer.FirmwareImage(), "abcd");
}

// Headers whose numbers no host would send: an index of 2^64 - 1, a block larger than the
// image it belongs to, a block that would reach past that image.
TEST_F(SimulatedPrinterTest, RefusesFirmwareBlocksWithAbsurdNumbers)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());
    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, "1#1#18446744073709551615#x"));
    EXPECT_EQ(state_.command, printer_sim::kFirmwareBlockRefusal);
    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, "8#4#0#abcd"));
    ASSERT_EQ(state_.command, REPLY_ACK);

    for (const char* payload : {"8#4#18446744073709551615#efgh", "2#4#1#efgh", "8#5#1#efghi", "3#4#0#wxyz"}) {
        ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, payload)) << payload;
        EXPECT_EQ(state_.command, printer_sim::kFirmwareBlockRefusal) << payload;
    }
    EXPECT_EQ(printer.FirmwareImage(), "abcd");
}

TEST_F(SimulatedPrinterTest, BlockSentAgainAfterALostAcknowledgementReplacesIt)
{
    SimulatedPrinter printer(line_, PrinterConfig{});
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, BlockPayload(8, 0, "abcd")));
    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, BlockPayload(8, 1, "efgh")));
    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, BlockPayload(8, 1, "ef"))); // the host halved the size
    EXPECT_EQ(state_.command, REPLY_ACK);
    ASSERT_TRUE(Send(CMD_FIRMWARE_BLOCK, BlockPayload(8, 2, "gh")));

    EXPECT_EQ(printer.FirmwareImage(), "abcdefgh");
    EXPECT_EQ(printer.FirmwareBlockHeaders(), (std::vector<std::string>{"8#4#0#", "8#2#1#", "8#2#2#"}));
}

TEST_F(SimulatedPrinterTest, DropsDsrAfterFirmwareEndAndRaisesItAgain)
{
    PrinterConfig config;
    config.restartDsrLowMs = 300;
    SimulatedPrinter printer(line_, config);
    ASSERT_TRUE(OpenPort());
    ASSERT_TRUE(comms_.IsDSROn());

    ASSERT_TRUE(Send(CMD_FIRMWARE_END));
    EXPECT_EQ(state_.command, REPLY_ACK);
    EXPECT_TRUE(printer.FirmwareEnded());
    EXPECT_TRUE(WaitForDsr(comms_, false, kWaitRealMs));
    EXPECT_TRUE(WaitForDsr(comms_, true, kWaitRealMs));
}

TEST_F(SimulatedPrinterTest, AnswersWhileItsDsrIsDownAfterFirmwareEnd)
{
    PrinterConfig config;
    config.restartDsrLowMs = 60000;
    SimulatedPrinter printer(line_, config);
    ASSERT_TRUE(OpenPort());

    ASSERT_TRUE(Send(CMD_FIRMWARE_END));
    ASSERT_TRUE(WaitForDsr(comms_, false, kWaitRealMs));
    EXPECT_TRUE(Send(CMD_IDENTIFY));
}

// ---------------------------------------------------------------- life cycle

TEST_F(SimulatedPrinterTest, DestructionCutsAPendingDelayedReplyShort)
{
    auto printer = std::make_unique<SimulatedPrinter>(line_, PrinterConfig{});
    Fault delayed = FaultOf(FaultKind::Delayed);
    delayed.delayMs = 600000;
    printer->AddFault(delayed);
    ASSERT_TRUE(OpenPort());
    std::string request;
    ASSERT_GT(comms_.Write(CQVMessageParser::BuildRequest(request, 0, CMD_IDENTIFY, "")), 0);
    ASSERT_TRUE(printer->WaitForFrames(1, kWaitRealMs));

    std::future<void> destroyed = std::async(std::launch::async, [&printer] { printer.reset(); });
    EXPECT_EQ(destroyed.wait_for(std::chrono::milliseconds(kWaitRealMs)), std::future_status::ready);
}

TEST_F(SimulatedPrinterTest, WaitForFramesGivesUpWhenNothingArrives)
{
    SimulatedPrinter printer(line_, PrinterConfig{});

    EXPECT_FALSE(printer.WaitForFrames(1, 50));
}

} // namespace
