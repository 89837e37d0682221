#include "tools/printer-sim/pty_printer.h"

#include "platform/termios_serial_device.h"
#include "platform/timing.h"
#include "tools/printer-sim/printer_engine.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace printer_sim {
namespace {

// How long a wait for the pty lasts before the stop flag is looked at again.
constexpr int kServePollMs = 20;
// A throttled stream moves in slices of about this much line time.
constexpr std::uint32_t kPaceSliceMs = 10;
constexpr double kMsPerSecond = 1000.0;
constexpr std::size_t kReadBufferSize = 4096;
constexpr int kStartBits = 1;

constexpr char kFrameLogFormat[] = "received command 0x%02X, payload %zu bytes\n";
constexpr char kIgnoredLogFormat[] = "ignored %zd bytes at %u baud (listening at %u baud)\n";
constexpr char kImageNotWrittenLogFormat[] = "cannot write the firmware image to %s: %s\n";
constexpr char kPartFileSuffix[] = ".part";

// Characters the line carries in one pace slice; at least one.
std::size_t CharactersPerSlice(std::uint32_t baudRate, int bitsPerCharacter)
{
    const std::size_t count = baudRate / static_cast<std::uint32_t>(bitsPerCharacter) * kPaceSliceMs /
                              static_cast<std::uint32_t>(kMsPerSecond);
    return std::max<std::size_t>(count, 1);
}

// Holds a byte stream to the rate of a serial line. An idle line saves up no time.
class LinePacer {
public:
    void Pace(std::size_t count, std::uint32_t baudRate, int bitsPerCharacter)
    {
        if (baudRate == 0)
            return;
        const auto now = static_cast<double>(platform::timing::NowMs());
        due_ = std::max(due_, now) + static_cast<double>(count) * bitsPerCharacter * kMsPerSecond / baudRate;
        if (due_ > now)
            platform::timing::SleepMs(static_cast<std::uint32_t>(std::lround(due_ - now)));
    }

private:
    double due_ = 0.0;
};

class PtyMedium final : public PrinterMedium {
public:
    PtyMedium(const PseudoTerminal& pty, bool throttle, int bitsPerCharacter, const std::atomic<bool>& stop)
        : pty_(pty), throttle_(throttle), bitsPerCharacter_(bitsPerCharacter), stop_(stop)
    {
    }

    void Send(std::string_view bytes) override
    {
        while (!bytes.empty() && !stop_.load()) {
            pollfd pfd{pty_.MasterFd(), POLLOUT, 0};
            if (::poll(&pfd, 1, kServePollMs) <= 0)
                continue;
            const std::uint32_t baudRate = pty_.HostBaudRate();
            const std::size_t chunk =
                throttle_ ? std::min(bytes.size(), CharactersPerSlice(baudRate, bitsPerCharacter_)) : bytes.size();
            const ssize_t written = ::write(pty_.MasterFd(), bytes.data(), chunk);
            if (written < 0 && errno != EAGAIN && errno != EINTR)
                return; // the pty is gone; nobody is left to hear the rest
            if (written <= 0)
                continue;
            if (throttle_)
                pacer_.Pace(static_cast<std::size_t>(written), baudRate, bitsPerCharacter_);
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }

    void SetDsr(bool) override {} // a pty has no modem lines

private:
    const PseudoTerminal& pty_;
    bool throttle_;
    int bitsPerCharacter_;
    const std::atomic<bool>& stop_;
    LinePacer pacer_;
};

// Writes beside the file and renames, so that a reader never sees half an image. 0 or errno.
int WriteWholeFile(const std::string& path, const std::string& bytes)
{
    const std::string part = path + kPartFileSuffix;
    std::FILE* file = std::fopen(part.c_str(), "wb");
    if (file == nullptr)
        return errno;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = written ? 0 : errno;
    if (std::fclose(file) != 0 || !written) {
        std::remove(part.c_str());
        return writeError != 0 ? writeError : EIO;
    }
    return std::rename(part.c_str(), path.c_str()) == 0 ? 0 : errno;
}

} // namespace

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open(int* error)
{
    const auto fail = [error](int master) -> std::unique_ptr<PseudoTerminal> {
        if (error != nullptr)
            *error = errno;
        if (master >= 0)
            ::close(master);
        return nullptr;
    };
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return fail(master);
    char path[256] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, path, sizeof path) != 0)
        return fail(master);
    if (::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) != 0)
        return fail(master);
    // A new pty starts in canonical mode with echo; a serial line knows neither.
    termios tio{};
    if (::tcgetattr(master, &tio) != 0)
        return fail(master);
    ::cfmakeraw(&tio);
    if (::tcsetattr(master, TCSANOW, &tio) != 0)
        return fail(master);
    const int slave = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail(master);
    if (error != nullptr)
        *error = 0;
    return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(master, slave, path));
}

