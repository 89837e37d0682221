// One simulated printer taken through its USB update mode: asked on its serial line (a
// real CComms on a registered virtual line) to switch, flashed by the real flash engine
// on the simulated USB backend, and answering on its serial line again after its restart.

#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "firmware/update_firmware_ptr_mode.h"
#include "platform/usb_backend.h"
#include "platform/usb_simulated_backend.h"
#include "tests/component/comms_test_support.h"
#include "tests/support/message_recorder.h"
#include "tools/printer-sim/simulated_printer.h"
#include "tools/printer-sim/usb_side.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using platform::PostedMessage;
using printer_sim::PrinterConfig;
using printer_sim::SimulatedPrinter;
using printer_sim::UsbSide;

constexpr int kPortNumber = 7;
constexpr char kPort[] = "COM7";
constexpr std::uint32_t kBaudRate = 19200;
// Long enough to keep the switch's 1500 ms time-out well above a thread's scheduling delay
// under a sanitizer, short enough for the flash engine's fixed waits.
constexpr double kFastClock = 10.0;
constexpr int kWaitRealMs = 30000; // bound for anything the printer or the engine does
constexpr platform::WindowHandle kDialog = 0x105;
constexpr std::uint32_t kBlockSize = 8192;
constexpr char kIdentity[] = "YT00000006060";
constexpr char kUpdateModeHardwareIdStart[] = "USB\\VID_2F5D&PID_5550&REV_";
constexpr char kNormalModeHardwareIdStart[] = "USB\\VID_2F5D&PID_4254&REV_";

std::vector<std::uint8_t> TestImage(std::size_t length)
{
    std::vector<std::uint8_t> image(length);
    for (std::size_t i = 0; i < length; ++i)
        image[i] = static_cast<std::uint8_t>((i * 13 + i / 241) & 0xFF);
    return image;
}

bool StartsWith(const char* text, const std::string& start)
{
    return std::strncmp(text, start.c_str(), start.size()) == 0;
}

class PrinterUpdateMode : public ::testing::Test {
protected:
    void StartPrinter(bool usbCapable, bool withUsbSide)
    {
        PrinterConfig config;
        config.identity = kIdentity;
        config.usbCapable = usbCapable;
        printer = std::make_unique<SimulatedPrinter>(port.Line(), config);
        if (withUsbSide)
            usbSide = std::make_unique<UsbSide>(*printer, usb);
        ASSERT_TRUE(comms.Open(kPort, static_cast<int>(kBaudRate), 8, 'N', 1.0f));
    }

    // One request with an empty payload, as the firmware load dialog sends it.
    bool Transact(std::uint8_t command)
    {
        state = {};
        reply.clear();
        std::string frame;
        CQVMessageParser::BuildRequest(frame, 0, command, {});
        return CQVMessageParser::Transact(&comms, frame, &state, &reply);
    }

    static bool DevicePresent(const char* hardwareId, const char* model, UsbDeviceRecord* record)
    {
        record->Clear();
        return CUpdateFirmwarePtrMode::OpenUsbDevice(hardwareId, model, record, false);
    }

    bool UpdateModeDevicePresent()
    {
        UsbDeviceRecord record;
        return DevicePresent(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record);
    }

    bool NormalModeDevicePresent()
    {
        UsbDeviceRecord record;
        return DevicePresent(USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, &record);
    }

    // The two steps of the dialog's handshake that lead to the USB road.
    void SwitchToUpdateMode()
    {
        ASSERT_TRUE(Transact(CMD_QUERY_UPDATE_MODE));
        ASSERT_EQ(state.command, REPLY_UPDATE_MODE);
        ASSERT_EQ(reply, kUpdateModeUsb);
        EXPECT_FALSE(Transact(CMD_SWITCH_UPDATE_MODE));
        EXPECT_EQ(state.command, 0u);
    }

    bool StartFlash(const std::vector<std::uint8_t>& image)
    {
        return engine->StartFlashUpdate(&comms, USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL,
                                        USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, kBlockSize, image.data(),
                                        static_cast<std::uint32_t>(image.size()), kDialog);
    }

