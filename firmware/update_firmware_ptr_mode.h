#pragma once
// The printer's USB firmware update mode: finding its USB device by identity, reading
// its status, restarting printers left in update mode, and the flash engine that writes
// a firmware image to a printer in update mode and waits for its restart.
//
// An identity is a pair (hardware-id prefix, model prefix): a device matches when its
// hardware id begins with the first and the serial text decoded from its interface path
// begins with the second (both compared exactly, case-sensitive).
//
// Thread rules:
// - The lookup operations (OpenUsbDevice, EnumerateUsbDevices, ParseUsbSerial and the
//   reads) are static, keep no state between calls and may run on several threads at once.
// - ResetDevicesInUpdateMode runs on its caller's thread and blocks it for the lookup,
//   the status read and 500 ms per printer reset.
// - StartFlashUpdate starts one flash thread per engine; that thread is the only user of
//   its job and of the device handle it opened, and reports only by posted messages.
// - RequestStop and the destructor may be called from the owner's thread at any time; after
//   either, the engine posts nothing more and starts no further job. The destructor returns
//   once the flash thread has ended. Every pause of the thread and of the reads it makes
//   gives way to the stop at once; what a stop cannot cut short is the one USB transfer in
//   flight: a read (at most 500 ms), a command write (at most 1 s) or a block write (1 s
//   plus 1 ms per 256 bytes of the block, about 1.03 s for the dialog's 8192 bytes). A
//   lookup in flight adds the opening of one device.

#include "platform/usb_backend.h"
#include "platform/usb_printer_commands.h"
#include "platform/window_message.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

class CComms;

inline constexpr std::uint32_t USB_PRINTER_VENDOR_ID = 0x2F5D;

inline constexpr char USB_UPDATE_MODE_HARDWARE_ID[] = "USB\\VID_2F5D&PID_5550";
inline constexpr char USB_UPDATE_MODE_MODEL[] = "MRV41F";
inline constexpr char USB_NORMAL_MODE_HARDWARE_ID[] = "USB\\VID_2F5D&PID_4254";
inline constexpr char USB_NORMAL_MODE_MODEL[] = "MRV41E";

inline constexpr std::size_t USB_TEXT_FIELD_SIZE = 256;
inline constexpr std::size_t USB_REPLY_BUFFER_SIZE = 1024;
inline constexpr std::size_t USB_DEVICE_TABLE_SIZE = 30;

struct UsbIdentity {
    const char* hardwareIdPrefix;
    const char* modelPrefix;
};

// Printers in update mode, ended by a pair of null pointers.
inline constexpr UsbIdentity UPDATE_MODE_DEVICES[] = {
    {USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL},
    {nullptr, nullptr},
};

// One present USB device of the vendor. The record owns the device handle its lookup
// opened: the device closes when the record is cleared, overwritten or destroyed, so a
// record is moved, not copied.
struct UsbDeviceRecord {
    std::uint8_t used = 0;
    std::uint32_t vendorId = 0;
    char serialText[USB_TEXT_FIELD_SIZE] = {};
    char interfacePath[USB_TEXT_FIELD_SIZE] = {};
    char hardwareId[USB_TEXT_FIELD_SIZE] = {};
    char compatibleId[USB_TEXT_FIELD_SIZE] = {};
    std::unique_ptr<platform::UsbDeviceHandle> deviceHandle; // null: not opened
    std::uint8_t lastReply[USB_REPLY_BUFFER_SIZE] = {};       // last reply beginning S, N, E or C
    std::uint32_t lastReplyLength = 0;

    void Clear() { *this = UsbDeviceRecord{}; }
};

using UsbDeviceTable = std::array<UsbDeviceRecord, USB_DEVICE_TABLE_SIZE>;

class CUpdateFirmwarePtrMode;

// The job handed to the flash thread; the thread owns it once it runs.
struct CFlashUpdateContext {
    CComms* comms = nullptr; // for the DSR and CTS waits only; not owned, may be null
    CUpdateFirmwarePtrMode* engine = nullptr;
    std::unique_ptr<std::uint8_t[]> image; // the job's own copy, length + 1 bytes
    std::uint32_t imageLength = 0;
    std::uint32_t blockSize = 0;
    platform::WindowHandle notifyWindow = platform::kNoWindow;
    std::string updateModeHardwareId;
    std::string updateModeModel;
    std::string normalModeHardwareId;
    std::string normalModeModel;
};

// Status texts that the flash engine posts with WM_STATUS_TEXT.
inline constexpr char STATUS_FLASH_THREAD_NOT_STARTED[] = "Flash update thread did not start";
inline constexpr char STATUS_UPDATE_MODE_RUNNING[] = "Firmware Update Mode Running";
inline constexpr char STATUS_PRINTER_NOT_RESPONDING[] = "Printer Is NOT Responding";
inline constexpr char STATUS_ERROR_FLASH_REQUEST[] = "Error 1bFR";
inline constexpr char STATUS_NO_STATUS_BACK[] = "Could not read status back";
inline constexpr char STATUS_ERROR_FLASH_PREPARE[] = "Error 1bIA";
inline constexpr char STATUS_NOT_FLASH_MODE[] = "Failed to entered flash programming mode";
inline constexpr char STATUS_FIRMWARE_LOADING[] = "Firmware Loading";
inline constexpr char STATUS_START_DELAY[] = "Firmware Loading - Start Delay";
inline constexpr char STATUS_RESTARTING[] = "Firmware Update - Restarting";
inline constexpr char STATUS_FINISHED[] = "Firmware Update - Finished";

