// The settings engine's rules that no single table row shows: what a complete record does to
// the device type, that each read starts again from the defaults and forgets the last model,
// which protocol list each dialog reads, how a 'q' field and an 'x' mark are read, the device
// type when the combo names none, and the proposed file name without a protocol. Records are
// written out byte by byte (hex pairs of text values shown beside them).

#include "settings_expected_records.h"

#include "settings/custom_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <set>

namespace settings_test {
namespace {

class SettingsEngine : public SettingsDialogTest {};

TEST_F(SettingsEngine, CompleteRecordSetsTheDeviceTypeBackToTheDialogsOwn)
{
    struct TypeCase {
        bool boardingPass;
        std::string otherListed;  // the device-type list field's value
        const char* otherCode;
        QString other;
        QString own;
        int ownCode;
    };
    const TypeCase cases[] = {
        {true, "425450", "+1", "BTP", "BPP", 0x10},   // "BTP"
        {false, "425050", "+16", "BPP", "BTP", 0x01}, // "BPP"
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.own.toStdString());
        if (c.boardingPass)
            Open<CJetvaneSettingsBPPDlg>();
        else
            Open<CJetvaneSettingsBTPDlg>();
        const std::string fields = Field('~', 0x10, c.otherListed) + Field('~', 0x03, c.otherCode);
        // Cut short (the last value runs to the end): nothing of it is applied.
        EXPECT_FALSE(dialog->SetDeviceSettings(fields + Field('}', 0x0A, "41"), &connection, false));
        EXPECT_EQ(Text(1030), c.own);
        ASSERT_TRUE(dialog->SetDeviceSettings(fields + kDel, &connection, false));
        EXPECT_EQ(Entries(1030), QStringList({c.own, c.other}));
        EXPECT_EQ(Text(1030), c.own);
        EXPECT_EQ(dialog->GetDeviceType(), c.ownCode);
    }
}

TEST_F(SettingsEngine, EachReadForgetsTheModelAndSerialNumberOfTheLast)
{
    // Model "MRV41E", serial number "123".
    const std::string identity = Field('~', 0x14, "4D5256343145") + Field('~', 0x15, "313233");
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        if (which == 0)
            Open<CJetvaneSettingsBPPDlg>();
        else if (which == 1)
            Open<CJetvaneSettingsBTPDlg>();
        else
            Open<CJetvaneEEPROMSettingsDlg>();
        ASSERT_TRUE(dialog->SetDeviceSettings(identity + kDel, &connection, false));
        ASSERT_EQ(dialog->Model(), "MRV41E");
        ASSERT_EQ(dialog->SerialNumber(), "123");
        EXPECT_TRUE(dialog->SetDeviceSettings(std::string(1, kDel), &connection, false));
        EXPECT_EQ(dialog->Model(), "");
        EXPECT_EQ(dialog->SerialNumber(), "");

        // An empty record cannot be read and changes nothing.
        ASSERT_TRUE(dialog->SetDeviceSettings(identity + kDel, &connection, false));
        EXPECT_FALSE(dialog->SetDeviceSettings({}, &connection, false));
        EXPECT_EQ(dialog->Model(), "MRV41E");
        EXPECT_EQ(dialog->SerialNumber(), "123");
    }
}

TEST_F(SettingsEngine, EachDialogReadsOnlyItsOwnProtocolList)
{
    const std::string aeaAndFgl = "41454120" "46474C20"; // "AEA FGL "
    Open<CJetvaneSettingsBPPDlg>();
    ASSERT_TRUE(dialog->SetDeviceSettings(Field('~', 0x11, "46474C20") + kDel, &connection, false));
    EXPECT_EQ(Entries(1009), QStringList({"Simple AEA", "FGL"}));
    ASSERT_TRUE(dialog->SetDeviceSettings(Field('~', 0x12, "46474C20") + kDel, &connection, false));
    EXPECT_EQ(Entries(1009), QStringList({"FGL"}));

    Open<CJetvaneSettingsBTPDlg>();
    ASSERT_TRUE(dialog->SetDeviceSettings(Field('~', 0x12, aeaAndFgl) + kDel, &connection, false));
    EXPECT_EQ(Entries(1009), QStringList({"MUSE", "SITA", "Simple AEA", "FGL"}));
    ASSERT_TRUE(dialog->SetDeviceSettings(Field('~', 0x11, aeaAndFgl) + kDel, &connection, false));
    EXPECT_EQ(Entries(1009), QStringList({"Simple AEA", "FGL"}));
}

