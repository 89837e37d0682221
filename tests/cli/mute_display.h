#pragma once
// A display server that takes every connection and never says a word, as a stalled SSH X11
// forwarding does: an X display on a loopback TCP port (6000 + its number) or a Wayland
// socket in a folder of the test's. The connections it took stay open, unanswered, until it
// is destroyed.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace cli_test {

class MuteDisplay {
public:
    static constexpr int kX11TcpPortBase = 6000;
    // Display numbers tried for the X display; the machine is shared with other runs of the suite.
    static constexpr int kFirstNumber = 300;
    static constexpr int kLastNumber = 999;

    // An X display on 127.0.0.1, the first free number from kFirstNumber on. Name() is
    // DISPLAY's value.
    MuteDisplay()
    {
        for (int number = kFirstNumber; number <= kLastNumber && fd_ < 0; ++number) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(kX11TcpPortBase + number));
            if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                fd_ = fd;
                name_ = "127.0.0.1:" + std::to_string(number);
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
        Listen();
    }

    // A Wayland compositor's socket at path (absolute). Name() is WAYLAND_DISPLAY's value.
    explicit MuteDisplay(const std::string& path)
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

    MuteDisplay(const MuteDisplay&) = delete;
    MuteDisplay& operator=(const MuteDisplay&) = delete;
    ~MuteDisplay()
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

    void TakeConnections()
    {
        while (!stop_.load()) {
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, kStopPollMs) <= 0)
                continue;
            const int taken = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (taken >= 0)
                taken_.push_back(taken);
        }
    }

    int fd_ = -1;
    std::string name_;
    std::atomic<bool> stop_{false};
    std::thread taker_;
    std::vector<int> taken_;
};

} // namespace cli_test
