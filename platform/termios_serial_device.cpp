#include "platform/termios_serial_device.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

struct BaudRate {
    std::uint32_t bitsPerSecond;
    speed_t speed;
};

constexpr BaudRate kBaudRates[] = {
    {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

tcflag_t CharacterSizeFor(std::uint8_t dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

// The transport moves bytes and nothing else: no line editing, echo or flow control. A
// port that another program left in flow control (stty crtscts, ixon) would otherwise hold
// our bytes back until the printer raised CTS or sent XON.
void MakeRaw(termios* tio)
{
    ::cfmakeraw(tio);
    tio->c_cflag |= CLOCAL | CREAD;
    tio->c_cflag &= ~CRTSCTS;
    tio->c_iflag &= ~(IXON | IXOFF | IXANY);
    tio->c_cc[VMIN] = 0;
    tio->c_cc[VTIME] = 0;
}

class TermiosSerialDevice final : public SerialDevice {
public:
    explicit TermiosSerialDevice(int fd) : fd_(fd) {}

    ~TermiosSerialDevice() override
    {
        // The exclusive flag belongs to the tty, not to this descriptor: a pseudo-terminal
        // outlives our close, and would refuse the next open of anybody but root.
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }

    bool Configure(const SerialLineConfig& config) override
    {
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0)
            return Fail();
        speed_t speed{};
        if (!TermiosSpeedOf(config.baudRate, &speed))
            return Fail(EINVAL);
        MakeRaw(&tio);
        tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
        tio.c_cflag |= CharacterSizeFor(config.dataBits);
        switch (config.parity) {
        case 'E': tio.c_cflag |= PARENB; break;
        case 'O': tio.c_cflag |= PARENB | PARODD; break;
        // Stick parity: with PARODD the parity bit is always 1, without it always 0.
        case 'M': tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case 'S': tio.c_cflag |= PARENB | CMSPAR; break;
        default: break;
        }
        if (config.stopBits >= 1.5f)
            tio.c_cflag |= CSTOPB;
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
        if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
            return Fail();
        return true;
    }

    int Read(std::uint8_t* buffer, int capacity) override
    {
        const ssize_t count = ::read(fd_, buffer, static_cast<std::size_t>(capacity));
        if (count >= 0)
            return static_cast<int>(count);
        if (errno == EAGAIN || errno == EINTR)
            return 0;
        Fail();
        return -1;
    }

    int Write(const std::uint8_t* data, int length) override
    {
        const ssize_t count = ::write(fd_, data, static_cast<std::size_t>(length));
        if (count >= 0)
            return static_cast<int>(count);
        if (errno == EAGAIN || errno == EINTR)
            return 0;
        Fail();
        return -1;
    }

    bool WaitWritable(int ms) override
    {
        pollfd pfd{fd_, POLLOUT, 0};
        return ::poll(&pfd, 1, ms) != 0;
    }

    bool SetRts(bool on) override { return SetModemBit(TIOCM_RTS, on); }
    bool SetDtr(bool on) override { return SetModemBit(TIOCM_DTR, on); }

    bool GetModemStatus(ModemStatus* status) override
    {
        int bits = 0;
        if (::ioctl(fd_, TIOCMGET, &bits) != 0)
            return Fail();
        status->cts = (bits & TIOCM_CTS) != 0;
        status->dsr = (bits & TIOCM_DSR) != 0;
        return true;
    }

    void Purge() override { ::tcflush(fd_, TCIOFLUSH); }

    int LastError() const override { return lastError_.load(); }

private:
    bool Fail(int error = errno)
    {
        lastError_.store(error);
        return false;
    }

    bool SetModemBit(int bit, bool on)
    {
        if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0)
            return Fail();
        return true;
    }

    int fd_;
    // Read, Write and the owner's calls may fail at the same time on different threads.
    std::atomic<int> lastError_{0};
};

} // namespace

bool TermiosSpeedOf(std::uint32_t baudRate, speed_t* speed)
{
    for (const BaudRate& rate : kBaudRates) {
        if (rate.bitsPerSecond == baudRate) {
            *speed = rate.speed;
            return true;
        }
    }
    return false;
}

std::uint32_t BaudRateOfTermiosSpeed(speed_t speed)
{
    for (const BaudRate& rate : kBaudRates) {
        if (rate.speed == speed)
            return rate.bitsPerSecond;
    }
    return 0;
}

std::unique_ptr<SerialDevice> OpenTermiosSerialDevice(const std::string& path, int* error)
{
    const auto fail = [error](int code) -> std::unique_ptr<SerialDevice> {
        if (error != nullptr)
            *error = code;
        return nullptr;
    };
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    // TIOCEXCL does not keep root out, so a lock is what makes a port in use fail to open.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return fail(code);
    }
    if (::isatty(fd) == 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return fail(ENOTTY);
    }
    ::ioctl(fd, TIOCEXCL);
    // Raw whatever line settings are applied later, or refused.
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        MakeRaw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    if (error != nullptr)
        *error = 0;
    return std::make_unique<TermiosSerialDevice>(fd);
}

} // namespace platform
