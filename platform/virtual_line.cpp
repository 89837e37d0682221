#include "platform/virtual_line.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>

namespace platform {

// The host end of a virtual line: what OpenSerialDevice hands the transport.
class VirtualHostEnd final : public SerialDevice {
public:
    explicit VirtualHostEnd(std::shared_ptr<VirtualLine> line) : line_(std::move(line)) {}

    ~VirtualHostEnd() override
    {
        std::lock_guard lock(line_->mutex_);
        line_->hostOpen_ = false;
        // Closing a port drops its control lines.
        line_->rts_ = false;
        line_->dtr_ = false;
        line_->toHost_.clear();
    }

    bool Configure(const SerialLineConfig& config) override
    {
        std::lock_guard lock(line_->mutex_);
        if (line_->unplugged_)
            return Fail(EIO);
        line_->hostConfig_ = config;
        return true;
    }

    int Read(std::uint8_t* buffer, int capacity) override
    {
        std::lock_guard lock(line_->mutex_);
        if (line_->unplugged_) {
            Fail(EIO);
            return -1;
        }
        const int count = std::min<int>(capacity, static_cast<int>(line_->toHost_.size()));
        std::copy_n(line_->toHost_.begin(), count, buffer);
        line_->toHost_.erase(line_->toHost_.begin(), line_->toHost_.begin() + count);
        return count;
    }

    int Write(const std::uint8_t* data, int length) override
    {
        {
            std::lock_guard lock(line_->mutex_);
            if (line_->unplugged_) {
                Fail(EIO);
                return -1;
            }
            if (line_->ConfigsMatchLocked()) {
                line_->fromHost_.insert(line_->fromHost_.end(), data, data + length);
                line_->bytesFromHost_ += static_cast<std::uint64_t>(length);
            }
        }
        line_->fromHostArrived_.notify_all();
        return length;
    }

    bool WaitWritable(int) override { return true; }

    bool SetRts(bool on) override { return SetLine(&VirtualLine::rts_, on); }
    bool SetDtr(bool on) override { return SetLine(&VirtualLine::dtr_, on); }

    bool GetModemStatus(ModemStatus* status) override
    {
        std::lock_guard lock(line_->mutex_);
        if (line_->unplugged_)
            return Fail(EIO);
        status->cts = line_->cts_;
        status->dsr = line_->dsr_;
        return true;
    }

    void Purge() override
    {
        std::lock_guard lock(line_->mutex_);
        line_->toHost_.clear();
    }

    int LastError() const override { return lastError_.load(); }

private:
    bool Fail(int error)
    {
        lastError_.store(error);
        return false;
    }

    bool SetLine(bool VirtualLine::*line, bool on)
    {
        std::lock_guard lock(line_->mutex_);
        if (line_->unplugged_)
            return Fail(EIO);
        (*line_).*line = on;
        return true;
    }

    std::shared_ptr<VirtualLine> line_;
    // Read, Write and the owner's calls may fail at the same time on different threads.
    std::atomic<int> lastError_{0};
};

std::shared_ptr<VirtualLine> VirtualLine::Create()
{
    return std::shared_ptr<VirtualLine>(new VirtualLine());
}

std::unique_ptr<SerialDevice> VirtualLine::OpenHostEnd(int* error)
{
    std::lock_guard lock(mutex_);
    const int failure = unplugged_ ? ENODEV : hostOpen_ ? EBUSY : 0;
    if (error != nullptr)
        *error = failure;
    if (failure != 0)
        return nullptr;
    hostOpen_ = true;
    toHost_.clear();
    return std::make_unique<VirtualHostEnd>(shared_from_this());
}

bool VirtualLine::HostIsOpen() const
{
    std::lock_guard lock(mutex_);
    return hostOpen_;
}

SerialLineConfig VirtualLine::HostConfig() const
{
    std::lock_guard lock(mutex_);
    return hostConfig_;
}

bool VirtualLine::Rts() const
{
    std::lock_guard lock(mutex_);
    return rts_;
}

bool VirtualLine::Dtr() const
{
    std::lock_guard lock(mutex_);
    return dtr_;
}

void VirtualLine::SetCts(bool on)
{
    std::lock_guard lock(mutex_);
    cts_ = on;
}

void VirtualLine::SetDsr(bool on)
{
    std::lock_guard lock(mutex_);
    dsr_ = on;
}

bool VirtualLine::Cts() const
{
    std::lock_guard lock(mutex_);
    return cts_;
}

bool VirtualLine::Dsr() const
{
    std::lock_guard lock(mutex_);
    return dsr_;
}

void VirtualLine::SetPrinterLineConfig(std::optional<SerialLineConfig> config)
{
    std::lock_guard lock(mutex_);
    printerConfig_ = config;
}

std::string VirtualLine::TakeFromHost(std::size_t max)
{
    std::lock_guard lock(mutex_);
    const std::size_t count = std::min(max, fromHost_.size());
    std::string bytes(fromHost_.begin(), fromHost_.begin() + static_cast<std::ptrdiff_t>(count));
    fromHost_.erase(fromHost_.begin(), fromHost_.begin() + static_cast<std::ptrdiff_t>(count));
    return bytes;
}

bool VirtualLine::WaitForHostBytes(int ms)
{
    std::unique_lock lock(mutex_);
    return fromHostArrived_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !fromHost_.empty(); });
}

void VirtualLine::SendToHost(std::string_view bytes)
{
    std::lock_guard lock(mutex_);
    if (!hostOpen_ || unplugged_)
        return;
    toHost_.insert(toHost_.end(), bytes.begin(), bytes.end());
    bytesToHost_ += bytes.size();
}

void VirtualLine::Unplug()
{
    std::lock_guard lock(mutex_);
    unplugged_ = true;
}

void VirtualLine::Plug()
{
    std::lock_guard lock(mutex_);
    unplugged_ = false;
}

std::uint64_t VirtualLine::BytesFromHost() const
{
    std::lock_guard lock(mutex_);
    return bytesFromHost_;
}

std::uint64_t VirtualLine::BytesToHost() const
{
    std::lock_guard lock(mutex_);
    return bytesToHost_;
}

bool VirtualLine::ConfigsMatchLocked() const
{
    if (!printerConfig_)
        return true;
    return printerConfig_->baudRate == hostConfig_.baudRate && printerConfig_->dataBits == hostConfig_.dataBits &&
           printerConfig_->parity == hostConfig_.parity;
}

namespace {
std::mutex g_registryMutex;
std::map<std::string, std::shared_ptr<VirtualLine>>& Registry()
{
    static std::map<std::string, std::shared_ptr<VirtualLine>> lines;
    return lines;
}
} // namespace

void RegisterVirtualLine(const std::string& name, std::shared_ptr<VirtualLine> line)
{
    std::lock_guard lock(g_registryMutex);
    Registry()[name] = std::move(line);
}

void UnregisterVirtualLine(const std::string& name)
{
    std::lock_guard lock(g_registryMutex);
    Registry().erase(name);
}

std::shared_ptr<VirtualLine> FindVirtualLine(const std::string& name)
{
    std::lock_guard lock(g_registryMutex);
    const auto it = Registry().find(name);
    return it == Registry().end() ? nullptr : it->second;
}

} // namespace platform