    std::vector<platform::WParam> DoneResults() const
    {
        std::vector<platform::WParam> results;
        for (const PostedMessage& message : recorder.MessagesWithId(WM_FLASH_UPDATE_DONE))
            results.push_back(message.wParam);
        return results;
    }

    comms_test::ScopedPortMap portMap;
    comms_test::VirtualPort port{portMap, kPortNumber};
    platform::SimulatedUsbBackend usb;
    platform::ScopedUsbBackend installed{usb};
    test_support::MessageRecorder recorder;
    // The printer's modem lines at the moment the flash engine reports its end.
    std::atomic<bool> dsrAtDone{false};
    std::atomic<bool> ctsAtDone{false};
    comms_test::HookedSink sink{recorder, [this](const PostedMessage& message) {
                                    if (message.id == WM_FLASH_UPDATE_DONE) {
                                        dsrAtDone.store(port->Dsr());
                                        ctsAtDone.store(port->Cts());
                                    }
                                }};
    test_support::ScopedSpeedFactor fastClock{kFastClock};
    std::unique_ptr<SimulatedPrinter> printer;
    std::unique_ptr<UsbSide> usbSide;
    CComms comms;
    std::unique_ptr<CUpdateFirmwarePtrMode> engine = std::make_unique<CUpdateFirmwarePtrMode>();
    MessageParseState state{};
    std::string reply;
};

// ---------------------------------------------------------------- the serial handshake

TEST_F(PrinterUpdateMode, AnswersTheUpdateModeQueryWithUsb)
{
    StartPrinter(true, true);

    ASSERT_TRUE(Transact(CMD_QUERY_UPDATE_MODE));
    EXPECT_EQ(state.command, REPLY_UPDATE_MODE);
    EXPECT_EQ(reply, kUpdateModeUsb);
}

TEST_F(PrinterUpdateMode, IsOnTheBusInNormalModeBeforeItSwitches)
{
    StartPrinter(true, true);

    UsbDeviceRecord record;
    ASSERT_TRUE(DevicePresent(USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, &record));
    EXPECT_STREQ(record.serialText, "MRV41E000123");
    EXPECT_TRUE(StartsWith(record.hardwareId, kNormalModeHardwareIdStart)) << record.hardwareId;
    EXPECT_FALSE(UpdateModeDevicePresent());
}

TEST_F(PrinterUpdateMode, SwitchGetsNoReplyAndSilencesTheSerialLine)
{
    StartPrinter(true, true);

    SwitchToUpdateMode();

    EXPECT_TRUE(printer->SerialSilent());
    EXPECT_FALSE(Transact(CMD_IDENTIFY));
    EXPECT_EQ(state.command, 0u);
    EXPECT_EQ(usbSide->Switches(), 1);
    EXPECT_TRUE(usbSide->InUpdateMode());
}

TEST_F(PrinterUpdateMode, SwitchDropsCtsAndDsrAsThePrinterRestarts)
{
    StartPrinter(true, true);
    ASSERT_TRUE(comms.IsDSROn());
    ASSERT_TRUE(comms.IsCTSOn());

    SwitchToUpdateMode();

    EXPECT_FALSE(comms.IsDSROn());
    EXPECT_FALSE(comms.IsCTSOn());
}

TEST_F(PrinterUpdateMode, SwitchBringsTheUpdateModeDeviceOntoTheBusInPlaceOfTheNormalOne)
{
    StartPrinter(true, true);

    SwitchToUpdateMode();

    ASSERT_TRUE(comms_test::WaitUntil([this] { return UpdateModeDevicePresent(); }, kWaitRealMs));
    UsbDeviceRecord record;
    ASSERT_TRUE(DevicePresent(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record));
    EXPECT_STREQ(record.serialText, "MRV41F000123");
    EXPECT_TRUE(StartsWith(record.hardwareId, kUpdateModeHardwareIdStart)) << record.hardwareId;
    EXPECT_FALSE(NormalModeDevicePresent());
}

TEST_F(PrinterUpdateMode, UsbCapablePrinterWithoutUsbSideStillRefusesTheSwitch)
{
    StartPrinter(true, false);

    ASSERT_TRUE(Transact(CMD_SWITCH_UPDATE_MODE));
    EXPECT_EQ(state.command, REPLY_NO_SWITCH);
    EXPECT_FALSE(printer->SerialSilent());
    EXPECT_TRUE(usb.Enumerate(platform::kSimulatedVendorId).empty());
}

