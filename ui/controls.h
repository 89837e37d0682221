#pragma once
// Small handles to the controls of a dialog, named after the operations the program uses
// (as CButton, CComboBox, CEdit, CProgressCtrl and CStatic offer them). A handle is a
// copyable value; it does not own the control. Once the control's dialog window is
// destroyed, IsWindow() is false and every operation does nothing (getters return 0, -1 or
// an empty text). User-interface thread only.
//
// Texts: GetWindowText returns a caption as set, "&" access keys included.
//
// A text limit (LimitText) stops typing only, as on Windows: a longer text that the program
// sets (a value as a printer or a file reported it) is shown whole, in crimson, and nothing
// more can be typed until it is shortened to the limit.

#include "ui/messages.h"

#include <QPointer>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QProgressBar;

namespace ui {

// Crimson: the text of a value that may not be written as it stands.
inline constexpr QRgb kInvalidTextRgb = qRgb(220, 20, 60);

class Control {
public:
    Control() = default;
    Control(QWidget* widget, WindowHandle dialog) : widget_(widget), dialog_(dialog) {}

    // The control and its dialog window exist.
    bool IsWindow() const;
    QWidget* Widget() const { return IsWindow() ? widget_.data() : nullptr; }
    int GetDlgCtrlID() const;

    void EnableWindow(bool enable) const;
    bool IsWindowEnabled() const;
    void ShowWindow(bool show) const;
    bool IsWindowVisible() const; // its own visibility flag, whatever its dialog's
    void SetWindowText(const QString& text) const;
    QString GetWindowText() const;
    void SetFocus() const;
    // In screen coordinates.
    QRect GetWindowRect() const;
    void SetToolTip(const QString& text) const;

protected:
    QPointer<QWidget> widget_;
    WindowHandle dialog_ = platform::kNoWindow;
};

class Button : public Control {
public:
    using Control::Control;
    void SetCheck(bool checked) const;  // check boxes and radio buttons
    bool GetCheck() const;
    void Click() const;                 // as the user would: sends its BN_CLICKED
};

using StaticText = Control;

class Edit : public Control {
public:
    using Control::Control;
    void LimitText(int maxCharacters) const; // typing only; 0: no limit
    void SetSel(int start, int end) const;   // end -1: to the end of the text
};

// Items are matched without regard to case, as CB_FINDSTRINGEXACT does.
class ComboBox : public Control {
public:
    using Control::Control;
    static constexpr int kError = -1; // CB_ERR

    int AddString(const QString& text) const; // index of the new item, or kError
    void ResetContent() const;
    int GetCount() const;
    // Selects item index and shows its text; -1, or any index outside the list, clears the
    // selection (and a drop-down's text). Returns index, or kError when it was outside the list.
    int SetCurSel(int index) const;
    // The selected item, or -1 when there is none; for a drop-down combo also -1 when the
    // user has typed a text that is no item.
    int GetCurSel() const;
    QString GetLBText(int index) const;
    int FindStringExact(const QString& text) const;
    void LimitText(int maxCharacters) const; // typing in the edit field of a drop-down; 0: no limit
    // Control::SetWindowText on a drop-down sets the edit text and selects the item with that
    // text, or none; on a drop-list it selects the item with that text, or changes nothing.

private:
    QComboBox* Combo() const;
};

class ProgressCtrl : public Control {
public:
    using Control::Control;
    void SetRange32(int lower, int upper) const;
    // Positions outside the range are clamped to it. Returns the previous position.
    int SetPos(int position) const;
    int GetPos() const;

private:
    QProgressBar* Bar() const;
};

namespace detail {
// Widget property that marks an upper-case edit or combo.
inline constexpr char kUpperCaseProperty[] = "jetvaneUpperCase";
// Widget property that holds the control id.
inline constexpr char kControlIdProperty[] = "jetvaneControlId";
// Sets a combo's edit text and the item that matches it (or none), keeping the text as given.
void SetComboTextAndSelection(QComboBox* combo, const QString& text);
// Sets a line edit's text whole, past its limit on typing.
void SetLineEditText(QLineEdit* edit, const QString& text);
} // namespace detail

} // namespace ui
