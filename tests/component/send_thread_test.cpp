// The send thread of CQVMessageParser against the simulated printer on a virtual line:
// payload jobs, firmware images sent in acknowledged blocks (block sizes, refusals,
// progress, the end command and the wait for the printer's restart on DSR), stop
// requests, and the end of a job by AbortSendThread or by the parser's destruction.
#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "tools/printer-sim/simulated_printer.h"

#include "comms_test_support.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using comms_test::HookedSink;
using comms_test::ScopedPortMap;
using comms_test::VirtualPort;
using printer_sim::Fault;
using printer_sim::FaultKind;
using test_support::MessageRecorder;
using test_support::ScopedSpeedFactor;

constexpr int kPort = 3;
constexpr platform::WindowHandle kWindow = 0x5E4D;
constexpr int kWaitMs = 20000;
constexpr std::uint32_t kImageSize = 20000;
constexpr std::uint32_t kBlockSize = 8192;
// The printer's restart and the job's waits are not under test here except where a test says so.
constexpr double kFaster = 4;
// From a stop request to the end of a job in its wait for the printer's restart: well under
// the wait's 500 ms poll, with room for a busy machine.
constexpr auto kStopEndsTheRestartWaitWithin = std::chrono::milliseconds(250);

std::string TestImage(std::uint32_t size)
{
    std::string image(size, '\0');
    for (std::uint32_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 7 + i / 256) & 0xFF); // every byte value, escapes included
    return image;
}

Fault RefuseBlocks(int times)
{
    Fault fault;
    fault.kind = FaultKind::Refuse;
    fault.command = CMD_FIRMWARE_BLOCK;
    fault.refuseCode = REPLY_NO_SWITCH;
    fault.times = times;
    return fault;
}

// The "total#size#index#" header of every block frame the printer received, refused ones included.
std::vector<std::string> BlockHeadersSent(const printer_sim::SimulatedPrinter& printer)
{
    std::vector<std::string> headers;
    for (const printer_sim::ReceivedFrame& frame : printer.ReceivedFrames()) {
        if (frame.command != CMD_FIRMWARE_BLOCK)
            continue;
        std::size_t end = 0;
        for (int hash = 0; hash < 3 && end != std::string::npos; ++hash)
            end = frame.payload.find('#', end == 0 ? 0 : end + 1);
        headers.push_back(frame.payload.substr(0, end == std::string::npos ? end : end + 1));
    }
    return headers;
}

bool ReceivedCommand(const printer_sim::SimulatedPrinter& printer, std::uint8_t command)
{
    for (const printer_sim::ReceivedFrame& frame : printer.ReceivedFrames()) {
        if (frame.command == command)
            return true;
    }
    return false;
}

std::vector<platform::LParam> ProgressParams(const MessageRecorder& recorder)
{
    std::vector<platform::LParam> params;
    for (const platform::PostedMessage& message : recorder.MessagesWithId(WM_LOAD_PROGRESS))
        params.push_back(message.lParam);
    return params;
}

class SendThreadTest : public ::testing::Test {
protected:
    printer_sim::PrinterConfig Config()
    {
        printer_sim::PrinterConfig config;
        config.restartDsrLowMs = 1200;
        return config;
    }

    void SetUp() override { ASSERT_TRUE(comms.Open("COM3", 19200, 8, 'N', 1.0f)); }

    bool StartImage(const std::string& image)
    {
        return parser->StartDataSendThread(&comms, reinterpret_cast<const std::uint8_t*>(image.data()),
                                           static_cast<std::uint32_t>(image.size()), kBlockSize, kWindow);
    }

    platform::PostedMessage SendDone()
    {
        EXPECT_TRUE(recorder.WaitFor(WM_SEND_DONE, kWaitMs));
        const std::vector<platform::PostedMessage> done = recorder.MessagesWithId(WM_SEND_DONE);
        return done.empty() ? platform::PostedMessage{} : done.front();
    }

