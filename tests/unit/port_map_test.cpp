// Which device stands behind a port name: the conventional Linux devices of COM1..COM96
// and the entries of a port map (a device path or a virtual line).
#include "platform/port_map.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

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

} // namespace
