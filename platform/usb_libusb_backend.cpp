#include "platform/usb_libusb_backend.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <fstream>

namespace platform {
namespace {

constexpr int kInterfaceNumber = 0;
constexpr int kMaxPortDepth = 7; // USB 3 allows hubs seven deep
constexpr int kStringDescriptorSize = 256;

struct DeviceList {
    libusb_device** devices = nullptr;
    ssize_t count = 0;
    explicit DeviceList(libusb_context* context) { count = libusb_get_device_list(context, &devices); }
    ~DeviceList()
    {
        if (devices != nullptr)
            libusb_free_device_list(devices, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
};

// "<bus>-<port>.<port>...", the kernel's own name for the device's place on the bus.
std::string Location(libusb_device* device)
{
    std::array<std::uint8_t, kMaxPortDepth> ports{};
    const int depth = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
    std::string location = std::to_string(libusb_get_bus_number(device)) + "-";
    for (int i = 0; i < depth; ++i) {
        if (i > 0)
            location += ".";
        location += std::to_string(ports[static_cast<std::size_t>(i)]);
    }
    return location;
}

std::string SerialDescriptor(libusb_device_handle* handle, const libusb_device_descriptor& descriptor)
{
    if (descriptor.iSerialNumber == 0)
        return {};
    std::array<unsigned char, kStringDescriptorSize> text{};
    const int length = libusb_get_string_descriptor_ascii(handle, descriptor.iSerialNumber, text.data(),
                                                          static_cast<int>(text.size()));
    if (length <= 0)
        return {};
    return std::string(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(length));
}

// The serial string as the kernel read it when the device arrived, so that listing devices
// talks to none of them and needs no permission to open them. Only where the kernel has no
// copy (no sysfs) is the device asked itself: two control transfers on an open device, or
// nothing when it cannot be opened. *handle is used when open, and opened here otherwise;
// the caller closes it.
std::string SerialString(libusb_device* device, const libusb_device_descriptor& descriptor,
                         const std::string& location, libusb_device_handle** handle)
{
    if (std::optional<std::string> cached = UsbSerialFromSysfs(kSysfsUsbDevicesDir, location))
        return *cached;
    if (descriptor.iSerialNumber == 0)
        return {};
    if (*handle == nullptr && libusb_open(device, handle) != 0) {
        *handle = nullptr;
        return {};
    }
    return SerialDescriptor(*handle, descriptor);
}

struct ClassTriple {
    std::uint8_t cls = 0;
    std::uint8_t subClass = 0;
    std::uint8_t protocol = 0;
};

// A device that leaves its class to its interfaces (class 0) is known by interface 0's.
ClassTriple DeviceClass(libusb_device* device, const libusb_device_descriptor& descriptor)
{
    ClassTriple triple{descriptor.bDeviceClass, descriptor.bDeviceSubClass, descriptor.bDeviceProtocol};
    if (triple.cls != 0)
        return triple;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 &&
        libusb_get_config_descriptor(device, 0, &config) != 0)
        return triple;
    if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
        const libusb_interface_descriptor& first = config->interface[0].altsetting[0];
        triple = {first.bInterfaceClass, first.bInterfaceSubClass, first.bInterfaceProtocol};
    }
    libusb_free_config_descriptor(config);
    return triple;
}

bool FindBulkEndpoints(libusb_device* device, std::uint8_t* out, std::uint8_t* in)
{
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0)
        return false;
    bool found = false;
    if (config->bNumInterfaces > kInterfaceNumber && config->interface[kInterfaceNumber].num_altsetting > 0)
        found = ChooseBulkEndpoints(config->interface[kInterfaceNumber].altsetting[0], out, in);
    libusb_free_config_descriptor(config);
    return found;
}

int TransferLength(std::size_t length)
{
    return static_cast<int>(std::min<std::size_t>(length, INT_MAX));
}

class LibusbDeviceHandle final : public UsbDeviceHandle {
public:
    LibusbDeviceHandle(libusb_device_handle* handle, std::uint8_t out, std::uint8_t in)
        : handle_(handle), out_(out), in_(in)
    {
    }
    ~LibusbDeviceHandle() override
    {
        // Releasing gives the interface back to a kernel driver that auto-detach took it from.
        libusb_release_interface(handle_, kInterfaceNumber);
        libusb_close(handle_);
    }
    LibusbDeviceHandle(const LibusbDeviceHandle&) = delete;
    LibusbDeviceHandle& operator=(const LibusbDeviceHandle&) = delete;

    bool Write(const std::uint8_t* data, std::size_t length, std::size_t* written, std::uint32_t timeoutMs) override
    {
        int transferred = 0;
        // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
        const int result = libusb_bulk_transfer(handle_, out_, const_cast<std::uint8_t*>(data),
                                                TransferLength(length), &transferred, timeoutMs);
        *written = static_cast<std::size_t>(std::max(transferred, 0));
        return result == 0;
    }

    bool Read(std::uint8_t* buffer, std::size_t capacity, std::size_t* read, std::uint32_t timeoutMs) override
    {
        return ReadBulkAnswer(libusb_bulk_transfer, handle_, in_, buffer, capacity, read, timeoutMs);
    }

private:
    libusb_device_handle* handle_;
    std::uint8_t out_;
    std::uint8_t in_;
};

} // namespace

