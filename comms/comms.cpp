#include "comms/comms.h"

#include "platform/timing.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace timing = platform::timing;

namespace {

constexpr char kDeviceNamespace[] = "\\\\.\\";
constexpr char kComPrefix[] = "COM";
constexpr std::uint32_t kReaderStartBudgetMs = 50 * 10; // fifty looks, 10 ms apart
constexpr std::uint32_t kReaderLoopPauseMs = 10;
constexpr std::uint32_t kLineEventPauseMs = 5; // the idle line-event check of each pass
constexpr std::uint32_t kReadFailurePauseMs = 50;
constexpr std::uint32_t kLockWaitMs = 100;
constexpr int kLockRetries = 10;
constexpr std::uint32_t kLockRetryPauseMs = 10;
constexpr std::uint32_t kReaderStopBudgetMs = 1500;
constexpr std::uint32_t kWriteGraceMs = 50; // a write may take its length in ms plus this
constexpr int kWriterPollMs = 20;

std::string Trimmed(const std::string& text)
{
    const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    auto begin = std::find_if_not(text.begin(), text.end(), isSpace);
    auto end = std::find_if_not(text.rbegin(), std::string::const_reverse_iterator(begin), isSpace).base();
    return std::string(begin, end);
}

// "com12 " -> "\\.\COM12"; a name that already carries the prefix stays as it is.
std::string NormalisedPortName(const std::string& name)
{
    std::string result = Trimmed(name);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (result.rfind(kComPrefix, 0) == 0)
        result.insert(0, kDeviceNamespace);
    return result;
}

} // namespace

// ---------------------------------------------------------------- conversions

int WideToBytes(std::uint8_t* out, const char16_t* in, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = in[i] <= 0xFF ? static_cast<std::uint8_t>(in[i]) : 0;
    return n;
}

std::string FormatModeString(std::uint32_t baudRate, char parity, int dataBits, float stopBits)
{
    char mode[96];
    std::snprintf(mode, sizeof mode, "baud=%d parity=%c data=%d stop=%.0f", static_cast<int>(baudRate), parity,
                  dataBits, static_cast<double>(stopBits));
    return mode;
}

bool ParseModeString(const std::string& mode, platform::SerialLineConfig* config)
{
    unsigned baud = 0;
    char parity = 0;
    unsigned data = 0;
    char stop[8] = {};
    if (std::sscanf(mode.c_str(), "baud=%u parity=%c data=%u stop=%7s", &baud, &parity, &data, stop) != 4)
        return false;
    parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parity)));
    if (std::strchr("NEOMS", parity) == nullptr || data < 5 || data > 8)
        return false;
    float stopBits = 0;
    if (std::strcmp(stop, "1") == 0)
        stopBits = 1.0f;
    else if (std::strcmp(stop, "1.5") == 0)
        stopBits = 1.5f;
    else if (std::strcmp(stop, "2") == 0)
        stopBits = 2.0f;
    else
        return false;
    *config = platform::SerialLineConfig{baud, static_cast<std::uint8_t>(data), parity, stopBits};
    return true;
}

// ---------------------------------------------------------------- CTrySemaphore

CTrySemaphore::~CTrySemaphore()
{
    Unlock();
}

bool CTrySemaphore::Take(std::unique_lock<std::mutex>& lock, std::uint32_t waitMs)
{
    const bool taken = released_.wait_for(lock, timing::RealDuration(waitMs), [this] { return count_ > 0; });
    if (taken)
        --count_;
    held_.store(taken);
    return taken;
}

bool CTrySemaphore::TryLock()
{
    if (held_.load())
        return false;
    std::unique_lock lock(mutex_);
    // Nobody shows as holder; the semaphore is free or about to be, so the wait is short.
    return Take(lock, kLockWaitMs);
}

bool CTrySemaphore::Lock(std::uint32_t waitMs)
{
    std::unique_lock lock(mutex_);
    return Take(lock, waitMs);
}

bool CTrySemaphore::Unlock()
{
    {
        std::lock_guard lock(mutex_);
        held_.store(false);
        count_ = 1; // a release beyond the maximum leaves the count at 1
    }
    released_.notify_one();
    return true;
}

