// Transactions on a port whose device never stops talking: text that never frames a reply,
// start bytes that begin frames without ever finishing one, random binary data at a steady
// pace; and, against them, the longest reply the parser takes and replies that arrive
// between stretches of noise, which must still come through whole. Real pseudo-terminals.
#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"

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
#include <ostream>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr char kPort[] = "COM9";
constexpr std::uint32_t kTimeoutMs = 1000;
// A guard against a transaction that never ends; no speed is asked of it here.
constexpr auto kNeverEndsAfter = std::chrono::seconds(90);
// Program time runs this much faster where only the protocol's own waits are at stake.
constexpr double kFaster = 20;

struct Outcome {
    bool replied = false;
    std::string reply;
    std::uint64_t programMs = 0;           // from the call to its return, in program time
    std::chrono::nanoseconds cpu{0};       // the transaction's thread
    std::chrono::nanoseconds wall{0};
};

std::chrono::nanoseconds ThreadCpu()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Runs one identify transaction on another thread; nothing when it has not ended in time
// (it is then called off, so that the test fails instead of hanging).
std::optional<Outcome> IdentifyOn(CComms& transport, std::uint32_t timeoutMs = kTimeoutMs,
                                  std::chrono::seconds guard = kNeverEndsAfter)
{
    std::atomic<bool> callOff{false};
    std::future<Outcome> done = std::async(std::launch::async, [&transport, &callOff, timeoutMs] {
        Outcome outcome;
        MessageParseState state;
        const std::uint64_t start = platform::timing::NowMs();
        const auto wallStart = std::chrono::steady_clock::now();
        const auto cpuStart = ThreadCpu();
        outcome.replied = CQVMessageParser::SendCommand(&transport, 0, CMD_IDENTIFY, {}, timeoutMs, &state,
                                                        &outcome.reply, &callOff);
        outcome.cpu = ThreadCpu() - cpuStart;
        outcome.wall = std::chrono::steady_clock::now() - wallStart;
        outcome.programMs = platform::timing::NowMs() - start;
        return outcome;
    });
    if (done.wait_for(guard) != std::future_status::ready) {
        callOff.store(true);
        return std::nullopt;
    }
    return done.get();
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
// header ever becomes whole, so nothing holds the wait past its time-out.
TEST(ChattyPort, StartBytesWithoutAFrameEndTheTransaction)
{
    test_support::ScopedSpeedFactor faster{kFaster};
    test_support::ChattyPseudoTerminal starts(std::string(256, '\x09'));
    ASSERT_TRUE(starts.Valid());
    test_support::ScopedPortMap map;
    map.Set(kPort, starts.SlavePath());
    CComms transport;
    ASSERT_TRUE(transport.Open(kPort, 921600, 8, 'N', 1.0f));

    const std::optional<Outcome> outcome = IdentifyOn(transport);

    ASSERT_TRUE(outcome.has_value()) << "the transaction waited on the talking port for ever";
    EXPECT_FALSE(outcome->replied);
}

// The longest frame the parser takes: a payload of 65535 characters, every one escaped, in
// 131084 bytes on the line, over a minute at 19200 baud and some eighteen minutes at 1200,
// as the send thread waits for a reply (15 s after the last byte), a settings reply here. It
// starts late in that time-out and arrives at the line's rate; it must still be taken whole.
// The printer keeps to the line's timetable from the moment it heard the request, so that a
// slice it sends late does not delay the ones after it, and the program's clock, which runs
// faster here, leaves every wait seconds of its own to spare.
struct LongReplyCase {
    std::uint32_t baud;
    double faster;      // program time against real time
    std::size_t slice;  // bytes the printer sends at a time, each well within the time-out
};

void PrintTo(const LongReplyCase& line, std::ostream* out)
{
    *out << line.baud << " baud";
}

class LongestReply : public ::testing::TestWithParam<LongReplyCase> {};

TEST_P(LongestReply, IsTakenWhole)
{
    const LongReplyCase line = GetParam();
    test_support::ScopedSpeedFactor faster{line.faster};
    const std::unique_ptr<printer_sim::PseudoTerminal> pty = printer_sim::PseudoTerminal::Open();
    ASSERT_NE(pty, nullptr);
    test_support::ScopedPortMap map;
    map.Set(kPort, pty->SlavePath());
    CComms transport;
    ASSERT_TRUE(transport.Open(kPort, static_cast<int>(line.baud), 8, 'N', 1.0f));
    const std::string payload(65535, '\x80');
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_REPLY, REPLY_SETTINGS, payload);
    ASSERT_EQ(frame.size(), 131084u);
    constexpr std::uint32_t kTimeout = CQVMessageParser::kSendJobTimeoutMs;
    constexpr std::uint64_t kFirstByteAfterMs = kTimeout * 2 / 3;
    // The line time of a number of bytes at 8N1: ten bits each.
    const auto lineMs = [&line](std::size_t bytes) { return std::uint64_t{bytes} * 10 * 1000 / line.baud; };

    std::thread printer([&] {
        char request[64];
        for (int polls = 0; polls < 500; ++polls) {
            pollfd pfd{pty->MasterFd(), POLLIN, 0};
            if (::poll(&pfd, 1, 10) > 0 && ::read(pty->MasterFd(), request, sizeof request) > 0)
                break;
        }
        const std::uint64_t firstByteAt = platform::timing::NowMs() + kFirstByteAfterMs;
        // Each slice when the line would have carried the bytes before it.
        for (std::size_t at = 0; at < frame.size(); at += line.slice) {
            const std::uint64_t due = firstByteAt + lineMs(at);
            const std::uint64_t now = platform::timing::NowMs();
            if (due > now)
                platform::timing::SleepMs(static_cast<std::uint32_t>(due - now));
            const std::size_t count = std::min(line.slice, frame.size() - at);
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

INSTANTIATE_TEST_SUITE_P(ChattyPort, LongestReply,
                         ::testing::Values(LongReplyCase{19200, 20, 1024}, LongReplyCase{1200, 100, 128}),
                         [](const ::testing::TestParamInfo<LongReplyCase>& info) {
                             return "At" + std::to_string(info.param.baud) + "Baud";
                         });

// ---- binary data

// What the device streams: random bytes from a fixed seed, bytesPerSecond of them
// (kLineRate: as fast as the line carries them at the port's baud rate), or a text said
// again and again without a pause.
struct NoiseCase {
    const char* name;
    std::uint32_t baud;
    std::uint32_t bytesPerSecond;
    const char* text = nullptr;
};

void PrintTo(const NoiseCase& noise, std::ostream* out)
{
    *out << noise.name;
}

constexpr std::uint32_t kNoiseSeed = 0x5EED;
constexpr std::uint32_t kProbeTimeoutMs = 1500; // the search's probe
constexpr std::uint32_t kPauseAfterWriteMs = 50;
// What a probe on noise may take beyond its time-out: one second is the aim; the bound
// leaves a busy machine room to spare. A probe held by the frames that noise starts takes
// the line time of the longest frame: over ten seconds even at 115200 baud.
constexpr std::uint32_t kNoiseAllowanceMs = 3000;
constexpr auto kNoiseGuard = std::chrono::seconds(30);
// The transaction's thread spends less than a tenth of its time on the CPU.
constexpr int kCpuShareLimit = 10;
constexpr int kFirstNoiseWaitMs = 2000;
constexpr char kStartBytes[] = "\x09\x09\x09\x09\x09\x09\x09\x09";

std::unique_ptr<test_support::ChattyPseudoTerminal> Device(const NoiseCase& noise)
{
    if (noise.text != nullptr)
        return std::make_unique<test_support::ChattyPseudoTerminal>(noise.text);
    return std::make_unique<test_support::ChattyPseudoTerminal>(kNoiseSeed, noise.bytesPerSecond);
}

class NoisyPort : public ::testing::TestWithParam<NoiseCase> {
protected:
    void SetUp() override
    {
        device = Device(GetParam());
        ASSERT_TRUE(device->Valid());
        map.Set(kPort, device->SlavePath());
        ASSERT_TRUE(transport.Open(kPort, static_cast<int>(GetParam().baud), 8, 'N', 1.0f));
        // The device is heard before the request goes out.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFirstNoiseWaitMs);
        while (transport.SerialChannel().QueuedByteCount() == 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GT(transport.SerialChannel().QueuedByteCount(), 0u) << "the device is not talking";
    }

    test_support::ScopedPortMap map;
    std::unique_ptr<test_support::ChattyPseudoTerminal> device;
    CComms transport;
};

// Unanswered, the probe ends within its time-out and a little, and reads the stream cheaply.
TEST_P(NoisyPort, ProbeEndsSoonAfterItsTimeOut)
{
    const std::uint64_t writtenBefore = device->BytesWritten();
    const std::optional<Outcome> outcome = IdentifyOn(transport, kProbeTimeoutMs, kNoiseGuard);

    ASSERT_TRUE(outcome.has_value()) << "the probe waited on the noise for ever";
    EXPECT_FALSE(outcome->replied);
    EXPECT_GE(outcome->programMs, kPauseAfterWriteMs + kProbeTimeoutMs);
    EXPECT_LE(outcome->programMs, kPauseAfterWriteMs + kProbeTimeoutMs + kNoiseAllowanceMs);
    EXPECT_GT(device->BytesWritten(), writtenBefore) << "the device fell silent";
    EXPECT_LT(outcome->cpu * kCpuShareLimit, outcome->wall)
        << "CPU " << std::chrono::duration_cast<std::chrono::milliseconds>(outcome->cpu).count() << " ms of "
        << std::chrono::duration_cast<std::chrono::milliseconds>(outcome->wall).count() << " ms";
}

// A printer that answers while noise is still on the line, noise before its reply and after
// it: the reply is taken whole, however much noise came first.
class NoiseAroundReply : public NoisyPort {};

TEST_P(NoiseAroundReply, ReplyIsTakenWhole)
{
    constexpr auto kReplyAfter = std::chrono::milliseconds(800);
    // A settings record with bytes the frame escapes, the frame's own start and end among them.
    const std::string payload = "\x7F~\x14" "4D52563431\x7F" "B\x09\x01\x08\x10\x00\xFF\x7F";
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_REPLY, REPLY_SETTINGS, payload);

    std::thread printer([&] {
        std::this_thread::sleep_for(kReplyAfter);
        device->Say(frame);
    });
    const std::optional<Outcome> outcome = IdentifyOn(transport, kProbeTimeoutMs, kNoiseGuard);
    printer.join();

    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->replied) << "the reply was lost behind the noise";
    EXPECT_TRUE(outcome->reply == payload) << "the payload came through changed";
}

const NoiseCase kRandomNoise[] = {
    {"ThousandBytesASecondAt19200", 19200, 1000},
    {"LineRateAt1200", 1200, test_support::kLineRate},
    {"LineRateAt19200", 19200, test_support::kLineRate},
    {"LineRateAt115200", 115200, test_support::kLineRate},
};
const NoiseCase kStartBytesWithoutPause{"StartBytesWithoutPauseAt19200", 19200, 0, kStartBytes};

std::string NoiseName(const ::testing::TestParamInfo<NoiseCase>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(ChattyPort, NoisyPort,
                         ::testing::Values(kRandomNoise[0], kRandomNoise[1], kRandomNoise[2], kRandomNoise[3],
                                           kStartBytesWithoutPause),
                         NoiseName);
INSTANTIATE_TEST_SUITE_P(ChattyPort, NoiseAroundReply, ::testing::ValuesIn(kRandomNoise), NoiseName);

} // namespace
