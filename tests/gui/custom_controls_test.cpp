// The numeric spin edit and the combo with shortcuts, driven by real key and wheel events
// and the event loop that runs what they post.

#include "gui_test_support.h"

#include "settings/custom_controls.h"

#include <QApplication>
#include <QClipboard>
#include <QLocale>
#include <QPalette>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace gui_test {
namespace {

std::unique_ptr<CCustomEditCtrl> NumericEdit(int minimum, int maximum, int step = 1, bool plusSign = false)
{
    auto edit = std::make_unique<CCustomEditCtrl>();
    edit->SetNumericMode(true);
    edit->SetRange(minimum, maximum);
    edit->SetStep(step);
    edit->SetPlusSignMode(plusSign);
    return edit;
}

void SendKey(QWidget* target, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString& text = {},
             bool autoRepeat = false)
{
    QKeyEvent event(type, key, modifiers, text, autoRepeat);
    QCoreApplication::sendEvent(target, &event);
}

void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    SendKey(target, QEvent::KeyPress, key, modifiers, text);
    SendKey(target, QEvent::KeyRelease, key, modifiers, text);
}

void Turn(QWidget* target, QPoint angleDelta, Qt::MouseButtons buttons = Qt::NoButton,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), angleDelta, buttons, modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

const QColor kCrimson(220, 20, 60);

struct ValidationCase {
    const char* what;
    int minimum;
    int maximum;
    bool plusSign;
    const char* before; // validated first, to leave a previous result
    const char* text;
    int delta;
    bool valid;
    int value;
    const char* valueText;
};

const ValidationCase kValidationCases[] = {
    {"empty on a new edit", 0, 0, false, "", "", 0, true, 0, ""},
    {"explicit plus kept in plus-sign mode", -50, 50, true, "", "+5", 0, true, 5, "+5"},
    {"no sign typed, none shown", -50, 50, true, "", "5", 0, true, 5, "5"},
    {"minus in plus-sign mode", -50, 50, true, "", "-5", 0, true, -5, "-5"},
    {"plus dropped without plus-sign mode", -50, 50, false, "", "+5", 0, true, 5, "5"},
    {"blanks around", 0, 100, false, "", " 12 ", 0, true, 12, "12"},
    {"tab and line end around", 0, 100, false, "", "\t12\r\n", 0, true, 12, "12"},
    {"inner blank", 0, 100, false, "7", "1 2", 0, false, 7, "7"},
    {"trailing letter", 0, 100, false, "7", "12a", 0, false, 7, "7"},
    {"double minus", -50, 50, false, "7", "--3", 0, false, 7, "7"},
    {"sign after the digits", -50, 50, false, "7", "5-", 0, false, 7, "7"},
    {"plus then minus", -50, 50, true, "7", "+-5", 0, false, 7, "7"},
    {"non-ASCII digit", 0, 100, false, "7", "\xD9\xA3", 0, false, 7, "7"},
    {"minus alone", -50, 50, false, "7", "-", 0, true, 0, "7"},
    {"plus alone keeps invalid", 0, 50, false, "99", "+", 0, false, 0, "0"},
    {"empty", 0, 100, false, "7", "", 0, true, 7, "7"},
    {"blank", 0, 100, false, "7", "   ", 0, true, 7, "7"},
    {"empty keeps invalid", 0, 100, false, "7x", "", 0, false, 0, ""},
    {"range left at zero takes zero", 0, 0, false, "", "0", 0, true, 0, "0"},
    {"range left at zero refuses one", 0, 0, false, "", "1", 0, false, 0, "0"},
    {"above the range", 0, 12, false, "7", "13", 0, false, 0, "0"},
    {"below the range", -5, 12, false, "7", "-6", 0, false, 0, "0"},
    {"outside the range with a sign", -50, 50, true, "7", "+51", 0, false, 0, "+0"},
    {"minus zero in plus-sign mode", -50, 50, true, "", "-0", 0, true, 0, "+0"},
    {"leading zeros", 0, 100, false, "", "007", 0, true, 7, "7"},
    {"delta clamped at the maximum", 0, 12, false, "", "10", 5, true, 12, "12"},
    {"delta clamped at the minimum", 0, 12, false, "", "10", -20, true, 0, "0"},
    {"no delta outside the range", 0, 12, false, "", "13", -1, false, 0, "0"},
    {"Home's step reaches the maximum", -50, 50, false, "", "5", 9999, true, 50, "50"},
    {"End's step reaches the minimum", -50, 50, false, "", "5", -9999, true, -50, "-50"},
    {"delta with the sign kept", -50, 50, true, "", "+5", 1, true, 6, "+6"},
    {"too large saturates", 0, 2147483647, false, "", "99999999999", 0, true, 2147483647, "2147483647"},
    {"too large negative saturates", -2147483647 - 1, 2147483647, false, "", "-99999999999", 0, true, -2147483647,
     "-2147483647"},
    {"saturated number outside a dialog range", 0, 9999, false, "", "99999999999", 0, false, 0, "0"},
    {"delta at the top of 32 bits", -2147483647 - 1, 2147483647, false, "", "2147483647", 1, true, 2147483647,
     "2147483647"},
};

