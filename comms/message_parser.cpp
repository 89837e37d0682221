// Transactions with the printer and the send thread.
#include "comms/message_parser.h"

#include "comms/comms.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "platform/timing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace timing = platform::timing;

namespace {

constexpr int kMaxDrainBytes = 201;
constexpr std::uint32_t kMinimumTimeoutMs = 1000;
constexpr std::uint32_t kPauseAfterWriteMs = 50;
constexpr std::uint32_t kEmptyQueuePauseMs = 20;
constexpr int kBytesBeforePause = 51; // the 52nd byte in a row without a frame pauses, or looks at the time
constexpr std::uint32_t kFrameStreamPauseMs = 10;
constexpr int kThreadStartPolls = 50;
constexpr std::uint32_t kThreadStartPollMs = 10;
constexpr std::uint32_t kThreadSettleMs = 50;
constexpr int kMaxBlockFailures = 3;
constexpr int kRestartWaits = 100;
constexpr std::uint32_t kRestartWaitMs = 500;
constexpr char kBlockHeaderFormat[] = "%d#%d#%d#";
constexpr char kNoParity = 'N';
constexpr std::uint32_t kStartBits = 1;
constexpr std::uint64_t kMsPerSecond = 1000;
// After the deadline a header still being received may finish while its bytes keep coming:
// the longest silence between two of its bytes that still counts as coming. Far above a
// character time at any rate and the reader's pauses, well below the time-out.
constexpr std::uint32_t kHeaderByteGapMs = 500;
// The most pauses the loop takes while it reads the longest frame, one more for the bytes
// before it that were counted in the same row.
constexpr int kLongestFramePauses =
    static_cast<int>((CQVMessageParser::kLongestFrameBytes + kBytesBeforePause) / (kBytesBeforePause + 1)) + 1;

// Bits that one character takes on the line: start bit, data bits, parity bit, stop bits
// (one and a half counted as two).
std::uint32_t BitsPerCharacter(const CCommsSerialChannel& channel)
{
    const std::uint32_t parityBits = channel.Parity() == kNoParity ? 0 : 1;
    const auto stopBits = static_cast<std::uint32_t>(std::ceil(channel.StopBits()));
    return kStartBits + channel.DataBits() + parityBits + std::max<std::uint32_t>(stopBits, 1);
}

// How long the longest frame the receiver takes is on the line at the port's settings.
std::uint32_t LongestFrameLineMs(const CCommsSerialChannel& channel)
{
    const std::uint64_t baudRate = std::max<std::uint32_t>(channel.BaudRate(), CCommsSerialChannel::kMinimumBaudRate);
    const std::uint64_t bits = std::uint64_t{CQVMessageParser::kLongestFrameBytes} * BitsPerCharacter(channel);
    return static_cast<std::uint32_t>((bits * kMsPerSecond + baudRate - 1) / baudRate);
}

// Where the receiver stands in a frame: its header (start byte to the last length digit),
// or past it, in a frame whose header was whole and whose length fits.
bool InFrameHeader(const MessageParseState& state)
{
    switch (state.state) {
    case CQVMessageParser::PARSE_START:
    case CQVMessageParser::PARSE_FLAGS:
    case CQVMessageParser::PARSE_DIRECTION:
    case CQVMessageParser::PARSE_COMMAND:
    case CQVMessageParser::PARSE_LENGTH:
        return true;
    default:
        return false;
    }
}

bool InFrameBody(const MessageParseState& state)
{
    return state.state == CQVMessageParser::PARSE_PAYLOAD || state.state == CQVMessageParser::PARSE_ESCAPE ||
           state.state == CQVMessageParser::PARSE_CRC;
}

// A transaction's receive loop; abort (when given) ends it early with false.
//
// The deadline counts from the last byte of a frame whose header was whole with a length
// that fits. Other bytes do not hold the transaction open: a device that talks without
// framing (text, or binary data, where every 0x09 starts a frame that the next bytes
// abandon) costs a transaction its time-out and no more. A header that began before the
// deadline may still finish after it, as long as its bytes keep coming (kHeaderByteGapMs),
// so a reply that starts just in time is not cut in its header, while a header that stops
// there ends the transaction soon after its time-out. Beyond that, no transaction outlasts its
// time-out plus the line time of the longest frame the receiver takes, plus the loop's own
// pauses while it reads such a frame (every 52 bytes it pauses, which at high baud rates is
// slower than the line): a port that keeps sending well-formed frames without ever finishing
// one ends there, and a genuine reply never reaches that limit.
//
// Bytes outside a frame are read without the pause, so that a stream of them never outruns
// the loop and a reply behind them is read while it is still in time.
bool Transaction(CComms* transport, const std::string& frame, std::uint32_t timeoutMs, MessageParseState* state,
                 std::string* reply, const std::atomic<bool>* abort)
{
    if (transport == nullptr || frame.empty())
        return false;

    std::uint8_t b = 0;
    for (int drained = 0; drained < kMaxDrainBytes && transport->ReadByte(&b); ++drained) {
    }

    const std::uint32_t timeout = std::max(timeoutMs, kMinimumTimeoutMs);
    reply->clear();
    *state = MessageParseState{};

    if (transport->Write(std::string_view(frame), abort) <= 0)
        return false;

    static const std::atomic<bool> kNeverAbort{false};
    const std::atomic<bool>& aborted = abort != nullptr ? *abort : kNeverAbort;
    if (timing::SleepUnless(kPauseAfterWriteMs, aborted))
        return false;
    timing::Deadline deadline(timeout);
    timing::Deadline overall(timeout + LongestFrameLineMs(transport->SerialChannel()));
    int framePausesCredited = 0;
    // Whether the header being received began before the deadline passed, and when its
    // latest byte came.
    bool headerInTime = false;
    std::uint64_t lastHeaderByteAt = 0;
    const auto timedOut = [&] {
        return deadline.Passed() &&
               !(headerInTime && InFrameHeader(*state) && timing::NowMs() - lastHeaderByteAt <= kHeaderByteGapMs);
    };

    int bytesWithoutFrame = 0;
    while (!aborted.load() && !overall.Passed()) {
        if (!transport->ReadByte(&b)) {
            transport->WaitForReceived(kEmptyQueuePauseMs);
            if (timedOut())
                return false;
            continue;
        }
        const bool wasInBody = InFrameBody(*state);
        if (CQVMessageParser::ParseByte(*reply, b, *state))
            return true;
        // A byte of a frame whose header was whole, the one that made it whole included.
        const bool frameByte = wasInBody || InFrameBody(*state);
        if (!frameByte && InFrameHeader(*state)) {
            if (state->state == CQVMessageParser::PARSE_START)
                headerInTime = !deadline.Passed();
            lastHeaderByteAt = timing::NowMs();
        }
        if (bytesWithoutFrame < kBytesBeforePause) {
            ++bytesWithoutFrame;
            if (frameByte)
                deadline.Arm(timeout);
            continue;
        }
        bytesWithoutFrame = 0;
        if (!frameByte) {
            if (timedOut())
                return false;
            continue;
        }
        const std::uint64_t pausedAt = timing::NowMs();
        timing::SleepMs(kFrameStreamPauseMs);
        if (framePausesCredited < kLongestFramePauses) {
            overall.Extend(timing::NowMs() - pausedAt);
            ++framePausesCredited;
        }
        deadline.Arm(timeout);
    }
    return false;
}

platform::LParam AsLParam(const void* object)
{
    return reinterpret_cast<platform::LParam>(object);
}

} // namespace

