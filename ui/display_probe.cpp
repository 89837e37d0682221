#include "ui/display_probe.h"

#include <wayland-client.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>
#include <utility>

namespace ui {
namespace {

// libwayland starts its own complaints so; a reason leaves it out.
constexpr char kWaylandErrorPrefix[] = "error: ";
// What ends a library's line of text and is no part of its reason.
constexpr char kLineEnding[] = " \t\r\n.";
constexpr std::size_t kCaptureChunk = 256;

// Reasons for libxcb's errors that carry no words of their own.
constexpr char kNotADisplayName[] = "not a display name";
constexpr char kNoSuchScreen[] = "no such screen";
constexpr char kXcbError[] = "libxcb error ";

// A connection made by one of the libraries, closed with its owner.
class DisplayConnection {
public:
    DisplayConnection() = default;
    explicit DisplayConnection(xcb_connection_t* x11) : x11_(x11) {}
    explicit DisplayConnection(wl_display* wayland) : wayland_(wayland) {}
    DisplayConnection(DisplayConnection&& other) noexcept
        : x11_(std::exchange(other.x11_, nullptr)), wayland_(std::exchange(other.wayland_, nullptr))
    {
    }
    DisplayConnection& operator=(DisplayConnection&& other) noexcept
    {
        std::swap(x11_, other.x11_);
        std::swap(wayland_, other.wayland_);
        return *this;
    }
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;
    ~DisplayConnection()
    {
        if (x11_ != nullptr)
            xcb_disconnect(x11_);
        if (wayland_ != nullptr)
            wl_display_disconnect(wayland_);
    }
    bool Open() const { return x11_ != nullptr || wayland_ != nullptr; }

private:
    xcb_connection_t* x11_ = nullptr;
    wl_display* wayland_ = nullptr;
};

std::string WithoutLineEnding(std::string text)
{
    const std::size_t end = text.find_last_not_of(kLineEnding);
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

// ---- libwayland's log: caught on an asking thread, passed on as before from every other

thread_local std::string* t_waylandLog = nullptr;

void CatchWaylandLog(const char* format, va_list arguments)
{
    if (t_waylandLog == nullptr) {
        std::vfprintf(stderr, format, arguments);
        return;
    }
    va_list measuring;
    va_copy(measuring, arguments);
    const int size = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (size <= 0)
        return;
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, arguments);
    text.resize(static_cast<std::size_t>(size));
    *t_waylandLog += text;
}

std::string WaylandReason(std::string log)
{
    if (log.rfind(kWaylandErrorPrefix, 0) == 0)
        log.erase(0, sizeof kWaylandErrorPrefix - 1);
    return WithoutLineEnding(std::move(log));
}

// ---- standard error while the displays are asked

// libxcb writes an X server's reason for turning a connection down straight to descriptor 2.
// While this lives, that descriptor leads into a pipe (which never blocks a writer: a reason
// is one short line); Release puts standard error back and returns what came. The pipe's own
// ends are kept above the standard descriptors, and a standard error that was closed is left
// on /dev/null rather than closed again, so that no later descriptor can take its place.
class StandardErrorCapture {
public:
    StandardErrorCapture()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        const int readEnd = AboveStandardDescriptors(ends[0]);
        const int writeEnd = AboveStandardDescriptors(ends[1]);
        const bool wasOpen = ::fcntl(STDERR_FILENO, F_GETFD) >= 0;
        saved_ = wasOpen ? ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, kFirstOwnDescriptor) : -1;
        if (readEnd >= 0 && writeEnd >= 0 && (saved_ >= 0 || !wasOpen) && ::dup2(writeEnd, STDERR_FILENO) >= 0) {
            readEnd_ = readEnd;
        } else {
            CloseIfOpen(saved_);
            CloseIfOpen(readEnd);
        }
        CloseIfOpen(writeEnd);
    }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;
    ~StandardErrorCapture() { Release(); }

