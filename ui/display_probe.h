#pragma once
// Whether a display server can be used, asked before Qt connects to it. Qt's X11 and Wayland
// platforms wait for the server without a time limit, so a server that takes the connection
// and then says nothing (a stalled SSH X11 forwarding, a hung compositor, a local socket whose
// queue is full) would hold the program for ever. Each display is asked here with the very
// call that Qt's platform will make to reach it -- libxcb's xcb_connect for X, libwayland's
// wl_display_connect and one round trip for Wayland -- so that the addresses, authorisation
// and replies are exactly those Qt will meet. Each call runs on a thread of its own; a call
// still blocked at the deadline is abandoned, never joined.
//
// Thread rules: any thread, one question at a time. AskDisplays blocks its caller at most
// until the deadline. The environment must not change while an abandoned call may still run.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// How long start-up waits for a named display before it leaves it out: long enough for an
// X11 forwarding over a slow SSH link to open its channel and answer.
inline constexpr std::chrono::milliseconds kDisplayAnswerWait{5000};

enum class DisplayKind {
    X11,
    Wayland,
    // A compositor's socket handed over ready-made (WAYLAND_SOCKET): libwayland would take it,
    // and its variable, away from Qt, so it is not asked; it counts as answered at once.
    HandedOverWayland,
};

struct DisplayToAsk {
    DisplayKind kind = DisplayKind::X11;
    // DISPLAY's value for X11; WAYLAND_DISPLAY's (or the default socket name) for Wayland;
    // WAYLAND_SOCKET's for a handed-over socket.
    std::string name;
};

enum class DisplayAnswer {
    Answers,    // the library connected: X's whole setup reply, or a Wayland round trip
    Silent,     // its call had not returned at the deadline
    NotAwaited, // a display before it in the order answered first; its call may still run
    NotRunning, // nothing takes connections there (no socket, connection refused)
    Refused,    // a server took the connection and turned it down (reason: its own words)
    Unusable    // any other failure (reason: the library's words, when it gave any)
};

struct DisplayOutcome {
    DisplayAnswer answer = DisplayAnswer::Silent;
    std::string reason;
    bool operator==(const DisplayOutcome&) const = default;
};

// The connections of the displays that answered, open while this lives: an X server whose
// last client leaves resets itself and keeps the next connection (Qt's own) waiting for that
// (tens of milliseconds). A call that returns after this is gone closes its own connection.
struct AskingRound;
class OpenDisplayConnections {
public:
    OpenDisplayConnections() = default;
    explicit OpenDisplayConnections(std::shared_ptr<AskingRound> round);
    OpenDisplayConnections(OpenDisplayConnections&&) noexcept = default;
    OpenDisplayConnections& operator=(OpenDisplayConnections&& other) noexcept;
    OpenDisplayConnections(const OpenDisplayConnections&) = delete;
    OpenDisplayConnections& operator=(const OpenDisplayConnections&) = delete;
    ~OpenDisplayConnections();

private:
    void Close();
    std::shared_ptr<AskingRound> round_;
};

struct DisplayAnswers {
    std::vector<DisplayOutcome> outcomes; // in the order the displays were given
    OpenDisplayConnections openConnections;
};

// Asks every display at once, in the order a platform list would try them. The asking ends
// as soon as the first display that did not fail has answered, when every one has failed, or
// at now + wait, whichever comes first: a later display is waited for only while every one
// before it is silent. What libxcb and libwayland would print about a failure becomes that
// display's reason instead.
DisplayAnswers AskDisplays(const std::vector<DisplayToAsk>& displays, std::chrono::milliseconds wait);

} // namespace ui
