// Finding the printer's USB device by identity and reading its status, against the
// simulated USB backend.

#include "firmware/update_firmware_ptr_mode.h"
#include "platform/usb_simulated_backend.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::SimulatedUsbBackend;
using platform::SimulatedUsbDevice;

constexpr double kFastClock = 50.0; // the reads pause 100..400 ms each

SimulatedUsbDevice UpdateModePrinter(const std::string& model = "MRV41F000123", const std::string& location = "1-1")
{
    SimulatedUsbDevice device;
    device.productId = platform::kSimulatedUpdateModeProductId;
    device.serial = SimulatedUsbBackend::HexSerial(model);
    device.location = location;
    return device;
}

SimulatedUsbDevice NormalModePrinter(const std::string& model = "MRV41E000123", const std::string& location = "1-2")
{
    SimulatedUsbDevice device = UpdateModePrinter(model, location);
    device.productId = platform::kSimulatedNormalModeProductId;
    return device;
}

class UsbLookup : public ::testing::Test {
protected:
    SimulatedUsbBackend usb;
    platform::ScopedUsbBackend installed{usb};
    test_support::ScopedSpeedFactor fastClock{kFastClock};
};

TEST_F(UsbLookup, EnumerationFillsRecordFromTheDeviceNames)
{
    usb.AddDevice(UpdateModePrinter("MRV41F000123", "2-1.4"));
    auto table = std::make_unique<UsbDeviceTable>();

    ASSERT_TRUE(CUpdateFirmwarePtrMode::EnumerateUsbDevices(USB_PRINTER_VENDOR_ID, *table));

    const UsbDeviceRecord& record = (*table)[0];
    EXPECT_EQ(record.used, 1);
    EXPECT_EQ(record.vendorId, USB_PRINTER_VENDOR_ID);
    EXPECT_STREQ(record.serialText, "MRV41F000123");
    EXPECT_STREQ(record.interfacePath, "usb#vid_2f5d&pid_5550#4D5256343146303030313233#2-1.4");
    EXPECT_STREQ(record.hardwareId, "USB\\VID_2F5D&PID_5550&REV_0100");
    EXPECT_STREQ(record.compatibleId, "USB\\Class_07&SubClass_01&Prot_02");
    EXPECT_EQ((*table)[1].used, 0);
}

TEST_F(UsbLookup, EnumerationWithoutDevicesIsFalse)
{
    auto table = std::make_unique<UsbDeviceTable>();
    EXPECT_FALSE(CUpdateFirmwarePtrMode::EnumerateUsbDevices(USB_PRINTER_VENDOR_ID, *table));
}

TEST_F(UsbLookup, DeviceWithUnreadableSerialIsNotListed)
{
    SimulatedUsbDevice odd = UpdateModePrinter();
    odd.serial = "4D5";
    usb.AddDevice(odd);
    SimulatedUsbDevice dashInPair = UpdateModePrinter();
    dashInPair.serial = "4-D52";
    dashInPair.location = "1-3";
    usb.AddDevice(dashInPair);
    usb.AddDevice(UpdateModePrinter("MRV41F000999", "1-5"));
    auto table = std::make_unique<UsbDeviceTable>();

    ASSERT_TRUE(CUpdateFirmwarePtrMode::EnumerateUsbDevices(USB_PRINTER_VENDOR_ID, *table));

    EXPECT_STREQ((*table)[0].serialText, "MRV41F000999");
    EXPECT_EQ((*table)[1].used, 0);
}

TEST_F(UsbLookup, EnumerationOfAnotherVendorFindsNothing)
{
    usb.AddDevice(UpdateModePrinter());
    auto table = std::make_unique<UsbDeviceTable>();
    EXPECT_FALSE(CUpdateFirmwarePtrMode::EnumerateUsbDevices(0x1234, *table));
}

