// The settings record of each dialog: what a freshly opened dialog writes, and how records
// from the printer are read into the controls. Expected records are written out field by
// field from the dialogs' tables; control ids are those of the dialog templates.

#include "settings_expected_records.h"

#include <span>
#include <vector>

namespace settings_test {
namespace {

// ---- what a dialog writes right after opening

TEST_F(SettingsDialogTest, EepromDialogWritesItsDefaultsAsTheKnownRecord)
{
    CSettingsTableDlg& eeprom = Open<CJetvaneEEPROMSettingsDlg>();
    EXPECT_EQ(eeprom.BuildSettingsString(false), kEepromDefaultsRecord);
    EXPECT_EQ(Text(1066), "+0");
    EXPECT_EQ(Text(1065), "TOF Before Mark (Default)");
    EXPECT_EQ(Text(1069), "[NA2] Reduced FCC (NA) region (917,400 kHz-927,200 kHz)");
    EXPECT_EQ(Text(1067), "350");
    EXPECT_EQ(Text(1068), "350");
    EXPECT_FALSE(Checked(1070));
    EXPECT_FALSE(Checked(1071));
    EXPECT_TRUE(Checked(1072));
    // The Region combo has a tip of no text: nothing shows.
    QString tip = "unchanged";
    EXPECT_TRUE(eeprom.OnToolTipNotify(1069, &tip));
    EXPECT_TRUE(tip.isEmpty());
    EXPECT_TRUE(eeprom.OnToolTipNotify(1072, &tip));
    EXPECT_EQ(tip, "Enable or disable the beeper.\r\n(Added MRV41E V6.63)");
    EXPECT_FALSE(eeprom.OnToolTipNotify(1002, &tip));
}

TEST_F(SettingsDialogTest, EepromDialogReadsTheKnownRecordBackCompletely)
{
    CSettingsTableDlg& eeprom = Open<CJetvaneEEPROMSettingsDlg>();
    const std::string changed = Field('|', 0x10, "-40") + Field('|', 0x11, "+33") + Field('|', 0x12, "+5") +
                                Field('|', 0x13, "+123") + Field('|', 0x17, "+0") + kDel;
    ASSERT_TRUE(eeprom.SetDeviceSettings(changed, &connection, false));
    EXPECT_EQ(Text(1066), "-40");
    EXPECT_EQ(Text(1065), "TOF After Mark");
    EXPECT_EQ(Text(1069), "[JP] Japan (916,800 kHz-923,400 kHz");
    EXPECT_EQ(Text(1067), "123");
    EXPECT_FALSE(Checked(1072));
    ASSERT_TRUE(eeprom.SetDeviceSettings(kEepromDefaultsRecord, &connection, false));
    EXPECT_EQ(eeprom.BuildSettingsString(false), kEepromDefaultsRecord);
}

TEST_F(SettingsDialogTest, FreshDialogsWriteTheirDefaultsAtEachAccessLevel)
{
    for (const int level : {0, 1}) {
        SCOPED_TRACE(level);
        EXPECT_EQ(Open<CJetvaneSettingsBPPDlg>(level).BuildSettingsString(false), BppOpeningRecord(level == 1));
        EXPECT_EQ(Open<CJetvaneSettingsBTPDlg>(level).BuildSettingsString(false), BtpOpeningRecord(level == 1));
    }
}

TEST_F(SettingsDialogTest, PlatenErrTravelsOnlyWhenAsked)
{
    CSettingsTableDlg& btp = Open<CJetvaneSettingsBTPDlg>();
    const std::string with = btp.BuildSettingsString(true);
    // Platen Err is 20 for a printer without a model (or an MRV41E), between Cut Pos Adj and Print Grid.
    EXPECT_NE(with.find(Field('}', 0x16, "+0") + Field('}', 0x18, "+20") + Field('}', 0x52, "+0")),
              std::string::npos);
    EXPECT_EQ(btp.BuildSettingsString(false).find(std::string(1, kDel) + "}\x18"), std::string::npos);
}

TEST_F(SettingsDialogTest, EngineeringRowsAreShownOnlyAtTheEngineeringLevel)
{
    const int engineeringEdits[] = {1024, 1025, 1026, 1038, 1042};
    const int engineeringLabels[] = {1008, 1040, 1041, 1039, 1043};
    for (const int level : {0, 1}) {
        Open<CJetvaneSettingsBPPDlg>(level);
        for (const int id : engineeringEdits) {
            EXPECT_EQ(Visible(id), level == 1) << id;
            EXPECT_EQ(Enabled(id), level == 1) << id;
        }
        for (const int id : engineeringLabels)
            EXPECT_EQ(Visible(id), level == 1) << id;
    }
}

// ---- protocol and model overlays

struct OverlayCase {
    const char* protocol;
    std::vector<std::pair<int, QString>> texts;
    std::vector<std::pair<int, bool>> checks;
};

TEST_F(SettingsDialogTest, EachBagTagProtocolAppliesItsOverlay)
{
    const OverlayCase cases[] = {
        {"Simple AEA", {{1003, "HDC"}, {1015, "RICOH 120 LCS B"}, {1010, "0"}, {1032, "AUTO"}, {1045, "0"}, {1046, "0"}},
         {{1029, true}, {1053, false}}},
        {"MUSE", {{1010, "250"}, {1003, "MUSE"}, {1032, "HOLE"}, {1015, "RICOH 120 LCS B"}}, {{1029, true}}},
        {"FGL", {{1003, "HDC"}, {1010, "0"}}, {{1029, false}}},
        {"SITA", {{1010, "400"}, {1003, "CUTE2"}, {1015, "RICOH 130 LAB/LAM"}, {1032, "HOLE"}, {1045, "30"}, {1046, "500"}},
         {{1029, true}, {1053, false}}},
    };
    Open<CJetvaneSettingsBTPDlg>();
    for (const OverlayCase& overlay : cases) {
        SCOPED_TRACE(overlay.protocol);
        Choose(1009, overlay.protocol);
        for (const auto& [id, text] : overlay.texts)
            EXPECT_EQ(Text(id), text) << id;
        for (const auto& [id, checked] : overlay.checks)
            EXPECT_EQ(Checked(id), checked) << id;
        EXPECT_EQ(static_cast<CSettingsTableDlg&>(*dialog).ProtocolText(), overlay.protocol);
    }
}

TEST_F(SettingsDialogTest, BoardingPassFglClearsDirectionAndKeepsTheOtherDefaults)
{
    Open<CJetvaneSettingsBPPDlg>();
    EXPECT_EQ(Text(1045), "10");
    Choose(1009, "FGL");
    EXPECT_FALSE(Checked(1029));
    EXPECT_EQ(Text(1010), "0");
    EXPECT_EQ(Text(1003), "HDC");
    EXPECT_EQ(Text(1045), "0");
}

TEST_F(SettingsDialogTest, ChoosingTheRememberedProtocolAgainResetsNothing)
{
    Open<CJetvaneSettingsBTPDlg>();
    SetText(1003, "MINE");
    Choose(1009, "SITA");
    EXPECT_EQ(Text(1003), "MINE");
}

// A protocol code that no entry holds, as the printer reported it, brings no protocol's
// defaults and names no protocol in the file name proposed, through Reset to Defaults too,
// until the technician picks an entry; picked again, it is written as read again.
TEST_F(SettingsDialogTest, AReportedProtocolWithoutAnEntryStaysUntilAnotherIsPicked)
{
    struct Step {
        const char* what;
        QString chosen; // empty: Reset to Defaults
        QString shown;
        std::string written;
        bool direction;
        QString hdc;
        QString proposed;
    };
    const Step steps[] = {
        {"reset", {}, "3", "+3", true, "HDC", "Jetvane.QV_BTP_CFG"},
        {"FGL", "FGL", "FGL", "+254", false, "HDC", "Jetvane_FGL.QV_BTP_CFG"},
        {"SITA", "SITA", "SITA", "+1", true, "CUTE2", "Jetvane_SITA.QV_BTP_CFG"},
        {"as read again", "3", "3", "+3", true, "HDC", "Jetvane.QV_BTP_CFG"},
    };
    Open<CJetvaneSettingsBTPDlg>();
    ASSERT_TRUE(dialog->SetDeviceSettings(Field('~', 0x01, "+3") + kDel, &connection, false));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        SetText(1003, "MINE");
        if (step.chosen.isEmpty())
            dialog->GetButton(1059).Click();
        else
            Choose(1009, step.chosen);
        EXPECT_EQ(Text(1009), step.shown);
        const std::string record = dialog->BuildSettingsString(false);
        EXPECT_EQ(record.substr(0, record.find(kDel, 1)), Field('~', 0x01, step.written));
        EXPECT_EQ(Checked(1029), step.direction);
        EXPECT_EQ(Text(1003), step.hdc);
        prompts.AnswerFileDialog(std::nullopt);
        dialog->GetButton(1004).Click();
        ASSERT_FALSE(prompts.FileDialogs().empty());
        EXPECT_EQ(prompts.FileDialogs().back().initialFile, step.proposed);
    }
}

TEST_F(SettingsDialogTest, ModelOverlaysFollowTheModelInAnyCase)
{
    struct ModelCase {
        bool boardingPass;
        std::string modelHex;
        QString xAdjust;
        QString startAdjust;
        QString emptyPlatenErr;
        bool afterProtocol = false;
    };
    const ModelCase cases[] = {
        {true, "6D72763538", "-24", "-8", "0"},    // "mrv58": no overlay
        {true, "6D7276353865", "-16", "-8", "0"},  // "mrv58e"
        {true, "4D5256353845", "-16", "-8", "0"},  // "MRV58E"
        {false, "", "-48", "+16", "20"},           // no model
        {false, "6D7276343165", "-48", "+16", "20"}, // "mrv41e"
        {false, "4D5256353845", "-16", "-8", "0"},  // "MRV58E"
        {false, "4D52563939", "-16", "-8", "0"},    // "MRV99"
        // Reported behind the protocol, the model comes too late for the protocol's defaults,
        // not for Reset to Defaults.
        {true, "4D5256353845", "-24", "-8", "0", true},
        {false, "4D5256353845", "-48", "+16", "0", true},
    };
    for (const ModelCase& c : cases) {
        SCOPED_TRACE(c.modelHex + (c.afterProtocol ? " after the protocol" : ""));
        const std::string model = Field('~', 0x14, c.modelHex);
        const std::string protocol = Field('~', 0x01, c.boardingPass ? "+2" : "+1");
        const std::string record = (c.afterProtocol ? protocol + model : model + protocol) + kDel;
        if (c.boardingPass)
            Open<CJetvaneSettingsBPPDlg>(1);
        else
            Open<CJetvaneSettingsBTPDlg>(1);
        ASSERT_TRUE(dialog->SetDeviceSettings(record, &connection, false));
        EXPECT_EQ(Text(1038), c.xAdjust);
        EXPECT_EQ(Text(1025), c.startAdjust);
        SetText(1028, " ");
        dialog->OnBnClickedResetToDefaults();
        EXPECT_EQ(Text(1028), c.emptyPlatenErr);
    }
}

TEST_F(SettingsDialogTest, ResetKeepsPlatenErrAndDoesNothingWithoutAProtocol)
{
    Open<CJetvaneSettingsBTPDlg>();
    SetText(1028, "-35");
    SetText(1003, "MINE");
    dialog->OnBnClickedResetToDefaults();
    EXPECT_EQ(Text(1028), "-35");
    EXPECT_EQ(Text(1003), "CUTE2");

    dialog->ApplyProtocolList({});
    EXPECT_EQ(Entries(1009), QStringList());
    EXPECT_EQ(dialog->GetProtocol(), 1);
    SetText(1003, "MINE");
    dialog->OnBnClickedResetToDefaults();
    EXPECT_EQ(Text(1003), "MINE");
}

// ---- reading records

TEST_F(SettingsDialogTest, RecordFieldsAreReadByTheRulesOfTheirRows)
{
    struct ReadCase {
        const char* what;
        std::string record;
        bool complete;
        int control;
        QString text;
    };
    // A record that cannot be read to its end changes no control.
    const ReadCase cases[] = {
        {"lone DEL", std::string(1, kDel), true, 1003, "CUTE2"},
        {"DEL runs", std::string(3, kDel) + Field('}', 0x0A, "414243") + std::string(2, kDel), true, 1003, "ABC"},
        {"q suffix", Field('}', 0x0A, "414243") + kDel + "q" + kDel, true, 1003, "ABC"},
        {"r field", Field('}', 0x0A, "414243") + kDel + "r" + kDel, true, 1003, "ABC"},
        {"unsigned number", Field('}', 0x02, "37") + kDel, true, 1017, "7"},
        {"plus on hex row", Field('}', 0x0A, "+12") + kDel, true, 1003, "12"},
        {"minus on hex row", Field('}', 0x0A, "-12") + kDel, true, 1003, "-12"},
        {"odd hex digits", Field('}', 0x0A, "41424") + kDel, true, 1003, "AB"},
        {"lower-case hex", Field('}', 0x0A, "4a") + kDel, false, 1003, "CUTE2"},
        {"bytes above 0x7F", Field('}', 0x0A, "41\xC3\xA9") + kDel, false, 1003, "CUTE2"},
        {"unknown key", Field('}', 0x7E, "+1") + Field('}', 0x02, "+40") + kDel, true, 1017, "40"},
        // Contrast reads 5 from the pair 35 and stops at the pair 41 ('A'): the rest of its
        // field is passed over.
        {"number stopping at a letter", Field('}', 0x07, "3541x") + Field('}', 0x02, "+40") + kDel, true, 1017, "40"},
        {"no closing DEL", Field('}', 0x02, "+40"), false, 1017, "32"},
        {"not a record", std::string("}\x02+40") + kDel, false, 1017, "32"},
        {"cut after the group", std::string(1, kDel) + "}", false, 1017, "32"},
        {"minus one on a combo", Field('}', 0x0C, "+-1") + kDel, false, 1031, "HIGH"},
        {"L reads as NORMAL", Field('}', 0x0C, "+76") + kDel, true, 1031, "NORMAL"},
        {"code without entry", Field('}', 0x0C, "+1") + kDel, true, 1031, "1"},
        {"code beyond the list", Field('}', 0x0C, "+200") + kDel, true, 1031, "200"},
        {"out of range number", Field('}', 0x02, "+641") + kDel, true, 1017, "641"},
        {"entry by text", Field('}', 0x0B, "554E4953544154") + kDel, true, 1015, "UNISTAT"},
        {"text outside the list", Field('}', 0x0B, "4D59205441474F") + kDel, true, 1015, "MY TAGO"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        Open<CJetvaneSettingsBTPDlg>();
        EXPECT_EQ(dialog->SetDeviceSettings(c.record, &connection, false), c.complete);
        EXPECT_EQ(Text(c.control), c.text);
    }
}

// A Region code without an entry is written as read until the technician picks an entry,
// resets, or a record sets Region again; the list then holds its own 16 entries only.
TEST_F(SettingsDialogTest, AnUnlistedValueLastsUntilAnotherTakesItsPlace)
{
    struct PlaceCase {
        const char* what;
        std::function<void()> act;
        const char* written;
        qsizetype entries;
    };
    const auto read = [this](const std::string& field) { dialog->SetDeviceSettings(field + kDel, &connection, false); };
    const PlaceCase cases[] = {
        {"kept", [] {}, "+1", 17},
        {"picked", [this] { Choose(1069, "[ID] Indonesia"); }, "+17", 17},
        {"reset", [this] { dialog->GetButton(1059).Click(); }, "+13", 16},
        {"a record without Region", [&] { read(Field('|', 0x13, "+200")); }, "+13", 16},
        {"a listed Region", [&] { read(Field('|', 0x12, "+5")); }, "+5", 16},
        {"another unlisted Region", [&] { read(Field('|', 0x12, "+40")); }, "+40", 17},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        Open<CJetvaneEEPROMSettingsDlg>();
        ASSERT_TRUE(dialog->SetDeviceSettings(Field('|', 0x12, "+1") + kDel, &connection, false));
        c.act();
        EXPECT_NE(dialog->BuildSettingsString(false).find(Field('|', 0x12, c.written) + kDel), std::string::npos);
        EXPECT_EQ(Entries(1069).size(), c.entries);
    }
}

// A sign without digits is the number 0, written back as 0, not the field's default.
TEST_F(SettingsDialogTest, NumbersBeyondTheirRangeShowAsReportedInCrimson)
{
    struct NumberCase {
        char group;
        int parameter;
        const char* value;
        int control;
        QString shown;
        bool valid;
        bool writtenAsZero = false;
    };
    const NumberCase cases[] = {
        // Cut Line Offset, -200 to 200: its numbers carry their sign.
        {'|', 0x10, "-40", 1066, "-40", true},
        {'|', 0x10, "+700", 1066, "+700", false},
        {'|', 0x10, "+0700", 1066, "+700", false},
        {'|', 0x10, "-2147483648", 1066, "-2147483648", false},
        {'|', 0x10, "+4294967346", 1066, "+4294967346", false},
        {'|', 0x10, "+123456789012345678901234567890", 1066, "+123456789012345678901234567890", false},
        {'|', 0x10, "+", 1066, "+0", true, true},
        {'|', 0x10, "-", 1066, "+0", true, true},
        {'|', 0x10, "-0", 1066, "+0", true, true},
        // Read Power, 0 to 999.
        {'|', 0x13, "+999", 1067, "999", true},
        {'|', 0x13, "+1000", 1067, "1000", false},
        {'|', 0x13, "-1", 1067, "-1", false},
        {'|', 0x13, "+4294967346", 1067, "4294967346", false},
        // The bag-tag Length, 0 to 9999, and Start Adjust, -40 to 40.
        {'}', 0x04, "+99999999999", 1021, "99999999999", false},
        {'}', 0x04, "-000099999999999", 1021, "-99999999999", false},
        {'}', 0x08, "-99999999999", 1018, "-99999999999", false},
        {'}', 0x08, "+99999999999", 1018, "+99999999999", false},
        // Width, 1 to 640: a zero is out of its range, and never shows a minus.
        {'}', 0x03, "-0", 1020, "0", false},
        {'}', 0x03, "-000", 1020, "0", false},
        {'}', 0x03, "+0", 1020, "0", false},
        // X Start, 0 to 640, 32 by default; Hold Wait, 0 to 99, 30 with SITA.
        {'}', 0x02, "+", 1017, "0", true, true},
        {'}', 0x02, "-", 1017, "0", true, true},
        {'}', 0x1F, "+", 1045, "0", true, true},
    };
    const QColor crimson(220, 20, 60);
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(std::string(1, c.group) + c.value);
        if (c.group == '|')
            Open<CJetvaneEEPROMSettingsDlg>();
        else
            Open<CJetvaneSettingsBTPDlg>();
        const QColor normal = dialog->GetDlgItem(c.control).Widget()->palette().color(QPalette::Text);
        ASSERT_NE(normal, crimson);
        EXPECT_TRUE(dialog->SetDeviceSettings(Field(c.group, c.parameter, c.value) + kDel, &connection, false));
        EXPECT_EQ(Text(c.control), c.shown);
        EXPECT_EQ(dialog->GetDlgItem(c.control).Widget()->palette().color(QPalette::Text), c.valid ? normal : crimson);
        if (c.writtenAsZero) {
            const std::string zero = Field(c.group, c.parameter, "+0") + kDel;
            EXPECT_NE(dialog->BuildSettingsString(false).find(zero), std::string::npos);
        }
    }
}

TEST_F(SettingsDialogTest, BlackMarkStyleReturnsToItsDefault)
{
    const QString byDefault = "TOF Before Mark (Default)";
    Open<CJetvaneEEPROMSettingsDlg>();
    Choose(1065, "TOF After Mark");
    dialog->GetButton(1059).Click();
    EXPECT_EQ(Text(1065), byDefault);

    Choose(1065, "TOF Centered On Mark");
    ASSERT_TRUE(dialog->SetDeviceSettings(Field('|', 0x10, "+20") + kDel, &connection, false));
    EXPECT_EQ(Text(1065), byDefault);
    EXPECT_EQ(Text(1066), "+20");
}

// The bag-tag dialog with ProkI's field carried as a text ("TRUE", "FALSE"), as a check field
// may be although none of the dialogs' own is.
const SettingsDialogDefinition& TextProkIDefinition()
{
    static const SettingsDialogDefinition& definition = []() -> const SettingsDialogDefinition& {
        const std::span<const SettingDescriptor> own = BtpSettingsDefinition().tables.settings;
        std::vector<SettingDescriptor> changed(own.begin(), own.end());
        for (SettingDescriptor& row : changed) {
            if (row.controlId == 1011) {
                row.encoding = SETTING_ENC_HEX_TEXT;
                row.maxTextLength = 5;
            }
        }
        return WithSettingsRows(BtpSettingsDefinition(), std::move(changed));
    }();
    return definition;
}

class TextProkIDlg final : public CSettingsTableDlg {
public:
    explicit TextProkIDlg(ui::Dialog* parent) : CSettingsTableDlg(TextProkIDefinition(), parent) {}
};

TEST_F(SettingsDialogTest, CheckBoxFieldsShowHideAndSet)
{
    struct CheckCase {
        std::string value;
        bool visible;
        bool checked;
        bool asText = false; // the field carries a text, whose first character decides
        bool enabled = true;
    };
    const CheckCase cases[] = {
        {"+120", false, true}, {"+88", false, true}, {"78", false, true}, {"58", false, true},
        {"+0", true, false},   {"+7", true, true},
        {"4E4F", true, false, true},         // "NO"
        {"6E6F", true, false, true},         // "no"
        {"20204E4F20", true, false, true},   // " NO " between blanks
        {"46414C5345", true, false, true},   // "FALSE"
        {"30", true, false, true},           // "0"
        {"54525545", true, true, true},      // "TRUE"
        {"594553", true, true, true},        // "YES"
        {"", true, true, true},              // no text at all
        {"78", true, false, true, false},    // "x": not for this printer, left as it was
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.value + (c.asText ? " as text" : ""));
        if (c.asText)
            Open<TextProkIDlg>();
        else
            Open<CJetvaneSettingsBTPDlg>();
        EXPECT_TRUE(dialog->SetDeviceSettings(Field('}', 0x06, c.value) + kDel, &connection, false));
        EXPECT_EQ(Visible(1011), c.visible);
        EXPECT_EQ(Checked(1011), c.checked);
        EXPECT_EQ(Enabled(1011), c.enabled);
    }
}

