// Transactions on a port whose device never stops talking: text that never frames a reply,
// start bytes that begin frames without ever finishing one, random binary data; and, against
// them, the longest reply the parser takes and replies amid noise, which must come through whole.
#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"

#include "comms_test_support.h"
#include "tests/support/chatty_pty.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scoped_port_map.h"
#include "tools/printer-sim/pty_printer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <future>
#include <optional>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr char kPort[] = "COM9";
constexpr std::uint32_t kTimeoutMs = 1000;
// A guard against a transaction that never ends; no speed is asked of it here.
constexpr auto kNeverEndsAfter = std::chrono::seconds(90);
constexpr std::uint32_t kProbeTimeoutMs = 1500; // the search's probe
constexpr std::uint32_t kPauseAfterWriteMs = 50;
// A transaction on noise past its time-out: a second is the aim, with room for a busy machine; one
// held by the frames noise starts would take the longest frame's line time, over 10 s even at
// 115200 baud.
constexpr std::uint32_t kNoiseAllowanceMs = 3000;
// From the last byte of a reply amid noise to its transaction's end: the reader's own latency is
// the aim, with room for a busy machine; a loop that falls behind the noise takes seconds.
constexpr auto kReplyTakenWithin = std::chrono::milliseconds(250);

struct Outcome {
    bool replied = false;
    std::string reply;
    std::chrono::duration<double, std::milli> cpu{0}, wall{0}; // the transaction's thread; real time
    std::chrono::steady_clock::time_point ended;
};

std::chrono::nanoseconds ThreadCpu()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Runs one identify transaction on another thread; nothing when it has not ended in time
// (it is then called off, so that the test fails instead of hanging).
std::optional<Outcome> IdentifyOn(CComms& transport, std::uint32_t timeoutMs = kTimeoutMs)
{
    std::atomic<bool> callOff{false};
    std::future<Outcome> done = std::async(std::launch::async, [&transport, &callOff, timeoutMs] {
        Outcome outcome;
        MessageParseState state;
        const auto wallStart = std::chrono::steady_clock::now();
        const auto cpuStart = ThreadCpu();
        outcome.replied = CQVMessageParser::SendCommand(&transport, 0, CMD_IDENTIFY, {}, timeoutMs, &state,
                                                        &outcome.reply, &callOff);
        outcome.cpu = ThreadCpu() - cpuStart;
        outcome.ended = std::chrono::steady_clock::now();
        outcome.wall = outcome.ended - wallStart;
        return outcome;
    });
    if (done.wait_for(kNeverEndsAfter) != std::future_status::ready) {
        callOff.store(true);
        return std::nullopt;
    }
    return done.get();
}

// Unanswered, a transaction ends a little after its time-out (real time is program time here).
void ExpectEndedSoonAfterItsTimeOut(const Outcome& outcome, std::uint32_t timeoutMs)
{
    EXPECT_FALSE(outcome.replied);
    EXPECT_GE(outcome.wall.count(), kPauseAfterWriteMs + timeoutMs);
    EXPECT_LE(outcome.wall.count(), kPauseAfterWriteMs + timeoutMs + kNoiseAllowanceMs);
}

TEST(ChattyPort, TextThatNeverFramesEndsTheTransactionAtItsTimeOut)
{
    test_support::ChattyPseudoTerminal gps(test_support::kGpsSentence);
    ASSERT_TRUE(gps.Valid());
    test_support::ScopedPortMap map;
    map.Set(kPort, gps.SlavePath());
    CComms transport;
    ASSERT_TRUE(transport.Open(kPort, 9600, 8, 'N', 1.0f));

    const std::optional<Outcome> outcome = IdentifyOn(transport);

    ASSERT_TRUE(outcome.has_value()) << "the transaction waited on the talking port for ever";
    EXPECT_FALSE(outcome->replied);
    EXPECT_GT(transport.SerialChannel().QueuedByteCount(), 0u) << "the device had stopped talking";
}