    platform::LParam ParserParam() const { return reinterpret_cast<platform::LParam>(parser.get()); }

    ScopedSpeedFactor faster{kFaster};
    ScopedPortMap map;
    VirtualPort port{map, kPort};
    printer_sim::SimulatedPrinter printer{port.Line(), Config()};
    CComms comms;
    MessageRecorder recorder;
    std::unique_ptr<CQVMessageParser> parser = std::make_unique<CQVMessageParser>();
};

// ---------------------------------------------------------------- payload mode

TEST_F(SendThreadTest, PayloadJobPostsDoneWithTheReply)
{
    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_IDENTIFY, {}, kWindow));

    const platform::PostedMessage done = SendDone();

    EXPECT_EQ(done.window, kWindow);
    EXPECT_EQ(done.wParam, 1u);
    EXPECT_EQ(done.lParam, ParserParam());
    bool ok = false;
    MessageParseState state;
    std::string reply;
    EXPECT_TRUE(parser->GetResult(&ok, &state, &reply));
    EXPECT_TRUE(ok);
    EXPECT_EQ(state.command, REPLY_ACK);
    EXPECT_EQ(reply, "YT00000006060");
}

TEST_F(SendThreadTest, PayloadJobIsDoneWhateverTheReplyCode)
{
    Fault refuse;
    refuse.kind = FaultKind::Refuse;
    refuse.command = CMD_PRINT_TEST_DOCUMENT;
    refuse.refuseCode = REPLY_NO_SWITCH;
    printer.AddFault(refuse);

    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_PRINT_TEST_DOCUMENT, "1", kWindow));

    EXPECT_EQ(SendDone().wParam, 1u);
    bool ok = false;
    MessageParseState state;
    parser->GetResult(&ok, &state, nullptr);
    EXPECT_TRUE(ok);
    EXPECT_EQ(state.command, REPLY_NO_SWITCH);
    EXPECT_TRUE(recorder.MessagesWithId(WM_UPDATING_FLASH).empty());
}

TEST_F(SendThreadTest, PayloadReachesThePrinter)
{
    const std::string payload("clock\x00\xE9", 7);
    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_SET_CLOCK, payload, kWindow));

    ASSERT_EQ(SendDone().wParam, 1u);

    const std::vector<printer_sim::ReceivedFrame> frames = printer.ReceivedFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].command, CMD_SET_CLOCK);
    EXPECT_EQ(frames[0].flags, 0);
    EXPECT_EQ(frames[0].payload, payload);
}

// ---------------------------------------------------------------- data mode

TEST_F(SendThreadTest, ImageTravelsInThreeBlocksThenTheEndCommand)
{
    const std::string image = TestImage(kImageSize);

    ASSERT_TRUE(StartImage(image));
    const platform::PostedMessage done = SendDone();

    EXPECT_EQ(done.wParam, 1u);
    EXPECT_EQ(BlockHeadersSent(printer),
              (std::vector<std::string>{"20000#8192#0#", "20000#8192#1#", "20000#3616#2#"}));
    const std::vector<printer_sim::ReceivedFrame> frames = printer.ReceivedFrames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[3].command, CMD_FIRMWARE_END);
    EXPECT_EQ(frames[3].payload, "");
    EXPECT_TRUE(printer.FirmwareEnded());
    EXPECT_EQ(printer.FirmwareImage(), image);
}

TEST_F(SendThreadTest, ImageJobPostsProgressThenUpdatingFlashThenDone)
{
    ASSERT_TRUE(StartImage(TestImage(kImageSize)));
    SendDone();

    const std::vector<platform::PostedMessage> messages = recorder.Messages();
    ASSERT_EQ(messages.size(), 5u);
    for (int block = 0; block < 3; ++block) {
        EXPECT_EQ(messages[block].id, WM_LOAD_PROGRESS);
        EXPECT_EQ(messages[block].wParam, 1u);
        EXPECT_EQ(messages[block].lParam, block);
    }
    EXPECT_EQ(messages[3].id, WM_UPDATING_FLASH);
    EXPECT_EQ(messages[3].wParam, 1u);
    EXPECT_EQ(messages[3].lParam, ParserParam());
    EXPECT_EQ(messages[4].id, WM_SEND_DONE);
    EXPECT_EQ(messages[4].lParam, ParserParam());
}

