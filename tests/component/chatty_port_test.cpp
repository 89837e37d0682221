// Transactions on a port whose device never stops talking: text that never frames a reply,
// start bytes that begin frames without ever finishing one, and, against both, the longest
// reply the parser takes, which must still come through whole. Real pseudo-terminals.
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
#include <future>
#include <optional>
#include <poll.h>
#include <string>
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
};

// Runs one identify transaction on another thread; nothing when it has not ended in time
// (it is then called off, so that the test fails instead of hanging).
std::optional<Outcome> IdentifyOn(CComms& transport, std::uint32_t timeoutMs = kTimeoutMs)
{
    std::atomic<bool> callOff{false};
    std::future<Outcome> done = std::async(std::launch::async, [&transport, &callOff, timeoutMs] {
        Outcome outcome;
        MessageParseState state;
        outcome.replied = CQVMessageParser::SendCommand(&transport, 0, CMD_IDENTIFY, {}, timeoutMs, &state,
                                                        &outcome.reply, &callOff);
        return outcome;
    });
    if (done.wait_for(kNeverEndsAfter) != std::future_status::ready) {
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

// 0x09 starts a frame, and another 0x09 starts it again: the parser is never idle, so only
// the overall limit (the time-out plus the longest frame's line time) ends the wait.
TEST(ChattyPort, StartBytesWithoutAFrameEndTheTransactionAtItsOverallLimit)
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
// 131084 bytes on the line, over a minute at 19200 baud, as the send thread waits for a reply
// (15 s after the last byte). It starts late in that time-out and arrives at the line's rate;
// it must still be taken whole. The printer keeps to the line's timetable from the moment it
// heard the request, so that a slice it sends late does not delay the ones after it, and the
// program's clock, which runs faster here, leaves every wait seconds of its own to spare.
TEST(ChattyPort, LongestReplyIsTakenWhole)
{
    test_support::ScopedSpeedFactor faster{kFaster};
    const std::unique_ptr<printer_sim::PseudoTerminal> pty = printer_sim::PseudoTerminal::Open();
    ASSERT_NE(pty, nullptr);
    test_support::ScopedPortMap map;
    map.Set(kPort, pty->SlavePath());
    CComms transport;
    constexpr std::uint32_t kBaud = 19200;
    ASSERT_TRUE(transport.Open(kPort, kBaud, 8, 'N', 1.0f));
    const std::string payload(65535, '\x80');
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_REPLY, REPLY_ACK, payload);
    ASSERT_EQ(frame.size(), 131084u);
    constexpr std::uint32_t kTimeout = CQVMessageParser::kSendJobTimeoutMs;
    constexpr std::uint64_t kFirstByteAfterMs = kTimeout * 2 / 3;
    // The line time of a number of bytes at 8N1: ten bits each.
    const auto lineMs = [](std::size_t bytes) { return std::uint64_t{bytes} * 10 * 1000 / kBaud; };

    std::thread printer([&] {
        char request[64];
        for (int polls = 0; polls < 500; ++polls) {
            pollfd pfd{pty->MasterFd(), POLLIN, 0};
            if (::poll(&pfd, 1, 10) > 0 && ::read(pty->MasterFd(), request, sizeof request) > 0)
                break;
        }
        const std::uint64_t firstByteAt = platform::timing::NowMs() + kFirstByteAfterMs;
        // 1024 bytes at a time, each when the line would have carried the bytes before it.
        constexpr std::size_t kSlice = 1024;
        for (std::size_t at = 0; at < frame.size(); at += kSlice) {
            const std::uint64_t due = firstByteAt + lineMs(at);
            const std::uint64_t now = platform::timing::NowMs();
            if (due > now)
                platform::timing::SleepMs(static_cast<std::uint32_t>(due - now));
            const std::size_t count = std::min(kSlice, frame.size() - at);
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

} // namespace