class CUpdateFirmwarePtrMode {
public:
    static constexpr std::uint32_t kMinimumBlockSize = 512;

    CUpdateFirmwarePtrMode() = default;
    virtual ~CUpdateFirmwarePtrMode();
    CUpdateFirmwarePtrMode(const CUpdateFirmwarePtrMode&) = delete;
    CUpdateFirmwarePtrMode& operator=(const CUpdateFirmwarePtrMode&) = delete;

    // Restarts every printer found in update mode whose status is clean. True when at
    // least one was told to restart (whether or not its write went through).
    bool ResetDevicesInUpdateMode();

    // Starts the flash thread on a copy of the image; true when it runs. Reports to notify:
    // WM_STATUS_TEXT (0, text), WM_LOAD_PROGRESS (1, block index), WM_UPDATING_FLASH (1,
    // this engine) and at the end WM_FLASH_UPDATE_DONE (1 success / 0 failure, this engine).
    bool StartFlashUpdate(CComms* comms, std::string updateId, std::string updateModel, std::string normalId,
                          std::string normalModel, std::uint32_t blockSize, const std::uint8_t* image,
                          std::uint32_t length, platform::WindowHandle notify);

    // Sets the stop flag for good: the flash thread and a reset end at their next step,
    // nothing more is posted and StartFlashUpdate refuses (false, no text) from then on.
    // The destructor does this itself.
    void RequestStop();
    // RequestStop, then waits for the flash thread to end, as the destructor does; the
    // connection the job watched may be closed afterwards.
    void Stop();
    bool IsRunning() const { return running_.load(); }

    // The flash thread's entry: runs the job's engine on it and frees the job; returns 0.
    static unsigned FlashThreadProc(CFlashUpdateContext* job);
    bool WriteFlashImage(CFlashUpdateContext* job, UsbDeviceRecord* device);

    // mustOpen false only asks whether a matching device is present: the device is not
    // opened and the record's handle stays null.
    static bool OpenUsbDevice(const char* hardwareIdPrefix, const char* modelPrefix, UsbDeviceRecord* out,
                              bool mustOpen);
    static bool EnumerateUsbDevices(std::uint32_t vendorId, UsbDeviceTable& table);
    // serialText holds USB_TEXT_FIELD_SIZE characters.
    static bool ParseUsbSerial(std::uint32_t vendorId, const char* interfacePath, char* serialText);
    // The reads. length: the capacity on entry, the bytes read on return. stop, when given,
    // cuts their fixed pauses short and, once set, keeps them from reading any further:
    // a read so stopped fails, and a stopped status read is not clean. Without a stop
    // flag (or while it is clear) every pause has its full length.
    static bool ReadDevice(platform::UsbDeviceHandle* device, std::uint8_t* buffer, std::uint32_t* length,
                           UsbDeviceRecord* record, const std::atomic<bool>* stop = nullptr);
    static bool ReadStatusBytes(platform::UsbDeviceHandle* device, std::uint8_t* buffer, std::uint32_t* length,
                                UsbDeviceRecord* record, const std::atomic<bool>* stop = nullptr);
    static bool ReadDeviceStatus(UsbDeviceRecord* record, const std::atomic<bool>* stop = nullptr);
    // The status rule: byte 3 zero, byte 4 without 0x80, 0x40, 0x20, 0x10, 0x04.
    // status holds at least 5 bytes.
    static bool IsStatusClean(const std::uint8_t* status);

private:
    void FlashThreadMain(CFlashUpdateContext* job);
    bool Stopped() const { return stop_.load(); }
    bool Wait(std::uint32_t ms) const; // false when the stop flag cut it short
    bool WriteCommand(UsbDeviceRecord* device, const std::uint8_t* command, std::size_t length) const;
    bool ReadReply(UsbDeviceRecord* device, std::uint8_t* reply);
    void PostStatus(platform::WindowHandle notify, const char* text);
    void Post(platform::WindowHandle notify, unsigned id, platform::WParam wParam, platform::LParam lParam);

    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::atomic<pid_t> threadId_{0}; // the kernel's id of the flash thread, for its priority

    // A job that StartFlashUpdate has handed out but the thread has not yet taken: the
    // thread takes it under this lock, and a start that gives up takes it back, so a thread
    // that starts late never sees a freed job.
    std::mutex jobMutex_;
    std::unique_ptr<CFlashUpdateContext> pendingJob_;

    // Held while posting and while setting the stop flag, so that nothing is posted once
    // RequestStop has returned.
    std::mutex postMutex_;
};
