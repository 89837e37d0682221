#include "platform/port_map.h"
#include "platform/serial_device.h"
#include "platform/termios_serial_device.h"
#include "platform/virtual_line.h"

#include <cerrno>

namespace platform {

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& normalisedName, int* error)
{
    int failure = ENOENT;
    std::unique_ptr<SerialDevice> device;
    const std::string target = ResolvePortDevice(normalisedName);
    if (target.rfind(kVirtualDevicePrefix, 0) == 0) {
        if (std::shared_ptr<VirtualLine> line = FindVirtualLine(target.substr(kVirtualDevicePrefix.size())))
            device = line->OpenHostEnd(&failure);
    } else if (!target.empty()) {
        device = OpenTermiosSerialDevice(target, &failure);
    }
    if (error != nullptr)
        *error = device ? 0 : failure;
    return device;
}

} // namespace platform
