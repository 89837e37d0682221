#include "platform/port_map.h"

#include <atomic>
#include <cctype>
#include <charconv>

namespace platform {
namespace {

std::atomic<PortMapSource*> g_source{nullptr};

constexpr std::string_view kDevicePrefix = "\\\\.\\";
constexpr std::string_view kComPrefix = "COM";
constexpr int kPortsPerDeviceFamily = 32;

struct DeviceFamily {
    const char* pathStem;
};
constexpr DeviceFamily kDeviceFamilies[] = {{"/dev/ttyS"}, {"/dev/ttyUSB"}, {"/dev/ttyACM"}};

// "COM12" -> 12; 0 when the text is not COM followed by digits only.
int PortNumberOf(std::string_view key)
{
    if (key.substr(0, kComPrefix.size()) != kComPrefix)
        return 0;
    std::string_view digits = key.substr(kComPrefix.size());
    if (digits.empty() || digits.size() > 6)
        return 0;
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size())
        return 0;
    return number;
}

} // namespace

PortMapSource* SetPortMapSource(PortMapSource* source)
{
    return g_source.exchange(source);
}

std::string DefaultDeviceForPort(int portNumber)
{
    if (portNumber < 1)
        return {};
    const int family = (portNumber - 1) / kPortsPerDeviceFamily;
    if (family >= static_cast<int>(std::size(kDeviceFamilies)))
        return {};
    return kDeviceFamilies[family].pathStem + std::to_string((portNumber - 1) % kPortsPerDeviceFamily);
}

std::string ResolvePortDevice(std::string_view normalisedName)
{
    if (normalisedName.substr(0, kDevicePrefix.size()) == kDevicePrefix)
        normalisedName.remove_prefix(kDevicePrefix.size());
    const std::string key(normalisedName);
    const int number = PortNumberOf(key);
    if (number == 0)
        return {};
    if (const PortMapSource* source = g_source.load()) {
        if (std::optional<std::string> entry = source->Lookup(key); entry && !entry->empty())
            return *entry;
    }
    return DefaultDeviceForPort(number);
}

} // namespace platform
