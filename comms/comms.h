#pragma once
// The byte transport to one printer on a serial port.
//
// CComms opens a port with given line settings, sends bytes, tells whether CTS and DSR
// are on and hands out received bytes one at a time. A reader thread of its own polls
// the port every 10 ms and appends what arrived to a receive queue; that queue, guarded
// by a CTrySemaphore, is the only data two threads share under a lock.
//
// Thread rules: the owner's thread (the search thread, the user-interface thread or a
// send thread, never two at a time) calls Open, Close, Write, ReadByte and the line
// functions. IsOpen, IsCTSOn and IsDSROn may also be called from another thread while
// the owner keeps the transport alive (the flash engine watches DSR and CTS this way).
// The lock is held only while bytes are appended (reader) or one byte is taken
// (ReadByte), so no lock order arises.

#include "platform/serial_device.h"

#include <array>
#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Line settings of one port configuration. The search's table rows are of this type.
struct SerialLineSettings {
    std::uint32_t baudRate;
    std::uint8_t dataBits;
    char parity;
    float stopBits;
};

// A semaphore of count 1 with a "held" flag, so that a taker can give up at once
// instead of waiting while somebody holds it.
class CTrySemaphore {
public:
    CTrySemaphore() = default;
    virtual ~CTrySemaphore();
    CTrySemaphore(const CTrySemaphore&) = delete;
    CTrySemaphore& operator=(const CTrySemaphore&) = delete;

    // False at once when held; otherwise takes the semaphore.
    bool TryLock();
    // Takes the semaphore whatever the held flag says, waiting up to waitMs; the reader's take.
    bool Lock(std::uint32_t waitMs);
    // Clears the held flag and releases; harmless when nobody holds it. Always true.
    bool Unlock();
    bool IsHeld() const { return held_.load(); }

private:
    bool Take(std::unique_lock<std::mutex>& lock, std::uint32_t waitMs);

    std::mutex mutex_;
    std::condition_variable released_;
    int count_ = 1;
    std::atomic<bool> held_{false};
};

// The serial channel of a transport: the port, its reader thread, the receive queue and
// the ten write slots.
class CCommsSerialChannel {
public:
    static constexpr std::uint16_t kReadRequestSize = 4096;
    static constexpr std::size_t kWriteSlotCount = 10;
    static constexpr std::uint32_t kMinimumBaudRate = 300;

    CCommsSerialChannel();
    ~CCommsSerialChannel();
    CCommsSerialChannel(const CCommsSerialChannel&) = delete;
    CCommsSerialChannel& operator=(const CCommsSerialChannel&) = delete;

    bool Open(const std::string& portName, int baudRate, int dataBits, char parity, float stopBits);
    bool Close();
    bool IsOpen() const { return open_.load(); }
    // Why the last Open failed (an errno value, for platform::DescribePortOpenFailure); 0
    // after a successful one.
    int LastOpenError() const { return lastOpenError_; }

    bool SetRTS(bool on);
    bool SetDTR(bool on);
    bool RtsFlag() const { return rtsOn_; }
    bool DtrFlag() const { return dtrOn_; }

    // Bytes written, or 0 when nothing could be started. The caller waits at most length
    // + 50 ms; a write still going on then counts as written and ends in the background.
    // abort, when given, ends the wait early in the same way (for stoppable callers).
    int Write(const std::uint8_t* data, int length, const std::atomic<bool>* abort = nullptr);

    // False when the port is closed or the modem status cannot be read.
    bool GetModemStatus(platform::ModemStatus* status);

    // The oldest received byte; false at once when none is queued or the queue is busy.
    bool ReadByte(std::uint8_t* out);
    std::size_t QueuedByteCount() const { return queuedCount_.load(); }
    // Waits up to ms until ReadByte has a byte to give: a caller that polls the queue wakes
    // as soon as the reader has queued bytes, not at the end of its pause.
    void WaitForReceived(std::uint32_t ms);

    // Whether the queue holds a byte after one poll of the port (the reader's step).
    bool PollRead();

