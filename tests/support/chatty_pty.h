#pragma once
// A device that never stops talking and never frames a reply, on a pseudo-terminal: a GPS
// receiver or a modem console on a port next to the printer's. A thread of the test process
// writes its text again and again on the master side, about a thousand times a second,
// until the object goes; the host opens the slave side like any serial port. Made with a
// seed, it streams random bytes at a steady pace instead; made with a text and a pace, it
// says the text over and over at that pace.
//
// Thread rules: construct, read and destroy on the test's thread; the talking thread lives
// from construction to destruction. Say may come from any thread.

#include "tools/printer-sim/pty_printer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace test_support {

// What a GPS receiver says once a second, and says here without a pause.
inline constexpr char kGpsSentence[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

// A pace of random bytes: as fast as the line carries them at the host's baud rate.
inline constexpr std::uint32_t kLineRate = ~std::uint32_t{0};

class ChattyPseudoTerminal {
public:
    explicit ChattyPseudoTerminal(std::string text) : pty_(printer_sim::PseudoTerminal::Open()), text_(std::move(text))
    {
        if (pty_)
            talker_ = std::thread([this] { Talk(); });
    }
    // Random bytes from seed, bytesPerSecond of them (none: a silent device).
    ChattyPseudoTerminal(std::uint32_t seed, std::uint32_t bytesPerSecond)
        : pty_(printer_sim::PseudoTerminal::Open()), seed_(seed), bytesPerSecond_(bytesPerSecond), paced_(true)
    {
        if (pty_)
            talker_ = std::thread([this] { Talk(); });
    }
    // The text over and over, bytesPerSecond of its bytes.
    ChattyPseudoTerminal(std::string text, std::uint32_t bytesPerSecond)
        : pty_(printer_sim::PseudoTerminal::Open()), text_(std::move(text)), bytesPerSecond_(bytesPerSecond),
          paced_(true)
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

    // Bytes that go out whole between two stretches of the device's talk.
    void Say(const std::string& bytes)
    {
        std::lock_guard lock(sayMutex_);
        said_ += bytes;
        saidAt_.reset();
    }
    // When the tty took the last of the bytes Say was given; nothing while some are still to go.
    std::optional<std::chrono::steady_clock::time_point> SaidAt() const
    {
        std::lock_guard lock(sayMutex_);
        return saidAt_;
    }

private:
    static constexpr auto kRest = std::chrono::milliseconds(1);

    void Talk()
    {
        std::mt19937 generator(seed_);
        std::string burst = text_;
        std::size_t next = 0; // where in the text a paced burst goes on
        double due = 0.0;     // paced bytes owed to the line
        for (auto last = std::chrono::steady_clock::now(); !stop_.load();) {
            std::this_thread::sleep_for(kRest);
            pty_->ForgetExclusiveOpen();
            if (paced_) {
                const auto now = std::chrono::steady_clock::now();
                // The line's rate: ten bits a character at 8N1, the only framing a pty shows.
                const std::uint32_t pace = bytesPerSecond_ != kLineRate ? bytesPerSecond_ : pty_->HostBaudRate() / 10;
                due += std::chrono::duration<double>(now - last).count() * pace;
                last = now;
                burst.resize(static_cast<std::size_t>(due));
                due -= static_cast<double>(burst.size());
                for (char& byte : burst)
                    byte = text_.empty() ? static_cast<char>(generator() & 0xFF) : text_[next++ % text_.size()];
            }
            // What Say was given goes first; a part the tty did not take goes first again. Nobody
            // reading: the tty's buffer is full and the rest is lost, as on a real line.
            std::lock_guard lock(sayMutex_);
            const std::string bytes = said_ + burst;
            const ssize_t count = bytes.empty() ? 0 : ::write(pty_->MasterFd(), bytes.data(), bytes.size());
            if (count < 0 && errno != EAGAIN && errno != EINTR)
                return;
            if (count > 0) {
                written_ += static_cast<std::uint64_t>(count);
                const bool wasSaying = !said_.empty();
                said_.erase(0, std::min(static_cast<std::size_t>(count), said_.size()));
                if (wasSaying && said_.empty())
                    saidAt_ = std::chrono::steady_clock::now();
            }
        }
    }

    std::unique_ptr<printer_sim::PseudoTerminal> pty_;
    std::string text_;
    std::uint32_t seed_ = 0;
    std::uint32_t bytesPerSecond_ = 0;
    bool paced_ = false;
    mutable std::mutex sayMutex_;
    std::string said_;
    std::optional<std::chrono::steady_clock::time_point> saidAt_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> written_{0};
    std::thread talker_;
};

} // namespace test_support
