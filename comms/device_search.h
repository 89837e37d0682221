#pragma once
// The search for the port and line settings on which a printer answers.
//
// For each port of a range the search thread tries the nine rows of SEARCH_LINE_SETTINGS
// in three passes that ask less of the modem lines each time (CTS and DSR, then DSR, then
// nothing), sends the identify probe at each try and reports to one window by posted
// messages: WM_SEARCH_STATUS per try, WM_DEVICE_IDENTITY when a printer answered with a
// non-empty identity, then WM_DEVICE_FOUND or WM_DEVICE_NOT_FOUND.
//
// Thread rules: Start, Stop and destruction run on the owner's (user-interface) thread;
// the search thread alone uses the search's transport while it runs. Stop ends a running
// search within about 200 ms, even in the middle of a probe, and nothing is posted after it.

#include "comms/comms.h"
#include "platform/window_message.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>

inline constexpr std::array<SerialLineSettings, 9> SEARCH_LINE_SETTINGS = {{
    {19200, 8, 'N', 1.0f},
    {9600, 8, 'N', 1.0f},
    {38400, 8, 'N', 1.0f},
    {115200, 8, 'N', 1.0f},
    {9600, 7, 'E', 1.0f},
    {19200, 7, 'E', 1.0f},
    {38400, 7, 'E', 1.0f},
    {115200, 7, 'E', 1.0f},
    {1200, 8, 'N', 1.0f},
}};

class CQVAirDeviceSearch {
public:
    enum SearchState : std::int32_t {
        SEARCH_STARTING = 0,
        SEARCH_IDLE = 1,
        SEARCH_SEARCHING = 2,
        SEARCH_DESTROYED = 3,
    };

    static constexpr std::uint32_t kSettleBeforeProbeMs = 500;
    static constexpr std::uint32_t kProbeTimeoutMs = 1500;
    static constexpr std::uint32_t kPauseBeforeCloseMs = 25;
    static constexpr std::uint32_t kPauseAfterCloseMs = 100;
    static constexpr std::uint32_t kPauseAfterPortMs = 25;

    CQVAirDeviceSearch();
    virtual ~CQVAirDeviceSearch();
    CQVAirDeviceSearch(const CQVAirDeviceSearch&) = delete;
    CQVAirDeviceSearch& operator=(const CQVAirDeviceSearch&) = delete;

    // The highest port a search reaches: its port numbers are 8 bits. A search of every port
    // ends there.
    static constexpr std::uint8_t kHighestPort = std::numeric_limits<std::uint8_t>::max();

    // Ports are 1-based COM numbers; 0 and 0 search COM1 to kHighestPort.
    bool Start(platform::WindowHandle notify, std::uint8_t firstPort, std::uint8_t lastPort);
    bool Stop();

    std::int32_t State() const { return state_.load(); }
    bool IsRunning() const { return running_.load(); }
    std::uint8_t FirstPort() const { return firstPort_; }
    std::uint8_t LastPort() const { return lastPort_; }
    // The payload of the reply to the last successful probe.
    const std::string& IdentityText() const { return identityText_; }

    // A port of the last search that could not be opened, and why (an errno value).
    struct OpenFailure {
        int port = 0;
        int error = 0;
    };
    // What kept the last search from a port: the first failure other than a missing device
    // (no permission, in use, not a serial port), else the first missing device; nothing
    // when every port opened. Written by the search thread before it posts its end; read it
    // once WM_DEVICE_NOT_FOUND (or WM_DEVICE_FOUND) has arrived.
    std::optional<OpenFailure> LastOpenFailure() const;

private:
    void SearchThreadMain();
    bool Search(int* port, int* row);
    bool Probe(int port, const SerialLineSettings& settings, int pass);

    void NoteOpenFailure(int port, int error);

    std::string identityText_;
    std::optional<OpenFailure> firstMissing_;
    std::optional<OpenFailure> firstRefused_;
    std::atomic<platform::WindowHandle> notifyWindow_{platform::kNoWindow};
    std::unique_ptr<CComms> transport_;
    std::atomic<std::int32_t> state_{SEARCH_IDLE};
    std::thread searchThread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::uint8_t firstPort_ = 0;
    std::uint8_t lastPort_ = 0;
};
