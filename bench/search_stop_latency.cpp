// Search stop latency: a device search on a pseudo-terminal whose other end never answers;
// Stop is called while the identify probe waits for its reply. Figure: the time from the
// call until Stop has returned with the port closed (another open takes it), median and
// worst of the runs. Goal <= 0.2 s.
#include "bench/bench_support.h"
#include "comms/device_search.h"
#include "tools/printer-sim/pty_printer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRuns = 10;
constexpr double kGoalSeconds = 0.2;
constexpr platform::WindowHandle kNoListener = 0x5E;
// How long the probe has been waiting when Stop comes, well inside its 1500 ms.
constexpr auto kIntoTheProbe = std::chrono::milliseconds(200);
constexpr int kProbeWaitMs = 10000;

// Waits until the host has written its probe on the other end of the pty.
bool WaitForProbe(const printer_sim::PseudoTerminal& pty)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProbeWaitMs);
    char buffer[256];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{pty.MasterFd(), POLLIN, 0};
        if (::poll(&pfd, 1, 10) > 0 && ::read(pty.MasterFd(), buffer, sizeof buffer) > 0)
            return true;
        pty.ForgetExclusiveOpen();
    }
    return false;
}

// Whether a second opener gets the port, as it does once the search has let it go.
bool PortIsFree(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

} // namespace

int main()
{
    std::vector<double> seconds;
    for (int run = 0; run < kRuns; ++run) {
        const std::unique_ptr<printer_sim::PseudoTerminal> pty = printer_sim::PseudoTerminal::Open();
        if (!pty) {
            std::fprintf(stderr, "no pseudo-terminal\n");
            return 1;
        }
        bench::SinglePortMap portMap(pty->SlavePath());
        platform::SetPortMapSource(&portMap);
        CQVAirDeviceSearch search;
        if (!search.Start(kNoListener, 1, 1) || !WaitForProbe(*pty)) {
            std::fprintf(stderr, "the search did not probe in run %d\n", run);
            return 1;
        }
        std::this_thread::sleep_for(kIntoTheProbe);

        const auto start = std::chrono::steady_clock::now();
        search.Stop();
        const bool free = PortIsFree(pty->SlavePath());
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        platform::SetPortMapSource(nullptr);
        if (!free) {
            std::fprintf(stderr, "the port was still held after Stop in run %d\n", run);
            return 1;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("search stop latency: %.3f s (goal <= %.1f s; median of %d runs, worst %.3f s)\n",
                seconds[seconds.size() / 2], kGoalSeconds, kRuns, seconds.back());
    return 0;
}