// ---------------------------------------------------------------- CCommsSerialChannel

CCommsSerialChannel::CCommsSerialChannel() = default;

CCommsSerialChannel::~CCommsSerialChannel()
{
    Close();
}

bool CCommsSerialChannel::Open(const std::string& portName, int baudRate, int dataBits, char parity, float stopBits)
{
    if (portName.empty() || static_cast<std::uint32_t>(baudRate) < kMinimumBaudRate) {
        lastOpenError_ = EINVAL;
        return false;
    }
    if (IsOpen())
        Close();

    const std::string name = NormalisedPortName(portName);
    std::unique_ptr<platform::SerialDevice> device = platform::OpenSerialDevice(name, &lastOpenError_);
    if (!device)
        return false;

    if (dataBits >= '0' && dataBits <= '9')
        dataBits -= '0';
    // Line settings travel through the mode string, as the port's own parser takes them;
    // a setting the device refuses leaves the port open with what it kept.
    platform::SerialLineConfig config;
    if (ParseModeString(FormatModeString(static_cast<std::uint32_t>(baudRate), parity, dataBits, stopBits), &config))
        device->Configure(config);

    readBuffer_.fill(0);
    receiveQueue_.clear();
    queuedCount_.store(0);
    unqueued_.clear();
    nextSlot_ = 0;
    {
        std::lock_guard lock(deviceMutex_);
        device_ = std::move(device);
        open_.store(true);
    }

    portName_ = name;
    baudRate_ = static_cast<std::uint32_t>(baudRate);
    dataBits_ = static_cast<std::uint8_t>(dataBits);
    parity_ = parity;
    stopBits_ = stopBits;

    writerStop_ = false;
    writerThread_ = std::thread(&CCommsSerialChannel::WriterThreadMain, this);
    stop_.store(false);
    readerThread_ = std::thread(&CCommsSerialChannel::PollReaderThreadMain, this);
    WaitForReader(true, kReaderStartBudgetMs);

    ApplyLine(true, rtsOn_);
    ApplyLine(false, dtrOn_);
    return true;
}

bool CCommsSerialChannel::Close()
{
    if (!IsOpen())
        return true;
    {
        std::lock_guard lock(readerMutex_);
        stop_.store(true);
    }
    readerChanged_.notify_all();
    SetRTS(false);
    SetDTR(false);
    {
        std::lock_guard lock(deviceMutex_);
        device_->Purge();
    }

    // The reader's every pause ends at the stop, so it ends well within its budget; the
    // join after the budget is what a forced end would have been.
    WaitForReader(false, kReaderStopBudgetMs);
    if (readerThread_.joinable())
        readerThread_.join();
    StopWriter();

    {
        std::lock_guard lock(deviceMutex_);
        // A write the writer began just before the stop must not hold up the close.
        device_->Purge();
        open_.store(false);
        device_.reset();
    }
    for (WriteSlot& slot : slots_)
        slot = WriteSlot{};
    receiveQueue_.clear();
    queuedCount_.store(0);
    unqueued_.clear();
    lock_.Unlock();
    return true;
}

bool CCommsSerialChannel::ApplyLine(bool rts, bool on)
{
    std::lock_guard lock(deviceMutex_);
    if (!device_)
        return true;
    return rts ? device_->SetRts(on) : device_->SetDtr(on);
}

bool CCommsSerialChannel::SetRTS(bool on)
{
    rtsOn_ = on;
    return ApplyLine(true, on);
}

bool CCommsSerialChannel::SetDTR(bool on)
{
    dtrOn_ = on;
    return ApplyLine(false, on);
}

bool CCommsSerialChannel::GetModemStatus(platform::ModemStatus* status)
{
    std::lock_guard lock(deviceMutex_);
    return device_ && device_->GetModemStatus(status);
}

void CCommsSerialChannel::PollReaderThreadMain()
{
    SetReaderRunning(true);
    while (!stop_.load()) {
        PollRead();
        ReaderPause(kReaderLoopPauseMs);
    }
    SetReaderRunning(false);
}

