// The per-user profile and the port map read from it. The test main points
// XDG_CONFIG_HOME at a private folder before Qt starts.

#include "ui/profile.h"

#include "platform/port_map.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace {

TEST(Profile, WrittenValueIsReadBack)
{
    ASSERT_TRUE(ui::WriteProfileString("Settings", "LastLoadFirmwareFile", "/fw/F2QV1_6060.BIN"));
    EXPECT_EQ(ui::GetProfileString("Settings", "LastLoadFirmwareFile"), QString("/fw/F2QV1_6060.BIN"));
}

TEST(Profile, MissingValueGivesTheDefault)
{
    EXPECT_EQ(ui::GetProfileString("Settings", "NeverWritten", "fallback"), QString("fallback"));
    EXPECT_EQ(ui::GetProfileString("Settings", "NeverWritten"), QString());
}

TEST(Profile, ValueWithCommasStaysOneText)
{
    ASSERT_TRUE(ui::WriteProfileString("Settings", "PortConnect", "COM3, COM4"));
    EXPECT_EQ(ui::GetProfileString("Settings", "PortConnect"), QString("COM3, COM4"));
}

TEST(Profile, LivesInTheUsersConfigFolder)
{
    ASSERT_TRUE(ui::WriteProfileString("Settings", "Marker", "1"));
    const QString file = QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Corvandel/Jetvane.conf");
    EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
}

TEST(ProfilePortMap, PortsSectionMapsAPortToItsDevice)
{
    ASSERT_TRUE(ui::WriteProfileString("Ports", "COM3", "/dev/ttyUSB0"));
    ASSERT_TRUE(ui::WriteProfileString("Ports", "COM7", "virtual:printer"));
    const ui::ProfilePortMapSource source;
    EXPECT_EQ(source.Lookup("COM3"), std::optional<std::string>("/dev/ttyUSB0"));
    EXPECT_EQ(source.Lookup("COM4"), std::nullopt);
}

TEST(ProfilePortMap, InstalledSourceResolvesPortNames)
{
    ASSERT_TRUE(ui::WriteProfileString("Ports", "COM9", "virtual:bench"));
    ui::InstallProfilePortMap();
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM9"), "virtual:bench");
    EXPECT_EQ(platform::ResolvePortDevice("\\\\.\\COM2"), platform::DefaultDeviceForPort(2));
    platform::SetPortMapSource(nullptr);
}

} // namespace
