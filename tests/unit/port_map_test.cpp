// Which device stands behind a port name: the conventional Linux devices of COM1..COM96
// and the entries of a port map (a device path or a virtual line).
#include "platform/port_map.h"
#include "platform/serial_device.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <grp.h>
#include <map>
#include <pwd.h>
#include <utility>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class MapSource final : public platform::PortMapSource {
public:
    MapSource() { previous_ = platform::SetPortMapSource(this); }
    ~MapSource() override { platform::SetPortMapSource(previous_); }

    std::optional<std::string> Lookup(const std::string& key) const override
    {
        const auto it = entries.find(key);
        if (it == entries.end())
            return std::nullopt;
        return it->second;
    }

    std::map<std::string, std::string> entries;

private:
    platform::PortMapSource* previous_ = nullptr;
};

TEST(PortMapDefaults, SerialPortsComeFirst)
{
    EXPECT_EQ(platform::DefaultDeviceForPort(1), "/dev/ttyS0");
    EXPECT_EQ(platform::DefaultDeviceForPort(32), "/dev/ttyS31");
}

TEST(PortMapDefaults, UsbAdaptersFollow)
{
    EXPECT_EQ(platform::DefaultDeviceForPort(33), "/dev/ttyUSB0");
    EXPECT_EQ(platform::DefaultDeviceForPort(64), "/dev/ttyUSB31");
}

TEST(PortMapDefaults, ModemClassDevicesComeLast)
{
    EXPECT_EQ(platform::DefaultDeviceForPort(65), "/dev/ttyACM0");
    EXPECT_EQ(platform::DefaultDeviceForPort(96), "/dev/ttyACM31");
}

TEST(PortMapDefaults, HigherAndZeroPortsHaveNoDevice)
{
    EXPECT_EQ(platform::DefaultDeviceForPort(97), "");
    EXPECT_EQ(platform::DefaultDeviceForPort(255), "");
    EXPECT_EQ(platform::DefaultDeviceForPort(0), "");
}

TEST(PortMapResolve, NormalisedNameWithoutEntryGivesTheDefault)
{
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM1"), "/dev/ttyS0");
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM33"), "/dev/ttyUSB0");
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM97"), "");
}

TEST(PortMapResolve, NamesThatAreNoComPortHaveNoDevice)
{
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\LPT1"), "");
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM"), "");
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM3X"), "");
}

TEST(PortMapResolve, EntryWithDevicePathWins)
{
    MapSource source;
    source.entries["COM3"] = "/dev/ttyUSB7";

    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM3"), "/dev/ttyUSB7");
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM4"), "/dev/ttyS3");
}

TEST(PortMapResolve, EntryCanNameAVirtualLine)
{
    MapSource source;
    source.entries["COM120"] = "virtual:printer";

    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM120"), "virtual:printer");
}

TEST(PortMapResolve, EmptyEntryFallsBackToTheDefault)
{
    MapSource source;
    source.entries["COM2"] = "";

    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM2"), "/dev/ttyS1");
}

TEST(PortMapResolve, RemovingTheSourceRestoresTheDefaults)
{
    {
        MapSource source;
        source.entries["COM1"] = "/dev/ttyUSB3";
        ASSERT_EQ(platform::ResolvePortDevice("\\\\.\\COM1"), "/dev/ttyUSB3");
    }
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM1"), "/dev/ttyS0");
}

// Why a port could not be opened, as a technician reads it: the device behind the port and
// what was wrong with it; for a device the user may not open, the group that owns it.
TEST(PortOpenFailure, NamesTheDeviceAndWhatWasWrong)
{
    MapSource source;
    source.entries["COM7"] = "/dev/ttyUSB6";
    char device[] = "/tmp/jetvane-port-XXXXXX";
    const int fd = mkstemp(device);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchmod(fd, 0640), 0);
    source.entries["COM8"] = device;
    struct stat info {};
    ASSERT_EQ(fstat(fd, &info), 0);
    const group* owningGroup = getgrgid(info.st_gid);
    ASSERT_NE(owningGroup, nullptr);
    const passwd* owner = getpwuid(info.st_uid);
    ASSERT_NE(owner, nullptr);
    const std::string ownerName = owner->pw_name;

    EXPECT_EQ(platform::DescribePortOpenFailure("COM7", ENOENT), "COM7 (/dev/ttyUSB6) does not exist");
    EXPECT_EQ(platform::DescribePortOpenFailure("COM7", EBUSY), "COM7 (/dev/ttyUSB6) is in use by another program");
    EXPECT_EQ(platform::DescribePortOpenFailure("COM7", ENOTTY), "COM7 (/dev/ttyUSB6) is not a serial port");
    EXPECT_EQ(platform::DescribePortOpenFailure("COM300", ENOENT), "COM300: no device stands behind it");
    // The file's owner, group and mode as the device's: its group may only read it. Root,
    // which the bits never refuse, is told only whose it is.
    const std::string ownership = ownerName + ":" + owningGroup->gr_name;
    EXPECT_EQ(platform::DescribePortOpenFailure("COM8", EACCES),
              "COM8 (" + std::string(device) + "): Permission denied; " +
                  (geteuid() == 0 ? "it belongs to " + ownership + ", mode 640"
                                  : "only its owner, " + ownerName + ", may open it (" + ownership + ", mode 640)"));
    // The test owns the file, so the group's bits do not apply to it: no group to join.
    ASSERT_EQ(fchmod(fd, 0660), 0);
    EXPECT_EQ(platform::DescribePortOpenFailure("COM8", EACCES), "COM8 (" + std::string(device) +
                                                                     "): Permission denied; it belongs to " + ownerName +
                                                                     ":" + owningGroup->gr_name + ", mode 660");
    close(fd);
    unlink(device);
}

