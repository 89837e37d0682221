// USB firmware pacing through the firmware window: a 1 MiB image loaded by the firmware load
// dialog (offscreen) into a simulated printer that switches into its USB update mode, at real
// speed: the serial handshake on a virtual line, then the flash engine on the simulated USB
// printer. The engine is paced, not throughput-bound: it pauses 20 ms after each block.
// Figure: the time from "Firmware Loading" (the one after the start delay) to
// WM_UPDATING_FLASH as the dialog receives them, over the floor of 20 ms per block.
#include "bench/window_bench_support.h"
#include "comms/comms.h"
#include "comms/private_messages.h"
#include "firmware/load_firmware_dlg.h"
#include "platform/port_map.h"
#include "platform/usb_simulated_backend.h"
#include "platform/virtual_line.h"
#include "tools/printer-sim/simulated_printer.h"
#include "tools/printer-sim/usb_side.h"
#include "ui/messages.h"

#include <QApplication>

#include <cstdio>
#include <vector>

namespace {

constexpr std::uint32_t kImageLength = 1024 * 1024;
constexpr std::uint32_t kBlockSize = 8192;
constexpr double kBlockPauseMs = 20.0;
constexpr double kGoal = 1.10;
constexpr int kLoadLimitMs = 120000;
constexpr char kLineName[] = "bench-usb-printer";
constexpr char kPort[] = "COM1";
constexpr std::uint32_t kUsbCandidateVersion = 6060;
constexpr char kFirmwareFileName[] = "F2QV1_BENCH.BIN";

class LinePortMap final : public platform::PortMapSource {
public:
    std::optional<std::string> Lookup(const std::string& key) const override
    {
        return key == kPort ? std::optional<std::string>(std::string(platform::kVirtualDevicePrefix) + kLineName)
                            : std::nullopt;
    }
};

} // namespace

int main(int argc, char** argv)
{
    const bench::OffscreenWorld world;
    QApplication application(argc, argv);
    if (!world.Valid())
        return 1;
    ui::InstallWindowMessageSink();

    const std::shared_ptr<platform::VirtualLine> line = platform::VirtualLine::Create();
    platform::RegisterVirtualLine(kLineName, line);
    LinePortMap portMap;
    platform::PortMapSource* previousMap = platform::SetPortMapSource(&portMap);
    platform::SimulatedUsbBackend usb;
    const platform::ScopedUsbBackend usbInstalled(usb);

    printer_sim::PrinterConfig config;
    config.usbCapable = true;
    bool ok = false;
    std::optional<double> elapsedMs;
    {
        printer_sim::SimulatedPrinter printer(line, config);
        printer_sim::UsbSide usbSide(printer, usb);
        std::vector<std::uint8_t> image(kImageLength);
        for (std::uint32_t i = 0; i < kImageLength; ++i)
            image[i] = static_cast<std::uint8_t>(i * 31 + 7);

        CComms connection;
        bench::PostedTimes posted;
        if (connection.Open(kPort, 19200, 8, 'N', 1.0f)) {
            CQVAirLoadFirmwareDlg dialog;
            dialog.Create();
            dialog.SetFirmwareData(&connection, kFirmwareFileName, kImageLength, image.data(), kUsbCandidateVersion);
            if (dialog.LoadFirmware() &&
                bench::RunEventsUntil([&] { return dialog.Result() != kChildResultNone; }, kLoadLimitMs)) {
                const std::vector<std::uint8_t> flashed = usbSide.FirmwareImage();
                ok = dialog.Result() == kChildResultDone && flashed == image;
                const auto delay = posted.First(WM_STATUS_TEXT, std::string(STATUS_START_DELAY));
                const auto loading =
                    delay ? posted.First(WM_STATUS_TEXT, std::string(STATUS_FIRMWARE_LOADING), *delay) : std::nullopt;
                const auto updating = posted.First(WM_UPDATING_FLASH);
                if (loading && updating)
                    elapsedMs = bench::Seconds(*updating - *loading) * 1e3;
            }
        }
        connection.Close();
    }
    ui::DeleteDestroyedWindows();
    platform::SetPortMapSource(previousMap);
    platform::UnregisterVirtualLine(kLineName);
    ui::RemoveWindowMessageSink();

    if (!ok || !elapsedMs) {
        std::printf("usb firmware pacing through the firmware window: FAILED (the load did not complete)\n");
        return 1;
    }
    const std::uint32_t blocks = (kImageLength + kBlockSize - 1) / kBlockSize;
    std::printf("usb firmware pacing through the firmware window: %.3f (goal <= %.2f; %.0f ms for %u blocks)\n",
                *elapsedMs / (kBlockPauseMs * blocks), kGoal, *elapsedMs, blocks);
    return 0;
}
