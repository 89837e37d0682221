#include "platform/port_map.h"
#include "platform/serial_device.h"
#include "platform/termios_serial_device.h"
#include "platform/virtual_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

constexpr char kNoDeviceText[] = "no device stands behind it";
constexpr char kMissingText[] = "does not exist";
constexpr char kBusyText[] = "is in use by another program";
constexpr char kNotSerialText[] = "is not a serial port";
// What follows a refused opening: the group to join, when joining it would help; else who
// may open the device, for the technician to decide what to change.
constexpr char kGroupHintFormat[] = "; members of the group %s may open it (sudo usermod -aG %s $USER, then log in again)";
constexpr char kOwnerOnlyFormat[] = "; only its owner, %s, may open it (%s:%s, mode %03o)";
constexpr char kOwnershipFormat[] = "; it belongs to %s:%s, mode %03o";
constexpr unsigned kRootUser = 0;
constexpr unsigned kRootGroup = 0;
constexpr unsigned kPermissionBits = 0777;
constexpr unsigned kReadWrite = 06; // of one class (owner, group, others), at its lowest bits
constexpr unsigned kOwnerShift = 6;
constexpr unsigned kGroupShift = 3;
constexpr long kNameBufferFallback = 16384;

bool ReadsAndWrites(unsigned mode, unsigned shift)
{
    return ((mode >> shift) & kReadWrite) == kReadWrite;
}

std::string Formatted(const char* format, auto... values)
{
    char text[512];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

bool IsInGroup(const ProcessIdentity& process, unsigned gid)
{
    return std::find(process.groups.begin(), process.groups.end(), gid) != process.groups.end();
}

std::string PermissionAdvice(const DeviceAccess& access, const ProcessIdentity& process)
{
    const unsigned mode = access.mode & kPermissionBits;
    const std::string group = access.group.empty() ? std::to_string(access.gid) : access.group;
    // Root passes the permission bits: what refuses root (a device on a nodev mount, a
    // security module) is no matter of the owner's or a group's bits.
    if (process.uid == kRootUser)
        return Formatted(kOwnershipFormat, access.owner.c_str(), group.c_str(), mode);
    const bool groupMay = ReadsAndWrites(mode, kGroupShift);
    const bool othersMay = ReadsAndWrites(mode, 0);
    // The owner's bits decide for the owner, and a member already has the group's bits:
    // joining changes nothing for either, nor where the others' bits grant as much. Joining
    // root's group is no advice to give; a group without a name cannot be joined.
    const bool joiningHelps = groupMay && !othersMay && process.uid != access.uid && !IsInGroup(process, access.gid) &&
                              access.gid != kRootGroup && !access.group.empty();
    if (joiningHelps)
        return Formatted(kGroupHintFormat, access.group.c_str(), access.group.c_str());
    if (ReadsAndWrites(mode, kOwnerShift) && !groupMay && !othersMay)
        return Formatted(kOwnerOnlyFormat, access.owner.c_str(), access.owner.c_str(), group.c_str(), mode);
    return Formatted(kOwnershipFormat, access.owner.c_str(), group.c_str(), mode);
}

std::vector<char> NameBuffer(int limitName)
{
    const long size = ::sysconf(limitName);
    return std::vector<char>(static_cast<std::size_t>(size > 0 ? size : kNameBufferFallback));
}

// Owner, group and mode of a device file, when it can be looked at.
std::optional<DeviceAccess> ReadDeviceAccess(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    DeviceAccess access;
    access.uid = info.st_uid;
    access.gid = info.st_gid;
    access.mode = info.st_mode & kPermissionBits;
    access.owner = std::to_string(info.st_uid);
    std::vector<char> buffer = NameBuffer(_SC_GETPW_R_SIZE_MAX);
    passwd user{};
    passwd* foundUser = nullptr;
    if (::getpwuid_r(info.st_uid, &user, buffer.data(), buffer.size(), &foundUser) == 0 && foundUser != nullptr &&
        foundUser->pw_name != nullptr)
        access.owner = foundUser->pw_name;
    buffer = NameBuffer(_SC_GETGR_R_SIZE_MAX);
    group entry{};
    group* foundGroup = nullptr;
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &foundGroup) == 0 && foundGroup != nullptr &&
        foundGroup->gr_name != nullptr)
        access.group = foundGroup->gr_name;
    return access;
}

// The process's effective user and groups, as the kernel weighs them when it opens a file.
ProcessIdentity CurrentProcessIdentity()
{
    ProcessIdentity process;
    process.uid = ::geteuid();
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        const int read = ::getgroups(count, groups.data());
        if (read > 0)
            process.groups.assign(groups.begin(), groups.begin() + read);
    }
    // getgroups may leave the effective group out.
    process.groups.push_back(::getegid());
    return process;
}

} // namespace

std::string DescribePortOpenFailure(const std::string& portName, const std::string& device, int error,
                                    const std::optional<DeviceAccess>& access, const ProcessIdentity& process)
{
    if (device.empty())
        return portName + ": " + kNoDeviceText;
    const std::string subject = portName + " (" + device + ")";
    switch (error) {
    case ENOENT: return subject + " " + kMissingText;
    case EBUSY: return subject + " " + kBusyText;
    case ENOTTY: return subject + " " + kNotSerialText;
    case EACCES:
    case EPERM:
        return subject + ": " + std::strerror(error) + (access ? PermissionAdvice(*access, process) : std::string());
    default: return subject + ": " + std::strerror(error);
    }
}

std::string DescribePortOpenFailure(const std::string& portName, int error)
{
    const std::string device = ResolvePortDevice(portName);
    return DescribePortOpenFailure(portName, device, error, device.empty() ? std::nullopt : ReadDeviceAccess(device),
                                   CurrentProcessIdentity());
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
