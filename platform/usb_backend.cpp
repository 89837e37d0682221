#include "platform/usb_backend.h"

#include "platform/usb_libusb_backend.h"

#include <atomic>
#include <cstdio>

namespace platform {
namespace {

std::atomic<UsbBackend*> g_installed{nullptr};

UsbBackend& DefaultBackend()
{
    static LibusbBackend backend;
    return backend;
}

} // namespace

UsbBackend& CurrentUsbBackend()
{
    UsbBackend* installed = g_installed.load();
    return installed != nullptr ? *installed : DefaultBackend();
}

UsbBackend* SetUsbBackend(UsbBackend* backend)
{
    return g_installed.exchange(backend);
}

std::string FormatUsbInterfacePath(std::uint16_t vendorId, std::uint16_t productId,
                                   const std::string& serial, const std::string& location)
{
    char ids[32];
    std::snprintf(ids, sizeof ids, "usb#vid_%04x&pid_%04x#", vendorId, productId);
    return ids + serial + "#" + location;
}

std::string FormatUsbHardwareId(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t revision)
{
    char text[48];
    std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X&REV_%04X", vendorId, productId, revision);
    return text;
}

std::string FormatUsbCompatibleId(std::uint8_t deviceClass, std::uint8_t subClass, std::uint8_t protocol)
{
    char text[48];
    std::snprintf(text, sizeof text, "USB\\Class_%02x&SubClass_%02x&Prot_%02x", deviceClass, subClass, protocol);
    return text;
}

} // namespace platform