CQVMessageParser::CQVMessageParser() = default;

CQVMessageParser::~CQVMessageParser()
{
    stopOnDestruction_.store(true);
    stopRequested_.store(true);
    // Every wait of the job is cut short by the flag, so the thread ends within a poll.
    if (sendThread_.joinable())
        sendThread_.join();
    running_.store(false);
}

bool CQVMessageParser::AbortSendThread()
{
    stopOnDestruction_.store(true);
    stopRequested_.store(true);
    ReapThread();
    stopOnDestruction_.store(false);
    stopRequested_.store(false);
    const bool lost = !jobReported_.load();
    // A job cut short did not succeed, whatever its last exchange gave (a firmware load
    // ended in its wait for the printer's restart had its end command acknowledged).
    if (lost)
        lastOk_ = false;
    return lost;
}

bool CQVMessageParser::TransactWithTimeout(CComms* transport, const std::string& frame, std::uint32_t timeoutMs,
                                           MessageParseState* state, std::string* reply,
                                           const std::atomic<bool>* abort)
{
    return Transaction(transport, frame, timeoutMs, state, reply, abort);
}

bool CQVMessageParser::Transact(CComms* transport, const std::string& frame, MessageParseState* state,
                                std::string* reply)
{
    return TransactWithTimeout(transport, frame, kTransactTimeoutMs, state, reply);
}