// 0x09 starts a frame, and another 0x09 starts it again: the parser is never idle, but no
// header ever becomes whole, so nothing holds the wait past its time-out. (A loop that let
// every frame begun hold it would wait for the longest frame's line time and its own pauses:
// half a minute here.)
TEST(ChattyPort, StartBytesWithoutAFrameEndTheTransaction)
{
    test_support::ChattyPseudoTerminal starts(std::string(256, '\x09'));
    ASSERT_TRUE(starts.Valid());
    test_support::ScopedPortMap map;
    map.Set(kPort, starts.SlavePath());
    CComms transport;
    ASSERT_TRUE(transport.Open(kPort, 921600, 8, 'N', 1.0f));

    const std::optional<Outcome> outcome = IdentifyOn(transport);

    ASSERT_TRUE(outcome.has_value()) << "the transaction waited on the talking port for ever";
    ExpectEndedSoonAfterItsTimeOut(*outcome, kTimeoutMs);
}

// The longest frame the parser takes: a payload of 65535 characters, every one escaped, in
// 131084 bytes on the line, over a minute at 19200 baud, as the send thread waits for a reply
// (15 s after the last byte). It starts late in that time-out and arrives at the line's rate;
// it must still be taken whole. The printer keeps to the line's timetable from the moment it
// heard the request, so that a slice it sends late does not delay the ones after it, and the
// program's clock, which runs faster here, leaves every wait seconds of its own to spare.
// At 1200 baud it takes eighteen minutes. Each slice of the printer's is well within the time-out.
void ExpectLongestReplyTakenWhole(std::uint32_t baud, double speed, std::size_t slice)
{
    test_support::ScopedSpeedFactor faster{speed};
    const std::unique_ptr<printer_sim::PseudoTerminal> pty = printer_sim::PseudoTerminal::Open();
    ASSERT_NE(pty, nullptr);
    test_support::ScopedPortMap map;
    map.Set(kPort, pty->SlavePath());
    CComms transport;
    ASSERT_TRUE(transport.Open(kPort, static_cast<int>(baud), 8, 'N', 1.0f));
    const std::string payload(65535, '\x80');
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_REPLY, REPLY_SETTINGS, payload);
    ASSERT_EQ(frame.size(), 131084u);
    constexpr std::uint32_t kTimeout = CQVMessageParser::kSendJobTimeoutMs;
    constexpr std::uint64_t kFirstByteAfterMs = kTimeout * 2 / 3;
    // The line time of a number of bytes at 8N1: ten bits each.
    const auto lineMs = [baud](std::size_t bytes) { return std::uint64_t{bytes} * 10 * 1000 / baud; };

    std::thread printer([&] {
        char request[64];
        for (int polls = 0; polls < 500; ++polls) {
            pollfd pfd{pty->MasterFd(), POLLIN, 0};
            if (::poll(&pfd, 1, 10) > 0 && ::read(pty->MasterFd(), request, sizeof request) > 0)
                break;
        }
        const std::uint64_t firstByteAt = platform::timing::NowMs() + kFirstByteAfterMs;
        // Each slice when the line would have carried the bytes before it.
        for (std::size_t at = 0; at < frame.size(); at += slice) {
            const std::uint64_t due = firstByteAt + lineMs(at);
            const std::uint64_t now = platform::timing::NowMs();
            if (due > now)
                platform::timing::SleepMs(static_cast<std::uint32_t>(due - now));
            const std::size_t count = std::min(slice, frame.size() - at);
            std::size_t sent = 0;
            while (sent < count) {
                const ssize_t n = ::write(pty->MasterFd(), frame.data() + at + sent, count - sent);
                if (n > 0)
                    sent += static_cast<std::size_t>(n);
                else
                    platform::timing::SleepMs(1);
            }
        }
    });
    const std::optional<Outcome> outcome = IdentifyOn(transport, kTimeout);
    printer.join();

    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->replied);
    EXPECT_EQ(outcome->reply.size(), payload.size());
    EXPECT_TRUE(outcome->reply == payload) << "the payload came through changed";
}

TEST(ChattyPort, LongestReplyIsTakenWholeAt19200Baud)
{
    ExpectLongestReplyTakenWhole(19200, 20, 1024);
}

TEST(ChattyPort, LongestReplyIsTakenWholeAt1200Baud)
{
    ExpectLongestReplyTakenWhole(1200, 100, 128);
}