TEST(NumericEdit, ValidateValueFollowsEveryRule)
{
    for (const ValidationCase& row : kValidationCases) {
        SCOPED_TRACE(row.what);
        const auto edit = NumericEdit(row.minimum, row.maximum, 1, row.plusSign);
        edit->ValidateValue(QString::fromUtf8(row.before), 0);
        EXPECT_EQ(edit->ValidateValue(QString::fromUtf8(row.text), row.delta), row.valid);
        EXPECT_EQ(edit->IsValid(), row.valid);
        EXPECT_EQ(edit->Value(), row.value);
        EXPECT_EQ(edit->ValueText(), QString::fromUtf8(row.valueText));
    }
}

TEST(NumericEdit, OutsideNumericModeEveryTextIsValidAndTheValueTextStays)
{
    const auto edit = NumericEdit(0, 100);
    ASSERT_TRUE(edit->ValidateValue("5", 0));
    edit->SetNumericMode(false);
    EXPECT_TRUE(edit->ValidateValue("abc", 0));
    EXPECT_TRUE(edit->ValidateValue("500", 3));
    EXPECT_EQ(edit->Value(), 5);
    EXPECT_EQ(edit->ValueText(), QString("5"));
}

TEST(NumericEdit, GetValueTextNormalisesTheWindowText)
{
    const auto edit = NumericEdit(-100, 100, 1, true);
    edit->setText(" +007 ");
    QString out;
    edit->GetValueText(out);
    EXPECT_EQ(out, QString("+7"));
}

TEST(NumericEdit, LocaleSignOfOneCharacterIsTakenALongerOneIsNot)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
    const auto swedish = NumericEdit(-50, 50);
    QLocale::setDefault(QLocale(QLocale::Hebrew, QLocale::Israel));
    const auto hebrew = NumericEdit(-50, 50);
    QLocale::setDefault(previous);

    ASSERT_EQ(QLocale(QLocale::Swedish).negativeSign().size(), 1);
    EXPECT_EQ(swedish->NegativeSign(), QChar(0x2212));
    EXPECT_TRUE(swedish->ValidateValue(QString(QChar(0x2212)) + "5", 0));
    EXPECT_EQ(swedish->ValueText(), QString("-5"));
    EXPECT_TRUE(swedish->ValidateValue("-6", 0)); // '-' still counts

    ASSERT_GT(QLocale(QLocale::Hebrew).negativeSign().size(), 1);
    EXPECT_EQ(hebrew->NegativeSign(), QChar('-'));
    EXPECT_EQ(hebrew->PositiveSign(), QChar('+'));
}

struct TypedKey {
    const char* what;
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* text;
    bool typed;
};

const TypedKey kTypedKeys[] = {
    {"letter", Qt::Key_A, Qt::NoModifier, "a", false},
    {"comma", Qt::Key_Comma, Qt::NoModifier, ",", false},
    {"point", Qt::Key_Period, Qt::NoModifier, ".", false},
    {"space", Qt::Key_Space, Qt::NoModifier, " ", false},
    {"slash", Qt::Key_Slash, Qt::NoModifier, "/", false},
    {"keypad point", Qt::Key_Period, Qt::KeypadModifier, ".", false},
    {"keypad star", Qt::Key_Asterisk, Qt::KeypadModifier, "*", false},
    {"letter with a diacritic", Qt::Key_Eacute, Qt::NoModifier, "\xC3\xA9", false},
    {"shifted digit", Qt::Key_Exclam, Qt::ShiftModifier, "!", false},
    {"shifted letter", Qt::Key_A, Qt::ShiftModifier, "A", false},
    {"Alt with a letter", Qt::Key_A, Qt::AltModifier, "a", false},
    {"Alt with a digit", Qt::Key_5, Qt::AltModifier, "5", false},
    {"digit", Qt::Key_5, Qt::NoModifier, "5", true},
    {"keypad digit", Qt::Key_5, Qt::KeypadModifier, "5", true},
    {"minus", Qt::Key_Minus, Qt::NoModifier, "-", true},
    {"keypad minus", Qt::Key_Minus, Qt::KeypadModifier, "-", true},
    {"keypad plus", Qt::Key_Plus, Qt::KeypadModifier, "+", true},
    {"shifted plus", Qt::Key_Plus, Qt::ShiftModifier, "+", true},
    {"the plus key's own character", Qt::Key_Equal, Qt::NoModifier, "=", true},
};