TEST_F(SendThreadTest, DoneWaitsForDsrToDropAndComeBack)
{
    // Whether DSR was on when each message was posted, and the program time then.
    std::vector<std::pair<bool, std::uint64_t>> dsrAtFlash;
    std::vector<std::pair<bool, std::uint64_t>> dsrAtDone;
    std::mutex seenMutex;
    HookedSink watch(recorder, [&](const platform::PostedMessage& message) {
        std::lock_guard lock(seenMutex);
        if (message.id == WM_UPDATING_FLASH)
            dsrAtFlash.emplace_back(port->Dsr(), platform::timing::NowMs());
        if (message.id == WM_SEND_DONE)
            dsrAtDone.emplace_back(port->Dsr(), platform::timing::NowMs());
    });

    ASSERT_TRUE(StartImage(TestImage(kImageSize)));
    ASSERT_EQ(SendDone().wParam, 1u);

    std::lock_guard lock(seenMutex);
    ASSERT_EQ(dsrAtFlash.size(), 1u);
    ASSERT_EQ(dsrAtDone.size(), 1u);
    EXPECT_TRUE(dsrAtDone[0].first);
    // The printer holds DSR low for 1200 ms after the end command; the job looks every 500 ms.
    EXPECT_GE(dsrAtDone[0].second - dsrAtFlash[0].second, 500u);
}

TEST_F(SendThreadTest, RefusedSecondBlockIsSentAgainAtHalfSizeAndNeverGrows)
{
    HookedSink refuseNext(recorder, [&](const platform::PostedMessage& message) {
        if (message.id == WM_LOAD_PROGRESS && message.lParam == 0)
            printer.AddFault(RefuseBlocks(1));
    });
    const std::string image = TestImage(kImageSize);

    ASSERT_TRUE(StartImage(image));

    EXPECT_EQ(SendDone().wParam, 1u);
    EXPECT_EQ(BlockHeadersSent(printer), (std::vector<std::string>{"20000#8192#0#", "20000#8192#1#", "20000#4096#1#",
                                                                   "20000#4096#2#", "20000#3616#3#"}));
    EXPECT_EQ(ProgressParams(recorder), (std::vector<platform::LParam>{0, 1, 2, 3}));
    EXPECT_EQ(printer.FirmwareImage(), image);
}

TEST_F(SendThreadTest, FirstBlockNeverAcknowledgedEndsAfterThreeSizesWithoutEndCommand)
{
    printer.AddFault(RefuseBlocks(-1));

    ASSERT_TRUE(StartImage(TestImage(kImageSize)));

    EXPECT_EQ(SendDone().wParam, 0u);
    EXPECT_EQ(BlockHeadersSent(printer),
              (std::vector<std::string>{"20000#8192#0#", "20000#4096#0#", "20000#2048#0#"}));
    EXPECT_FALSE(ReceivedCommand(printer, CMD_FIRMWARE_END));
    EXPECT_TRUE(recorder.MessagesWithId(WM_LOAD_PROGRESS).empty());
    EXPECT_TRUE(recorder.MessagesWithId(WM_UPDATING_FLASH).empty());
    bool ok = true;
    parser->GetResult(&ok, nullptr, nullptr);
    EXPECT_FALSE(ok);
}

TEST_F(SendThreadTest, UnansweredBlocksCountAsFailures)
{
    ScopedSpeedFactor muchFaster(100); // three 15 s reply time-outs
    Fault silence;
    silence.kind = FaultKind::Silence;
    silence.command = CMD_FIRMWARE_BLOCK;
    silence.times = -1;
    printer.AddFault(silence);

    ASSERT_TRUE(StartImage(TestImage(kImageSize)));

    EXPECT_EQ(SendDone().wParam, 0u);
    EXPECT_EQ(BlockHeadersSent(printer),
              (std::vector<std::string>{"20000#8192#0#", "20000#4096#0#", "20000#2048#0#"}));
    EXPECT_FALSE(ReceivedCommand(printer, CMD_FIRMWARE_END));
}