    std::string Release()
    {
        if (readEnd_ < 0)
            return {};
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        } else {
            const int nowhere = ::open(kNowhere, O_WRONLY | O_CLOEXEC);
            if (nowhere >= 0 && nowhere != STDERR_FILENO) {
                ::dup2(nowhere, STDERR_FILENO);
                ::close(nowhere);
            }
        }
        std::string text;
        char chunk[kCaptureChunk];
        ssize_t count = 0;
        while ((count = ::read(readEnd_, chunk, sizeof chunk)) > 0 || (count < 0 && errno == EINTR)) {
            if (count > 0)
                text.append(chunk, static_cast<std::size_t>(count));
        }
        ::close(readEnd_);
        readEnd_ = -1;
        return text;
    }

private:
    static constexpr int kFirstOwnDescriptor = STDERR_FILENO + 1;
    static constexpr char kNowhere[] = "/dev/null";

    static void CloseIfOpen(int fd)
    {
        if (fd >= 0)
            ::close(fd);
    }
    // The descriptor itself when it is no standard one, else a copy above them (-1 on failure).
    static int AboveStandardDescriptors(int fd)
    {
        if (fd < 0 || fd >= kFirstOwnDescriptor)
            return fd;
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, kFirstOwnDescriptor);
        ::close(fd);
        return moved;
    }

    int saved_ = -1;
    int readEnd_ = -1;
};

// ---- the questions

bool NothingListens(int error)
{
    return error == ENOENT || error == ECONNREFUSED;
}

DisplayOutcome AskX11(const std::string& name, DisplayConnection* answered)
{
    errno = 0;
    // With a screen to fill in, as Qt asks: libxcb then also checks that the screen exists.
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(name.c_str(), &screen);
    const int connectError = errno;
    const int error = xcb_connection_has_error(connection);
    if (error == 0) {
        *answered = DisplayConnection(connection);
        return {DisplayAnswer::Answers, {}};
    }
    xcb_disconnect(connection);
    switch (error) {
    case XCB_CONN_ERROR:
        // A server's own reason, when it gave one, was written to standard error.
        return {NothingListens(connectError) ? DisplayAnswer::NotRunning : DisplayAnswer::Unusable, {}};
    case XCB_CONN_CLOSED_PARSE_ERR:
        return {DisplayAnswer::Unusable, kNotADisplayName};
    case XCB_CONN_CLOSED_INVALID_SCREEN:
        return {DisplayAnswer::Unusable, kNoSuchScreen};
    default:
        return {DisplayAnswer::Unusable, kXcbError + std::to_string(error)};
    }
}

DisplayOutcome AskWayland(const std::string& name, DisplayConnection* answered)
{
    std::string log;
    t_waylandLog = &log;
    errno = 0;
    wl_display* display = wl_display_connect(name.c_str());
    const int connectError = errno;
    DisplayOutcome outcome{DisplayAnswer::Answers, {}};
    if (display == nullptr) {
        if (!log.empty())
            outcome = {DisplayAnswer::Unusable, WaylandReason(log)};
        else
            outcome = {NothingListens(connectError) ? DisplayAnswer::NotRunning : DisplayAnswer::Unusable, {}};
    } else if (wl_display_roundtrip(display) < 0) {
        wl_display_disconnect(display);
        outcome = {DisplayAnswer::Refused, WaylandReason(log)};
    } else {
        *answered = DisplayConnection(display);
    }
    t_waylandLog = nullptr;
    return outcome;
}

DisplayOutcome Ask(const DisplayToAsk& display, DisplayConnection* answered)
{
    switch (display.kind) {
    case DisplayKind::X11:
        return AskX11(display.name, answered);
    case DisplayKind::Wayland:
        return AskWayland(display.name, answered);
    case DisplayKind::HandedOverWayland:
        break;
    }
    return {DisplayAnswer::Answers, {}};
}

