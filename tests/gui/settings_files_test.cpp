// Configuration files: what Save To File writes, what Load From File accepts, every message
// either of them shows, and that a save never leaves a broken file behind.

#include "settings_expected_records.h"

#include "comms/message_parser.h"
#include "settings/settings_definitions.h"
#include "ui/profile.h"
#include "ui/text.h"
#include "tests/support/settings_file_families.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <iterator>
#include <numeric>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace settings_test {
namespace {

using gui_test::ReadBytes;

constexpr int kSaveToFile = 1004;
constexpr int kLoadFromFile = 1005;

// A stored message: flags 0, direction 0.
std::string FileFrame(std::uint8_t command, const std::string& record)
{
    std::string frame;
    return CQVMessageParser::BuildMessage(frame, 0, 0, command, record);
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
    // Everything a technician can see of the dialog.
    QStringList Seen() const
    {
        QStringList state{dialog->GetWindowText(), dialog->Model(), dialog->SerialNumber(), dialog->ProtocolText()};
        for (const SettingDescriptor& row : dialog->Definition().tables.settings) {
            QWidget* control = dialog->GetDlgItem(row.controlId).Widget();
            state << QString::number(row.controlId) << Text(row.controlId) << Entries(row.controlId).join('|')
                  << QString::number(Checked(row.controlId)) << QString::number(Visible(row.controlId))
                  << QString::number(Enabled(row.controlId)) << control->palette().color(QPalette::Text).name();
        }
        return state;
    }
    // Save To File and the update buttons each refuse to write: one message, the focus on the
    // control, no file dialog; nothing is sent and the dialog stays open.
    void ExpectWritesRefused(int control, const QString& message, std::vector<int> updates = {1000, 1001},
                             std::uint8_t command = 0x10)
    {
        parent.messages.clear();
        const std::size_t sent = FramesWithCommand(command).size();
        updates.insert(updates.begin(), kSaveToFile);
        for (const int button : updates) {
            SCOPED_TRACE(button);
            dialog->GotoDlgCtrl(1002);
            const std::size_t asked = prompts.FileDialogs().size();
            const std::size_t told = prompts.MessageBoxes().size();
            prompts.AnswerMessageBox(ui::IDOK);
            dialog->GetButton(button).Click();
            EXPECT_EQ(prompts.MessageBoxes().size(), told + 1);
            EXPECT_EQ(LastMessage(), message);
            EXPECT_EQ(prompts.FileDialogs().size(), asked);
            EXPECT_EQ(dialog->GetFocusedDlgItem(), control);
        }
        EXPECT_EQ(FramesWithCommand(command).size(), sent);
        EXPECT_TRUE(parent.messages.empty());
        EXPECT_TRUE(dialog->IsWindowVisible());
        EXPECT_EQ(dialog->Result(), 0);
    }
    // Reads a record as the printer reports it, or from a file that holds it.
    bool Read(const std::string& record, bool fromFile)
    {
        if (!fromFile)
            return dialog->SetDeviceSettings(record, &connection, false);
        const QString name = "read." + ui::Text(dialog->Definition().file.extension);
        return Load(Write(name, FileFrame(0x10, record))) == "Loaded";
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
    QFile::link(PathOf("nowhere"), PathOf("dangling.QV_BTP_CFG"));
    for (const char* extension : {"QV_BTP_CFG", "QV_BPP_CFG"}) {
        QDir(folder.path()).mkdir(QString("folder.") + extension);
        // Longer than a 32-bit length can tell (sparse: it takes no room).
        QFile huge(PathOf(QString("huge.") + extension));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize((qint64{1} << 32) + 1));
    }
    struct LoadCase {
        const char* what;
        QString path;
        const char* message;
        bool remembered; // the profile takes the path (and its folder)
    };
    const LoadCase cases[] = {
        {"other family", Write("a.QV_BPP_CFG", good), "Invalid device type", false},
        {"no extension", Write("QV_BTP_CFG", good), "Invalid device type", false},
        // The name is judged before anything else of the file.
        {"other family, empty", Write("empty.QV_BPP_CFG", {}), "Invalid device type", false},
        {"other family, a folder", PathOf("folder.QV_BPP_CFG"), "Invalid device type", false},
        {"other family, too long to count", PathOf("huge.QV_BPP_CFG"), "Invalid device type", false},
        {"other family, damaged CRC", Write("crc.QV_BPP_CFG", damaged), "Invalid device type", false},
        {"other family, other command", Write("cmd.QV_BPP_CFG", FileFrame(0x12, kEepromDefaultsRecord)),
         "Invalid device type", false},
        {"missing file", PathOf("gone.QV_BTP_CFG"), "Unable to open file to read", false},
        {"a folder", PathOf("folder.QV_BTP_CFG"), "Unable to open file to read", false},
        {"empty file", Write("empty.QV_BTP_CFG", {}), "No data to read from file", true},
        {"damaged CRC", Write("crc.QV_BTP_CFG", damaged), "Unable to process the configuration.", true},
        {"other command", Write("cmd.QV_BTP_CFG", FileFrame(0x12, kEepromDefaultsRecord)),
         "Unable to process the configuration.", true},
        {"bytes before the frame", Write("lead.QV_BTP_CFG", "junk\x09" + good), "Loaded", true},
        {"lower case and a blank", Write("low.qv_btp_cfg ", good), "Loaded", true},
        {"link to nowhere", PathOf("dangling.QV_BTP_CFG"), "Unable to open file to read", false},
        {"too long to count", PathOf("huge.QV_BTP_CFG"), "Unable to load configuration from file", true},
        {"blanks and accents", Write("Zürich gate 7.QV_BTP_CFG", good), "Loaded", true},
        {"mixed-case folder", Write("Mixed.Qv_Btp_Cfg", good), "Loaded", true},
    };
    Open<CJetvaneSettingsBTPDlg>();
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.what);
        ui::WriteProfileString("Settings", "LastLoadBTPConfigFile", "earlier");
        ui::WriteProfileString("Settings", "LastLoadConfigPath", "earlier folder");
        EXPECT_EQ(Load(c.path), c.message);
        EXPECT_TRUE(Enabled(kLoadFromFile));
        EXPECT_EQ(Profile("LastLoadBTPConfigFile"), c.remembered ? c.path : "earlier");
        EXPECT_EQ(Profile("LastLoadConfigPath"), c.remembered ? folder.path() : "earlier folder");
    }
    // The path is remembered as it was chosen.
    EXPECT_EQ(Profile("LastLoadBTPConfigFile"), PathOf("Mixed.Qv_Btp_Cfg"));
}

