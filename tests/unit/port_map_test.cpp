// Which device stands behind a port name: the conventional Linux devices of COM1..COM96
// and the entries of a port map (a device path or a virtual line).
#include "platform/port_map.h"
#include "platform/serial_device.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <grp.h>
#include <map>
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
    source.entries["COM8"] = device;
    struct stat info {};
    ASSERT_EQ(fstat(fd, &info), 0);
    const group* owner = getgrgid(info.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string ownerName = owner->gr_name;

    EXPECT_EQ(platform::DescribePortOpenFailure("COM7", ENOENT), "COM7 (/dev/ttyUSB6) does not exist");
    EXPECT_EQ(platform::DescribePortOpenFailure("COM7", EBUSY), "COM7 (/dev/ttyUSB6) is in use by another program");
    EXPECT_EQ(platform::DescribePortOpenFailure("COM7", ENOTTY), "COM7 (/dev/ttyUSB6) is not a serial port");
    EXPECT_EQ(platform::DescribePortOpenFailure("COM300", ENOENT), "COM300: no device stands behind it");
    EXPECT_EQ(platform::DescribePortOpenFailure("COM8", EACCES),
              "COM8 (" + std::string(device) + "): Permission denied; members of the group " + ownerName +
                  " may open it (sudo usermod -aG " + ownerName + " $USER, then log in again)");
    close(fd);
    unlink(device);
}

} // namespace
