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
#include <QTemporaryFile>

#include <csignal>
#include <sys/resource.h>

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

// Values that a technician wrote into the file by hand, each once without a comma and once
// with one. Both read as QSettings reads a value (its escapes, its quotes, no comment, no
// blanks at either end); where QSettings would split the one with a comma into a list, the
// comma stays in it, and so do the blanks around it.
struct HandWritten {
    const char* noComma;
    const char* readsWithout;
    const char* withComma;
    const char* readsWith;
};

const HandWritten kHandWritten[] = {
    {R"(/tmp/abc.QV_BTP_CFG)", "/tmp/abc.QV_BTP_CFG", //
     R"(/tmp/a,b,c.QV_BTP_CFG)", "/tmp/a,b,c.QV_BTP_CFG"},
    {R"(/tmp/ab.QV_BTP_CFG)", "/tmp/ab.QV_BTP_CFG", //
     R"(/tmp/a,,b.QV_BTP_CFG)", "/tmp/a,,b.QV_BTP_CFG"},
    {R"(/tmp/gate 7 desk 2.QV_BTP_CFG)", "/tmp/gate 7 desk 2.QV_BTP_CFG", //
     R"(/tmp/gate 7, desk 2.QV_BTP_CFG)", "/tmp/gate 7, desk 2.QV_BTP_CFG"},
    {R"(/tmp/a   b.QV_BTP_CFG)", "/tmp/a   b.QV_BTP_CFG", //
     R"(/tmp/a ,  b.QV_BTP_CFG)", "/tmp/a ,  b.QV_BTP_CFG"},
    {"/tmp/a\t\tb.QV_BTP_CFG", "/tmp/a\t\tb.QV_BTP_CFG", //
     "/tmp/a\t,\tb.QV_BTP_CFG", "/tmp/a\t,\tb.QV_BTP_CFG"},
    {R"(   /tmp/gate 7 desk 2.QV_BTP_CFG   )", "/tmp/gate 7 desk 2.QV_BTP_CFG", //
     R"(   /tmp/gate 7 , desk 2.QV_BTP_CFG   )", "/tmp/gate 7 , desk 2.QV_BTP_CFG"},
    {R"(COM3)", "COM3", R"(COM3,)", "COM3,"},
    {R"(COM3 COM4)", "COM3 COM4", R"(COM3, COM4)", "COM3, COM4"},
    // A tab next to a comma at either end stays, as a blank does; without the comma it is a
    // blank at the end, which QSettings drops.
    {"COM3\t", "COM3", "COM3,\t", "COM3,\t"},
    {"COM3\t", "COM3", "COM3\t,", "COM3\t,"},
    {"\tCOM3", "COM3", ",\tCOM3", ",\tCOM3"},
    {"\tCOM3", "COM3", "\t,COM3", "\t,COM3"},
    {R"("COM3 COM4")", "COM3 COM4", R"("COM3, COM4")", "COM3, COM4"},
    // Escapes: octal, hexadecimal, named; next to the comma as well.
    {R"(/tmp/desk\2.QV_BTP_CFG)", "/tmp/desk\x02.QV_BTP_CFG", //
     R"(/tmp/a,desk\2.QV_BTP_CFG)", "/tmp/a,desk\x02.QV_BTP_CFG"},
    {R"(/tmp/caf\xe9.QV_BTP_CFG)", "/tmp/caf\xC3\xA9.QV_BTP_CFG", //
     R"(/tmp/a,caf\xe9.QV_BTP_CFG)", "/tmp/a,caf\xC3\xA9.QV_BTP_CFG"},
    {R"(/tmp/gate\t7\\desk.QV_BTP_CFG)", "/tmp/gate\t7\\desk.QV_BTP_CFG", //
     R"(/tmp/a,gate\t7\\desk.QV_BTP_CFG)", "/tmp/a,gate\t7\\desk.QV_BTP_CFG"},
    {R"(/tmp/desk\x41\x42.QV_BTP_CFG)", "/tmp/deskAB.QV_BTP_CFG", //
     R"(/tmp/desk\x41,\x42.QV_BTP_CFG)", "/tmp/deskA,B.QV_BTP_CFG"},
    // A backslash makes an escape of the comma after it, and that escape reads as nothing.
    {R"(/tmp/gate\,7.QV_BTP_CFG)", "/tmp/gate7.QV_BTP_CFG", //
     R"(/tmp/a,gate\,7.QV_BTP_CFG)", "/tmp/a,gate7.QV_BTP_CFG"},
    // A comment after the value.
    {R"(/tmp/desk 2.QV_BTP_CFG ; gate 7)", "/tmp/desk 2.QV_BTP_CFG", //
     R"(/tmp/a, desk 2.QV_BTP_CFG ; gate 7)", "/tmp/a, desk 2.QV_BTP_CFG"},
    // Quotes around a part; QSettings drops the blanks after a closing quote.
    {R"(/tmp/"gate;7"/desk.QV_BTP_CFG)", "/tmp/gate;7/desk.QV_BTP_CFG", //
     R"(/tmp/a,"gate;7"/desk.QV_BTP_CFG)", "/tmp/a,gate;7/desk.QV_BTP_CFG"},
    {R"(/tmp/"gate, 7"desk\2.QV_BTP_CFG)", "/tmp/gate, 7desk\x02.QV_BTP_CFG", //
     R"(/tmp/"gate, 7",desk\2.QV_BTP_CFG)", "/tmp/gate, 7,desk\x02.QV_BTP_CFG"},
    {R"("/tmp/gate 7"  "desk 2.QV_BTP_CFG")", "/tmp/gate 7desk 2.QV_BTP_CFG", //
     R"("/tmp/gate 7" , "desk 2.QV_BTP_CFG")", "/tmp/gate 7 , desk 2.QV_BTP_CFG"},
    // A line continued by a backslash at its end.
    {"/tmp/gate 7\\\n desk 2.QV_BTP_CFG", "/tmp/gate 7 desk 2.QV_BTP_CFG", //
     "/tmp/gate 7,\\\n desk 2.QV_BTP_CFG", "/tmp/gate 7, desk 2.QV_BTP_CFG"},
    // QSettings reads a part that begins with '@' as a value of its own kind.
    {R"(@gate 7 desk 2.QV_BTP_CFG)", "@gate 7 desk 2.QV_BTP_CFG", //
     R"(@gate 7,desk 2.QV_BTP_CFG)", "@gate 7,desk 2.QV_BTP_CFG"},
};