    // The name and line settings of the last successful Open, kept by Close.
    const std::string& PortName() const { return portName_; }
    std::uint32_t BaudRate() const { return baudRate_; }
    std::uint8_t DataBits() const { return dataBits_; }
    char Parity() const { return parity_; }
    float StopBits() const { return stopBits_; }
    bool ReaderRunning() const { return readerRunning_.load(); }
    // The slot the next write takes (10 stands for 0), and the bytes a slot's buffer holds
    // (the last write's bytes plus the terminating zero; 0 when the slot is unused).
    std::uint16_t NextWriteSlot() const { return nextSlot_; }
    std::size_t WriteSlotBufferSize(std::size_t slot) const;

private:
    struct WriteSlot {
        std::vector<std::uint8_t> buffer; // owned until the slot is used again or the port closes
        bool pending = false;             // queued or being written by the writer thread
        int written = 0;
        bool failed = false;
    };

    void PollReaderThreadMain();
    void SetReaderRunning(bool running);
    // Waits up to budgetMs until the reader's running flag equals running.
    bool WaitForReader(bool running, std::uint32_t budgetMs);
    // The reader's pauses end early when the channel closes.
    void ReaderPause(std::uint32_t ms);
    void WriterThreadMain();
    bool AppendReceived(const std::uint8_t* bytes, int count);
    void NotifyReceived();
    bool ApplyLine(bool rts, bool on);
    void StopWriter();
    bool WaitForWriter(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point deadline,
                       const std::function<bool()>& done, const std::atomic<bool>* abort);

    CTrySemaphore lock_;
    mutable std::mutex deviceMutex_; // guards device_ against Close while another thread asks the modem lines
    std::unique_ptr<platform::SerialDevice> device_;
    std::atomic<bool> open_{false};

    std::string portName_;
    int lastOpenError_ = 0;
    std::uint32_t baudRate_ = 0;
    std::uint8_t dataBits_ = 0;
    char parity_ = 0;
    float stopBits_ = 0;
    bool rtsOn_ = true;
    bool dtrOn_ = true;

    std::array<std::uint8_t, kReadRequestSize> readBuffer_{};
    std::deque<std::uint8_t> receiveQueue_;
    std::atomic<std::size_t> queuedCount_{0};
    std::vector<std::uint8_t> unqueued_; // read but not yet appended because the lock was busy
    std::mutex receivedMutex_; // with received_: wakes WaitForReceived
    std::condition_variable received_;

    std::thread readerThread_;
    std::atomic<bool> readerRunning_{false};
    std::atomic<bool> stop_{false};
    std::mutex readerMutex_; // with readerChanged_: the reader's start, end and pauses
    std::condition_variable readerChanged_;

    // Writes run on a writer thread of the channel so that a write that outlasts its wait
    // goes on in the background, its buffer held by its slot.
    std::array<WriteSlot, kWriteSlotCount> slots_{};
    std::uint16_t nextSlot_ = 0;
    mutable std::mutex writeMutex_;
    std::condition_variable writeQueued_;
    std::condition_variable writeEnded_;
    std::deque<std::size_t> writeQueue_;
    std::thread writerThread_;
    bool writerStop_ = false;
};

class CComms {
public:
    CComms() = default;
    virtual ~CComms();
    CComms(const CComms&) = delete;
    CComms& operator=(const CComms&) = delete;

    // Closes an open port first, whatever the arguments, then opens.
    bool Open(const std::string& portName, int baudRate, int dataBits, char parity, float stopBits);
    bool Close();
    bool IsOpen() const;
    bool IsCTSOn();
    bool IsDSROn();
    bool ReadByte(std::uint8_t* out);
    // Waits up to ms until a received byte can be taken.
    void WaitForReceived(std::uint32_t ms);
    // Sends bytes as they stand. Returns the count written; 0 for an empty text or a closed port.
    int Write(std::string_view bytes, const std::atomic<bool>* abort = nullptr);

    CCommsSerialChannel& SerialChannel() { return channel_; }
    const CCommsSerialChannel& SerialChannel() const { return channel_; }

private:
    CCommsSerialChannel channel_;
};

// 16-bit text as the bytes the printer takes: U+0001..U+00FF are the bytes 0x01..0xFF;
// U+0000 and every character above U+00FF become 0x00.
int WideToBytes(std::uint8_t* out, const char16_t* in, int n);

// The mode string of a port configuration, and the line settings it stands for.
std::string FormatModeString(std::uint32_t baudRate, char parity, int dataBits, float stopBits);
bool ParseModeString(const std::string& mode, platform::SerialLineConfig* config);
