#pragma once
// A USB backend that plays the printer's USB side in process (contract: usb_backend.h),
// for tests and for the simulated printer. Devices appear and vanish when told to; a
// device answers reads with its status bytes, records everything written to it, and in
// firmware update mode plays the flash sequence:
//   USB_CMD_FLASH_REQUEST  -> queues flashRequestReply for the next read
//   USB_CMD_FLASH_PREPARE  -> queues flashPrepareReply ("FLASH READY") and takes every
//                             later write as firmware image
//   image complete         -> restarts: the update-mode device vanishes, the normal-mode
//                             device appears, then the printer's firmware runs again
//                             (onNormalModeRunning) and DSR and then CTS rise on its
//                             serial line (when it has one)
//   USB_CMD_RESET          -> restarts the same way (when restartOnReset)
// The image is complete after imageLength bytes, or, when that is 0, once no image byte
// has arrived for imageQuietMs. All delays are in program time (platform/timing.h), also
// the time-out that a read with nothing to bring waits out, as it does on a real device.
//
// As with the libusb backend, whose open claims interface 0, a device has at most one open
// handle: Open refuses a device while a handle to it is open, until that handle closes.
//
// Thread rules: every member may be called from any thread. Handles stay safe to use
// after their device vanished (their transfers fail) and after the backend is gone.

#include "platform/usb_backend.h"
#include "platform/usb_printer_commands.h"
#include "platform/virtual_line.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr std::uint16_t kSimulatedVendorId = 0x2F5D;
inline constexpr std::uint16_t kSimulatedUpdateModeProductId = 0x5550;
inline constexpr std::uint16_t kSimulatedNormalModeProductId = 0x4254;

// "S", then nothing to report: byte 3 and byte 4 clear.
inline const std::vector<std::uint8_t> kSimulatedCleanStatus = {0x53, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// What becomes of an update-mode device after its image (or a reset).
struct SimulatedUsbRestart {
    bool enabled = true;
    std::uint16_t normalProductId = kSimulatedNormalModeProductId;
    std::string normalSerial;                 // serial string of the normal-mode device
    std::uint32_t vanishAfterMs = 200;        // from the end of the image to vanishing
    std::uint32_t appearAfterMs = 1500;       // from vanishing to the normal device
    std::uint32_t dsrAfterMs = 500;           // from the normal device to DSR on
    std::uint32_t ctsAfterMs = 300;           // from DSR on to CTS on
    std::shared_ptr<VirtualLine> line;        // the printer's serial line; may be null
    // Runs on the backend's scheduler thread when the printer's normal firmware is up,
    // just before DSR rises, with the id of the normal-mode device. There the serial side
    // of a simulated printer starts answering again. May be empty.
    std::function<void(int normalDeviceId)> onNormalModeRunning;
};

struct SimulatedUsbDevice {
    std::uint16_t vendorId = kSimulatedVendorId;
    std::uint16_t productId = kSimulatedUpdateModeProductId;
    std::uint16_t revision = 0x0100;
    std::string serial;             // the serial string as the device reports it
    std::string location = "1-1";   // "<bus>-<port path>"
    std::uint8_t interfaceClass = 0x07;
    std::uint8_t interfaceSubClass = 0x01;
    std::uint8_t interfaceProtocol = 0x02;

    // false: listed, but Open fails, as a device the user has no permission for is with
    // libusb (which lists it by the kernel's copy of its serial string).
    bool opens = true;
    // A read's answer when no reply is queued; empty: the read brings no byte.
    std::vector<std::uint8_t> statusReply = kSimulatedCleanStatus;
    std::vector<std::uint8_t> flashRequestReply = kSimulatedCleanStatus;
    std::vector<std::uint8_t> flashPrepareReply{USB_FLASH_READY_TEXT.begin(), USB_FLASH_READY_TEXT.end()};
    bool playsFlashSequence = true;             // false: commands are only recorded

    // Faults.
    bool readsReturnNothing = false;   // every read succeeds without a byte, after its time-out
    bool readsFail = false;            // every read fails
    bool garbageStatus = false;        // reads answer noise instead of the status
    bool refuseWrites = false;         // every write fails
    int failWriteNumber = 0;           // this write (counted from 1) fails; 0: none
    std::size_t vanishAfterImageBytes = 0; // the device vanishes within the image; 0: never

    std::size_t imageLength = 0;
    std::uint32_t imageQuietMs = 300;
    bool restartOnReset = true;
    SimulatedUsbRestart restart;
};

class SimulatedUsbBackend final : public UsbBackend {
public:
    using DeviceId = int;

    SimulatedUsbBackend();
    ~SimulatedUsbBackend() override;
    SimulatedUsbBackend(const SimulatedUsbBackend&) = delete;
    SimulatedUsbBackend& operator=(const SimulatedUsbBackend&) = delete;

    std::vector<UsbDeviceInfo> Enumerate(std::uint16_t vendorId) override;
    std::unique_ptr<UsbDeviceHandle> Open(const std::string& interfacePath) override;

    DeviceId AddDevice(SimulatedUsbDevice device);
    void RemoveDevice(DeviceId id);
    bool IsPresent(DeviceId id) const;
    // The present device with this product id (the first one added), if any.
    std::optional<DeviceId> FindDevice(std::uint16_t productId) const;
    std::string InterfacePath(DeviceId id) const;

    void SetStatusReply(DeviceId id, std::vector<std::uint8_t> reply);

    // What the device was sent: each write as it came, and the image bytes.
    std::vector<std::vector<std::uint8_t>> Writes(DeviceId id) const;
    std::vector<std::uint8_t> Image(DeviceId id) const;
    int WriteAttempts(DeviceId id) const; // also the writes that failed
    bool Restarted(DeviceId id) const;

    // Handles open now, over all devices (at most one per device).
    int OpenHandleCount() const;
    int OpenCount() const; // successful opens so far

    // A serial string in the form printers report it: each character as two hex digits.
    static std::string HexSerial(const std::string& text);

private:
    struct Core;
    std::shared_ptr<Core> core_;
};

} // namespace platform