// The advice for a device the user may not open: a group to join only where joining it
// would help; else who may open it. EPERM reads as EACCES does.
TEST(PortOpenFailure, AdvisesAGroupOnlyWhereJoiningItWouldHelp)
{
    // A technician's account in none of the devices' groups, the same account once it is in
    // dialout (gid 20), nobody (uid 65534), who owns some of the devices below, and root.
    const platform::ProcessIdentity technician{1000, {1000, 24}};
    const platform::ProcessIdentity member{1000, {1000, 20, 24}};
    const platform::ProcessIdentity nobody{65534, {65534}};
    const platform::ProcessIdentity root{0, {0}};
    struct Row {
        const char* owner;
        unsigned uid;
        const char* group;
        unsigned gid;
        unsigned mode;
        const platform::ProcessIdentity& process;
        const char* advice;
    };
    const Row rows[] = {
        {"root", 0, "dialout", 20, 0660, technician, "; members of the group dialout may open it (sudo usermod -aG dialout $USER, then log in again)"},
        {"nobody", 65534, "dialout", 20, 0060, technician, "; members of the group dialout may open it (sudo usermod -aG dialout $USER, then log in again)"},
        // The others' bits already let the technician read and write.
        {"root", 0, "dialout", 20, 0666, technician, "; it belongs to root:dialout, mode 666"},
        {"root", 0, "dialout", 20, 0640, technician, "; only its owner, root, may open it (root:dialout, mode 640)"},
        {"root", 0, "dialout", 20, 0600, technician, "; only its owner, root, may open it (root:dialout, mode 600)"},
        {"root", 0, "tty", 5, 0620, technician, "; only its owner, root, may open it (root:tty, mode 620)"},
        {"root", 0, "root", 0, 0660, technician, "; it belongs to root:root, mode 660"},
        {"root", 0, "root", 0, 0600, technician, "; only its owner, root, may open it (root:root, mode 600)"},
        {"root", 0, "root", 0, 0666, technician, "; it belongs to root:root, mode 666"},
        {"root", 0, "dialout", 20, 0000, technician, "; it belongs to root:dialout, mode 000"},
        {"root", 0, "", 1234, 0660, technician, "; it belongs to root:1234, mode 660"},
        // Already in the group: joining it again changes nothing.
        {"root", 0, "dialout", 20, 0660, member, "; it belongs to root:dialout, mode 660"},
        // The owner's bits apply to the owner, whatever its groups.
        {"nobody", 65534, "dialout", 20, 0060, nobody, "; it belongs to nobody:dialout, mode 060"},
        {"nobody", 65534, "dialout", 20, 0460, nobody, "; it belongs to nobody:dialout, mode 460"},
        {"nobody", 65534, "dialout", 20, 0066, nobody, "; it belongs to nobody:dialout, mode 066"},
        // Root passes the bits: refused, it is refused by something else (a nodev mount, a
        // security module), which neither a group nor the owner answers.
        {"root", 0, "dialout", 20, 0660, root, "; it belongs to root:dialout, mode 660"},
        {"nobody", 65534, "dialout", 20, 0060, root, "; it belongs to nobody:dialout, mode 060"},
        {"nobody", 65534, "dialout", 20, 0600, root, "; it belongs to nobody:dialout, mode 600"},
        {"root", 0, "root", 0, 0600, root, "; it belongs to root:root, mode 600"},
        {"root", 0, "", 1234, 0660, root, "; it belongs to root:1234, mode 660"},
    };
    const std::pair<int, std::string> refusals[] = {{EACCES, "Permission denied"}, {EPERM, "Operation not permitted"}};
    for (const auto& [error, refusal] : refusals) {
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.owner << ":" << row.group << " mode " << std::oct << row.mode
                                              << std::dec << " uid " << row.process.uid << " errno " << error);
            const platform::DeviceAccess access{row.owner, row.uid, row.group, row.gid, row.mode};
            EXPECT_EQ(platform::DescribePortOpenFailure("COM7", "/dev/ttyUSB6", error, access, row.process),
                      "COM7 (/dev/ttyUSB6): " + refusal + row.advice);
        }
        // Nothing known of the device: no advice at all.
        EXPECT_EQ(platform::DescribePortOpenFailure("COM7", "/dev/ttyUSB6", error, std::nullopt, technician),
                  "COM7 (/dev/ttyUSB6): " + refusal);
    }
}

} // namespace