TEST(NumericEdit, KeyFilterLetsOnlyDigitsAndSignsThrough)
{
    for (const TypedKey& row : kTypedKeys) {
        SCOPED_TRACE(row.what);
        const auto edit = NumericEdit(-50, 50);
        Press(edit.get(), row.key, row.modifiers, QString::fromUtf8(row.text));
        ProcessPendingEvents();
        EXPECT_EQ(edit->text(), row.typed ? QString::fromUtf8(row.text) : QString());
    }
}

TEST(NumericEdit, OutsideNumericModeLettersAreTypedAndArrowsDoNotStep)
{
    CCustomEditCtrl edit;
    edit.setText("10");
    Press(&edit, Qt::Key_Up);
    Press(&edit, Qt::Key_A, Qt::NoModifier, "a");
    ProcessPendingEvents();
    EXPECT_EQ(edit.text(), QString("10a"));
}

TEST(EditShortcuts, CtrlCopiesCutsPastesAndUndoesOnceInEitherMode)
{
    for (const bool numeric : {true, false}) {
        SCOPED_TRACE(numeric ? "numeric" : "plain");
        auto edit = NumericEdit(0, 100000);
        edit->SetNumericMode(numeric);
        edit->setText("42");
        Press(edit.get(), Qt::Key_A, Qt::ControlModifier);
        Press(edit.get(), Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), QString("42"));
        Press(edit.get(), Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), QString());
        QApplication::clipboard()->setText("17");
        Press(edit.get(), Qt::Key_V, Qt::ControlModifier);
        Press(edit.get(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), QString("1717"));
        Press(edit.get(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), QString("17"));
        ProcessPendingEvents();
    }
}

struct StepCase {
    const char* what;
    int minimum;
    int maximum;
    int step;
    bool plusSign;
    const char* text;
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* after;
};

const StepCase kStepCases[] = {
    {"Up clamps at the maximum", 0, 12, 5, false, "10", Qt::Key_Up, Qt::NoModifier, "12"},
    {"Down", 0, 12, 5, false, "10", Qt::Key_Down, Qt::NoModifier, "5"},
    {"Left", 0, 12, 5, false, "10", Qt::Key_Left, Qt::NoModifier, "5"},
    {"Right", 0, 12, 1, false, "10", Qt::Key_Right, Qt::NoModifier, "11"},
    {"Page Up with step 1", 0, 100, 1, false, "5", Qt::Key_PageUp, Qt::NoModifier, "15"},
    {"Page Up with step 3", 0, 100, 3, false, "5", Qt::Key_PageUp, Qt::NoModifier, "11"},
    {"Page Down with step 1", 0, 100, 1, false, "50", Qt::Key_PageDown, Qt::NoModifier, "40"},
    {"Page Down with step 3", 0, 100, 3, false, "50", Qt::Key_PageDown, Qt::NoModifier, "44"},
    {"Home", -50, 50, 1, false, "5", Qt::Key_Home, Qt::NoModifier, "50"},
    {"End", -50, 50, 1, false, "5", Qt::Key_End, Qt::NoModifier, "-50"},
    {"keypad arrow", 0, 12, 1, false, "10", Qt::Key_Up, Qt::KeypadModifier, "11"},
    {"sign kept in plus-sign mode", -50, 50, 1, true, "+5", Qt::Key_Up, Qt::NoModifier, "+6"},
    {"normalised while stepping", 0, 100, 1, false, " 007", Qt::Key_Up, Qt::NoModifier, "8"},
    {"invalid text is not written", 0, 12, 1, false, "1x", Qt::Key_Up, Qt::NoModifier, "1x"},
    {"number outside the range is not written", 0, 12, 1, false, "99", Qt::Key_Up, Qt::NoModifier, "99"},
    {"Ctrl+Up does not step", 0, 12, 1, false, "10", Qt::Key_Up, Qt::ControlModifier, "10"},
    {"Alt+Up does not step", 0, 12, 1, false, "10", Qt::Key_Up, Qt::AltModifier, "10"},
    {"Shift+Up does not step", 0, 12, 1, false, "10", Qt::Key_Up, Qt::ShiftModifier, "10"},
};

