#pragma once
// Helpers for the tests of the printer-communication layer: a port map that the test
// fills itself (every other port leads nowhere, so no test ever opens a real serial port
// of the machine), virtual lines behind COM numbers, a message sink that runs a hook on
// the posting thread, and bounded polling.

#include "tests/support/scoped_port_map.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "platform/port_map.h"
#include "platform/timing.h"
#include "platform/virtual_line.h"
#include "platform/window_message.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace comms_test {

using test_support::kAbsentDevice;
using test_support::ScopedPortMap;

// A virtual line registered under a name and mapped to COM<portNumber>.
class VirtualPort {
public:
    VirtualPort(ScopedPortMap& map, int portNumber)
        : name_("test-line-" + std::to_string(portNumber)), line_(platform::VirtualLine::Create())
    {
        platform::RegisterVirtualLine(name_, line_);
        map.Set(portNumber, std::string(platform::kVirtualDevicePrefix) + name_);
    }
    ~VirtualPort() { platform::UnregisterVirtualLine(name_); }
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    const std::shared_ptr<platform::VirtualLine>& Line() const { return line_; }
    platform::VirtualLine* operator->() const { return line_.get(); }

private:
    std::string name_;
    std::shared_ptr<platform::VirtualLine> line_;
};

// Forwards every message to another sink after running a hook on the posting thread,
// so that a test can look at the sender's state at the moment of posting, or act then.
class HookedSink final : public platform::MessageSink {
public:
    using Hook = std::function<void(const platform::PostedMessage&)>;

    HookedSink(platform::MessageSink& target, Hook hook) : target_(target), hook_(std::move(hook))
    {
        previous_ = platform::SetMessageSink(this);
    }
    ~HookedSink() override { platform::SetMessageSink(previous_); }
    HookedSink(const HookedSink&) = delete;
    HookedSink& operator=(const HookedSink&) = delete;

    bool Post(platform::PostedMessage message) override
    {
        hook_(message);
        return target_.Post(std::move(message));
    }

private:
    platform::MessageSink& target_;
    Hook hook_;
    platform::MessageSink* previous_ = nullptr;
};

// Polls condition every few milliseconds for up to realMs real milliseconds.
inline bool WaitUntil(const std::function<bool()>& condition, int realMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A reply frame as a printer sends it.
inline std::string ReplyFrame(std::uint8_t code, const std::string& payload)
{
    std::string frame;
    return CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_REPLY, code, payload);
}

inline std::string RequestFrame(std::uint8_t command, const std::string& payload)
{
    std::string frame;
    return CQVMessageParser::BuildRequest(frame, 0, command, payload);
}

// Takes one whole request frame from the printer end of a line (it ends with the end
// byte 08 and the CRC); empty when none came within realMs.
inline std::string TakeRequest(platform::VirtualLine& line, std::size_t frameSize, int realMs)
{
    std::string taken;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    while (taken.size() < frameSize && std::chrono::steady_clock::now() < end) {
        line.WaitForHostBytes(5);
        taken += line.TakeFromHost(frameSize - taken.size());
    }
    return taken.size() == frameSize ? taken : std::string();
}

} // namespace comms_test
