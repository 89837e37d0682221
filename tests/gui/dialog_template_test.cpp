// Dialogs built from templates: controls, ids, captions, initial states and their size in
// pixels from dialog units.

#include "gui_test_support.h"
#include "sample_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <vector>

namespace gui_test {
namespace {

TEST(DialogUnits, ConvertWithTheBaseUnitsAsWindowsDoes)
{
    const QSize base(6, 13);
    // 11 * 6 / 4 = 16.5 and 67 * 13 / 8 = 108.875 round to 17 and 109.
    EXPECT_EQ(ui::MapDialogRect({11, 67, 94, 14}, base), QRect(17, 109, 141, 23));
    EXPECT_EQ(ui::MapDialogSize(213, 145, base), QSize(320, 236));
}

TEST(DialogUnits, DialogFontGivesCompactBaseUnits)
{
    const QSize base = ui::DialogBaseUnits(ui::DialogFont());
    // A Windows dialog in its 8-point font has 6 x 13; ours must stay close to that.
    EXPECT_GE(base.width(), 5);
    EXPECT_LE(base.width(), 8);
    EXPECT_GE(base.height(), 11);
    EXPECT_LE(base.height(), 16);
}

TEST(DialogTemplate, CreateBuildsEachControlWithItsIdAndCaption)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.initCount, 1);
    EXPECT_EQ(dialog.GetWindowText(), QString("Sample Port Dialog"));
    EXPECT_NE(qobject_cast<QPushButton*>(dialog.GetDlgItem(kEditButtonId).Widget()), nullptr);
    EXPECT_EQ(dialog.GetDlgItemText(kEditButtonId), QString("&Edit Default Config"));
    EXPECT_EQ(dialog.GetDlgItemText(kExitButtonId), QString("E&xit"));
    EXPECT_EQ(dialog.GetDlgItemText(kStatusId), QString("Ready\nsecond line"));
    EXPECT_EQ(dialog.GetDlgItem(kEditButtonId).GetDlgCtrlID(), kEditButtonId);
    auto* port = qobject_cast<QComboBox*>(dialog.GetDlgItem(kPortComboId).Widget());
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(port->isEditable());
    auto* choice = qobject_cast<QComboBox*>(dialog.GetDlgItem(kChoiceComboId).Widget());
    ASSERT_NE(choice, nullptr);
    EXPECT_FALSE(choice->isEditable());
    EXPECT_NE(qobject_cast<QCheckBox*>(dialog.GetDlgItem(kKeepCheckId).Widget()), nullptr);
    EXPECT_NE(qobject_cast<QLineEdit*>(dialog.GetDlgItem(kHiddenEditId).Widget()), nullptr);
    EXPECT_FALSE(dialog.GetDlgItem(4242).IsWindow());
    EXPECT_EQ(dialog.GetDlgItemText(4242), QString());
}

TEST(DialogTemplate, ControlsStartInTheStatesTheTemplateGives)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_FALSE(dialog.IsDlgItemEnabled(kDisabledButtonId));
    EXPECT_TRUE(dialog.IsDlgItemEnabled(kEditButtonId));
    EXPECT_FALSE(dialog.GetDlgItem(kHiddenEditId).IsWindowVisible());
    EXPECT_TRUE(dialog.GetDlgItem(kEditButtonId).IsWindowVisible());
    EXPECT_EQ(dialog.GetDlgItem(kEditButtonId).Widget()->focusPolicy(), Qt::StrongFocus);
    auto* status = qobject_cast<QLabel*>(dialog.GetDlgItem(kStatusId).Widget());
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(status->focusPolicy(), Qt::NoFocus);
}

TEST(DialogTemplate, ControlsArePlacedInPixelsFromDialogUnits)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const QSize base = ui::DialogBaseUnits(dialog.Window()->font());
    EXPECT_EQ(dialog.Window()->size(), ui::MapDialogSize(213, 145, base));
    EXPECT_EQ(dialog.GetDlgItem(kEditButtonId).Widget()->geometry(), ui::MapDialogRect({11, 67, 94, 14}, base));
    EXPECT_EQ(dialog.GetDlgItem(kExitButtonId).Widget()->geometry(), ui::MapDialogRect({108, 119, 94, 14}, base));
    // A combo's template height holds its dropped list; the closed box keeps the x, y and width.
    const QRect combo = dialog.GetDlgItem(kPortComboId).Widget()->geometry();
    const QRect comboUnits = ui::MapDialogRect({36, 15, 69, 204}, base);
    EXPECT_EQ(combo.topLeft(), comboUnits.topLeft());
    EXPECT_EQ(combo.width(), comboUnits.width());
    EXPECT_LT(combo.height(), comboUnits.height() / 4);
}

