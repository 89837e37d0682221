// Restarting printers that were left in USB firmware update mode.

#include "firmware/update_firmware_ptr_mode.h"
#include "platform/usb_simulated_backend.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::SimulatedUsbBackend;
using platform::SimulatedUsbDevice;

constexpr double kFastClock = 50.0;
// ESC "*" "R" "S".
const std::vector<std::uint8_t> kResetCommand = {0x1B, 0x2A, 0x52, 0x53};

SimulatedUsbDevice PrinterInUpdateMode()
{
    SimulatedUsbDevice device;
    device.productId = platform::kSimulatedUpdateModeProductId;
    device.serial = SimulatedUsbBackend::HexSerial("MRV41F000123");
    device.restart.enabled = false; // keep it listed, so that what was written can be read back
    return device;
}

class UpdateModeReset : public ::testing::Test {
protected:
    SimulatedUsbBackend usb;
    platform::ScopedUsbBackend installed{usb};
    test_support::ScopedSpeedFactor fastClock{kFastClock};
};

TEST_F(UpdateModeReset, CleanPrinterInUpdateModeIsToldToRestartOnce)
{
    const auto printer = usb.AddDevice(PrinterInUpdateMode());
    CUpdateFirmwarePtrMode engine;

    EXPECT_TRUE(engine.ResetDevicesInUpdateMode());

    EXPECT_EQ(usb.Writes(printer), std::vector<std::vector<std::uint8_t>>{kResetCommand});
}

TEST_F(UpdateModeReset, DeviceIsClosedAfterTheReset)
{
    usb.AddDevice(PrinterInUpdateMode());
    CUpdateFirmwarePtrMode engine;

    ASSERT_TRUE(engine.ResetDevicesInUpdateMode());

    EXPECT_EQ(usb.OpenCount(), 1);
    EXPECT_EQ(usb.OpenHandleCount(), 0);
}

TEST_F(UpdateModeReset, NoPrinterInUpdateModeMeansNothingWritten)
{
    SimulatedUsbDevice normal = PrinterInUpdateMode();
    normal.productId = platform::kSimulatedNormalModeProductId;
    normal.serial = SimulatedUsbBackend::HexSerial("MRV41E000123");
    const auto printer = usb.AddDevice(normal);
    CUpdateFirmwarePtrMode engine;

    EXPECT_FALSE(engine.ResetDevicesInUpdateMode());

    EXPECT_TRUE(usb.Writes(printer).empty());
}

TEST_F(UpdateModeReset, NoDeviceAtAllIsFalse)
{
    CUpdateFirmwarePtrMode engine;
    EXPECT_FALSE(engine.ResetDevicesInUpdateMode());
}

TEST_F(UpdateModeReset, PrinterWithDirtyStatusIsLeftAlone)
{
    SimulatedUsbDevice busy = PrinterInUpdateMode();
    busy.statusReply = {0x53, 0x00, 0x00, 0x00, 0x40};
    const auto printer = usb.AddDevice(busy);
    CUpdateFirmwarePtrMode engine;

    EXPECT_FALSE(engine.ResetDevicesInUpdateMode());

    EXPECT_TRUE(usb.Writes(printer).empty());
}

TEST_F(UpdateModeReset, RefusedWriteStillCountsAsReset)
{
    SimulatedUsbDevice refusing = PrinterInUpdateMode();
    refusing.refuseWrites = true;
    const auto printer = usb.AddDevice(refusing);
    CUpdateFirmwarePtrMode engine;

    EXPECT_TRUE(engine.ResetDevicesInUpdateMode());

    EXPECT_EQ(usb.WriteAttempts(printer), 1);
    EXPECT_TRUE(usb.Writes(printer).empty());
}

TEST_F(UpdateModeReset, StopFlagPreventsTheReset)
{
    const auto printer = usb.AddDevice(PrinterInUpdateMode());
    CUpdateFirmwarePtrMode engine;
    engine.RequestStop();

    EXPECT_FALSE(engine.ResetDevicesInUpdateMode());

    EXPECT_TRUE(usb.Writes(printer).empty());
    EXPECT_EQ(usb.OpenHandleCount(), 0);
}

TEST_F(UpdateModeReset, PrinterThatAnswersNoStatusIsReset)
{
    SimulatedUsbDevice silent = PrinterInUpdateMode();
    silent.readsReturnNothing = true;
    const auto printer = usb.AddDevice(silent);
    CUpdateFirmwarePtrMode engine;

    EXPECT_TRUE(engine.ResetDevicesInUpdateMode());

    EXPECT_EQ(usb.Writes(printer).size(), 1u);
}

TEST_F(UpdateModeReset, ResetPrinterRestartsInNormalMode)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.restart.enabled = true;
    printer.restart.normalSerial = SimulatedUsbBackend::HexSerial("MRV41E000123");
    const auto updateMode = usb.AddDevice(printer);
    CUpdateFirmwarePtrMode engine;
    ASSERT_TRUE(engine.ResetDevicesInUpdateMode());

    UsbDeviceRecord normal;
    for (int i = 0; i < 200 && !CUpdateFirmwarePtrMode::OpenUsbDevice(USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL,
                                                                      &normal, false);
         ++i)
        platform::timing::SleepMs(100);

    EXPECT_STREQ(normal.serialText, "MRV41E000123");
    EXPECT_FALSE(usb.IsPresent(updateMode));
    EXPECT_FALSE(engine.ResetDevicesInUpdateMode());
}

} // namespace