// Whether the asking can end: the first display that did not fail has answered, or all failed.
bool Decided(const std::vector<std::optional<DisplayOutcome>>& outcomes)
{
    for (const std::optional<DisplayOutcome>& outcome : outcomes) {
        if (!outcome)
            return false;
        if (outcome->answer == DisplayAnswer::Answers)
            return true;
    }
    return true;
}

} // namespace

// One question to the displays, shared with the asking threads, which may outlive it.
struct AskingRound {
    std::mutex mutex;
    std::condition_variable returned;
    std::vector<std::optional<DisplayOutcome>> outcomes;
    std::vector<DisplayConnection> connections; // of the displays that answered
    bool closed = false;                        // a call that returns now closes its own
};

OpenDisplayConnections::OpenDisplayConnections(std::shared_ptr<AskingRound> round) : round_(std::move(round)) {}

OpenDisplayConnections& OpenDisplayConnections::operator=(OpenDisplayConnections&& other) noexcept
{
    Close();
    round_ = std::move(other.round_);
    return *this;
}

OpenDisplayConnections::~OpenDisplayConnections()
{
    Close();
}

void OpenDisplayConnections::Close()
{
    if (!round_)
        return;
    std::vector<DisplayConnection> closing;
    {
        const std::lock_guard<std::mutex> lock(round_->mutex);
        round_->closed = true;
        closing.swap(round_->connections);
    }
    round_.reset();
}

DisplayAnswers AskDisplays(const std::vector<DisplayToAsk>& displays, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    DisplayAnswers answers;
    if (displays.empty())
        return answers;
    const auto asks = [&](DisplayKind kind) {
        return std::any_of(displays.begin(), displays.end(), [kind](const DisplayToAsk& display) { return display.kind == kind; });
    };
    std::optional<StandardErrorCapture> standardError;
    if (asks(DisplayKind::X11))
        standardError.emplace();
    if (asks(DisplayKind::Wayland))
        wl_log_set_handler_client(CatchWaylandLog);

    const auto round = std::make_shared<AskingRound>();
    round->outcomes.resize(displays.size());
    for (std::size_t index = 0; index < displays.size(); ++index) {
        // Nothing after a handed-over socket is ever waited for: it has answered already.
        if (displays[index].kind == DisplayKind::HandedOverWayland) {
            round->outcomes[index] = DisplayOutcome{DisplayAnswer::Answers, {}};
            break;
        }
        std::thread([round, index, display = displays[index]] {
            DisplayConnection answered;
            const DisplayOutcome outcome = Ask(display, &answered);
            const std::lock_guard<std::mutex> lock(round->mutex);
            round->outcomes[index] = outcome;
            if (answered.Open() && !round->closed)
                round->connections.push_back(std::move(answered));
            round->returned.notify_all();
        }).detach();
    }

    std::vector<std::optional<DisplayOutcome>> outcomes;
    bool decided = false;
    {
        std::unique_lock<std::mutex> lock(round->mutex);
        decided = round->returned.wait_until(lock, deadline, [&] { return Decided(round->outcomes); });
        outcomes = round->outcomes;
    }
    const std::string refusal = standardError ? WithoutLineEnding(standardError->Release()) : std::string();
    for (std::size_t index = 0; index < displays.size(); ++index) {
        DisplayOutcome outcome = outcomes[index].value_or(
            DisplayOutcome{decided ? DisplayAnswer::NotAwaited : DisplayAnswer::Silent, {}});
        // Only libxcb writes there, and only for the server's refusal of the one X display
        // (whose failure errno may then tell of anything it did on the way).
        const bool failedWithoutReason = outcome.answer == DisplayAnswer::NotRunning ||
                                         (outcome.answer == DisplayAnswer::Unusable && outcome.reason.empty());
        if (displays[index].kind == DisplayKind::X11 && failedWithoutReason && !refusal.empty())
            outcome = {DisplayAnswer::Refused, refusal};
        answers.outcomes.push_back(std::move(outcome));
    }
    answers.openConnections = OpenDisplayConnections(round);
    return answers;
}

} // namespace ui
