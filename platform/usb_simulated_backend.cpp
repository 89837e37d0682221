#include "platform/usb_simulated_backend.h"

#include "platform/timing.h"
#include "platform/usb_printer_commands.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {
namespace {

// How often the scheduler looks at its clock, in real time.
constexpr auto kSchedulerTick = std::chrono::milliseconds(2);
constexpr std::size_t kGarbageLength = 37;
constexpr std::uint32_t kGarbageSeed = 0x2F5D4254u;

template <std::size_t N>
bool IsCommand(const std::uint8_t* data, std::size_t length, const std::array<std::uint8_t, N>& command)
{
    return length == N && std::equal(command.begin(), command.end(), data);
}

struct DeviceState {
    SimulatedUsbBackend::DeviceId id = 0;
    SimulatedUsbDevice config;
    std::string path;
    bool present = true;
    bool handleOpen = false; // the one handle a device allows
    bool flashReady = false;
    bool restarted = false;
    int writeCount = 0;
    std::uint32_t noise = kGarbageSeed;
    std::deque<std::vector<std::uint8_t>> queuedReplies;
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<std::uint8_t> image;
    std::uint64_t lastImageAtMs = 0;
};

} // namespace

struct SimulatedUsbBackend::Core {
    struct Event {
        std::uint64_t atMs;
        std::function<void()> run;
    };

    mutable std::mutex mutex;
    std::vector<std::shared_ptr<DeviceState>> devices; // in the order they were added
    DeviceId nextId = 1;
    int openHandles = 0;
    int opens = 0;

    std::vector<Event> events;
    std::condition_variable eventsChanged;
    bool stopping = false;
    std::thread scheduler;

    std::shared_ptr<DeviceState> FindLocked(DeviceId id) const
    {
        for (const auto& device : devices) {
            if (device->id == id)
                return device;
        }
        return nullptr;
    }

    DeviceId AddLocked(SimulatedUsbDevice config)
    {
        auto device = std::make_shared<DeviceState>();
        device->id = nextId++;
        device->path = FormatUsbInterfacePath(config.vendorId, config.productId, config.serial, config.location);
        device->config = std::move(config);
        devices.push_back(device);
        return device->id;
    }

    void ScheduleLocked(std::uint64_t atMs, std::function<void()> run)
    {
        events.push_back({atMs, std::move(run)});
        eventsChanged.notify_all();
    }

    // Plays the printer's restart: gone from the bus, back in normal mode, then its
    // serial line comes up (DSR first, CTS when it is ready to take data).
    void ScheduleRestartLocked(const std::shared_ptr<DeviceState>& device)
    {
        if (device->restarted || !device->config.restart.enabled)
            return;
        device->restarted = true;
        const SimulatedUsbRestart restart = device->config.restart;
        const std::uint64_t vanishAt = timing::NowMs() + restart.vanishAfterMs;
        const std::uint64_t appearAt = vanishAt + restart.appearAfterMs;
        const std::uint64_t dsrAt = appearAt + restart.dsrAfterMs;
        const std::uint64_t ctsAt = dsrAt + restart.ctsAfterMs;
        ScheduleLocked(vanishAt, [this, device, line = restart.line] {
            {
                std::lock_guard lock(mutex);
                device->present = false;
            }
            if (line) {
                line->SetDsr(false);
                line->SetCts(false);
            }
        });
        SimulatedUsbDevice normal = device->config;
        normal.productId = restart.normalProductId;
        if (!restart.normalSerial.empty())
            normal.serial = restart.normalSerial;
        normal.playsFlashSequence = false;
        normal.restartOnReset = false;
        normal.restart.enabled = false;
        normal.restart.onNormalModeRunning = nullptr;
        normal.vanishAfterImageBytes = 0;
        normal.failWriteNumber = 0;
        normal.refuseWrites = false;
        // Events run in order on the scheduler thread, so the one at dsrAt sees the id that
        // the one at appearAt stored.
        auto normalId = std::make_shared<DeviceId>(0);
        ScheduleLocked(appearAt, [this, normal, normalId] {
            std::lock_guard lock(mutex);
            *normalId = AddLocked(normal);
        });
        if (restart.onNormalModeRunning || restart.line) {
            // One event, so that the printer answers before its DSR tells the host it may ask.
            ScheduleLocked(dsrAt, [line = restart.line, running = restart.onNormalModeRunning, normalId] {
                if (running)
                    running(*normalId);
                if (line)
                    line->SetDsr(true);
            });
        }
        if (restart.line)
            ScheduleLocked(ctsAt, [line = restart.line] { line->SetCts(true); });
    }

