#pragma once
// A simulated airport printer for tests and trials. It plays one boarding-pass (BPP) or
// bag-tag (BTP) printer on the printer end of a virtual line, in process: it answers the
// host's request frames, takes firmware blocks, and drives CTS and DSR. Faults can be
// scripted per request.
//
// Thread rules: the printer serves its line on a thread of its own from construction to
// destruction. Every public member may be called from any thread.

#include "platform/serial_device.h"
#include "platform/virtual_line.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace printer_sim {

enum class PrinterType { BPP, BTP };

struct PrinterConfig {
    PrinterType type = PrinterType::BTP;
    std::string identity = "YT00000006060"; // payload of the reply to CMD_IDENTIFY
    // The line settings at which the printer's UART listens; bytes sent at other settings
    // never reach it (on a virtual line: baud rate, data bits and parity must all match).
    platform::SerialLineConfig line{19200, 8, 'N', 1.0f};
    bool cts = true;
    bool dsr = true;
    std::string settingsRecord;      // payload of REPLY_SETTINGS
    std::string eepromRecord;        // payload of REPLY_EEPROM_SETTINGS
    bool usbCapable = false;         // answers "USB" to CMD_QUERY_UPDATE_MODE
    std::uint32_t restartDsrLowMs = 1000; // after CMD_FIRMWARE_END: DSR low this long, then high
};

// What the printer does with the next request(s) instead of its normal reply.
enum class FaultKind {
    Silence,       // no reply at all
    WrongCrc,      // the reply with a damaged CRC byte
    InChunks,      // the reply split into `chunks` parts with `gapMs` between them
    Delayed,       // the reply after `delayMs`
    Refuse,        // a complete reply with code `refuseCode` instead of the normal one;
                   // the printer does not act on the request (a refused block is not taken)
    GarbageBefore, // `garbage` bytes, then the normal reply
};

struct Fault {
    FaultKind kind = FaultKind::Silence;
    std::optional<std::uint8_t> command; // only requests with this command code; any when empty
    int times = 1;                       // how many matching requests it applies to; -1: all
    int chunks = 3;
    std::uint32_t gapMs = 100;
    std::uint32_t delayMs = 0;
    std::uint8_t refuseCode = 0x61;
    std::string garbage = std::string("\x55\xAA\x09\x01", 4);
};

// One request frame the printer received.
struct ReceivedFrame {
    std::uint8_t command = 0;
    std::uint8_t flags = 0;
    std::uint8_t direction = 0;
    std::string payload;
};

class SimulatedPrinter {
public:
    // Serves the printer end of line; sets the line's CTS/DSR and printer line settings.
    SimulatedPrinter(std::shared_ptr<platform::VirtualLine> line, PrinterConfig config);
    ~SimulatedPrinter();
    SimulatedPrinter(const SimulatedPrinter&) = delete;
    SimulatedPrinter& operator=(const SimulatedPrinter&) = delete;

    const std::shared_ptr<platform::VirtualLine>& Line() const;

    void SetCts(bool on);
    void SetDsr(bool on);
    void SetIdentity(const std::string& identity);
    void SetSettingsRecord(const std::string& record);
    void SetEepromRecord(const std::string& record);
    // How long DSR stays low in the restarts after CMD_FIRMWARE_END from now on.
    void SetRestartDsrLowMs(std::uint32_t ms);

    void AddFault(const Fault& fault);
    void ClearFaults();

    // The USB update mode. A serially silent printer hears nothing on its line. Without a
    // hook the printer answers CMD_SWITCH_UPDATE_MODE with REPLY_NO_SWITCH. With a hook, a
    // usbCapable printer instead falls silent on the line without a reply and then runs the
    // hook on its serving thread (where it appears as a USB device).
    void SetOnSwitchToUpdateMode(std::function<void()> hook);
    void SetSerialSilent(bool silent);
    bool SerialSilent() const;

    // Every request frame received so far, in order.
    std::vector<ReceivedFrame> ReceivedFrames() const;
    // Waits up to ms (real milliseconds) until at least count frames have been received.
    bool WaitForFrames(std::size_t count, int ms) const;

    // Firmware reception: the image assembled from the blocks received in order (a block
    // sent again after a refusal replaces what it covers), the block headers as received,
    // and whether CMD_FIRMWARE_END came. A block whose header is not "total#size#index#",
    // whose data is not size bytes long, or whose index is neither the next one nor the last
    // one again is answered with REPLY_NO_SWITCH (kFirmwareBlockRefusal). Block 0 starts a
    // new image.
    std::string FirmwareImage() const;
    std::vector<std::string> FirmwareBlockHeaders() const;
    bool FirmwareEnded() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace printer_sim