TEST_F(SendThreadTest, AcknowledgementBetweenFailuresResetsTheirCount)
{
    printer.AddFault(RefuseBlocks(2));
    HookedSink refuseAgain(recorder, [&](const platform::PostedMessage& message) {
        if (message.id == WM_LOAD_PROGRESS && message.lParam == 0)
            printer.AddFault(RefuseBlocks(2));
    });
    const std::string image = TestImage(kImageSize);

    ASSERT_TRUE(StartImage(image));

    EXPECT_EQ(SendDone().wParam, 1u);
    const std::vector<std::string> headers = BlockHeadersSent(printer);
    ASSERT_GE(headers.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(headers.begin(), headers.begin() + 6),
              (std::vector<std::string>{"20000#8192#0#", "20000#4096#0#", "20000#2048#0#", "20000#2048#1#",
                                        "20000#2048#1#", "20000#2048#1#"}));
    EXPECT_EQ(headers.back(), "20000#1568#9#");
    EXPECT_TRUE(printer.FirmwareEnded());
    EXPECT_EQ(printer.FirmwareImage(), image);
}

TEST_F(SendThreadTest, EndCommandRefusedMakesTheJobFail)
{
    Fault refuseEnd;
    refuseEnd.kind = FaultKind::Refuse;
    refuseEnd.command = CMD_FIRMWARE_END;
    refuseEnd.refuseCode = REPLY_NO_SWITCH;
    printer.AddFault(refuseEnd);

    ASSERT_TRUE(StartImage(TestImage(kImageSize)));

    EXPECT_EQ(SendDone().wParam, 0u);
    EXPECT_TRUE(ReceivedCommand(printer, CMD_FIRMWARE_END));
    EXPECT_TRUE(recorder.MessagesWithId(WM_UPDATING_FLASH).empty());
}

TEST_F(SendThreadTest, StopRequestBetweenBlocksEndsTheJobWithoutEndCommand)
{
    HookedSink stopAfterFirst(recorder, [&](const platform::PostedMessage& message) {
        if (message.id == WM_LOAD_PROGRESS && message.lParam == 0)
            parser->RequestStop();
    });

    ASSERT_TRUE(StartImage(TestImage(kImageSize)));

    EXPECT_EQ(SendDone().wParam, 0u);
    EXPECT_EQ(BlockHeadersSent(printer), (std::vector<std::string>{"20000#8192#0#"}));
    EXPECT_FALSE(ReceivedCommand(printer, CMD_FIRMWARE_END));
    EXPECT_TRUE(recorder.MessagesWithId(WM_UPDATING_FLASH).empty());
}

// DSR stays low for an hour: only the stop ends the restart wait (50 s here), and at once, not
// at the end of the 500 ms poll that it interrupts; the job still reports.
TEST_F(SendThreadTest, StopRequestEndsTheRestartWaitAndTheJobStillReportsItsResult)
{
    ScopedSpeedFactor realTime{1}; // the stop's bound is in real time
    printer.SetRestartDsrLowMs(3600000);
    const std::string image = TestImage(kImageSize);
    ASSERT_TRUE(StartImage(image));
    ASSERT_TRUE(recorder.WaitFor(WM_UPDATING_FLASH, kWaitMs));

    const auto requested = std::chrono::steady_clock::now();
    parser->RequestStop();

    ASSERT_TRUE(recorder.WaitFor(WM_SEND_DONE, 3000));
    EXPECT_LT(std::chrono::steady_clock::now() - requested, kStopEndsTheRestartWaitWithin);
    std::vector<unsigned> ids;
    for (const platform::PostedMessage& message : recorder.Messages())
        ids.push_back(message.id);
    EXPECT_EQ(ids, (std::vector<unsigned>{WM_LOAD_PROGRESS, WM_LOAD_PROGRESS, WM_LOAD_PROGRESS, WM_UPDATING_FLASH,
                                          WM_SEND_DONE}));
    EXPECT_EQ(SendDone().wParam, 1u);
    bool ok = false;
    parser->GetResult(&ok, nullptr, nullptr);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(port->Dsr()) << "the printer had not come back";
    EXPECT_EQ(printer.FirmwareImage(), image);
    EXPECT_TRUE(printer.FirmwareEnded());
}

