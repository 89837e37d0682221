// Transactions (CQVMessageParser::TransactWithTimeout, SendCommand) and the rules of the
// send thread that need no printer behind the line: the test plays the printer end of a
// virtual line by hand, so each reply arrives exactly as the test scripts it (stale
// bytes, chunks, gaps, damaged CRCs, echoes, silence).
#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "platform/timing.h"

#include "comms_test_support.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace std::string_view_literals;
using comms_test::ReplyFrame;
using comms_test::RequestFrame;
using comms_test::ScopedPortMap;
using comms_test::VirtualPort;
using comms_test::WaitUntil;
using test_support::MessageRecorder;
using test_support::ScopedSpeedFactor;
namespace timing = platform::timing;

constexpr int kPort = 3;
constexpr int kWaitMs = 5000;
constexpr platform::WindowHandle kWindow = 0x1234;
constexpr std::uint32_t kMinimumTimeoutMs = 1000;
constexpr std::uint32_t kPauseAfterWriteMs = 50;
// Scheduling slack allowed on top of a time-out; well below the 500 ms that separate the
// minimum time-out from the usual 1500 ms.
constexpr std::uint64_t kSlackMs = 400;

const std::string kIdentifyRequest = RequestFrame(CMD_IDENTIFY, {});

void SleepRealMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The printer's side of one exchange, on a thread of its own: waits for the request of
// the given size, then runs the script. Joined when the object ends.
class PrinterEnd {
public:
    PrinterEnd(platform::VirtualLine& line, std::size_t requestSize, std::function<void()> script)
        : thread_([&line, requestSize, script = std::move(script), this] {
              request_ = comms_test::TakeRequest(line, requestSize, kWaitMs);
              if (!request_.empty())
                  script();
          })
    {
    }
    ~PrinterEnd() { Join(); }
    PrinterEnd(const PrinterEnd&) = delete;
    PrinterEnd& operator=(const PrinterEnd&) = delete;

    // The request that arrived; empty when none did.
    const std::string& Request()
    {
        Join();
        return request_;
    }

private:
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    std::string request_;
    std::thread thread_;
};

class TransactionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(comms.Open("COM3", 19200, 8, 'N', 1.0f)); }

    bool Identify(std::uint32_t timeoutMs)
    {
        return CQVMessageParser::TransactWithTimeout(&comms, kIdentifyRequest, timeoutMs, &state, &reply);
    }

    // Program milliseconds that an unanswered transaction takes.
    std::uint64_t SilentTransactionMs(std::uint32_t timeoutMs)
    {
        const std::uint64_t start = timing::NowMs();
        EXPECT_FALSE(Identify(timeoutMs));
        return timing::NowMs() - start;
    }

    void QueueFromPrinter(const std::string& bytes)
    {
        port->SendToHost(bytes);
        ASSERT_TRUE(WaitUntil([&] { return comms.SerialChannel().QueuedByteCount() == bytes.size(); }, kWaitMs));
    }

    ScopedPortMap map;
    VirtualPort port{map, kPort};
    CComms comms;
    MessageParseState state;
    std::string reply;
};

// ---------------------------------------------------------------- time-out

TEST_F(TransactionTest, TimeoutOfZeroWaitsOneSecond)
{
    const std::uint64_t elapsed = SilentTransactionMs(0);

    EXPECT_GE(elapsed, kPauseAfterWriteMs + kMinimumTimeoutMs);
    EXPECT_LT(elapsed, kPauseAfterWriteMs + kMinimumTimeoutMs + kSlackMs);
}

TEST_F(TransactionTest, TimeoutBelowOneSecondIsRaisedToOneSecond)
{
    const std::uint64_t elapsed = SilentTransactionMs(500);

    EXPECT_GE(elapsed, kPauseAfterWriteMs + kMinimumTimeoutMs);
    EXPECT_LT(elapsed, kPauseAfterWriteMs + kMinimumTimeoutMs + kSlackMs);
}

TEST_F(TransactionTest, TimeoutAboveOneSecondStays)
{
    const std::uint64_t elapsed = SilentTransactionMs(1500);

    EXPECT_GE(elapsed, kPauseAfterWriteMs + 1500);
    EXPECT_LT(elapsed, kPauseAfterWriteMs + 1500 + kSlackMs);
}

