// The libusb backend on this machine, whatever is attached to it (the build sandboxes have
// no USB bus at all), and the names every backend gives its devices.

#include "firmware/update_firmware_ptr_mode.h"
#include "platform/usb_backend.h"
#include "platform/usb_libusb_backend.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace {

// A folder laid out like /sys/bus/usb/devices, removed again with the object.
class FakeSysfsDevices {
public:
    FakeSysfsDevices()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "jetvane-sysfs-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            dir_ = pattern;
    }
    ~FakeSysfsDevices()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    FakeSysfsDevices(const FakeSysfsDevices&) = delete;
    FakeSysfsDevices& operator=(const FakeSysfsDevices&) = delete;

    void AddDevice(const std::string& location, const std::string& serialFileText)
    {
        std::filesystem::create_directories(dir_ / location);
        std::ofstream(dir_ / location / platform::kSysfsSerialAttribute, std::ios::binary) << serialFileText;
    }
    std::string Dir() const { return dir_.string(); }

private:
    std::filesystem::path dir_;
};

TEST(LibusbBackend, StartsOnThisMachine)
{
    platform::LibusbBackend backend;
    EXPECT_TRUE(backend.Started());
}

// Whatever is plugged into this machine: a listing holds the asked vendor's devices only,
// named as the lookup expects, and a vendor id that no device carries lists nothing.
TEST(LibusbBackend, ListsOnlyDevicesOfTheAskedVendor)
{
    platform::LibusbBackend backend;
    for (const platform::UsbDeviceInfo& device : backend.Enumerate(0x2F5D)) {
        EXPECT_EQ(device.interfacePath.rfind("usb#vid_2f5d&pid_", 0), 0u) << device.interfacePath;
        EXPECT_EQ(device.hardwareId.rfind("USB\\VID_2F5D&PID_", 0), 0u) << device.hardwareId;
    }
    EXPECT_TRUE(backend.Enumerate(0x0000).empty());
}

TEST(LibusbBackend, OpeningAMissingDeviceFails)
{
    platform::LibusbBackend backend;
    EXPECT_EQ(backend.Open("usb#vid_2f5d&pid_5550#4D5256343146#1-1"), nullptr);
}

TEST(LibusbBackend, OpeningAPathOfAnotherFormFails)
{
    platform::LibusbBackend backend;
    EXPECT_EQ(backend.Open(""), nullptr);
    EXPECT_EQ(backend.Open("/dev/bus/usb/001/001"), nullptr);
}

TEST(LibusbBackend, IsTheDefaultBackend)
{
    ASSERT_EQ(platform::SetUsbBackend(nullptr), nullptr);
    EXPECT_NE(dynamic_cast<platform::LibusbBackend*>(&platform::CurrentUsbBackend()), nullptr);
}

// Product 0000 is no printer's, so the lookup through libusb finds nothing on any machine.
// (An update-mode reset is not tried here: it would restart a printer that is attached.)
TEST(LibusbBackend, LookupThroughTheDefaultBackendFindsNoUnknownProduct)
{
    UsbDeviceRecord record;
    EXPECT_FALSE(CUpdateFirmwarePtrMode::OpenUsbDevice("USB\\VID_2F5D&PID_0000", USB_NORMAL_MODE_MODEL, &record, false));
    EXPECT_EQ(record.deviceHandle, nullptr);
}

// The endpoints of interface 0 as its descriptor lists them: (address, attributes), where
// attributes 0x02 is bulk and 0x03 interrupt, and an address with 0x80 is IN.
struct EndpointCase {
    const char* name;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> endpoints;
    bool found;
    std::uint8_t out;
    std::uint8_t in;
};

const EndpointCase kEndpointCases[] = {
    {"TwoBulkInTheFirstIsRead", {{0x81, 0x02}, {0x82, 0x02}, {0x01, 0x02}}, true, 0x01, 0x81},
    {"TwoBulkInTheFirstListedIsRead", {{0x02, 0x02}, {0x83, 0x02}, {0x81, 0x02}}, true, 0x02, 0x83},
    {"TwoBulkOutTheFirstListedIsWritten", {{0x02, 0x02}, {0x01, 0x02}, {0x81, 0x02}}, true, 0x02, 0x81},
    {"InterruptInBeforeTheBulkIn", {{0x81, 0x03}, {0x82, 0x02}, {0x01, 0x02}}, true, 0x01, 0x82},
    {"NoBulkIn", {{0x01, 0x02}, {0x81, 0x03}}, false, 0, 0},
    {"NoEndpoint", {}, false, 0, 0},
};

class BulkEndpoints : public ::testing::TestWithParam<EndpointCase> {};

