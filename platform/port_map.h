#pragma once
// Which device stands behind a port name COMn. The per-user profile can map a port to
// a device path ("COM3=/dev/ttyUSB0") or to a registered virtual line
// ("COM3=virtual:printer"); without an entry the usual Linux convention applies:
// COM1..COM32 are /dev/ttyS0..31, COM33..COM64 /dev/ttyUSB0..31, COM65..COM96
// /dev/ttyACM0..31, and higher numbers have no device.
//
// The map's entries reach this layer through PortMapSource, a plain interface that
// the application implements over its profile; this layer knows nothing of the profile.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::string_view kVirtualDevicePrefix = "virtual:";

class PortMapSource {
public:
    virtual ~PortMapSource() = default;
    // The entry for a key such as "COM3", if the map has one. Called from any thread.
    virtual std::optional<std::string> Lookup(const std::string& key) const = 0;
};

// Installs the process-wide source (nullptr: defaults only). Returns the previous one.
PortMapSource* SetPortMapSource(PortMapSource* source);

// The conventional device of port number n, or "" when it has none.
std::string DefaultDeviceForPort(int portNumber);

// The device for a normalised name such as \\.\COM3: a device path, "virtual:NAME",
// or "" when the name is no COM port or the port has no device.
std::string ResolvePortDevice(std::string_view normalisedName);

} // namespace platform
