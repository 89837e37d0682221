#pragma once
// A message sink for tests: records every posted message, with a copy of its text, and
// lets a test wait for the messages it expects.

#include "platform/timing.h"
#include "platform/window_message.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace test_support {

class MessageRecorder final : public platform::MessageSink {
public:
    MessageRecorder() { previous_ = platform::SetMessageSink(this); }
    ~MessageRecorder() override { platform::SetMessageSink(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    bool Post(platform::PostedMessage message) override
    {
        {
            std::lock_guard lock(mutex_);
            messages_.push_back(std::move(message));
        }
        posted_.notify_all();
        return true;
    }

    std::vector<platform::PostedMessage> Messages() const
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }

    std::vector<platform::PostedMessage> MessagesWithId(unsigned id) const
    {
        std::vector<platform::PostedMessage> found;
        for (const platform::PostedMessage& message : Messages()) {
            if (message.id == id)
                found.push_back(message);
        }
        return found;
    }

    // Waits up to realMs (real milliseconds) until a message with this id has been posted.
    bool WaitFor(unsigned id, int realMs) const
    {
        return WaitUntil([id](const platform::PostedMessage& m) { return m.id == id; }, realMs);
    }

    bool WaitUntil(const std::function<bool(const platform::PostedMessage&)>& match, int realMs) const
    {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, std::chrono::milliseconds(realMs), [&] {
            for (const platform::PostedMessage& message : messages_) {
                if (match(message))
                    return true;
            }
            return false;
        });
    }

    void Clear()
    {
        std::lock_guard lock(mutex_);
        messages_.clear();
    }

private:
    platform::MessageSink* previous_ = nullptr;
    mutable std::mutex mutex_;
    mutable std::condition_variable posted_;
    std::vector<platform::PostedMessage> messages_;
};

// Runs the program's clock faster for the life of the object (for long fixed waits).
class ScopedSpeedFactor {
public:
    explicit ScopedSpeedFactor(double factor) : previous_(platform::timing::SpeedFactor())
    {
        platform::timing::SetSpeedFactor(factor);
    }
    ~ScopedSpeedFactor() { platform::timing::SetSpeedFactor(previous_); }
    ScopedSpeedFactor(const ScopedSpeedFactor&) = delete;
    ScopedSpeedFactor& operator=(const ScopedSpeedFactor&) = delete;

private:
    double previous_;
};

// Records the length of each wait that one thread asks of the program's clock, from the
// moment that thread calls FollowThisThread, for the life of the object.
class ThreadWaitLog {
public:
    ThreadWaitLog()
    {
        platform::timing::SetWaitObserver([this](std::uint32_t ms) {
            std::lock_guard lock(mutex_);
            if (std::this_thread::get_id() == followed_)
                waits_.push_back(ms);
        });
    }
    ~ThreadWaitLog() { platform::timing::SetWaitObserver({}); }
    ThreadWaitLog(const ThreadWaitLog&) = delete;
    ThreadWaitLog& operator=(const ThreadWaitLog&) = delete;

    void FollowThisThread()
    {
        std::lock_guard lock(mutex_);
        followed_ = std::this_thread::get_id();
    }
    std::vector<std::uint32_t> Waits() const
    {
        std::lock_guard lock(mutex_);
        return waits_;
    }

private:
    mutable std::mutex mutex_;
    std::thread::id followed_;
    std::vector<std::uint32_t> waits_;
};

} // namespace test_support
