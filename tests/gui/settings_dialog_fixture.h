#pragma once
// The settings dialogs on their own, as the main dialog drives them: a stand-in parent that
// records the dialogs' messages, and a simulated printer on a virtual line behind COM3
// with an open connection to it. Message boxes and file dialogs are answered by
// ScriptedPrompts; each test has a profile folder of its own, empty at the start.

#include "gui_test_support.h"
#include "tests/support/scoped_port_map.h"

#include "comms/comms.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "platform/virtual_line.h"
#include "settings/settings_dialogs.h"
#include "tools/printer-sim/simulated_printer.h"
#include "ui/dialog.h"
#include "ui/prompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>

#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace settings_test {

inline constexpr char kDel = '\x7F';

// A dialog definition like base over other settings rows, for a test's dialog of other tables;
// rows and definition live as long as the test program.
inline const SettingsDialogDefinition& WithSettingsRows(const SettingsDialogDefinition& base,
                                                        std::vector<SettingDescriptor> rows)
{
    static std::list<std::pair<std::vector<SettingDescriptor>, SettingsDialogDefinition>> made;
    auto& [keptRows, definition] = made.emplace_back(std::move(rows), base);
    definition.tables.settings = keptRows;
    return definition;
}
inline constexpr int kPrinterPort = 3;
inline constexpr char kPrinterPortName[] = "COM3";
inline constexpr char kLineName[] = "settings-dialog-test-printer";

// One field of a settings record: DEL, group, parameter and the value as it travels.
inline std::string Field(char group, int parameter, const std::string& value)
{
    return std::string(1, kDel) + group + static_cast<char>(parameter) + value;
}

// Stands in for the main dialog: records what the settings dialogs send it, and may act
// on a message (a type switch, say) through a hook.
class RecordingParent : public ui::Dialog {
public:
    struct Message {
        unsigned id;
        ui::WParam wParam;
    };

    RecordingParent() : ui::Dialog(Template())
    {
        MapMessage(WM_CONFIG_UPDATED, &RecordingParent::Record<WM_CONFIG_UPDATED>);
        MapMessage(WM_BPP_CONFIG_UPDATED, &RecordingParent::Record<WM_BPP_CONFIG_UPDATED>);
        MapMessage(WM_CHANGE_DEVICE_TYPE, &RecordingParent::Record<WM_CHANGE_DEVICE_TYPE>);
    }

    std::vector<Message> messages;

private:
    template <unsigned Id>
    ui::LResult Record(ui::WParam wParam, ui::LParam)
    {
        messages.push_back({Id, wParam});
        return 0;
    }

    static const ui::DialogTemplate& Template()
    {
        static const ui::DialogTemplate kTemplate{"Main", 100, 50, ui::dialog_style::kCentered, {}, {}};
        return kTemplate;
    }
};

class SettingsDialogTest : public ::testing::Test {
protected:
    SettingsDialogTest()
    {
        platform::RegisterVirtualLine(kLineName, line);
        portMap.Set(kPrinterPort, std::string(platform::kVirtualDevicePrefix) + kLineName);
        printer_sim::PrinterConfig config;
        config.line = platform::SerialLineConfig{19200, 8, 'N', 1.0f};
        printer = std::make_unique<printer_sim::SimulatedPrinter>(line, config);
        EXPECT_TRUE(connection.Open(kPrinterPortName, 19200, 8, 'N', 1.0f));
        EXPECT_TRUE(parent.Create());
    }

    ~SettingsDialogTest() override
    {
        dialog.reset();
        connection.Close();
        printer.reset();
        platform::UnregisterVirtualLine(kLineName);
        gui_test::ProcessPendingEvents();
    }

    // Opens a dialog as the main dialog does, with the record given (none: not filled).
    template <class Dialog>
    Dialog& Open(int accessLevel = 0, const std::string* record = nullptr)
    {
        auto opened = std::make_unique<Dialog>(&parent);
        Dialog& result = *opened;
        dialog = std::move(opened);
        EXPECT_TRUE(dialog->SetAccessLevel(accessLevel));
        EXPECT_TRUE(dialog->Create(&parent));
        if (record != nullptr)
            EXPECT_TRUE(dialog->SetDeviceSettings(*record, &connection, false));
        else
            dialog->SetDeviceSettings(std::string(1, kDel), &connection, false);
        dialog->ShowWindow(true);
        return result;
    }

    QString Text(int id) const { return dialog->GetDlgItemText(id); }
    bool Checked(int id) const { return dialog->IsDlgButtonChecked(id); }
    bool Visible(int id) const { return dialog->GetDlgItem(id).IsWindowVisible(); }
    bool Enabled(int id) const { return dialog->IsDlgItemEnabled(id); }
    int Selection(int id) const { return dialog->GetComboBox(id).GetCurSel(); }
    QStringList Entries(int id) const
    {
        QStringList entries;
        const ui::ComboBox combo = dialog->GetComboBox(id);
        for (int i = 0; i < combo.GetCount(); ++i)
            entries << combo.GetLBText(i);
        return entries;
    }
    void Choose(int id, const QString& entry)
    {
        EXPECT_TRUE(gui_test::ChooseComboEntry(dialog->GetDlgItem(id).Widget(), entry)) << entry.toStdString();
    }
    void SetText(int id, const QString& text) { dialog->SetDlgItemText(id, text); }

    std::vector<printer_sim::ReceivedFrame> FramesWithCommand(std::uint8_t command) const
    {
        std::vector<printer_sim::ReceivedFrame> found;
        for (const printer_sim::ReceivedFrame& frame : printer->ReceivedFrames()) {
            if (frame.command == command)
                found.push_back(frame);
        }
        return found;
    }

    gui_test::ScopedProfileFolder profileFolder;
    test_support::ScopedPortMap portMap;
    std::shared_ptr<platform::VirtualLine> line = platform::VirtualLine::Create();
    std::unique_ptr<printer_sim::SimulatedPrinter> printer;
    CComms connection;
    ui::ScriptedPrompts prompts;
    RecordingParent parent;
    std::unique_ptr<CSettingsTableDlg> dialog;
};

} // namespace settings_test
