#pragma once
// What the benchmarks that drive the program's windows share: Qt's offscreen platform with
// private runtime and profile folders (the user's own profile is never touched), and a tap
// on the posted messages that notes when each one was posted.

#include "platform/window_message.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// Set before the QApplication exists (QSettings fixes its file's place at first use).
class OffscreenWorld {
public:
    OffscreenWorld()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_RUNTIME_DIR", runtimeDir_.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", configDir_.path().toLocal8Bit());
    }
    bool Valid() const { return runtimeDir_.isValid() && configDir_.isValid(); }

private:
    QTemporaryDir runtimeDir_;
    QTemporaryDir configDir_;
};

// Notes every posted message with the time it was posted and passes it on to the window
// layer (install the window layer's sink first).
class PostedTimes final : public platform::MessageSink {
public:
    PostedTimes() : next_(platform::SetMessageSink(this)) {}
    ~PostedTimes() override { platform::SetMessageSink(next_); }
    PostedTimes(const PostedTimes&) = delete;
    PostedTimes& operator=(const PostedTimes&) = delete;

    bool Post(platform::PostedMessage message) override
    {
        {
            std::lock_guard lock(mutex_);
            seen_.push_back({message.id, message.text.value_or(std::string()), Clock::now()});
        }
        return next_ != nullptr && next_->Post(std::move(message));
    }

    // When a message with this id (and this text, when one is given) was first posted, at
    // or after the given time.
    std::optional<Clock::time_point> First(unsigned id, const std::optional<std::string>& text = std::nullopt,
                                           Clock::time_point notBefore = {}) const
    {
        std::lock_guard lock(mutex_);
        for (const Seen& seen : seen_) {
            if (seen.id == id && (!text || seen.text == *text) && seen.at >= notBefore)
                return seen.at;
        }
        return std::nullopt;
    }

private:
    struct Seen {
        unsigned id;
        std::string text;
        Clock::time_point at;
    };
    platform::MessageSink* next_;
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
};

// Runs the event loop until done() holds or limitMs pass; returns done().
inline bool RunEventsUntil(const std::function<bool()>& done, int limitMs)
{
    const QDeadlineTimer deadline(limitMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

inline double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

} // namespace bench
