#pragma once
// What the benchmarks of windows share: Qt's offscreen platform with a private runtime and
// profile folder.

#include "bench/bench_support.h"
#include "ui/messages.h"

#include <QApplication>
#include <QTemporaryDir>

#include <optional>

namespace bench {

// Set up before anything of Qt runs; keep it alive for the benchmark's whole run.
class OffscreenApplication {
public:
    OffscreenApplication(int& argc, char** argv)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", profile_.path().toLocal8Bit());
        application_.emplace(argc, argv);
        ui::InstallWindowMessageSink();
    }
    ~OffscreenApplication() { ui::RemoveWindowMessageSink(); }
    OffscreenApplication(const OffscreenApplication&) = delete;
    OffscreenApplication& operator=(const OffscreenApplication&) = delete;

    const QTemporaryDir& Profile() const { return profile_; }

private:
    QTemporaryDir runtime_;
    QTemporaryDir profile_;
    std::optional<QApplication> application_;
};

// Runs the events that are already queued, posted messages and deferred deletes included.
inline void SettleEvents()
{
    for (int round = 0; round < 3; ++round)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace bench
