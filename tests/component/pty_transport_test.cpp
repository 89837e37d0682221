// The serial transport on a real tty: a pseudo-terminal whose slave a COM number is
// mapped to, while the test plays the printer on the master. Covers bytes both ways,
// exclusive open, the baud rate and line flags seen by the other end (also where another
// program left its own on the tty), and modem-line queries, which a pseudo-terminal does
// not support.
#include "comms/comms.h"
#include "platform/termios_serial_device.h"

#include "comms_test_support.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

using comms_test::ScopedPortMap;
using comms_test::WaitUntil;

constexpr int kPort = 7;
constexpr char kPortName[] = "COM7";
constexpr int kWaitMs = 2000;

class PtyTransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(::openpty(&master_, &slave_, slaveName_, nullptr, nullptr), 0);
        // A new pty is in canonical mode with echo; the printer end wants raw bytes.
        termios tio{};
        ASSERT_EQ(::tcgetattr(master_, &tio), 0);
        ::cfmakeraw(&tio);
        ASSERT_EQ(::tcsetattr(master_, TCSANOW, &tio), 0);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        map.Set(kPort, slaveName_);
    }

    void TearDown() override
    {
        comms.Close();
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }

    // Reads count bytes from the master, waiting up to kWaitMs.
    std::string ReadFromMaster(std::size_t count)
    {
        std::string bytes;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        while (bytes.size() < count && std::chrono::steady_clock::now() < end) {
            pollfd pfd{master_, POLLIN, 0};
            if (::poll(&pfd, 1, 10) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0)
                bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    ScopedPortMap map;
    CComms comms;
    int master_ = -1;
    int slave_ = -1; // kept open so that the master never reads EIO between opens
    char slaveName_[128] = {};
};

TEST_F(PtyTransportTest, BytesTravelBothWays)
{
    ASSERT_TRUE(comms.Open(kPortName, 19200, 8, 'N', 1.0f));

    ASSERT_EQ(comms.Write(std::string_view("ping")), 4);
    EXPECT_EQ(ReadFromMaster(4), "ping");

    const std::string reply("\x09\x01\x00\x80\xFF", 5);
    ASSERT_EQ(::write(master_, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
    ASSERT_TRUE(WaitUntil([&] { return comms.SerialChannel().QueuedByteCount() >= reply.size(); }, kWaitMs));
    std::string received;
    std::uint8_t b = 0;
    while (comms.ReadByte(&b))
        received += static_cast<char>(b);
    EXPECT_EQ(received, reply);
}

TEST_F(PtyTransportTest, SecondTransportOnTheSamePortFailsToOpen)
{
    ASSERT_TRUE(comms.Open(kPortName, 19200, 8, 'N', 1.0f));
    CComms second;

    EXPECT_FALSE(second.Open(kPortName, 19200, 8, 'N', 1.0f));
    EXPECT_TRUE(comms.IsOpen());
}

TEST_F(PtyTransportTest, PortCanBeOpenedAgainAfterClose)
{
    ASSERT_TRUE(comms.Open(kPortName, 19200, 8, 'N', 1.0f));
    comms.Close();
    CComms second;

    EXPECT_TRUE(second.Open(kPortName, 9600, 8, 'N', 1.0f));
}

TEST_F(PtyTransportTest, CloseGivesUpTheExclusiveUseOfTheTty)
{
    // Root passes the exclusive flag anyway, so the flag itself is what is checked: left
    // set, any other user could not open the port again.
    ASSERT_TRUE(comms.Open(kPortName, 19200, 8, 'N', 1.0f));
    int exclusive = 0;
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0);

    comms.Close();

    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
}

TEST_F(PtyTransportTest, PortIsRawEvenAtARateTheTtyCannotBeSetTo)
{
    // 14400 baud has no termios speed: the settings are refused, but the line must still
    // carry binary frames untouched (no line editing, no echo), and not wait for a CTS that
    // a port left in hardware flow control by another program would want.
    termios left{};
    ASSERT_EQ(::tcgetattr(slave_, &left), 0);
    left.c_cflag |= CRTSCTS;
    ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &left), 0);
    ASSERT_TRUE(comms.Open(kPortName, 14400, 8, 'N', 1.0f));
    const std::string reply("\x09\x01\x00\x00\x60" "0000000" "\x08\x70", 14);

    ASSERT_EQ(::write(master_, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
    ASSERT_TRUE(WaitUntil([&] { return comms.SerialChannel().QueuedByteCount() >= reply.size(); }, kWaitMs));
    std::string received;
    std::uint8_t b = 0;
    while (comms.ReadByte(&b))
        received += static_cast<char>(b);
    EXPECT_EQ(received, reply);
    EXPECT_EQ(ReadFromMaster(1), "") << "nothing echoed back";
    termios tio{};
    ASSERT_EQ(::tcgetattr(master_, &tio), 0);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
}

TEST_F(PtyTransportTest, ModemLineQueriesFailOnAPseudoTerminal)
{
    ASSERT_TRUE(comms.Open(kPortName, 19200, 8, 'N', 1.0f));

    EXPECT_FALSE(comms.IsCTSOn());
    EXPECT_FALSE(comms.IsDSROn());
    EXPECT_FALSE(comms.SerialChannel().SetRTS(true));
}

// Every rate a tty can be set to reaches it as that rate, and the other end (the printer
// simulator) reads it back as the same number.
TEST_F(PtyTransportTest, BaudRateIsVisibleFromTheMaster)
{
    struct Case {
        int baudRate;
        speed_t speed;
    };
    const Case cases[] = {
        {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},     {2400, B2400},
        {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.baudRate);
        ASSERT_TRUE(comms.Open(kPortName, expected.baudRate, 8, 'N', 1.0f));

        termios tio{};
        ASSERT_EQ(::tcgetattr(master_, &tio), 0);
        EXPECT_EQ(::cfgetospeed(&tio), expected.speed);
        EXPECT_EQ(::cfgetispeed(&tio), expected.speed);
        EXPECT_EQ(platform::BaudRateOfTermiosSpeed(::cfgetospeed(&tio)), static_cast<std::uint32_t>(expected.baudRate));
    }
}

// The pty driver drops the parity-enable flag and the character size but keeps which
// parity was asked for, so the other end reads that back. It keeps hardware flow control
// too, so a port that another program left in it (stty crtscts) shows whether ours undid it.
TEST_F(PtyTransportTest, LineFlagsReachTheTty)
{
    struct Case {
        char letter;
        tcflag_t leftOn; // by another program, before ours opens the port
        bool odd;        // PARODD
        bool stick;      // CMSPAR: mark (with PARODD) or space (without)
        bool rtsCts;     // CRTSCTS
    };
    for (const Case& expected : {Case{'N', 0, false, false, false}, Case{'E', 0, false, false, false},
                                 Case{'O', 0, true, false, false}, Case{'M', 0, true, true, false},
                                 Case{'S', 0, false, true, false}, Case{'N', CRTSCTS, false, false, false}}) {
        SCOPED_TRACE(::testing::Message() << expected.letter << " left on " << std::hex << expected.leftOn);
        termios left{};
        ASSERT_EQ(::tcgetattr(slave_, &left), 0);
        left.c_cflag |= expected.leftOn;
        ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &left), 0);
        ASSERT_TRUE(comms.Open(kPortName, 9600, 7, expected.letter, 1.0f));

        termios tio{};
        ASSERT_EQ(::tcgetattr(master_, &tio), 0);
        EXPECT_EQ((tio.c_cflag & PARODD) != 0, expected.odd);
        EXPECT_EQ((tio.c_cflag & CMSPAR) != 0, expected.stick);
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, expected.rtsCts);
        comms.Close();
    }
}

