#pragma once
// The printer frame, the reply parser, transactions and the send thread.
//
// Frame: 09 01 flags direction command, seven length digits, the payload with 0x10 before
// every byte outside 0x20..0x7F, 08, and a CRC-8 reduced to seven bits. The CRC covers the
// command byte, the digits and the payload bytes as sent (escapes included).
//
// Frames and payloads are byte strings: byte values 0..255 stand for U+0000..U+00FF.
//
// Thread rules: building and parsing are reentrant. A transaction runs on the calling
// thread. One send job at a time runs on the parser's send thread; it reports only by
// posting WM_LOAD_PROGRESS, WM_UPDATING_FLASH and WM_SEND_DONE to its notify window, and
// writes its result (GetResult) before it posts WM_SEND_DONE. Only one exchange may run on
// one transport at a time: two readers of one receive queue would split a reply.

#include "platform/window_message.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class CComms;

extern std::array<std::uint8_t, 256> g_crcTable;

// Receive state of one transaction or file; the caller owns it and zeroes it first.
struct MessageParseState {
    std::int32_t state = 0;
    std::uint8_t crc = 0;
    std::uint32_t flags = 0;
    std::uint32_t command = 0; // after a complete frame: its reply code
    // The length field whole, and the payload characters seen against it: a frame whose
    // field differs from its payload by any amount is not taken.
    std::uint32_t length = 0;
    std::uint32_t count = 0;
};

class CQVMessageParser;

// The job handed to the send thread; the thread owns and frees it.
struct CSendThreadContext {
    CComms* transport = nullptr;
    CQVMessageParser* parser = nullptr;
    std::uint32_t flags = 0;
    std::uint32_t command = 0;
    std::unique_ptr<std::string> payload;             // payload mode
    std::unique_ptr<std::vector<std::uint8_t>> data;  // data mode: a copy of the image
    std::uint32_t dataLength = 0;
    std::uint32_t blockSize = 0;
    platform::WindowHandle notifyWindow = platform::kNoWindow;

    bool IsDataMode() const { return data != nullptr && dataLength != 0; }
};

class CQVMessageParser {
public:
    // States of the reply parser.
    enum ParseStateNumber : std::int32_t {
        PARSE_IDLE = 0,
        PARSE_ESCAPE = 1,
        PARSE_PAYLOAD = 2,
        PARSE_FLAGS = 9,
        PARSE_DIRECTION = 10,
        PARSE_COMMAND = 12,
        PARSE_START = 13,
        PARSE_LENGTH = 14,
        PARSE_CRC = 15,
    };

    // The longest payload the reply parser takes; a frame that declares more is abandoned at
    // its last length digit.
    static constexpr std::uint32_t kLongestPayload = 0xFFFF;
    // The longest frame the reply parser takes whole: header and seven digits, the longest
    // payload with every character escaped, end byte and CRC.
    static constexpr std::uint32_t kLongestFrameBytes = 12 + 2 * kLongestPayload + 2;

    static constexpr std::uint32_t kTransactTimeoutMs = 1500;
    static constexpr std::uint32_t kSendJobTimeoutMs = 15000;
    static constexpr std::uint32_t kFirmwareBlockSize = 8192;
    static constexpr std::uint32_t kMinimumBlockSize = 2048;

    CQVMessageParser();
    virtual ~CQVMessageParser();
    CQVMessageParser(const CQVMessageParser&) = delete;
    CQVMessageParser& operator=(const CQVMessageParser&) = delete;

    // ---- frames
    static std::string& BuildMessage(std::string& out, std::uint8_t flags, std::uint8_t direction,
                                     std::uint8_t command, std::string payload);
    static std::string& BuildRequest(std::string& out, std::uint8_t flags, std::uint8_t command, std::string payload);
    static bool ParseByte(std::string& payload, std::uint8_t b, MessageParseState& state);
    static char16_t ByteToChar(std::uint8_t b);
    // The payload of a stored message (a configuration file) when bytes are exactly one whole
    // frame: 09 01, flags 0, FRAME_DIRECTION_FILE, the given command, a length field equal to
    // its payload and the right CRC, with nothing before or after it. Nothing otherwise.
    static std::optional<std::string> StoredMessagePayload(std::string_view bytes, std::uint8_t command);

