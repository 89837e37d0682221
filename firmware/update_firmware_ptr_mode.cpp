#include "firmware/update_firmware_ptr_mode.h"

#include "comms/comms.h"
#include "comms/private_messages.h"
#include "platform/timing.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using platform::timing::SleepMs;

// USB transfer time-outs, in real time. Nothing on the pipe may block for ever, and a
// transfer in flight is the one thing a stop cannot cut short, so each is kept short. A
// write gets one second plus time for its bytes at a quarter of what full speed carries in
// practice (about 1 KiB per ms): an 8192-byte block takes some 8 ms, so a boot loader may
// hold the pipe for about a second while it programs a block before we call it stuck, and a
// block larger than the dialog's still gets room in proportion.
constexpr std::uint32_t kUsbWriteTimeoutBaseMs = 1000;
constexpr std::uint32_t kUsbWriteBytesPerMs = 256;
constexpr std::uint32_t kUsbReadTimeoutMs = 500;

constexpr std::size_t kMaxUsbInterfaces = 200;
constexpr std::size_t kSerialLength = USB_TEXT_FIELD_SIZE - 1;
constexpr std::string_view kUsbPathMarker = "usb#";
constexpr char kPathSeparator = '#';
constexpr char kSerialDash = '-';
constexpr std::string_view kLiteralSerialPrefix = "mrv1";

// The status rule.
constexpr std::size_t kStatusErrorByte = 3;
constexpr std::size_t kStatusFlagsByte = 4;
constexpr std::uint8_t kStatusDirtyFlags = 0x80 | 0x40 | 0x20 | 0x10 | 0x04;
constexpr std::uint8_t kStatusBusyFlag = 0x20;
constexpr std::string_view kKeptReplyStarts = "SNEC";

// Waits of the lookup and the reads (program time).
constexpr std::uint32_t kEmptyReadPauseMs = 100;
constexpr std::uint32_t kKeptReplyPauseMs = 150;
constexpr std::uint32_t kAfterReadPauseMs = 100;
constexpr std::uint32_t kBusyPauseMs = 100;
constexpr std::uint32_t kStatusSettleMs = 150;
constexpr std::uint32_t kBeforeResetMs = 500;

// Waits and tries of the flash engine (program time).
constexpr int kThreadStartPolls = 100;
constexpr std::uint32_t kThreadStartPollMs = 10;
constexpr std::uint32_t kThreadSettleMs = 50;
constexpr int kFindUpdateModeTries = 100;
constexpr std::uint32_t kFindUpdateModeRetryMs = 300;
constexpr std::uint32_t kAfterUpdateModeFoundMs = 500;
constexpr std::uint32_t kBeforeFlashRequestMs = 500;
constexpr std::uint32_t kBeforeReplyReadMs = 100;
constexpr std::uint32_t kReplyRetryPauseMs = 100;
constexpr int kReplyRetryPauses = 2;
constexpr std::uint32_t kBeforeFlashPrepareMs = 100;
constexpr std::uint32_t kBeforePrepareReplyReadMs = 500;
constexpr std::uint32_t kBeforeWriteImageMs = 100;
constexpr std::uint32_t kStartDelayFirstMs = 100;
constexpr int kStartDelaySteps = 30;
constexpr std::uint32_t kStartDelayStepMs = 100;
constexpr std::uint32_t kAfterLoadingTextMs = 100;
constexpr std::uint32_t kAfterBlockMs = 20;
constexpr std::uint32_t kAfterLastBlockMs = 100;
constexpr int kVanishTries = 950;
constexpr std::uint32_t kVanishPollMs = 100;
constexpr std::uint32_t kAfterRestartingMs = 100;
constexpr int kNormalModeTries = 350;
constexpr std::uint32_t kNormalModePollMs = 100;
constexpr std::uint32_t kAfterFinishedMs = 100;
constexpr int kLinePolls = 51;
constexpr std::uint32_t kLinePollMs = 200;

std::uint32_t WriteTimeoutMs(std::size_t length)
{
    return kUsbWriteTimeoutBaseMs + static_cast<std::uint32_t>(length / kUsbWriteBytesPerMs);
}

bool StopSet(const std::atomic<bool>* stop)
{
    return stop != nullptr && stop->load();
}

// The reads' fixed pauses: cut short by the stop flag when there is one. False when cut short.
bool Pause(std::uint32_t ms, const std::atomic<bool>* stop)
{
    if (stop == nullptr) {
        SleepMs(ms);
        return true;
    }
    return !platform::timing::SleepUnless(ms, *stop);
}

