#include "tools/printer-sim/usb_side.h"

#include "firmware/update_firmware_ptr_mode.h"
#include "platform/timing.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace printer_sim {

// Shared with the printer's switch hook and with the restarts scheduled in the backend, so
// that either may still run after the UsbSide is gone: they find no printer and no backend
// then, and do nothing.
struct UsbSide::State {
    mutable std::mutex mutex; // guards everything below but stop
    mutable std::condition_variable restarted;
    SimulatedPrinter* printer = nullptr;
    platform::SimulatedUsbBackend* usb = nullptr;
    std::shared_ptr<platform::VirtualLine> line;
    UsbSideConfig config;
    bool inUpdateMode = false;
    int switches = 0;
    int restarts = 0;
    std::optional<DeviceId> updateModeDevice;
    std::optional<DeviceId> normalModeDevice;

    std::atomic<bool> stop{false}; // cuts the switch delay short when the UsbSide goes

    std::string SerialText(const char* model) const { return model + config.serialNumber; }

    // The normal-mode device: the same printer on the same port, without the flash sequence.
    platform::SimulatedUsbDevice NormalModeDevice() const
    {
        const platform::SimulatedUsbDevice& shape = config.updateModeDevice;
        platform::SimulatedUsbDevice device;
        device.vendorId = platform::kSimulatedVendorId;
        device.productId = platform::kSimulatedNormalModeProductId;
        device.revision = shape.revision;
        device.location = shape.location;
        device.interfaceClass = shape.interfaceClass;
        device.interfaceSubClass = shape.interfaceSubClass;
        device.interfaceProtocol = shape.interfaceProtocol;
        device.serial = platform::SimulatedUsbBackend::HexSerial(SerialText(USB_NORMAL_MODE_MODEL));
        device.playsFlashSequence = false;
        device.restartOnReset = false;
        device.restart.enabled = false;
        return device;
    }

    // Printer's serving thread, right after CMD_SWITCH_UPDATE_MODE (the printer already
    // hears nothing on its serial line).
    static void SwitchToUpdateMode(const std::shared_ptr<State>& self)
    {
        {
            std::lock_guard lock(self->mutex);
            if (self->usb == nullptr)
                return;
            ++self->switches;
            self->inUpdateMode = true;
            // The printer restarts into its boot loader, which leaves the serial port alone.
            self->line->SetCts(false);
            self->line->SetDsr(false);
            if (self->normalModeDevice)
                self->usb->RemoveDevice(*self->normalModeDevice);
        }
        if (platform::timing::SleepUnless(self->config.switchDelayMs, self->stop))
            return;

        std::lock_guard lock(self->mutex);
        if (self->usb == nullptr)
            return;
        platform::SimulatedUsbDevice device = self->config.updateModeDevice;
        device.vendorId = platform::kSimulatedVendorId;
        device.productId = platform::kSimulatedUpdateModeProductId;
        device.serial = platform::SimulatedUsbBackend::HexSerial(self->SerialText(USB_UPDATE_MODE_MODEL));
        device.restart.normalProductId = platform::kSimulatedNormalModeProductId;
        device.restart.normalSerial = platform::SimulatedUsbBackend::HexSerial(self->SerialText(USB_NORMAL_MODE_MODEL));
        device.restart.line = self->line;
        device.restart.onNormalModeRunning = [self](int normalDeviceId) { BackInNormalMode(self, normalDeviceId); };
        self->updateModeDevice = self->usb->AddDevice(std::move(device));
    }

    // Backend's scheduler thread, once the printer's normal firmware runs again (its
    // normal-mode device is on the bus; DSR and CTS rise right after).
    static void BackInNormalMode(const std::shared_ptr<State>& self, DeviceId normalDeviceId)
    {
        {
            std::lock_guard lock(self->mutex);
            if (self->printer == nullptr)
                return;
            self->normalModeDevice = normalDeviceId;
            self->inUpdateMode = false;
            ++self->restarts;
            self->printer->SetSerialSilent(false);
        }
        self->restarted.notify_all();
    }
};

UsbSide::UsbSide(SimulatedPrinter& printer, platform::SimulatedUsbBackend& usb, UsbSideConfig config)
    : state_(std::make_shared<State>()), printer_(printer)
{
    state_->printer = &printer;
    state_->usb = &usb;
    state_->line = printer.Line();
    state_->config = std::move(config);
    if (state_->config.onBusAtStart)
        state_->normalModeDevice = usb.AddDevice(state_->NormalModeDevice());
    printer_.SetOnSwitchToUpdateMode([state = state_] { State::SwitchToUpdateMode(state); });
}

UsbSide::~UsbSide()
{
    printer_.SetOnSwitchToUpdateMode(nullptr);
    state_->stop.store(true);
    std::lock_guard lock(state_->mutex);
    state_->printer = nullptr;
    state_->usb = nullptr;
}

std::string UsbSide::UpdateModeSerial() const
{
    std::lock_guard lock(state_->mutex);
    return state_->SerialText(USB_UPDATE_MODE_MODEL);
}

std::string UsbSide::NormalModeSerial() const
{
    std::lock_guard lock(state_->mutex);
    return state_->SerialText(USB_NORMAL_MODE_MODEL);
}

bool UsbSide::InUpdateMode() const
{
    std::lock_guard lock(state_->mutex);
    return state_->inUpdateMode;
}

int UsbSide::Switches() const
{
    std::lock_guard lock(state_->mutex);
    return state_->switches;
}

int UsbSide::Restarts() const
{
    std::lock_guard lock(state_->mutex);
    return state_->restarts;
}

bool UsbSide::WaitForRestarts(int count, int realMs) const
{
    std::unique_lock lock(state_->mutex);
    return state_->restarted.wait_for(lock, std::chrono::milliseconds(realMs),
                                      [&] { return state_->restarts >= count; });
}

std::optional<UsbSide::DeviceId> UsbSide::UpdateModeDevice() const
{
    std::lock_guard lock(state_->mutex);
    return state_->updateModeDevice;
}

std::optional<UsbSide::DeviceId> UsbSide::NormalModeDevice() const
{
    std::lock_guard lock(state_->mutex);
    return state_->normalModeDevice;
}

std::vector<std::uint8_t> UsbSide::FirmwareImage() const
{
    std::lock_guard lock(state_->mutex);
    if (!state_->updateModeDevice || state_->usb == nullptr)
        return {};
    return state_->usb->Image(*state_->updateModeDevice);
}

} // namespace printer_sim