// A file chosen by a relative name is the one in the folder the run started in, and the
// profile remembers it, and its folder, by absolute paths, as Send Config File does.
TEST_F(SettingsFiles, AFileChosenByARelativeNameIsRememberedByItsAbsolutePath)
{
    Open<CJetvaneSettingsBTPDlg>();
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const QString absolute = QDir::current().absoluteFilePath("rel.QV_BTP_CFG");
    for (const auto& [button, message] : {std::pair{kSaveToFile, "Saved"}, {kLoadFromFile, "Loaded"}}) {
        SCOPED_TRACE(message);
        ui::WriteProfileString("Settings", "LastLoadBTPConfigFile", "earlier");
        prompts.AnswerFileDialog(QString("rel.QV_BTP_CFG"));
        prompts.AnswerMessageBox(ui::IDOK);
        dialog->GetButton(button).Click();

        EXPECT_EQ(LastMessage(), message);
        EXPECT_EQ(Profile("LastLoadBTPConfigFile"), absolute);
        EXPECT_EQ(Profile("LastLoadConfigPath"), QDir::currentPath());
    }
    ASSERT_TRUE(QDir::setCurrent(started));
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

    // A file that the user may not write is not replaced, although the folder would let the
    // user put another file in its place (root acts as such a user in a child process); root
    // may write it, and saves.
    const QString locked = Write("locked.QV_EEPROM_CFG", "old contents");
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0777), 0);
    const std::optional<std::string> userSaves = gui_test::RunUnprivileged(
        [&] { return (Save(PathOf("free.QV_EEPROM_CFG")) + '|' + Save(locked)).toStdString(); });
    EXPECT_EQ(userSaves, "Saved|Unable to create file to save");
    EXPECT_EQ(ReadBytes(locked), "old contents");
    if (geteuid() == 0) {
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

// ---- numbers that may not be written, and loads that fail

// A number nobody could write (typed, or reported by the printer beyond its field's range)
// stops Save To File and every update: the message names the field and its range, the focus
// goes to it, and nothing is written or sent until it holds a number of its range.
TEST_F(SettingsFiles, SaveAndUpdatesRefuseAFieldWithoutANumberOfItsRange)
{
    struct RefusalCase {
        const char* what;
        std::function<void()> open;
        int control;
        std::string reported; // a record from the printer; empty: typed as text
        QString typed;
        QString message;
        std::vector<int> updates;
        std::uint8_t command;
    };
    const auto bpp = [this] { Open<CJetvaneSettingsBPPDlg>(); };
    const auto btp = [this] { Open<CJetvaneSettingsBTPDlg>(); };
    const auto eeprom = [this] { Open<CJetvaneEEPROMSettingsDlg>(); };
    const char* const width = "Width: the value must be between 1 and 640.";
    const char* const cutLine = "Cut Line Offset: the value must be between -200 and 200.";
    const char* const fixedLen = "Fixed Len: the value must be between 1 and 999.";
    const RefusalCase cases[] = {
        {"typed beyond", btp, 1020, {}, "700", width, {1000, 1001}, 0x10},
        {"reported beyond", btp, 1020, Field('}', 0x03, "+700") + kDel, {}, width, {1000, 1001}, 0x10},
        {"reported zero", btp, 1020, Field('}', 0x03, "+0") + kDel, {}, width, {1000, 1001}, 0x10},
        {"lowest 32-bit number", eeprom, 1066, Field('|', 0x10, "-2147483648") + kDel, {}, cutLine, {1000}, 0x12},
        {"beyond 32 bits", eeprom, 1066, Field('|', 0x10, "+4294967346") + kDel, {}, cutLine, {1000}, 0x12},
        {"thirty digits", eeprom, 1067, Field('|', 0x13, "+123456789012345678901234567890") + kDel, {},
         "Read Power: the value must be between 0 and 999.", {1000}, 0x12},
        {"Length beyond 32 bits", btp, 1021, Field('}', 0x04, "+99999999999") + kDel, {},
         "Length: the value must be between 0 and 9999.", {1000, 1001}, 0x10},
        {"Start Adjust beyond 32 bits", btp, 1018, Field('}', 0x08, "-99999999999") + kDel, {},
         "Start Adjust: the value must be between -40 and 40.", {1000, 1001}, 0x10},
        {"a sign alone", bpp, 1058, {}, "-", fixedLen, {1000, 1001}, 0x10},
        {"nothing", bpp, 1058, {}, "", fixedLen, {1000, 1001}, 0x10},
        {"a letter", bpp, 1035, {}, "3x", "Cut Pos Adj: the value must be between -30 and 30.", {1000, 1001}, 0x10},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.what);
        c.open();
        if (c.reported.empty())
            SetText(c.control, c.typed);
        else
            ASSERT_TRUE(dialog->SetDeviceSettings(c.reported, &connection, false));
        ExpectWritesRefused(c.control, c.message, c.updates, c.command);
        EXPECT_TRUE(QDir(folder.path()).isEmpty());
    }
}

