#pragma once
// The main dialog driven as a user drives it, on Qt's offscreen platform, against one
// simulated printer on a virtual line behind COM3. Every other port leads to no device, so
// no test touches a real serial port; an empty simulated USB backend keeps the update-mode
// reset before each search away from libusb. Menus and file dialogs are answered by
// ScriptedPrompts; each test has a profile folder of its own, empty at the start.
//
// The status line is sampled before every event the user-interface thread delivers, so a
// test sees each text that stood there while the event loop ran, in order.

#include "gui_test_support.h"
#include "tests/support/scoped_port_map.h"

#include "app/jetvane_app.h"
#include "app/jetvane_dlg.h"
#include "app/operation_states.h"
#include "app/resource.h"
#include "comms/printer_codes.h"
#include "platform/port_map.h"
#include "platform/usb_backend.h"
#include "platform/usb_simulated_backend.h"
#include "platform/virtual_line.h"
#include "tools/printer-sim/simulated_printer.h"
#include "ui/messages.h"
#include "ui/prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace main_dialog_test {

inline constexpr int kPrinterPort = 3;
inline constexpr char kPrinterPortText[] = "COM3";
inline constexpr char kPrinterLineName[] = "main-dialog-test-printer";
inline constexpr char kProgramName[] = "jetvane";

// A whole operation at real speed: search (pass 1, row 0), the found handler's waits, the
// command and its reply take about a second and a half.
inline constexpr int kOperationWaitMs = 10000;
// How long a test watches for something that must not happen.
inline constexpr int kQuietWatchMs = 700;

inline constexpr char kIdentityBagTag[] = "YT00000006060";
inline constexpr char kIdentityBoardingPass[] = "YP00000006060";

// The operation buttons, which UpdateButtons enables and disables together.
inline constexpr int kOperationButtons[] = {IDC_EDIT_DEFAULT_CONFIG, IDC_SEND_CONFIG_FILE, IDC_EDIT_EEPROM_CONFIG,
                                            IDC_PRINT_TEST_DOCUMENT, IDC_ROM_OPTIONS,     IDC_LOAD_FIRMWARE,
                                            IDC_SET_CLOCK};

using TestPortMap = test_support::ScopedPortMap;

// A virtual line registered under a name, for the life of the object.
class RegisteredLine {
public:
    explicit RegisteredLine(std::string name) : name_(std::move(name)), line_(platform::VirtualLine::Create())
    {
        platform::RegisterVirtualLine(name_, line_);
    }
    ~RegisteredLine() { platform::UnregisterVirtualLine(name_); }
    RegisteredLine(const RegisteredLine&) = delete;
    RegisteredLine& operator=(const RegisteredLine&) = delete;

    const std::shared_ptr<platform::VirtualLine>& Line() const { return line_; }
    std::string Device() const { return std::string(platform::kVirtualDevicePrefix) + name_; }

private:
    std::string name_;
    std::shared_ptr<platform::VirtualLine> line_;
};

// Samples a value before every event the application delivers and keeps each change.
class EventSampler final : public QObject {
public:
    explicit EventSampler(std::function<QString()> sample) : sample_(std::move(sample))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~EventSampler() override { QCoreApplication::instance()->removeEventFilter(this); }

    void Take()
    {
        const QString value = sample_();
        if (history_.empty() || history_.back() != value)
            history_.push_back(value);
    }
    const std::vector<QString>& History() const { return history_; }

protected:
    bool eventFilter(QObject*, QEvent*) override
    {
        Take();
        return false;
    }

private:
    std::function<QString()> sample_;
    std::vector<QString> history_;
};

// True when wanted appears in history in this order (other values may stand between).
inline bool AppearInOrder(const std::vector<QString>& history, const QStringList& wanted)
{
    auto next = wanted.cbegin();
    for (const QString& value : history) {
        if (next != wanted.cend() && value == *next)
            ++next;
    }
    return next == wanted.cend();
}

inline std::string Printable(const std::vector<QString>& history)
{
    std::string text;
    for (const QString& value : history)
        text += "[" + value.toStdString() + "] ";
    return text;
}

// The application object of a run with these command-line words after the program name.
inline std::unique_ptr<CJetvaneApp> AppWithCommandLine(const QStringList& words = {})
{
    auto app = std::make_unique<CJetvaneApp>();
    QStringList arguments{QString::fromLatin1(kProgramName)};
    arguments << words;
    EXPECT_TRUE(app->ParseCommandLine(arguments));
    return app;
}