// ---------------------------------------------------------------- replies

TEST_F(TransactionTest, SendCommandWritesTheRequestAndReturnsTheReply)
{
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(),
                       [&] { port->SendToHost(ReplyFrame(REPLY_ACK, "YT00000006060")); });

    ASSERT_TRUE(CQVMessageParser::SendCommand(&comms, 0, CMD_IDENTIFY, {}, 1500, &state, &reply));

    EXPECT_EQ(printer.Request(), kIdentifyRequest);
    EXPECT_EQ(reply, "YT00000006060");
    EXPECT_EQ(state.command, REPLY_ACK);
}

TEST_F(TransactionTest, FileDirectionFrameCountsAsAReply)
{
    std::string fileFrame;
    CQVMessageParser::BuildMessage(fileFrame, 0, FRAME_DIRECTION_FILE, REPLY_SETTINGS, "record");
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] { port->SendToHost(fileFrame); });

    ASSERT_TRUE(Identify(1500));

    EXPECT_EQ(reply, "record");
    EXPECT_EQ(state.command, REPLY_SETTINGS);
}

TEST_F(TransactionTest, ReplyInChunksWithShortGapsIsAccepted)
{
    const std::string frame = ReplyFrame(REPLY_ACK, "chunks of a reply");
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] {
        port->SendToHost(frame.substr(0, 6));
        SleepRealMs(400);
        port->SendToHost(frame.substr(6, 10));
        SleepRealMs(400);
        port->SendToHost(frame.substr(16));
    });

    ASSERT_TRUE(Identify(1000));

    EXPECT_EQ(reply, "chunks of a reply");
}

// Its header is still arriving as the time-out passes, its bytes less than half a second apart.
TEST_F(TransactionTest, ReplyBegunJustBeforeTheTimeoutIsTaken)
{
    const std::string frame = ReplyFrame(REPLY_ACK, "just in time");
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] {
        SleepRealMs(900);
        port->SendToHost(frame.substr(0, 6));
        SleepRealMs(400);
        port->SendToHost(frame.substr(6));
    });

    ASSERT_TRUE(Identify(1000));

    EXPECT_EQ(reply, "just in time");
}

TEST_F(TransactionTest, GapLongerThanTheTimeoutFailsEvenWithHalfAFrame)
{
    const std::string frame = ReplyFrame(REPLY_ACK, "too late");
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] {
        port->SendToHost(frame.substr(0, frame.size() / 2));
        SleepRealMs(1500);
        port->SendToHost(frame.substr(frame.size() / 2));
    });

    EXPECT_FALSE(Identify(1000));
}

// A header that begins just before the time-out and is then abandoned: nothing is left to
// finish, so the transaction ends at its time-out. The bytes that follow it, one at a time
// and closer together than a header still arriving may pause, would carry the header on had
// it not been abandoned: a receiver that kept it, or a loop that still counted it as
// arriving, would wait for them past the bound.
struct AbandonedHeader {
    const char* name;
    std::string_view bytes; // at once
    std::string_view after; // then one byte at a time
};

constexpr std::uint32_t kAbandonedHeaderTimeoutMs = 1500;
constexpr int kHeaderAfterTheRequestMs = 1150; // 400 ms before the time-out passes
constexpr int kByteAfterTheHeaderEveryMs = 200;
// Halfway from the time-out to twice it.
constexpr std::uint64_t kAbandonedHeaderEndsWithinMs = kPauseAfterWriteMs + kAbandonedHeaderTimeoutMs * 3 / 2;

constexpr AbandonedHeader kAbandonedHeaders[] = {
    // Taken as a digit, the letter would leave one digit to come and a payload of 400 after it.
    {"ALetterAmongItsLengthDigits", "\x09\x01\x00\x02\x06" "00000X"sv, "00000000"sv},
    // Taken, the length would make the bytes after it its payload.
    {"ALengthBeyondTheLongestPayload", "\x09\x01\x00\x02\x06" "0065536"sv, "00000000"sv},
    // Taken, the flags would have the bytes after them finish the header and begin its payload.
    {"FlagsOtherThan0Or1", "\x09\x01\x07"sv, "\x02\x06" "0000010" "0"sv},
    // A header that is still whole so far, then silence: it holds the transaction only for
    // the pause that a header still arriving may take (half a second), not for a time-out
    // after its last byte (2650 ms here).
    {"BegunAndThenSilent", "\x09\x01\x00\x02\x06" "00"sv, ""sv},
};

