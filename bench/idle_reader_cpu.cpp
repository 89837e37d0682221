// Idle reader CPU: an open transport with nothing arriving, 10 s; the process's CPU time
// over wall time. The reader polls every 10 ms, so this shows what that polling costs.
#include "comms/comms.h"
#include "platform/port_map.h"
#include "platform/virtual_line.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

namespace {

constexpr double kMeasureSeconds = 10.0;
constexpr double kGoal = 0.01;
constexpr char kLineName[] = "bench-idle";

class BenchPortMap final : public platform::PortMapSource {
public:
    std::optional<std::string> Lookup(const std::string& key) const override
    {
        if (key == "COM1")
            return std::string(platform::kVirtualDevicePrefix) + kLineName;
        return std::nullopt;
    }
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main()
{
    BenchPortMap portMap;
    platform::SetPortMapSource(&portMap);
    std::shared_ptr<platform::VirtualLine> line = platform::VirtualLine::Create();
    platform::RegisterVirtualLine(kLineName, line);

    CComms transport;
    if (!transport.Open("COM1", 19200, 8, 'N', 1.0f)) {
        std::fprintf(stderr, "cannot open the virtual line\n");
        return 1;
    }
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(kMeasureSeconds));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    transport.Close();

    std::printf("idle reader cpu: %.4f (goal <= %.2f)\n", cpu / wall, kGoal);
    return 0;
}