TEST_P(BulkEndpoints, OpenUsesTheFirstBulkOutAndInOfInterfaceZero)
{
    std::vector<libusb_endpoint_descriptor> endpoints;
    for (const auto& [address, attributes] : GetParam().endpoints) {
        libusb_endpoint_descriptor endpoint{};
        endpoint.bEndpointAddress = address;
        endpoint.bmAttributes = attributes;
        endpoints.push_back(endpoint);
    }
    libusb_interface_descriptor setting{};
    setting.bNumEndpoints = static_cast<std::uint8_t>(endpoints.size());
    setting.endpoint = endpoints.data();
    std::uint8_t out = 0;
    std::uint8_t in = 0;

    ASSERT_EQ(platform::ChooseBulkEndpoints(setting, &out, &in), GetParam().found);

    if (GetParam().found) {
        EXPECT_EQ(out, GetParam().out);
        EXPECT_EQ(in, GetParam().in);
    }
}

INSTANTIATE_TEST_SUITE_P(Interfaces, BulkEndpoints, ::testing::ValuesIn(kEndpointCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What one bulk IN transfer brings: libusb's result and the bytes that came before it ended.
struct TransferCase {
    const char* name;
    int result;
    std::vector<std::uint8_t> bytes;
    bool answered;
};

const TransferCase kTransferCases[] = {
    {"Complete", LIBUSB_SUCCESS, {0x06, 0x30}, true},
    // A device with nothing to say yet (a slow boot loader) lets the transfer time out.
    {"TimeoutWithNothingIsAnEmptyAnswer", LIBUSB_ERROR_TIMEOUT, {}, true},
    {"TimeoutAfterSomeBytesGivesThoseBytes", LIBUSB_ERROR_TIMEOUT, {0x06, 0x31, 0x32}, true},
    {"DeviceGone", LIBUSB_ERROR_NO_DEVICE, {}, false},
    {"EndpointStalled", LIBUSB_ERROR_PIPE, {}, false},
    {"InputOutputError", LIBUSB_ERROR_IO, {0x06}, false},
};

void PrintTo(const TransferCase& transfer, std::ostream* out)
{
    *out << transfer.name;
}

// The transfer of the case under test in libusb_bulk_transfer's place, and what it was asked.
const TransferCase* gTransfer = nullptr;
struct TransferAsked {
    unsigned char endpoint = 0;
    int length = 0;
    unsigned int timeoutMs = 0;
} gAsked;

int FakeBulkTransfer(libusb_device_handle*, unsigned char endpoint, unsigned char* data, int length, int* transferred,
                     unsigned int timeoutMs)
{
    gAsked = {endpoint, length, timeoutMs};
    std::copy(gTransfer->bytes.begin(), gTransfer->bytes.end(), data);
    *transferred = static_cast<int>(gTransfer->bytes.size());
    return gTransfer->result;
}

class BulkRead : public ::testing::TestWithParam<TransferCase> {};

TEST_P(BulkRead, ATimeoutIsAnAnswerOfWhatCameAndOnlyAnErrorFails)
{
    gTransfer = &GetParam();
    std::vector<std::uint8_t> buffer(64, 0xEE);
    std::size_t read = 99;

    const bool answered = platform::ReadBulkAnswer(FakeBulkTransfer, nullptr, 0x81, buffer.data(), buffer.size(),
                                                   &read, 5000);

    EXPECT_EQ(answered, GetParam().answered);
    EXPECT_EQ(gAsked.endpoint, 0x81);
    EXPECT_EQ(gAsked.length, 64);
    EXPECT_EQ(gAsked.timeoutMs, 5000u);
    if (GetParam().answered) {
        ASSERT_EQ(read, GetParam().bytes.size());
        EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(read)),
                  GetParam().bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Transfers, BulkRead, ::testing::ValuesIn(kTransferCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SysfsSerial, IsTheKernelsTextWithoutItsLineEnd)
{
    FakeSysfsDevices sysfs;
    sysfs.AddDevice("3-1.4", "4D5256343146303030313233\n");

    EXPECT_EQ(platform::UsbSerialFromSysfs(sysfs.Dir(), "3-1.4"), "4D5256343146303030313233");
}

TEST(SysfsSerial, DeviceWithoutTheAttributeHasNone)
{
    FakeSysfsDevices sysfs;
    sysfs.AddDevice("3-1.4", "MRV1-0001\n");

    EXPECT_EQ(platform::UsbSerialFromSysfs(sysfs.Dir(), "3-2"), std::nullopt);
    EXPECT_EQ(platform::UsbSerialFromSysfs(sysfs.Dir() + "/missing", "3-1.4"), std::nullopt);
}

TEST(UsbDeviceNames, InterfacePathHasLowerCaseIdsTheSerialAndTheLocation)
{
    EXPECT_EQ(platform::FormatUsbInterfacePath(0x2F5D, 0x5550, "4D5256", "1-4.2"),
              "usb#vid_2f5d&pid_5550#4D5256#1-4.2");
}

TEST(UsbDeviceNames, HardwareIdHasUpperCaseIdsAndRevision)
{
    EXPECT_EQ(platform::FormatUsbHardwareId(0x2F5D, 0x4254, 0x01AB), "USB\\VID_2F5D&PID_4254&REV_01AB");
}

TEST(UsbDeviceNames, CompatibleIdHasTheClassTriple)
{
    EXPECT_EQ(platform::FormatUsbCompatibleId(0x07, 0x01, 0xFF), "USB\\Class_07&SubClass_01&Prot_ff");
}

} // namespace
