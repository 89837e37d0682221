// The per-user profile and the port map read from it. The test main points
// XDG_CONFIG_HOME at a private folder before Qt starts.

#include "ui/profile.h"

#include "gui_test_support.h"

#include "platform/port_map.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSettings>
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

// A value that the technician wrote into the file by hand, without the quotes that a comma
// would otherwise need, reads back as one text, character for character.
TEST(Profile, HandWrittenValueWithCommasReadsBackWhole)
{
    struct HandWritten {
        const char* line;
        QString value;
    };
    const HandWritten cases[] = {
        {"LastLoadMainConfigFile=/tmp/a,b,c.QV_BTP_CFG", "/tmp/a,b,c.QV_BTP_CFG"},
        {"LastLoadMainConfigFile=/tmp/gate 7, desk 2.QV_BTP_CFG", "/tmp/gate 7, desk 2.QV_BTP_CFG"},
        {"LastLoadMainConfigFile=/tmp/a ,  b.QV_BTP_CFG", "/tmp/a ,  b.QV_BTP_CFG"},
        {"LastLoadMainConfigFile=/tmp/a,,b.QV_BTP_CFG", "/tmp/a,,b.QV_BTP_CFG"},
        // Quotes and backslash escapes read as QSettings reads them.
        {"LastLoadMainConfigFile=/tmp/\"gate, 7\",desk\\2.QV_BTP_CFG", "/tmp/gate, 7,desk\\2.QV_BTP_CFG"},
        {"PortConnect=COM3, COM4", "COM3, COM4"},
        {"PortConnect=\"COM3, COM4\"", "COM3, COM4"},
        {"PortConnect=COM3", "COM3"},
    };
    const gui_test::ScopedProfileFolder folder;
    const QString file = QSettings(QSettings::NativeFormat, QSettings::UserScope, ui::kProfileOrganisation,
                                   ui::kProgramName).fileName();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    for (const HandWritten& c : cases) {
        SCOPED_TRACE(c.line);
        QFile conf(file);
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
        conf.write(QByteArray("[Settings]\n") + c.line + '\n');
        conf.close();
        const QString key = QString::fromLatin1(c.line).section(u'=', 0, 0);
        EXPECT_EQ(ui::GetProfileString("Settings", key), c.value);
    }
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
