#pragma once
// The real USB backend, on libusb-1.0 (contract: usb_backend.h).
//
// libusb is started on first use and stopped with the object. When it cannot start,
// Enumerate lists nothing and the program goes on without USB.
//
// Enumerate talks to no device: descriptors come from libusb's copies and the serial string
// from the kernel's (sysfs attribute <bus>-<port path>/serial, readable by everyone). So a
// device the user may not open (see resources/60-jetvane-printer.rules) is still listed and
// only its Open fails. Where the kernel keeps no serial, the device is opened to read it,
// and one that cannot be opened is listed with an empty serial.
//
// Open claims interface 0, detaching a kernel driver that has bound it (the printer class
// driver usually has) and giving it back when the handle closes; writes go to the first
// bulk OUT endpoint of that interface, reads come from its first bulk IN endpoint.
//
// Thread rules: as the seam's; libusb itself is thread-safe.

#include "platform/usb_backend.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

struct libusb_context;
struct libusb_device_handle;
struct libusb_interface_descriptor;

namespace platform {

inline constexpr char kSysfsUsbDevicesDir[] = "/sys/bus/usb/devices";
inline constexpr char kSysfsSerialAttribute[] = "serial";

// The serial string that the kernel keeps for the device at location ("<bus>-<port path>",
// which is also its directory name under devicesDir), without the line end; nullopt when
// there is no such file (no sysfs, or a device without a serial string).
std::optional<std::string> UsbSerialFromSysfs(const std::string& devicesDir, const std::string& location);

// The endpoints that Open uses on an interface setting: its first bulk OUT and its first bulk
// IN endpoint, in the order the descriptor lists them. False when it lacks either.
bool ChooseBulkEndpoints(const libusb_interface_descriptor& setting, std::uint8_t* out, std::uint8_t* in);

// libusb_bulk_transfer, or what a test puts in its place.
using UsbBulkTransfer = int (*)(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data, int length,
                                int* transferred, unsigned int timeoutMs);

// One read from an IN endpoint through transfer, as an open device's Read does it: *read is
// the number of bytes that came. A transfer that times out is an answer all the same, of the
// bytes that came before it did (none from a device with nothing to say, e.g. a slow boot
// loader); false only on an error.
bool ReadBulkAnswer(UsbBulkTransfer transfer, libusb_device_handle* handle, std::uint8_t endpoint,
                    std::uint8_t* buffer, std::size_t capacity, std::size_t* read, std::uint32_t timeoutMs);

class LibusbBackend final : public UsbBackend {
public:
    LibusbBackend() = default;
    ~LibusbBackend() override;
    LibusbBackend(const LibusbBackend&) = delete;
    LibusbBackend& operator=(const LibusbBackend&) = delete;

    std::vector<UsbDeviceInfo> Enumerate(std::uint16_t vendorId) override;
    std::unique_ptr<UsbDeviceHandle> Open(const std::string& interfacePath) override;

    // Whether libusb could be started (starts it when it has not been tried yet).
    bool Started();

private:
    libusb_context* Context();

    std::mutex startMutex_;
    bool startTried_ = false;
    libusb_context* context_ = nullptr;
};

} // namespace platform