TEST_F(PtyTransportTest, WriteWhoseSlotIsStillBusyGivesUpWithinItsBudget)
{
    // Nobody reads the master, so a large first write never ends; ten writes later its
    // slot is still taken, and the write that needs it must not wait for it forever.
    test_support::ScopedSpeedFactor faster(1000);
    ASSERT_TRUE(comms.Open(kPortName, 115200, 8, 'N', 1.0f));
    const std::string large(256 * 1024, 'L');
    ASSERT_EQ(comms.Write(std::string_view(large)), static_cast<int>(large.size())); // goes on in the background
    for (int write = 2; write <= 10; ++write)
        comms.Write(std::string_view("s"));

    std::future<int> eleventh = std::async(std::launch::async, [&] { return comms.Write(std::string_view("e")); });

    ASSERT_EQ(eleventh.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(eleventh.get(), 0);
    EXPECT_TRUE(comms.Close());
}

TEST_F(PtyTransportTest, HangUpOfTheOtherEndFailsQuietlyAndStillCloses)
{
    ASSERT_TRUE(comms.Open(kPortName, 19200, 8, 'N', 1.0f));

    ::close(master_);
    master_ = -1;

    std::uint8_t b = 0;
    for (int query = 0; query < 20; ++query) {
        EXPECT_FALSE(comms.IsDSROn());
        EXPECT_FALSE(comms.ReadByte(&b));
        comms.Write(std::string_view("x")); // may fail: nobody listens any more
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(comms.Close());
    EXPECT_FALSE(comms.IsOpen());
}

} // namespace
