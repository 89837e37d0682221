#pragma once
// Window handles, window messages and the quit request of the window layer.
//
// Threads:
// - The user-interface thread is the thread of the QApplication. Windows are created,
//   shown, destroyed and dispatched to only there.
// - Worker threads report through platform::PostWindowMessage / PostWindowText
//   (platform/window_message.h). InstallWindowMessageSink() routes those posts to the
//   windows of this layer.
//
// Handles: every dialog window gets a platform::WindowHandle when it is created. A handle
// is never given out again, so the handle of a destroyed window stays invalid for the life
// of the process and a late message to it is simply dropped.

#include "platform/window_message.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace ui {

using platform::LParam;
using platform::WParam;
using platform::WindowHandle;
using LResult = std::intptr_t;

// Window messages that the layer itself gives a meaning to. The program's private
// messages are in comms/private_messages.h.
inline constexpr unsigned WM_CLOSE = 0x0010;       // the close box; default: the Cancel command
inline constexpr unsigned WM_NEXTDLGCTL = 0x0028;  // wParam control id, lParam 1: focus that control
inline constexpr unsigned WM_COMMAND = 0x0111;     // wParam MAKEWPARAM(control id, notification code)

// Notification codes of WM_COMMAND (the high word of wParam).
inline constexpr unsigned BN_CLICKED = 0;
inline constexpr unsigned CBN_SELCHANGE = 1;
inline constexpr unsigned CBN_EDITCHANGE = 5;
inline constexpr unsigned EN_CHANGE = 0x0300;

// Command ids with a meaning of their own: Enter gives IDOK, Escape and the close box IDCANCEL.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
// The id of template controls that no code addresses (static texts, group boxes).
inline constexpr int IDC_STATIC = -1;

constexpr WParam MakeCommandWParam(int controlId, unsigned notificationCode)
{
    return (static_cast<WParam>(notificationCode & 0xFFFFu) << 16) | (static_cast<WParam>(controlId) & 0xFFFFu);
}
constexpr int CommandControlId(WParam wParam) { return static_cast<int>(wParam & 0xFFFFu); }
constexpr unsigned CommandNotificationCode(WParam wParam) { return static_cast<unsigned>((wParam >> 16) & 0xFFFFu); }

// True while handle names a window that exists. Any thread.
bool IsWindow(WindowHandle handle);

// Installs (once) the sink through which platform::PostWindowMessage reaches the windows of
// this layer; call it on the user-interface thread after the QApplication exists. Its Post:
// - may be called from any thread and never blocks on the receiver (it queues a Qt event);
// - returns false, and drops the message with its text, when the handle names no window;
// - a message whose window is destroyed before delivery is dropped at delivery, its text freed;
// - delivery happens on the user-interface thread in posting order per window, also while a
//   nested modal loop runs (message box, popup menu, file dialog, another modal dialog).
// The handler gets lParam pointing at the message's text copy when the message has one.
void InstallWindowMessageSink();
// Removes the sink again (messages posted afterwards are refused). For tests and shut-down.
void RemoveWindowMessageSink();

// Posts to a window (any thread); the same as platform::PostWindowMessage.
bool PostMessage(WindowHandle window, unsigned id, WParam wParam, LParam lParam);

// Dispatches synchronously to the window's handler and returns its result; 0 when the window
// does not exist, the message has no handler, or the caller is not the user-interface thread.
// The handler may destroy windows, including the sender's and the receiver's: destruction of
// the Qt objects is deferred until control returns to the event loop.
LResult SendMessage(WindowHandle window, unsigned id, WParam wParam, LParam lParam);

// The result DoModal returns when the quit request ended the modal loop.
inline constexpr int kModalEndedByQuit = -1;

// Our AfxPostQuitMessage. Remembers the code as the process's exit status and asks the
// running modal loops to end: the message box, menu or file dialog in front (their answer
// is then "none") and every Dialog::DoModal beneath it, so the top-level DoModal returns
// kModalEndedByQuit. Like a posted message it takes effect when the event loop next runs
// (so a call from OnInitDialog ends the dialog once its loop starts). A request made while
// no modal loop runs stays pending and ends the next DoModal as soon as it begins.
// Any thread; a later call replaces the code and the reason.
// reason: why the run ends, in the technician's words, for the line that a failure code
// leaves on standard error where the program turns the code into its exit status (empty:
// the poster has nothing to add to what its window shows).
void PostQuitMessage(int exitCode, const QString& reason = {});

// The code of the last PostQuitMessage, or nothing when none was made. The program's main
// returns QuitCode().value_or(0) after its top-level DoModal has returned.
std::optional<int> QuitCode();
// The reason that came with that code; empty when none came.
QString QuitReason();
// Forgets the code, its reason and any pending request (tests that run several dialogs).
void ClearQuitRequest();

} // namespace ui
