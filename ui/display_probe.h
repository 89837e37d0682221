#pragma once
// Whether a display server answers at all, asked before Qt connects to it. Qt's X11
// connection waits for the server's first reply without a time limit, so a server that
// accepts the connection and then says nothing (a stalled SSH X11 forwarding) would hold the
// program for ever; a Wayland compositor that stalls the same way would hold it too. Here the
// same first exchange is made on a plain socket with a deadline. Plain POSIX sockets, no Qt.
//
// Thread rules: any thread. ProbeDisplays blocks its caller until every display has
// answered, or at most until the deadline.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

// How long start-up waits for a named display to answer before it leaves it out: long
// enough for an X11 forwarding over a slow SSH link to open its channel and answer.
inline constexpr std::uint32_t kDisplayAnswerWaitMs = 5000;

enum class DisplayAnswer {
    Answers,   // the server replied (whatever it replied) before the deadline
    Silent,    // connected, or still connecting, and no reply by the deadline
    NotReached // refused, closed without a word, no such socket, a name that cannot be read:
               // Qt finds that out at once itself
};

enum class DisplayKind { X11, Wayland };

struct DisplayToProbe {
    DisplayKind kind = DisplayKind::X11;
    // DISPLAY's value for X11; WAYLAND_DISPLAY's (or the default socket name) for Wayland.
    std::string name;
};

// Where an X display is reached, read from DISPLAY's value ([protocol/][host]:number[.screen]).
struct X11Address {
    bool local = false; // the server's local socket; else TCP to host on port 6000 + number
    std::string host;
    int number = 0;
    bool operator==(const X11Address&) const = default;
};
std::optional<X11Address> ParseX11Display(const std::string& display);

// The path of a Wayland compositor's socket: name itself when absolute, else in
// XDG_RUNTIME_DIR; nothing when that is not set.
std::optional<std::string> WaylandSocketPath(const std::string& name);

struct DisplayProbes {
    std::vector<DisplayAnswer> answers; // in the order the displays were given
    // The connections of the displays that answered, open while this lives: an X server
    // whose last client leaves resets itself and keeps the next connection (Qt's own)
    // waiting for that (tens of milliseconds); a server that has other clients does not care.
    std::shared_ptr<const void> openConnections;
};

// Asks every display at once and waits at most waitMs (program time) for all of them.
DisplayProbes ProbeDisplays(const std::vector<DisplayToProbe>& displays, std::uint32_t waitMs);

} // namespace ui