    // ---- transactions on the calling thread
    // The time-out counts from the last byte of a frame whose header was whole with a length
    // that fits (a header that began in time may finish after it); other bytes, which
    // leave the parser idle or abandon the frame in its header, do not extend it, so a
    // device that talks without framing costs the time-out and no more. No transaction
    // outlasts its time-out plus the line time of kLongestFrameBytes at the transport's line
    // settings (plus the loop's own pauses while reading such a frame), however the other
    // end keeps talking.
    // abort, when given, ends the wait early with false (used by stoppable callers).
    static bool TransactWithTimeout(CComms* transport, const std::string& frame, std::uint32_t timeoutMs,
                                    MessageParseState* state, std::string* reply,
                                    const std::atomic<bool>* abort = nullptr);
    static bool Transact(CComms* transport, const std::string& frame, MessageParseState* state, std::string* reply);
    static bool SendCommand(CComms* transport, std::uint8_t flags, std::uint8_t command, const std::string& payload,
                            std::uint32_t timeoutMs, MessageParseState* state, std::string* reply,
                            const std::atomic<bool>* abort = nullptr);

    // ---- send jobs on the send thread
    bool StartSendThread(CComms* transport, std::uint8_t command, const std::string& payload,
                         platform::WindowHandle notify);
    // A firmware image in acknowledged blocks of blockSize bytes.
    bool StartDataSendThread(CComms* transport, const std::uint8_t* data, std::uint32_t length,
                             std::uint32_t blockSize, platform::WindowHandle notify);
    bool GetResult(bool* ok, MessageParseState* state, std::string* reply) const;
    // The code of the job's last reply when it was taken whole; none when the last exchange
    // timed out, even after a frame whose CRC failed (its command byte is read before its CRC).
    std::optional<std::uint8_t> LastReplyCode() const;

    bool IsRunning() const { return running_.load(); }
    // Asks a data-mode job to stop before its next block, or to end its wait for the
    // printer's restart; a job stopped in that wait still reports its result.
    void RequestStop() { stopRequested_.store(true); }
    void ClearStopRequest() { stopRequested_.store(false); }
    // Waits up to ms for the send thread to end; true when it has. Reaps a finished thread.
    bool WaitForSendThread(std::uint32_t ms);
    // Ends a running job at its next wait, as the destructor does: the job posts nothing
    // more. Returns once the thread has ended, so its transport may be closed afterwards;
    // true when the job ended without reporting its result (WM_SEND_DONE). Such a job
    // reads as failed in GetResult.
    bool AbortSendThread();

private:
    bool StartJob(std::unique_ptr<CSendThreadContext> context);
    void SendThreadMain(std::unique_ptr<CSendThreadContext> context);
    void SendThreadRun(CSendThreadContext* context);
    void RunDataJob(CSendThreadContext* context);
    // One exchange of the job; its outcome becomes the job's last state, reply and reply code.
    bool JobExchange(const CSendThreadContext* context, std::uint8_t command, const std::string& payload);
    void WaitForPrinterRestart(CComms* transport);
    bool StopAsked() const { return stopRequested_.load() || stopOnDestruction_.load(); }
    void ReapThread();

    std::thread sendThread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> stopOnDestruction_{false};
    std::atomic<bool> jobReported_{false}; // the current job has posted WM_SEND_DONE
    MessageParseState lastState_{};
    std::string lastReply_;
    bool lastReplied_ = false; // the last exchange took a reply whole
    bool lastOk_ = false;
    std::uint32_t blockCounter_ = 0;
};