// A bag-tag or boarding-pass printer that answers at row 0 of the search (19200 8N1) with
// CTS and DSR on, so that the first probe finds it.
inline printer_sim::PrinterConfig PrinterWithIdentity(const std::string& identity)
{
    printer_sim::PrinterConfig config;
    config.type = identity.rfind("YP", 0) == 0 ? printer_sim::PrinterType::BPP : printer_sim::PrinterType::BTP;
    config.identity = identity;
    config.line = platform::SerialLineConfig{19200, 8, 'N', 1.0f};
    config.cts = true;
    config.dsr = true;
    config.settingsRecord = "SETTINGS-RECORD";
    config.eepromRecord = "EEPROM-RECORD";
    return config;
}

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest()
    {
        ui::ClearQuitRequest();
        portMap.Set(kPrinterPort, printerLine.Device());
    }

    ~MainDialogTest() override
    {
        statusSampler.reset();
        dialog.reset();
        gui_test::ProcessPendingEvents();
        ui::ClearQuitRequest();
    }

    printer_sim::SimulatedPrinter& StartPrinter(const printer_sim::PrinterConfig& config)
    {
        printer = std::make_unique<printer_sim::SimulatedPrinter>(printerLine.Line(), config);
        return *printer;
    }
    printer_sim::SimulatedPrinter& StartPrinter(const std::string& identity = kIdentityBagTag)
    {
        return StartPrinter(PrinterWithIdentity(identity));
    }

    // A printer whose lines are on but that never answers its identity request: the search
    // stays at its first probe (COM3 19200 8N1) for two seconds.
    printer_sim::SimulatedPrinter& StartMutePrinter()
    {
        printer_sim::SimulatedPrinter& mute = StartPrinter();
        printer_sim::Fault silence;
        silence.kind = printer_sim::FaultKind::Silence;
        silence.command = CMD_IDENTIFY;
        silence.times = -1;
        mute.AddFault(silence);
        return mute;
    }

    // Creates the dialog modelessly (OnInitDialog runs, a command line starts its operation)
    // and shows it; the port combo names the printer's port unless a command line runs.
    CJetvaneDlg& OpenDialog(std::unique_ptr<CJetvaneApp> app = AppWithCommandLine())
    {
        MakeDialog(std::move(app));
        EXPECT_TRUE(dialog->Create());
        dialog->ShowWindow(true);
        if (dialog->OperationState() == STATE_IDLE)
            ChoosePort(kPrinterPortText);
        statusSampler->Take();
        return *dialog;
    }

    // Constructs the dialog without a window (for a test that runs it modally).
    CJetvaneDlg& MakeDialog(std::unique_ptr<CJetvaneApp> app = AppWithCommandLine())
    {
        application = std::move(app);
        dialog = std::make_unique<CJetvaneDlg>(*application);
        statusSampler = std::make_unique<EventSampler>([this] { return Status(); });
        return *dialog;
    }

    void ChoosePort(const QString& text) const { dialog->GetComboBox(IDC_PORT).SetWindowText(text); }

    void Click(int buttonId)
    {
        dialog->GetButton(buttonId).Click();
        statusSampler->Take();
    }

    QString Status() const { return dialog && dialog->HasWindow() ? dialog->GetDlgItemText(IDC_STATUS) : QString(); }
    QString ExitCaption() const { return dialog->GetDlgItemText(IDC_EXIT); }
    const std::vector<QString>& StatusHistory() const { return statusSampler->History(); }

    bool WaitUntil(const std::function<bool()>& done, int realMs = kOperationWaitMs)
    {
        return gui_test::ProcessEventsUntil(done, realMs);
    }
    bool WaitForState(int state, int realMs = kOperationWaitMs)
    {
        return WaitUntil([&] { return dialog->OperationState() == state; }, realMs);
    }
    bool WaitForStatus(const QString& text, int realMs = kOperationWaitMs)
    {
        return WaitUntil([&] { return Status() == text; }, realMs);
    }
    // Runs the event loop for realMs whatever happens.
    void KeepRunning(int realMs)
    {
        WaitUntil([] { return false; }, realMs);
    }

    bool OperationButtonsEnabled(bool enabled) const
    {
        for (int id : kOperationButtons) {
            if (dialog->IsDlgItemEnabled(id) != enabled)
                return false;
        }
        return true;
    }

    // The requests the printer received with this command code.
    std::vector<printer_sim::ReceivedFrame> FramesWithCommand(std::uint8_t command) const
    {
        std::vector<printer_sim::ReceivedFrame> found;
        for (const printer_sim::ReceivedFrame& frame : printer->ReceivedFrames()) {
            if (frame.command == command)
                found.push_back(frame);
        }
        return found;
    }

    // A file in the test's own folder.
    QString WriteFile(const QString& name, const std::string& bytes) const
    {
        const QString path = QDir(files.path()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return path;
    }

    // A file of the given length that holds bytes at its start and a hole after them: it
    // costs no disk, however long it is.
    QString WriteSparseFile(const QString& name, const std::string& bytes, qint64 length) const
    {
        const QString path = WriteFile(name, bytes);
        EXPECT_TRUE(QFile::resize(path, length));
        return path;
    }

    // An empty profile, as on a machine where the program never ran.
    gui_test::ScopedProfileFolder profileFolder;
    platform::SimulatedUsbBackend usb;
    platform::ScopedUsbBackend usbInstalled{usb};
    TestPortMap portMap;
    RegisteredLine printerLine{kPrinterLineName};
    QTemporaryDir files;
    ui::ScriptedPrompts prompts;
    std::unique_ptr<printer_sim::SimulatedPrinter> printer;
    std::unique_ptr<CJetvaneApp> application;
    std::unique_ptr<CJetvaneDlg> dialog;
    std::unique_ptr<EventSampler> statusSampler;
};

} // namespace main_dialog_test
