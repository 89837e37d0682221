#pragma once
// The process's port map for the life of the object, as the profile's [Ports] group gives
// it to the program: the entries a test sets, and for every other port a device that cannot
// exist, so that no test ever opens a real serial port of the machine.

#include "platform/port_map.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace test_support {

inline constexpr char kAbsentDevice[] = "/nonexistent/jetvane-test/tty";

class ScopedPortMap final : public platform::PortMapSource {
public:
    ScopedPortMap() { previous_ = platform::SetPortMapSource(this); }
    ~ScopedPortMap() override { platform::SetPortMapSource(previous_); }
    ScopedPortMap(const ScopedPortMap&) = delete;
    ScopedPortMap& operator=(const ScopedPortMap&) = delete;

    // key: "COM3"; device: a path or "virtual:NAME".
    void Set(const std::string& key, const std::string& device)
    {
        std::lock_guard lock(mutex_);
        entries_[key] = device;
    }
    void Set(int portNumber, const std::string& device) { Set("COM" + std::to_string(portNumber), device); }

    std::optional<std::string> Lookup(const std::string& key) const override
    {
        std::lock_guard lock(mutex_);
        const auto it = entries_.find(key);
        return it == entries_.end() ? std::string(kAbsentDevice) : it->second;
    }

private:
    platform::PortMapSource* previous_ = nullptr;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> entries_;
};

} // namespace test_support
