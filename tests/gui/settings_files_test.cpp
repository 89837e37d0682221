// Configuration files: what Save To File writes, what Load From File accepts, every message
// either of them shows, and that a save never leaves a broken file behind.

#include "settings_expected_records.h"

#include "comms/message_parser.h"
#include "ui/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace settings_test {
namespace {

constexpr int kSaveToFile = 1004;
constexpr int kLoadFromFile = 1005;

// A stored message: flags 0, direction 0.
std::string FileFrame(std::uint8_t command, const std::string& record)
{
    std::string frame;
    return CQVMessageParser::BuildMessage(frame, 0, 0, command, record);
}

std::string ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString Profile(const char* name)
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Corvandel", "Jetvane")
        .value(QString("Settings/") + name)
        .toString();
}

class SettingsFiles : public SettingsDialogTest {
protected:
    QString PathOf(const QString& name) const { return QDir(folder.path()).filePath(name); }
    QString Write(const QString& name, const std::string& bytes) const
    {
        QFile file(PathOf(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return PathOf(name);
    }
    // Saves through the dialog's button into path; returns the message shown.
    QString Save(const QString& path)
    {
        prompts.AnswerFileDialog(path);
        prompts.AnswerMessageBox(ui::IDOK);
        dialog->GetButton(kSaveToFile).Click();
        return LastMessage();
    }
    QString Load(const QString& path)
    {
        prompts.AnswerFileDialog(path);
        prompts.AnswerMessageBox(ui::IDOK);
        dialog->GetButton(kLoadFromFile).Click();
        return LastMessage();
    }
    QString LastMessage() const
    {
        return prompts.MessageBoxes().empty() ? QString() : prompts.MessageBoxes().back().text;
    }

    QTemporaryDir folder;
};

TEST_F(SettingsFiles, EachDialogSavesOneStoredFrameOfItsRecord)
{
    struct SavedCase {
        const char* name;
        std::function<void()> open;
        std::string expected;
    };
    const SavedCase cases[] = {
        {"a.QV_BPP_CFG", [this] { Open<CJetvaneSettingsBPPDlg>(); }, FileFrame(0x10, BppOpeningRecord(false) + "q\x7F")},
        {"a.QV_BTP_CFG", [this] { Open<CJetvaneSettingsBTPDlg>(); }, FileFrame(0x10, BtpOpeningRecord(false) + "q\x7F")},
        {"a.QV_EEPROM_CFG", [this] { Open<CJetvaneEEPROMSettingsDlg>(); }, FileFrame(0x12, kEepromDefaultsRecord)},
    };
    for (const SavedCase& c : cases) {
        SCOPED_TRACE(c.name);
        c.open();
        EXPECT_EQ(Save(PathOf(c.name)), "Saved");
        EXPECT_EQ(ReadBytes(PathOf(c.name)), c.expected);
        EXPECT_EQ(prompts.MessageBoxes().back().type, ui::MB_OK | ui::MB_ICONINFORMATION);
        EXPECT_TRUE(Enabled(kSaveToFile));
        EXPECT_EQ(Profile("LastLoadConfigPath"), folder.path());
    }
    EXPECT_EQ(Profile("LastLoadBPPConfigFile"), PathOf("a.QV_BPP_CFG"));
    EXPECT_EQ(Profile("LastLoadEEPROMConfigFile"), PathOf("a.QV_EEPROM_CFG"));
}

TEST_F(SettingsFiles, SavedSettingsLoadBackIntoAFreshDialog)
{
    Open<CJetvaneSettingsBTPDlg>(1);
    Choose(1009, "MUSE");
    SetText(1003, "GATE7");
    SetText(1017, "40");
    Choose(1048, "On (5 Voids Max)");
    dialog->CheckDlgButton(1049, true);
    const std::string saved = dialog->BuildSettingsString(false);
    ASSERT_EQ(Save(PathOf("gate.QV_BTP_CFG")), "Saved");

    Open<CJetvaneSettingsBTPDlg>(1);
    EXPECT_EQ(Load(PathOf("gate.QV_BTP_CFG")), "Loaded");
    EXPECT_EQ(dialog->BuildSettingsString(false), saved);
    EXPECT_EQ(Text(1003), "GATE7");
    std::string loaded;
    EXPECT_TRUE(dialog->TakeLoadedConfig(loaded));
    EXPECT_EQ(loaded, ReadBytes(PathOf("gate.QV_BTP_CFG")));
    EXPECT_TRUE(dialog->TakeLoadedConfig(loaded));
    EXPECT_TRUE(loaded.empty());
}

TEST_F(SettingsFiles, TheProposedNameCarriesTheProtocol)
{
    Open<CJetvaneSettingsBPPDlg>();
    prompts.AnswerFileDialog(std::nullopt);
    dialog->GetButton(kSaveToFile).Click();
    ASSERT_EQ(prompts.FileDialogs().size(), 1u);
    const ui::FileDialogRequest& request = prompts.FileDialogs()[0];
    EXPECT_EQ(request.initialFile, "Jetvane_Simple AEA.QV_BPP_CFG");
    EXPECT_EQ(request.filter, "Configuration Files (*.QV_BPP_CFG)|*.QV_BPP_CFG||");
    EXPECT_EQ(request.defaultExtension, "QV_BPP_CFG");
    EXPECT_TRUE(prompts.MessageBoxes().empty());

    ui::WriteProfileString("Settings", "LastLoadConfigPath", folder.path());
    Open<CJetvaneEEPROMSettingsDlg>();
    prompts.AnswerFileDialog(std::nullopt);
    dialog->GetButton(kLoadFromFile).Click();
    EXPECT_EQ(prompts.FileDialogs().back().initialFile, PathOf("Jetvane.QV_EEPROM_CFG"));
    EXPECT_EQ(prompts.FileDialogs().back().flags & ui::OFN_FILEMUSTEXIST, ui::OFN_FILEMUSTEXIST);
}

TEST_F(SettingsFiles, LoadingTellsWhatWentWrong)
{
    const std::string good = FileFrame(0x10, BtpOpeningRecord(false) + "q\x7F");
    std::string damaged = good;
    damaged.back() = static_cast<char>(damaged.back() ^ 0x01);
    QDir(folder.path()).mkdir("folder.QV_BTP_CFG");
    QFile::link(PathOf("nowhere"), PathOf("dangling.QV_BTP_CFG"));
    // Longer than a 32-bit length can tell (sparse: it takes no room).
    QFile huge(PathOf("huge.QV_BTP_CFG"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize((qint64{1} << 32) + 1));
    huge.close();
    struct LoadCase {
        const char* what;
        QString path;
        const char* message;
    };
    const LoadCase cases[] = {
        {"other family", Write("a.QV_BPP_CFG", good), "Invalid device type"},
        {"no extension", Write("QV_BTP_CFG", good), "Invalid device type"},
        {"missing file", PathOf("gone.QV_BTP_CFG"), "Unable to open file to read"},
        {"a folder", PathOf("folder.QV_BTP_CFG"), "Unable to open file to read"},
        {"empty file", Write("empty.QV_BTP_CFG", {}), "No data to read from file"},
        {"damaged CRC", Write("crc.QV_BTP_CFG", damaged), "Unable to process the configuration."},
        {"other command", Write("cmd.QV_BTP_CFG", FileFrame(0x12, kEepromDefaultsRecord)),
         "Unable to process the configuration."},
        {"bytes before the frame", Write("lead.QV_BTP_CFG", "junk\x09" + good), "Loaded"},
        {"lower case and a blank", Write("low.qv_btp_cfg ", good), "Loaded"},
        {"link to nowhere", PathOf("dangling.QV_BTP_CFG"), "Unable to open file to read"},
        {"too long to count", PathOf("huge.QV_BTP_CFG"), "Unable to load configuration from file"},
        {"blanks and accents", Write("Zürich gate 7.QV_BTP_CFG", good), "Loaded"},
        {"mixed-case folder", Write("Mixed.Qv_Btp_Cfg", good), "Loaded"},
    };
    Open<CJetvaneSettingsBTPDlg>();
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Load(c.path), c.message);
        EXPECT_TRUE(Enabled(kLoadFromFile));
    }
    // The path is remembered as it was chosen.
    EXPECT_EQ(Profile("LastLoadBTPConfigFile"), PathOf("Mixed.Qv_Btp_Cfg"));
}

TEST_F(SettingsFiles, SavingReplacesTheFileOrLeavesTheOldOneWhole)
{
    Open<CJetvaneEEPROMSettingsDlg>();
    const QString path = Write("keep.QV_EEPROM_CFG", "old contents");
    EXPECT_EQ(Save(path), "Saved");
    EXPECT_EQ(ReadBytes(path), FileFrame(0x12, kEepromDefaultsRecord));

    // A link is followed: the file it names is replaced, the link stays.
    const QString link = PathOf("link.QV_EEPROM_CFG");
    ASSERT_TRUE(QFile::link(PathOf("target.QV_EEPROM_CFG"), link));
    EXPECT_EQ(Save(link), "Saved");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadBytes(PathOf("target.QV_EEPROM_CFG")), FileFrame(0x12, kEepromDefaultsRecord));

