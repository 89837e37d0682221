// Unattended SENDCONFIG: `jetvane SILENT SENDCONFIG <file>` as a process against
// jetvane-printer-sim (throttled to the line's rate) on the port the profile remembers.
// Figure: the median time from the start of the process to its exit, divided by the floor:
// the fixed waits on that road, plus line time only where no fixed wait covers it (each
// transaction's 50 ms pause after its write covers its frames when they are shorter).
//
// The split comes from outside the program: the kernel reports every open, write and close
// of the pseudo-terminal's slave side (inotify), which marks where the search begins
// and ends, where the found handler's job writes its request and where the ending dialog
// lets the port go; with the process's start and end these give five phases.
#include "ui/exit_codes.h"
#include "bench/bench_support.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "tests/cli/cli_environment.h"
#include "tests/cli/program_process.h"
#include "tests/support/printer_sim_process.h"
#include "tools/printer-sim/default_records.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 7;
constexpr double kGoal = 1.06;
constexpr int kRunLimitMs = 20000;
constexpr int kWatchPollMs = 20; // how often the port watch looks at its stop flag

// The search finds the simulator at the first row of the table.
constexpr std::uint32_t kBaud = 19200;
constexpr char kIdentity[] = "YT00000006060";
// jetvane-printer-sim is started without a settings record: it reports a bag-tag
// printer's factory record.
constexpr printer_sim::PrinterType kSimType = printer_sim::PrinterType::BTP;
constexpr char kSimTypeOption[] = "BTP";

// ---- the fixed waits of the road, in seconds
// The search on one pty port: passes 1 and 2 skip every row at once (a pty has no modem
// lines, so their CTS/DSR checks fail), but each pass still pauses after the port's last row.
constexpr double kPauseAfterPortSeconds = 0.025;
constexpr int kPassesSkipped = 2;
// Pass 3, row 0: the lines settle before the identify probe.
constexpr double kSettleBeforeProbeSeconds = 0.500;
// Not in the sum: the main dialog's 100 ms pause at the end of starting the search runs
// while the search thread already works through passes 1 and 2 and the settle above,
// which take longer; it never delays the found handler.
// The found handler: one round of waiting for the search thread to be idle, the pause
// before opening the port, the pause after raising DTR and RTS.
constexpr double kSearchIdleRoundSeconds = 0.200;
constexpr double kPauseBeforeOpenSeconds = 0.100;
constexpr double kPauseAfterLinesSeconds = 0.100;
// The send thread settles before its job (CMD_GET_SETTINGS, the type check).
constexpr double kSendThreadSettleSeconds = 0.050;
// Every transaction pauses after its write (the probe, the type check, the file's frame);
// its request and reply cross the line meanwhile, or the transaction takes their line time.
constexpr double kPauseAfterWriteSeconds = 0.050;
// After "Configuration Sent" the dialog ends: closing its open connection is followed by a pause.
constexpr double kPauseAfterCloseSeconds = 0.100;

// One transaction: its pause, or the line time of its request and reply when that is longer.
double TransactionSeconds(const std::string& request, const std::string& reply)
{
    return std::max(kPauseAfterWriteSeconds, bench::LineSeconds(request.size() + reply.size(), kBaud));
}

double ProbeSeconds()
{
    std::string request;
    std::string reply;
    CQVMessageParser::BuildRequest(request, 0, CMD_IDENTIFY, {});
    CQVMessageParser::BuildMessage(reply, 0, FRAME_DIRECTION_REPLY, REPLY_ACK, kIdentity);
    return TransactionSeconds(request, reply);
}

// The type check and the file's frame, with their replies.
double SendSeconds(const std::string& fileFrame)
{
    std::string request;
    std::string reply;
    CQVMessageParser::BuildRequest(request, 0, CMD_GET_SETTINGS, {});
    CQVMessageParser::BuildMessage(reply, 0, FRAME_DIRECTION_REPLY, REPLY_SETTINGS,
                                   printer_sim::DefaultSettingsRecord(kSimType));
    double total = TransactionSeconds(request, reply);
    CQVMessageParser::BuildMessage(reply, 0, FRAME_DIRECTION_REPLY, REPLY_ACK, {});
    total += TransactionSeconds(fileFrame, reply);
    return total;
}