void CCommsSerialChannel::SetReaderRunning(bool running)
{
    {
        std::lock_guard lock(readerMutex_);
        readerRunning_.store(running);
    }
    readerChanged_.notify_all();
}

bool CCommsSerialChannel::WaitForReader(bool running, std::uint32_t budgetMs)
{
    std::unique_lock lock(readerMutex_);
    return readerChanged_.wait_for(lock, timing::RealDuration(budgetMs),
                                   [&] { return readerRunning_.load() == running; });
}

void CCommsSerialChannel::ReaderPause(std::uint32_t ms)
{
    std::unique_lock lock(readerMutex_);
    readerChanged_.wait_for(lock, timing::RealDuration(ms), [this] { return stop_.load(); });
}

bool CCommsSerialChannel::PollRead()
{
    if (!IsOpen())
        return false;
    if (!unqueued_.empty() && AppendReceived(unqueued_.data(), static_cast<int>(unqueued_.size())))
        unqueued_.clear();

    const int count = device_->Read(readBuffer_.data(), kReadRequestSize);
    if (count > 0) {
        // Bytes held back from an earlier pass go first: the queue keeps the line's order.
        if (!unqueued_.empty() || !AppendReceived(readBuffer_.data(), count))
            unqueued_.insert(unqueued_.end(), readBuffer_.begin(), readBuffer_.begin() + count);
    } else if (count < 0) {
        // A failed read (a pulled adapter) is tried again in the next pass.
        ReaderPause(kReadFailurePauseMs);
    }
    ReaderPause(kLineEventPauseMs);
    return QueuedByteCount() > 0;
}

bool CCommsSerialChannel::AppendReceived(const std::uint8_t* bytes, int count)
{
    bool taken = lock_.Lock(kLockWaitMs);
    for (int retry = 0; !taken && retry < kLockRetries && !stop_.load(); ++retry) {
        timing::SleepMs(kLockRetryPauseMs);
        taken = lock_.Lock(kLockWaitMs);
    }
    if (!taken)
        return false; // never touch the queue without the lock; the bytes wait for the next pass
    receiveQueue_.insert(receiveQueue_.end(), bytes, bytes + count);
    queuedCount_.store(receiveQueue_.size());
    lock_.Unlock();
    NotifyReceived();
    return true;
}

void CCommsSerialChannel::NotifyReceived()
{
    {
        // Taken and left at once: a waiter that has just found nothing to take is then
        // already waiting, so the notification cannot pass it by.
        std::lock_guard lock(receivedMutex_);
    }
    received_.notify_all();
}

void CCommsSerialChannel::WaitForReceived(std::uint32_t ms)
{
    std::unique_lock lock(receivedMutex_);
    received_.wait_for(lock, timing::RealDuration(ms), [this] { return queuedCount_.load() > 0 && !lock_.IsHeld(); });
}

bool CCommsSerialChannel::ReadByte(std::uint8_t* out)
{
    if (!IsOpen() || queuedCount_.load() == 0 || lock_.IsHeld())
        return false;
    if (!lock_.TryLock())
        return false;
    if (receiveQueue_.empty()) {
        lock_.Unlock();
        return false;
    }
    *out = receiveQueue_.front();
    receiveQueue_.pop_front();
    queuedCount_.store(receiveQueue_.size());
    lock_.Unlock();
    return true;
}

bool CCommsSerialChannel::WaitForWriter(std::unique_lock<std::mutex>& lock,
                                        std::chrono::steady_clock::time_point deadline,
                                        const std::function<bool()>& done, const std::atomic<bool>* abort)
{
    // The abort flag is nobody's to notify, so it is looked at in short slices.
    constexpr auto kAbortSlice = std::chrono::milliseconds(10);
    while (!done()) {
        if (abort != nullptr && abort->load())
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        writeEnded_.wait_until(lock, abort != nullptr ? std::min(deadline, now + kAbortSlice) : deadline);
    }
    return true;
}