    // A write that the system cuts short (as a full disk would) keeps the old file.
    Write("keep.QV_EEPROM_CFG", "old contents");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{20, limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const QString message = Save(path);
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(message, "Unable to create file to save");
    EXPECT_EQ(ReadBytes(path), "old contents");
    EXPECT_EQ(QDir(folder.path()).entryList({"keep.*"}, QDir::Files), QStringList{"keep.QV_EEPROM_CFG"});

    // A file that may not be written is not replaced, as opening it for writing would fail;
    // root may open it, and saves.
    const QString locked = Write("locked.QV_EEPROM_CFG", "old contents");
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (geteuid() != 0) {
        EXPECT_EQ(Save(locked), "Unable to create file to save");
        EXPECT_EQ(ReadBytes(locked), "old contents");
    } else {
        EXPECT_EQ(Save(locked), "Saved");
    }

    // Nothing can be created in a read-only folder, nor over a folder.
    const QString readOnly = PathOf("locked");
    QDir(folder.path()).mkdir("locked");
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (geteuid() != 0) { // root writes anyway
        EXPECT_EQ(Save(readOnly + "/x.QV_EEPROM_CFG"), "Unable to create file to save");
    }
    QDir(folder.path()).mkdir("dir.QV_EEPROM_CFG");
    EXPECT_EQ(Save(PathOf("dir.QV_EEPROM_CFG")), "Unable to create file to save");
    EXPECT_TRUE(Enabled(kSaveToFile));
}

} // namespace
} // namespace settings_test
