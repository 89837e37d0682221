// Start-up: `jetvane` started interactively on Qt's offscreen platform and, where this
// process has an X display (DISPLAY), on that display too, where it first asks the display
// whether it answers. Figures: the time from the start of the process until it is idle in its
// event loop with the main window up, and its resident memory then. An argument names another
// build of the program to measure, for a side-by-side comparison.
#include "bench/bench_support.h"
#include "bench/program_start.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 5;

// One figure: the median of kRuns starts, each on a fresh profile (a first start on this account).
bool Report(const char* program, const char* where, const std::string& x11Display)
{
    std::vector<double> idleSeconds;
    std::vector<double> residentMib;
    for (int run = 0; run < kRuns; ++run) {
        const cli_test::CliWorld world;
        bench::Sample sample;
        if (!world.Valid() || !bench::MeasureOneStart(program, world, &sample, x11Display))
            return false;
        idleSeconds.push_back(sample.idleSeconds);
        residentMib.push_back(sample.residentMib);
    }
    std::printf("startup (%s): %.0f ms to idle window, %.1f MiB resident (no goal set; median of %d starts, idle = "
                "under 10 %% CPU for %d ms)\n",
                where, bench::Median(idleSeconds) * 1e3, bench::Median(residentMib), kRuns, bench::kIdleWindowMs);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const char* program = argc > 1 ? argv[1] : JETVANE_PROGRAM_PATH;
    if (!Report(program, "offscreen", {}))
        return 1;
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0' && !Report(program, (std::string("DISPLAY=") + display).c_str(), display))
        return 1;
    return 0;
}