PseudoTerminal::PseudoTerminal(int master, int slave, std::string slavePath)
    : master_(master), slave_(slave), slavePath_(std::move(slavePath))
{
}

PseudoTerminal::~PseudoTerminal()
{
    ::close(slave_);
    ::close(master_);
}

std::uint32_t PseudoTerminal::HostBaudRate() const
{
    // The master reports the settings of the slave side, which the host chose.
    termios tio{};
    if (::tcgetattr(master_, &tio) != 0)
        return 0;
    return platform::BaudRateOfTermiosSpeed(::cfgetospeed(&tio));
}

void PseudoTerminal::ForgetExclusiveOpen() const
{
    ::ioctl(slave_, TIOCNXCL);
}

bool IsSupportedBaudRate(std::uint32_t baudRate)
{
    speed_t speed{};
    return platform::TermiosSpeedOf(baudRate, &speed);
}

int BitsPerCharacter(const platform::SerialLineConfig& line)
{
    const int parityBits = line.parity == 'N' ? 0 : 1;
    return kStartBits + line.dataBits + parityBits + static_cast<int>(std::ceil(line.stopBits));
}

void ServePseudoTerminal(PseudoTerminal& pty, const PtyServeOptions& options, const std::atomic<bool>& stop,
                         std::FILE* log)
{
    const int bitsPerCharacter = BitsPerCharacter(options.printer.line);
    const std::uint32_t listeningBaudRate = options.printer.line.baudRate;
    PtyMedium medium(pty, options.throttle, bitsPerCharacter, stop);
    PrinterEngine engine(options.printer, medium);
    engine.SetFrameObserver([log, &engine, &options](const ReceivedFrame& frame) {
        std::fprintf(log, kFrameLogFormat, static_cast<unsigned>(frame.command), frame.payload.size());
        if (frame.command == CMD_FIRMWARE_END && !options.firmwareOut.empty()) {
            if (const int error = WriteWholeFile(options.firmwareOut, engine.FirmwareImage()); error != 0)
                std::fprintf(log, kImageNotWrittenLogFormat, options.firmwareOut.c_str(), std::strerror(error));
        }
        std::fflush(log);
    });

    LinePacer readPacer;
    char buffer[kReadBufferSize];
    while (!stop.load()) {
        pollfd pfd{pty.MasterFd(), POLLIN, 0};
        if (::poll(&pfd, 1, kServePollMs) <= 0) {
            pty.ForgetExclusiveOpen(); // the line is idle: perhaps the host has closed it
            continue;
        }
        const std::uint32_t baudRate = pty.HostBaudRate();
        const std::size_t capacity =
            options.throttle ? std::min(sizeof buffer, CharactersPerSlice(baudRate, bitsPerCharacter)) : sizeof buffer;
        const ssize_t count = ::read(pty.MasterFd(), buffer, capacity);
        if (count < 0 && errno != EAGAIN && errno != EINTR)
            platform::timing::SleepMs(kServePollMs); // not expected while our slave is open; never spin on it
        if (count <= 0)
            continue;
        if (options.throttle)
            readPacer.Pace(static_cast<std::size_t>(count), baudRate, bitsPerCharacter);
        if (baudRate != listeningBaudRate) {
            std::fprintf(log, kIgnoredLogFormat, count, baudRate, listeningBaudRate);
            std::fflush(log);
            continue;
        }
        engine.Receive(std::string_view(buffer, static_cast<std::size_t>(count)));
    }
    engine.Stop();
}

} // namespace printer_sim
