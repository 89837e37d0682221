// Unattended SENDCONFIG: `jetvane SILENT SENDCONFIG <file>` as a process against
// jetvane-printer-sim (throttled to the line's rate) on the port the profile remembers.
// Figure: the median time from the start of the process to its exit, divided by the floor:
// the fixed waits on that road, plus line time only where no fixed wait covers it (each
// transaction's 50 ms pause after its write covers its frames when they are shorter).
#include "ui/exit_codes.h"
#include "bench/bench_support.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "tests/cli/cli_environment.h"
#include "tests/cli/program_process.h"
#include "tests/support/printer_sim_process.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr double kGoal = 1.10;
constexpr int kRunLimitMs = 20000;

// The search finds the simulator at the first row of the table.
constexpr std::uint32_t kBaud = 19200;
constexpr char kIdentity[] = "YT00000006060";
// jetvane-printer-sim is started without a settings record: its settings reply is empty.
constexpr char kSimSettingsRecord[] = "";

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

double FixedWaitSeconds()
{
    return kPassesSkipped * kPauseAfterPortSeconds + kSettleBeforeProbeSeconds + kSearchIdleRoundSeconds +
           kPauseBeforeOpenSeconds + kPauseAfterLinesSeconds + kSendThreadSettleSeconds + kPauseAfterCloseSeconds;
}

// One transaction: its pause, or the line time of its request and reply when that is longer.
double TransactionSeconds(const std::string& request, const std::string& reply)
{
    return std::max(kPauseAfterWriteSeconds, bench::LineSeconds(request.size() + reply.size(), kBaud));
}

// The three transactions: the probe, the type check and the file's frame, with their replies.
double TransactionsSeconds(const std::string& fileFrame)
{
    std::string request;
    std::string reply;
    double total = 0.0;
    CQVMessageParser::BuildRequest(request, 0, CMD_IDENTIFY, {});
    CQVMessageParser::BuildMessage(reply, 0, FRAME_DIRECTION_REPLY, REPLY_ACK, kIdentity);
    total += TransactionSeconds(request, reply);
    CQVMessageParser::BuildRequest(request, 0, CMD_GET_SETTINGS, {});
    CQVMessageParser::BuildMessage(reply, 0, FRAME_DIRECTION_REPLY, REPLY_SETTINGS, kSimSettingsRecord);
    total += TransactionSeconds(request, reply);
    CQVMessageParser::BuildMessage(reply, 0, FRAME_DIRECTION_REPLY, REPLY_ACK, {});
    total += TransactionSeconds(fileFrame, reply);
    return total;
}

double Median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    test_support::PrinterSimProcess sim;
    if (!sim.Start(JETVANE_PRINTER_SIM_PATH,
                   {"--throttle", "--baud", std::to_string(kBaud), "--identity", kIdentity, "--type", "BTP"})) {
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

    std::vector<double> seconds;
    std::vector<double> startUpSeconds;
    for (int run = 0; run < kRuns; ++run) {
        const cli_test::ProgramRun sent =
            cli_test::RunProgram(JETVANE_PROGRAM_PATH, {"SILENT", "SENDCONFIG", world.FilePath("bench.QV_BTP_CFG").string()},
                                 world.ProgramEnvironment(), kRunLimitMs);
        if (!sent.end || sent.end->exitCode != EXIT_CODE_SUCCESS) {
            std::fprintf(stderr, "run %d did not succeed (%s)\n%s", run,
                         sent.end ? ("exit code " + std::to_string(sent.end->exitCode)).c_str() : "no exit",
                         sent.err.c_str());
            return 1;
        }
        seconds.push_back(sent.seconds);
        // What the same process costs without any search: start-up, the dialog, the exit.
        const cli_test::ProgramRun refused =
            cli_test::RunProgram(JETVANE_PROGRAM_PATH, {"SILENT", "SENDCONFIG", world.FilePath("bench.txt").string()},
                                 world.ProgramEnvironment(), kRunLimitMs);
        if (refused.end && refused.end->exitCode == EXIT_CODE_FILE_ERROR)
            startUpSeconds.push_back(refused.seconds);
    }

    const double floor = FixedWaitSeconds() + TransactionsSeconds(fileFrame);
    const double median = Median(seconds);
    std::printf("unattended sendconfig: %.3f (goal <= %.2f; median %.0f ms, floor %.0f ms", median / floor, kGoal,
                median * 1e3, floor * 1e3);
    if (!startUpSeconds.empty())
        std::printf(", a run that ends before the search takes %.0f ms", Median(startUpSeconds) * 1e3);
    std::printf(")\n");
    return 0;
}