// Platen Err beyond its range, as a printer reported it, stops the updates, which send it,
// and not Save To File, whose file is built without it.
TEST_F(SettingsFiles, ANumberStopsOnlyWhatWritesIt)
{
    struct WriteCase {
        int button;
        QString message;
    };
    const QString refused = "Platen Err: the value must be between -100 and 100.";
    const WriteCase cases[] = {{kSaveToFile, "Saved"}, {1000, refused}, {1001, refused}};
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.button);
        Open<CJetvaneSettingsBTPDlg>();
        ASSERT_TRUE(dialog->SetDeviceSettings(Field('}', 0x18, "+150") + kDel, &connection, false));
        if (c.button == kSaveToFile)
            prompts.AnswerFileDialog(PathOf("a.QV_BTP_CFG"));
        prompts.AnswerMessageBox(ui::IDOK);
        dialog->GetButton(c.button).Click();
        EXPECT_EQ(LastMessage(), c.message);
    }
    EXPECT_TRUE(FramesWithCommand(0x10).empty());
}

TEST_F(SettingsFiles, AFieldThatCannotBeUsedDoesNotStopASave)
{
    Open<CJetvaneSettingsBTPDlg>();
    SetText(1024, "999"); // Global X Start, hidden below the engineering level
    SetText(1020, "700"); // Width, then disabled
    dialog->EnableDlgItem(1020, false);
    EXPECT_EQ(Save(PathOf("a.QV_BTP_CFG")), "Saved");
}

TEST_F(SettingsFiles, AFileThatFailsToLoadLeavesEveryControlAsItWas)
{
    Open<CJetvaneSettingsBPPDlg>(1);
    dialog->SetTitle("Printer");
    Choose(1009, "FGL");
    SetText(1003, "GATE7");
    SetText(1058, "500");
    SetText(1045, "42");
    dialog->CheckDlgButton(1055, true);
    const QStringList before = Seen();
    ASSERT_EQ(Save(PathOf("before.QV_BPP_CFG")), "Saved");

    // A model, a serial number, a list that offers the other family, the dialog's own family, a
    // protocol, two good fields, and then a value that stops at a lower-case hex digit.
    const std::string faulty = Field('~', 0x14, "4D5256353845") + Field('~', 0x15, "313233") +
                               Field('~', 0x10, "425050425450") + Field('~', 0x03, "+16") + Field('~', 0x01, "+2") +
                               Field('}', 0x0A, "414243") + Field('}', 0x36, "+300") + Field('}', 0x3A, "4a") + kDel;
    EXPECT_EQ(Load(Write("faulty.QV_BPP_CFG", FileFrame(0x10, faulty + "q\x7F"))),
              "Unable to process the configuration.");

    EXPECT_EQ(Seen(), before);
    ASSERT_EQ(Save(PathOf("after.QV_BPP_CFG")), "Saved");
    EXPECT_EQ(ReadBytes(PathOf("after.QV_BPP_CFG")), ReadBytes(PathOf("before.QV_BPP_CFG")));
}

// Settings that name the other family in a device-type field ('~' 0x03: +1 bag-tag, +16
// boarding-pass) make the file that family's, whatever its name: refused, the dialog, the
// profile and the loaded bytes stay as they were. Otherwise the name decides.
TEST_F(SettingsFiles, SettingsOfTheOtherFamilyAreRefusedWhateverTheFileIsCalled)
{
    struct FamilyCase { const char* what; bool bagTagDialog; std::string fields; bool refused; };
    const FamilyCase cases[] = {
        {"boarding-pass settings named bag-tag", true, Field('~', 0x01, "+1") + Field('~', 0x03, "+16"), true},
        {"bag-tag settings named boarding-pass", false, Field('~', 0x03, "+1") + Field('~', 0x01, "+2"), true},
        {"the other family last", true, Field('~', 0x03, "+1") + Field('}', 0x0A, "58") + Field('~', 0x03, "+16"),
         true},
        {"as hexadecimal digits", false, Field('~', 0x03, "31"), true},
        {"the dialog's own family", true, Field('~', 0x03, "+1"), false},
        {"no device-type field", false, Field('~', 0x01, "+2"), false},
        {"a code of no family", true, Field('~', 0x03, "+0"), false},
        {"a negative code", false, Field('~', 0x03, "-1"), false},
        // A DEL as a field's parameter opens no field: the key behind it is that field's value.
        {"behind a DEL parameter", true, Field('}', 0x7F, "~\x03+16"), false},
    };
    for (const FamilyCase& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.bagTagDialog)
            Open<CJetvaneSettingsBTPDlg>();
        else
            Open<CJetvaneSettingsBPPDlg>();
        const char* const lastFile = c.bagTagDialog ? "LastLoadBTPConfigFile" : "LastLoadBPPConfigFile";
        ui::WriteProfileString("Settings", lastFile, "earlier");
        ui::WriteProfileString("Settings", "LastLoadConfigPath", "earlier folder");
        SetText(1003, "GATE7");
        const QStringList before = Seen();
        const std::string record = c.fields + Field('}', 0x0A, "414243") + kDel + "q\x7F";
        const QString path = Write(c.bagTagDialog ? "desk.QV_BTP_CFG" : "gate.QV_BPP_CFG", FileFrame(0x10, record));
        EXPECT_EQ(Load(path), c.refused ? "Invalid device type" : "Loaded");
        EXPECT_EQ(Text(1003), c.refused ? "GATE7" : "ABC");
        if (c.refused) {
            EXPECT_EQ(Seen(), before);
            EXPECT_EQ(Profile("LastLoadConfigPath"), "earlier folder");
        }
        EXPECT_EQ(Profile(lastFile), c.refused ? "earlier" : path);
        EXPECT_EQ(dialog->LoadedConfig(), c.refused ? std::string() : ReadBytes(path));
        EXPECT_TRUE(Enabled(kLoadFromFile));
        EXPECT_TRUE(FramesWithCommand(0x10).empty());
    }
}

