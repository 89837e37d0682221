#include "tools/printer-sim/default_records.h"

#include <cstdio>
#include <string_view>

namespace printer_sim {
namespace {

constexpr char kDelete = '\x7F';
constexpr char kDeviceGroup = '~';
constexpr char kEepromGroup = '|';

class RecordBuilder {
public:
    // A text value, as hexadecimal pairs.
    RecordBuilder& Text(char group, char parameter, std::string_view text)
    {
        Key(group, parameter);
        for (const char c : text) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
            record_ += pair;
        }
        return *this;
    }

    RecordBuilder& Number(char group, char parameter, int value)
    {
        Key(group, parameter);
        char text[16];
        std::snprintf(text, sizeof text, "%+d", value);
        record_ += text;
        return *this;
    }

    std::string Close() const { return record_ + kDelete; }

private:
    void Key(char group, char parameter)
    {
        record_ += kDelete;
        record_ += group;
        record_ += parameter;
    }

    std::string record_;
};

constexpr char kBppModel[] = "MRV58E";
constexpr char kBtpModel[] = "MRV41E";
constexpr char kBppSerial[] = "SIMBPP0001";
constexpr char kBtpSerial[] = "SIMBTP0001";

} // namespace

std::string DefaultSettingsRecord(PrinterType type)
{
    const bool bpp = type == PrinterType::BPP;
    RecordBuilder record;
    record.Text(kDeviceGroup, 0x14, bpp ? kBppModel : kBtpModel)
        .Text(kDeviceGroup, 0x15, bpp ? kBppSerial : kBtpSerial)
        .Text(kDeviceGroup, 0x10, bpp ? "BPPBTP" : "BTPBPP");
    if (bpp)
        record.Text(kDeviceGroup, 0x12, "AEA FGL ").Number(kDeviceGroup, 0x01, 2).Number(kDeviceGroup, 0x03, 0x10);
    else
        record.Text(kDeviceGroup, 0x11, "SITAAEA ARINFGL ").Number(kDeviceGroup, 0x01, 1).Number(kDeviceGroup, 0x03, 1);
    record.Number(kDeviceGroup, 0x04, 19200).Text(kDeviceGroup, 0x05, "N").Text(kDeviceGroup, 0x06, "8");
    return record.Close();
}

std::string DefaultEepromRecord(PrinterType type)
{
    const bool bpp = type == PrinterType::BPP;
    RecordBuilder record;
    record.Text(kDeviceGroup, 0x14, bpp ? kBppModel : kBtpModel)
        .Text(kDeviceGroup, 0x15, bpp ? kBppSerial : kBtpSerial)
        .Number(kEepromGroup, 0x10, 0)
        .Number(kEepromGroup, 0x11, 34)
        .Number(kEepromGroup, 0x12, 13)
        .Number(kEepromGroup, 0x13, 350)
        .Number(kEepromGroup, 0x14, 350)
        .Number(kEepromGroup, 0x15, 0)
        .Number(kEepromGroup, 0x16, 0)
        .Number(kEepromGroup, 0x17, 1);
    return record.Close();
}

} // namespace printer_sim
