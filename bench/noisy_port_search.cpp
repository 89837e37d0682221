// Noisy port search: `jetvane SILENT SENDCONFIG <file>` as a process with PortConnect on a
// pseudo-terminal that streams random bytes (a fixed seed) and never answers, at about
// 1 kB/s and again at the full rate of the line at whatever baud rate the search has set,
// each divided by the same run against a pseudo-terminal that stays silent, measured in the
// same run. Every run must end 21 (printer not found). Also printed: each run's seconds and
// the CPU time the process spent, as a share of its run.
#include "ui/exit_codes.h"
#include "tests/cli/cli_environment.h"
#include "tests/cli/program_process.h"
#include "tests/support/chatty_pty.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

constexpr double kGoal = 1.5;
// A search of one silent port takes about 20 s; one held by its noise takes minutes.
constexpr int kRunLimitMs = 120000;
constexpr std::uint32_t kNoiseSeed = 0x5EED;
constexpr std::uint32_t kSilent = 0;
constexpr std::uint32_t kKilobyteASecond = 1000;

struct Stream {
    const char* name;
    std::uint32_t bytesPerSecond;
};

constexpr std::array<Stream, 3> kStreams = {{
    {"silent", kSilent},
    {"1 kB/s", kKilobyteASecond},
    {"line rate", test_support::kLineRate},
}};

struct Run {
    bool ended21 = false;
    double seconds = 0.0;
    double cpuSeconds = 0.0;
};

double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Run SearchOn(const Stream& stream, const std::string& configFile)
{
    Run run;
    test_support::ChattyPseudoTerminal device(kNoiseSeed, stream.bytesPerSecond);
    const cli_test::CliWorld world;
    if (!device.Valid() || !world.Valid() || !world.WriteProfile(device.SlavePath())) {
        std::fprintf(stderr, "%s: cannot prepare the port and the profile\n", stream.name);
        return run;
    }
    // The process is the only child reaped meanwhile: the difference is its CPU time.
    const double cpuBefore = ChildrenCpuSeconds();
    const cli_test::ProgramRun result =
        cli_test::RunProgram(JETVANE_PROGRAM_PATH, {"SILENT", "SENDCONFIG", configFile}, world.ProgramEnvironment(),
                             kRunLimitMs);
    run.cpuSeconds = ChildrenCpuSeconds() - cpuBefore;
    run.seconds = result.seconds;
    run.ended21 = result.end && result.end->exitCode == EXIT_CODE_DEVICE_NOT_FOUND;
    if (!run.ended21) {
        std::fprintf(stderr, "%s: %s\n%s", stream.name,
                     result.end ? ("exit code " + std::to_string(result.end->exitCode)).c_str() : "no exit in time",
                     result.err.c_str());
    }
    return run;
}

} // namespace

int main()
{
    const cli_test::CliWorld files;
    if (!files.Valid() ||
        !files.WriteFile("bench.QV_BTP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord()))) {
        std::fprintf(stderr, "cannot write the configuration file\n");
        return 1;
    }
    const std::string configFile = files.FilePath("bench.QV_BTP_CFG").string();

    std::array<Run, kStreams.size()> runs;
    for (std::size_t i = 0; i < kStreams.size(); ++i) {
        runs[i] = SearchOn(kStreams[i], configFile);
        if (!runs[i].ended21)
            return 1;
    }

    const Run& silent = runs[0];
    for (std::size_t i = 1; i < kStreams.size(); ++i) {
        std::printf("noisy port search, %s: %.3f (goal <= %.1f; %.1f s against %.1f s silent; CPU %.1f%% against "
                    "%.1f%%)\n",
                    kStreams[i].name, runs[i].seconds / silent.seconds, kGoal, runs[i].seconds, silent.seconds,
                    100.0 * runs[i].cpuSeconds / runs[i].seconds, 100.0 * silent.cpuSeconds / silent.seconds);
    }
    return 0;
}