    void ScheduleQuietCheckLocked(const std::shared_ptr<DeviceState>& device)
    {
        const std::uint32_t quietMs = device->config.imageQuietMs;
        ScheduleLocked(timing::NowMs() + quietMs, [this, device, quietMs] {
            std::lock_guard lock(mutex);
            if (device->present && timing::NowMs() >= device->lastImageAtMs + quietMs)
                ScheduleRestartLocked(device);
        });
    }

    void RunScheduler()
    {
        std::unique_lock lock(mutex);
        while (!stopping) {
            eventsChanged.wait_for(lock, kSchedulerTick);
            const std::uint64_t now = timing::NowMs();
            std::vector<Event> due;
            auto notDue = std::stable_partition(events.begin(), events.end(),
                                                [now](const Event& e) { return e.atMs <= now; });
            std::move(events.begin(), notDue, std::back_inserter(due));
            events.erase(events.begin(), notDue);
            // Stable: events due at the same moment run in the order they were scheduled.
            std::stable_sort(due.begin(), due.end(), [](const Event& a, const Event& b) { return a.atMs < b.atMs; });
            lock.unlock();
            for (Event& event : due)
                event.run();
            lock.lock();
        }
    }

    bool Write(const std::shared_ptr<DeviceState>& device, const std::uint8_t* data, std::size_t length,
               std::size_t* written)
    {
        *written = 0;
        std::lock_guard lock(mutex);
        if (!device->present)
            return false;
        ++device->writeCount;
        const SimulatedUsbDevice& config = device->config;
        if (config.refuseWrites || device->writeCount == config.failWriteNumber)
            return false;
        if (device->flashReady && config.vanishAfterImageBytes != 0 &&
            device->image.size() + length >= config.vanishAfterImageBytes) {
            device->present = false;
            return false;
        }
        device->writes.emplace_back(data, data + length);
        *written = length;
        if (device->flashReady) {
            device->image.insert(device->image.end(), data, data + length);
            device->lastImageAtMs = timing::NowMs();
            if (config.imageLength != 0) {
                if (device->image.size() >= config.imageLength)
                    ScheduleRestartLocked(device);
            } else {
                ScheduleQuietCheckLocked(device);
            }
            return true;
        }
        if (IsCommand(data, length, USB_CMD_RESET) && config.restartOnReset) {
            ScheduleRestartLocked(device);
        } else if (config.playsFlashSequence && IsCommand(data, length, USB_CMD_FLASH_REQUEST)) {
            if (!config.flashRequestReply.empty())
                device->queuedReplies.push_back(config.flashRequestReply);
        } else if (config.playsFlashSequence && IsCommand(data, length, USB_CMD_FLASH_PREPARE)) {
            if (!config.flashPrepareReply.empty())
                device->queuedReplies.push_back(config.flashPrepareReply);
            device->flashReady = true;
        }
        return true;
    }

    bool Read(const std::shared_ptr<DeviceState>& device, std::uint8_t* buffer, std::size_t capacity,
              std::size_t* read, std::uint32_t timeoutMs)
    {
        *read = 0;
        std::unique_lock lock(mutex);
        if (!device->present || device->config.readsFail)
            return false;
        if (device->config.readsReturnNothing) {
            // A device with nothing to say lets the transfer run into its time-out.
            lock.unlock();
            timing::SleepMs(timeoutMs);
            return true;
        }
        std::vector<std::uint8_t> answer;
        if (!device->queuedReplies.empty()) {
            answer = std::move(device->queuedReplies.front());
            device->queuedReplies.pop_front();
        } else if (device->config.garbageStatus) {
            for (std::size_t i = 0; i < kGarbageLength; ++i) {
                device->noise = device->noise * 1664525u + 1013904223u;
                answer.push_back(static_cast<std::uint8_t>(device->noise >> 24));
            }
        } else {
            answer = device->config.statusReply;
        }
        *read = std::min(capacity, answer.size());
        std::copy_n(answer.begin(), *read, buffer);
        return true;
    }

    class SimulatedUsbHandle final : public UsbDeviceHandle {
    public:
        SimulatedUsbHandle(std::shared_ptr<Core> core, std::shared_ptr<DeviceState> device)
            : core_(std::move(core)), device_(std::move(device))
        {
        }
        ~SimulatedUsbHandle() override
        {
            std::lock_guard lock(core_->mutex);
            --core_->openHandles;
            device_->handleOpen = false;
        }
        SimulatedUsbHandle(const SimulatedUsbHandle&) = delete;
        SimulatedUsbHandle& operator=(const SimulatedUsbHandle&) = delete;

        bool Write(const std::uint8_t* data, std::size_t length, std::size_t* written, std::uint32_t) override
        {
            return core_->Write(device_, data, length, written);
        }
        bool Read(std::uint8_t* buffer, std::size_t capacity, std::size_t* read, std::uint32_t timeoutMs) override
        {
            return core_->Read(device_, buffer, capacity, read, timeoutMs);
        }

