// Start-up: `jetvane` started interactively on Qt's offscreen platform. Figures: the time
// from the start of the process until it is idle in its event loop with the main window up,
// and its resident memory then.
#include "bench/bench_support.h"
#include "bench/program_start.h"

#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 5;

} // namespace

int main()
{
    std::vector<double> idleSeconds;
    std::vector<double> residentMib;
    for (int run = 0; run < kRuns; ++run) {
        // A fresh profile each time: a first start on this account.
        const cli_test::CliWorld world;
        bench::Sample sample;
        if (!world.Valid() || !bench::MeasureOneStart(JETVANE_PROGRAM_PATH, world, &sample))
            return 1;
        idleSeconds.push_back(sample.idleSeconds);
        residentMib.push_back(sample.residentMib);
    }
    std::printf("startup: %.0f ms to idle window, %.1f MiB resident (no goal set; median of %d starts, idle = under 10 %% CPU "
                "for %d ms)\n",
                bench::Median(idleSeconds) * 1e3, bench::Median(residentMib), kRuns, bench::kIdleWindowMs);
    return 0;
}