// The profile file of a private folder, its folder made.
QString PrivateProfileFile()
{
    const QString file = QSettings(QSettings::NativeFormat, QSettings::UserScope, ui::kProfileOrganisation,
                                   ui::kProgramName).fileName();
    EXPECT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    return file;
}

void WriteProfileFile(const QString& file, const QByteArray& text)
{
    QFile conf(file);
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(conf.write(text), text.size());
}

// Whatever state the temporary folder is in: as found, missing, a file in its place.
TEST(Profile, HandWrittenValueReadsAlikeWithAndWithoutAComma)
{
    const gui_test::ScopedProfileFolder folder;
    const QString file = PrivateProfileFile();
    QTemporaryFile notAFolder;
    ASSERT_TRUE(notAFolder.open());
    for (const QByteArray& temporaryFolder :
         {QByteArray(), QByteArray("/nonexistent/tmp"), notAFolder.fileName().toLocal8Bit()}) {
        SCOPED_TRACE("TMPDIR=" + temporaryFolder.toStdString());
        const gui_test::ScopedVariable tmpdir("TMPDIR", temporaryFolder.isEmpty() ? nullptr : temporaryFolder.data());
        for (const HandWritten& c : kHandWritten) {
            SCOPED_TRACE(c.withComma);
            WriteProfileFile(file, QByteArray("[Settings]\nNoComma=") + c.noComma + "\nWithComma=" + c.withComma + '\n');
            EXPECT_EQ(ui::GetProfileString("Settings", "NoComma"), QString::fromUtf8(c.readsWithout));
            EXPECT_EQ(ui::GetProfileString("Settings", "WithComma"), QString::fromUtf8(c.readsWith));
        }
    }
}

// A file size limit, as a full disk would, cuts every copy short of its end, in memory too:
// the value reads as QSettings gives it, never as a cut copy.
TEST(Profile, ValueWithCommasIsNotCutWhereNoCopyFits)
{
    const gui_test::ScopedProfileFolder folder;
    const QString file = PrivateProfileFile();
    WriteProfileFile(file, "[Settings]\nLastFile=/home/tech/a, b/desk.cfg\n");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    // Each copy is longer than the file, its comma and blank written as escapes.
    const rlimit small{static_cast<rlim_t>(QFileInfo(file).size()), limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const QString value = ui::GetProfileString("Settings", "LastFile");
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(value, QString("/home/tech/a,b/desk.cfg"));
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
