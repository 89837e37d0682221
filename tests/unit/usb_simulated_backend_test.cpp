// The simulated USB printer that the firmware tests talk to.

#include "platform/usb_printer_commands.h"
#include "platform/usb_simulated_backend.h"
#include "platform/virtual_line.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using platform::SimulatedUsbBackend;
using platform::SimulatedUsbDevice;

constexpr std::uint32_t kTimeoutMs = 100;

bool WaitUntil(const std::function<bool()>& condition, int realMs = 5000)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

template <std::size_t N>
bool Write(platform::UsbDeviceHandle& handle, const std::array<std::uint8_t, N>& bytes)
{
    std::size_t written = 0;
    return handle.Write(bytes.data(), bytes.size(), &written, kTimeoutMs);
}

std::string ReadText(platform::UsbDeviceHandle& handle)
{
    std::uint8_t buffer[64];
    std::size_t read = 0;
    EXPECT_TRUE(handle.Read(buffer, sizeof buffer, &read, kTimeoutMs));
    return std::string(reinterpret_cast<const char*>(buffer), read);
}

SimulatedUsbDevice Printer()
{
    SimulatedUsbDevice device;
    device.serial = SimulatedUsbBackend::HexSerial("MRV41F0001");
    device.restart.normalSerial = SimulatedUsbBackend::HexSerial("MRV41E0001");
    return device;
}

TEST(SimulatedUsb, ListsPresentDevicesOfTheVendorOnly)
{
    SimulatedUsbBackend usb;
    const auto gone = usb.AddDevice(Printer());
    SimulatedUsbDevice other = Printer();
    other.vendorId = 0x1234;
    usb.AddDevice(other);
    usb.RemoveDevice(gone);
    SimulatedUsbDevice present = Printer();
    present.location = "2-3";
    usb.AddDevice(present);

    const auto infos = usb.Enumerate(platform::kSimulatedVendorId);

    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(infos[0].interfacePath, "usb#vid_2f5d&pid_5550#4D525634314630303031#2-3");
}

TEST(SimulatedUsb, HandleOfAVanishedDeviceFails)
{
    SimulatedUsbBackend usb;
    const auto id = usb.AddDevice(Printer());
    auto handle = usb.Open(usb.InterfacePath(id));
    ASSERT_NE(handle, nullptr);

    usb.RemoveDevice(id);

    EXPECT_FALSE(Write(*handle, USB_CMD_FLASH_REQUEST));
    EXPECT_EQ(usb.Open(usb.InterfacePath(id)), nullptr);
}

TEST(SimulatedUsb, AnswersTheFlashSequenceAndTakesTheImage)
{
    SimulatedUsbBackend usb;
    SimulatedUsbDevice printer = Printer();
    printer.restart.enabled = false;
    const auto id = usb.AddDevice(printer);
    auto handle = usb.Open(usb.InterfacePath(id));
    ASSERT_NE(handle, nullptr);

    // The commands as the printer knows them: ESC "*" "F" "R", then ESC "I" "A" SI.
    ASSERT_TRUE(Write(*handle, std::array<std::uint8_t, 4>{0x1B, 0x2A, 0x46, 0x52}));
    EXPECT_EQ(ReadText(*handle)[0], 'S');
    ASSERT_TRUE(Write(*handle, std::array<std::uint8_t, 4>{0x1B, 0x49, 0x41, 0x0F}));
    EXPECT_EQ(ReadText(*handle), "FLASH READY");
    const std::array<std::uint8_t, 3> image = {1, 2, 3};
    ASSERT_TRUE(Write(*handle, image));

    EXPECT_EQ(usb.Image(id), std::vector<std::uint8_t>(image.begin(), image.end()));
    EXPECT_EQ(usb.Writes(id).size(), 3u);
}

