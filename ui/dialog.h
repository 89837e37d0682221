#pragma once
// ui::Dialog: the base of the program's dialogs, in the manner of an MFC CDialog.
//
// The C++ object and its window have separate lives, as a CWnd and its HWND do: the object
// is constructed with its template, Create (modeless) or DoModal (modal) builds the window
// from the template and calls OnInitDialog, and the window ends with DestroyWindow, with the
// end of DoModal, with the parent's DestroyWindow, or with the object's destructor. After
// that GetSafeHwnd() is 0, IsWindow() of the old handle is false, control handles report
// !IsWindow(), and the operations on the window do nothing. The Qt objects of a destroyed
// window are deleted when control returns to the event loop, so a handler may destroy its
// own window or its parent's (even through SendMessage) and still return safely; a handler
// must not touch its Dialog's members after deleting the Dialog object itself.
//
// Derived classes fill their maps in their constructor:
//     MapCommand(1002, &CJetvaneDlg::OnBnClickedExit);               // button click
//     MapCommand(1009, CBN_SELCHANGE, &CSettingsDlg::OnSelchange);    // other notifications
//     MapMessage(WM_DEVICE_FOUND, &CJetvaneDlg::OnDeviceFound);       // LResult (WParam, LParam)
//
// Keyboard and close box, as the Windows dialog manager does it:
// - Escape and the close box: the IDCANCEL command (mapped handler, else OnCancel). The close
//   box first goes through WM_CLOSE, which a message map may take over.
// - Enter: a push button that has the focus is clicked; otherwise the default push button of
//   the template, when there is one and it is enabled; otherwise, in a modal run, the IDOK
//   command (mapped handler, else OnOK). A modeless dialog without a default button ignores it.
// - A control that has the focus when it is disabled (EnableDlgItem, Control::EnableWindow)
//   has it again when it is enabled, unless the focus was put elsewhere meanwhile: the
//   buttons disabled while a file dialog or message box is asked do not leave the focus, and
//   the next Enter, on Cancel.
// Notifications: BN_CLICKED when the user (or Button::Click) presses a button or check box,
// CBN_SELCHANGE when the user picks a combo item (not when code selects one), CBN_EDITCHANGE
// when the user types in a combo's edit field, EN_CHANGE whenever an edit's text changes.
//
// Everything here runs on the user-interface thread. Worker threads use PostMessage
// (ui/messages.h) with GetSafeHwnd(), which they may hold and use after the window is gone.

#include "ui/controls.h"
#include "ui/dialog_template.h"
#include "ui/messages.h"

#include <QIcon>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <map>
#include <utility>

class QEventLoop;
class QWidget;

