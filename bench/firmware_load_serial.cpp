// Firmware load, serial road end to end: "Load Firmware" clicked in the main dialog (offscreen)
// with jetvane-printer-sim --throttle on a pseudo-terminal, from the click to WM_UPDATING_FLASH:
// the file, the search, the type check, the firmware window, the update-mode handshake where
// there is one, and the image in acknowledged blocks.
// Figure: the floor (the line time of every byte on the wire plus the fixed waits of the road)
// divided by the elapsed time.
//
// Two roads:
// - a 1 MiB image at 115200 8N1 to a printer that never asks for USB (version 6050): the
//   search finds it at its fourth row, after three rows at other rates have waited out their
//   probes, and there is no handshake;
// - a 32 KiB image at 19200 8N1 to a USB candidate (version 6060, an F2QV1_ name) that takes
//   firmware on its serial line only: three update-mode queries with the handshake's waits
//   and a reopen of the port. At 115200 this road cannot be run: the reopen is at 19200.
#include "app/jetvane_app.h"
#include "app/jetvane_dlg.h"
#include "app/operation_states.h"
#include "app/resource.h"
#include "bench/bench_support.h"
#include "bench/window_bench_support.h"
#include "comms/device_search.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "platform/usb_simulated_backend.h"
#include "tests/support/printer_sim_process.h"
#include "ui/messages.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kGoal = 0.90;
constexpr int kRoadLimitMs = 15 * 60 * 1000;
constexpr int kEndLimitMs = 10000;
constexpr char kFirmwareFileName[] = "F2QV1_BENCH.BIN";

struct Road {
    const char* name;
    std::uint32_t baud;
    std::uint32_t imageBytes;
    const char* identity;
    int rowsBefore;     // search rows of pass 3 that wait out their probe first
    int handshakeQueries;
};

constexpr Road kRoads[] = {
    {"serial road at 115200, no handshake", 115200, 1024 * 1024, "YT00000006050", 3, 0},
    {"serial road at 19200 after the handshake", 19200, 32 * 1024, "YT00000006060", 0, 3},
};

// ---- the fixed waits of the road, in milliseconds (each where no line time covers it)
// The search on one pty port: passes 1 and 2 skip every row (no modem lines) and pause
// after the port; pass 3 settles before each probe, and a row at another rate waits its
// probe out (pause after the write, the time-out) and pauses around the port's close.
constexpr double kPauseAfterPortMs = CQVAirDeviceSearch::kPauseAfterPortMs;
constexpr int kPassesSkipped = 2;
constexpr double kSettleMs = CQVAirDeviceSearch::kSettleBeforeProbeMs;
constexpr double kPauseAfterWriteMs = 50;
constexpr double kProbeTimeoutMs = CQVAirDeviceSearch::kProbeTimeoutMs;
constexpr double kCloseMs = CQVAirDeviceSearch::kPauseBeforeCloseMs + CQVAirDeviceSearch::kPauseAfterCloseMs;
// The found handler: one round of waiting for the search to be idle, before the open, after the lines.
constexpr double kFoundHandlerMs = 200 + 100 + 100;
// A send thread settles before its job: the type check, the image.
constexpr double kSendThreadSettleMs = 50;
// The handshake of a printer that stays on its serial line: after the first attempt, and
// around the reopen after the second.
constexpr double kHandshakeWaitsMs = 1000 + 500 + 1000;

double FixedWaitMs(const Road& road)
{
    double ms = kPassesSkipped * kPauseAfterPortMs;
    ms += road.rowsBefore * (kSettleMs + kPauseAfterWriteMs + kProbeTimeoutMs + kCloseMs);
    ms += kSettleMs + kPauseAfterWriteMs; // the probe that finds the printer
    ms += kFoundHandlerMs;
    ms += kSendThreadSettleMs + kPauseAfterWriteMs; // the type check
    if (road.handshakeQueries > 0)
        ms += road.handshakeQueries * kPauseAfterWriteMs + kHandshakeWaitsMs;
    // The image job; a block's own pause after its write runs while the block is still on the
    // line, the end command's does not.
    ms += kSendThreadSettleMs + kPauseAfterWriteMs;
    return ms;
}

std::size_t FrameBytes(std::uint8_t direction, std::uint8_t command, const std::string& payload)
{
    std::string frame;
    return CQVMessageParser::BuildMessage(frame, 0, direction, command, payload).size();
}

