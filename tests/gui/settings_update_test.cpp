// Writing settings back to the printer, and how a settings dialog ends: its result message,
// the type switch, and the close paths; pictures of the filled dialogs.

#include "settings_dialog_fixture.h"

#include "tools/printer-sim/default_records.h"
#include "ui/display.h"

#include <QDir>
#include <QHelpEvent>
#include <QToolTip>

namespace settings_test {
namespace {

constexpr int kUpdateDefaults = 1000;
constexpr int kUpdateAllConfigs = 1001;
constexpr int kCancel = 1002;
constexpr int kDeviceType = 1030;

TEST_F(SettingsDialogTest, UpdatesSendTheRecordWithPlatenErrAndReportTheAcknowledgement)
{
    for (const int button : {kUpdateDefaults, kUpdateAllConfigs}) {
        SCOPED_TRACE(button);
        parent.messages.clear();
        const std::size_t before = FramesWithCommand(CMD_SET_SETTINGS).size();
        CSettingsTableDlg& btp = Open<CJetvaneSettingsBTPDlg>();
        const std::string record = btp.BuildSettingsString(true);
        btp.GetButton(button).Click();

        const std::vector<printer_sim::ReceivedFrame> sent = FramesWithCommand(CMD_SET_SETTINGS);
        ASSERT_EQ(sent.size(), before + 1);
        EXPECT_EQ(sent.back().direction, 1);
        EXPECT_EQ(sent.back().payload, button == kUpdateDefaults ? record : record + "q" + kDel);
        EXPECT_EQ(btp.Result(), 1);
        ASSERT_EQ(parent.messages.size(), 1u);
        EXPECT_EQ(parent.messages[0].id, WM_CONFIG_UPDATED);
        EXPECT_EQ(parent.messages[0].wParam, 1u);
        EXPECT_FALSE(btp.IsWindowVisible());
    }
}

TEST_F(SettingsDialogTest, UpdateFailsOnAnyOtherReplyOrSilence)
{
    for (const printer_sim::FaultKind kind : {printer_sim::FaultKind::Refuse, printer_sim::FaultKind::Silence}) {
        parent.messages.clear();
        printer_sim::Fault fault;
        fault.kind = kind;
        fault.command = CMD_SET_SETTINGS;
        fault.refuseCode = REPLY_SETTINGS;
        printer->AddFault(fault);
        CSettingsTableDlg& bpp = Open<CJetvaneSettingsBPPDlg>();
        bpp.GetButton(kUpdateDefaults).Click();
        EXPECT_EQ(bpp.Result(), 2);
        ASSERT_EQ(parent.messages.size(), 1u);
        EXPECT_EQ(parent.messages[0].id, WM_BPP_CONFIG_UPDATED);
        EXPECT_EQ(parent.messages[0].wParam, 2u);
    }
}

TEST_F(SettingsDialogTest, EepromUpdateUsesItsOwnCommand)
{
    CSettingsTableDlg& eeprom = Open<CJetvaneEEPROMSettingsDlg>();
    eeprom.GetButton(kUpdateDefaults).Click();
    const std::vector<printer_sim::ReceivedFrame> sent = FramesWithCommand(CMD_SET_EEPROM_SETTINGS);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].payload, eeprom.BuildSettingsString(false));
    ASSERT_EQ(parent.messages.size(), 1u);
    EXPECT_EQ(parent.messages[0].id, WM_CONFIG_UPDATED);
    EXPECT_EQ(parent.messages[0].wParam, 1u);
}

TEST_F(SettingsDialogTest, AClickAfterClosingStartsNoSecondExchange)
{
    CSettingsTableDlg& btp = Open<CJetvaneSettingsBTPDlg>();
    btp.OnBnClickedUpdateDefaults();
    connection.Close();
    btp.OnBnClickedUpdateAllConfigs();
    btp.OnBnClickedCancel();
    EXPECT_EQ(FramesWithCommand(CMD_SET_SETTINGS).size(), 1u);
    EXPECT_EQ(parent.messages.size(), 1u);
    EXPECT_EQ(btp.Result(), 1);
}

TEST_F(SettingsDialogTest, EveryWayOutReportsOnce)
{
    const auto cancelButton = [this] { dialog->GetButton(kCancel).Click(); };
    const auto escape = [this] { gui_test::PressKey(dialog->Window(), Qt::Key_Escape); };
    const auto closeSettings = [this] { EXPECT_TRUE(dialog->CloseSettings()); };
    const auto destroy = [this] { dialog.reset(); };
    for (const auto& way : std::vector<std::function<void()>>{cancelButton, escape, closeSettings, destroy}) {
        parent.messages.clear();
        Open<CJetvaneSettingsBPPDlg>();
        way();
        if (dialog)
            dialog->GetButton(kCancel).Click();
        ASSERT_EQ(parent.messages.size(), 1u);
        EXPECT_EQ(parent.messages[0].id, WM_BPP_CONFIG_UPDATED);
        EXPECT_EQ(parent.messages[0].wParam, 0u);
    }
}

