// Start-up: `jetvane` started interactively on Qt's offscreen platform. Figures: the time
// from the start of the process until it is idle in its event loop with the main window up,
// and its resident memory then. Idle means its CPU time (/proc/<pid>/stat) has not grown
// for kIdleWindowMs; the time reported is the last moment it grew.
#include "tests/cli/cli_environment.h"
#include "tests/cli/program_process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRuns = 5;
// How long the CPU time must stand still for the process to count as idle.
constexpr int kIdleWindowMs = 300;
constexpr int kPollMs = 5;
// A start-up that has not settled by then is reported as a failure.
constexpr int kStartLimitMs = 20000;
// /proc/<pid>/stat: utime and stime are fields 14 and 15; after the ")" that ends the
// command name, field 3 (the state) comes first.
constexpr int kUtimeIndexAfterName = 11;
constexpr double kKibPerMib = 1024.0;

struct Sample {
    double idleSeconds = 0.0;
    double residentMib = 0.0;
};

// User plus system CPU time in clock ticks; -1 when the process is gone.
long long CpuTicks(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(file, text))
        return -1;
    const std::size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(nameEnd + 1));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    for (int index = 0; fields >> field; ++index) {
        if (index == kUtimeIndexAfterName)
            utime = std::stoll(field);
        if (index == kUtimeIndexAfterName + 1) {
            stime = std::stoll(field);
            return utime + stime;
        }
    }
    return -1;
}

// VmRSS in KiB; -1 when it cannot be read.
long long ResidentKib(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(line.find_first_of("0123456789")));
    }
    return -1;
}

bool MeasureOneStart(const cli_test::CliWorld& world, Sample* sample)
{
    cli_test::Environment environment = world.ProgramEnvironment();
    environment.Set("QT_QPA_PLATFORM", "offscreen");
    cli_test::ProgramProcess jetvane;
    const auto start = std::chrono::steady_clock::now();
    if (!jetvane.Start(JETVANE_PROGRAM_PATH, {}, environment))
        return false;

    long long lastTicks = -1;
    auto lastGrowth = start;
    while (true) {
        const auto now = std::chrono::steady_clock::now();
        const long long ticks = CpuTicks(jetvane.Pid());
        if (ticks < 0 || !jetvane.Running()) {
            std::fprintf(stderr, "jetvane ended during start-up:\n%s", jetvane.Stderr().c_str());
            return false;
        }
        if (ticks != lastTicks) {
            lastTicks = ticks;
            lastGrowth = now;
        } else if (ticks > 0 && now - lastGrowth >= std::chrono::milliseconds(kIdleWindowMs)) {
            break;
        }
        if (now - start > std::chrono::milliseconds(kStartLimitMs)) {
            std::fprintf(stderr, "jetvane did not settle within %d ms\n", kStartLimitMs);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    sample->idleSeconds = std::chrono::duration<double>(lastGrowth - start).count();
    sample->residentMib = static_cast<double>(ResidentKib(jetvane.Pid())) / kKibPerMib;
    jetvane.Stop();
    return sample->residentMib > 0.0;
}

double Median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    std::vector<double> idleSeconds;
    std::vector<double> residentMib;
    for (int run = 0; run < kRuns; ++run) {
        // A fresh profile each time: a first start on this account.
        const cli_test::CliWorld world;
        Sample sample;
        if (!world.Valid() || !MeasureOneStart(world, &sample))
            return 1;
        idleSeconds.push_back(sample.idleSeconds);
        residentMib.push_back(sample.residentMib);
    }
    std::printf("startup: %.0f ms to idle window, %.1f MiB resident (no goal set; median of %d starts, idle = no CPU "
                "time for %d ms)\n",
                Median(idleSeconds) * 1e3, Median(residentMib), kRuns, kIdleWindowMs);
    return 0;
}
