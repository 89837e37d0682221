#pragma once
// A device that never stops talking and never frames a reply, on a pseudo-terminal: a GPS
// receiver or a modem console on a port next to the printer's. A thread of the test process
// writes its text again and again on the master side, about a thousand times a second,
// until the object goes; the host opens the slave side like any serial port.
//
// Thread rules: construct, read and destroy on the test's thread; the talking thread lives
// from construction to destruction.

#include "tools/printer-sim/pty_printer.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace test_support {

// What a GPS receiver says once a second, and says here without a pause.
inline constexpr char kGpsSentence[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

class ChattyPseudoTerminal {
public:
    explicit ChattyPseudoTerminal(std::string text) : pty_(printer_sim::PseudoTerminal::Open()), text_(std::move(text))
    {
        if (pty_)
            talker_ = std::thread([this] { Talk(); });
    }
    ~ChattyPseudoTerminal()
    {
        stop_.store(true);
        if (talker_.joinable())
            talker_.join();
    }
    ChattyPseudoTerminal(const ChattyPseudoTerminal&) = delete;
    ChattyPseudoTerminal& operator=(const ChattyPseudoTerminal&) = delete;

    bool Valid() const { return pty_ != nullptr; }
    std::string SlavePath() const { return pty_ ? pty_->SlavePath() : std::string(); }
    std::uint64_t BytesWritten() const { return written_.load(); }

private:
    static constexpr int kPollMs = 20;
    static constexpr auto kRest = std::chrono::milliseconds(1);

    void Talk()
    {
        while (!stop_.load()) {
            pollfd pfd{pty_->MasterFd(), POLLOUT, 0};
            if (::poll(&pfd, 1, kPollMs) <= 0)
                continue;
            // Nobody reading: the tty's buffer is full and the text is lost, as on a real line.
            const ssize_t count = ::write(pty_->MasterFd(), text_.data(), text_.size());
            if (count > 0)
                written_ += static_cast<std::uint64_t>(count);
            else if (count < 0 && errno != EAGAIN && errno != EINTR)
                return;
            pty_->ForgetExclusiveOpen();
            std::this_thread::sleep_for(kRest);
        }
    }

    std::unique_ptr<printer_sim::PseudoTerminal> pty_;
    std::string text_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> written_{0};
    std::thread talker_;
};

} // namespace test_support