// Only a 'q' or 'r' right before a DEL is a field of its own; followed by more it is an
// ordinary field whose key no row has.
TEST_F(SettingsEngine, GroupQOrRWithAParameterIsPassedOverAsAnUnknownField)
{
    Open<CJetvaneSettingsBTPDlg>();
    const std::string record = Field('q', 0x0A, "414243") + Field('r', 0x0A, "+1") + Field('}', 0x0A, "58595A") + kDel;
    EXPECT_TRUE(dialog->SetDeviceSettings(record, &connection, false));
    EXPECT_EQ(Text(1003), "XYZ");
}

TEST_F(SettingsEngine, AnXMarkBehindBlanksStillHidesTheCheckBox)
{
    struct MarkCase {
        std::string value;
        bool visible;
        bool checked;
    };
    const MarkCase cases[] = {
        {"2078", false, true},   // " x"
        {"302058", false, true}, // "0 X"
        {"3020", true, false},   // "0 "
        {"312020", true, true},  // "1  "
    };
    for (const MarkCase& c : cases) {
        SCOPED_TRACE(c.value);
        Open<CJetvaneSettingsBTPDlg>();
        EXPECT_TRUE(dialog->SetDeviceSettings(Field('}', 0x06, c.value) + kDel, &connection, false));
        EXPECT_EQ(Visible(1011), c.visible);
        EXPECT_EQ(Checked(1011), c.checked);
    }
}

TEST_F(SettingsEngine, DeviceTypeComboNamingNoKnownTypeGivesTheDialogsOwn)
{
    for (const bool boardingPass : {true, false}) {
        SCOPED_TRACE(boardingPass);
        if (boardingPass)
            Open<CJetvaneSettingsBPPDlg>();
        else
            Open<CJetvaneSettingsBTPDlg>();
        const int own = boardingPass ? 0x10 : 0x01;
        const std::string ownField = Field('~', 0x03, boardingPass ? "+16" : "+1") + kDel;

        dialog->GetComboBox(1030).SetCurSel(-1);
        EXPECT_EQ(dialog->GetDeviceType(), own);
        EXPECT_NE(dialog->BuildSettingsString(false).find(ownField), std::string::npos);

        dialog->ApplyDeviceTypeList("XYZ");
        dialog->GetComboBox(1030).SetCurSel(1);
        ASSERT_EQ(Text(1030), "XYZ");
        EXPECT_EQ(dialog->GetDeviceType(), own);
        EXPECT_NE(dialog->BuildSettingsString(false).find(ownField), std::string::npos);
    }
}

TEST_F(SettingsEngine, ListedDeviceTypesAreAddedInUpperCase)
{
    Open<CJetvaneSettingsBTPDlg>();
    ASSERT_TRUE(dialog->SetDeviceSettings(Field('~', 0x10, "627070") + kDel, &connection, false)); // "bpp"
    EXPECT_EQ(Entries(1030), QStringList({"BTP", "BPP"}));

    Open<CJetvaneSettingsBPPDlg>();
    dialog->ApplyDeviceTypeList(" bPp  btp ");
    EXPECT_EQ(Entries(1030), QStringList({"BPP", "BTP"}));
}

// Every read starts from the defaults: a record of one field leaves every other control as
// a freshly opened dialog shows it, whatever the record before had set.
TEST_F(SettingsEngine, EveryEepromControlShowsItsDefaultAfterARecordOfOneField)
{
    CSettingsTableDlg& eeprom = Open<CJetvaneEEPROMSettingsDlg>();
    const std::string everyField = Field('|', 0x10, "-40") + Field('|', 0x11, "+33") + Field('|', 0x12, "+5") +
                                   Field('|', 0x13, "+123") + Field('|', 0x14, "+124") + Field('|', 0x15, "+1") +
                                   Field('|', 0x16, "+1") + Field('|', 0x17, "+0") + kDel;
    ASSERT_TRUE(eeprom.SetDeviceSettings(everyField, &connection, false));
    ASSERT_EQ(eeprom.BuildSettingsString(false), everyField);

    ASSERT_TRUE(eeprom.SetDeviceSettings(Field('|', 0x12, "+8") + kDel, &connection, false));
    EXPECT_EQ(Text(1066), "+0");
    EXPECT_EQ(Text(1065), "TOF Before Mark (Default)");
    EXPECT_EQ(Text(1069), "[EU3] European Union 3 (865,600 kHz-867,600 kHz)");
    EXPECT_EQ(Text(1067), "350");
    EXPECT_EQ(Text(1068), "350");
    EXPECT_FALSE(Checked(1070));
    EXPECT_FALSE(Checked(1071));
    EXPECT_TRUE(Checked(1072));
    EXPECT_EQ(eeprom.BuildSettingsString(false), Field('|', 0x10, "+0") + Field('|', 0x11, "+34") +
                                                     Field('|', 0x12, "+8") + Field('|', 0x13, "+350") +
                                                     Field('|', 0x14, "+350") + Field('|', 0x15, "+0") +
                                                     Field('|', 0x16, "+0") + Field('|', 0x17, "+1") + kDel);
}

