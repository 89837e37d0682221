#pragma once
// The program's one clock. Every fixed wait and time-out goes through here so that
// tests can run the clock faster than real time for the long waits of the protocol
// (update-mode restarts, the DSR budget after a firmware load). At the default speed
// factor of 1 program time is real time.
//
// Thread rules: every function may be called from any thread. SetSpeedFactor is meant
// for a test's set-up, before the threads it affects are started.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace platform::timing {

// Milliseconds of program time since an arbitrary start; steady, never goes back.
std::uint64_t NowMs();

// Sleeps for ms milliseconds of program time.
void SleepMs(std::uint32_t ms);

// Sleeps for up to ms milliseconds of program time. Returns true as soon as stop is
// set (the wait is cut short within about 10 ms of real time), false after the full wait.
bool SleepUnless(std::uint32_t ms, const std::atomic<bool>& stop);

// The real duration of ms milliseconds of program time, for waits on condition variables.
std::chrono::nanoseconds RealDuration(std::uint32_t ms);

// Program time runs factor times faster than real time (factor >= 1).
void SetSpeedFactor(double factor);
double SpeedFactor();

// For tests, which count waits where timing them could not tell one too many: the observer
// sees the length of every wait asked of SleepMs and SleepUnless, on the asking thread,
// before the wait. An empty one removes it; once this returns, a removed observer is no
// longer called. It is called under a lock and must not wait itself.
using WaitObserver = std::function<void(std::uint32_t ms)>;
void SetWaitObserver(WaitObserver observer);

// A point in program time that can be re-armed.
class Deadline {
public:
    explicit Deadline(std::uint32_t ms) { Arm(ms); }
    void Arm(std::uint32_t ms) { at_ = NowMs() + ms; }
    void Extend(std::uint64_t ms) { at_ += ms; }
    bool Passed() const { return NowMs() > at_; }

private:
    std::uint64_t at_ = 0;
};

} // namespace platform::timing