TEST_F(UsbLookup, MoreThanThirtyDevicesFillTheTableAndNoMore)
{
    for (int i = 0; i < 35; ++i)
        usb.AddDevice(UpdateModePrinter("MRV41F" + std::to_string(100 + i), "1-" + std::to_string(i + 1)));
    auto table = std::make_unique<UsbDeviceTable>();

    ASSERT_TRUE(CUpdateFirmwarePtrMode::EnumerateUsbDevices(USB_PRINTER_VENDOR_ID, *table));

    for (std::size_t i = 0; i < table->size(); ++i)
        EXPECT_STREQ((*table)[i].serialText, ("MRV41F" + std::to_string(100 + i)).c_str());
}

TEST_F(UsbLookup, OnlyTheFirst200InterfacesAreLookedAt)
{
    for (int i = 0; i < 200; ++i) {
        SimulatedUsbDevice unreadable = NormalModePrinter("", "1-" + std::to_string(i + 1));
        unreadable.serial = "4D5";
        usb.AddDevice(unreadable);
    }
    usb.AddDevice(UpdateModePrinter("MRV41F000001", "3-1"));
    auto table = std::make_unique<UsbDeviceTable>();

    EXPECT_FALSE(CUpdateFirmwarePtrMode::EnumerateUsbDevices(USB_PRINTER_VENDOR_ID, *table));
}

TEST_F(UsbLookup, DeviceBeyondTheTableIsNotFound)
{
    for (int i = 0; i < 34; ++i)
        usb.AddDevice(NormalModePrinter("MRV41E" + std::to_string(100 + i), "1-" + std::to_string(i + 1)));
    usb.AddDevice(UpdateModePrinter("MRV41F000001", "3-1"));
    UsbDeviceRecord record;

    EXPECT_FALSE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                       true));
    EXPECT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, &record,
                                                      true));
}

TEST_F(UsbLookup, UpdateModeIdentityFindsAndOpensThePrinterInUpdateMode)
{
    usb.AddDevice(NormalModePrinter());
    usb.AddDevice(UpdateModePrinter("MRV41F000777", "1-3"));
    UsbDeviceRecord record;

    ASSERT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                      true));

    EXPECT_STREQ(record.serialText, "MRV41F000777");
    EXPECT_STREQ(record.hardwareId, "USB\\VID_2F5D&PID_5550&REV_0100");
    EXPECT_NE(record.deviceHandle, nullptr);
    EXPECT_EQ(usb.OpenHandleCount(), 1);
}

TEST_F(UsbLookup, HardwareIdMustBeginWithThePrefix)
{
    usb.AddDevice(NormalModePrinter("MRV41F000123"));
    UsbDeviceRecord record;
    EXPECT_FALSE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                       true));
}

TEST_F(UsbLookup, ModelPrefixIsCaseSensitive)
{
    usb.AddDevice(UpdateModePrinter("mrv41f000123"));
    UsbDeviceRecord record;
    EXPECT_FALSE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                       false));
}

TEST_F(UsbLookup, DeviceThatCannotOpenCountsWhenOpeningIsNotRequired)
{
    SimulatedUsbDevice busy = NormalModePrinter();
    busy.opens = false;
    usb.AddDevice(busy);
    UsbDeviceRecord record;

    ASSERT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, &record,
                                                      false));

    EXPECT_STREQ(record.serialText, "MRV41E000123");
    EXPECT_EQ(record.deviceHandle, nullptr);
}

TEST_F(UsbLookup, LookupWithoutOpeningLeavesTheDeviceClosed)
{
    usb.AddDevice(NormalModePrinter());
    UsbDeviceRecord record;

    ASSERT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, &record,
                                                      false));

    EXPECT_EQ(record.used, 1);
    EXPECT_EQ(record.deviceHandle, nullptr);
    EXPECT_EQ(usb.OpenCount(), 0);
}

TEST_F(UsbLookup, DeviceHeldOpenByAnotherRecordIsNotFoundWhenOpeningIsRequired)
{
    usb.AddDevice(UpdateModePrinter());
    UsbDeviceRecord holder;
    ASSERT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &holder,
                                                      true));
    UsbDeviceRecord second;

    EXPECT_FALSE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &second,
                                                       true));
    EXPECT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &second,
                                                      false));
}