bool CQVMessageParser::SendCommand(CComms* transport, std::uint8_t flags, std::uint8_t command,
                                   const std::string& payload, std::uint32_t timeoutMs, MessageParseState* state,
                                   std::string* reply, const std::atomic<bool>* abort)
{
    if (transport == nullptr)
        return false;
    std::string frame;
    BuildRequest(frame, flags, command, payload);
    return TransactWithTimeout(transport, frame, timeoutMs, state, reply, abort);
}

bool CQVMessageParser::StartSendThread(CComms* transport, std::uint8_t command, const std::string& payload,
                                       platform::WindowHandle notify)
{
    if (notify == platform::kNoWindow || transport == nullptr || running_.load())
        return false;
    auto context = std::make_unique<CSendThreadContext>();
    context->transport = transport;
    context->parser = this;
    context->command = command;
    context->payload = std::make_unique<std::string>(payload);
    context->notifyWindow = notify;
    return StartJob(std::move(context));
}

bool CQVMessageParser::StartDataSendThread(CComms* transport, const std::uint8_t* data, std::uint32_t length,
                                           std::uint32_t blockSize, platform::WindowHandle notify)
{
    if (notify == platform::kNoWindow || transport == nullptr || running_.load() || data == nullptr || length == 0)
        return false;
    stopRequested_.store(false);
    auto context = std::make_unique<CSendThreadContext>();
    context->transport = transport;
    context->parser = this;
    context->command = CMD_FIRMWARE_BLOCK;
    context->data = std::make_unique<std::vector<std::uint8_t>>(data, data + length);
    context->data->push_back(0);
    context->dataLength = length;
    context->blockSize = blockSize;
    context->notifyWindow = notify;
    return StartJob(std::move(context));
}

bool CQVMessageParser::StartJob(std::unique_ptr<CSendThreadContext> context)
{
    ReapThread();
    stopOnDestruction_.store(false);
    // A job that never gets to run must not leave the previous job's result behind.
    lastOk_ = false;
    lastState_ = MessageParseState{};
    lastReply_.clear();
    lastReplied_ = false;
    jobReported_.store(false);
    sendThread_ = std::thread(&CQVMessageParser::SendThreadMain, this, std::move(context));
    for (int poll = 0; poll < kThreadStartPolls && !running_.load(); ++poll)
        timing::SleepMs(kThreadStartPollMs);
    return running_.load();
}

void CQVMessageParser::ReapThread()
{
    if (sendThread_.joinable())
        sendThread_.join();
}

bool CQVMessageParser::WaitForSendThread(std::uint32_t ms)
{
    const std::uint64_t start = timing::NowMs();
    while (running_.load() && timing::NowMs() - start < ms)
        timing::SleepMs(kThreadStartPollMs);
    if (running_.load())
        return false;
    ReapThread();
    return true;
}

void CQVMessageParser::SendThreadMain(std::unique_ptr<CSendThreadContext> context)
{
    running_.store(true);
    if (!timing::SleepUnless(kThreadSettleMs, stopOnDestruction_))
        SendThreadRun(context.get());
    context.reset();
    stopRequested_.store(false);
    running_.store(false);
}

