#include "settings/custom_controls.h"

#include "comms/decimal_text.h"
#include "comms/private_messages.h"
#include "ui/controls.h"
#include "ui/text.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QPalette>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <optional>

namespace {

using ui::kInvalidTextRgb;

// Item data that marks the entry of a value none of the other entries holds.
constexpr int kUnlistedRole = Qt::UserRole;

constexpr QChar kMinusSign = u'-';
constexpr QChar kPlusSign = u'+';
// The locale's sign when it has none: matches no character.
constexpr QChar kNoSign = u'\0';

// Step amounts of the keys and the wheel.
constexpr std::int64_t kPageStep = 10;           // Page Up / Page Down while step is 1 or less
constexpr std::int64_t kPageStepsPerPage = 2;    // otherwise, in steps
constexpr std::int64_t kHomeEndStep = 9999;      // far enough to reach either end of any range set
constexpr int kWheelDeltaPerNotch = 120;

// Windows virtual-key codes that the key rules name. VK_NONE stands for every key that no
// rule names.
constexpr std::uint32_t VK_NONE = 0x00;
constexpr std::uint32_t VK_BACK = 0x08;
constexpr std::uint32_t VK_TAB = 0x09;
constexpr std::uint32_t VK_RETURN = 0x0D;
constexpr std::uint32_t VK_ESCAPE = 0x1B;
constexpr std::uint32_t VK_SPACE = 0x20;
constexpr std::uint32_t VK_PRIOR = 0x21;
constexpr std::uint32_t VK_NEXT = 0x22;
constexpr std::uint32_t VK_END = 0x23;
constexpr std::uint32_t VK_HOME = 0x24;
constexpr std::uint32_t VK_LEFT = 0x25;
constexpr std::uint32_t VK_UP = 0x26;
constexpr std::uint32_t VK_RIGHT = 0x27;
constexpr std::uint32_t VK_DOWN = 0x28;
constexpr std::uint32_t VK_INSERT = 0x2D;
constexpr std::uint32_t VK_DELETE = 0x2E;
constexpr std::uint32_t VK_DIGIT_0 = 0x30; // '0' to '9'
constexpr std::uint32_t VK_LETTER_A = 0x41; // 'A' to 'Z'
constexpr std::uint32_t VK_LETTER_Z = 0x5A;
constexpr std::uint32_t VK_NUMPAD0 = 0x60; // to VK_NUMPAD9
constexpr std::uint32_t VK_MULTIPLY = 0x6A;
constexpr std::uint32_t VK_ADD = 0x6B;
constexpr std::uint32_t VK_SEPARATOR = 0x6C;
constexpr std::uint32_t VK_SUBTRACT = 0x6D;
constexpr std::uint32_t VK_DECIMAL = 0x6E;
constexpr std::uint32_t VK_DIVIDE = 0x6F;
constexpr std::uint32_t VK_OEM_1 = 0xBA;
constexpr std::uint32_t VK_OEM_PLUS = 0xBB;
constexpr std::uint32_t VK_OEM_COMMA = 0xBC;
constexpr std::uint32_t VK_OEM_MINUS = 0xBD;
constexpr std::uint32_t VK_OEM_PERIOD = 0xBE;
constexpr std::uint32_t VK_OEM_2 = 0xBF;
constexpr std::uint32_t VK_OEM_3 = 0xC0;
constexpr std::uint32_t VK_OEM_4 = 0xDB;
constexpr std::uint32_t VK_OEM_5 = 0xDC;
constexpr std::uint32_t VK_OEM_6 = 0xDD;
constexpr std::uint32_t VK_OEM_7 = 0xDE;
constexpr std::uint32_t VK_OEM_8 = 0xDF;
constexpr std::uint32_t VK_OEM_102 = 0xE2;

// The Ctrl shortcuts, by letter key.
constexpr std::uint32_t kSelectAllKey = 'A';
constexpr std::uint32_t kCopyKey = 'C';
constexpr std::uint32_t kPasteKey = 'V';
constexpr std::uint32_t kCutKey = 'X';
constexpr std::uint32_t kUndoKey = 'Z';

// Keys that never reach a numeric edit, besides the letters.
constexpr std::array kFilteredKeys{VK_SPACE,  VK_MULTIPLY, VK_SEPARATOR,  VK_DECIMAL, VK_DIVIDE,
                                   VK_OEM_1,  VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_2,   VK_OEM_3,
                                   VK_OEM_4,  VK_OEM_5,    VK_OEM_6,      VK_OEM_7,   VK_OEM_8,
                                   VK_OEM_102};

struct KeyMapping {
    int qtKey;
    std::uint32_t virtualKey;
};

// Keys that Qt and Windows both name by the key.
constexpr KeyMapping kNamedKeys[] = {
    {Qt::Key_Backspace, VK_BACK}, {Qt::Key_Tab, VK_TAB},       {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},  {Qt::Key_Enter, VK_RETURN},  {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},    {Qt::Key_PageUp, VK_PRIOR},  {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},        {Qt::Key_Home, VK_HOME},     {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},          {Qt::Key_Right, VK_RIGHT},   {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Insert, VK_INSERT},  {Qt::Key_Delete, VK_DELETE},
};

// The operator keys of the numeric keypad (Qt marks them with the keypad modifier).
constexpr KeyMapping kKeypadKeys[] = {
    {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},    {Qt::Key_Comma, VK_SEPARATOR},
    {Qt::Key_Minus, VK_SUBTRACT},    {Qt::Key_Period, VK_DECIMAL}, {Qt::Key_Slash, VK_DIVIDE},
};

// Punctuation keys of the main block. Qt names the character a key gives, Windows the key:
// both characters of each key of the US layout name that key.
constexpr KeyMapping kPunctuationKeys[] = {
    {Qt::Key_Semicolon, VK_OEM_1},     {Qt::Key_Colon, VK_OEM_1},       {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Plus, VK_OEM_PLUS},       {Qt::Key_Comma, VK_OEM_COMMA},   {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},     {Qt::Key_Underscore, VK_OEM_MINUS}, {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD},  {Qt::Key_Slash, VK_OEM_2},       {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},     {Qt::Key_AsciiTilde, VK_OEM_3},  {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_BraceLeft, VK_OEM_4},     {Qt::Key_Backslash, VK_OEM_5},   {Qt::Key_Bar, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6},  {Qt::Key_BraceRight, VK_OEM_6},  {Qt::Key_Apostrophe, VK_OEM_7},
    {Qt::Key_QuoteDbl, VK_OEM_7},
};

template <std::size_t N>
std::optional<std::uint32_t> Lookup(const KeyMapping (&table)[N], int qtKey)
{
    const auto found = std::find_if(std::begin(table), std::end(table),
                                    [qtKey](const KeyMapping& row) { return row.qtKey == qtKey; });
    if (found == std::end(table))
        return std::nullopt;
    return found->virtualKey;
}

// The Windows virtual key of a Qt key event. Any other key that gives a character (shifted
// digits, letters with diacritics, dead keys, other layouts' punctuation) counts as
// VK_OEM_8, the key Windows gives such characters on layouts where they have a key of their
// own; keys that give no character and that no rule names count as VK_NONE.
std::uint32_t VirtualKeyOf(const QKeyEvent& key)
{
    const int qtKey = key.key();
    const bool keypad = key.modifiers().testFlag(Qt::KeypadModifier);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return VK_LETTER_A + static_cast<std::uint32_t>(qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return (keypad ? VK_NUMPAD0 : VK_DIGIT_0) + static_cast<std::uint32_t>(qtKey - Qt::Key_0);
    if (const auto named = Lookup(kNamedKeys, qtKey))
        return *named;
    if (keypad) {
        if (const auto keypadKey = Lookup(kKeypadKeys, qtKey))
            return *keypadKey;
    }
    if (const auto punctuation = Lookup(kPunctuationKeys, qtKey))
        return *punctuation;
    if (qtKey >= Qt::Key_Dead_Grave && qtKey <= Qt::Key_Dead_Longsolidusoverlay)
        return VK_OEM_8;
    const QString text = key.text();
    if (!text.isEmpty() && text.front().isPrint())
        return VK_OEM_8;
    return VK_NONE;
}

bool IsLetterKey(std::uint32_t virtualKey)
{
    return virtualKey >= VK_LETTER_A && virtualKey <= VK_LETTER_Z;
}

bool IsSystemKey(const QKeyEvent& key)
{
    return key.modifiers().testFlag(Qt::AltModifier) && !key.modifiers().testFlag(Qt::ControlModifier);
}

bool IsFilteredKey(std::uint32_t virtualKey)
{
    return IsLetterKey(virtualKey) ||
           std::find(kFilteredKeys.begin(), kFilteredKeys.end(), virtualKey) != kFilteredKeys.end();
}

// The amount a stepping key adds, or nothing for any other key.
std::optional<std::int64_t> StepAmount(std::uint32_t virtualKey, std::int64_t step)
{
    const std::int64_t page = step <= 1 ? kPageStep : kPageStepsPerPage * step;
    switch (virtualKey) {
    case VK_LEFT:
    case VK_DOWN:
        return -step;
    case VK_UP:
    case VK_RIGHT:
        return step;
    case VK_PRIOR:
        return page;
    case VK_NEXT:
        return -page;
    case VK_HOME:
        return kHomeEndStep;
    case VK_END:
        return -kHomeEndStep;
    default:
        return std::nullopt;
    }
}

// Carries out a Ctrl shortcut on an edit field; false when the letter is none.
bool RunEditShortcut(QLineEdit& edit, std::uint32_t letterKey)
{
    switch (letterKey) {
    case kSelectAllKey:
        edit.selectAll(); // leaves the caret at the end, in view
        return true;
    case kCopyKey:
        edit.copy();
        return true;
    case kPasteKey:
        edit.paste();
        return true;
    case kCutKey:
        edit.cut();
        return true;
    case kUndoKey:
        edit.undo();
        return true;
    default:
        return false;
    }
}

// The letter of a Ctrl shortcut key press, or nothing.
std::optional<std::uint32_t> CtrlLetter(const QEvent& event)
{
    if (event.type() != QEvent::KeyPress)
        return std::nullopt;
    const auto& key = static_cast<const QKeyEvent&>(event);
    const std::uint32_t virtualKey = VirtualKeyOf(key);
    if (!key.modifiers().testFlag(Qt::ControlModifier) || !IsLetterKey(virtualKey))
        return std::nullopt;
    return virtualKey;
}

// The first character of a sign of exactly one character; def for a longer sign (it would
// not fit), kNoSign for an empty one.
QChar SingleCharacterSign(const QString& sign, QChar def)
{
    if (sign.isEmpty())
        return kNoSign;
    return sign.size() == 1 ? sign.front() : def;
}

std::int32_t SaturateToInt32(std::int64_t number)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(number, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// A message posted to one of our controls; Qt drops it with the control if that goes first.
class ControlMessageEvent final : public QEvent {
public:
    ControlMessageEvent(unsigned message, std::intptr_t lParam) : QEvent(EventType()), message(message), lParam(lParam) {}

    static QEvent::Type EventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    const unsigned message;
    const std::intptr_t lParam;
};

} // namespace

CCustomEditCtrl::CCustomEditCtrl(QWidget* parent)
    : QLineEdit(parent),
      textColour_(palette().color(QPalette::Active, QPalette::Text)),
      negativeSign_(SingleCharacterSign(QLocale().negativeSign(), kMinusSign)),
      positiveSign_(SingleCharacterSign(QLocale().positiveSign(), kPlusSign))
{
}

bool CCustomEditCtrl::ValidateValue(QString text, std::int32_t delta)
{
    if (!numericMode_)
        return true;
    text = ui::Text(TrimWhiteSpace(ui::Utf16(text)));
    if (text.isEmpty())
        return valid_;

    const auto isSign = [this](QChar character) {
        return character == kMinusSign || character == kPlusSign ||
               (negativeSign_ != kNoSign && character == negativeSign_) ||
               (positiveSign_ != kNoSign && character == positiveSign_);
    };
    for (qsizetype index = 0; index < text.size(); ++index) {
        if (IsDecimalDigit(text[index].unicode()) || (index == 0 && isSign(text[index])))
            continue;
        valid_ = false;
        CtlColor();
        return false;
    }

    bool signTyped = false;
    bool negative = false;
    if (isSign(text.front())) {
        signTyped = true;
        negative = text.front() == kMinusSign || (negativeSign_ != kNoSign && text.front() == negativeSign_);
        text.remove(0, 1);
    }
    if (text.isEmpty()) {
        value_ = 0;
        CtlColor();
        return valid_;
    }

    std::int64_t number = ReadLeadingNumber(ui::Utf16(text)).number;
    if (negative)
        number = -number;

    valid_ = true;
    if (number < minimum_ || number > maximum_) {
        valid_ = false;
        number = 0;
    } else if (delta != 0) {
        number += delta;
        if (number < minimum_)
            number = minimum_;
        else if (number > maximum_)
            number = maximum_;
    }
    value_ = static_cast<std::int32_t>(number);
    valueText_ = NumberText(value_, signTyped);
    CtlColor();
    return valid_;
}

QString CCustomEditCtrl::NumberText(std::int32_t number, bool signTyped) const
{
    return NumberText(number < 0, QString::number(std::abs(std::int64_t{number})), signTyped);
}

// As "%+01d" (a sign typed in plus-sign mode) or "%01d" would print it: no leading zeros,
// and a minus only before a number other than 0.
QString CCustomEditCtrl::NumberText(bool negative, QStringView digits, bool signTyped) const
{
    while (digits.size() > 1 && digits.front() == u'0')
        digits = digits.mid(1);
    if (digits.isEmpty())
        digits = u"0";
    QString text;
    if (negative && digits != u"0")
        text += kMinusSign;
    else if (signTyped && plusSignMode_)
        text += kPlusSign;
    return text.append(digits);
}

void CCustomEditCtrl::GetValueText(QString& out)
{
    ValidateValue(text(), 0);
    out = valueText_;
}

std::intptr_t CCustomEditCtrl::OnStepValue(std::uintptr_t, std::intptr_t lParam)
{
    if (ValidateValue(text(), SaturateToInt32(lParam)))
        setText(valueText_);
    return 0;
}

std::intptr_t CCustomEditCtrl::OnRevalidate(std::uintptr_t, std::intptr_t)
{
    ValidateValue(text(), 0);
    return 0;
}

void CCustomEditCtrl::CtlColor()
{
    QPalette colours = palette();
    const QColor text = valid_ ? textColour_ : QColor(kInvalidTextRgb);
    // A disabled edit keeps the platform's grey, as a disabled Windows edit does.
    colours.setColor(QPalette::Active, QPalette::Text, text);
    colours.setColor(QPalette::Inactive, QPalette::Text, text);
    setPalette(colours);
    update();
}

void CCustomEditCtrl::PostToSelf(unsigned message, std::intptr_t lParam)
{
    QCoreApplication::postEvent(this, new ControlMessageEvent(message, lParam));
}

bool CCustomEditCtrl::event(QEvent* event)
{
    if (event->type() == ControlMessageEvent::EventType()) {
        const auto& message = static_cast<const ControlMessageEvent&>(*event);
        if (message.message == WM_STEP_VALUE)
            OnStepValue(0, message.lParam);
        else if (message.message == WM_REVALIDATE)
            OnRevalidate(0, message.lParam);
        return true;
    }
    switch (PreTranslateMessage(*event)) {
    case Translation::Consumed:
        event->accept();
        return true;
    case Translation::PassedPastEdit:
        event->ignore();
        return false;
    case Translation::PassOn:
        break;
    }
    return QLineEdit::event(event);
}

CCustomEditCtrl::Translation CCustomEditCtrl::PreTranslateMessage(QEvent& event)
{
    // The shortcut is carried out here; the edit's own handling of the same keys would do it
    // a second time (a second paste, a second undo), so the key goes on past the edit.
    Translation passOn = Translation::PassOn;
    if (const auto letter = CtrlLetter(event); shortcuts_ && letter && RunEditShortcut(*this, *letter))
        passOn = Translation::PassedPastEdit;
    if (!numericMode_)
        return passOn;

    switch (event.type()) {
    case QEvent::Wheel:
        return TranslateWheel(static_cast<const QWheelEvent&>(event));
    case QEvent::KeyPress: {
        const auto& key = static_cast<const QKeyEvent&>(event);
        // With Alt (and not Ctrl) Windows sends system keys, which no rule here takes and from
        // which an edit takes no character; Qt's edit would type it.
        if (IsSystemKey(key))
            return Translation::PassedPastEdit;
        return TranslateKey(key, true);
    }
    case QEvent::KeyRelease: {
        const auto& key = static_cast<const QKeyEvent&>(event);
        // Qt repeats a held key as press and release pairs; Windows sends one key-up, at the end.
        if (key.isAutoRepeat() || IsSystemKey(key))
            return passOn;
        return TranslateKey(key, false);
    }
    default:
        return passOn;
    }
}

CCustomEditCtrl::Translation CCustomEditCtrl::TranslateKey(const QKeyEvent& key, bool keyDown)
{
    const std::uint32_t virtualKey = VirtualKeyOf(key);
    if (IsFilteredKey(virtualKey))
        return Translation::Consumed;
    const Qt::KeyboardModifiers modifiers = key.modifiers();
    if (modifiers.testFlag(Qt::ShiftModifier) && virtualKey != VK_OEM_PLUS && virtualKey != VK_OEM_MINUS &&
        virtualKey != VK_TAB)
        return Translation::Consumed;
    if (!modifiers.testAnyFlags(Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier)) {
        if (const auto amount = StepAmount(virtualKey, step_)) {
            if (!keyDown)
                PostToSelf(WM_STEP_VALUE, static_cast<std::intptr_t>(*amount));
            return Translation::Consumed;
        }
    }
    PostToSelf(WM_REVALIDATE, 0);
    return Translation::PassOn;
}

CCustomEditCtrl::Translation CCustomEditCtrl::TranslateWheel(const QWheelEvent& wheel)
{
    // Windows reports Shift, Ctrl and the mouse buttons with the wheel, not Alt.
    if (wheel.buttons() != Qt::NoButton || wheel.modifiers().testAnyFlags(Qt::ShiftModifier | Qt::ControlModifier))
        return Translation::PassOn;
    int delta = wheel.angleDelta().y();
    // Qt turns the vertical wheel into a horizontal one while Alt is held.
    if (delta == 0 && wheel.modifiers().testFlag(Qt::AltModifier))
        delta = wheel.angleDelta().x();
    // A horizontal wheel, or the start or end of a scroll gesture, is no vertical wheel turn.
    if (delta == 0)
        return Translation::PassOn;
    const std::int64_t notches = delta / kWheelDeltaPerNotch;
    PostToSelf(WM_STEP_VALUE, static_cast<std::intptr_t>(notches * step_));
    return Translation::Consumed;
}

CCustomComboCtrl::CCustomComboCtrl(QWidget* parent) : QComboBox(parent) {}

bool CCustomComboCtrl::event(QEvent* event)
{
    const auto letter = CtrlLetter(*event);
    if (!shortcuts_ || !letter)
        return QComboBox::event(event);
    QLineEdit* edit = lineEdit();
    if (*letter == kPasteKey) {
        if (edit != nullptr)
            edit->paste();
        event->accept();
        return true;
    }
    // As in the edit: a shortcut carried out here goes on past the combo, not to its edit field.
    if (edit != nullptr && RunEditShortcut(*edit, *letter)) {
        event->ignore();
        return false;
    }
    return QComboBox::event(event);
}

CListComboCtrl::CListComboCtrl(QWidget* parent) : QComboBox(parent) {}

int CListComboCtrl::UnlistedIndex() const
{
    return findData(true, kUnlistedRole);
}

void CListComboCtrl::SelectUnlisted(const QString& text)
{
    // Set from the program, as every selection that the user does not make: no notification.
    const QSignalBlocker blocker(this);
    DropUnlisted(false);
    addItem(text);
    const int index = count() - 1;
    setItemData(index, true, kUnlistedRole);
    setItemData(index, QColor(kInvalidTextRgb), Qt::ForegroundRole);
    setCurrentIndex(index);
}

bool CListComboCtrl::DropUnlisted(bool keepSelected)
{
    const int index = UnlistedIndex();
    if (index < 0)
        return true;
    if (keepSelected && index == currentIndex())
        return false;
    const QSignalBlocker blocker(this);
    removeItem(index);
    return true;
}

bool CListComboCtrl::UnlistedSelected() const
{
    const int index = currentIndex();
    return index >= 0 && index == UnlistedIndex();
}

void CListComboCtrl::paintEvent(QPaintEvent* event)
{
    if (!UnlistedSelected() || !isEnabled()) {
        QComboBox::paintEvent(event);
        return;
    }
    // As the combo box paints itself, with the text in crimson.
    const QColor crimson(kInvalidTextRgb);
    QStylePainter painter(this);
    painter.setPen(crimson);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.palette.setColor(QPalette::Text, crimson);
    option.palette.setColor(QPalette::ButtonText, crimson);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