TEST_F(UsbLookup, DeviceThatCannotOpenIsRefusedWhenOpeningIsRequired)
{
    SimulatedUsbDevice busy = UpdateModePrinter();
    busy.opens = false;
    usb.AddDevice(busy);
    UsbDeviceRecord record;

    EXPECT_FALSE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                       true));
    EXPECT_EQ(record.used, 0);
}

TEST_F(UsbLookup, LookupMovesOnToTheNextMatchThatOpens)
{
    SimulatedUsbDevice busy = UpdateModePrinter("MRV41F000001", "1-1");
    busy.opens = false;
    usb.AddDevice(busy);
    usb.AddDevice(UpdateModePrinter("MRV41F000002", "1-2"));
    UsbDeviceRecord record;

    ASSERT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                      true));
    EXPECT_STREQ(record.serialText, "MRV41F000002");
}

TEST_F(UsbLookup, RecordClosesItsDeviceWhenCleared)
{
    usb.AddDevice(UpdateModePrinter());
    UsbDeviceRecord record;
    ASSERT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                      true));
    ASSERT_EQ(usb.OpenHandleCount(), 1);

    record.Clear();

    EXPECT_EQ(usb.OpenHandleCount(), 0);
}

TEST_F(UsbLookup, RepeatedLookupsIntoOneRecordLeaveOneDeviceOpen)
{
    usb.AddDevice(UpdateModePrinter());
    UsbDeviceRecord record;
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                          true));
    EXPECT_EQ(usb.OpenCount(), 5);
    EXPECT_EQ(usb.OpenHandleCount(), 1);
}

// ---------------------------------------------------------------- names at their fields' capacity

// Lists devices under the names given, and opens none.
class NamedDevices final : public platform::UsbBackend {
public:
    explicit NamedDevices(std::vector<platform::UsbDeviceInfo> devices) : devices_(std::move(devices)) {}
    std::vector<platform::UsbDeviceInfo> Enumerate(std::uint16_t) override { return devices_; }
    std::unique_ptr<platform::UsbDeviceHandle> Open(const std::string&) override { return nullptr; }

private:
    std::vector<platform::UsbDeviceInfo> devices_;
};

// text made length characters long by repeating its last one; 0 leaves it as it is.
std::string Lengthened(std::string text, std::size_t length)
{
    if (length != 0)
        text.resize(length, text.back());
    return text;
}

// A field's text up to its end, never past the field.
std::string FieldText(const char (&field)[USB_TEXT_FIELD_SIZE])
{
    return std::string(field, strnlen(field, sizeof field));
}

struct LongNameCase {
    const char* name;
    std::size_t pathLength, hardwareIdLength, compatibleIdLength; // 0: the usual length
    bool listed;
};

const LongNameCase kLongNames[] = {
    {"PathOf255", 255, 0, 0, true},
    {"PathOf256", 256, 0, 0, false},
    {"HardwareIdOf255", 0, 255, 0, true},
    {"HardwareIdOf256", 0, 256, 0, false},
    {"CompatibleIdOf255", 0, 0, 255, true},
    {"CompatibleIdOf256", 0, 0, 256, false},
};

class LongDeviceName : public ::testing::TestWithParam<LongNameCase> {};