// A record that cannot be read through is never applied, so its family is never asked: a
// device-type value followed by other characters breaks the record.
TEST_F(SettingsFiles, ARecordThatBreaksIsNotJudgedByItsFamily)
{
    Open<CJetvaneSettingsBTPDlg>();
    SetText(1003, "GATE7");
    const QStringList before = Seen();
    const QString path =
        Write("desk.QV_BTP_CFG", FileFrame(0x10, Field('~', 0x03, "+16 BPP") + Field('}', 0x0A, "414243") + kDel));

    EXPECT_EQ(Load(path), "Unable to process the configuration.");
    EXPECT_EQ(Seen(), before);
    EXPECT_EQ(Profile("LastLoadBTPConfigFile"), path);
}

// The bag-tag dialog over tables without the serial number's row, as a dialog of other tables:
// that field is passed over as any field without a row is.
const SettingsDialogDefinition& BagTagWithoutSerialNumberDefinition()
{
    static const SettingsDialogDefinition& definition = []() -> const SettingsDialogDefinition& {
        const std::span<const SettingDescriptor> own = BtpSettingsDefinition().tables.settings;
        std::vector<SettingDescriptor> kept;
        std::copy_if(own.begin(), own.end(), std::back_inserter(kept),
                     [](const SettingDescriptor& row) { return !(row.group == '~' && row.parameter == 0x15); });
        return WithSettingsRows(BtpSettingsDefinition(), std::move(kept));
    }();
    return definition;
}

class BagTagWithoutSerialNumberDlg final : public CSettingsTableDlg {
public:
    explicit BagTagWithoutSerialNumberDlg(ui::Dialog* parent)
        : CSettingsTableDlg(BagTagWithoutSerialNumberDefinition(), parent)
    {
    }
};

// A file's settings are judged as the dialog that loads them reads them, with its own rows: a
// serial number that breaks the bag-tag tables' reading (a hex text cut by an 'x') is passed
// over by this dialog, which reads on to the boarding-pass device type behind it.
TEST_F(SettingsFiles, SettingsAreJudgedAsTheLoadingDialogReadsThem)
{
    Open<BagTagWithoutSerialNumberDlg>();
    SetText(1003, "GATE7");
    const std::string record =
        Field('~', 0x15, "31x") + Field('~', 0x03, "+16") + Field('}', 0x0A, "414243") + kDel + "q\x7F";

    EXPECT_EQ(Load(Write("desk.QV_BTP_CFG", FileFrame(0x10, record))), "Invalid device type");
    EXPECT_EQ(Text(1003), "GATE7");
}

// Load From File takes the files that Send Config File sends (tests/support/
// settings_file_families.h), the dialog standing for the printer of its family; a refused
// file changes nothing.
TEST_F(SettingsFiles, LoadFromFileTakesWhatSendConfigFileSends)
{
    for (const test_support::SettingsFileFamilyCase& c : test_support::SettingsFileFamilyCases()) {
        SCOPED_TRACE(c.name);
        if (c.bagTagPrinter)
            Open<CJetvaneSettingsBTPDlg>();
        else
            Open<CJetvaneSettingsBPPDlg>();
        SetText(1003, "GATE7");
        const QStringList before = Seen();
        const bool fits = c.refusal == nullptr;

        EXPECT_EQ(Load(Write(c.fileName, FileFrame(0x10, c.record))), fits ? "Loaded" : "Invalid device type");

        if (fits)
            EXPECT_EQ(Text(1003), "ABC");
        else
            EXPECT_EQ(Seen(), before);
    }
}

// Of several frames, the first of the dialog's command that reads through to its closing DEL
// is applied and decides the file's family; the frames behind it are not looked at.
TEST_F(SettingsFiles, OfSeveralFramesTheOneLoadedIsTheOneJudged)
{
    const std::string bagTagAbc = Field('~', 0x03, "+1") + Field('}', 0x0A, "414243") + kDel;
    const std::string boardingPassXyz = Field('~', 0x03, "+16") + Field('}', 0x0A, "58595A") + kDel;
    const std::string plainDef = Field('}', 0x0A, "444546") + kDel;
    // Stops at the lower-case hex digit: never applied.
    const std::string brokenBoardingPass = Field('~', 0x03, "+16") + Field('}', 0x0A, "4a") + kDel;
    struct FramesCase {
        const char* what;
        std::string first;
        std::string second;
        const char* message;
        const char* hdc; // what control 1003 shows afterwards
    };
    const FramesCase cases[] = {
        {"own family, then the other", bagTagAbc, boardingPassXyz, "Loaded", "ABC"},
        {"own family, then another", bagTagAbc, plainDef, "Loaded", "ABC"},
        {"a broken frame of the other family, then own", brokenBoardingPass, bagTagAbc, "Loaded", "ABC"},
        {"the other family, then own", boardingPassXyz, bagTagAbc, "Invalid device type", "GATE7"},
    };
    for (const FramesCase& c : cases) {
        SCOPED_TRACE(c.what);
        Open<CJetvaneSettingsBTPDlg>();
        SetText(1003, "GATE7");
        const QString path =
            Write("two.QV_BTP_CFG", FileFrame(0x10, c.first + "q\x7F") + FileFrame(0x10, c.second + "q\x7F"));

        EXPECT_EQ(Load(path), c.message);
        EXPECT_EQ(Text(1003), c.hdc);
    }
}

// ---- fields on either side of the protocol