TEST_F(PrinterUpdateMode, PrinterRefusesTheSwitchAgainOnceItsUsbSideIsGone)
{
    StartPrinter(true, true);
    usbSide.reset();

    ASSERT_TRUE(Transact(CMD_SWITCH_UPDATE_MODE));
    EXPECT_EQ(state.command, REPLY_NO_SWITCH);
    EXPECT_FALSE(printer->SerialSilent());
    EXPECT_FALSE(UpdateModeDevicePresent());
}

TEST_F(PrinterUpdateMode, SerialOnlyPrinterRefusesTheSwitchEvenWithAUsbSide)
{
    StartPrinter(false, true);

    ASSERT_TRUE(Transact(CMD_SWITCH_UPDATE_MODE));
    EXPECT_EQ(state.command, REPLY_NO_SWITCH);
    EXPECT_FALSE(printer->SerialSilent());
    EXPECT_EQ(usbSide->Switches(), 0);
    EXPECT_FALSE(UpdateModeDevicePresent());
}

// ---------------------------------------------------------------- the load over USB

TEST_F(PrinterUpdateMode, FlashEngineLoadsTheImageAndThePrinterAnswersAgainAfterItsRestart)
{
    StartPrinter(true, true);
    const std::vector<std::uint8_t> image = TestImage(2 * kBlockSize + 300);

    SwitchToUpdateMode();
    ASSERT_TRUE(StartFlash(image));
    ASSERT_TRUE(recorder.WaitFor(WM_FLASH_UPDATE_DONE, kWaitRealMs));

    EXPECT_EQ(DoneResults(), (std::vector<platform::WParam>{1}));
    EXPECT_EQ(usbSide->FirmwareImage(), image);
    ASSERT_TRUE(Transact(CMD_IDENTIFY));
    EXPECT_EQ(state.command, REPLY_ACK);
    EXPECT_EQ(reply, kIdentity);
}

TEST_F(PrinterUpdateMode, RestartPutsTheNormalModeDeviceBackAndRaisesDsrAndCts)
{
    StartPrinter(true, true);

    SwitchToUpdateMode();
    ASSERT_TRUE(StartFlash(TestImage(kBlockSize)));
    ASSERT_TRUE(recorder.WaitFor(WM_FLASH_UPDATE_DONE, kWaitRealMs));

    EXPECT_TRUE(dsrAtDone.load());
    EXPECT_TRUE(ctsAtDone.load());
    EXPECT_EQ(usbSide->Restarts(), 1);
    EXPECT_FALSE(usbSide->InUpdateMode());
    EXPECT_FALSE(printer->SerialSilent());
    EXPECT_FALSE(UpdateModeDevicePresent());
    EXPECT_TRUE(NormalModeDevicePresent());
    ASSERT_TRUE(usbSide->NormalModeDevice().has_value());
    EXPECT_TRUE(usb.IsPresent(*usbSide->NormalModeDevice()));
}

TEST_F(PrinterUpdateMode, APrinterLeftInUpdateModeComesBackOnResetAndCanSwitchAgain)
{
    StartPrinter(true, true);
    SwitchToUpdateMode();
    ASSERT_TRUE(comms_test::WaitUntil([this] { return UpdateModeDevicePresent(); }, kWaitRealMs));
    const auto firstUpdateModeDevice = usbSide->UpdateModeDevice();

    ASSERT_TRUE(engine->ResetDevicesInUpdateMode());
    ASSERT_TRUE(usbSide->WaitForRestarts(1, kWaitRealMs));
    ASSERT_TRUE(Transact(CMD_IDENTIFY));
    EXPECT_EQ(reply, kIdentity);

    SwitchToUpdateMode();
    ASSERT_TRUE(comms_test::WaitUntil([this] { return UpdateModeDevicePresent(); }, kWaitRealMs));
    EXPECT_EQ(usbSide->Switches(), 2);
    EXPECT_NE(usbSide->UpdateModeDevice(), firstUpdateModeDevice);
    EXPECT_FALSE(NormalModeDevicePresent());
}

} // namespace
