#pragma once
// A serial device as the transport sees it: line settings, non-blocking byte I/O,
// the four modem lines and purge. Two implementations: a tty through POSIX termios
// (termios_serial_device.h) and an in-memory virtual line (virtual_line.h).
//
// Thread rules: one reader thread calls Read; one writer thread calls Write and
// WaitWritable; the owner's thread calls the rest. Read and Write may run at the same
// time. Nothing here blocks except WaitWritable, for at most the time it is given.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct SerialLineConfig {
    std::uint32_t baudRate = 0;
    std::uint8_t dataBits = 8;
    char parity = 'N'; // 'N' none, 'E' even, 'O' odd, 'M' mark, 'S' space
    float stopBits = 1.0f;
};

struct ModemStatus {
    bool cts = false;
    bool dsr = false;
};

class SerialDevice {
public:
    virtual ~SerialDevice() = default; // closes the device

    // Applies line settings; false when the device refused them (it keeps what it had).
    virtual bool Configure(const SerialLineConfig& config) = 0;

    // Takes up to capacity received bytes without waiting. Returns the count (0 when
    // nothing has arrived) or -1 when the device failed (LastError tells why).
    virtual int Read(std::uint8_t* buffer, int capacity) = 0;

    // Hands up to length bytes to the device without waiting. Returns the count taken
    // (0 when the device has no room now) or -1 when the device failed.
    virtual int Write(const std::uint8_t* data, int length) = 0;

    // Waits up to ms milliseconds until the device has room for more bytes. True when
    // it has room or has failed (the next Write tells which).
    virtual bool WaitWritable(int ms) = 0;

    virtual bool SetRts(bool on) = 0;
    virtual bool SetDtr(bool on) = 0;

    // Reads CTS and DSR afresh; false when the device cannot tell.
    virtual bool GetModemStatus(ModemStatus* status) = 0;

    // Drops bytes not yet sent and bytes received but not yet read.
    virtual void Purge() = 0;

    // errno (or an equivalent) of the last failure, for messages.
    virtual int LastError() const = 0;
};

// Opens the device behind a normalised port name such as \\.\COM3, resolved through the
// port map (port_map.h). Returns nullptr when the port has no device, the device does not
// exist or is in use; *error then holds the reason (an errno value) when error is given.
std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& normalisedName, int* error = nullptr);

// Who may open a device file: its owner, its group and its permission bits.
struct DeviceAccess {
    std::string owner; // user name, or the uid in digits when it has none
    unsigned uid = 0;
    std::string group; // group name, or "" when the gid has none
    unsigned gid = 0;
    unsigned mode = 0; // permission bits, e.g. 0660
};

// Who asks to open a device: the process's effective user and every group it is in (its
// supplementary groups and its effective group).
struct ProcessIdentity {
    unsigned uid = 0;
    std::vector<unsigned> groups;
};

// Why a port could not be opened, in words a technician can act on: the device behind the
// port and what was wrong with it; for a device the user may not open, who may.
// portName: "COM5" (or normalised); error: what OpenSerialDevice reported.
std::string DescribePortOpenFailure(const std::string& portName, int error);

// The same from what is known of the device and of the process: device is "" when the
// port has none; access is what a look at the device file told, if anything. Reads nothing
// itself. A refused opening (EACCES, EPERM) advises joining the device's group only where
// that would help: the process neither owns the device nor is in its group yet, the group
// is not root's, and its bits let it read and write where the others' bits do not.
// Otherwise it names owner, group and mode; for root, which the permission bits never
// refuse, always just those.
std::string DescribePortOpenFailure(const std::string& portName, const std::string& device, int error,
                                    const std::optional<DeviceAccess>& access, const ProcessIdentity& process);

} // namespace platform