TEST_F(SettingsDialogTest, TypeSwitchAsksAndSendsTheOtherTypeOnYes)
{
    CSettingsTableDlg& bpp = Open<CJetvaneSettingsBPPDlg>();
    bpp.ApplyDeviceTypeList("BPPBTP");
    prompts.AnswerMessageBox(ui::IDNO);
    Choose(kDeviceType, "BTP");
    ASSERT_EQ(prompts.MessageBoxes().size(), 1u);
    EXPECT_EQ(prompts.MessageBoxes()[0].text,
              "Switching printer type will cause any changes to be lost. Do you want to contiue?");
    EXPECT_EQ(prompts.MessageBoxes()[0].type & 0xF, ui::MB_YESNO);
    EXPECT_EQ(Text(kDeviceType), "BPP");
    EXPECT_TRUE(parent.messages.empty());

    prompts.AnswerMessageBox(ui::IDYES);
    Choose(kDeviceType, "BTP");
    ASSERT_EQ(parent.messages.size(), 1u);
    EXPECT_EQ(parent.messages[0].id, WM_CHANGE_DEVICE_TYPE);
    EXPECT_EQ(parent.messages[0].wParam, 1u);
    // Once the switch is asked for, the dialog ends without a result.
    EXPECT_TRUE(bpp.CloseSettings());
    EXPECT_EQ(parent.messages.size(), 1u);
}

TEST_F(SettingsDialogTest, TypeSwitchWithoutAParentCannotBeMade)
{
    auto orphan = std::make_unique<CJetvaneSettingsBTPDlg>(nullptr);
    ASSERT_TRUE(orphan->Create(nullptr));
    orphan->ApplyDeviceTypeList("BTP BPP");
    prompts.AnswerMessageBox(ui::IDYES);
    prompts.AnswerMessageBox(ui::IDOK);
    orphan->GetComboBox(kDeviceType).SetCurSel(1);
    orphan->OnCbnSelchangeDeviceType();
    ASSERT_EQ(prompts.MessageBoxes().size(), 2u);
    EXPECT_EQ(prompts.MessageBoxes()[1].text, "Unable to change the device type.");
    EXPECT_EQ(orphan->GetDeviceType(), 1);
}

} // namespace
} // namespace settings_test

namespace settings_test {
namespace {

// Pictures of the dialogs as a technician sees them, filled from a printer's factory values,
// at both access levels (to JETVANE_SCREENSHOT_DIR, else this build folder).
TEST_F(SettingsDialogTest, FilledDialogsArePictured)
{
    QString folder = qEnvironmentVariable("JETVANE_SCREENSHOT_DIR");
    if (folder.isEmpty())
        folder = QString::fromUtf8(JETVANE_DEFAULT_SCREENSHOT_DIR);
    const std::string bpp = printer_sim::DefaultSettingsRecord(printer_sim::PrinterType::BPP);
    const std::string btp = printer_sim::DefaultSettingsRecord(printer_sim::PrinterType::BTP);
    const std::string eeprom = printer_sim::DefaultEepromRecord(printer_sim::PrinterType::BTP);
    for (const int level : {0, 1}) {
        for (const auto& [name, open] : std::vector<std::pair<QString, std::function<void()>>>{
                 {"bpp", [&] { Open<CJetvaneSettingsBPPDlg>(level, &bpp); }},
                 {"btp", [&] { Open<CJetvaneSettingsBTPDlg>(level, &btp); }},
                 {"eeprom", [&] { Open<CJetvaneEEPROMSettingsDlg>(level, &eeprom); }}}) {
            open();
            dialog->SetTitle(QStringLiteral("Printer"));
            gui_test::ProcessPendingEvents();
            const QString path = QDir(folder).filePath(QString("settings_filled_%1_level%2.png").arg(name).arg(level));
            EXPECT_TRUE(ui::SaveScreenshot(dialog->Window(), path)) << path.toStdString();
        }
    }
}

} // namespace
} // namespace settings_test

namespace settings_test {
namespace {

// Hovering shows the control's tip from the table; a long one wraps at 200 pixels, an empty
// one shows nothing.
TEST_F(SettingsDialogTest, ToolTipsComeFromTheTable)
{
    const auto hover = [this](int id) {
        QWidget* control = dialog->GetDlgItem(id).Widget();
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), control->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(control, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    Open<CJetvaneSettingsBTPDlg>();
    EXPECT_EQ(hover(1022), "Print contrast\nValid Range From 1 to 9");
    const QString hdc = hover(1003);
    EXPECT_TRUE(hdc.contains("Enter the printers default HDC (Hardcode).")) << hdc.toStdString();
    EXPECT_TRUE(hdc.contains("width=\"200\"")) << hdc.toStdString();
    QToolTip::hideText();
    Open<CJetvaneEEPROMSettingsDlg>();
    EXPECT_TRUE(hover(1069).isEmpty());
}

} // namespace
} // namespace settings_test