TEST_F(SettingsDialogTest, UnusableControlsWriteNothingButCombosKeepTheirKey)
{
    Open<CJetvaneSettingsBTPDlg>();
    dialog->ShowDlgItem(1011, false);         // ProkI, a check box
    dialog->EnableDlgItem(1017, false);       // X Start, a number
    dialog->EnableDlgItem(1003, false);       // HDC, an edit
    dialog->EnableDlgItem(1036, false);       // Truncate Print, a combo
    const std::string record = dialog->BuildSettingsString(false);
    for (const char parameter : {'\x06', '\x02', '\x0A'})
        EXPECT_EQ(record.find(std::string(1, kDel) + '}' + parameter), std::string::npos) << int(parameter);
    EXPECT_NE(record.find(Field('}', 0x14, "") + kDel + "}\x15"), std::string::npos);
}

TEST_F(SettingsDialogTest, AComboWithoutSelectionWritesMinusOneWhichDoesNotReadBack)
{
    Open<CJetvaneSettingsBTPDlg>();
    dialog->GetComboBox(1031).SetCurSel(-1);
    const std::string record = dialog->BuildSettingsString(false);
    EXPECT_NE(record.find(Field('}', 0x0C, "+-1")), std::string::npos);
    EXPECT_FALSE(dialog->SetDeviceSettings(record, &connection, false));
}