class AbandonedHeaderTest : public TransactionTest, public ::testing::WithParamInterface<AbandonedHeader> {};

TEST_P(AbandonedHeaderTest, EndsTheTransactionAtItsTimeOut)
{
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] {
        SleepRealMs(kHeaderAfterTheRequestMs);
        port->SendToHost(std::string(GetParam().bytes));
        for (const char b : GetParam().after) {
            SleepRealMs(kByteAfterTheHeaderEveryMs);
            port->SendToHost(std::string(1, b));
        }
    });

    const std::uint64_t elapsed = SilentTransactionMs(kAbandonedHeaderTimeoutMs);

    EXPECT_GE(elapsed, kPauseAfterWriteMs + kAbandonedHeaderTimeoutMs);
    EXPECT_LT(elapsed, kAbandonedHeaderEndsWithinMs);
}

INSTANTIATE_TEST_SUITE_P(TransactionTest, AbandonedHeaderTest, ::testing::ValuesIn(kAbandonedHeaders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransactionTest, DamagedCrcIsNotReportedAndTheGoodFrameAfterItIsTaken)
{
    std::string damaged = ReplyFrame(REPLY_ACK, "damaged");
    damaged.back() = static_cast<char>(damaged.back() ^ 0x01);
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] {
        port->SendToHost(damaged);
        SleepRealMs(200);
        port->SendToHost(ReplyFrame(REPLY_ACK, "good"));
    });

    ASSERT_TRUE(Identify(1000));

    EXPECT_EQ(reply, "good");
}

TEST_F(TransactionTest, DamagedCrcAloneWaitsUntilTheTimeout)
{
    std::string damaged = ReplyFrame(REPLY_ACK, "damaged");
    damaged.back() = static_cast<char>(damaged.back() ^ 0x01);
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] { port->SendToHost(damaged); });

    const std::uint64_t start = timing::NowMs();
    EXPECT_FALSE(Identify(1000));

    EXPECT_GE(timing::NowMs() - start, kPauseAfterWriteMs + kMinimumTimeoutMs);
}

TEST_F(TransactionTest, EchoedRequestIsNotAReply)
{
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] { port->SendToHost(kIdentifyRequest); });

    EXPECT_FALSE(Identify(1000));
}

TEST_F(TransactionTest, ReplyAfterAnEchoedRequestIsTaken)
{
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] {
        port->SendToHost(kIdentifyRequest + ReplyFrame(REPLY_ACK, "after the echo"));
    });

    ASSERT_TRUE(Identify(1000));

    EXPECT_EQ(reply, "after the echo");
}

// ---------------------------------------------------------------- stale bytes

TEST_F(TransactionTest, StaleReplyInTheQueueIsDiscardedBeforeTheRequest)
{
    QueueFromPrinter(ReplyFrame(REPLY_ACK, "stale"));
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(),
                       [&] { port->SendToHost(ReplyFrame(REPLY_ACK, "fresh")); });

    ASSERT_TRUE(Identify(1000));

    EXPECT_EQ(reply, "fresh");
}

TEST_F(TransactionTest, StaleBytesBeyondThe201stAreParsedAsPartOfTheReply)
{
    // 201 bytes that end in a complete frame, then a 49-byte frame: a drain of more than
    // 201 bytes would break the second frame, one of fewer would leave the first whole.
    const std::string discarded = ReplyFrame(REPLY_ACK, "must be discarded");
    const std::string kept = ReplyFrame(REPLY_ACK, std::string(35, 'k'));
    ASSERT_EQ(kept.size(), 49u);
    const std::string stale = std::string(201 - discarded.size(), '\0') + discarded + kept;
    ASSERT_EQ(stale.size(), 250u);
    QueueFromPrinter(stale);

    ASSERT_TRUE(Identify(1000));

    EXPECT_EQ(reply, std::string(35, 'k'));
    EXPECT_EQ(comms_test::TakeRequest(*port.Line(), kIdentifyRequest.size(), kWaitMs), kIdentifyRequest);
}