TEST_F(SettingsEngine, EveryPrinterSettingShowsItsDefaultAfterARecordOfOneField)
{
    for (const bool boardingPass : {true, false}) {
        SCOPED_TRACE(boardingPass);
        if (boardingPass)
            Open<CJetvaneSettingsBPPDlg>(1);
        else
            Open<CJetvaneSettingsBTPDlg>(1);
        const std::string opening = boardingPass ? BppOpeningRecord(true) : BtpOpeningRecord(true);
        ASSERT_EQ(dialog->BuildSettingsString(false), opening);

        // The user changes every setting but the protocol, the device type and the line
        // settings (which a reset leaves as they stand).
        std::set<int> visited = {1009, 1030, 1012, 1013, 1016};
        for (const SettingDescriptor& row : dialog->Definition().tables.settings) {
            const int id = row.controlId;
            if (!visited.insert(id).second)
                continue;
            QWidget* widget = dialog->GetDlgItem(id).Widget();
            if (auto* number = dynamic_cast<CCustomEditCtrl*>(widget)) {
                const QString maximum = QString::number(number->Maximum());
                number->setText(number->text() == maximum ? QString::number(number->Minimum()) : maximum);
            } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
                box->setChecked(!box->isChecked());
            } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
            } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                edit->setText("ZZ");
            }
        }
        const std::string changed = dialog->BuildSettingsString(false);
        ASSERT_NE(changed, opening);
        ASSERT_TRUE(dialog->SetDeviceSettings(changed, &connection, false));
        ASSERT_EQ(dialog->BuildSettingsString(false), changed);

        ASSERT_TRUE(dialog->SetDeviceSettings(Field('}', 0x0A, "414243") + kDel, &connection, false)); // "ABC"
        std::string expected = opening;
        const std::string openingHdc = Field('}', 0x0A, boardingPass ? "484443" : "4355544532");
        expected.replace(expected.find(openingHdc), openingHdc.size(), Field('}', 0x0A, "414243"));
        EXPECT_EQ(dialog->BuildSettingsString(false), expected);
    }
}

// A code is never taken for a position in the list: one that no entry holds selects none.
TEST_F(SettingsEngine, SetProtocolSelectsOnlyTheEntryThatHoldsTheCode)
{
    struct ProtocolCase { bool boardingPass; int code, selected; QString shown; };
    const ProtocolCase cases[] = {
        {false, 4, 0, "MUSE"},      {false, 254, 3, "FGL"}, {false, 3, -1, ""}, {false, 0, -1, ""},
        {false, 2, 2, "Simple AEA"}, {true, 254, 1, "FGL"},  {true, 1, -1, ""},  {true, 0, -1, ""},
    };
    for (const ProtocolCase& c : cases) {
        SCOPED_TRACE(c.code);
        if (c.boardingPass)
            Open<CJetvaneSettingsBPPDlg>();
        else
            Open<CJetvaneSettingsBTPDlg>();
        EXPECT_TRUE(dialog->SetProtocol(c.code));
        EXPECT_EQ(Selection(1009), c.selected);
        EXPECT_EQ(Text(1009), c.shown);
        EXPECT_EQ(dialog->ProtocolIndex(), c.selected);
    }
}

TEST_F(SettingsEngine, ProposedNameWithoutAProtocolTextHasNoSeparator)
{
    struct NameCase {
        bool boardingPass;
        int protocolList;
        QString proposed;
    };
    const NameCase cases[] = {
        {true, 0x12, "Jetvane.QV_BPP_CFG"},
        {false, 0x11, "Jetvane.QV_BTP_CFG"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.proposed.toStdString());
        if (c.boardingPass)
            Open<CJetvaneSettingsBPPDlg>();
        else
            Open<CJetvaneSettingsBTPDlg>();
        // An empty protocol list, then a protocol code without an entry: no protocol text.
        ASSERT_TRUE(dialog->SetDeviceSettings(Field('~', c.protocolList, "") + Field('~', 0x01, "+5") + kDel,
                                              &connection, false));
        ASSERT_TRUE(dialog->ProtocolText().isEmpty());
        prompts.AnswerFileDialog(std::nullopt);
        dialog->GetButton(1004).Click();
        ASSERT_FALSE(prompts.FileDialogs().empty());
        EXPECT_EQ(prompts.FileDialogs().back().initialFile, c.proposed);
    }
}

} // namespace
} // namespace settings_test
