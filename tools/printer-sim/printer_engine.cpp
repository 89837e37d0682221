#include "tools/printer-sim/printer_engine.h"

#include "comms/printer_codes.h"
#include "platform/timing.h"

#include <algorithm>
#include <charconv>
#include <chrono>

namespace printer_sim {
namespace {

constexpr std::uint8_t kReplyFlags = 0;
constexpr char kBlockHeaderSeparator = '#';
constexpr int kBlockHeaderFields = 3; // total, size, index
// Valid CRC bytes are multiples of 8, so flipping the lowest bit always spoils one.
constexpr std::uint8_t kCrcDamage = 0x01;

// The reply parser takes directions 0 and 2 and refuses 1, so that the host never takes its
// own request for a reply. The printer's side is the mirror image: it takes requests (1) and
// configuration files sent as they stand (0), and refuses its own replies echoed back (2).
std::uint8_t AsSeenByReplyParser(std::uint8_t direction)
{
    switch (direction) {
    case FRAME_DIRECTION_REQUEST: return FRAME_DIRECTION_REPLY;
    case FRAME_DIRECTION_REPLY: return FRAME_DIRECTION_REQUEST;
    default: return direction;
    }
}

struct BlockHeader {
    std::size_t total = 0;
    std::size_t size = 0;
    std::size_t index = 0;
    std::size_t length = 0; // characters of the header text
};

// "total#size#index#": three decimal numbers, each closed by '#'.
std::optional<BlockHeader> ParseBlockHeader(std::string_view payload)
{
    std::size_t values[kBlockHeaderFields] = {};
    const char* const last = payload.data() + payload.size();
    const char* next = payload.data();
    for (std::size_t& value : values) {
        const auto [end, error] = std::from_chars(next, last, value);
        if (error != std::errc() || end == last || *end != kBlockHeaderSeparator)
            return std::nullopt;
        next = end + 1;
    }
    return BlockHeader{values[0], values[1], values[2], static_cast<std::size_t>(next - payload.data())};
}

} // namespace

PrinterEngine::PrinterEngine(PrinterConfig config, PrinterMedium& medium) : medium_(medium), config_(std::move(config))
{
}

PrinterEngine::~PrinterEngine()
{
    Stop();
    std::lock_guard lock(restartMutex_);
    if (restartThread_.joinable())
        restartThread_.join();
}

void PrinterEngine::Stop()
{
    stop_.store(true);
}

void PrinterEngine::Receive(std::string_view bytes)
{
    for (const char c : bytes) {
        if (stop_.load() || silent_.load()) {
            parseState_ = {};
            return;
        }
        auto b = static_cast<std::uint8_t>(c);
        if (parseState_.state == CQVMessageParser::PARSE_DIRECTION) {
            direction_ = b;
            b = AsSeenByReplyParser(b);
        }
        if (CQVMessageParser::ParseByte(parsePayload_, b, parseState_)) {
            HandleRequest(ReceivedFrame{static_cast<std::uint8_t>(parseState_.command),
                                        static_cast<std::uint8_t>(parseState_.flags), direction_, parsePayload_});
        }
    }
}

void PrinterEngine::HandleRequest(const ReceivedFrame& frame)
{
    std::optional<Fault> fault;
    Outcome outcome;
    FrameObserver observer;
    std::function<void()> switchHook;
    {
        std::lock_guard lock(mutex_);
        frames_.push_back(frame);
        fault = TakeFaultLocked(frame.command);
        // A refusing printer does not act on the request.
        if (fault && fault->kind == FaultKind::Refuse)
            outcome.reply = ReplyMessage{fault->refuseCode, {}};
        else
            outcome = AnswerLocked(frame);
        observer = observer_;
        switchHook = switchHook_;
    }
    framesArrived_.notify_all();
    if (observer)
        observer(frame);

    if (outcome.switchToUpdateMode) {
        SetSerialSilent(true);
        switchHook();
        return;
    }
    if (outcome.reply) {
        std::string out;
        CQVMessageParser::BuildMessage(out, kReplyFlags, FRAME_DIRECTION_REPLY, outcome.reply->code,
                                       std::move(outcome.reply->payload));
        Deliver(std::move(out), fault);
    }
    if (outcome.restart)
        StartRestart();
}

PrinterEngine::Outcome PrinterEngine::AnswerLocked(const ReceivedFrame& frame)
{
    const auto reply = [](std::uint8_t code, std::string payload = {}) {
        Outcome outcome;
        outcome.reply = ReplyMessage{code, std::move(payload)};
        return outcome;
    };
    switch (frame.command) {
    case CMD_IDENTIFY: return reply(REPLY_ACK, config_.identity);
    case CMD_GET_SETTINGS: return reply(REPLY_SETTINGS, config_.settingsRecord);
    case CMD_GET_EEPROM_SETTINGS: return reply(REPLY_EEPROM_SETTINGS, config_.eepromRecord);
    case CMD_QUERY_UPDATE_MODE:
        return config_.usbCapable ? reply(REPLY_UPDATE_MODE, kUpdateModeUsb) : reply(REPLY_ACK);
    case CMD_SWITCH_UPDATE_MODE: return AnswerSwitchUpdateModeLocked();
    case CMD_FIRMWARE_BLOCK:
        return reply(AcceptFirmwareBlockLocked(frame.payload) ? REPLY_ACK : kFirmwareBlockRefusal);
    case CMD_FIRMWARE_END: {
        ended_ = true;
        Outcome outcome = reply(REPLY_ACK);
        outcome.restart = true;
        return outcome;
    }
    default: // settings, test document, options, clock, abort and codes the printer does not know
        return reply(REPLY_ACK);
    }
}

// The one place that decides whether the printer leaves its serial line for the USB update
// mode. A printer without USB, or one whose USB side nobody plays, stays in serial mode.
PrinterEngine::Outcome PrinterEngine::AnswerSwitchUpdateModeLocked() const
{
    Outcome outcome;
    if (config_.usbCapable && switchHook_)
        outcome.switchToUpdateMode = true;
    else
        outcome.reply = ReplyMessage{REPLY_NO_SWITCH, {}};
    return outcome;
}

bool PrinterEngine::AcceptFirmwareBlockLocked(const std::string& payload)
{
    const std::optional<BlockHeader> header = ParseBlockHeader(payload);
    if (!header || payload.size() - header->length != header->size)
        return false;
    const std::size_t accepted = blockOffsets_.size();
    const bool first = header->index == 0;
    // The host did not see our acknowledgement and sends that block again, perhaps smaller.
    const bool again = !first && accepted > 0 && header->index == accepted - 1;
    if (!first && !again && header->index != accepted)
        return false;
    const std::size_t start = first ? 0 : again ? blockOffsets_.back() : image_.size();
    if (header->size > header->total || start > header->total - header->size)
        return false;
    if (first) {
        image_.clear();
        blockOffsets_.clear();
        blockHeaders_.clear();
        ended_ = false;
    } else if (again) {
        image_.resize(blockOffsets_.back());
        blockOffsets_.pop_back();
        blockHeaders_.pop_back();
    }
    blockOffsets_.push_back(image_.size());
    blockHeaders_.push_back(payload.substr(0, header->length));
    image_.append(payload, header->length);
    return true;
}

std::optional<Fault> PrinterEngine::TakeFaultLocked(std::uint8_t command)
{
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->command && *it->command != command)
            continue;
        const Fault taken = *it;
        if (it->times > 0 && --it->times == 0)
            faults_.erase(it);
        return taken;
    }
    return std::nullopt;
}