int CCommsSerialChannel::Write(const std::uint8_t* data, int length, const std::atomic<bool>* abort)
{
    if (!IsOpen() || data == nullptr || length < 1)
        return 0;

    std::unique_lock lock(writeMutex_);
    const std::size_t index = nextSlot_ >= kWriteSlotCount ? 0 : nextSlot_;
    nextSlot_ = static_cast<std::uint16_t>(index + 1);
    WriteSlot& slot = slots_[index];
    const auto deadline = std::chrono::steady_clock::now() +
                          timing::RealDuration(static_cast<std::uint32_t>(length) + kWriteGraceMs);
    // A write that outlasted its wait ten writes ago may still run; its buffer must live
    // until it has ended. Waiting for it is part of this write's budget: a line that takes
    // nothing (a hung port) must not hold the caller for longer.
    if (!WaitForWriter(lock, deadline, [&] { return !slot.pending || writerStop_; }, abort) || writerStop_)
        return 0;
    slot.buffer.assign(data, data + length);
    slot.buffer.push_back(0);
    slot.pending = true;
    slot.written = 0;
    slot.failed = false;
    writeQueue_.push_back(index);
    writeQueued_.notify_one();

    if (!WaitForWriter(lock, deadline, [&] { return !slot.pending; }, abort))
        return length; // counts as written while it goes on in the background
    return slot.failed ? 0 : slot.written;
}

std::size_t CCommsSerialChannel::WriteSlotBufferSize(std::size_t slot) const
{
    std::lock_guard lock(writeMutex_);
    return slot < kWriteSlotCount ? slots_[slot].buffer.size() : 0;
}

void CCommsSerialChannel::WriterThreadMain()
{
    std::unique_lock lock(writeMutex_);
    while (true) {
        writeQueued_.wait(lock, [this] { return writerStop_ || !writeQueue_.empty(); });
        if (writerStop_)
            break;
        const std::size_t index = writeQueue_.front();
        writeQueue_.pop_front();
        WriteSlot& slot = slots_[index];
        const std::uint8_t* data = slot.buffer.data();
        const int length = static_cast<int>(slot.buffer.size()) - 1;
        lock.unlock();

        int written = 0;
        bool failed = false;
        while (written < length && !stop_.load()) {
            const int count = device_->Write(data + written, length - written);
            if (count < 0) {
                failed = true;
                break;
            }
            written += count;
            if (written < length)
                device_->WaitWritable(kWriterPollMs);
        }

        lock.lock();
        slot.written = written;
        slot.failed = failed;
        slot.pending = false;
        writeEnded_.notify_all();
    }
}

void CCommsSerialChannel::StopWriter()
{
    {
        std::lock_guard lock(writeMutex_);
        writerStop_ = true;
        writeQueue_.clear();
        for (WriteSlot& slot : slots_)
            slot.pending = false;
    }
    writeQueued_.notify_all();
    writeEnded_.notify_all();
    if (writerThread_.joinable())
        writerThread_.join();
}

// ---------------------------------------------------------------- CComms

CComms::~CComms()
{
    channel_.Close();
}

bool CComms::Open(const std::string& portName, int baudRate, int dataBits, char parity, float stopBits)
{
    if (IsOpen())
        channel_.Close();
    return channel_.Open(portName, baudRate, dataBits, parity, stopBits);
}

bool CComms::Close()
{
    return channel_.Close();
}

bool CComms::IsOpen() const
{
    return channel_.IsOpen();
}

bool CComms::IsCTSOn()
{
    platform::ModemStatus status;
    return channel_.GetModemStatus(&status) && status.cts;
}

bool CComms::IsDSROn()
{
    platform::ModemStatus status;
    return channel_.GetModemStatus(&status) && status.dsr;
}

bool CComms::ReadByte(std::uint8_t* out)
{
    return channel_.ReadByte(out);
}

void CComms::WaitForReceived(std::uint32_t ms)
{
    channel_.WaitForReceived(ms);
}

int CComms::Write(std::string_view bytes, const std::atomic<bool>* abort)
{
    if (!IsOpen() || bytes.empty())
        return 0;
    return channel_.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<int>(bytes.size()),
                          abort);
}