// Random bytes from a fixed seed, bytesPerSecond of them, or a text said over and over,
// bytesPerSecond of its bytes (0: without a pause).
struct NoiseCase {
    const char* name;
    std::uint32_t baud;
    std::uint32_t bytesPerSecond;
    const char* text = nullptr;
};

class NoisyPort : public ::testing::TestWithParam<NoiseCase> {
protected:
    void SetUp() override
    {
        const NoiseCase& noise = GetParam();
        if (noise.text == nullptr)
            device = std::make_unique<test_support::ChattyPseudoTerminal>(0x5EED, noise.bytesPerSecond);
        else if (noise.bytesPerSecond == 0)
            device = std::make_unique<test_support::ChattyPseudoTerminal>(noise.text);
        else
            device = std::make_unique<test_support::ChattyPseudoTerminal>(noise.text, noise.bytesPerSecond);
        ASSERT_TRUE(device->Valid());
        map.Set(kPort, device->SlavePath());
        ASSERT_TRUE(transport.Open(kPort, static_cast<int>(noise.baud), 8, 'N', 1.0f));
        ASSERT_TRUE(comms_test::WaitUntil([this] { return transport.SerialChannel().QueuedByteCount() > 0; }, 2000))
            << "the device is not heard before the request goes out";
    }

    test_support::ScopedPortMap map;
    std::unique_ptr<test_support::ChattyPseudoTerminal> device;
    CComms transport;
};

// Unanswered, the probe ends a little after its time-out (real time is program time here), cheaply.
TEST_P(NoisyPort, ProbeEndsSoonAfterItsTimeOut)
{
    const std::uint64_t writtenBefore = device->BytesWritten();
    const std::optional<Outcome> outcome = IdentifyOn(transport, kProbeTimeoutMs);

    ASSERT_TRUE(outcome.has_value()) << "the probe waited on the noise for ever";
    ExpectEndedSoonAfterItsTimeOut(*outcome, kProbeTimeoutMs);
    EXPECT_GT(device->BytesWritten(), writtenBefore) << "the device fell silent";
    EXPECT_LT(outcome->cpu * 10, outcome->wall) << outcome->cpu.count() << " ms on the CPU of " << outcome->wall.count();
}

// Noise before a printer's reply and after it: the reply is taken whole, as soon as it is there.
TEST_P(NoisyPort, ReplyAmidTheNoiseIsTakenWhole)
{
    // A settings record with bytes the frame escapes, the frame's own start and end among them.
    const std::string payload = "\x7F~\x14" "4D52563431\x7F" "B\x09\x01\x08\x10\x00\xFF\x7F";
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_REPLY, REPLY_SETTINGS, payload);
    std::thread printer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        device->Say(frame);
    });
    const std::optional<Outcome> outcome = IdentifyOn(transport, kProbeTimeoutMs);
    printer.join();

    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->replied) << "the reply was lost behind the noise";
    EXPECT_TRUE(outcome->reply == payload) << "the payload came through changed";
    const std::optional<std::chrono::steady_clock::time_point> said = device->SaidAt();
    ASSERT_TRUE(said.has_value()) << "the reply never went out";
    EXPECT_LE(outcome->ended - *said, kReplyTakenWithin)
        << "taken " << std::chrono::duration<double, std::milli>(outcome->ended - *said).count()
        << " ms after its last byte";
}

// At 1200 baud random bytes bring a start byte only every couple of seconds, too seldom to hold
// a loop that let every frame begun hold the wait; a device there that starts frame after frame
// would hold such a loop for the longest frame's line time, eighteen minutes.
const NoiseCase kNoise[] = {
    {"ThousandBytesASecondAt19200", 19200, 1000},
    {"FrameStartsAtLineRateAt1200", 1200, test_support::kLineRate, "\x09\x01"},
    {"LineRateAt19200", 19200, test_support::kLineRate},
    {"LineRateAt115200", 115200, test_support::kLineRate},
    {"StartBytesWithoutPauseAt19200", 19200, 0, "\x09\x09\x09\x09\x09\x09\x09\x09"},
};

INSTANTIATE_TEST_SUITE_P(ChattyPort, NoisyPort, ::testing::ValuesIn(kNoise),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
