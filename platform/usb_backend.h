#pragma once
// Access to the USB devices of one vendor: list the present ones, open one by its
// interface path, write and read its bulk pipes synchronously, close it.
//
// Every device is named the way the firmware lookup expects it, so that the matching
// rules above this layer need not know where the names come from:
//   interface path  usb#vid_2f5d&pid_5550#<serial string>#<bus>-<port path>
//                   (vendor and product in lower-case hex; port path like "1.4.2")
//   hardware id     USB\VID_2F5D&PID_5550&REV_0100   (upper-case hex, REV from bcdDevice)
//   compatible id   USB\Class_07&SubClass_01&Prot_02 (class triple of interface 0,
//                   or of the device when it names one itself)
//
// Contract of the seam (UsbBackend and UsbDeviceHandle):
// - Enumerate and Open may be called from any thread, also at the same time (the flash
//   thread waits for a restart while the user-interface thread resets printers). Neither
//   keeps state between calls that a caller could depend on. Enumerate blocks only for
//   the descriptor reads of the present devices (milliseconds); it returns an empty list
//   when the USB layer cannot be used at all (not started, no permission): callers treat
//   that as "no device" and go on.
// - Open returns nullptr when the device is gone, cannot be opened (permission, in use)
//   or has no bulk OUT and IN endpoint on interface 0. The handle closes the device when
//   it is destroyed.
// - A handle is used by one thread at a time. Write and Read block for at most the
//   time-out they are given (real milliseconds), never longer.
//   Write: true when the device took the bytes; *written tells how many it took.
//   false when the transfer failed (device gone, pipe error, time-out).
//   Read: true with *read > 0 when bytes arrived; true with *read == 0 when the device
//   answered nothing within the time-out; false when the transfer failed (device gone,
//   pipe error).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct UsbDeviceInfo {
    std::string interfacePath;
    std::string hardwareId;
    std::string compatibleId;
};

class UsbDeviceHandle {
public:
    virtual ~UsbDeviceHandle() = default; // closes the device

    virtual bool Write(const std::uint8_t* data, std::size_t length, std::size_t* written,
                       std::uint32_t timeoutMs) = 0;
    virtual bool Read(std::uint8_t* buffer, std::size_t capacity, std::size_t* read,
                      std::uint32_t timeoutMs) = 0;
};

class UsbBackend {
public:
    virtual ~UsbBackend() = default;

    // The present devices of the vendor, in a stable order (bus, then port path).
    virtual std::vector<UsbDeviceInfo> Enumerate(std::uint16_t vendorId) = 0;

    // Opens the device with this interface path (as Enumerate gave it).
    virtual std::unique_ptr<UsbDeviceHandle> Open(const std::string& interfacePath) = 0;
};

// The process-wide backend: the libusb one unless another has been installed.
UsbBackend& CurrentUsbBackend();

// Installs backend as the current one (nullptr: back to the libusb one) and returns the
// one installed before (nullptr when that was the libusb one). Meant for start-up and
// for tests, while no other thread is using the backend.
UsbBackend* SetUsbBackend(UsbBackend* backend);

// Installs a backend for the life of the object (tests).
class ScopedUsbBackend {
public:
    explicit ScopedUsbBackend(UsbBackend& backend) : previous_(SetUsbBackend(&backend)) {}
    ~ScopedUsbBackend() { SetUsbBackend(previous_); }
    ScopedUsbBackend(const ScopedUsbBackend&) = delete;
    ScopedUsbBackend& operator=(const ScopedUsbBackend&) = delete;

private:
    UsbBackend* previous_;
};

// The names of a device, as described at the top of this file.
std::string FormatUsbInterfacePath(std::uint16_t vendorId, std::uint16_t productId,
                                   const std::string& serial, const std::string& location);
std::string FormatUsbHardwareId(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t revision);
std::string FormatUsbCompatibleId(std::uint8_t deviceClass, std::uint8_t subClass, std::uint8_t protocol);

} // namespace platform