// THREAD_PRIORITY_ABOVE_NORMAL as a nice step.
constexpr int kAboveNormalNiceStep = 1;

bool IsAsciiLetterOrDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool CopyField(char (&field)[USB_TEXT_FIELD_SIZE], const std::string& text)
{
    if (text.size() >= USB_TEXT_FIELD_SIZE)
        return false;
    std::memcpy(field, text.c_str(), text.size() + 1);
    return true;
}

bool StartsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The reply buffer's text: up to its first zero byte, never past its end.
bool ReplyHoldsFlashReady(const std::uint8_t* reply)
{
    const char* text = reinterpret_cast<const char*>(reply);
    return std::string_view(text, strnlen(text, USB_REPLY_BUFFER_SIZE)).find(USB_FLASH_READY_TEXT) !=
           std::string_view::npos;
}

// Above normal where the system lets us without privileges; a refusal changes nothing.
void RaisePriority(pid_t thread)
{
    if (thread == 0)
        return;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    if (errno == 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice - kAboveNormalNiceStep);
}

} // namespace

// ---------------------------------------------------------------- lookup

bool CUpdateFirmwarePtrMode::ParseUsbSerial(std::uint32_t vendorId, const char* interfacePath, char* serialText)
{
    if (serialText == nullptr)
        return false;
    std::memset(serialText, 0, USB_TEXT_FIELD_SIZE);
    if (vendorId != USB_PRINTER_VENDOR_ID || interfacePath == nullptr)
        return false;
    const std::string_view path(interfacePath);
    const std::size_t marker = path.find(kUsbPathMarker);
    if (marker == std::string_view::npos)
        return false;
    const std::size_t separator = path.find(kPathSeparator, marker + kUsbPathMarker.size());
    if (separator == std::string_view::npos)
        return false;
    std::string_view part = path.substr(separator + 1);
    part = part.substr(0, std::min({part.find(kPathSeparator), part.size(), kSerialLength}));

    std::size_t count = 0;
    const auto fail = [serialText] {
        std::memset(serialText, 0, USB_TEXT_FIELD_SIZE);
        return false;
    };
    if (part.substr(0, kLiteralSerialPrefix.size()) == kLiteralSerialPrefix) {
        for (char c : part) {
            if (c == kSerialDash)
                continue;
            if (!IsAsciiLetterOrDigit(c))
                return fail();
            serialText[count++] = c;
        }
    } else {
        int high = -1; // first digit of a pair that is still open
        for (char c : part) {
            if (c == kSerialDash) {
                if (high >= 0)
                    return fail();
                continue;
            }
            // A letter that is no hex digit cannot be read as one: the text is refused,
            // as it is for any other character.
            const int value = IsAsciiLetterOrDigit(c) ? HexValue(c) : -1;
            if (value < 0)
                return fail();
            if (high < 0) {
                high = value;
            } else {
                serialText[count++] = static_cast<char>(high * 16 + value);
                high = -1;
            }
        }
        if (high >= 0)
            return fail();
    }
    return serialText[0] != '\0';
}

bool CUpdateFirmwarePtrMode::EnumerateUsbDevices(std::uint32_t vendorId, UsbDeviceTable& table)
{
    for (UsbDeviceRecord& record : table)
        record.Clear();
    if (vendorId > 0xFFFF)
        return false;
    char vendorText[16];
    std::snprintf(vendorText, sizeof vendorText, "vid_%04x&pid_", static_cast<unsigned>(vendorId));

    const std::vector<platform::UsbDeviceInfo> infos =
        platform::CurrentUsbBackend().Enumerate(static_cast<std::uint16_t>(vendorId));
    std::size_t taken = 0;
    for (std::size_t i = 0; i < infos.size() && i < kMaxUsbInterfaces; ++i) {
        // The table takes the first 30 readable devices of the vendor in bus order, whatever
        // they are; a printer behind 30 others (other printers of the vendor in normal mode
        // count too) is not found.
        if (taken == table.size())
            break;
        const platform::UsbDeviceInfo& info = infos[i];
        if (info.interfacePath.find(vendorText) == std::string::npos)
            continue;
        UsbDeviceRecord& record = table[taken];
        // A name too long for its field is left out whole rather than cut, since a cut
        // interface path could never be opened.
        if (!CopyField(record.interfacePath, info.interfacePath) || !CopyField(record.hardwareId, info.hardwareId) ||
            !CopyField(record.compatibleId, info.compatibleId)) {
            record.Clear();
            continue;
        }
        record.vendorId = vendorId;
        if (!ParseUsbSerial(vendorId, record.interfacePath, record.serialText)) {
            record.Clear();
            continue;
        }
        record.used = 1;
        ++taken;
    }
    return taken > 0;
}

