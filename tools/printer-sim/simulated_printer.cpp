#include "tools/printer-sim/simulated_printer.h"

#include "tools/printer-sim/printer_engine.h"

#include <atomic>
#include <thread>

namespace printer_sim {
namespace {

// How long the serving thread waits for host bytes before it looks at its stop flag again.
constexpr int kServePollMs = 20;

class VirtualLineMedium final : public PrinterMedium {
public:
    explicit VirtualLineMedium(std::shared_ptr<platform::VirtualLine> line) : line_(std::move(line)) {}
    void Send(std::string_view bytes) override { line_->SendToHost(bytes); }
    void SetDsr(bool on) override { line_->SetDsr(on); }

private:
    std::shared_ptr<platform::VirtualLine> line_;
};

} // namespace

class SimulatedPrinter::Impl {
public:
    Impl(std::shared_ptr<platform::VirtualLine> line, PrinterConfig config)
        : line_(std::move(line)), medium_(line_), engine_(config, medium_)
    {
        line_->SetPrinterLineConfig(config.line);
        line_->SetCts(config.cts);
        line_->SetDsr(config.dsr);
        thread_ = std::thread(&Impl::Serve, this);
    }

    ~Impl()
    {
        stop_.store(true);
        engine_.Stop();
        thread_.join();
    }

    const std::shared_ptr<platform::VirtualLine>& Line() const { return line_; }
    PrinterEngine& Engine() { return engine_; }
    const PrinterEngine& Engine() const { return engine_; }

private:
    void Serve()
    {
        while (!stop_.load()) {
            if (line_->WaitForHostBytes(kServePollMs))
                engine_.Receive(line_->TakeFromHost());
        }
    }

    std::shared_ptr<platform::VirtualLine> line_;
    VirtualLineMedium medium_;
    PrinterEngine engine_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

SimulatedPrinter::SimulatedPrinter(std::shared_ptr<platform::VirtualLine> line, PrinterConfig config)
    : impl_(std::make_unique<Impl>(std::move(line), std::move(config)))
{
}

SimulatedPrinter::~SimulatedPrinter() = default;

const std::shared_ptr<platform::VirtualLine>& SimulatedPrinter::Line() const
{
    return impl_->Line();
}

void SimulatedPrinter::SetCts(bool on)
{
    impl_->Line()->SetCts(on);
}

void SimulatedPrinter::SetDsr(bool on)
{
    impl_->Line()->SetDsr(on);
}

void SimulatedPrinter::SetIdentity(const std::string& identity)
{
    impl_->Engine().SetIdentity(identity);
}

void SimulatedPrinter::SetSettingsRecord(const std::string& record)
{
    impl_->Engine().SetSettingsRecord(record);
}

void SimulatedPrinter::SetEepromRecord(const std::string& record)
{
    impl_->Engine().SetEepromRecord(record);
}

void SimulatedPrinter::SetRestartDsrLowMs(std::uint32_t ms)
{
    impl_->Engine().SetRestartDsrLowMs(ms);
}

void SimulatedPrinter::AddFault(const Fault& fault)
{
    impl_->Engine().AddFault(fault);
}

void SimulatedPrinter::ClearFaults()
{
    impl_->Engine().ClearFaults();
}

void SimulatedPrinter::SetOnSwitchToUpdateMode(std::function<void()> hook)
{
    impl_->Engine().SetOnSwitchToUpdateMode(std::move(hook));
}

void SimulatedPrinter::SetSerialSilent(bool silent)
{
    impl_->Engine().SetSerialSilent(silent);
}

bool SimulatedPrinter::SerialSilent() const
{
    return impl_->Engine().SerialSilent();
}

std::vector<ReceivedFrame> SimulatedPrinter::ReceivedFrames() const
{
    return impl_->Engine().ReceivedFrames();
}

bool SimulatedPrinter::WaitForFrames(std::size_t count, int ms) const
{
    return impl_->Engine().WaitForFrames(count, ms);
}

std::string SimulatedPrinter::FirmwareImage() const
{
    return impl_->Engine().FirmwareImage();
}

std::vector<std::string> SimulatedPrinter::FirmwareBlockHeaders() const
{
    return impl_->Engine().FirmwareBlockHeaders();
}

bool SimulatedPrinter::FirmwareEnded() const
{
    return impl_->Engine().FirmwareEnded();
}

} // namespace printer_sim
