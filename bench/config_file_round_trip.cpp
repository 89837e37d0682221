// Configuration file round trip: 1000 saves and loads of one dialog's record through the
// dialog's own file code (atomic save included: temporary file, flush to disk, rename),
// divided by 1000 plain writes and reads of the same bytes in the same run. No goal yet.
#include "bench/qt_bench_support.h"

#include "settings/settings_dialogs.h"
#include "ui/prompts.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr int kRoundTrips = 1000;

} // namespace

int main(int argc, char** argv)
{
    bench::OffscreenApplication application(argc, argv);
    bench::IdleConnection idle;
    if (!idle.Opened())
        return 1;
    CComms& connection = idle.Connection();
    const QTemporaryDir folder;
    const QString dialogPath = QDir(folder.path()).filePath("bench.QV_BTP_CFG");
    const QString plainPath = QDir(folder.path()).filePath("plain.bin");

    CJetvaneSettingsBTPDlg dialog(nullptr);
    dialog.SetAccessLevel(0);
    dialog.Create(nullptr);
    dialog.SetDeviceSettings(std::string(1, '\x7F'), &connection, false);
    ui::ScriptedPrompts prompts;

    const double dialogSeconds = bench::SecondsOf([&] {
        for (int trip = 0; trip < kRoundTrips; ++trip) {
            prompts.AnswerFileDialog(dialogPath);
            prompts.AnswerMessageBox(ui::IDOK);
            dialog.OnBnClickedSaveToFile();
            prompts.AnswerFileDialog(dialogPath);
            prompts.AnswerMessageBox(ui::IDOK);
            dialog.OnBnClickedLoadFromFile();
        }
    });
    QFile saved(dialogPath);
    saved.open(QIODevice::ReadOnly);
    const QByteArray bytes = saved.readAll();
    saved.close();

    const double plainSeconds = bench::SecondsOf([&] {
        for (int trip = 0; trip < kRoundTrips; ++trip) {
            QFile out(plainPath);
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            out.write(bytes);
            out.close();
            QFile in(plainPath);
            in.open(QIODevice::ReadOnly);
            const QByteArray read = in.readAll();
            if (read.size() != bytes.size())
                std::abort();
        }
    });
    std::printf("configuration file round trip: %.1f of plain file writes and reads (%.3f ms against %.3f ms a "
                "round trip of %lld bytes; no goal set)\n",
                dialogSeconds / plainSeconds, dialogSeconds * 1e3 / kRoundTrips, plainSeconds * 1e3 / kRoundTrips,
                static_cast<long long>(bytes.size()));
    return 0;
}
