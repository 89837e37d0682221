#pragma once
// The real USB backend, on libusb-1.0 (contract: usb_backend.h).
//
// libusb is started on first use and stopped with the object. When it cannot start, or
// the user may not open the vendor's devices (see resources/60-jetvane-printer.rules),
// Enumerate lists nothing and the program goes on without USB.
//
// Open claims interface 0, detaching a kernel driver that has bound it (the printer class
// driver usually has) and giving it back when the handle closes; writes go to the first
// bulk OUT endpoint of that interface, reads come from its first bulk IN endpoint.
//
// Thread rules: as the seam's; libusb itself is thread-safe.

#include "platform/usb_backend.h"

#include <mutex>

struct libusb_context;

namespace platform {

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