// A record reads the same wherever its protocol stands, from the printer or a file: the
// printer's protocol list, then the protocol and its defaults, then every other field as
// carried, so that a protocol the list leaves out brings no defaults wherever the list stands.
// Of two protocol fields the last one is shown and brings its defaults.
TEST_F(SettingsFiles, FieldsKeepTheirValuesWhereverTheProtocolStands)
{
    struct OrderCase {
        const char* what;
        bool boardingPass;
        std::string protocol, list;
        QString shown, detection;
        std::string earlier = {}; // another protocol, ahead of every field: the last one counts
    };
    // HDC "ABC" and Hold Wait 55, which every protocol's defaults replace; Direction on, which
    // FGL clears; Ack Timeout 100 where SITA has 400; X Start 40, 32 by default.
    const std::string hdc = Field('}', 0x0A, "414243"), holdWait = Field('}', 0x1F, "+55");
    const std::vector<std::string> bagTagFields{hdc, holdWait, Field('~', 0x09, "+100"), Field('}', 0x02, "+40")};
    const std::vector<std::string> boardingFields{hdc, holdWait, Field('~', 0x08, "+1")};
    // SITA and MUSE bring Detection HOLE; a protocol that the printer's list leaves out brings
    // nothing, and Detection stays AUTO. An empty list: none.
    const OrderCase cases[] = {
        {"SITA", false, Field('~', 0x01, "+1"), {}, "SITA", "HOLE"},
        {"SITA listed", false, Field('~', 0x01, "+1"), Field('~', 0x11, "5349544141454120"), "SITA", "HOLE"},
        {"MUSE left out of the list", false, Field('~', 0x01, "+4"), Field('~', 0x11, "53495441"), "4", "AUTO"},
        {"FGL", true, Field('~', 0x01, "+254"), {}, "FGL", "HOLE"},
        {"FGL listed", true, Field('~', 0x01, "+254"), Field('~', 0x12, "4145412046474C20"), "FGL", "HOLE"},
        // FGL would clear Direction, SITA brings HOLE, Simple AEA leaves AUTO.
        {"FGL, then SITA", false, Field('~', 0x01, "+1"), {}, "SITA", "HOLE", Field('~', 0x01, "+254")},
        {"SITA, then Simple AEA", false, Field('~', 0x01, "+2"), {}, "Simple AEA", "AUTO", Field('~', 0x01, "+1")},
        {"Simple AEA, then FGL", true, Field('~', 0x01, "+254"), {}, "FGL", "HOLE", Field('~', 0x01, "+2")},
    };
    for (const OrderCase& c : cases) {
        const std::vector<std::string>& others = c.boardingPass ? boardingFields : bagTagFields;
        QStringList firstSeen;
        std::string firstWritten;
        // The protocol first, in the middle and last; the list behind it, or first.
        for (const std::size_t at : {std::size_t{0}, others.size() / 2, others.size()}) {
            std::vector<std::string> fields = others;
            fields.insert(fields.begin() + static_cast<std::ptrdiff_t>(at), c.protocol);
            fields.insert(at == 0 ? fields.begin() + 1 : fields.begin(), c.list);
            const std::string record = std::accumulate(fields.begin(), fields.end(), c.earlier) + kDel;
            for (const bool fromFile : {false, true}) {
                SCOPED_TRACE(std::string(c.what) + ", protocol at " + std::to_string(at) + (fromFile ? ", file" : ""));
                if (c.boardingPass)
                    Open<CJetvaneSettingsBPPDlg>();
                else
                    Open<CJetvaneSettingsBTPDlg>();
                ASSERT_TRUE(Read(record, fromFile));
                EXPECT_EQ(QStringList({Text(1003), Text(1045), Text(1009), Text(1032)}),
                          QStringList({"ABC", "55", c.shown, c.detection}));
                EXPECT_TRUE(Checked(1029));
                const std::string written = dialog->BuildSettingsString(false);
                for (const std::string& field : others)
                    EXPECT_NE(written.find(field + kDel), std::string::npos) << int(field[2]);
                EXPECT_NE(written.find(c.protocol + kDel), std::string::npos);
                if (firstWritten.empty()) {
                    firstSeen = Seen();
                    firstWritten = written;
                }
                EXPECT_EQ(Seen(), firstSeen);
                EXPECT_EQ(written, firstWritten);
            }
        }
    }
}

// ---- values that name no entry of their drop list

// Whether a control shows some of its text in crimson.
bool ShowsCrimson(QWidget* control)
{
    gui_test::ProcessPendingEvents();
    const QImage image = control->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() > 150 && pixel.green() < 100 && pixel.blue() < 120)
                return true;
        }
    }
    return false;
}

