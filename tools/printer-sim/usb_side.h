#pragma once
// The USB side of a USB-capable simulated printer, played on a simulated USB backend, so
// that one printer can be taken through a whole firmware load over USB: asked on its
// serial line to switch, found and flashed on the bus, and back on its serial line.
//
// What the printer does:
// - In normal mode it is on the bus as its normal-mode device (product 0x4254, serial text
//   "MRV41E" + serial number), unless told to start off the bus.
// - On CMD_SWITCH_UPDATE_MODE it sends no reply, stops hearing its serial line and restarts
//   into its boot loader: CTS and then DSR drop at once and stay low (the boot loader does
//   not drive the serial port), the normal-mode device leaves the bus, and switchDelayMs
//   later the update-mode device (product 0x5550, serial text "MRV41F" + serial number)
//   appears.
// - The update-mode device plays the flash sequence of the backend. When the image is in
//   (or on USB_CMD_RESET) it restarts: it leaves the bus, the normal-mode device appears,
//   the printer answers on its serial line again, and then DSR and CTS rise.
// The image the update-mode device took stays readable after the restart.
//
// Lifetime: the printer and the backend must outlive this object. Its destructor takes the
// printer's switch back (the printer then answers REPLY_NO_SWITCH again); a restart still
// scheduled in the backend afterwards no longer touches the printer.
//
// Thread rules: every public member may be called from any thread. The switch runs on the
// printer's serving thread, the restart on the backend's scheduler thread.

#include "platform/usb_simulated_backend.h"
#include "tools/printer-sim/simulated_printer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace printer_sim {

struct UsbSideConfig {
    std::string serialNumber = "000123"; // follows the model code in the serial text
    bool onBusAtStart = true;            // the normal-mode device is present before any switch
    std::uint32_t switchDelayMs = 1000;  // program time from the switch to the update-mode device
    // The update-mode device as it appears: its faults, replies, revision, location and
    // restart timings are taken as given; vendor, product id, serial and the restart's
    // line, normal serial and notification are filled in.
    platform::SimulatedUsbDevice updateModeDevice;
};

class UsbSide {
public:
    using DeviceId = platform::SimulatedUsbBackend::DeviceId;

    // Wires the printer's switch to the update mode. The printer must be usbCapable for
    // the switch to happen; one that is not keeps refusing it.
    UsbSide(SimulatedPrinter& printer, platform::SimulatedUsbBackend& usb, UsbSideConfig config = {});
    ~UsbSide();
    UsbSide(const UsbSide&) = delete;
    UsbSide& operator=(const UsbSide&) = delete;

    // The serial texts the devices report (before hex encoding).
    std::string UpdateModeSerial() const;
    std::string NormalModeSerial() const;

    bool InUpdateMode() const; // from the switch until the printer's restart is done
    int Switches() const;      // CMD_SWITCH_UPDATE_MODE requests obeyed
    int Restarts() const;      // returns to normal mode
    // Waits up to realMs (real milliseconds) until the printer has come back to normal mode
    // this many times in all.
    bool WaitForRestarts(int count, int realMs) const;

    // The devices of the latest switch and restart; nullopt before there was one.
    std::optional<DeviceId> UpdateModeDevice() const;
    std::optional<DeviceId> NormalModeDevice() const;
    // The image that the latest update-mode device took; empty before any switch.
    std::vector<std::uint8_t> FirmwareImage() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    SimulatedPrinter& printer_;
};

} // namespace printer_sim
