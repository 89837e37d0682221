// Serial firmware efficiency: a data-mode job sends a 1 MiB image of random bytes at
// 115200 8N1 to jetvane-printer-sim --throttle. Figure: the line time of every byte that
// crossed the line in both directions (frames with headers, escapes, end bytes and CRCs,
// and the replies) divided by the elapsed time from the start of the job to
// WM_UPDATING_FLASH (the printer's restart wait that follows is not transfer time).
#include "bench/bench_support.h"
#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "tests/support/message_recorder.h"
#include "tests/support/printer_sim_process.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t kBaud = 115200;
constexpr std::uint32_t kImageBytes = 1024 * 1024;
constexpr platform::WindowHandle kWindow = 1;
constexpr int kJobLimitMs = 10 * 60 * 1000;
constexpr double kGoal = 0.90;

// Bytes on the wire for the job, assuming every block is acknowledged at the first try.
std::uint64_t WireBytes(const std::vector<std::uint8_t>& image)
{
    std::string ack;
    CQVMessageParser::BuildMessage(ack, 0, FRAME_DIRECTION_REPLY, REPLY_ACK, {});
    std::uint64_t bytes = 0;
    std::string frame;
    const std::uint32_t total = static_cast<std::uint32_t>(image.size());
    std::uint32_t index = 0;
    for (std::uint32_t offset = 0; offset < total; offset += CQVMessageParser::kFirmwareBlockSize, ++index) {
        const std::uint32_t size = std::min(CQVMessageParser::kFirmwareBlockSize, total - offset);
        std::string payload = std::to_string(total) + "#" + std::to_string(size) + "#" + std::to_string(index) + "#";
        payload.append(reinterpret_cast<const char*>(image.data() + offset), size);
        bytes += CQVMessageParser::BuildRequest(frame, 0, CMD_FIRMWARE_BLOCK, payload).size() + ack.size();
    }
    return bytes + CQVMessageParser::BuildRequest(frame, 0, CMD_FIRMWARE_END, {}).size() + ack.size();
}

} // namespace

int main()
{
    test_support::MessageRecorder recorder;
    test_support::PrinterSimProcess sim;
    if (!sim.Start(JETVANE_PRINTER_SIM_PATH, {"--throttle", "--baud", std::to_string(kBaud)})) {
        std::fprintf(stderr, "the printer simulator did not start\n");
        return 1;
    }
    bench::SinglePortMap portMap(sim.SlavePath());
    platform::SetPortMapSource(&portMap);

    std::vector<std::uint8_t> image(kImageBytes);
    std::mt19937 random(20261207);
    for (std::uint8_t& b : image)
        b = static_cast<std::uint8_t>(random());

    CComms transport;
    if (!transport.Open(bench::kBenchPort, kBaud, 8, 'N', 1.0f)) {
        std::fprintf(stderr, "cannot open %s\n", sim.SlavePath().c_str());
        return 1;
    }
    CQVMessageParser parser;
    const auto start = std::chrono::steady_clock::now();
    if (!parser.StartDataSendThread(&transport, image.data(), kImageBytes, CQVMessageParser::kFirmwareBlockSize,
                                    kWindow)) {
        std::fprintf(stderr, "the send thread did not start\n");
        return 1;
    }
    if (!recorder.WaitFor(WM_UPDATING_FLASH, kJobLimitMs)) {
        std::fprintf(stderr, "the job did not finish (%zu progress messages)\n",
                     recorder.MessagesWithId(WM_LOAD_PROGRESS).size());
        return 1;
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    parser.AbortSendThread(); // skip the printer's restart wait
    transport.Close();

    const double lineTime = bench::LineSeconds(WireBytes(image), kBaud);
    std::printf("serial firmware efficiency: %.3f (goal >= %.2f; %.1f s for %.1f s of line time, image at %.0f B/s)\n",
                lineTime / elapsed, kGoal, elapsed, lineTime, kImageBytes / elapsed);
    return 0;
}
