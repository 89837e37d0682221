// USB firmware pacing: a 1 MiB image through the flash engine to the simulated USB printer
// at real speed. The engine is paced, not throughput-bound: it pauses 20 ms after each
// block. Figure: the time from "Firmware Loading" (the one after the start delay) to
// WM_UPDATING_FLASH, over the floor of 20 ms per block.
#include "comms/private_messages.h"
#include "firmware/update_firmware_ptr_mode.h"
#include "platform/usb_simulated_backend.h"
#include "platform/window_message.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kImageLength = 1024 * 1024;
constexpr std::uint32_t kBlockSize = 8192;
constexpr double kBlockPauseMs = 20.0;
constexpr double kGoal = 1.10;
constexpr platform::WindowHandle kNotify = 1;
constexpr auto kJobLimit = std::chrono::seconds(120);

// Notes when the two messages that bound the measured stretch were posted.
class TimingSink final : public platform::MessageSink {
public:
    bool Post(platform::PostedMessage message) override
    {
        const Clock::time_point now = Clock::now();
        std::lock_guard lock(mutex_);
        if (message.id == WM_STATUS_TEXT && message.text == STATUS_START_DELAY)
            afterStartDelay_ = true;
        else if (message.id == WM_STATUS_TEXT && message.text == STATUS_FIRMWARE_LOADING && afterStartDelay_)
            loading_ = now;
        else if (message.id == WM_UPDATING_FLASH)
            updating_ = now;
        else if (message.id == WM_FLASH_UPDATE_DONE)
            done_ = message.wParam;
        changed_.notify_all();
        return true;
    }

    bool WaitForDone()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kJobLimit, [this] { return done_.has_value(); });
    }

    std::optional<double> LoadingToUpdatingMs() const
    {
        std::lock_guard lock(mutex_);
        if (!loading_ || !updating_)
            return std::nullopt;
        return std::chrono::duration<double, std::milli>(*updating_ - *loading_).count();
    }

    bool Succeeded() const
    {
        std::lock_guard lock(mutex_);
        return done_ == 1u;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool afterStartDelay_ = false;
    std::optional<Clock::time_point> loading_;
    std::optional<Clock::time_point> updating_;
    std::optional<platform::WParam> done_;
};

} // namespace

int main()
{
    platform::SimulatedUsbBackend usb;
    platform::ScopedUsbBackend installed(usb);
    TimingSink sink;
    platform::SetMessageSink(&sink);

    platform::SimulatedUsbDevice printer;
    printer.serial = platform::SimulatedUsbBackend::HexSerial("MRV41F000001");
    printer.restart.normalSerial = platform::SimulatedUsbBackend::HexSerial("MRV41E000001");
    printer.imageLength = kImageLength;
    usb.AddDevice(printer);

    std::vector<std::uint8_t> image(kImageLength);
    for (std::uint32_t i = 0; i < kImageLength; ++i)
        image[i] = static_cast<std::uint8_t>(i * 31 + 7);

    bool ok = false;
    {
        CUpdateFirmwarePtrMode engine;
        ok = engine.StartFlashUpdate(nullptr, USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL,
                                     USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, kBlockSize, image.data(),
                                     kImageLength, kNotify) &&
             sink.WaitForDone() && sink.Succeeded();
    }
    platform::SetMessageSink(nullptr);

    const std::optional<double> elapsedMs = sink.LoadingToUpdatingMs();
    if (!ok || !elapsedMs) {
        std::printf("usb firmware pacing: FAILED (the load did not complete)\n");
        return 1;
    }
    const std::uint32_t blocks = (kImageLength + kBlockSize - 1) / kBlockSize;
    const double ratio = *elapsedMs / (kBlockPauseMs * blocks);
    std::printf("usb firmware pacing: %.3f (goal <= %.2f)\n", ratio, kGoal);
    return 0;
}
