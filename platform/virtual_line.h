#pragma once
// An in-memory serial line between the program (the host end, opened like any port)
// and a simulated printer (the printer end). It carries bytes both ways, keeps the line
// settings the host chose, and the four modem lines: RTS and DTR driven by the host,
// CTS and DSR by the printer.
//
// Like a real port: the host end opens exclusively (a second open fails with EBUSY),
// bytes sent to a host end that is not open are lost, and when the printer has set the
// line settings it listens at, bytes that the host sends with other settings (baud rate,
// data bits or parity) never reach it, as a UART would garble them. Unplug() makes the
// host's I/O and modem queries fail, as a pulled USB adapter does.
//
// Thread rules: every member may be called from any thread.

#include "platform/serial_device.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class VirtualLine : public std::enable_shared_from_this<VirtualLine> {
public:
    static std::shared_ptr<VirtualLine> Create();

    // Host end. nullptr with *error = EBUSY when it is open already, ENODEV when unplugged.
    std::unique_ptr<SerialDevice> OpenHostEnd(int* error = nullptr);
    bool HostIsOpen() const;
    SerialLineConfig HostConfig() const;
    bool Rts() const;
    bool Dtr() const;

    // Printer end.
    void SetCts(bool on);
    void SetDsr(bool on);
    bool Cts() const;
    bool Dsr() const;
    // The settings the printer listens at; nullopt: it takes bytes at any settings.
    void SetPrinterLineConfig(std::optional<SerialLineConfig> config);
    // Takes what the host sent (at most max bytes) without waiting.
    std::string TakeFromHost(std::size_t max = SIZE_MAX);
    // Waits up to ms for bytes from the host; true when some are queued.
    bool WaitForHostBytes(int ms);
    // Sends bytes to the host; lost when the host end is not open.
    void SendToHost(std::string_view bytes);

    // A pulled adapter: open host I/O fails with EIO, new opens with ENODEV.
    void Unplug();
    void Plug();

    // What crossed the line so far, in bytes (for benchmarks and tests).
    std::uint64_t BytesFromHost() const;
    std::uint64_t BytesToHost() const;

private:
    friend class VirtualHostEnd;
    VirtualLine() = default;

    bool ConfigsMatchLocked() const;

    mutable std::mutex mutex_;
    std::condition_variable fromHostArrived_;
    std::deque<std::uint8_t> fromHost_;
    std::deque<std::uint8_t> toHost_;
    bool hostOpen_ = false;
    bool unplugged_ = false;
    SerialLineConfig hostConfig_{};
    std::optional<SerialLineConfig> printerConfig_;
    bool rts_ = false;
    bool dtr_ = false;
    bool cts_ = false;
    bool dsr_ = false;
    std::uint64_t bytesFromHost_ = 0;
    std::uint64_t bytesToHost_ = 0;
};

// Virtual lines by name, so that the port map entry "virtual:NAME" finds them.
void RegisterVirtualLine(const std::string& name, std::shared_ptr<VirtualLine> line);
void UnregisterVirtualLine(const std::string& name);
std::shared_ptr<VirtualLine> FindVirtualLine(const std::string& name);

} // namespace platform
