#pragma once
// The protocol engine of the simulated printer, free of any transport: it takes the bytes
// the host sent, finds the request frames in them, answers each through a PrinterMedium,
// assembles firmware blocks and plays the restart on DSR after a firmware load. The
// virtual line (simulated_printer.h) and the pseudo-terminal (pty_printer.h) are its media.
//
// Thread rules: Receive is called by one serving thread only; it replies on that thread
// and may wait there (delayed and chunked replies) until Stop. Every other member may
// be called from any thread. The restart after CMD_FIRMWARE_END runs on a thread of the
// engine's own, so the serving thread keeps answering meanwhile.

#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "tools/printer-sim/simulated_printer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace printer_sim {

// Where the printer's replies go, and its DSR line.
class PrinterMedium {
public:
    virtual ~PrinterMedium() = default;
    // Hands reply bytes to the host. Serving thread only; may take as long as the line needs.
    virtual void Send(std::string_view bytes) = 0;
    // Drives DSR; called from the serving thread or the restart thread. A medium without
    // modem lines ignores it.
    virtual void SetDsr(bool on) = 0;
};

// What the printer answers to bad firmware blocks: it has no code of its own for that, so
// it uses its general "no".
inline constexpr std::uint8_t kFirmwareBlockRefusal = REPLY_NO_SWITCH;

class PrinterEngine {
public:
    using FrameObserver = std::function<void(const ReceivedFrame&)>;

    PrinterEngine(PrinterConfig config, PrinterMedium& medium);
    ~PrinterEngine(); // stops, and waits for the restart thread
    PrinterEngine(const PrinterEngine&) = delete;
    PrinterEngine& operator=(const PrinterEngine&) = delete;

    // Bytes from the host, in the order received. Serving thread only.
    void Receive(std::string_view bytes);
    // Cuts every wait short; Receive then returns without replying further.
    void Stop();

    PrinterConfig Config() const;
    void SetIdentity(const std::string& identity);
    void SetSettingsRecord(const std::string& record);
    void SetEepromRecord(const std::string& record);
    // How long DSR stays low in the restarts that follow from now on.
    void SetRestartDsrLowMs(std::uint32_t ms);
    void AddFault(const Fault& fault);
    void ClearFaults();

    // Called on the serving thread after each request frame, before the reply.
    void SetFrameObserver(FrameObserver observer);

    // The USB update mode. A serially silent printer hears nothing on its serial line.
    // The hook, when set, is what a USB-capable printer does on CMD_SWITCH_UPDATE_MODE:
    // it falls silent on the serial line first (without a reply), then the hook runs on the
    // serving thread (there the printer appears as a USB device).
    void SetOnSwitchToUpdateMode(std::function<void()> hook);
    void SetSerialSilent(bool silent);
    bool SerialSilent() const;

    std::vector<ReceivedFrame> ReceivedFrames() const;
    bool WaitForFrames(std::size_t count, int ms) const;
    std::string FirmwareImage() const;
    std::vector<std::string> FirmwareBlockHeaders() const;
    bool FirmwareEnded() const;

private:
    struct ReplyMessage {
        std::uint8_t code = REPLY_ACK;
        std::string payload;
    };
    // What one request leads to: the reply (none when the printer stays silent) and the
    // actions that follow it.
    struct Outcome {
        std::optional<ReplyMessage> reply;
        bool restart = false;
        bool switchToUpdateMode = false;
    };

    void HandleRequest(const ReceivedFrame& frame);
    Outcome AnswerLocked(const ReceivedFrame& frame);
    Outcome AnswerSwitchUpdateModeLocked() const;
    bool AcceptFirmwareBlockLocked(const std::string& payload);
    std::optional<Fault> TakeFaultLocked(std::uint8_t command);
    void Deliver(std::string frame, const std::optional<Fault>& fault);
    void StartRestart();

    PrinterMedium& medium_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> silent_{false};

    // Serving thread only.
    MessageParseState parseState_{};
    std::string parsePayload_;
    std::uint8_t direction_ = 0;

    mutable std::mutex mutex_; // guards everything below
    FrameObserver observer_;
    std::function<void()> switchHook_;
    mutable std::condition_variable framesArrived_;
    PrinterConfig config_;
    std::vector<Fault> faults_;
    std::vector<ReceivedFrame> frames_;
    std::string image_;
    std::vector<std::size_t> blockOffsets_; // where each accepted block starts in image_
    std::vector<std::string> blockHeaders_;
    bool ended_ = false;

    std::mutex restartMutex_;
    std::thread restartThread_;
};

} // namespace printer_sim
