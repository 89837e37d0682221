#include "platform/port_map.h"
#include "platform/serial_device.h"
#include "platform/termios_serial_device.h"
#include "platform/virtual_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

constexpr char kNoDeviceText[] = "no device stands behind it";
constexpr char kMissingText[] = "does not exist";
constexpr char kBusyText[] = "is in use by another program";
constexpr char kNotSerialText[] = "is not a serial port";
constexpr char kGroupHintFormat[] = "; members of the group %s may open it (sudo usermod -aG %s $USER, then log in again)";
constexpr long kGroupBufferFallback = 16384;

// The name of the group that owns a file, when it can be told.
std::string OwningGroupOf(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : kGroupBufferFallback));
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->gr_name == nullptr)
        return {};
    return found->gr_name;
}

} // namespace

std::string DescribePortOpenFailure(const std::string& portName, int error)
{
    const std::string device = ResolvePortDevice(portName);
    if (device.empty())
        return portName + ": " + kNoDeviceText;
    const std::string subject = portName + " (" + device + ")";
    switch (error) {
    case ENOENT: return subject + " " + kMissingText;
    case EBUSY: return subject + " " + kBusyText;
    case ENOTTY: return subject + " " + kNotSerialText;
    case EACCES:
    case EPERM: {
        std::string text = subject + ": " + std::strerror(error);
        const std::string group = OwningGroupOf(device);
        if (!group.empty()) {
            char hint[256];
            std::snprintf(hint, sizeof hint, kGroupHintFormat, group.c_str(), group.c_str());
            text += hint;
        }
        return text;
    }
    default: return subject + ": " + std::strerror(error);
    }
}

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
