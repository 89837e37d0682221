// Settings dialog open: from the printer's settings record handed to the main dialog to the
// settings dialog shown and filled, for the boarding-pass and bag-tag dialogs on the
// offscreen platform, divided by the main window's own start-up: the program started until
// it is idle with its window up, measured in the same run. Goal <= 1.0.
#include "bench/program_start.h"
#include "bench/qt_bench_support.h"

#include "app/jetvane_app.h"
#include "app/jetvane_dlg.h"
#include "settings/settings_dialogs.h"
#include "tools/printer-sim/default_records.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr int kRuns = 21;
constexpr int kProgramStarts = 5;
constexpr double kGoal = 1.0;


// The steps in which the main dialog opens a settings dialog in its own place; returns the
// seconds they took (the dialog's end is not counted).
template <class Dialog>
double OpenSettings(CJetvaneDlg& main, const std::string& record, CComms& connection)
{
    std::unique_ptr<Dialog> settings;
    const double seconds = bench::SecondsOf([&] {
    settings = std::make_unique<Dialog>(&main);
    settings->SetAccessLevel(0);
    settings->Create(&main);
    settings->SetDeviceSettings(record, &connection, false);
    settings->SetTitle(QStringLiteral("BPP QV Airport Printer Config - YP00000006060"));
    settings->MoveWindowTo(main.GetWindowRect().topLeft());
    settings->ShowWindow(true);
    bench::SettleEvents();
    });
    settings.reset();
    bench::SettleEvents();
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    bench::OffscreenApplication application(argc, argv);
    bench::IdleConnection idle;
    if (!idle.Opened())
        return 1;
    CComms& connection = idle.Connection();

    std::vector<double> programStart;
    for (int run = 0; run < kProgramStarts; ++run) {
        const cli_test::CliWorld world;
        bench::Sample sample;
        if (!world.Valid() || !bench::MeasureOneStart(JETVANE_PROGRAM_PATH, world, &sample))
            return 1;
        programStart.push_back(sample.idleSeconds);
    }

    CJetvaneApp app;
    app.ParseCommandLine({QStringLiteral("jetvane")});
    const std::string bppRecord = printer_sim::DefaultSettingsRecord(printer_sim::PrinterType::BPP);
    const std::string btpRecord = printer_sim::DefaultSettingsRecord(printer_sim::PrinterType::BTP);
    std::vector<double> mainStart;
    std::vector<double> bppOpen;
    std::vector<double> btpOpen;
    for (int run = 0; run < kRuns; ++run) {
        std::unique_ptr<CJetvaneDlg> main;
        mainStart.push_back(bench::SecondsOf([&] {
            main = std::make_unique<CJetvaneDlg>(app);
            main->Create();
            main->ShowWindow(true);
            bench::SettleEvents();
        }));
        bppOpen.push_back(OpenSettings<CJetvaneSettingsBPPDlg>(*main, bppRecord, connection));
        btpOpen.push_back(OpenSettings<CJetvaneSettingsBTPDlg>(*main, btpRecord, connection));
        main.reset();
        bench::SettleEvents();
    }
    const double start = bench::Median(programStart);
    for (const auto& [name, opens] : {std::pair{"BPP", bppOpen}, std::pair{"BTP", btpOpen}}) {
        std::printf("settings dialog open (%s): %.2f of the main window's start-up (%.1f ms against %.1f ms; goal <= "
                    "%.1f; the main dialog alone, within a running program: %.1f ms)\n",
                    name, bench::Median(opens) / start, bench::Median(opens) * 1e3, start * 1e3, kGoal,
                    bench::Median(mainStart) * 1e3);
    }
    return 0;
}
