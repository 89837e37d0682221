#pragma once
// What the benchmarks of windows share: Qt's offscreen platform with a private runtime and
// profile folder.

#include "bench/bench_support.h"
#include "comms/comms.h"
#include "platform/port_map.h"
#include "platform/virtual_line.h"
#include "ui/messages.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <string>

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

// A connection on a virtual line with nothing at its other end, as COM1: the settings
// dialogs keep one, but these benchmarks send nothing through it.
class IdleConnection final : public platform::PortMapSource {
public:
    IdleConnection() : line_(platform::VirtualLine::Create())
    {
        platform::RegisterVirtualLine(kLineName, line_);
        previous_ = platform::SetPortMapSource(this);
        opened_ = connection_.Open(kBenchPort, 19200, 8, 'N', 1.0f);
    }
    ~IdleConnection() override
    {
        connection_.Close();
        platform::SetPortMapSource(previous_);
        platform::UnregisterVirtualLine(kLineName);
    }
    IdleConnection(const IdleConnection&) = delete;
    IdleConnection& operator=(const IdleConnection&) = delete;

    bool Opened() const { return opened_; }
    CComms& Connection() { return connection_; }
    std::optional<std::string> Lookup(const std::string& key) const override
    {
        return key == kBenchPort ? std::optional<std::string>(std::string(platform::kVirtualDevicePrefix) + kLineName)
                                 : std::nullopt;
    }

private:
    static constexpr char kLineName[] = "bench-idle-line";
    std::shared_ptr<platform::VirtualLine> line_;
    platform::PortMapSource* previous_ = nullptr;
    CComms connection_;
    bool opened_ = false;
};

// Runs the events that are already queued, posted messages and deferred deletes included.
inline void SettleEvents()
{
    for (int round = 0; round < 3; ++round)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace bench
