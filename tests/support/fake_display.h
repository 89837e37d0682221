#pragma once
// Display servers played by the test, each the way one kind of display misbehaves or works:
//
// - FakeDisplay: an X display on a loopback TCP port (6000 + its number) or a Wayland socket
//   in a folder of the test's. It takes every connection and, once a request has come, never
//   says a word (as a stalled SSH X11 forwarding does), answers it the way the protocol asks
//   (X's connection setup accepted, Wayland's sync done), turns it down with a reason (X), sends
//   a few bytes that start no reply and stops (an SSH banner), or closes it. The connections it
//   took stay open until it is destroyed.
// - RefusingX11Display: an X display number whose TCP port refuses every connection.
// - FullQueueX11Display: a local X socket in the abstract namespace (no rights needed) whose
//   listen queue is full: a blocking connect to it waits for ever.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

// Display numbers tried for the test's X displays; the machine is shared with other runs of
// the suite, and a real server may hold a low number.
inline constexpr int kFirstFakeDisplayNumber = 300;
inline constexpr int kLastFakeDisplayNumber = 999;
inline constexpr int kX11TcpPortBase = 6000;
inline constexpr char kX11SocketBase[] = "/tmp/.X11-unix/X";

// A socket address for X display number in the abstract namespace, where libxcb looks first.
inline socklen_t AbstractX11Address(int number, sockaddr_un* address)
{
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    const std::string path = kX11SocketBase + std::to_string(number);
    std::memcpy(address->sun_path + 1, path.data(), path.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
}

// Whether display number has a local socket (a file, or an abstract name that is bound).
inline bool HasLocalX11Socket(int number)
{
    if (std::filesystem::exists(kX11SocketBase + std::to_string(number)))
        return true;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address;
    const socklen_t length = AbstractX11Address(number, &address);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

// A TCP socket bound to 127.0.0.1 on the port of the first display number from
// kFirstFakeDisplayNumber on that is free and has no local socket; -1 when none is.
inline int BindX11TcpPort(int* number)
{
    for (int candidate = kFirstFakeDisplayNumber; candidate <= kLastFakeDisplayNumber; ++candidate) {
        if (HasLocalX11Socket(candidate))
            continue;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(kX11TcpPortBase + candidate));
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            *number = candidate;
            return fd;
        }
        if (fd >= 0)
            ::close(fd);
    }
    return -1;
}

class FakeDisplay {
public:
    enum class Reply { Never, Answers, TurnsDown, FewBytes, Close };

    // Why the X display turns a connection down, as a server says it.
    static constexpr char kTurnDownReason[] = "Authorization required, but no authorization protocol specified\n";
    // A few bytes that are no X or Wayland reply: what an SSH server says first.
    static constexpr char kFewBytes[] = "SSH-2.0-OpenSSH_9.2p1\r\n";

    // An X display on 127.0.0.1. Name() is DISPLAY's value naming it by host; LocalName()
    // names it as ":N", which libxcb reaches over TCP since no local socket has that number.
    explicit FakeDisplay(Reply reply = Reply::Never) : reply_(reply), x11_(true)
    {
        fd_ = BindX11TcpPort(&number_);
        if (fd_ >= 0)
            name_ = "127.0.0.1:" + std::to_string(number_);
        Listen();
    }

    // A Wayland compositor's socket at path (absolute). Name() is WAYLAND_DISPLAY's value.
    explicit FakeDisplay(const std::string& path, Reply reply = Reply::Never) : reply_(reply), x11_(false)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && path.size() < sizeof address.sun_path) {
            std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                fd_ = fd;
                name_ = path;
            }
        }
        if (fd_ < 0 && fd >= 0)
            ::close(fd);
        Listen();
    }

    FakeDisplay(const FakeDisplay&) = delete;
    FakeDisplay& operator=(const FakeDisplay&) = delete;
    ~FakeDisplay()
    {
        stop_.store(true);
        if (taker_.joinable())
            taker_.join();
        for (const int fd : taken_)
            ::close(fd);
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool Valid() const { return fd_ >= 0; }
    const std::string& Name() const { return name_; }
    std::string LocalName() const { return ":" + std::to_string(number_); }

    // How many connections the server holds open now.
    std::size_t OpenConnections() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return open_;
    }