TEST_F(TransactionTest, The201stStaleByteIsStillDiscarded)
{
    // A stale frame that begins at the 201st byte loses its start byte to the drain; the
    // 49 bytes after it are parsed but make no frame, and the printer's answer is taken.
    const std::string stale = ReplyFrame(REPLY_ACK, std::string(36, 's'));
    ASSERT_EQ(stale.size(), 50u);
    ASSERT_EQ(stale.find('\x09', 1), std::string::npos);
    QueueFromPrinter(std::string(200, '\0') + stale);
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(),
                       [&] { port->SendToHost(ReplyFrame(REPLY_ACK, "fresh")); });

    ASSERT_TRUE(Identify(1000));

    EXPECT_EQ(reply, "fresh");
}

// ---------------------------------------------------------------- waiting

// A transaction looks at an empty queue again only after a pause; the transport wakes it
// as soon as the reader has queued bytes, so a reply that arrives during the pause is
// taken at once. Without the wake-up it would wait out the rest of the pause: about half
// of it on average, over many exchanges.
TEST_F(TransactionTest, ReplyQueuedDuringThePauseIsTakenAtOnce)
{
    constexpr int kExchanges = 20;
    constexpr double kEmptyQueuePauseMs = 20;
    // Well after the pause that follows the request, so that the transaction is waiting;
    // the extra milliseconds spread the replies over the phases of its pauses.
    constexpr int kReplyDelayMs = 100;
    constexpr int kPhaseStepMs = 3;
    using Clock = std::chrono::steady_clock;
    const std::string answer = ReplyFrame(REPLY_ACK, "YT00000006060");

    // When the reply first stood in the receive queue, seen from a thread of its own; the
    // lock keeps a look at one exchange's queue from being noted against the next one.
    std::mutex seenMutex;
    std::optional<Clock::time_point> queuedAt;
    std::atomic<bool> done{false};
    std::thread observer([&] {
        while (!done.load()) {
            {
                const std::lock_guard lock(seenMutex);
                if (!queuedAt && comms.SerialChannel().QueuedByteCount() > 0)
                    queuedAt = Clock::now();
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });

    std::vector<double> takenAfterMs;
    for (int exchange = 0; exchange < kExchanges; ++exchange) {
        {
            const std::lock_guard lock(seenMutex);
            queuedAt.reset();
        }
        PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] {
            SleepRealMs(kReplyDelayMs + exchange * kPhaseStepMs % static_cast<int>(kEmptyQueuePauseMs));
            port->SendToHost(answer);
        });
        EXPECT_TRUE(Identify(1500));
        const Clock::time_point returnedAt = Clock::now();
        const std::lock_guard lock(seenMutex);
        // Not seen at all: taken before the observer looked again.
        takenAfterMs.push_back(queuedAt ? std::chrono::duration<double, std::milli>(returnedAt - *queuedAt).count() : 0.0);
    }
    done.store(true);
    observer.join();

    double totalMs = 0;
    std::string each;
    for (const double ms : takenAfterMs) {
        totalMs += ms;
        each += std::to_string(ms) + " ";
    }
    EXPECT_LT(totalMs / kExchanges, kEmptyQueuePauseMs / 4) << "ms from queued to taken: " << each;
}

// The transaction sleeps through its wait on a silent line: its thread's CPU time is a
// small part of the time-out.
TEST_F(TransactionTest, WaitOnASilentLineSpendsLittleCpu)
{
    constexpr int kCpuShareLimit = 10;
    const auto threadCpu = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
    };
    const auto wallStart = std::chrono::steady_clock::now();
    const auto cpuStart = threadCpu();

    EXPECT_FALSE(Identify(1500));

    const auto cpu = threadCpu() - cpuStart;
    const auto wall = std::chrono::steady_clock::now() - wallStart;
    EXPECT_GE(wall, std::chrono::milliseconds(1500));
    EXPECT_LT(cpu * kCpuShareLimit, wall) << "CPU " << std::chrono::duration_cast<std::chrono::milliseconds>(cpu).count()
                                          << " ms of " << std::chrono::duration_cast<std::chrono::milliseconds>(wall).count()
                                          << " ms";
}