// Whatever record a dialog reads, the file it then saves loads again, into a fresh dialog too,
// and saves to the same bytes; a value that names no entry of its list shows as read, in
// crimson, as one more entry, and comes back as read.
TEST_F(SettingsFiles, WhateverADialogReadsItSavesSoThatItLoadsAndSavesAgainUnchanged)
{
    struct RoundTripCase {
        const char* what;
        std::function<void()> open;
        std::string field; // as read, and as the record written back carries it
        int control;
        QString shown;
        bool unlisted;
        std::string alsoWritten = {};
        std::string record = {}; // as read, where it holds more than the field
    };
    const auto bpp = [this] { Open<CJetvaneSettingsBPPDlg>(); };
    const auto btp = [this] { Open<CJetvaneSettingsBTPDlg>(); };
    const auto eeprom = [this] { Open<CJetvaneEEPROMSettingsDlg>(); };
    // A bag-tag printer that offers SITA alone, and is set to it.
    const std::string sitaOnly = Field('~', 0x11, "53495441");
    const std::string sitaPrinter = sitaOnly + Field('~', 0x01, "+1") + kDel;
    const auto btpSitaOnly = [&, this] { Open<CJetvaneSettingsBTPDlg>(0, &sitaPrinter); };
    // No protocol's overlay: BTP Direction on (FGL clears it), Ack Timeout 0 (SITA 400, MUSE
    // 250); BPP Hold Wait 0 (Simple AEA 10).
    const std::string btpNoOverlay = Field('~', 0x08, "+1") + Field('~', 0x09, "+0");
    const std::string bppNoOverlay = Field('}', 0x1F, "+0") + Field('}', 0x51, "+29");
    const std::string region5 = Field('|', 0x12, "+5");
    const RoundTripCase cases[] = {
        {"Region listed", eeprom, region5, 1069, "[JP] Japan (916,800 kHz-923,400 kHz", false},
        {"Region without entry", eeprom, Field('|', 0x12, "+1"), 1069, "1", true},
        {"Region 10", eeprom, Field('|', 0x12, "+10"), 1069, "10", true},
        {"Region beyond", eeprom, Field('|', 0x12, "+40"), 1069, "40", true},
        {"Black Mark Style", eeprom, Field('|', 0x11, "+0"), 1065, "0", true},
        {"User Mode beyond", btp, Field('~', 0x02, "+11"), 1014, "11", true},
        {"Detection beyond", btp, Field('}', 0x0D, "+8"), 1032, "8", true},
        {"Retries beyond", btp, Field('}', 0x33, "+12"), 1051, "12", true},
        {"Ack Timeout listed", btp, Field('~', 0x09, "+250"), 1010, "250", false},
        {"Ack Timeout between", btp, Field('~', 0x09, "+75"), 1010, "75", true},
        {"Ack Timeout negative", btp, Field('~', 0x09, "-50"), 1010, "-50", true},
        {"Parity lower case", btp, Field('~', 0x05, "6E"), 1013, "n", true},
        {"Parity too long", btp, Field('~', 0x05, "4E4E"), 1013, "NN", true},
        {"opening record", btp, Field('~', 0x09, "+400"), 1010, "400", false, {}, BtpOpeningRecord(false)},
        {"Baud Rate listed", bpp, Field('~', 0x04, "+19200"), 1012, "19200", false},
        {"Baud Rate between", bpp, Field('~', 0x04, "+57600"), 1012, "57600", true},
        {"Parity empty", bpp, Field('~', 0x05, ""), 1013, "", false},
        {"Length code as index", bpp, Field('}', 0x53, "+1"), 1063, "1", true},
        {"Retries at the count", btp, Field('}', 0x33, "+10"), 1051, "10", true},
        {"Data Bits empty", btp, Field('~', 0x06, ""), 1016, "", false},
        // Protocols: a code is no position in the list, and brings no protocol's defaults.
        {"Protocol 3", btp, Field('~', 0x01, "+3"), 1009, "3", true, btpNoOverlay},
        {"Protocol 0", btp, Field('~', 0x01, "+0"), 1009, "0", true, btpNoOverlay},
        {"Protocol left out of the printer's list", btpSitaOnly, Field('~', 0x01, "+2"), 1009, "2", true, btpNoOverlay,
         sitaOnly + Field('~', 0x01, "+2") + kDel},
        {"MUSE left out of the printer's list", btpSitaOnly, Field('~', 0x01, "+4"), 1009, "4", true, btpNoOverlay,
         sitaOnly + Field('~', 0x01, "+4") + kDel},
        {"Protocol before the list", btpSitaOnly, Field('~', 0x01, "+4"), 1009, "4", true, {},
         Field('~', 0x01, "+4") + sitaOnly + kDel},
        {"Protocol 5", bpp, Field('~', 0x01, "+5"), 1009, "5", true, bppNoOverlay},
        {"Protocol beyond 32 bits", bpp, Field('~', 0x01, "+99999999999"), 1009, "99999999999", true, bppNoOverlay},
        {"Protocol negative", bpp, Field('~', 0x01, "-2"), 1009, "-2", true},
        // Paper Type, an edit field with a list: only an entry of exactly the text is taken.
        {"Paper Type in lower case", btp, Field('}', 0x0B, "756E6973746174"), 1015, "unistat", false},
        {"Paper Type in mixed case", btp, Field('}', 0x0B, "41746C6173205061706572"), 1015, "Atlas Paper", false},
        // Numbers beyond 32 bits keep their digits.
        {"Baud Rate beyond 32 bits", bpp, Field('~', 0x04, "+99999999999"), 1012, "99999999999", true},
        {"Baud Rate 2^31", btp, Field('~', 0x04, "+2147483648"), 1012, "2147483648", true},
        {"Ack Timeout 2^31", bpp, Field('~', 0x09, "+2147483648"), 1010, "2147483648", true},
        {"Ack Timeout beyond 32 bits", btp, Field('~', 0x09, "+99999999999"), 1010, "99999999999", true},
        {"Retries beyond 32 bits", btp, Field('}', 0x33, "+99999999999"), 1051, "99999999999", true},
        {"Region 2^31", eeprom, Field('|', 0x12, "+2147483648"), 1069, "2147483648", true},
        {"Region -2^31", eeprom, Field('|', 0x12, "-2147483648"), 1069, "-2147483648", true},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.what);
        c.open();
        const qsizetype entries = Entries(c.control).size();
        ASSERT_TRUE(dialog->SetDeviceSettings(c.record.empty() ? c.field + kDel : c.record, &connection, false));
        EXPECT_EQ(Text(c.control), c.shown);
        EXPECT_EQ(ShowsCrimson(dialog->GetDlgItem(c.control).Widget()), c.unlisted);
        // A value that no entry holds adds one entry; an empty one selects nothing and adds none.
        EXPECT_EQ(Entries(c.control).size(), entries + (c.unlisted ? 1 : 0));
        EXPECT_NE(dialog->BuildSettingsString(false).find(c.field + kDel), std::string::npos);
        EXPECT_NE(dialog->BuildSettingsString(false).find(c.alsoWritten + kDel), std::string::npos);
        const QString first = PathOf("first." + ui::Text(dialog->Definition().file.extension));
        ASSERT_EQ(Save(first), "Saved");

        // Into a fresh dialog whose technician has picked another entry.
        c.open();
        Choose(c.control, Entries(c.control).front());
        EXPECT_EQ(Load(first), "Loaded");
        EXPECT_EQ(Text(c.control), c.shown);
        ASSERT_EQ(Save(PathOf("second")), "Saved");
        EXPECT_EQ(ReadBytes(PathOf("second")), ReadBytes(first));
    }
}