private:
    static constexpr int kBacklog = 16;
    static constexpr int kStopPollMs = 20;

    void Listen()
    {
        if (fd_ >= 0 && ::listen(fd_, kBacklog) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ >= 0)
            taker_ = std::thread([this] { TakeConnections(); });
    }

    // Takes connections and reads their requests, on one thread.
    void TakeConnections()
    {
        while (!stop_.load()) {
            std::vector<pollfd> fds{{fd_, POLLIN, 0}};
            for (const int taken : taken_)
                fds.push_back({taken, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), kStopPollMs) <= 0)
                continue;
            for (std::size_t index = 1; index < fds.size(); ++index) {
                if ((fds[index].revents & (POLLIN | POLLHUP)) != 0)
                    Read(fds[index].fd);
            }
            if ((fds[0].revents & POLLIN) != 0) {
                const int taken = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (taken >= 0)
                    Keep(taken);
            }
        }
    }

    void Keep(int fd)
    {
        taken_.push_back(fd);
        const std::lock_guard<std::mutex> lock(mutex_);
        open_ = taken_.size();
    }

    void Drop(int fd)
    {
        std::erase(taken_, fd);
        ::close(fd);
        const std::lock_guard<std::mutex> lock(mutex_);
        open_ = taken_.size();
    }

    void Read(int fd)
    {
        char buffer[256];
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            // The client left: nothing more to hear from it.
            Drop(fd);
            return;
        }
        const std::string request(buffer, static_cast<std::size_t>(count));
        switch (reply_) {
        case Reply::Never:
            break;
        case Reply::Answers:
            Send(fd, x11_ ? X11SetupAccepted(request) : WaylandSyncDone(request));
            break;
        case Reply::TurnsDown:
            Send(fd, X11SetupRefused(request));
            break;
        case Reply::FewBytes:
            Send(fd, kFewBytes);
            break;
        case Reply::Close:
            Drop(fd);
            break;
        }
    }

    static void Send(int fd, const std::string& bytes) { (void)::write(fd, bytes.data(), bytes.size()); }

    // ---- the replies, in the byte order the X client announced ('l' or 'B') or this host's (Wayland)

    static void Append(std::string& bytes, std::uint32_t value, std::size_t size, bool littleEndian)
    {
        for (std::size_t index = 0; index < size; ++index) {
            const std::size_t shift = 8 * (littleEndian ? index : size - 1 - index);
            bytes += static_cast<char>((value >> shift) & 0xFF);
        }
    }

    static bool LittleEndian(const std::string& request) { return request.empty() || request[0] == 'l'; }

    // The connection setup accepted: no vendor, no pixmap formats, one screen (libxcb checks
    // that the display's screen exists) without depths.
    static std::string X11SetupAccepted(const std::string& request)
    {
        const bool little = LittleEndian(request);
        constexpr std::uint32_t kScreenBytes = 40;
        constexpr std::uint32_t kAdditionalWords = (32 + kScreenBytes) / 4;
        std::string reply;
        Append(reply, 1, 1, little); // success
        Append(reply, 0, 1, little);
        Append(reply, 11, 2, little); // protocol 11.0
        Append(reply, 0, 2, little);
        Append(reply, kAdditionalWords, 2, little);
        Append(reply, 1, 4, little);          // release
        Append(reply, 0x00200000, 4, little); // resource id base
        Append(reply, 0x001FFFFF, 4, little); // resource id mask
        Append(reply, 0, 4, little);          // motion buffer
        Append(reply, 0, 2, little);          // vendor length
        Append(reply, 0xFFFF, 2, little);     // maximum request length
        Append(reply, 1, 1, little);          // screens
        reply.append(11, '\0');               // formats, orders, keycodes, pad
        Append(reply, 0x00000100, 4, little); // the screen's root window
        reply.append(kScreenBytes - 4, '\0');
        return reply;
    }

    static std::string X11SetupRefused(const std::string& request)
    {
        const bool little = LittleEndian(request);
        std::string reason = kTurnDownReason;
        reason.append((4 - reason.size() % 4) % 4, '\0');
        std::string reply;
        Append(reply, 0, 1, little); // failed
        Append(reply, static_cast<std::uint32_t>(std::strlen(kTurnDownReason)), 1, little);
        Append(reply, 11, 2, little);
        Append(reply, 0, 2, little);
        Append(reply, static_cast<std::uint32_t>(reason.size() / 4), 2, little);
        return reply + reason;
    }

    // wl_callback.done for the callback that wl_display.sync named (the request's third word).
    static std::string WaylandSyncDone(const std::string& request)
    {
        constexpr std::size_t kSyncSize = 12;
        constexpr std::uint32_t kDoneWithSize = 12u << 16;
        if (request.size() < kSyncSize)
            return {};
        std::uint32_t callback = 0;
        std::memcpy(&callback, request.data() + 8, sizeof callback);
        std::string event(kSyncSize, '\0');
        const std::uint32_t words[] = {callback, kDoneWithSize, 1};
        std::memcpy(event.data(), words, sizeof words);
        return event;
    }

    const Reply reply_;
    const bool x11_;
    int fd_ = -1;
    int number_ = 0;
    std::string name_;
    mutable std::mutex mutex_;
    std::size_t open_ = 0;
    std::atomic<bool> stop_{false};
    std::thread taker_;
    std::vector<int> taken_;
};

