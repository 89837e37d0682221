// The serial transport (CComms, CCommsSerialChannel) on a virtual line, played from the
// printer end by the test itself: port names, open and close rules, the RTS/DTR flags,
// the receive queue, the write slots, line settings and modem lines, and a line that is
// unplugged while open.
#include "comms/comms.h"

#include "comms_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using comms_test::ScopedPortMap;
using comms_test::VirtualPort;
using comms_test::WaitUntil;

constexpr int kPort = 3;
constexpr char kPortName[] = "COM3";
constexpr char kStoredName[] = "\\\\.\\COM3";
constexpr int kWaitMs = 2000;

class SerialTransportTest : public ::testing::Test {
protected:
    bool OpenPort(CComms& comms, const std::string& name = kPortName)
    {
        return comms.Open(name, 9600, 8, 'N', 1.0f);
    }

    bool WaitQueued(CComms& comms, std::size_t count)
    {
        return WaitUntil([&] { return comms.SerialChannel().QueuedByteCount() >= count; }, kWaitMs);
    }

    ScopedPortMap map;
    VirtualPort port{map, kPort};
    CComms comms;
};

// ---------------------------------------------------------------- names

class PortNameNormalisation : public SerialTransportTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(PortNameNormalisation, OpensTheSamePortAndStoresTheNormalisedName)
{
    ASSERT_TRUE(OpenPort(comms, GetParam()));

    EXPECT_TRUE(port->HostIsOpen());
    EXPECT_EQ(comms.SerialChannel().PortName(), kStoredName);
}

INSTANTIATE_TEST_SUITE_P(SpellingsOfCom3, PortNameNormalisation,
                         ::testing::Values("COM3", "com3", " COM3 ", "\tCom3\n", "\\\\.\\COM3", "\\\\.\\com3"));

// ---------------------------------------------------------------- open and close

TEST_F(SerialTransportTest, BaudRateBelow300IsRefused)
{
    EXPECT_FALSE(comms.Open(kPortName, 299, 8, 'N', 1.0f));
    EXPECT_FALSE(comms.IsOpen());
    EXPECT_FALSE(port->HostIsOpen());
}

TEST_F(SerialTransportTest, BaudRateOf300IsAccepted)
{
    EXPECT_TRUE(comms.Open(kPortName, 300, 8, 'N', 1.0f));
    EXPECT_EQ(port->HostConfig().baudRate, 300u);
}

TEST_F(SerialTransportTest, TransportOpenWithEmptyNameClosesTheOpenPort)
{
    ASSERT_TRUE(OpenPort(comms));

    EXPECT_FALSE(comms.Open("", 9600, 8, 'N', 1.0f));

    EXPECT_FALSE(comms.IsOpen());
    EXPECT_FALSE(port->HostIsOpen());
}

TEST_F(SerialTransportTest, ChannelOpenWithEmptyNameLeavesTheOpenPortAlone)
{
    ASSERT_TRUE(OpenPort(comms));

    EXPECT_FALSE(comms.SerialChannel().Open("", 19200, 7, 'E', 1.0f));

    EXPECT_TRUE(comms.IsOpen());
    EXPECT_TRUE(port->HostIsOpen());
    EXPECT_EQ(comms.SerialChannel().PortName(), kStoredName);
    EXPECT_EQ(comms.SerialChannel().BaudRate(), 9600u);
}

TEST_F(SerialTransportTest, PortInUseFailsToOpen)
{
    ASSERT_TRUE(OpenPort(comms));
    CComms second;

    EXPECT_FALSE(OpenPort(second));

    EXPECT_FALSE(second.IsOpen());
    EXPECT_TRUE(comms.IsOpen());
}

TEST_F(SerialTransportTest, PortWhoseDeviceDoesNotExistFailsToOpen)
{
    EXPECT_FALSE(OpenPort(comms, "COM4"));
    EXPECT_FALSE(comms.IsOpen());
    EXPECT_TRUE(comms.SerialChannel().PortName().empty());
}