// A text longer than its field, as a printer reported it, shows whole in crimson and stops
// Save To File and the updates; shortened by the technician, it saves as shortened. One too
// short, as reported or loaded, is left out of the file and the update, even typed over and
// erased back to what came, and stops nothing.
TEST_F(SettingsFiles, AReportedTextTooLongStopsWhatWritesItAndOneTooShortIsLeftOut)
{
    struct LongTextCase {
        int parameter, control;
        std::string reported;
        QString shown, refusal; // refusal empty: within the limit
        std::string openingHex, savedHex;
        bool retyped = false; // a letter typed and erased again
        bool fromFile = false;
    };
    const std::string paper = "5249434F4820313330204C41422F4C414D";
    const std::string hdcKey = std::string(1, kDel) + "}\x0A";
    const LongTextCase cases[] = {
        {0x0A, 1003, "414243444546", "ABCDEF", "HDC: the text must be at most 5 characters.", "4355544532",
         "4142434445"},
        {0x0B, 1015, paper + "2058595A", "RICOH 130 LAB/LAM XYZ", "Paper Type: the text must be at most 20 characters.",
         paper, paper + "205859"},
        {0x0A, 1003, "4142434445", "ABCDE", {}, "4355544532", "4142434445"},
        {0x0A, 1003, "", "", {}, hdcKey + "4355544532", ""},
        {0x0A, 1003, "", "", {}, hdcKey + "4355544532", "", true},
        {0x0A, 1003, "", "", {}, hdcKey + "4355544532", "", false, true},
        {0x0B, 1015, "", "", {}, paper, ""},
    };
    for (const LongTextCase& c : cases) {
        SCOPED_TRACE(c.shown.toStdString() + (c.retyped ? ", retyped" : "") + (c.fromFile ? ", from a file" : ""));
        Open<CJetvaneSettingsBTPDlg>();
        ASSERT_TRUE(Read(Field('}', c.parameter, c.reported) + kDel, c.fromFile));
        QWidget* control = dialog->GetDlgItem(c.control).Widget();
        EXPECT_EQ(Text(c.control), c.shown);
        EXPECT_EQ(ShowsCrimson(control), !c.refusal.isEmpty());
        auto* combo = qobject_cast<QComboBox*>(control);
        QLineEdit* edit = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(control);
        if (c.retyped) {
            gui_test::TypeText(edit, "A");
            gui_test::PressKey(edit, Qt::Key_Backspace);
        }
        if (!c.refusal.isEmpty()) {
            ExpectWritesRefused(c.control, c.refusal);

            // One Backspace at the end; then no more fits.
            edit->end(false);
            gui_test::PressKey(edit, Qt::Key_Backspace);
            gui_test::TypeText(edit, "Z");
            EXPECT_EQ(Text(c.control), c.shown.chopped(1));
            EXPECT_FALSE(ShowsCrimson(control));
        }
        std::string expected = BtpOpeningRecord(false);
        expected.replace(expected.find(c.openingHex), c.openingHex.size(), c.savedHex);
        ASSERT_EQ(Save(PathOf("a")), "Saved");
        EXPECT_EQ(ReadBytes(PathOf("a")), FileFrame(0x10, expected + "q\x7F"));
        const std::size_t sent = FramesWithCommand(0x10).size();
        dialog->GetButton(1000).Click();
        ASSERT_EQ(FramesWithCommand(0x10).size(), sent + 1);
        expected.insert(expected.find(Field('}', 0x52, "+0")), Field('}', 0x18, "+20")); // and Platen Err
        EXPECT_EQ(FramesWithCommand(0x10).back().payload, expected);
    }
}

// A typed character that no byte holds (above U+00FF), and a text cleared or typed shorter than
// its field, stop Save To File and the updates as a text too long does; Latin-1 characters go
// out as one byte each, and load back as typed.
TEST_F(SettingsFiles, ATypedTextThatCannotBeWrittenStopsWhatWritesItWhileLatin1GoesAsOneByte)
{
    // Without a refusal: written as hex, the value of its field.
    struct TypedCase {
        const char* what;
        std::function<void()> open;
        int control;
        QString typed, refusal;
        std::string hex = {};
    };
    const auto bpp = [this] { Open<CJetvaneSettingsBPPDlg>(); };
    const auto btp = [this] { Open<CJetvaneSettingsBTPDlg>(); };
    const QString noByte = " cannot be written; the text may hold only Latin-1 characters.";
    const TypedCase cases[] = {
        {"euro in HDC", btp, 1003, "AB€", "HDC: the character \"€\" (U+20AC)" + noByte},
        {"omega in BPP's HDC", bpp, 1003, "Ω", "HDC: the character \"Ω\" (U+03A9)" + noByte},
        {"euro in Paper Type", btp, 1015, "RICOH €", "Paper Type: the character \"€\" (U+20AC)" + noByte},
        {"beyond 16 bits in Paper Type", btp, 1015, "A😀", "Paper Type: the character \"😀\" (U+1F600)" + noByte},
        {"HDC cleared", btp, 1003, "", "HDC: the text must be at least 1 character long."},
        {"BPP's HDC cleared", bpp, 1003, "", "HDC: the text must be at least 1 character long."},
        {"Paper Type cleared", btp, 1015, "", "Paper Type: the text must be at least 1 character long."},
        {"Latin-1 in HDC", btp, 1003, "Aéü", {}, "41E9FC"},
        {"Latin-1 in BPP's HDC", bpp, 1003, "ßñ", {}, "DFF1"},
        {"Latin-1 in Paper Type", btp, 1015, "CAFÉ ÿ", {}, "434146C920FF"},
    };
    for (const TypedCase& c : cases) {
        SCOPED_TRACE(c.what);
        c.open();
        QWidget* control = dialog->GetDlgItem(c.control).Widget();
        auto* combo = qobject_cast<QComboBox*>(control);
        QLineEdit* edit = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(control);
        ASSERT_NE(edit, nullptr);
        edit->clear();
        gui_test::TypeText(edit, c.typed);
        ASSERT_EQ(Text(c.control), c.typed);
        if (!c.refusal.isEmpty()) {
            ExpectWritesRefused(c.control, c.refusal);
            continue;
        }
        const QString typed = PathOf("typed." + ui::Text(dialog->Definition().file.extension));
        ASSERT_EQ(Save(typed), "Saved");
        EXPECT_NE(ReadBytes(typed).find(c.hex + kDel), std::string::npos);
        c.open();
        EXPECT_EQ(Load(typed), "Loaded");
        EXPECT_EQ(Text(c.control), c.typed);
        ASSERT_EQ(Save(PathOf("again")), "Saved");
        EXPECT_EQ(ReadBytes(PathOf("again")), ReadBytes(typed));
        dialog->GetButton(1000).Click();
        ASSERT_FALSE(FramesWithCommand(0x10).empty());
        const std::string sent = Field('}', c.control == 1003 ? 0x0A : 0x0B, c.hex) + kDel;
        EXPECT_NE(FramesWithCommand(0x10).back().payload.find(sent), std::string::npos);
    }
}

