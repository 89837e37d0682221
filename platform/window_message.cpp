#include "platform/window_message.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<MessageSink*> g_sink{nullptr};
}

MessageSink* SetMessageSink(MessageSink* sink)
{
    return g_sink.exchange(sink);
}

bool PostWindowMessage(WindowHandle window, unsigned id, WParam wParam, LParam lParam)
{
    MessageSink* sink = g_sink.load();
    if (sink == nullptr || window == kNoWindow)
        return false;
    return sink->Post(PostedMessage{window, id, wParam, lParam, std::nullopt});
}

bool PostWindowText(WindowHandle window, unsigned id, WParam wParam, std::string text)
{
    MessageSink* sink = g_sink.load();
    if (sink == nullptr || window == kNoWindow)
        return false;
    return sink->Post(PostedMessage{window, id, wParam, 0, std::move(text)});
}

} // namespace platform