TEST_F(SendThreadTest, NewImageJobClearsAnEarlierStopRequest)
{
    parser->RequestStop();

    ASSERT_TRUE(StartImage(TestImage(kImageSize)));

    EXPECT_EQ(SendDone().wParam, 1u);
}

// ---------------------------------------------------------------- ending a job early

class SendThreadEndTest : public SendThreadTest {
protected:
    // Starts an image whose second block the printer never answers, and waits until
    // that block is in flight.
    void StartImageThatStalls()
    {
        silenceAfterFirstBlock_ = std::make_unique<HookedSink>(recorder, [&](const platform::PostedMessage& message) {
            if (message.id == WM_LOAD_PROGRESS && message.lParam == 0) {
                Fault silence;
                silence.kind = FaultKind::Silence;
                silence.times = -1;
                printer.AddFault(silence);
            }
        });
        ASSERT_TRUE(StartImage(TestImage(kImageSize)));
        ASSERT_TRUE(printer.WaitForFrames(2, kWaitMs));
    }

    // The receive lock is free when a byte can still be taken; then the port closes.
    void ExpectTransportUsableAndClosable()
    {
        port->SendToHost("x");
        ASSERT_TRUE(comms_test::WaitUntil([&] { return comms.SerialChannel().QueuedByteCount() > 0; }, kWaitMs));
        std::uint8_t b = 0;
        EXPECT_TRUE(comms.ReadByte(&b));
        EXPECT_TRUE(comms.Close());
        EXPECT_FALSE(port->HostIsOpen());
    }

    std::unique_ptr<HookedSink> silenceAfterFirstBlock_;
};

TEST_F(SendThreadEndTest, DestructionMidJobEndsPromptlyAndPostsNothingMore)
{
    StartImageThatStalls();
    const std::size_t postedBefore = recorder.Messages().size();

    const auto start = std::chrono::steady_clock::now();
    parser.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)); // the block had 15 s left

    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder.Messages().size(), postedBefore);
    EXPECT_TRUE(recorder.MessagesWithId(WM_SEND_DONE).empty());
    ExpectTransportUsableAndClosable();
}

TEST_F(SendThreadEndTest, AbortMidJobEndsPromptlyAndPostsNothingMore)
{
    StartImageThatStalls();
    const std::size_t postedBefore = recorder.Messages().size();

    const auto start = std::chrono::steady_clock::now();
    parser->AbortSendThread();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    EXPECT_FALSE(parser->IsRunning());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder.Messages().size(), postedBefore);
    EXPECT_FALSE(ReceivedCommand(printer, CMD_FIRMWARE_END));
    ExpectTransportUsableAndClosable();
}

TEST_F(SendThreadEndTest, ImageAbortedInTheRestartWaitReadsAsFailed)
{
    ScopedSpeedFactor realSpeed(1); // the printer keeps DSR low for 1200 ms
    ASSERT_TRUE(StartImage(TestImage(kImageSize)));
    ASSERT_TRUE(recorder.WaitFor(WM_UPDATING_FLASH, kWaitMs)); // every block and the end acknowledged

    EXPECT_TRUE(parser->AbortSendThread()) << "ended in its wait, before it reported";

    bool ok = true;
    parser->GetResult(&ok, nullptr, nullptr);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(recorder.MessagesWithId(WM_SEND_DONE).empty());
}

} // namespace