void PrinterEngine::Deliver(std::string frame, const std::optional<Fault>& fault)
{
    if (!fault) {
        medium_.Send(frame);
        return;
    }
    switch (fault->kind) {
    case FaultKind::Silence: return;
    case FaultKind::WrongCrc:
        frame.back() = static_cast<char>(static_cast<std::uint8_t>(frame.back()) ^ kCrcDamage);
        medium_.Send(frame);
        return;
    case FaultKind::InChunks: {
        const std::size_t chunks = static_cast<std::size_t>(std::max(fault->chunks, 1));
        std::size_t begin = 0;
        for (std::size_t chunk = 1; chunk <= chunks; ++chunk) {
            const std::size_t end = frame.size() * chunk / chunks;
            if (end == begin)
                continue;
            if (begin != 0 && platform::timing::SleepUnless(fault->gapMs, stop_))
                return;
            medium_.Send(std::string_view(frame).substr(begin, end - begin));
            begin = end;
        }
        return;
    }
    case FaultKind::Delayed:
        if (!platform::timing::SleepUnless(fault->delayMs, stop_))
            medium_.Send(frame);
        return;
    case FaultKind::Refuse: medium_.Send(frame); return;
    case FaultKind::GarbageBefore:
        medium_.Send(fault->garbage);
        medium_.Send(frame);
        return;
    }
}

void PrinterEngine::StartRestart()
{
    const std::uint32_t lowMs = Config().restartDsrLowMs;
    std::lock_guard lock(restartMutex_);
    if (restartThread_.joinable())
        restartThread_.join();
    restartThread_ = std::thread([this, lowMs] {
        medium_.SetDsr(false);
        if (!platform::timing::SleepUnless(lowMs, stop_))
            medium_.SetDsr(true);
    });
}

PrinterConfig PrinterEngine::Config() const
{
    std::lock_guard lock(mutex_);
    return config_;
}

void PrinterEngine::SetIdentity(const std::string& identity)
{
    std::lock_guard lock(mutex_);
    config_.identity = identity;
}

void PrinterEngine::SetSettingsRecord(const std::string& record)
{
    std::lock_guard lock(mutex_);
    config_.settingsRecord = record;
}

void PrinterEngine::SetEepromRecord(const std::string& record)
{
    std::lock_guard lock(mutex_);
    config_.eepromRecord = record;
}

void PrinterEngine::SetRestartDsrLowMs(std::uint32_t ms)
{
    std::lock_guard lock(mutex_);
    config_.restartDsrLowMs = ms;
}

void PrinterEngine::AddFault(const Fault& fault)
{
    if (fault.times == 0)
        return;
    std::lock_guard lock(mutex_);
    faults_.push_back(fault);
}

void PrinterEngine::ClearFaults()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void PrinterEngine::SetFrameObserver(FrameObserver observer)
{
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void PrinterEngine::SetOnSwitchToUpdateMode(std::function<void()> hook)
{
    std::lock_guard lock(mutex_);
    switchHook_ = std::move(hook);
}

void PrinterEngine::SetSerialSilent(bool silent)
{
    silent_.store(silent);
}

bool PrinterEngine::SerialSilent() const
{
    return silent_.load();
}

std::vector<ReceivedFrame> PrinterEngine::ReceivedFrames() const
{
    std::lock_guard lock(mutex_);
    return frames_;
}

bool PrinterEngine::WaitForFrames(std::size_t count, int ms) const
{
    std::unique_lock lock(mutex_);
    return framesArrived_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return frames_.size() >= count; });
}

std::string PrinterEngine::FirmwareImage() const
{
    std::lock_guard lock(mutex_);
    return image_;
}

std::vector<std::string> PrinterEngine::FirmwareBlockHeaders() const
{
    std::lock_guard lock(mutex_);
    return blockHeaders_;
}

bool PrinterEngine::FirmwareEnded() const
{
    std::lock_guard lock(mutex_);
    return ended_;
}

} // namespace printer_sim