enum Phase { kStartUp, kSearch, kFoundHandler, kSend, kExit, kPhaseCount };
constexpr std::array<const char*, kPhaseCount> kPhaseNames = {"start-up", "search", "found handler", "send", "exit"};

std::array<double, kPhaseCount> PhaseFloors(const std::string& fileFrame)
{
    return {0.0, kPassesSkipped * kPauseAfterPortSeconds + kSettleBeforeProbeSeconds + ProbeSeconds(),
            kSearchIdleRoundSeconds + kPauseBeforeOpenSeconds + kPauseAfterLinesSeconds + kSendThreadSettleSeconds,
            SendSeconds(fileFrame), kPauseAfterCloseSeconds};
}

// What the program did to the port, as the kernel reported it, with the time it was seen.
struct PortEvent {
    Clock::time_point at;
    std::uint32_t mask = 0;
};

// Watches the slave side of the simulator's pty on a thread of its own.
class PortWatch {
public:
    explicit PortWatch(const std::string& device)
    {
        fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (fd_ >= 0 && inotify_add_watch(fd_, device.c_str(), IN_OPEN | IN_MODIFY | IN_CLOSE) < 0) {
            close(fd_);
            fd_ = -1;
        }
        if (fd_ >= 0)
            thread_ = std::thread(&PortWatch::Run, this);
    }
    ~PortWatch()
    {
        stop_.store(true);
        if (thread_.joinable())
            thread_.join();
        if (fd_ >= 0)
            close(fd_);
    }
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;

    bool Valid() const { return fd_ >= 0; }

    std::vector<PortEvent> Take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }

private:
    void Run()
    {
        alignas(inotify_event) char buffer[4096];
        while (!stop_.load()) {
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, kWatchPollMs) <= 0)
                continue;
            const Clock::time_point now = Clock::now();
            const ssize_t count = read(fd_, buffer, sizeof buffer);
            std::lock_guard lock(mutex_);
            for (ssize_t offset = 0; offset < count;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                events_.push_back({now, event->mask});
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<PortEvent> events_;
};

// The phases of one run: the search opens the port first and closes it last before the
// found handler opens it again; the handler's send thread then writes the type check; the
// dialog closes the port for the last time when it ends, after the file's transaction.
std::optional<std::array<double, kPhaseCount>> Split(Clock::time_point start, Clock::time_point end,
                                                     const std::vector<PortEvent>& events)
{
    const auto find = [](auto from, auto to, std::uint32_t mask) {
        return std::find_if(from, to, [mask](const PortEvent& e) { return (e.mask & mask) != 0; });
    };
    const auto firstOpen = find(events.begin(), events.end(), IN_OPEN);
    const auto lastOpen = find(events.rbegin(), events.rend(), IN_OPEN);
    if (firstOpen == events.end() || lastOpen == events.rend())
        return std::nullopt;
    const auto searchClose = find(lastOpen + 1, events.rend(), IN_CLOSE);
    const auto typeCheck = find(lastOpen.base(), events.end(), IN_MODIFY);
    const auto finalClose = find(events.rbegin(), events.rend(), IN_CLOSE);
    if (searchClose == events.rend() || typeCheck == events.end() || std::prev(finalClose.base()) < typeCheck)
        return std::nullopt;
    const auto seconds = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };
    return std::array<double, kPhaseCount>{
        seconds(start, firstOpen->at), seconds(firstOpen->at, searchClose->at), seconds(searchClose->at, typeCheck->at),
        seconds(typeCheck->at, finalClose->at), seconds(finalClose->at, end)};
}

} // namespace

