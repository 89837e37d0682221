#pragma once
// A display server played by the test: an X display on a loopback TCP port (6000 + its
// number) or a Wayland socket in a folder of the test's. It takes every connection and, once
// a request has come, answers it with one byte, closes it, or (the default, as a stalled SSH
// X11 forwarding does) never says a word. The connections it took stay open until it is
// destroyed.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

class FakeDisplay {
public:
    enum class Reply { Never, OneByte, Close };

    static constexpr int kX11TcpPortBase = 6000;
    // Display numbers tried for the X display; the machine is shared with other runs of the suite.
    static constexpr int kFirstNumber = 300;
    static constexpr int kLastNumber = 999;

    // An X display on 127.0.0.1, the first free number from kFirstNumber on. Name() is
    // DISPLAY's value.
    explicit FakeDisplay(Reply reply = Reply::Never) : reply_(reply)
    {
        for (int number = kFirstNumber; number <= kLastNumber && fd_ < 0; ++number) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(kX11TcpPortBase + number));
            if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                fd_ = fd;
                number_ = number;
                name_ = "127.0.0.1:" + std::to_string(number);
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
        Listen();
    }

    // A Wayland compositor's socket at path (absolute). Name() is WAYLAND_DISPLAY's value.
    explicit FakeDisplay(const std::string& path, Reply reply = Reply::Never) : reply_(reply)
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
    // The display number of an X display.
    int Number() const { return number_; }

    // What the clients sent, all connections together, as far as it has been read.
    std::string Received() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

private:
    static constexpr int kBacklog = 16;
    static constexpr int kStopPollMs = 20;
    // X11's "Success", a Wayland event's first byte: any byte answers.
    static constexpr char kReplyByte = 1;

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
                if ((fds[index].revents & POLLIN) != 0)
                    Read(fds[index].fd);
            }
            if ((fds[0].revents & POLLIN) != 0) {
                const int taken = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (taken >= 0)
                    taken_.push_back(taken);
            }
        }
    }

    void Read(int fd)
    {
        char buffer[256];
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            // The client left: nothing more to hear from it.
            std::erase(taken_, fd);
            ::close(fd);
            return;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buffer, static_cast<std::size_t>(count));
        }
        if (reply_ == Reply::OneByte) {
            const char success = kReplyByte;
            (void)::write(fd, &success, 1);
        } else if (reply_ == Reply::Close) {
            std::erase(taken_, fd);
            ::close(fd);
        }
    }

    const Reply reply_;
    int fd_ = -1;
    int number_ = 0;
    std::string name_;
    mutable std::mutex mutex_;
    std::string received_;
    std::atomic<bool> stop_{false};
    std::thread taker_;
    std::vector<int> taken_;
};

} // namespace test_support
