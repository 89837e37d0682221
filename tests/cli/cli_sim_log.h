#pragma once
// What the command-line tests read from a simulated printer: the frame log that
// jetvane-printer-sim writes on its standard error, and the bag-tag printer that the tests
// serve in their own process.

#include "tests/support/printer_sim_process.h"
#include "tools/printer-sim/simulated_printer.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace cli_test {

inline constexpr int kLogPollMs = 20;

// What jetvane-printer-sim logs for each request frame it receives.
inline constexpr char kSimFrameLogFormat[] = "received command 0x%X, payload %zu bytes";

struct LoggedFrame {
    unsigned command = 0;
    std::size_t payloadLength = 0;
    bool operator==(const LoggedFrame&) const = default;
};

inline void PrintTo(const LoggedFrame& frame, std::ostream* os)
{
    char text[64];
    std::snprintf(text, sizeof text, "{0x%02X, %zu bytes}", frame.command, frame.payloadLength);
    *os << text;
}

inline std::vector<LoggedFrame> LoggedFrames(const std::string& log)
{
    std::vector<LoggedFrame> frames;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        const std::string line = log.substr(start, end - start);
        LoggedFrame frame;
        if (std::sscanf(line.c_str(), kSimFrameLogFormat, &frame.command, &frame.payloadLength) == 2)
            frames.push_back(frame);
        start = end + 1;
    }
    return frames;
}

inline bool WaitForLoggedCommand(const test_support::PrinterSimProcess& sim, unsigned command, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        for (const LoggedFrame& frame : LoggedFrames(sim.StderrText())) {
            if (frame.command == command)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kLogPollMs));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

// A bag-tag printer without modem lines (a pty has none), found in the third pass.
inline printer_sim::PrinterConfig BagTagPrinter()
{
    printer_sim::PrinterConfig config;
    config.type = printer_sim::PrinterType::BTP;
    config.identity = "YT00000006060";
    config.cts = false;
    config.dsr = false;
    return config;
}

} // namespace cli_test
