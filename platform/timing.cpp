#include "platform/timing.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace platform::timing {
namespace {

using Clock = std::chrono::steady_clock;

// Program time = programAtChange + (real now - realAtChange) * factor, so that a change of
// the factor never makes the clock jump back.
struct ClockState {
    std::mutex mutex;
    Clock::time_point realAtChange = Clock::now();
    double programAtChangeMs = 0.0;
    double factor = 1.0;
};

ClockState& State()
{
    static ClockState state;
    return state;
}

std::atomic<double> g_factor{1.0};

struct ObserverState {
    std::mutex mutex;
    WaitObserver observer;
};

ObserverState& Observer()
{
    static ObserverState state;
    return state;
}

// Spares every wait the lock while no test observes them.
std::atomic<bool> g_observed{false};

void NoteWait(std::uint32_t ms)
{
    if (!g_observed.load())
        return;
    ObserverState& o = Observer();
    std::lock_guard lock(o.mutex);
    if (o.observer)
        o.observer(ms);
}

double ElapsedRealMs(Clock::time_point from)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

void SleepRealMs(double ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
}

} // namespace

std::uint64_t NowMs()
{
    ClockState& s = State();
    std::lock_guard lock(s.mutex);
    return static_cast<std::uint64_t>(s.programAtChangeMs + ElapsedRealMs(s.realAtChange) * s.factor);
}

void SleepMs(std::uint32_t ms)
{
    NoteWait(ms);
    SleepRealMs(ms / g_factor.load());
}

bool SleepUnless(std::uint32_t ms, const std::atomic<bool>& stop)
{
    NoteWait(ms);
    constexpr auto kPollSlice = std::chrono::milliseconds(5);
    // Every slice ends at the one deadline: each sleep wakes a little late, and over the
    // hundred slices of a long wait those delays would add up.
    const Clock::time_point end = Clock::now() + RealDuration(ms);
    while (!stop.load()) {
        const Clock::time_point now = Clock::now();
        if (now >= end)
            return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, kPollSlice));
    }
    return true;
}

std::chrono::nanoseconds RealDuration(std::uint32_t ms)
{
    return std::chrono::nanoseconds(static_cast<std::int64_t>(ms * 1e6 / g_factor.load()));
}

void SetSpeedFactor(double factor)
{
    factor = std::max(factor, 1.0);
    ClockState& s = State();
    std::lock_guard lock(s.mutex);
    s.programAtChangeMs += ElapsedRealMs(s.realAtChange) * s.factor;
    s.realAtChange = Clock::now();
    s.factor = factor;
    g_factor.store(factor);
}

double SpeedFactor()
{
    return g_factor.load();
}

void SetWaitObserver(WaitObserver observer)
{
    ObserverState& o = Observer();
    std::lock_guard lock(o.mutex);
    g_observed.store(static_cast<bool>(observer));
    o.observer = std::move(observer);
}

} // namespace platform::timing