// Qt's real questions in place of the scripted ones for its life.
struct RealPrompts {
    ui::QtPrompts real;
    ui::Prompts* const scripted = ui::SetPrompts(&real);
    ~RealPrompts() { ui::SetPrompts(scripted); }
};

// Every printer of a protocol is offered the same name: Save To File asks (the file dialog's
// own question) before it replaces a file. No keeps it and goes back; Yes replaces it, mode kept.
TEST_F(SettingsFiles, SaveToFileAsksBeforeItReplacesAFile)
{
    struct ReplaceCase { const char* offered; std::function<void()> open; std::string saved; };
    const ReplaceCase cases[] = {
        {"Jetvane_Simple AEA.QV_BPP_CFG", [this] { Open<CJetvaneSettingsBPPDlg>(); },
         FileFrame(0x10, BppOpeningRecord(false) + "q\x7F")},
        {"Jetvane_SITA.QV_BTP_CFG", [this] { Open<CJetvaneSettingsBTPDlg>(); },
         FileFrame(0x10, BtpOpeningRecord(false) + "q\x7F")},
        {"Jetvane.QV_EEPROM_CFG", [this] { Open<CJetvaneEEPROMSettingsDlg>(); },
         FileFrame(0x12, kEepromDefaultsRecord)},
    };
    ui::WriteProfileString("Settings", "LastLoadConfigPath", folder.path());
    for (const ReplaceCase& c : cases) {
        SCOPED_TRACE(c.offered);
        c.open();
        prompts.AnswerFileDialog(std::nullopt);
        dialog->GetButton(kSaveToFile).Click();
        EXPECT_EQ(prompts.FileDialogs().back().flags & ui::OFN_OVERWRITEPROMPT, ui::OFN_OVERWRITEPROMPT);
        const QString path = Write(c.offered, "first printer of the day");
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
        const RealPrompts real;
        QStringList offered, questions, told;
        const auto accept = gui_test::OnModal<QFileDialog>([&offered](QFileDialog& files) {
            offered << files.selectedFiles();
            gui_test::AcceptLater(files);
        });
        const gui_test::ModalScript script({accept, gui_test::Press(QMessageBox::No, questions),
                                            gui_test::OnModal<QFileDialog>(gui_test::PressCancel), accept,
                                            gui_test::Press(QMessageBox::Yes, questions),
                                            gui_test::Press(QMessageBox::Ok, told)});
        // No, then Cancel: nothing written, nothing said.
        dialog->GetButton(kSaveToFile).Click();
        EXPECT_EQ(ReadBytes(path), "first printer of the day");
        EXPECT_TRUE(told.isEmpty());
        EXPECT_TRUE(Enabled(kSaveToFile));
        // Yes: replaced.
        dialog->GetButton(kSaveToFile).Click();
        EXPECT_EQ(script.Left(), 0u);
        EXPECT_EQ(offered, QStringList({path, path}));
        EXPECT_EQ(questions.size(), 2);
        EXPECT_EQ(told, QStringList{"Saved"});
        EXPECT_EQ(ReadBytes(path), c.saved);
        struct stat replaced {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &replaced), 0);
        EXPECT_EQ(replaced.st_mode & 07777, 0640u);
    }
}

// A protocol list without a protocol selects the list's first entry: a protocol code that an
// earlier record reported and no entry held is not brought back.
TEST_F(SettingsFiles, AnUnlistedProtocolOfAnEarlierRecordDoesNotComeBackWithAList)
{
    const std::string listOnly = Field('~', 0x11, "53495441414541") + kDel; // "SITAAEA"
    for (const bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile);
        Open<CJetvaneSettingsBTPDlg>();
        ASSERT_TRUE(dialog->SetDeviceSettings(Field('~', 0x01, "+3") + kDel, &connection, false));
        ASSERT_EQ(Text(1009), "3");
        ASSERT_TRUE(Read(listOnly, fromFile));
        EXPECT_EQ(Entries(1009), QStringList({"SITA", "Simple AEA"}));
        EXPECT_EQ(Text(1009), "SITA");
        EXPECT_NE(dialog->BuildSettingsString(false).find(Field('~', 0x01, "+1") + kDel), std::string::npos);
    }
}

TEST_F(SettingsFiles, AFileWithoutBlackMarkStyleShowsItsDefault)
{
    Open<CJetvaneEEPROMSettingsDlg>();
    Choose(1065, "TOF After Mark");
    EXPECT_EQ(Load(Write("power.QV_EEPROM_CFG", FileFrame(0x12, Field('|', 0x13, "+200") + kDel))), "Loaded");
    EXPECT_EQ(Text(1065), "TOF Before Mark (Default)");
    EXPECT_EQ(Text(1067), "200");
}

} // namespace
} // namespace settings_test
