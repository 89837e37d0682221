#include "ui/messages.h"

#include "ui/window_registry.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace ui {
namespace detail {
namespace {

// Handles start well above 0 so that a small integer is never mistaken for a window.
constexpr WindowHandle kFirstHandle = 0x10000;

struct Registered {
    QObject* receiver;
    MessageTarget* target;
};

std::mutex g_registryMutex;
std::unordered_map<WindowHandle, Registered> g_windows; // guarded by g_registryMutex
WindowHandle g_nextHandle = kFirstHandle;               // guarded by g_registryMutex

// Posting threads hold g_registryMutex while they queue the event, and a window leaves the
// table under the same mutex before its Qt object can be deleted (the deletion is deferred
// to the event loop), so the receiver is alive for postEvent. Qt frees the events still
// queued for an object when the object is deleted.
class WindowMessageSink final : public platform::MessageSink {
public:
    bool Post(platform::PostedMessage message) override
    {
        std::lock_guard lock(g_registryMutex);
        const auto found = g_windows.find(message.window);
        if (found == g_windows.end())
            return false;
        QCoreApplication::postEvent(found->second.receiver, new PostedMessageEvent(std::move(message)));
        return true;
    }
};

WindowMessageSink g_sink;
std::atomic<bool> g_sinkInstalled{false};

std::vector<ModalLoopScope*> g_modalLoops; // UI thread only, innermost last
QPointer<QWidget> g_lastActivated;         // UI thread only

std::mutex g_quitMutex;
std::optional<int> g_quitCode; // guarded by g_quitMutex
QString g_quitReason;          // guarded by g_quitMutex
bool g_quitPending = false;    // UI thread only

bool OnUserInterfaceThread()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return application != nullptr && QThread::currentThread() == application->thread();
}

void TakeQuitRequest()
{
    if (!QuitCode())
        return; // cleared after it was posted
    if (g_modalLoops.empty()) {
        g_quitPending = true;
        return;
    }
    g_quitPending = false;
    // Copy: ending a loop can make its owner leave before we are through the list.
    const std::vector<ModalLoopScope*> loops = g_modalLoops;
    for (auto loop = loops.rbegin(); loop != loops.rend(); ++loop)
        (*loop)->EndForQuit();
}

} // namespace

WindowHandle RegisterWindow(QObject* receiver, MessageTarget* target)
{
    std::lock_guard lock(g_registryMutex);
    const WindowHandle handle = g_nextHandle++;
    g_windows.emplace(handle, Registered{receiver, target});
    return handle;
}

void UnregisterWindow(WindowHandle handle)
{
    std::lock_guard lock(g_registryMutex);
    g_windows.erase(handle);
}

MessageTarget* TargetOf(WindowHandle handle)
{
    std::lock_guard lock(g_registryMutex);
    const auto found = g_windows.find(handle);
    return found == g_windows.end() ? nullptr : found->second.target;
}

QWidget* WindowWidget(WindowHandle handle)
{
    std::lock_guard lock(g_registryMutex);
    const auto found = g_windows.find(handle);
    return found == g_windows.end() ? nullptr : qobject_cast<QWidget*>(found->second.receiver);
}

PostedMessageEvent::PostedMessageEvent(platform::PostedMessage posted)
    : QEvent(EventType()), message(std::move(posted))
{
}

QEvent::Type PostedMessageEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void DeliverPostedMessage(PostedMessageEvent& event, MessageTarget& target)
{
    if (TargetOf(event.message.window) != &target)
        return;
    const LParam lParam =
        event.message.text ? reinterpret_cast<LParam>(&*event.message.text) : event.message.lParam;
    target.DispatchWindowMessage(event.message.id, event.message.wParam, lParam);
}

ModalLoopScope::ModalLoopScope(QWidget* loopWidget) : widget_(loopWidget)
{
    g_modalLoops.push_back(this);
}

ModalLoopScope::ModalLoopScope(QEventLoop* loop) : loop_(loop)
{
    g_modalLoops.push_back(this);
}

ModalLoopScope::~ModalLoopScope()
{
    std::erase(g_modalLoops, this);
}

void ModalLoopScope::EndForQuit()
{
    endedByQuit_ = true;
    if (loop_ != nullptr) {
        loop_->exit();
        return;
    }
    if (widget_.isNull())
        return;
    if (auto* menu = qobject_cast<QMenu*>(widget_.data()))
        menu->close();
    else if (auto* dialog = qobject_cast<QDialog*>(widget_.data()))
        dialog->done(kModalEndedByQuit);
}

QWidget* WindowInFront()
{
    QWidget* active = QApplication::activeWindow();
    if (active != nullptr && active->isVisible())
        return active;
    return g_lastActivated != nullptr && g_lastActivated->isVisible() ? g_lastActivated.data() : nullptr;
}

void NoteActivated(QWidget* window)
{
    g_lastActivated = window;
}

bool TakePendingQuit()
{
    const bool pending = g_quitPending;
    g_quitPending = false;
    return pending;
}

} // namespace detail

bool IsWindow(WindowHandle handle)
{
    std::lock_guard lock(detail::g_registryMutex);
    return detail::g_windows.contains(handle);
}

void InstallWindowMessageSink()
{
    if (!detail::g_sinkInstalled.exchange(true))
        platform::SetMessageSink(&detail::g_sink);
}

void RemoveWindowMessageSink()
{
    if (detail::g_sinkInstalled.exchange(false))
        platform::SetMessageSink(nullptr);
}

bool PostMessage(WindowHandle window, unsigned id, WParam wParam, LParam lParam)
{
    return platform::PostWindowMessage(window, id, wParam, lParam);
}

LResult SendMessage(WindowHandle window, unsigned id, WParam wParam, LParam lParam)
{
    if (!detail::OnUserInterfaceThread())
        return 0;
    detail::MessageTarget* target = detail::TargetOf(window);
    return target == nullptr ? 0 : target->DispatchWindowMessage(id, wParam, lParam);
}

void PostQuitMessage(int exitCode, const QString& reason)
{
    {
        std::lock_guard lock(detail::g_quitMutex);
        detail::g_quitCode = exitCode;
        detail::g_quitReason = reason;
    }
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, &detail::TakeQuitRequest, Qt::QueuedConnection);
}

std::optional<int> QuitCode()
{
    std::lock_guard lock(detail::g_quitMutex);
    return detail::g_quitCode;
}

QString QuitReason()
{
    std::lock_guard lock(detail::g_quitMutex);
    return detail::g_quitReason;
}

void ClearQuitRequest()
{
    std::lock_guard lock(detail::g_quitMutex);
    detail::g_quitCode.reset();
    detail::g_quitReason.clear();
    detail::g_quitPending = false;
}

} // namespace ui
