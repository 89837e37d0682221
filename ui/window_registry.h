#pragma once
// Internal to the window layer: the table of live window handles, the event that carries a
// posted message, and the book of running modal loops that the quit request ends.

#include "ui/messages.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

class QObject;
class QEventLoop;

namespace ui::detail {

// The receiver of a window's posted and sent messages (the window's Qt object).
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual LResult DispatchWindowMessage(unsigned id, WParam wParam, LParam lParam) = 0;
};

// Gives a new window its handle; receiver gets the posted messages. UI thread.
WindowHandle RegisterWindow(QObject* receiver, MessageTarget* target);
// The handle becomes invalid at once (any later post or send to it is dropped). UI thread.
void UnregisterWindow(WindowHandle handle);
// The target of a live window, or nullptr. UI thread.
MessageTarget* TargetOf(WindowHandle handle);
// The Qt window of a live window, or nullptr (to parent Qt's own dialogs and menus). UI thread.
QWidget* WindowWidget(WindowHandle handle);

// A posted message on its way to the window's Qt object; its text dies with the event.
class PostedMessageEvent final : public QEvent {
public:
    explicit PostedMessageEvent(platform::PostedMessage message);
    static QEvent::Type EventType();
    platform::PostedMessage message;
};

// Delivers a posted message that reached a window's Qt object: dropped when the handle
// is no longer valid, otherwise dispatched with lParam pointing at the text copy.
void DeliverPostedMessage(PostedMessageEvent& event, MessageTarget& target);

// Marks a modal loop for the quit request while it runs: Qt's own (QDialog::exec,
// QMenu::exec) by its widget, or one of ours by its QEventLoop.
class ModalLoopScope {
public:
    explicit ModalLoopScope(QWidget* loopWidget);
    explicit ModalLoopScope(QEventLoop* loop);
    ~ModalLoopScope();
    ModalLoopScope(const ModalLoopScope&) = delete;
    ModalLoopScope& operator=(const ModalLoopScope&) = delete;
    // True when the quit request ended this loop.
    bool EndedByQuit() const { return endedByQuit_; }
    // Ends the loop on behalf of the quit request.
    void EndForQuit();

private:
    QPointer<QWidget> widget_;
    QEventLoop* loop_ = nullptr;
    bool endedByQuit_ = false;
};

// True, and the pending request consumed, when a quit request waits for a modal loop.
bool TakePendingQuit();

// The program's window in front, to which a question that names no owner belongs: the
// active window, or, while none is (a window manager hands the activation back to a window
// only some time after the dialog in front of it closed), the dialog window that was active
// last, while it is shown. nullptr when neither. UI thread.
QWidget* WindowInFront();
// A dialog window reports that it became the active window. UI thread.
void NoteActivated(QWidget* window);

// Enables or disables a control. In a dialog's window, a control that loses the keyboard
// focus by being disabled gets it back when it is enabled again (Dialog's window keeps it).
void EnableControl(QWidget& control, bool enable);

} // namespace ui::detail