int main()
{
    test_support::PrinterSimProcess sim;
    const std::vector<std::string> simOptions = {"--throttle", "--baud",  std::to_string(kBaud),
                                                 "--identity", kIdentity, "--type", kSimTypeOption};
    if (!sim.Start(JETVANE_PRINTER_SIM_PATH, simOptions)) {
        std::fprintf(stderr, "the printer simulator did not start\n");
        return 1;
    }
    const cli_test::CliWorld world;
    const std::string fileFrame = cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord());
    if (!world.Valid() || !world.WriteProfile(sim.SlavePath()) || !world.WriteFile("bench.QV_BTP_CFG", fileFrame) ||
        !world.WriteFile("bench.txt", fileFrame)) {
        std::fprintf(stderr, "cannot prepare the profile and the configuration file\n");
        return 1;
    }
    PortWatch watch(sim.SlavePath());
    if (!watch.Valid())
        std::fprintf(stderr, "cannot watch %s; the split is left out\n", sim.SlavePath().c_str());

    std::vector<double> seconds;
    std::array<std::vector<double>, kPhaseCount> phases;
    std::vector<double> startUpSeconds;
    for (int run = 0; run < kRuns; ++run) {
        watch.Take();
        cli_test::ProgramProcess process;
        const Clock::time_point start = Clock::now();
        if (!process.Start(JETVANE_PROGRAM_PATH,
                           {"SILENT", "SENDCONFIG", world.FilePath("bench.QV_BTP_CFG").string()},
                           world.ProgramEnvironment())) {
            std::fprintf(stderr, "run %d did not start\n", run);
            return 1;
        }
        const std::optional<cli_test::ProgramEnd> end = process.WaitForExit(kRunLimitMs);
        const Clock::time_point ended = start + std::chrono::duration_cast<Clock::duration>(
                                                    std::chrono::duration<double>(process.ElapsedSeconds()));
        if (!end || end->exitCode != EXIT_CODE_SUCCESS) {
            std::fprintf(stderr, "run %d did not succeed (%s)\n%s", run,
                         end ? ("exit code " + std::to_string(end->exitCode)).c_str() : "no exit",
                         process.Stderr().c_str());
            return 1;
        }
        seconds.push_back(process.ElapsedSeconds());
        // The port's final close came 100 ms before the exit: the watch has seen it.
        if (const auto split = Split(start, ended, watch.Take())) {
            for (int phase = 0; phase < kPhaseCount; ++phase)
                phases[static_cast<std::size_t>(phase)].push_back((*split)[static_cast<std::size_t>(phase)]);
        }
        // What the same process costs without any search: start-up, the dialog, the exit.
        const cli_test::ProgramRun refused =
            cli_test::RunProgram(JETVANE_PROGRAM_PATH, {"SILENT", "SENDCONFIG", world.FilePath("bench.txt").string()},
                                 world.ProgramEnvironment(), kRunLimitMs);
        if (refused.end && refused.end->exitCode == EXIT_CODE_FILE_ERROR)
            startUpSeconds.push_back(refused.seconds);
    }

    const std::array<double, kPhaseCount> floors = PhaseFloors(fileFrame);
    double floor = 0.0;
    for (double phaseFloor : floors)
        floor += phaseFloor;
    const double median = bench::Median(seconds);
    std::printf("unattended sendconfig: %.3f (goal <= %.2f; median %.0f ms, floor %.0f ms", median / floor, kGoal,
                median * 1e3, floor * 1e3);
    if (!startUpSeconds.empty())
        std::printf(", a run that ends before the search takes %.0f ms", bench::Median(startUpSeconds) * 1e3);
    std::printf(")\n");
    if (!phases[kStartUp].empty()) {
        std::printf("  split, median ms (floor):");
        for (int phase = 0; phase < kPhaseCount; ++phase) {
            const auto index = static_cast<std::size_t>(phase);
            std::printf("%s %s %.0f (%.0f)", phase == 0 ? "" : ",", kPhaseNames[index],
                        bench::Median(phases[index]) * 1e3, floors[index] * 1e3);
        }
        std::printf("\n");
    }
    return 0;
}