TEST(DialogTemplate, DoubleAmpersandIsALiteralAmpersand)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    auto* check = qobject_cast<QCheckBox*>(dialog.GetDlgItem(kKeepCheckId).Widget());
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->text(), QString("&Keep && Reuse"));
    // Qt shows "&&" as one "&" and takes "&K" as the access key, as Windows does.
    EXPECT_EQ(check->shortcut(), QKeySequence(Qt::ALT | Qt::Key_K));
}

TEST(DialogControls, TextsAndStatesChangeThroughTheDialog)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.SetDlgItemText(kStatusId, "Searching...");
    EXPECT_EQ(dialog.GetDlgItemText(kStatusId), QString("Searching..."));
    dialog.EnableDlgItem(kEditButtonId, false);
    EXPECT_FALSE(dialog.IsDlgItemEnabled(kEditButtonId));
    dialog.ShowDlgItem(kHiddenEditId, true);
    EXPECT_TRUE(dialog.GetDlgItem(kHiddenEditId).IsWindowVisible());
    dialog.CheckDlgButton(kKeepCheckId, true);
    EXPECT_TRUE(dialog.IsDlgButtonChecked(kKeepCheckId));
    dialog.GetButton(kExitButtonId).SetWindowText("&Cancel");
    EXPECT_EQ(dialog.GetDlgItemText(kExitButtonId), QString("&Cancel"));
}

// A control that loses the keyboard focus by being disabled has it again once enabled,
// unless it was put elsewhere meanwhile; Qt alone leaves it on the next control.
TEST(DialogControls, FocusTakenByDisablingComesBackWithTheControl)
{
    struct Case {
        const char* name;
        int focus;
        std::vector<int> disabled;
        int movedTo; // 0: left where Qt put it
        std::vector<int> enabled;
        int focusAfter;
    };
    const Case cases[] = {
        {"one button", kEditButtonId, {kEditButtonId}, 0, {kEditButtonId}, kEditButtonId},
        {"a row, passed along it", kEditButtonId, {kEditButtonId, kSendButtonId, kKeepCheckId}, 0,
         {kKeepCheckId, kSendButtonId, kEditButtonId}, kEditButtonId},
        {"a row, enabled in order", kSendButtonId, {kEditButtonId, kSendButtonId, kKeepCheckId}, 0,
         {kEditButtonId, kSendButtonId, kKeepCheckId}, kSendButtonId},
        {"a combo's edit field", kPortComboId, {kPortComboId}, 0, {kPortComboId}, kPortComboId},
        {"moved elsewhere meanwhile", kEditButtonId, {kEditButtonId, kSendButtonId}, kChoiceComboId,
         {kSendButtonId, kEditButtonId}, kChoiceComboId},
        {"another control enabled", kEditButtonId, {kEditButtonId}, 0, {kDisabledButtonId}, kSendButtonId},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SampleDialog dialog;
        ASSERT_TRUE(dialog.Create());
        dialog.ShowWindow(true);
        dialog.GotoDlgCtrl(c.focus);
        ASSERT_EQ(dialog.GetFocusedDlgItem(), c.focus);
        for (const int id : c.disabled)
            dialog.EnableDlgItem(id, false);
        ASSERT_NE(dialog.GetFocusedDlgItem(), c.focus);
        if (c.movedTo != 0)
            dialog.GotoDlgCtrl(c.movedTo);
        for (const int id : c.enabled)
            dialog.EnableDlgItem(id, true);
        EXPECT_EQ(dialog.GetFocusedDlgItem(), c.focusAfter);
    }
}