// A name and its terminating zero fill the field's 256 characters at most; a longer one is
// left out with its device, which takes no record, rather than cut or copied without its end.
TEST_P(LongDeviceName, IsCopiedWithItsEndOrLeftOut)
{
    const LongNameCase& c = GetParam();
    const platform::UsbDeviceInfo named{
        Lengthened("usb#vid_2f5d&pid_5550#4D5256343146303030313233#1-1", c.pathLength),
        Lengthened("USB\\VID_2F5D&PID_5550&REV_0100", c.hardwareIdLength),
        Lengthened("USB\\Class_07&SubClass_01&Prot_02", c.compatibleIdLength)};
    NamedDevices usb({named,
                      {"usb#vid_2f5d&pid_5550#4D5256343146303030313239#1-2", "USB\\VID_2F5D&PID_5550&REV_0100",
                       "USB\\Class_07&SubClass_01&Prot_02"}});
    platform::ScopedUsbBackend installed{usb};
    auto table = std::make_unique<UsbDeviceTable>();

    ASSERT_TRUE(CUpdateFirmwarePtrMode::EnumerateUsbDevices(USB_PRINTER_VENDOR_ID, *table));

    if (c.listed) {
        EXPECT_EQ(FieldText((*table)[0].interfacePath), named.interfacePath);
        EXPECT_EQ(FieldText((*table)[0].hardwareId), named.hardwareId);
        EXPECT_EQ(FieldText((*table)[0].compatibleId), named.compatibleId);
        EXPECT_STREQ((*table)[0].serialText, "MRV41F000123");
        EXPECT_STREQ((*table)[1].serialText, "MRV41F000129");
    } else {
        EXPECT_STREQ((*table)[0].serialText, "MRV41F000129");
        EXPECT_EQ((*table)[1].used, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(UsbLookup, LongDeviceName, ::testing::ValuesIn(kLongNames),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- status reads

UsbDeviceRecord OpenedUpdateModePrinter()
{
    UsbDeviceRecord record;
    EXPECT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                      true));
    return record;
}

TEST_F(UsbLookup, CleanStatusPasses)
{
    usb.AddDevice(UpdateModePrinter());
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    EXPECT_TRUE(CUpdateFirmwarePtrMode::ReadDeviceStatus(&record));
}

TEST_F(UsbLookup, StatusWithErrorByteFails)
{
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.statusReply = {0x53, 0x00, 0x00, 0x02, 0x00};
    usb.AddDevice(printer);
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    EXPECT_FALSE(CUpdateFirmwarePtrMode::ReadDeviceStatus(&record));
}

TEST_F(UsbLookup, StatusWithBusyFlagFails)
{
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.statusReply = {0x53, 0x00, 0x00, 0x00, 0x20};
    usb.AddDevice(printer);
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    EXPECT_FALSE(CUpdateFirmwarePtrMode::ReadDeviceStatus(&record));
}

TEST_F(UsbLookup, PrinterThatAnswersNothingPassesTheStatusCheck)
{
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.readsReturnNothing = true;
    usb.AddDevice(printer);
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    EXPECT_TRUE(CUpdateFirmwarePtrMode::ReadDeviceStatus(&record));
}

TEST_F(UsbLookup, PrinterWhoseReadsFailPassesTheStatusCheck)
{
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.readsFail = true;
    usb.AddDevice(printer);
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    EXPECT_TRUE(CUpdateFirmwarePtrMode::ReadDeviceStatus(&record));
}

TEST_F(UsbLookup, GarbageStatusFails)
{
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.garbageStatus = true;
    usb.AddDevice(printer);
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    EXPECT_FALSE(CUpdateFirmwarePtrMode::ReadDeviceStatus(&record));
}

TEST_F(UsbLookup, StatusOfADeviceNotOpenedIsNotClean)
{
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.opens = false;
    usb.AddDevice(printer);
    UsbDeviceRecord record;
    ASSERT_TRUE(CUpdateFirmwarePtrMode::OpenUsbDevice(USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL, &record,
                                                      false));
    EXPECT_FALSE(CUpdateFirmwarePtrMode::ReadDeviceStatus(&record));
    EXPECT_FALSE(CUpdateFirmwarePtrMode::ReadDeviceStatus(nullptr));
}

TEST_F(UsbLookup, ReadKeepsAReplyBeginningWithS)
{
    usb.AddDevice(UpdateModePrinter());
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    std::uint8_t buffer[USB_REPLY_BUFFER_SIZE] = {};
    std::uint32_t length = sizeof buffer;

    ASSERT_TRUE(CUpdateFirmwarePtrMode::ReadDevice(record.deviceHandle.get(), buffer, &length, &record));

    EXPECT_EQ(length, platform::kSimulatedCleanStatus.size());
    ASSERT_EQ(record.lastReplyLength, platform::kSimulatedCleanStatus.size());
    EXPECT_EQ(record.lastReply[0], 0x53);
}

TEST_F(UsbLookup, ReadDoesNotKeepAReplyBeginningOtherwise)
{
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.statusReply = {'X', 0x00, 0x00, 0x00, 0x00};
    usb.AddDevice(printer);
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    std::uint8_t buffer[USB_REPLY_BUFFER_SIZE] = {};
    std::uint32_t length = sizeof buffer;

    ASSERT_TRUE(CUpdateFirmwarePtrMode::ReadDevice(record.deviceHandle.get(), buffer, &length, &record));

    EXPECT_EQ(length, 5u);
    EXPECT_EQ(record.lastReplyLength, 0u);
}

TEST_F(UsbLookup, ReadOfNothingTwiceFails)
{
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.readsReturnNothing = true;
    usb.AddDevice(printer);
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    std::uint8_t buffer[16] = {};
    std::uint32_t length = sizeof buffer;

    EXPECT_FALSE(CUpdateFirmwarePtrMode::ReadDevice(record.deviceHandle.get(), buffer, &length, &record));
    EXPECT_EQ(length, 0u);
}

TEST_F(UsbLookup, FailedReadReportsNoBytes)
{
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.readsFail = true;
    usb.AddDevice(printer);
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    std::uint8_t buffer[16] = {};
    std::uint32_t length = sizeof buffer;

    EXPECT_FALSE(CUpdateFirmwarePtrMode::ReadStatusBytes(record.deviceHandle.get(), buffer, &length, &record));
    EXPECT_EQ(length, 0u);
}

// ---------------------------------------------------------------- reads and the stop flag

TEST_F(UsbLookup, ReadWithAClearStopFlagReadsAsWithoutOne)
{
    usb.AddDevice(UpdateModePrinter());
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    const std::atomic<bool> stop{false};
    std::uint8_t buffer[USB_REPLY_BUFFER_SIZE] = {};
    std::uint32_t length = sizeof buffer;

    ASSERT_TRUE(CUpdateFirmwarePtrMode::ReadDevice(record.deviceHandle.get(), buffer, &length, &record, &stop));

    EXPECT_EQ(length, platform::kSimulatedCleanStatus.size());
    EXPECT_EQ(record.lastReplyLength, platform::kSimulatedCleanStatus.size());
    EXPECT_TRUE(CUpdateFirmwarePtrMode::ReadDeviceStatus(&record, &stop));
}

TEST_F(UsbLookup, ReadOnceStoppedReadsNothing)
{
    usb.AddDevice(UpdateModePrinter());
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    const std::atomic<bool> stop{true};
    std::uint8_t buffer[USB_REPLY_BUFFER_SIZE] = {};
    std::uint32_t length = sizeof buffer;

    EXPECT_FALSE(CUpdateFirmwarePtrMode::ReadDevice(record.deviceHandle.get(), buffer, &length, &record, &stop));

    EXPECT_EQ(length, 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(record.lastReplyLength, 0u);
}

TEST_F(UsbLookup, StoppedStatusReadIsNotClean)
{
    usb.AddDevice(UpdateModePrinter());
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    const std::atomic<bool> stop{true};

    EXPECT_FALSE(CUpdateFirmwarePtrMode::ReadDeviceStatus(&record, &stop));
}

TEST_F(UsbLookup, StopEndsASilentPrintersStatusReadWithinItsReadInFlight)
{
    test_support::ScopedSpeedFactor realTime(1.0); // a silent read takes its 500 ms time-out
    SimulatedUsbDevice printer = UpdateModePrinter();
    printer.readsReturnNothing = true;
    usb.AddDevice(printer);
    UsbDeviceRecord record = OpenedUpdateModePrinter();
    std::atomic<bool> stop{false};
    std::atomic<bool> clean{true};

    std::thread reader([&] { clean = CUpdateFirmwarePtrMode::ReadDeviceStatus(&record, &stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto stoppedAt = std::chrono::steady_clock::now();
    stop = true;
    reader.join();

    // Unstopped, the two empty reads and the pauses after them take about 1.45 s.
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, std::chrono::seconds(1));
    EXPECT_FALSE(clean.load());
}

} // namespace
