#pragma once
// A keyboard for a program that runs on Qt's VNC platform (QT_QPA_PLATFORM=vnc:port=N):
// the smallest RFB client that connects, takes the server's screen description and presses
// one key, as a technician at a VNC viewer would. With it a command-line test can close the
// window of a run that has a display, without an X server on the machine.
//
// Thread rules: the test's thread; each call blocks for at most the time it is given.

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace cli_test {

inline constexpr std::uint32_t kKeyEscape = 0xFF1B; // the X keysyms RFB uses
inline constexpr std::uint32_t kKeyAlt = 0xFFE9;
inline constexpr std::uint32_t kKeyX = 0x0078;

// A TCP port on the loopback that was free a moment ago, for the program's VNC server.
inline int FreeLocalPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

class VncKeyboard {
public:
    ~VncKeyboard()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    // Connects to the VNC server on the loopback port, trying until it listens, and goes
    // through the handshake (protocol 3.3, no security, a shared session). False when that
    // did not succeed within ms.
    bool Connect(int port, int ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) {
            fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<std::uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                return Handshake(deadline);
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
        }
        return false;
    }

    // Presses and releases one key (an X keysym).
    bool PressKey(std::uint32_t keysym) { return PressKeys({keysym}); }

    // Presses the keys in order, as one chord (a modifier first), and releases them in reverse.
    bool PressKeys(const std::vector<std::uint32_t>& keysyms)
    {
        for (const std::uint32_t keysym : keysyms) {
            if (!SendKey(keysym, true))
                return false;
        }
        for (auto keysym = keysyms.rbegin(); keysym != keysyms.rend(); ++keysym) {
            if (!SendKey(*keysym, false))
                return false;
        }
        return true;
    }

private:
    static constexpr int kRetryMs = 50;
    static constexpr char kVersion[] = "RFB 003.003\n";
    static constexpr std::size_t kVersionLength = 12;
    static constexpr std::uint32_t kSecurityNone = 1;
    static constexpr std::uint8_t kSharedSession = 1;
    static constexpr std::size_t kServerInitLength = 24; // then the desktop name
    static constexpr std::uint8_t kKeyEventMessage = 4;

    bool SendKey(std::uint32_t keysym, bool down)
    {
        const std::uint8_t event[8] = {kKeyEventMessage, static_cast<std::uint8_t>(down ? 1 : 0), 0, 0,
                                       static_cast<std::uint8_t>(keysym >> 24), static_cast<std::uint8_t>(keysym >> 16),
                                       static_cast<std::uint8_t>(keysym >> 8), static_cast<std::uint8_t>(keysym)};
        return ::send(fd_, event, sizeof event, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof event);
    }

    bool Receive(std::uint8_t* buffer, std::size_t count, std::chrono::steady_clock::time_point deadline)
    {
        std::size_t got = 0;
        while (got < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd pfd{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                return false;
            const ssize_t n = ::recv(fd_, buffer + got, count - got, 0);
            if (n <= 0)
                return false;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Handshake(std::chrono::steady_clock::time_point deadline)
    {
        std::uint8_t version[kVersionLength];
        if (!Receive(version, sizeof version, deadline) ||
            ::send(fd_, kVersion, kVersionLength, MSG_NOSIGNAL) != static_cast<ssize_t>(kVersionLength))
            return false;
        std::uint8_t security[4];
        if (!Receive(security, sizeof security, deadline) ||
            (std::uint32_t{security[0]} << 24 | std::uint32_t{security[1]} << 16 | std::uint32_t{security[2]} << 8 |
             security[3]) != kSecurityNone)
            return false;
        if (::send(fd_, &kSharedSession, 1, MSG_NOSIGNAL) != 1)
            return false;
        std::uint8_t init[kServerInitLength];
        if (!Receive(init, sizeof init, deadline))
            return false;
        const std::size_t nameLength = std::size_t{init[20]} << 24 | std::size_t{init[21]} << 16 |
                                       std::size_t{init[22]} << 8 | init[23];
        std::vector<std::uint8_t> name(nameLength);
        return nameLength == 0 || Receive(name.data(), name.size(), deadline);
    }

    int fd_ = -1;
};

} // namespace cli_test