namespace ui {

namespace detail {
class DialogWindow;
}

class Dialog {
public:
    explicit Dialog(const DialogTemplate& dialogTemplate, Dialog* parent = nullptr);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Modeless: builds the window (owned by the parent's window, when a parent is given),
    // calls OnInitDialog and shows the window when the template says kVisible. False when the
    // window already exists. With a template, it replaces the one given at construction.
    bool Create(Dialog* parent = nullptr);
    bool Create(const DialogTemplate& dialogTemplate, Dialog* parent);
    // Modal: builds the window, calls OnInitDialog, shows the window and runs its loop until
    // EndDialog, DestroyWindow or the quit request (PostQuitMessage); then destroys the window.
    // Hiding the window does not end the run. Posted messages, timers and modeless children
    // go on working during it; the parent (if any) takes no input.
    // Returns the EndDialog result, kModalEndedByQuit, or -1 when the window could not be made.
    int DoModal();
    // Modal: the loop ends with result. Modeless: the window is hidden (the owner destroys it).
    void EndDialog(int result);
    // False when there was no window.
    bool DestroyWindow();

    WindowHandle GetSafeHwnd() const { return handle_; }
    bool HasWindow() const { return handle_ != platform::kNoWindow; }
    Dialog* GetParent() const { return parent_; }
    WindowHandle GetParentHandle() const;
    // The Qt window while it exists (screenshots, parenting Qt's own dialogs), else nullptr.
    QWidget* Window() const;

    virtual bool OnInitDialog();
    virtual void OnOK();      // default: EndDialog(IDOK)
    virtual void OnCancel();  // default: EndDialog(IDCANCEL)

    // Tool tips: while enabled, hovering over a control asks OnToolTipNotify for its tip.
    // A handled request with an empty text shows nothing; lines longer than
    // kToolTipMaxWidth pixels wrap.
    void EnableToolTips(bool enable) { toolTipsEnabled_ = enable; }
    bool ToolTipsEnabled() const { return toolTipsEnabled_; }
    // True when the dialog serves the control's tip (text then holds it); default: none.
    virtual bool OnToolTipNotify(int controlId, QString* text);
    static constexpr int kToolTipMaxWidth = 200;

    void SetWindowText(const QString& caption);
    QString GetWindowText() const;
    // The window's rectangle in screen coordinates, frame included; empty without a window.
    QRect GetWindowRect() const;
    // Where the window stands, as MoveWindowTo takes it: the top-left corner of its client
    // area in screen coordinates (a window manager tells a window's frame only while it is
    // shown, so frame positions read from one window and set on another, hidden or not yet
    // shown, do not agree). Windows of one kind have the same frame, so a window moved to
    // another's position covers it exactly.
    QPoint GetWindowPosition() const;
    // Moves the window to topLeft (a GetWindowPosition), size unchanged (SetWindowPos with
    // SWP_NOSIZE), but no further than keeps the whole window, frame included, on that
    // screen: a child that takes a smaller window's place must not hang off the edge with
    // its buttons.
    void MoveWindowTo(QPoint topLeft);
    void BringWindowToTop();
    void ShowWindow(bool show);
    bool IsWindowVisible() const;
    void SetIcon(const QIcon& icon);

    // Controls by id; an empty handle (IsWindow() false) when the dialog has no such control.
    Control GetDlgItem(int controlId) const;
    Button GetButton(int controlId) const { return Button(ItemWidget(controlId), handle_); }
    ComboBox GetComboBox(int controlId) const { return ComboBox(ItemWidget(controlId), handle_); }
    Edit GetEdit(int controlId) const { return Edit(ItemWidget(controlId), handle_); }
    ProgressCtrl GetProgressCtrl(int controlId) const { return ProgressCtrl(ItemWidget(controlId), handle_); }

    void SetDlgItemText(int controlId, const QString& text) const { GetDlgItem(controlId).SetWindowText(text); }
    QString GetDlgItemText(int controlId) const { return GetDlgItem(controlId).GetWindowText(); }
    void EnableDlgItem(int controlId, bool enable) const { GetDlgItem(controlId).EnableWindow(enable); }
    bool IsDlgItemEnabled(int controlId) const { return GetDlgItem(controlId).IsWindowEnabled(); }
    void ShowDlgItem(int controlId, bool show) const { GetDlgItem(controlId).ShowWindow(show); }
    void CheckDlgButton(int controlId, bool checked) const { GetButton(controlId).SetCheck(checked); }
    bool IsDlgButtonChecked(int controlId) const { return GetButton(controlId).GetCheck(); }
    // Gives the keyboard focus to a control (what WM_NEXTDLGCTL does).
    void GotoDlgCtrl(int controlId) const { GetDlgItem(controlId).SetFocus(); }
    // The id of the control that has the focus, or 0.
    int GetFocusedDlgItem() const;

    // True once the dialog has begun to close. From then on the layer hands it nothing
    // more: commands, notifications and messages that reach it (input queued while an
    // exchange held the thread, say) are dropped. Default: never.
    virtual bool IsClosing() const { return false; }

    // Sends the parent window a message and waits for its handler (ui::SendMessage); 0
    // without a parent window. Meanwhile the dialog is inside its own notification
    // (IsNotifying): its code runs on once the message returns, so whoever handles it must
    // not delete the dialog object then, at whatever depth.
    LResult NotifyParent(unsigned id, WParam wParam, LParam lParam);
    bool IsNotifying() const { return notifying_ > 0; }

    // Synchronous dispatch to this dialog's handlers (see ui::SendMessage).
    LResult SendMessage(unsigned id, WParam wParam, LParam lParam);
    // Any thread holding the dialog's handle may post instead; this is the same for its own code.
    bool PostMessage(unsigned id, WParam wParam, LParam lParam) const;

protected:
    template <class Derived>
    void MapCommand(int controlId, void (Derived::*handler)())
    {
        MapCommand(controlId, BN_CLICKED, handler);
    }
    template <class Derived>
    void MapCommand(int controlId, unsigned notificationCode, void (Derived::*handler)())
    {
        Derived* self = static_cast<Derived*>(this);
        commands_[{controlId, notificationCode}] = [self, handler] { (self->*handler)(); };
    }
    template <class Derived>
    void MapMessage(unsigned id, LResult (Derived::*handler)(WParam, LParam))
    {
        Derived* self = static_cast<Derived*>(this);
        messages_[id] = [self, handler](WParam wParam, LParam lParam) { return (self->*handler)(wParam, lParam); };
    }

    // A control class of the program's own (a QLineEdit or QComboBox subclass, say) for a
    // template control; nullptr builds the standard control. The layer places the widget and
    // applies the template's id and states; typed handles work when it derives from the
    // standard Qt class of its kind.
    virtual QWidget* CreateCustomControl(const ControlTemplate& control, QWidget* parent);

private:
    friend class detail::DialogWindow;

    bool CreateWindow(const DialogTemplate& dialogTemplate, Dialog* parent);
    void BuildControls(const DialogTemplate& dialogTemplate);
    void BuildForm(const FormLayout& form, QSize baseUnits);
    QWidget* BuildFormField(const FormField& field, QWidget* parent, QSize baseUnits);
    QWidget* BuildControl(const ControlTemplate& control, QWidget* parent);
    void ConnectNotifications(QWidget* widget, int controlId);
    QWidget* ItemWidget(int controlId) const;
    // A window laid out by a form takes its size from its layout.
    void ActivateLayout();

    LResult DispatchWindowMessage(unsigned id, WParam wParam, LParam lParam);
    // The command path: mapped handler, else OnOK / OnCancel for IDOK / IDCANCEL clicks.
    void OnCommand(int controlId, unsigned notificationCode);
    void OnEnterKey();
    // The window's Qt object is being deleted from outside (its Qt parent went first).
    void WindowGone();

    DialogTemplate template_;
    Dialog* parent_ = nullptr;
    detail::DialogWindow* window_ = nullptr;
    WindowHandle handle_ = platform::kNoWindow;
    WindowHandle parentHandle_ = platform::kNoWindow;
    QEventLoop* modalLoop_ = nullptr; // while DoModal's loop runs
    bool modalEnded_ = false; // EndDialog came, perhaps before the loop started
    int modalResult_ = -1;
    int defaultButtonId_ = IDC_STATIC;
    bool toolTipsEnabled_ = false;
    int notifying_ = 0; // NotifyParent calls under way
    std::map<int, QWidget*> controls_; // children of window_, valid while it exists
    std::map<std::pair<int, unsigned>, std::function<void()>> commands_;
    std::map<unsigned, std::function<LResult(WParam, LParam)>> messages_;
};

// Where a window whose client area is client and whose frame adds frame around it goes so
// that all of it lies inside available (its top-left corner first, when it is larger): the
// client area's top-left corner.
QPoint KeepOnScreenPosition(const QRect& client, const QMargins& frame, const QRect& available);

// Deletes the Qt objects of windows destroyed since control last returned to the event loop.
// The program's main calls it after its top-level DoModal, before the QApplication goes.
void DeleteDestroyedWindows();

} // namespace ui