TEST_F(SerialTransportTest, PortMappedToAnUnregisteredVirtualLineFailsToOpen)
{
    map.Set(5, "virtual:nobody-registered-this");
    EXPECT_FALSE(OpenPort(comms, "COM5"));
}

TEST_F(SerialTransportTest, CloseKeepsTheNameAndLineSettingsForAReopen)
{
    ASSERT_TRUE(comms.Open(kPortName, 38400, 7, 'E', 1.0f));

    EXPECT_TRUE(comms.Close());

    const CCommsSerialChannel& channel = comms.SerialChannel();
    EXPECT_FALSE(comms.IsOpen());
    EXPECT_FALSE(port->HostIsOpen());
    EXPECT_EQ(channel.PortName(), kStoredName);
    EXPECT_EQ(channel.BaudRate(), 38400u);
    EXPECT_EQ(channel.DataBits(), 7);
    EXPECT_EQ(channel.Parity(), 'E');
    EXPECT_FLOAT_EQ(channel.StopBits(), 1.0f);
}

TEST_F(SerialTransportTest, OpenOnAnOpenPortReopensWithTheNewSettings)
{
    ASSERT_TRUE(OpenPort(comms));

    ASSERT_TRUE(comms.Open(kPortName, 19200, 7, 'E', 1.0f));

    EXPECT_EQ(port->HostConfig().baudRate, 19200u);
    EXPECT_EQ(port->HostConfig().dataBits, 7);
}

// ---------------------------------------------------------------- RTS and DTR

TEST_F(SerialTransportTest, FirstOpenRaisesRtsAndDtr)
{
    ASSERT_TRUE(OpenPort(comms));

    EXPECT_TRUE(port->Rts());
    EXPECT_TRUE(port->Dtr());
}

TEST_F(SerialTransportTest, CloseDropsRtsAndDtrAndClearsTheirFlags)
{
    ASSERT_TRUE(OpenPort(comms));

    comms.Close();

    EXPECT_FALSE(port->Rts());
    EXPECT_FALSE(port->Dtr());
    EXPECT_FALSE(comms.SerialChannel().RtsFlag());
    EXPECT_FALSE(comms.SerialChannel().DtrFlag());
}

TEST_F(SerialTransportTest, ReopenAfterCloseLeavesRtsAndDtrOff)
{
    ASSERT_TRUE(OpenPort(comms));
    comms.Close();

    ASSERT_TRUE(OpenPort(comms));

    EXPECT_FALSE(port->Rts());
    EXPECT_FALSE(port->Dtr());
}

TEST_F(SerialTransportTest, RaisingTheLinesAfterAReopenReachesTheLine)
{
    ASSERT_TRUE(OpenPort(comms));
    comms.Close();
    ASSERT_TRUE(OpenPort(comms));

    EXPECT_TRUE(comms.SerialChannel().SetDTR(true));
    EXPECT_TRUE(comms.SerialChannel().SetRTS(true));

    EXPECT_TRUE(port->Dtr());
    EXPECT_TRUE(port->Rts());
}

TEST_F(SerialTransportTest, CloseOnAClosedChannelKeepsTheFlags)
{
    EXPECT_TRUE(comms.Close());
    EXPECT_TRUE(comms.SerialChannel().RtsFlag());
    EXPECT_TRUE(comms.SerialChannel().DtrFlag());

    ASSERT_TRUE(OpenPort(comms));
    comms.Close();
    EXPECT_TRUE(comms.SerialChannel().SetRTS(true)); // closed: only the flag changes

    EXPECT_TRUE(comms.Close());
    EXPECT_TRUE(comms.SerialChannel().RtsFlag());
    EXPECT_FALSE(comms.SerialChannel().DtrFlag());
}

// ---------------------------------------------------------------- receiving

TEST_F(SerialTransportTest, ReadByteOnAnEmptyQueueReturnsFalse)
{
    ASSERT_TRUE(OpenPort(comms));
    std::uint8_t b = 0;
    EXPECT_FALSE(comms.ReadByte(&b));
}

TEST_F(SerialTransportTest, ReadByteOnAClosedPortReturnsFalse)
{
    std::uint8_t b = 0;
    EXPECT_FALSE(comms.ReadByte(&b));
}

