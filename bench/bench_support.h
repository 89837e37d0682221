#pragma once
// What the benchmarks share: a port map that puts COM1 on the simulator's pseudo-terminal,
// line-time arithmetic, timing and medians.

#include "platform/port_map.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace bench {

constexpr char kBenchPort[] = "COM1";

class SinglePortMap final : public platform::PortMapSource {
public:
    explicit SinglePortMap(std::string device) : device_(std::move(device)) {}
    std::optional<std::string> Lookup(const std::string& key) const override
    {
        return key == kBenchPort ? std::optional<std::string>(device_) : std::nullopt;
    }

private:
    std::string device_;
};

// Seconds that bytes take on the line: start bit, data bits, parity bit, one stop bit.
inline double LineSeconds(std::uint64_t bytes, std::uint32_t baud, int dataBits = 8, bool parity = false)
{
    const int bitsPerByte = 1 + dataBits + (parity ? 1 : 0) + 1;
    return static_cast<double>(bytes) * bitsPerByte / baud;
}

inline double SecondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

} // namespace bench
