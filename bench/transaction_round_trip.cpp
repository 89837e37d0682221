// Transaction round trip: CMD_IDENTIFY with SendCommand to jetvane-printer-sim on a
// pseudo-terminal, 50 runs. Figure: the median round trip divided by its floor, the larger
// of the fixed 50 ms pause after the write and the line time of the request and reply
// frames (the reply normally arrives during the pause).
#include "bench/bench_support.h"
#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "tests/support/printer_sim_process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 50;
constexpr std::uint32_t kBaud = 19200;
constexpr double kPauseAfterWriteSeconds = 0.050;
constexpr double kGoal = 1.10;
constexpr char kIdentity[] = "YT00000006060";

} // namespace

int main()
{
    test_support::PrinterSimProcess sim;
    if (!sim.Start(JETVANE_PRINTER_SIM_PATH, {"--throttle", "--baud", std::to_string(kBaud), "--identity", kIdentity})) {
        std::fprintf(stderr, "the printer simulator did not start\n");
        return 1;
    }
    bench::SinglePortMap portMap(sim.SlavePath());
    platform::SetPortMapSource(&portMap);

    CComms transport;
    if (!transport.Open(bench::kBenchPort, kBaud, 8, 'N', 1.0f)) {
        std::fprintf(stderr, "cannot open %s\n", sim.SlavePath().c_str());
        return 1;
    }

    std::vector<double> seconds;
    std::string request;
    std::string reply;
    for (int run = 0; run < kRuns; ++run) {
        MessageParseState state;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = CQVMessageParser::SendCommand(&transport, 0, CMD_IDENTIFY, {}, 1500, &state, &reply);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!ok) {
            std::fprintf(stderr, "no reply in run %d\n", run);
            return 1;
        }
    }
    transport.Close();

    std::string replyFrame;
    CQVMessageParser::BuildRequest(request, 0, CMD_IDENTIFY, {});
    CQVMessageParser::BuildMessage(replyFrame, 0, FRAME_DIRECTION_REPLY, REPLY_ACK, reply);
    const double floor =
        std::max(kPauseAfterWriteSeconds, bench::LineSeconds(request.size() + replyFrame.size(), kBaud));
    std::nth_element(seconds.begin(), seconds.begin() + kRuns / 2, seconds.end());
    const double median = seconds[kRuns / 2];
    std::printf("transaction round trip: %.3f (goal <= %.2f; median %.1f ms, floor %.1f ms)\n", median / floor, kGoal,
                median * 1e3, floor * 1e3);
    return 0;
}