TEST(SimulatedUsb, RestartsInNormalModeAndRaisesDsrThenCts)
{
    test_support::ScopedSpeedFactor fastClock(20);
    SimulatedUsbBackend usb;
    auto line = platform::VirtualLine::Create();
    line->SetDsr(true);
    line->SetCts(true);
    SimulatedUsbDevice printer = Printer();
    printer.imageLength = 3;
    printer.restart.line = line;
    printer.restart.ctsAfterMs = 2000;
    const auto id = usb.AddDevice(printer);
    auto handle = usb.Open(usb.InterfacePath(id));
    ASSERT_TRUE(Write(*handle, USB_CMD_FLASH_PREPARE));
    ASSERT_TRUE(Write(*handle, std::array<std::uint8_t, 3>{1, 2, 3}));

    ASSERT_TRUE(WaitUntil([&] { return !usb.IsPresent(id); }));
    EXPECT_FALSE(line->Dsr());
    ASSERT_TRUE(WaitUntil([&] { return line->Dsr(); }));
    EXPECT_TRUE(usb.FindDevice(platform::kSimulatedNormalModeProductId).has_value());
    EXPECT_FALSE(line->Cts());
    EXPECT_TRUE(WaitUntil([&] { return line->Cts(); }));
}

TEST(SimulatedUsb, RefusesTheWriteItWasToldTo)
{
    SimulatedUsbBackend usb;
    SimulatedUsbDevice printer = Printer();
    printer.failWriteNumber = 2;
    const auto id = usb.AddDevice(printer);
    auto handle = usb.Open(usb.InterfacePath(id));

    EXPECT_TRUE(Write(*handle, USB_CMD_FLASH_REQUEST));
    EXPECT_FALSE(Write(*handle, USB_CMD_FLASH_REQUEST));
    EXPECT_TRUE(Write(*handle, USB_CMD_FLASH_REQUEST));
    EXPECT_EQ(usb.WriteAttempts(id), 3);
}

TEST(SimulatedUsb, CountsOpenHandles)
{
    SimulatedUsbBackend usb;
    const auto first = usb.AddDevice(Printer());
    SimulatedUsbDevice other = Printer();
    other.location = "1-2";
    const auto second = usb.AddDevice(other);
    auto firstHandle = usb.Open(usb.InterfacePath(first));
    auto secondHandle = usb.Open(usb.InterfacePath(second));
    EXPECT_EQ(usb.OpenHandleCount(), 2);
    firstHandle.reset();
    EXPECT_EQ(usb.OpenHandleCount(), 1);
}

TEST(SimulatedUsb, DeviceTakesOneHandleAtATime)
{
    SimulatedUsbBackend usb;
    const auto id = usb.AddDevice(Printer());
    auto first = usb.Open(usb.InterfacePath(id));
    ASSERT_NE(first, nullptr);

    EXPECT_EQ(usb.Open(usb.InterfacePath(id)), nullptr);
    first.reset();
    EXPECT_NE(usb.Open(usb.InterfacePath(id)), nullptr);
    EXPECT_EQ(usb.OpenCount(), 2);
}

TEST(SimulatedUsb, DeviceThatDoesNotOpenIsStillListed)
{
    SimulatedUsbBackend usb;
    SimulatedUsbDevice noPermission = Printer();
    noPermission.opens = false;
    const auto id = usb.AddDevice(noPermission);

    ASSERT_EQ(usb.Enumerate(platform::kSimulatedVendorId).size(), 1u);
    EXPECT_EQ(usb.Open(usb.InterfacePath(id)), nullptr);
}

TEST(SimulatedUsb, SilentDeviceAnswersNothingAfterTheReadTimeout)
{
    test_support::ScopedSpeedFactor realTime(1.0);
    SimulatedUsbBackend usb;
    SimulatedUsbDevice silent = Printer();
    silent.readsReturnNothing = true;
    const auto id = usb.AddDevice(silent);
    auto handle = usb.Open(usb.InterfacePath(id));
    ASSERT_NE(handle, nullptr);
    std::uint8_t buffer[16];
    std::size_t read = 99;

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(handle->Read(buffer, sizeof buffer, &read, kTimeoutMs));

    EXPECT_EQ(read, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kTimeoutMs));
}

} // namespace