bool CUpdateFirmwarePtrMode::OpenUsbDevice(const char* hardwareIdPrefix, const char* modelPrefix,
                                           UsbDeviceRecord* out, bool mustOpen)
{
    if (out == nullptr)
        return false;
    out->Clear();
    if (hardwareIdPrefix == nullptr || modelPrefix == nullptr)
        return false;
    // On the heap: 30 records of 2 KiB are too much for a worker thread's stack to spare.
    auto table = std::make_unique<UsbDeviceTable>();
    if (!EnumerateUsbDevices(USB_PRINTER_VENDOR_ID, *table))
        return false;
    for (UsbDeviceRecord& record : *table) {
        if (!record.used)
            break;
        if (!StartsWith(record.serialText, modelPrefix) || !StartsWith(record.hardwareId, hardwareIdPrefix))
            continue;
        // A caller that need not open only asks whether the device is there, and would not
        // use a handle. Opening claims interface 0, which takes the printer from the kernel's
        // printer driver and from a spooler printing through it, so it is not opened at all:
        // the record's handle stays null, as after a failed open.
        if (!mustOpen) {
            *out = std::move(record);
            return true;
        }
        record.deviceHandle = platform::CurrentUsbBackend().Open(record.interfacePath);
        if (record.deviceHandle) {
            *out = std::move(record);
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- status reads

bool CUpdateFirmwarePtrMode::ReadDevice(platform::UsbDeviceHandle* device, std::uint8_t* buffer,
                                        std::uint32_t* length, UsbDeviceRecord* record,
                                        const std::atomic<bool>* stop)
{
    if (length == nullptr)
        return false;
    const std::uint32_t capacity = *length;
    *length = 0;
    if (device == nullptr || buffer == nullptr || StopSet(stop))
        return false;
    std::size_t got = 0;
    if (!device->Read(buffer, capacity, &got, kUsbReadTimeoutMs)) {
        Pause(kEmptyReadPauseMs, stop);
        return false;
    }
    if (got == 0) {
        // Once stopped, nobody waits for the answer: the second read is not made.
        if (!Pause(kEmptyReadPauseMs, stop))
            return false;
        if (!device->Read(buffer, capacity, &got, kUsbReadTimeoutMs))
            return true;
        if (got == 0) {
            Pause(kEmptyReadPauseMs, stop);
            return false;
        }
    }
    if (kKeptReplyStarts.find(static_cast<char>(buffer[0])) != std::string_view::npos) {
        Pause(kKeptReplyPauseMs, stop);
        if (record != nullptr) {
            const std::size_t kept = std::min(got, sizeof record->lastReply);
            std::memcpy(record->lastReply, buffer, kept);
            record->lastReplyLength = static_cast<std::uint32_t>(kept);
        }
    }
    *length = static_cast<std::uint32_t>(got);
    Pause(kAfterReadPauseMs, stop);
    return true;
}

bool CUpdateFirmwarePtrMode::ReadStatusBytes(platform::UsbDeviceHandle* device, std::uint8_t* buffer,
                                             std::uint32_t* length, UsbDeviceRecord* record,
                                             const std::atomic<bool>* stop)
{
    if (length == nullptr)
        return false;
    const std::uint32_t capacity = *length;
    if (!ReadDevice(device, buffer, length, record, stop)) {
        *length = 0;
        Pause(kEmptyReadPauseMs, stop);
        return false;
    }
    if (capacity > kStatusFlagsByte && (buffer[kStatusFlagsByte] & kStatusBusyFlag) != 0)
        Pause(kBusyPauseMs, stop);
    return true;
}

bool CUpdateFirmwarePtrMode::IsStatusClean(const std::uint8_t* status)
{
    return status[kStatusErrorByte] == 0 && (status[kStatusFlagsByte] & kStatusDirtyFlags) == 0;
}

bool CUpdateFirmwarePtrMode::ReadDeviceStatus(UsbDeviceRecord* record, const std::atomic<bool>* stop)
{
    if (record == nullptr || !record->used || !record->deviceHandle)
        return false;
    std::array<std::uint8_t, USB_REPLY_BUFFER_SIZE> status{};
    std::uint32_t length = static_cast<std::uint32_t>(status.size());
    // Whether the read worked is no part of the verdict: a printer that answers nothing
    // leaves the buffer zero, which is a clean status.
    ReadStatusBytes(record->deviceHandle.get(), status.data(), &length, record, stop);
    // A stopped read has judged nothing, so it cannot vouch for the printer.
    if (!Pause(kStatusSettleMs, stop))
        return false;
    return IsStatusClean(status.data());
}

// ---------------------------------------------------------------- reset

bool CUpdateFirmwarePtrMode::ResetDevicesInUpdateMode()
{
    int reset = 0;
    for (const UsbIdentity* identity = UPDATE_MODE_DEVICES; identity->hardwareIdPrefix != nullptr; ++identity) {
        UsbDeviceRecord record;
        if (!OpenUsbDevice(identity->hardwareIdPrefix, identity->modelPrefix, &record, true) || Stopped())
            continue;
        if (!ReadDeviceStatus(&record, &stop_) || Stopped())
            continue;
        // A stop during the pause also cancels the reset, so a closing owner is not held up.
        if (!Wait(kBeforeResetMs))
            continue;
        WriteCommand(&record, USB_CMD_RESET.data(), USB_CMD_RESET.size());
        ++reset;
    } // each record closes its device here
    return reset > 0;
}

// ---------------------------------------------------------------- flash engine

CUpdateFirmwarePtrMode::~CUpdateFirmwarePtrMode()
{
    Stop();
}

void CUpdateFirmwarePtrMode::Stop()
{
    // A cooperative stop instead of ending the thread by force: every wait of the thread
    // gives way to the stop flag and every USB transfer has its time-out, so the join is
    // short, and the thread releases its job and its device handle itself.
    RequestStop();
    if (thread_.joinable())
        thread_.join();
    running_ = false;
}

void CUpdateFirmwarePtrMode::RequestStop()
{
    std::lock_guard lock(postMutex_);
    stop_ = true;
}

bool CUpdateFirmwarePtrMode::Wait(std::uint32_t ms) const
{
    return !platform::timing::SleepUnless(ms, stop_);
}

void CUpdateFirmwarePtrMode::Post(platform::WindowHandle notify, unsigned id, platform::WParam wParam,
                                  platform::LParam lParam)
{
    std::lock_guard lock(postMutex_);
    if (!stop_)
        platform::PostWindowMessage(notify, id, wParam, lParam);
}

void CUpdateFirmwarePtrMode::PostStatus(platform::WindowHandle notify, const char* text)
{
    std::lock_guard lock(postMutex_);
    if (!stop_)
        platform::PostWindowText(notify, WM_STATUS_TEXT, 0, text);
}

bool CUpdateFirmwarePtrMode::WriteCommand(UsbDeviceRecord* device, const std::uint8_t* command,
                                          std::size_t length) const
{
    std::size_t written = 0;
    return device->deviceHandle && device->deviceHandle->Write(command, length, &written, WriteTimeoutMs(length));
}

bool CUpdateFirmwarePtrMode::StartFlashUpdate(CComms* comms, std::string updateId, std::string updateModel,
                                              std::string normalId, std::string normalModel,
                                              std::uint32_t blockSize, const std::uint8_t* image,
                                              std::uint32_t length, platform::WindowHandle notify)
{
    if (image == nullptr || length < 1)
        return false;
    // The stop flag is never cleared (a stopped engine is on its way out), so a job started
    // now would end before its first step without a word: refuse it instead.
    if (Stopped())
        return false;
    // One job at a time: a finished thread is collected, a running one refuses a second job.
    if (thread_.joinable()) {
        if (running_)
            return false;
        thread_.join();
    }

    auto job = std::make_unique<CFlashUpdateContext>();
    job->comms = comms;
    job->engine = this;
    job->image = std::make_unique<std::uint8_t[]>(std::size_t{length} + 1);
    std::memcpy(job->image.get(), image, length);
    job->imageLength = length;
    job->blockSize = std::max(blockSize, kMinimumBlockSize);
    job->notifyWindow = notify;
    job->updateModeHardwareId = std::move(updateId);
    job->updateModeModel = std::move(updateModel);
    job->normalModeHardwareId = std::move(normalId);
    job->normalModeModel = std::move(normalModel);

    {
        std::lock_guard lock(jobMutex_);
        pendingJob_ = std::move(job);
    }
    running_ = false;
    threadId_ = 0;
    thread_ = std::thread([this] {
        CFlashUpdateContext* mine = nullptr;
        {
            // Taking the job and reporting running happen together, so the start either
            // sees a running thread or takes the job back before the thread can have it.
            std::lock_guard lock(jobMutex_);
            if (!pendingJob_)
                return;
            mine = pendingJob_.release();
            threadId_ = gettid();
            running_ = true;
        }
        FlashThreadProc(mine);
    });

    // 100 polls, 10 ms apart: the last one is made under the lock below.
    for (int poll = 1; poll < kThreadStartPolls; ++poll) {
        if (running_) {
            RaisePriority(threadId_);
            return true;
        }
        SleepMs(kThreadStartPollMs);
    }
    {
        std::lock_guard lock(jobMutex_);
        if (running_) {
            RaisePriority(threadId_);
            return true;
        }
        pendingJob_.reset();
    }
    PostStatus(notify, STATUS_FLASH_THREAD_NOT_STARTED);
    return false;
}

unsigned CUpdateFirmwarePtrMode::FlashThreadProc(CFlashUpdateContext* job)
{
    if (job == nullptr)
        return 0;
    if (job->engine == nullptr) {
        delete job; // the thread owns the job, with or without an engine to run it
        return 0;
    }
    job->engine->FlashThreadMain(job);
    return 0;
}

bool CUpdateFirmwarePtrMode::ReadReply(UsbDeviceRecord* device, std::uint8_t* reply)
{
    std::uint32_t length = USB_REPLY_BUFFER_SIZE;
    if (ReadDevice(device->deviceHandle.get(), reply, &length, device, &stop_)) {
        if ((reply[kStatusFlagsByte] & kStatusBusyFlag) != 0)
            Wait(kBusyPauseMs);
        return true;
    }
    // Once stopped, the retry is not made; the caller looks at the flag before it judges.
    for (int pause = 0; pause < kReplyRetryPauses; ++pause) {
        if (!Wait(kReplyRetryPauseMs))
            return false;
    }
    length = USB_REPLY_BUFFER_SIZE;
    return ReadStatusBytes(device->deviceHandle.get(), reply, &length, device, &stop_);
}

void CUpdateFirmwarePtrMode::FlashThreadMain(CFlashUpdateContext* job)
{
    std::unique_ptr<CFlashUpdateContext> owned(job);
    const platform::WindowHandle notify = job->notifyWindow;
    running_ = true; // already set where the thread took the job

    // Cleared once: the second reply is read over the first, whose tail may remain.
    std::array<std::uint8_t, USB_REPLY_BUFFER_SIZE> reply{};
    UsbDeviceRecord device;
    bool found = false;
    bool failed = false;
    const auto fail = [&](const char* text) {
        PostStatus(notify, text);
        failed = true;
    };

    // Every step looks at the stop flag first; a stop skips to the end.
    [&] {
        if (!Wait(kThreadSettleMs))
            return;
        for (int attempt = 0; attempt < kFindUpdateModeTries && !Stopped(); ++attempt) {
            if (OpenUsbDevice(job->updateModeHardwareId.c_str(), job->updateModeModel.c_str(), &device, true)) {
                found = true;
                break;
            }
            // The pause follows each failed try, the last one too.
            if (!Wait(kFindUpdateModeRetryMs))
                return;
        }
        if (!found || Stopped())
            return;
        PostStatus(notify, STATUS_UPDATE_MODE_RUNNING);
        if (!Wait(kAfterUpdateModeFoundMs))
            return;
        if (!ReadDeviceStatus(&device, &stop_) && !Stopped())
            return fail(STATUS_PRINTER_NOT_RESPONDING);
        if (!Wait(kBeforeFlashRequestMs))
            return;
        if (!WriteCommand(&device, USB_CMD_FLASH_REQUEST.data(), USB_CMD_FLASH_REQUEST.size()))
            return fail(STATUS_ERROR_FLASH_REQUEST);
        if (!Wait(kBeforeReplyReadMs))
            return;
        if (!ReadReply(&device, reply.data()) && !Stopped())
            return fail(STATUS_NO_STATUS_BACK);
        if (!Wait(kBeforeFlashPrepareMs))
            return;
        if (!WriteCommand(&device, USB_CMD_FLASH_PREPARE.data(), USB_CMD_FLASH_PREPARE.size()))
            return fail(STATUS_ERROR_FLASH_PREPARE);
        if (!Wait(kBeforePrepareReplyReadMs))
            return;
        if (!ReadReply(&device, reply.data()) && !Stopped())
            return fail(STATUS_NO_STATUS_BACK);
        if (Stopped())
            return;
        if (!ReplyHoldsFlashReady(reply.data()))
            return fail(STATUS_NOT_FLASH_MODE);
        PostStatus(notify, STATUS_FIRMWARE_LOADING);
        if (!Wait(kBeforeWriteImageMs))
            return;
        if (!WriteFlashImage(job, &device))
            failed = true;
    }();

    device.Clear();
    owned.reset();
    Post(notify, WM_FLASH_UPDATE_DONE, found && !failed ? 1 : 0, reinterpret_cast<platform::LParam>(this));
    running_ = false;
}

bool CUpdateFirmwarePtrMode::WriteFlashImage(CFlashUpdateContext* job, UsbDeviceRecord* device)
{
    if (job == nullptr || device == nullptr || !device->deviceHandle)
        return false;
    const platform::WindowHandle notify = job->notifyWindow;
    const auto engineParam = reinterpret_cast<platform::LParam>(this);

    PostStatus(notify, STATUS_START_DELAY);
    if (!Wait(kStartDelayFirstMs))
        return false;
    for (int step = 0; step < kStartDelaySteps; ++step) {
        if (!Wait(kStartDelayStepMs))
            return false;
    }
    PostStatus(notify, STATUS_FIRMWARE_LOADING);
    if (!Wait(kAfterLoadingTextMs))
        return false;

    bool writeError = false;
    bool lastWriteOk = false;
    std::uint32_t block = 0;
    for (std::uint32_t offset = 0; offset < job->imageLength; offset += job->blockSize, ++block) {
        if (Stopped())
            return false;
        const std::uint32_t chunk = std::min(job->blockSize, job->imageLength - offset);
        // How many bytes the device reports is not compared with the chunk.
        std::size_t written = 0;
        lastWriteOk = device->deviceHandle->Write(job->image.get() + offset, chunk, &written, WriteTimeoutMs(chunk));
        if (!lastWriteOk) {
            writeError = true;
            break;
        }
        Post(notify, WM_LOAD_PROGRESS, 1, static_cast<platform::LParam>(block));
        if (!Wait(kAfterBlockMs))
            return false;
    }
    // The image is written: the handle goes now, since the printer restarts and a device
    // still claimed by us could not be opened by the restart waits below.
    device->deviceHandle.reset();
    if (writeError)
        return false;

    // lParam names the engine, as the send thread names itself; the dialog shows the bar
    // full from this message on rather than reading a position from it.
    Post(notify, WM_UPDATING_FLASH, 1, engineParam);
    if (!Wait(kAfterLastBlockMs))
        return false;

    for (int attempt = 0; attempt < kVanishTries; ++attempt) {
        if (Stopped())
            return false;
        UsbDeviceRecord probe;
        if (!OpenUsbDevice(job->updateModeHardwareId.c_str(), job->updateModeModel.c_str(), &probe, true)) {
            PostStatus(notify, STATUS_RESTARTING);
            if (!Wait(kAfterRestartingMs))
                return false;
            break;
        }
        probe.Clear();
        // The pause follows each try that still finds the device, the last one too.
        if (!Wait(kVanishPollMs))
            return false;
    }

    bool normalFound = false;
    for (int attempt = 0; attempt < kNormalModeTries; ++attempt) {
        if (Stopped())
            return false;
        UsbDeviceRecord probe;
        if (OpenUsbDevice(job->normalModeHardwareId.c_str(), job->normalModeModel.c_str(), &probe, false)) {
            normalFound = true;
            break;
        }
        // The tries are 100 ms apart: no pause after the last.
        if (attempt + 1 < kNormalModeTries && !Wait(kNormalModePollMs))
            return false;
    }
    if (normalFound) {
        PostStatus(notify, STATUS_FINISHED);
        if (!Wait(kAfterFinishedMs))
            return false;
    }

    if (normalFound && job->comms != nullptr) {
        // The lines only tell when the printer is ready again; they do not change the result.
        CComms* comms = job->comms;
        for (bool (CComms::*lineOn)() : {&CComms::IsDSROn, &CComms::IsCTSOn}) {
            for (int poll = 0; poll < kLinePolls; ++poll) {
                if ((comms->*lineOn)())
                    break;
                // 200 ms between polls: none after the last.
                if (poll + 1 < kLinePolls && !Wait(kLinePollMs))
                    return false;
            }
        }
    }
    return !writeError && lastWriteOk && normalFound;
}
