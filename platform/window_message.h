#pragma once
// The one way worker threads report to windows: a posted message with a number and two
// parameters, delivered later on the window's own (user-interface) thread.
//
// Contract of the seam:
// - PostWindowMessage and PostWindowText may be called from any thread and never block on
//   the receiver. They return false when no sink is installed or the sink refused the
//   message (for example because the window no longer exists); the message is then dropped.
// - A text travels as a copy owned by the message. When the handler runs, its lParam
//   points at that copy, a std::string of bytes (Latin-1, NUL bytes allowed); the copy is
//   released after the handler returns, or when the message is dropped. Senders never need
//   to keep their buffer alive; MessageText() reads it.
// - The window layer installs its sink at start-up; tests install a recorder.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

using WindowHandle = std::uintptr_t; // 0 = no window
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

constexpr WindowHandle kNoWindow = 0;

struct PostedMessage {
    WindowHandle window = kNoWindow;
    unsigned id = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    std::optional<std::string> text; // when set, the receiver's lParam points at it
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Called on the posting thread; must not block for long and must be thread-safe.
    virtual bool Post(PostedMessage message) = 0;
};

// Installs the process-wide sink (nullptr removes it). Returns the previous one.
MessageSink* SetMessageSink(MessageSink* sink);

bool PostWindowMessage(WindowHandle window, unsigned id, WParam wParam, LParam lParam);
bool PostWindowText(WindowHandle window, unsigned id, WParam wParam, std::string text);

// For handlers: the text that a PostWindowText message carries (lParam must not be 0).
inline const std::string& MessageText(LParam lParam)
{
    return *reinterpret_cast<const std::string*>(lParam);
}

} // namespace platform