// Every byte on the wire at the printer's rate: the probe that found it, the type check,
// the handshake's queries, the blocks and the end command, each with its reply.
std::uint64_t LineBytes(const Road& road, const std::vector<std::uint8_t>& image)
{
    const std::size_t ack = FrameBytes(FRAME_DIRECTION_REPLY, REPLY_ACK, {});
    std::uint64_t bytes = FrameBytes(FRAME_DIRECTION_REQUEST, CMD_IDENTIFY, {}) +
                          FrameBytes(FRAME_DIRECTION_REPLY, REPLY_ACK, road.identity);
    bytes += FrameBytes(FRAME_DIRECTION_REQUEST, CMD_GET_SETTINGS, {}) +
             FrameBytes(FRAME_DIRECTION_REPLY, REPLY_SETTINGS, {});
    bytes += road.handshakeQueries * (FrameBytes(FRAME_DIRECTION_REQUEST, CMD_QUERY_UPDATE_MODE, {}) + ack);
    const std::uint32_t total = road.imageBytes;
    std::uint32_t index = 0;
    for (std::uint32_t offset = 0; offset < total; offset += CQVMessageParser::kFirmwareBlockSize, ++index) {
        const std::uint32_t size = std::min(CQVMessageParser::kFirmwareBlockSize, total - offset);
        std::string payload = std::to_string(total) + "#" + std::to_string(size) + "#" + std::to_string(index) + "#";
        payload.append(reinterpret_cast<const char*>(image.data() + offset), size);
        bytes += FrameBytes(FRAME_DIRECTION_REQUEST, CMD_FIRMWARE_BLOCK, payload) + ack;
    }
    return bytes + FrameBytes(FRAME_DIRECTION_REQUEST, CMD_FIRMWARE_END, {}) + ack;
}

std::string ReadFileBytes(const QString& path)
{
    std::ifstream file(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool RunRoad(const Road& road, const QTemporaryDir& files, std::mt19937& random)
{
    const QString received = QDir(files.path()).filePath(QStringLiteral("received.bin"));
    QFile::remove(received);
    test_support::PrinterSimProcess sim;
    if (!sim.Start(JETVANE_PRINTER_SIM_PATH, {"--throttle", "--baud", std::to_string(road.baud), "--identity",
                                              road.identity, "--firmware-out", received.toStdString()})) {
        std::fprintf(stderr, "the printer simulator did not start\n");
        return false;
    }
    bench::SinglePortMap portMap(sim.SlavePath());
    platform::PortMapSource* previousMap = platform::SetPortMapSource(&portMap);

    std::vector<std::uint8_t> image(road.imageBytes);
    for (std::uint8_t& b : image)
        b = static_cast<std::uint8_t>(random());
    const QString file = QDir(files.path()).filePath(kFirmwareFileName);
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size())) !=
            static_cast<qint64>(image.size()))
        return false;
    out.close();

    ui::ScriptedPrompts prompts;
    prompts.AnswerFileDialog(file);
    bench::PostedTimes posted;
    CJetvaneApp app;
    app.ParseCommandLine({QStringLiteral("jetvane")});
    bool ok = false;
    {
        CJetvaneDlg dialog(app);
        dialog.Create();
        dialog.ShowWindow(true);
        dialog.GetComboBox(IDC_PORT).SetWindowText(QString::fromLatin1(bench::kBenchPort));

        const bench::Clock::time_point start = bench::Clock::now();
        dialog.GetButton(IDC_LOAD_FIRMWARE).Click();
        ok = bench::RunEventsUntil([&] { return posted.First(WM_UPDATING_FLASH).has_value(); }, kRoadLimitMs);
        if (!ok) {
            std::fprintf(stderr, "%s: the load did not reach the printer's restart (status: %s)\n", road.name,
                         dialog.GetDlgItemText(IDC_STATUS).toUtf8().constData());
        } else {
            const double elapsedMs = bench::Seconds(*posted.First(WM_UPDATING_FLASH) - start) * 1e3;
            const double lineMs = bench::LineSeconds(LineBytes(road, image), road.baud) * 1e3;
            const double fixedMs = FixedWaitMs(road);
            const bool intact = ReadFileBytes(received) == std::string(image.begin(), image.end());
            std::printf("firmware load, %s: %.3f (goal >= %.2f; %.1f s for %.1f s of line time and %.1f s of "
                        "fixed waits; %u bytes at %.0f B/s%s)\n",
                        road.name, (lineMs + fixedMs) / elapsedMs, kGoal, elapsedMs / 1e3, lineMs / 1e3,
                        fixedMs / 1e3, road.imageBytes, road.imageBytes / (elapsedMs / 1e3),
                        intact ? "" : "; THE IMAGE ARRIVED DAMAGED");
            ok = intact;
        }
        // A pty has no DSR, so the wait for the printer's restart would run its whole budget:
        // end the load as Escape in the firmware window does.
        if (CQVAirLoadFirmwareDlg* firmware = dialog.FirmwareDialog())
            firmware->OnCancel();
        bench::RunEventsUntil([&] { return dialog.OperationState() == STATE_IDLE; }, kEndLimitMs);
    }
    ui::DeleteDestroyedWindows();
    platform::SetPortMapSource(previousMap);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const bench::OffscreenWorld world;
    QApplication application(argc, argv);
    const QTemporaryDir files;
    if (!world.Valid() || !files.isValid())
        return 1;
    ui::InstallWindowMessageSink();
    // No printer left in USB update mode to restart before the search.
    platform::SimulatedUsbBackend noUsbPrinters;
    const platform::ScopedUsbBackend usb(noUsbPrinters);

    std::mt19937 random(20261207);
    bool ok = true;
    for (const Road& road : kRoads)
        ok = RunRoad(road, files, random) && ok;
    ui::RemoveWindowMessageSink();
    return ok ? 0 : 1;
}