// An X display on 127.0.0.1 whose port is taken and refuses every connection (bound, never
// listening); its name.
class RefusingX11Display {
public:
    RefusingX11Display()
    {
        int number = 0;
        fd_ = BindX11TcpPort(&number);
        if (fd_ >= 0)
            name_ = "127.0.0.1:" + std::to_string(number);
    }
    ~RefusingX11Display()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RefusingX11Display(const RefusingX11Display&) = delete;
    RefusingX11Display& operator=(const RefusingX11Display&) = delete;
    const std::string& Name() const { return name_; }

private:
    int fd_ = -1;
    std::string name_;
};

// A local X display, ":N", listening in the abstract namespace and never taking a connection;
// its queue is filled at once, as a hung server's fills over time.
class FullQueueX11Display {
public:
    FullQueueX11Display()
    {
        for (int number = kFirstFakeDisplayNumber; number <= kLastFakeDisplayNumber && fd_ < 0; ++number) {
            if (std::filesystem::exists(kX11SocketBase + std::to_string(number)))
                continue;
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address;
            const socklen_t length = AbstractX11Address(number, &address);
            if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(fd, 0) == 0) {
                fd_ = fd;
                name_ = ":" + std::to_string(number);
                Fill(address, length);
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    ~FullQueueX11Display()
    {
        for (const int fd : waiting_)
            ::close(fd);
        if (fd_ >= 0)
            ::close(fd_);
    }
    FullQueueX11Display(const FullQueueX11Display&) = delete;
    FullQueueX11Display& operator=(const FullQueueX11Display&) = delete;
    // Whether the queue is full: the next connection would wait.
    bool Valid() const { return fd_ >= 0 && full_; }
    const std::string& Name() const { return name_; }

private:
    static constexpr int kMostQueued = 64;

    void Fill(const sockaddr_un& address, socklen_t length)
    {
        for (int queued = 0; queued < kMostQueued && !full_; ++queued) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0)
                return;
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
                waiting_.push_back(fd);
            } else {
                full_ = errno == EAGAIN;
                ::close(fd);
            }
        }
    }

    int fd_ = -1;
    bool full_ = false;
    std::string name_;
    std::vector<int> waiting_;
};

} // namespace test_support
