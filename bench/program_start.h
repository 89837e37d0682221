#pragma once
// The interactive program started on Qt's offscreen platform (or on an X display) and
// watched until it is idle in its event loop with the main window up. Idle means its threads have used no more than
// a trickle of CPU (a timer's wake-up) for kIdleWindowMs; the time taken is the last busy
// moment.
#include "tests/cli/cli_environment.h"
#include "tests/cli/program_process.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace bench {

// How long the process must stay below the busy share of CPU to count as idle.
inline constexpr int kIdleWindowMs = 300;
inline constexpr int kPollMs = 5;  // kBusyNanosecondsPerPoll is a share of it
// A start-up that has not settled by then is reported as a failure.
inline constexpr int kStartLimitMs = 20000;
// CPU time within one poll above which the process counts as busy (10 % of the poll).
inline constexpr long long kBusyNanosecondsPerPoll = 500000;
inline constexpr double kKibPerMib = 1024.0;

struct Sample {
    double idleSeconds = 0.0;
    double residentMib = 0.0;
};

// CPU time of all the process's threads in nanoseconds (the first field of each thread's
// schedstat: finer than the clock ticks of /proc/<pid>/stat); -1 when the process is gone.
inline long long CpuNanoseconds(pid_t pid)
{
    std::error_code error;
    std::filesystem::directory_iterator tasks("/proc/" + std::to_string(pid) + "/task", error);
    if (error)
        return -1;
    long long total = 0;
    for (const std::filesystem::directory_entry& task : tasks) {
        std::ifstream file(task.path() / "schedstat");
        long long runNs = 0;
        if (file >> runNs)
            total += runNs;
    }
    return total;
}

// VmRSS in KiB; -1 when it cannot be read.
inline long long ResidentKib(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(line.find_first_of("0123456789")));
    }
    return -1;
}

// Starts the program at path in world and measures its start-up, on Qt's offscreen platform
// or, when x11Display is given, on that X display as a technician starts it; false when it
// failed.
inline bool MeasureOneStart(const char* path, const cli_test::CliWorld& world, Sample* sample,
                            const std::string& x11Display = {})
{
    cli_test::Environment environment = world.ProgramEnvironment();
    if (x11Display.empty())
        environment.Set("QT_QPA_PLATFORM", "offscreen");
    else
        environment.Set("DISPLAY", x11Display);
    cli_test::ProgramProcess jetvane;
    const auto start = std::chrono::steady_clock::now();
    if (!jetvane.Start(path, {}, environment))
        return false;

    long long lastCpu = 0;
    auto lastBusy = start;
    while (true) {
        const auto now = std::chrono::steady_clock::now();
        const long long cpu = CpuNanoseconds(jetvane.Pid());
        if (cpu < 0 || !jetvane.Running()) {
            std::fprintf(stderr, "jetvane ended during start-up:\n%s", jetvane.Stderr().c_str());
            return false;
        }
        if (cpu - lastCpu > kBusyNanosecondsPerPoll)
            lastBusy = now;
        lastCpu = cpu;
        if (cpu > 0 && now - lastBusy >= std::chrono::milliseconds(kIdleWindowMs))
            break;
        if (now - start > std::chrono::milliseconds(kStartLimitMs)) {
            std::fprintf(stderr, "jetvane did not settle within %d ms\n", kStartLimitMs);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    sample->idleSeconds = std::chrono::duration<double>(lastBusy - start).count();
    sample->residentMib = static_cast<double>(ResidentKib(jetvane.Pid())) / kKibPerMib;
    jetvane.Stop();
    return sample->residentMib > 0.0;
}

} // namespace bench