// ---------------------------------------------------------------- refusals

TEST_F(TransactionTest, EmptyFrameReturnsFalseWithoutWriting)
{
    reply = "kept";
    state.command = 0x77;

    EXPECT_FALSE(CQVMessageParser::TransactWithTimeout(&comms, "", 1000, &state, &reply));

    EXPECT_EQ(reply, "kept");
    EXPECT_EQ(state.command, 0x77u);
    SleepRealMs(50);
    EXPECT_EQ(port->BytesFromHost(), 0u);
}

TEST_F(TransactionTest, NoTransportReturnsFalseAndLeavesTheResultAlone)
{
    reply = "kept";

    EXPECT_FALSE(CQVMessageParser::SendCommand(nullptr, 0, CMD_IDENTIFY, {}, 1000, &state, &reply));
    EXPECT_FALSE(CQVMessageParser::TransactWithTimeout(nullptr, kIdentifyRequest, 1000, &state, &reply));

    EXPECT_EQ(reply, "kept");
}

TEST_F(TransactionTest, ClosedTransportFailsAtTheWriteWithoutWaiting)
{
    comms.Close();

    const std::uint64_t start = timing::NowMs();
    EXPECT_FALSE(Identify(1000));

    EXPECT_LT(timing::NowMs() - start, kMinimumTimeoutMs);
}

// ---------------------------------------------------------------- send thread rules

class SendThreadRulesTest : public TransactionTest {
protected:
    MessageRecorder recorder;
    std::unique_ptr<CQVMessageParser> parser = std::make_unique<CQVMessageParser>();
};

TEST_F(SendThreadRulesTest, StartWithoutAWindowIsRefused)
{
    EXPECT_FALSE(parser->StartSendThread(&comms, CMD_IDENTIFY, {}, platform::kNoWindow));

    SleepRealMs(100);
    EXPECT_FALSE(parser->IsRunning());
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_EQ(port->BytesFromHost(), 0u);
}

TEST_F(SendThreadRulesTest, StartWithoutATransportIsRefused)
{
    EXPECT_FALSE(parser->StartSendThread(nullptr, CMD_IDENTIFY, {}, kWindow));

    SleepRealMs(100);
    EXPECT_FALSE(parser->IsRunning());
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST_F(SendThreadRulesTest, StartWhileAJobRunsIsRefused)
{
    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_IDENTIFY, {}, kWindow)); // nobody answers

    EXPECT_FALSE(parser->StartSendThread(&comms, CMD_PRINT_TEST_DOCUMENT, {}, kWindow));

    ASSERT_EQ(comms_test::TakeRequest(*port.Line(), kIdentifyRequest.size(), kWaitMs), kIdentifyRequest);
    parser->AbortSendThread();
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_EQ(port->TakeFromHost(), ""); // the refused job wrote nothing
}

TEST_F(SendThreadRulesTest, UnansweredPayloadJobReportsFailure)
{
    ScopedSpeedFactor faster(100); // the 15 s reply time-out does not matter here
    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_IDENTIFY, {}, kWindow));

    ASSERT_TRUE(recorder.WaitFor(WM_SEND_DONE, kWaitMs));

    const platform::PostedMessage done = recorder.MessagesWithId(WM_SEND_DONE).front();
    EXPECT_EQ(done.wParam, 0u);
    EXPECT_EQ(done.lParam, reinterpret_cast<platform::LParam>(parser.get()));
    bool ok = true;
    parser->GetResult(&ok, nullptr, nullptr);
    EXPECT_FALSE(ok);
}