bool ReadBulkAnswer(UsbBulkTransfer transfer, libusb_device_handle* handle, std::uint8_t endpoint,
                    std::uint8_t* buffer, std::size_t capacity, std::size_t* read, std::uint32_t timeoutMs)
{
    int transferred = 0;
    const int result = transfer(handle, endpoint, buffer, TransferLength(capacity), &transferred, timeoutMs);
    *read = static_cast<std::size_t>(std::max(transferred, 0));
    // A device with nothing to say lets the transfer time out: that is an empty answer.
    return result == 0 || result == LIBUSB_ERROR_TIMEOUT;
}

bool ChooseBulkEndpoints(const libusb_interface_descriptor& setting, std::uint8_t* out, std::uint8_t* in)
{
    bool haveOut = false;
    bool haveIn = false;
    for (int i = 0; i < setting.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
        if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
            continue;
        const bool isIn = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
        if (isIn && !haveIn) {
            *in = endpoint.bEndpointAddress;
            haveIn = true;
        } else if (!isIn && !haveOut) {
            *out = endpoint.bEndpointAddress;
            haveOut = true;
        }
    }
    return haveOut && haveIn;
}

std::optional<std::string> UsbSerialFromSysfs(const std::string& devicesDir, const std::string& location)
{
    std::ifstream file(devicesDir + "/" + location + "/" + kSysfsSerialAttribute, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string serial;
    std::getline(file, serial);
    return serial;
}

LibusbBackend::~LibusbBackend()
{
    if (context_ != nullptr)
        libusb_exit(context_);
}

libusb_context* LibusbBackend::Context()
{
    std::lock_guard lock(startMutex_);
    if (!startTried_) {
        startTried_ = true;
        if (libusb_init(&context_) != 0)
            context_ = nullptr;
    }
    return context_;
}

bool LibusbBackend::Started()
{
    return Context() != nullptr;
}

std::vector<UsbDeviceInfo> LibusbBackend::Enumerate(std::uint16_t vendorId)
{
    struct Found {
        std::uint8_t bus;
        std::string location;
        UsbDeviceInfo info;
    };
    std::vector<Found> found;
    libusb_context* context = Context();
    if (context == nullptr)
        return {};
    DeviceList list(context);
    for (ssize_t i = 0; i < list.count; ++i) {
        libusb_device* device = list.devices[i];
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != 0 || descriptor.idVendor != vendorId)
            continue;
        // A device the user may not open is listed all the same (a printer in normal mode
        // counts by being present); it fails later, when someone tries to open it.
        const std::string location = Location(device);
        libusb_device_handle* handle = nullptr;
        const std::string serial = SerialString(device, descriptor, location, &handle);
        if (handle != nullptr)
            libusb_close(handle);
        const ClassTriple triple = DeviceClass(device, descriptor);
        found.push_back({libusb_get_bus_number(device), location,
                         {FormatUsbInterfacePath(vendorId, descriptor.idProduct, serial, location),
                          FormatUsbHardwareId(vendorId, descriptor.idProduct, descriptor.bcdDevice),
                          FormatUsbCompatibleId(triple.cls, triple.subClass, triple.protocol)}});
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.bus != b.bus ? a.bus < b.bus : a.location < b.location; });
    std::vector<UsbDeviceInfo> infos;
    for (Found& entry : found)
        infos.push_back(std::move(entry.info));
    return infos;
}

std::unique_ptr<UsbDeviceHandle> LibusbBackend::Open(const std::string& interfacePath)
{
    unsigned vendorId = 0;
    unsigned productId = 0;
    if (std::sscanf(interfacePath.c_str(), "usb#vid_%4x&pid_%4x#", &vendorId, &productId) != 2)
        return nullptr;
    libusb_context* context = Context();
    if (context == nullptr)
        return nullptr;
    DeviceList list(context);
    for (ssize_t i = 0; i < list.count; ++i) {
        libusb_device* device = list.devices[i];
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != 0 || descriptor.idVendor != vendorId ||
            descriptor.idProduct != productId)
            continue;
        // The name is made as Enumerate made it; only the device it names is opened.
        const std::string location = Location(device);
        libusb_device_handle* handle = nullptr;
        const std::string path =
            FormatUsbInterfacePath(static_cast<std::uint16_t>(vendorId), descriptor.idProduct,
                                   SerialString(device, descriptor, location, &handle), location);
        std::uint8_t out = 0;
        std::uint8_t in = 0;
        if (path != interfacePath || !FindBulkEndpoints(device, &out, &in)) {
            if (handle != nullptr)
                libusb_close(handle);
            continue;
        }
        if (handle == nullptr && libusb_open(device, &handle) != 0)
            return nullptr;
        // Not supported on every platform; where it is not, a bound driver makes the claim fail.
        libusb_set_auto_detach_kernel_driver(handle, 1);
        if (libusb_claim_interface(handle, kInterfaceNumber) != 0) {
            libusb_close(handle);
            return nullptr;
        }
        return std::make_unique<LibusbDeviceHandle>(handle, out, in);
    }
    return nullptr;
}

} // namespace platform