    private:
        std::shared_ptr<Core> core_;
        std::shared_ptr<DeviceState> device_;
    };
};

SimulatedUsbBackend::SimulatedUsbBackend() : core_(std::make_shared<Core>())
{
    core_->scheduler = std::thread([core = core_.get()] { core->RunScheduler(); });
}

SimulatedUsbBackend::~SimulatedUsbBackend()
{
    {
        std::lock_guard lock(core_->mutex);
        core_->stopping = true;
    }
    core_->eventsChanged.notify_all();
    core_->scheduler.join();
}

std::vector<UsbDeviceInfo> SimulatedUsbBackend::Enumerate(std::uint16_t vendorId)
{
    std::lock_guard lock(core_->mutex);
    std::vector<UsbDeviceInfo> infos;
    for (const auto& device : core_->devices) {
        const SimulatedUsbDevice& c = device->config;
        if (!device->present || c.vendorId != vendorId)
            continue;
        infos.push_back({device->path, FormatUsbHardwareId(c.vendorId, c.productId, c.revision),
                         FormatUsbCompatibleId(c.interfaceClass, c.interfaceSubClass, c.interfaceProtocol)});
    }
    return infos;
}

std::unique_ptr<UsbDeviceHandle> SimulatedUsbBackend::Open(const std::string& interfacePath)
{
    std::lock_guard lock(core_->mutex);
    for (const auto& device : core_->devices) {
        if (device->present && device->path == interfacePath) {
            if (!device->config.opens || device->handleOpen)
                return nullptr;
            device->handleOpen = true;
            ++core_->openHandles;
            ++core_->opens;
            return std::make_unique<Core::SimulatedUsbHandle>(core_, device);
        }
    }
    return nullptr;
}

SimulatedUsbBackend::DeviceId SimulatedUsbBackend::AddDevice(SimulatedUsbDevice device)
{
    std::lock_guard lock(core_->mutex);
    return core_->AddLocked(std::move(device));
}

void SimulatedUsbBackend::RemoveDevice(DeviceId id)
{
    std::lock_guard lock(core_->mutex);
    if (auto device = core_->FindLocked(id))
        device->present = false;
}

bool SimulatedUsbBackend::IsPresent(DeviceId id) const
{
    std::lock_guard lock(core_->mutex);
    auto device = core_->FindLocked(id);
    return device && device->present;
}

std::optional<SimulatedUsbBackend::DeviceId> SimulatedUsbBackend::FindDevice(std::uint16_t productId) const
{
    std::lock_guard lock(core_->mutex);
    for (const auto& device : core_->devices) {
        if (device->present && device->config.productId == productId)
            return device->id;
    }
    return std::nullopt;
}

std::string SimulatedUsbBackend::InterfacePath(DeviceId id) const
{
    std::lock_guard lock(core_->mutex);
    auto device = core_->FindLocked(id);
    return device ? device->path : std::string();
}

void SimulatedUsbBackend::SetStatusReply(DeviceId id, std::vector<std::uint8_t> reply)
{
    std::lock_guard lock(core_->mutex);
    if (auto device = core_->FindLocked(id))
        device->config.statusReply = std::move(reply);
}

std::vector<std::vector<std::uint8_t>> SimulatedUsbBackend::Writes(DeviceId id) const
{
    std::lock_guard lock(core_->mutex);
    auto device = core_->FindLocked(id);
    return device ? device->writes : std::vector<std::vector<std::uint8_t>>{};
}

std::vector<std::uint8_t> SimulatedUsbBackend::Image(DeviceId id) const
{
    std::lock_guard lock(core_->mutex);
    auto device = core_->FindLocked(id);
    return device ? device->image : std::vector<std::uint8_t>{};
}

int SimulatedUsbBackend::WriteAttempts(DeviceId id) const
{
    std::lock_guard lock(core_->mutex);
    auto device = core_->FindLocked(id);
    return device ? device->writeCount : 0;
}

bool SimulatedUsbBackend::Restarted(DeviceId id) const
{
    std::lock_guard lock(core_->mutex);
    auto device = core_->FindLocked(id);
    return device && device->restarted;
}

int SimulatedUsbBackend::OpenHandleCount() const
{
    std::lock_guard lock(core_->mutex);
    return core_->openHandles;
}

int SimulatedUsbBackend::OpenCount() const
{
    std::lock_guard lock(core_->mutex);
    return core_->opens;
}

std::string SimulatedUsbBackend::HexSerial(const std::string& text)
{
    std::string hex;
    for (unsigned char c : text) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", c);
        hex += pair;
    }
    return hex;
}

} // namespace platform
