#pragma once
// A device that never stops talking and never frames a reply, on a pseudo-terminal: a GPS
// receiver or a modem console on a port next to the printer's, or a device that streams
// binary data. A thread of the test process writes on the master side until the object
// goes; the host opens the slave side like any serial port.
//
// Two ways of talking: a text said again and again, about a thousand times a second; or
// random bytes from a fixed seed at a steady pace, either a given number of bytes a second
// (none: a device that stays silent) or as fast as the line carries them at the baud rate
// the host chose. Between two stretches of random bytes the device can be made to say
// something whole (a printer's reply arriving after noise).
//
// Thread rules: construct, read, Say and destroy on the test's thread; the talking thread
// lives from construction to destruction.

#include "tools/printer-sim/pty_printer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <poll.h>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace test_support {

// What a GPS receiver says once a second, and says here without a pause.
inline constexpr char kGpsSentence[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

// A pace of random bytes: as fast as the line carries them at the host's baud rate.
inline constexpr std::uint32_t kLineRate = std::numeric_limits<std::uint32_t>::max();

class ChattyPseudoTerminal {
public:
    // The text again and again, without a pause.
    explicit ChattyPseudoTerminal(std::string text) : pty_(printer_sim::PseudoTerminal::Open()), text_(std::move(text))
    {
        if (pty_)
            talker_ = std::thread([this] { Talk(); });
    }
    // Random bytes from seed, bytesPerSecond of them (kLineRate: the line's own rate).
    ChattyPseudoTerminal(std::uint32_t seed, std::uint32_t bytesPerSecond)
        : pty_(printer_sim::PseudoTerminal::Open()), seed_(seed), bytesPerSecond_(bytesPerSecond)
    {
        if (pty_)
            talker_ = std::thread([this] { Stream(); });
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

    // Random streams only: the bytes go out whole after the random bytes due so far, and
    // the stream goes on after them.
    void Say(std::string bytes)
    {
        std::lock_guard lock(sayMutex_);
        said_ += bytes;
    }
    // Whether everything given to Say has been written.
    bool AllSaid()
    {
        std::lock_guard lock(sayMutex_);
        return said_.empty();
    }

private:
    static constexpr int kPollMs = 20;
    static constexpr auto kRest = std::chrono::milliseconds(1);
    // What one character costs on the line at 8N1, the only framing a pty shows.
    static constexpr std::uint32_t kBitsPerCharacter = 10;
    // The most random bytes one pass writes: a host that reads nothing loses the rest, as
    // on a real line whose receiver has overflowed.
    static constexpr std::size_t kLongestBurst = 4096;

    void Talk()
    {
        while (!stop_.load()) {
            pollfd pfd{pty_->MasterFd(), POLLOUT, 0};
            if (::poll(&pfd, 1, kPollMs) <= 0)
                continue;
            if (!WriteSome(text_))
                return;
            pty_->ForgetExclusiveOpen();
            std::this_thread::sleep_for(kRest);
        }
    }

    // Bytes a second at the moment: the given pace, or the line's at the host's baud rate.
    std::uint32_t Pace() const
    {
        return bytesPerSecond_ != kLineRate ? bytesPerSecond_ : pty_->HostBaudRate() / kBitsPerCharacter;
    }

    void Stream()
    {
        std::mt19937 generator(seed_);
        std::string burst;
        double due = 0.0; // random bytes owed to the line since the last pass
        auto last = std::chrono::steady_clock::now();
        while (!stop_.load()) {
            std::this_thread::sleep_for(kRest);
            const auto now = std::chrono::steady_clock::now();
            due += std::chrono::duration<double>(now - last).count() * Pace();
            last = now;
            pty_->ForgetExclusiveOpen();
            if (!SayPending() && due < 1.0)
                continue;
            const auto count = std::min(static_cast<std::size_t>(due), kLongestBurst);
            due -= static_cast<double>(count);
            burst.clear();
            for (std::size_t i = 0; i < count; ++i)
                burst += static_cast<char>(generator() & 0xFF);
            if (!WriteSome(burst))
                return;
            if (!SayWhole())
                return;
        }
    }

    bool SayPending()
    {
        std::lock_guard lock(sayMutex_);
        return !said_.empty();
    }

    // Writes what the tty takes of bytes; false when the pty has gone. Nobody reading: the
    // tty's buffer is full and the rest is lost, as on a real line.
    bool WriteSome(const std::string& bytes)
    {
        if (bytes.empty())
            return true;
        const ssize_t count = ::write(pty_->MasterFd(), bytes.data(), bytes.size());
        if (count > 0)
            written_ += static_cast<std::uint64_t>(count);
        return count >= 0 || errno == EAGAIN || errno == EINTR;
    }

    // Writes everything given to Say, waiting for room; false when the pty has gone.
    bool SayWhole()
    {
        std::lock_guard lock(sayMutex_);
        while (!said_.empty() && !stop_.load()) {
            pollfd pfd{pty_->MasterFd(), POLLOUT, 0};
            if (::poll(&pfd, 1, kPollMs) <= 0)
                continue;
            const ssize_t count = ::write(pty_->MasterFd(), said_.data(), said_.size());
            if (count < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (count > 0) {
                written_ += static_cast<std::uint64_t>(count);
                said_.erase(0, static_cast<std::size_t>(count));
            }
        }
        return true;
    }

    std::unique_ptr<printer_sim::PseudoTerminal> pty_;
    std::string text_;
    std::uint32_t seed_ = 0;
    std::uint32_t bytesPerSecond_ = 0;
    std::mutex sayMutex_;
    std::string said_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> written_{0};
    std::thread talker_;
};

} // namespace test_support