void CQVMessageParser::SendThreadRun(CSendThreadContext* context)
{
    lastOk_ = false;
    blockCounter_ = 0;
    if (context == nullptr)
        return;

    if (context->IsDataMode()) {
        RunDataJob(context);
    } else {
        const std::string payload = context->payload ? *context->payload : std::string();
        lastOk_ = JobExchange(context, static_cast<std::uint8_t>(context->command), payload);
    }

    // A job ended by the owner's destruction reports nothing: its window is going.
    if (stopOnDestruction_.load() || context->notifyWindow == platform::kNoWindow)
        return;
    if (context->command == CMD_FIRMWARE_BLOCK && lastOk_ && context->transport != nullptr) {
        platform::PostWindowMessage(context->notifyWindow, WM_UPDATING_FLASH, 1, AsLParam(this));
        WaitForPrinterRestart(context->transport);
        if (stopOnDestruction_.load())
            return;
    }
    jobReported_.store(true);
    platform::PostWindowMessage(context->notifyWindow, WM_SEND_DONE, lastOk_ ? 1 : 0, AsLParam(this));
}

void CQVMessageParser::RunDataJob(CSendThreadContext* context)
{
    const std::uint32_t total = context->dataLength;
    const std::uint8_t* data = context->data->data();
    std::uint32_t offset = 0;
    std::uint32_t index = 0;
    // A block never reaches past the image, and is never empty.
    std::uint32_t size = std::clamp<std::uint32_t>(context->blockSize, 1, total);
    int failures = 0;

    while (offset < total) {
        if (failures >= kMaxBlockFailures || StopAsked()) {
            lastOk_ = false;
            return;
        }
        lastOk_ = false;
        char header[64];
        std::snprintf(header, sizeof header, kBlockHeaderFormat, static_cast<int>(total), static_cast<int>(size),
                      static_cast<int>(index));
        std::string payload(header);
        payload.append(reinterpret_cast<const char*>(data + offset), size);

        const bool replied = JobExchange(context, static_cast<std::uint8_t>(context->command), payload);
        if (replied && lastState_.command == REPLY_ACK) {
            lastOk_ = true;
            ++index;
            offset += size;
            size = std::min(size, total - offset);
            failures = 0;
            platform::PostWindowMessage(context->notifyWindow, WM_LOAD_PROGRESS, 1, blockCounter_);
            ++blockCounter_;
        } else {
            if (size > kMinimumBlockSize)
                size = std::max(size / 2, kMinimumBlockSize);
            ++failures;
        }
    }

    if (JobExchange(context, static_cast<std::uint8_t>(context->command + 1), {}))
        lastOk_ = lastState_.command == REPLY_ACK;
}

bool CQVMessageParser::JobExchange(const CSendThreadContext* context, std::uint8_t command, const std::string& payload)
{
    lastReplied_ = SendCommand(context->transport, static_cast<std::uint8_t>(context->flags), command, payload,
                               kSendJobTimeoutMs, &lastState_, &lastReply_, &stopOnDestruction_);
    return lastReplied_;
}

void CQVMessageParser::WaitForPrinterRestart(CComms* transport)
{
    // One budget for both phases: DSR drops while the printer restarts, then returns.
    // Any stop ends the wait, so a Cancel meanwhile does not hold its window for the whole
    // budget; every way of stopping sets stopRequested_, so the sleeps watch that flag.
    int waits = 0;
    while (waits < kRestartWaits && transport->IsDSROn() && !StopAsked()) {
        timing::SleepUnless(kRestartWaitMs, stopRequested_);
        ++waits;
    }
    while (waits < kRestartWaits && !transport->IsDSROn() && !StopAsked()) {
        timing::SleepUnless(kRestartWaitMs, stopRequested_);
        ++waits;
    }
}

bool CQVMessageParser::GetResult(bool* ok, MessageParseState* state, std::string* reply) const
{
    if (ok != nullptr)
        *ok = lastOk_;
    if (state != nullptr)
        *state = lastState_;
    if (reply != nullptr)
        *reply = lastReply_;
    return true;
}

std::optional<std::uint8_t> CQVMessageParser::LastReplyCode() const
{
    if (!lastReplied_)
        return std::nullopt;
    return static_cast<std::uint8_t>(lastState_.command);
}
