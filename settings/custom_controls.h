#pragma once
// The two control classes of the settings dialogs.
//
// CCustomEditCtrl: a line edit that, in numeric mode, takes only a signed decimal number
// within a range, steps it with the arrow, page, Home and End keys and the mouse wheel, shows
// an unacceptable number in crimson and gives the number out in a normalised text for the
// settings record. Outside numeric mode it is a plain edit with the Ctrl shortcuts.
//
// CCustomComboCtrl: a combo box whose edit field takes Ctrl+A, Ctrl+C, Ctrl+V, Ctrl+X and
// Ctrl+Z.
//
// CListComboCtrl: a drop-list combo box that can also show a value none of its entries holds
// (as a printer or a file reported it): the value stands as one more entry at the end of the
// list, in the crimson of an unacceptable number, so that it is seen for what it is and never
// taken for one of the entries.
//
// Keys are judged as Windows judges them, by virtual-key code and the state of Shift, Alt and
// Ctrl; the .cpp maps Qt's keys to those codes. A step or a revalidation that a key or the
// wheel asks for is posted to the control itself and runs later from the event loop, never
// inside the key's own handling.
//
// Threads: user-interface thread only, as for every widget.

#include <QChar>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QStringView>

#include <cstdint>

class QEvent;
class QKeyEvent;
class QPaintEvent;
class QWheelEvent;

class CCustomEditCtrl : public QLineEdit {
public:
    explicit CCustomEditCtrl(QWidget* parent = nullptr);

    // Validates text as the control's number, adds delta, updates valid, value and value
    // text, repaints and returns valid. Outside numeric mode: true, and nothing changes.
    bool ValidateValue(QString text, std::int32_t delta);
    // Validates the window text (delta 0) and gives out the value text.
    void GetValueText(QString& out);
    // A number in the form validation gives its value text.
    QString NumberText(std::int32_t number, bool signTyped) const;
    // The same for a number given by its sign and its decimal digits, however many.
    QString NumberText(bool negative, QStringView digits, bool signTyped) const;

    // The results of the last validation that got that far.
    const QString& ValueText() const { return valueText_; }
    std::int32_t Value() const { return value_; }
    bool IsValid() const { return valid_; }

    void SetNumericMode(bool on) { numericMode_ = on; }
    bool NumericMode() const { return numericMode_; }
    // A number typed with a sign keeps an explicit sign in the value text.
    void SetPlusSignMode(bool on) { plusSignMode_ = on; }
    bool PlusSignMode() const { return plusSignMode_; }
    void SetRange(std::int32_t minimum, std::int32_t maximum)
    {
        minimum_ = minimum;
        maximum_ = maximum;
    }
    std::int32_t Minimum() const { return minimum_; }
    std::int32_t Maximum() const { return maximum_; }
    void SetStep(std::int32_t step) { step_ = step; }
    std::int32_t Step() const { return step_; }
    void SetShortcuts(bool on) { shortcuts_ = on; }
    bool Shortcuts() const { return shortcuts_; }

    // The user locale's signs, read at construction: a sign of one character, else '-' or
    // '+' (a longer sign) or U+0000, which never matches (an empty one). '-' and '+' are
    // accepted as well.
    QChar NegativeSign() const { return negativeSign_; }
    QChar PositiveSign() const { return positiveSign_; }

    // Handlers of WM_STEP_VALUE (lParam: the amount to add) and WM_REVALIDATE. Both return 0.
    std::intptr_t OnStepValue(std::uintptr_t wParam, std::intptr_t lParam);
    std::intptr_t OnRevalidate(std::uintptr_t wParam, std::intptr_t lParam);

protected:
    bool event(QEvent* event) override;

private:
    enum class Translation {
        PassOn,            // the edit handles the event as usual
        Consumed,          // nobody sees it any more
        PassedPastEdit,    // goes on to the parent without the edit's own handling
    };

    // Keyboard and wheel handling ahead of the edit's own.
    Translation PreTranslateMessage(QEvent& event);
    Translation TranslateKey(const QKeyEvent& key, bool keyDown);
    Translation TranslateWheel(const QWheelEvent& wheel);
    void PostToSelf(unsigned message, std::intptr_t lParam);
    // Sets the text colour that valid calls for and has the control painted again.
    void CtlColor();

    QString valueText_;
    std::int32_t value_ = 0;
    bool valid_ = true;
    bool shortcuts_ = true;
    bool numericMode_ = false;
    bool plusSignMode_ = false;
    std::int32_t minimum_ = 0;
    std::int32_t maximum_ = 0;
    std::int32_t step_ = 1;
    QColor textColour_;
    QChar negativeSign_;
    QChar positiveSign_;
};

class CListComboCtrl : public QComboBox {
public:
    explicit CListComboCtrl(QWidget* parent = nullptr);

    // Shows text as the unlisted entry, in place of an earlier one, and selects it.
    void SelectUnlisted(const QString& text);
    // Takes the unlisted entry out of the list, unless keepSelected and it is the selected one.
    // True when the list has none left.
    bool DropUnlisted(bool keepSelected);
    bool UnlistedSelected() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int UnlistedIndex() const;
};

class CCustomComboCtrl : public QComboBox {
public:
    explicit CCustomComboCtrl(QWidget* parent = nullptr);

    void SetShortcuts(bool on) { shortcuts_ = on; }
    bool Shortcuts() const { return shortcuts_; }

protected:
    bool event(QEvent* event) override;

private:
    bool shortcuts_ = true;
};