TEST_F(SendThreadRulesTest, FirmwareEndThatDsrNeverFollowsWaitsTheWholeBudget)
{
    constexpr std::uint64_t kBudgetMs = 100 * 500;
    std::map<unsigned, std::uint64_t> postedAt;
    std::mutex postedAtMutex;
    comms_test::HookedSink timestamps(recorder, [&](const platform::PostedMessage& message) {
        std::lock_guard lock(postedAtMutex);
        postedAt[message.id] = timing::NowMs();
    });
    ScopedSpeedFactor faster(100);
    port->SetDsr(true);
    const std::string request = RequestFrame(CMD_FIRMWARE_BLOCK, "end");
    PrinterEnd printer(*port.Line(), request.size(), [&] { port->SendToHost(ReplyFrame(REPLY_ACK, {})); });

    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_FIRMWARE_BLOCK, "end", kWindow));

    ASSERT_TRUE(recorder.WaitFor(WM_SEND_DONE, 20000));
    const std::vector<platform::PostedMessage> messages = recorder.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].id, WM_UPDATING_FLASH);
    EXPECT_EQ(messages[1].id, WM_SEND_DONE);
    EXPECT_EQ(messages[1].wParam, 1u);
    std::lock_guard lock(postedAtMutex);
    EXPECT_GE(postedAt[WM_SEND_DONE] - postedAt[WM_UPDATING_FLASH], kBudgetMs);
}

TEST_F(SendThreadRulesTest, AbortMidJobEndsPromptlyPostsNothingAndFreesTheTransport)
{
    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_IDENTIFY, {}, kWindow)); // nobody answers
    ASSERT_FALSE(comms_test::TakeRequest(*port.Line(), kIdentifyRequest.size(), kWaitMs).empty());

    const auto start = std::chrono::steady_clock::now();
    parser->AbortSendThread();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)); // the job had 15 s left

    EXPECT_FALSE(parser->IsRunning());
    SleepRealMs(100);
    EXPECT_TRUE(recorder.Messages().empty());
    // The receive lock is free: a byte can still be taken, then the port closes.
    QueueFromPrinter("x");
    std::uint8_t b = 0;
    EXPECT_TRUE(comms.ReadByte(&b));
    EXPECT_TRUE(comms.Close());
}

TEST_F(SendThreadRulesTest, ParserCanRunAnotherJobAfterAnAbort)
{
    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_IDENTIFY, {}, kWindow));
    ASSERT_FALSE(comms_test::TakeRequest(*port.Line(), kIdentifyRequest.size(), kWaitMs).empty());
    parser->AbortSendThread();
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] { port->SendToHost(ReplyFrame(REPLY_ACK, "again")); });

    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_IDENTIFY, {}, kWindow));

    ASSERT_TRUE(recorder.WaitFor(WM_SEND_DONE, kWaitMs));
    EXPECT_EQ(recorder.MessagesWithId(WM_SEND_DONE).front().wParam, 1u);
}

TEST_F(SendThreadRulesTest, JobEndedBeforeItRanLeavesNoEarlierResultBehind)
{
    PrinterEnd printer(*port.Line(), kIdentifyRequest.size(), [&] { port->SendToHost(ReplyFrame(REPLY_ACK, "first")); });
    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_IDENTIFY, {}, kWindow));
    ASSERT_TRUE(recorder.WaitFor(WM_SEND_DONE, kWaitMs));
    ASSERT_TRUE(parser->WaitForSendThread(kWaitMs));
    EXPECT_FALSE(parser->AbortSendThread()) << "a job that reported is no lost job";

    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_SET_CLOCK, "x", kWindow));
    EXPECT_TRUE(parser->AbortSendThread()) << "ended within its settling pause, before it reported";

    bool ok = true;
    MessageParseState state;
    std::string reply = "stale";
    parser->GetResult(&ok, &state, &reply);
    EXPECT_FALSE(ok);
    EXPECT_EQ(state.command, 0u);
    EXPECT_TRUE(reply.empty());
}

TEST_F(SendThreadRulesTest, DestructionMidJobEndsPromptlyPostsNothingAndFreesTheTransport)
{
    ASSERT_TRUE(parser->StartSendThread(&comms, CMD_IDENTIFY, {}, kWindow)); // nobody answers
    ASSERT_FALSE(comms_test::TakeRequest(*port.Line(), kIdentifyRequest.size(), kWaitMs).empty());

    const auto start = std::chrono::steady_clock::now();
    parser.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    SleepRealMs(100);
    EXPECT_TRUE(recorder.Messages().empty());
    QueueFromPrinter("x");
    std::uint8_t b = 0;
    EXPECT_TRUE(comms.ReadByte(&b));
    EXPECT_TRUE(comms.Close());
}

} // namespace