// The protocol's defaults come before every field of the record, wherever it carries them.
TEST_F(SettingsDialogTest, ProtocolFieldKeepsWhatWasReadBeforeIt)
{
    Open<CJetvaneSettingsBTPDlg>();
    const std::string record =
        Field('}', 0x0A, "414243") + Field('}', 0x02, "+40") + Field('~', 0x01, "+4") + Field('}', 0x03, "+50") + kDel;
    ASSERT_TRUE(dialog->SetDeviceSettings(record, &connection, false));
    EXPECT_EQ(Text(1003), "ABC");  // HDC as read, not MUSE's
    EXPECT_EQ(Text(1017), "40");   // X Start as read, not its default
    EXPECT_EQ(Text(1020), "50");   // Width read after the protocol
    EXPECT_EQ(Text(1010), "250");  // MUSE's Ack Timeout, which the record does not carry
    EXPECT_EQ(Text(1009), "MUSE");
}

TEST_F(SettingsDialogTest, ModelSerialAndListsComeFromTheirFields)
{
    Open<CJetvaneSettingsBTPDlg>();
    const std::string record = Field('~', 0x14, "4D5256343145") + Field('~', 0x15, "313233") +
                               Field('~', 0x10, "627470204250505859") + Field('~', 0x11, "53495441414541204152494E") + kDel;
    ASSERT_TRUE(dialog->SetDeviceSettings(record, &connection, false));
    EXPECT_EQ(dialog->Model(), "MRV41E");
    EXPECT_EQ(dialog->SerialNumber(), "123");
    EXPECT_EQ(Entries(1030), QStringList({"BTP", "BPP"}));
    EXPECT_EQ(Entries(1009), QStringList({"SITA", "Simple AEA", "MUSE"}));
    EXPECT_EQ(Text(1009), "SITA");
    dialog->SetTitle("Title");
    EXPECT_EQ(dialog->GetWindowText(), "Title - MRV41E (S/N:123)");
    dialog->SetTitle({});
    EXPECT_EQ(dialog->GetWindowText(), "MRV41E (S/N:123)");
}

TEST_F(SettingsDialogTest, RestrictedParseAppliesOnlyTheMarkedRows)
{
    Open<CJetvaneSettingsBPPDlg>();
    // Fixed Len is not marked, Contrast is.
    const std::string record = Field('}', 0x36, "+500") + Field('}', 0x07, "+9") + kDel;
    ASSERT_TRUE(dialog->SetDeviceSettings(record, &connection, true));
    EXPECT_EQ(Text(1058), "800");
    EXPECT_EQ(Text(1022), "9");
}

} // namespace
} // namespace settings_test