TEST_F(SerialTransportTest, ReadByteHandsOutReceivedBytesOldestFirst)
{
    ASSERT_TRUE(OpenPort(comms));
    port->SendToHost("AB");
    ASSERT_TRUE(WaitQueued(comms, 2));

    std::uint8_t b = 0;
    ASSERT_TRUE(comms.ReadByte(&b));
    EXPECT_EQ(b, 0x41);
    ASSERT_TRUE(comms.ReadByte(&b));
    EXPECT_EQ(b, 0x42);
    EXPECT_FALSE(comms.ReadByte(&b));
}

TEST_F(SerialTransportTest, ReceivesEveryByteValue)
{
    ASSERT_TRUE(OpenPort(comms));
    std::string all;
    for (int value = 0; value < 256; ++value)
        all += static_cast<char>(value);
    port->SendToHost(all);
    ASSERT_TRUE(WaitQueued(comms, all.size()));

    std::string received;
    std::uint8_t b = 0;
    while (comms.ReadByte(&b))
        received += static_cast<char>(b);

    EXPECT_EQ(received, all);
}

TEST_F(SerialTransportTest, CloseEmptiesTheReceiveQueue)
{
    ASSERT_TRUE(OpenPort(comms));
    port->SendToHost("stale");
    ASSERT_TRUE(WaitQueued(comms, 5));

    comms.Close();
    ASSERT_TRUE(OpenPort(comms));

    std::uint8_t b = 0;
    EXPECT_EQ(comms.SerialChannel().QueuedByteCount(), 0u);
    EXPECT_FALSE(comms.ReadByte(&b));
}

// A caller waiting for received bytes wakes when the reader queues them, not when its
// wait runs out.
TEST_F(SerialTransportTest, WaitForReceivedEndsWhenBytesAreQueued)
{
    ASSERT_TRUE(OpenPort(comms));
    constexpr std::uint32_t kLongWaitMs = 5000;
    constexpr auto kSendAfter = std::chrono::milliseconds(100);
    // The reader polls the line every 15 ms; the rest is room for a loaded machine.
    constexpr auto kWakeBound = std::chrono::milliseconds(1000);
    std::thread printer([&] {
        std::this_thread::sleep_for(kSendAfter);
        port->SendToHost("A");
    });
    const auto start = std::chrono::steady_clock::now();

    comms.WaitForReceived(kLongWaitMs);

    const auto waited = std::chrono::steady_clock::now() - start;
    printer.join();
    EXPECT_EQ(comms.SerialChannel().QueuedByteCount(), 1u);
    EXPECT_LT(waited, kSendAfter + kWakeBound);
}

// ---------------------------------------------------------------- writing

TEST_F(SerialTransportTest, WriteOfBytesSendsThemAsTheyStand)
{
    ASSERT_TRUE(OpenPort(comms));
    const std::string bytes("\x09\x01\x00\xFF", 4);

    EXPECT_EQ(comms.Write(std::string_view(bytes)), 4);

    EXPECT_EQ(comms_test::TakeRequest(*port.Line(), 4, kWaitMs), bytes);
}

TEST_F(SerialTransportTest, WriteOfNothingOrToAClosedPortWritesNothing)
{
    EXPECT_EQ(comms.Write(std::string_view("abc")), 0);
    ASSERT_TRUE(OpenPort(comms));
    EXPECT_EQ(comms.Write(std::string_view()), 0);
    EXPECT_EQ(comms.SerialChannel().Write(nullptr, 3), 0);

    EXPECT_EQ(port->BytesFromHost(), 0u);
}