TEST(DialogControls, ComboListsItemsAndReportsTheSelection)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::ComboBox port = dialog.GetComboBox(kPortComboId);
    EXPECT_EQ(port.AddString("AUTO"), 0);
    EXPECT_EQ(port.AddString("COM1"), 1);
    EXPECT_EQ(port.AddString("COM2"), 2);
    EXPECT_EQ(port.GetCurSel(), -1);
    EXPECT_EQ(port.SetCurSel(0), 0);
    EXPECT_EQ(port.GetWindowText(), QString("AUTO"));
    // As CB_SETCURSEL: an index outside the list is refused and clears the selection.
    EXPECT_EQ(port.SetCurSel(7), ui::ComboBox::kError);
    EXPECT_EQ(port.GetCurSel(), -1);
    EXPECT_EQ(port.GetCount(), 3);
    EXPECT_EQ(port.GetLBText(2), QString("COM2"));
    EXPECT_EQ(port.FindStringExact("com1"), 1);
    EXPECT_EQ(port.FindStringExact("COM"), -1);
}

TEST(DialogControls, TypingAnUnlistedTextLeavesTheComboWithoutSelection)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::ComboBox port = dialog.GetComboBox(kPortComboId);
    port.AddString("AUTO");
    port.AddString("COM1");
    port.AddString("COM12");
    port.SetCurSel(0);
    auto* edit = qobject_cast<QComboBox*>(port.Widget())->lineEdit();
    edit->selectAll();
    TypeText(edit, "com1");
    EXPECT_EQ(port.GetWindowText(), QString("COM1")); // upper-case combo
    EXPECT_EQ(port.GetCurSel(), 1);
    TypeText(edit, "7");
    EXPECT_EQ(port.GetWindowText(), QString("COM17"));
    EXPECT_EQ(port.GetCurSel(), -1);
}

TEST(DialogControls, SettingAComboTextSelectsTheMatchingItemOrNone)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::ComboBox port = dialog.GetComboBox(kPortComboId);
    port.AddString("AUTO");
    port.AddString("COM3");
    port.SetCurSel(0);
    port.SetWindowText("com3");
    EXPECT_EQ(port.GetWindowText(), QString("COM3"));
    EXPECT_EQ(port.GetCurSel(), 1);
    port.SetWindowText("/dev/ttyUSB0");
    EXPECT_EQ(port.GetCurSel(), -1);

    const ui::ComboBox choice = dialog.GetComboBox(kChoiceComboId);
    choice.AddString("AEA");
    choice.AddString("SITA");
    choice.SetCurSel(0);
    choice.SetWindowText("NONE"); // a drop-list has no text of its own
    EXPECT_EQ(choice.GetCurSel(), 0);
    choice.SetWindowText("sita");
    EXPECT_EQ(choice.GetCurSel(), 1);
}

TEST(DialogControls, ProgressPositionIsKeptInsideItsRange)
{
    SampleDialog dialog(kProgressDialog);
    ASSERT_TRUE(dialog.Create());
    const ui::ProgressCtrl bar = dialog.GetProgressCtrl(kProgressId);
    EXPECT_EQ(bar.GetPos(), 0);
    bar.SetRange32(0, 4);
    EXPECT_EQ(bar.SetPos(3), 0);
    EXPECT_EQ(bar.GetPos(), 3);
    bar.SetPos(9);
    EXPECT_EQ(bar.GetPos(), 4);
    bar.SetRange32(0, 100);
    bar.SetPos(100);
    EXPECT_EQ(qobject_cast<QProgressBar*>(bar.Widget())->value(), 100);
}

class CustomEditDialog : public SampleDialog {
public:
    class MarkedEdit : public QLineEdit {
    public:
        using QLineEdit::QLineEdit;
    };

protected:
    QWidget* CreateCustomControl(const ui::ControlTemplate& control, QWidget* parent) override
    {
        return control.id == kHiddenEditId ? new MarkedEdit(parent) : nullptr;
    }
};

TEST(DialogTemplate, ADialogMaySupplyItsOwnControlClass)
{
    CustomEditDialog dialog;
    ASSERT_TRUE(dialog.Create());
    QWidget* edit = dialog.GetDlgItem(kHiddenEditId).Widget();
    EXPECT_NE(dynamic_cast<CustomEditDialog::MarkedEdit*>(edit), nullptr);
    EXPECT_FALSE(dialog.GetDlgItem(kHiddenEditId).IsWindowVisible()); // the template's state still applies
    dialog.GetEdit(kHiddenEditId).SetWindowText("42");
    EXPECT_EQ(dialog.GetDlgItemText(kHiddenEditId), QString("42"));
}

} // namespace
} // namespace gui_test