TEST(NumericEdit, SteppingKeysActOnKeyUpThroughThePostedStep)
{
    for (const StepCase& row : kStepCases) {
        SCOPED_TRACE(row.what);
        const auto edit = NumericEdit(row.minimum, row.maximum, row.step, row.plusSign);
        edit->setText(QString::fromUtf8(row.text));
        SendKey(edit.get(), QEvent::KeyPress, row.key, row.modifiers);
        ProcessPendingEvents();
        EXPECT_EQ(edit->text(), QString::fromUtf8(row.text)) << "after key-down";
        SendKey(edit.get(), QEvent::KeyRelease, row.key, row.modifiers);
        EXPECT_EQ(edit->text(), QString::fromUtf8(row.text)) << "inside the key's handling";
        ProcessPendingEvents();
        EXPECT_EQ(edit->text(), QString::fromUtf8(row.after));
    }
}

TEST(NumericEdit, HeldKeyStepsOnceWhenReleased)
{
    const auto edit = NumericEdit(0, 100);
    edit->setText("10");
    SendKey(edit.get(), QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    for (int repeat = 0; repeat < 3; ++repeat) {
        SendKey(edit.get(), QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier, {}, true);
        SendKey(edit.get(), QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, {}, true);
    }
    SendKey(edit.get(), QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier);
    ProcessPendingEvents();
    EXPECT_EQ(edit->text(), QString("11"));
}

struct WheelCase {
    const char* what;
    int step;
    const char* text;
    QPoint angleDelta;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
    const char* after;
};

const WheelCase kWheelCases[] = {
    {"one notch up adds step", 5, "10", {0, 120}, Qt::NoButton, Qt::NoModifier, "15"},
    {"two notches down", 5, "10", {0, -240}, Qt::NoButton, Qt::NoModifier, "0"},
    {"half a notch rewrites the text", 5, "007", {0, 60}, Qt::NoButton, Qt::NoModifier, "7"},
    {"Alt is not reported", 5, "10", {120, 0}, Qt::NoButton, Qt::AltModifier, "15"},
    {"Ctrl held passes it on", 5, "007", {0, 120}, Qt::NoButton, Qt::ControlModifier, "007"},
    {"Shift held passes it on", 5, "007", {0, 120}, Qt::NoButton, Qt::ShiftModifier, "007"},
    {"button held passes it on", 5, "007", {0, 120}, Qt::LeftButton, Qt::NoModifier, "007"},
    {"invalid text is not written", 5, "1x", {0, 120}, Qt::NoButton, Qt::NoModifier, "1x"},
};

TEST(NumericEdit, WheelStepsByWholeNotchesTimesStep)
{
    for (const WheelCase& row : kWheelCases) {
        SCOPED_TRACE(row.what);
        const auto edit = NumericEdit(0, 100, row.step);
        edit->setText(QString::fromUtf8(row.text));
        Turn(edit.get(), row.angleDelta, row.buttons, row.modifiers);
        EXPECT_EQ(edit->text(), QString::fromUtf8(row.text)) << "inside the wheel's handling";
        ProcessPendingEvents();
        EXPECT_EQ(edit->text(), QString::fromUtf8(row.after));
    }
}

TEST(NumericEdit, TextTurnsCrimsonWhileInvalidAndBackWhenValid)
{
    const auto edit = NumericEdit(0, 100);
    const QColor normal = edit->palette().color(QPalette::Active, QPalette::Text);
    ASSERT_NE(normal, kCrimson);
    for (const char* typed : {"1", "2", "-"})
        Press(edit.get(), QString(typed).front().unicode(), Qt::NoModifier, typed);
    ProcessPendingEvents();
    EXPECT_EQ(edit->text(), QString("12-"));
    EXPECT_FALSE(edit->IsValid());
    EXPECT_EQ(edit->palette().color(QPalette::Active, QPalette::Text), kCrimson);
    Press(edit.get(), Qt::Key_Backspace);
    ProcessPendingEvents();
    EXPECT_TRUE(edit->IsValid());
    EXPECT_EQ(edit->palette().color(QPalette::Active, QPalette::Text), normal);
    edit->ValidateValue("101", 0);
    EXPECT_EQ(edit->palette().color(QPalette::Inactive, QPalette::Text), kCrimson);
}

TEST(CustomCombo, CtrlVPastesOnceAndTheOtherShortcutsActOnTheEditField)
{
    CCustomComboCtrl combo;
    combo.setEditable(true);
    combo.setEditText("AB");
    QApplication::clipboard()->setText("CD");
    Press(&combo, Qt::Key_V, Qt::ControlModifier);
    Press(&combo, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(combo.currentText(), QString("ABCDCD"));
    Press(&combo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(combo.currentText(), QString("ABCD"));
    Press(&combo, Qt::Key_A, Qt::ControlModifier);
    Press(&combo, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(combo.currentText(), QString());
    EXPECT_EQ(QApplication::clipboard()->text(), QString("ABCD"));
}

} // namespace
} // namespace gui_test