TEST_F(SerialTransportTest, EleventhWriteReusesSlotZero)
{
    ASSERT_TRUE(OpenPort(comms));
    CCommsSerialChannel& channel = comms.SerialChannel();
    ASSERT_EQ(channel.Write(reinterpret_cast<const std::uint8_t*>("first"), 5), 5);
    EXPECT_EQ(channel.WriteSlotBufferSize(0), 6u);
    for (int write = 2; write <= 10; ++write)
        ASSERT_EQ(channel.Write(reinterpret_cast<const std::uint8_t*>("x"), 1), 1);
    EXPECT_EQ(channel.NextWriteSlot(), 10);

    ASSERT_EQ(channel.Write(reinterpret_cast<const std::uint8_t*>("11"), 2), 2);

    EXPECT_EQ(channel.NextWriteSlot(), 1);
    EXPECT_EQ(channel.WriteSlotBufferSize(0), 3u); // the first write's buffer is gone
    EXPECT_EQ(comms_test::TakeRequest(*port.Line(), 16, kWaitMs), "firstxxxxxxxxx11");
}

// ---------------------------------------------------------------- line settings and modem lines

TEST_F(SerialTransportTest, LineSettingsReachTheLine)
{
    ASSERT_TRUE(comms.Open(kPortName, 38400, 7, 'E', 1.0f));

    const platform::SerialLineConfig config = port->HostConfig();
    EXPECT_EQ(config.baudRate, 38400u);
    EXPECT_EQ(config.dataBits, 7);
    EXPECT_EQ(config.parity, 'E');
    EXPECT_FLOAT_EQ(config.stopBits, 1.0f);
}

TEST_F(SerialTransportTest, DataBitsGivenAsACharacterCountAsTheDigit)
{
    ASSERT_TRUE(comms.Open(kPortName, 9600, '8', 'N', 1.0f));

    EXPECT_EQ(comms.SerialChannel().DataBits(), 8);
    EXPECT_EQ(port->HostConfig().dataBits, 8);
}

TEST_F(SerialTransportTest, StopBitsOfOneAndAHalfReachTheLineAsTwo)
{
    ASSERT_TRUE(comms.Open(kPortName, 9600, 8, 'N', 1.5f));

    EXPECT_FLOAT_EQ(port->HostConfig().stopBits, 2.0f);
}

TEST_F(SerialTransportTest, ModemLinesAreReadAfreshOnEveryCall)
{
    ASSERT_TRUE(OpenPort(comms));
    port->SetCts(false);
    port->SetDsr(false);
    EXPECT_FALSE(comms.IsCTSOn());
    EXPECT_FALSE(comms.IsDSROn());

    port->SetCts(true);
    EXPECT_TRUE(comms.IsCTSOn());
    EXPECT_FALSE(comms.IsDSROn());

    port->SetDsr(true);
    port->SetCts(false);
    EXPECT_FALSE(comms.IsCTSOn());
    EXPECT_TRUE(comms.IsDSROn());
}

TEST_F(SerialTransportTest, ModemLinesAreOffWhileClosed)
{
    port->SetCts(true);
    port->SetDsr(true);

    EXPECT_FALSE(comms.IsCTSOn());
    EXPECT_FALSE(comms.IsDSROn());
}

// ---------------------------------------------------------------- a pulled adapter

TEST_F(SerialTransportTest, LineUnpluggedWhileOpenFailsQuietlyAndStillCloses)
{
    ASSERT_TRUE(OpenPort(comms));
    port->SetCts(true);
    port->SetDsr(true);

    port->Unplug();

    std::uint8_t b = 0;
    EXPECT_FALSE(comms.IsCTSOn());
    EXPECT_FALSE(comms.IsDSROn());
    EXPECT_FALSE(comms.ReadByte(&b));
    EXPECT_EQ(comms.Write(std::string_view("lost")), 0);
    EXPECT_TRUE(comms.Close());
    EXPECT_FALSE(comms.IsOpen());
    EXPECT_FALSE(port->HostIsOpen());
}

TEST_F(SerialTransportTest, UnpluggedLineFailsToOpenAndWorksAgainWhenPluggedIn)
{
    port->Unplug();
    EXPECT_FALSE(OpenPort(comms));

    port->Plug();

    ASSERT_TRUE(OpenPort(comms));
    port->SendToHost("Z");
    ASSERT_TRUE(WaitQueued(comms, 1));
    std::uint8_t b = 0;
    EXPECT_TRUE(comms.ReadByte(&b));
    EXPECT_EQ(b, 'Z');
}

} // namespace
