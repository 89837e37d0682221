#pragma once
// A simulated printer on a pseudo-terminal, served by a thread of the test process, for the
// checks that the jetvane-printer-sim program cannot show from outside: every request frame
// kept whole (the program logs only the command and the payload length) and scripted
// faults (the program cannot be told to refuse a request), and every byte it heard.
//
// Like jetvane-printer-sim it listens only while the host's baud rate equals its own; it
// answers at full speed (no throttling).
//
// Thread rules: construct, read and destroy on the test's thread; the serving thread
// lives from construction to destruction and is the only one that touches the engine's
// Receive. ReceivedFrames, ReceivedBytes and AddFault may be called at any time.

#include "platform/timing.h"
#include "tools/printer-sim/printer_engine.h"
#include "tools/printer-sim/pty_printer.h"

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace cli_test {

class RecordingPtyPrinter {
public:
    explicit RecordingPtyPrinter(printer_sim::PrinterConfig config)
        : pty_(printer_sim::PseudoTerminal::Open()), listeningBaudRate_(config.line.baudRate)
    {
        if (!pty_)
            return;
        medium_ = std::make_unique<Medium>(*pty_, stop_);
        engine_ = std::make_unique<printer_sim::PrinterEngine>(std::move(config), *medium_);
        server_ = std::thread([this] { Serve(); });
    }

    ~RecordingPtyPrinter()
    {
        stop_.store(true);
        if (engine_)
            engine_->Stop();
        if (server_.joinable())
            server_.join();
    }

    RecordingPtyPrinter(const RecordingPtyPrinter&) = delete;
    RecordingPtyPrinter& operator=(const RecordingPtyPrinter&) = delete;

    bool Valid() const { return pty_ != nullptr; }
    std::string SlavePath() const { return pty_ ? pty_->SlavePath() : std::string(); }
    void AddFault(const printer_sim::Fault& fault) { engine_->AddFault(fault); }
    std::vector<printer_sim::ReceivedFrame> ReceivedFrames() const { return engine_->ReceivedFrames(); }
    // The bytes as they crossed the line at the printer's baud rate, frames or not.
    std::string ReceivedBytes() const
    {
        const std::lock_guard<std::mutex> lock(bytesMutex_);
        return receivedBytes_;
    }

private:
    static constexpr int kServePollMs = 20;

    class Medium final : public printer_sim::PrinterMedium {
    public:
        Medium(const printer_sim::PseudoTerminal& pty, const std::atomic<bool>& stop) : pty_(pty), stop_(stop) {}

        void Send(std::string_view bytes) override
        {
            while (!bytes.empty() && !stop_.load()) {
                pollfd pfd{pty_.MasterFd(), POLLOUT, 0};
                if (::poll(&pfd, 1, kServePollMs) <= 0)
                    continue;
                const ssize_t written = ::write(pty_.MasterFd(), bytes.data(), bytes.size());
                if (written < 0 && errno != EAGAIN && errno != EINTR)
                    return;
                if (written > 0)
                    bytes.remove_prefix(static_cast<std::size_t>(written));
            }
        }

        void SetDsr(bool) override {} // a pty has no modem lines

    private:
        const printer_sim::PseudoTerminal& pty_;
        const std::atomic<bool>& stop_;
    };

    void Serve()
    {
        char buffer[4096];
        while (!stop_.load()) {
            pollfd pfd{pty_->MasterFd(), POLLIN, 0};
            if (::poll(&pfd, 1, kServePollMs) <= 0) {
                pty_->ForgetExclusiveOpen();
                continue;
            }
            const ssize_t count = ::read(pty_->MasterFd(), buffer, sizeof buffer);
            if (count < 0 && errno != EAGAIN && errno != EINTR)
                platform::timing::SleepMs(kServePollMs);
            if (count <= 0 || pty_->HostBaudRate() != listeningBaudRate_)
                continue;
            const std::string_view bytes(buffer, static_cast<std::size_t>(count));
            {
                const std::lock_guard<std::mutex> lock(bytesMutex_);
                receivedBytes_.append(bytes);
            }
            engine_->Receive(bytes);
        }
    }

    std::unique_ptr<printer_sim::PseudoTerminal> pty_;
    std::uint32_t listeningBaudRate_;
    std::atomic<bool> stop_{false};
    mutable std::mutex bytesMutex_;
    std::string receivedBytes_;
    std::unique_ptr<Medium> medium_;
    std::unique_ptr<printer_sim::PrinterEngine> engine_;
    std::thread server_;
};

} // namespace cli_test
