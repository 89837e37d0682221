// Enter in the windows that stand in for the main window: a child without a default button
// keeps its window, the settings dialogs' default button still fires, and a push button
// with the focus is still pressed, also after a file dialog or message box that it asked.

#include "main_dialog_fixture.h"

#include "app/profile_values.h"
#include "firmware/load_firmware_dlg.h"
#include "settings/settings_dialogs.h"
#include "settings/settings_ids.h"
#include "tests/support/message_recorder.h"
#include "tools/printer-sim/default_records.h"
#include "ui/profile.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <algorithm>

namespace main_dialog_test {
namespace {

enum class Child { Main, Eeprom, BoardingPass, BagTag, Firmware };

// A version below 6060 loads firmware over the serial line only.
constexpr char kSerialOnlyBagTag[] = "YT00000006050";
constexpr std::size_t kImageSize = 20000;
constexpr double kFasterWaits = 4;

struct EnterCase {
    const char* name;
    Child child;
    int focus; // 0: no control has the focus
    int stateAfter;
    const char* statusAfter; // nullptr: the status line stays as it was
    bool childShownAfter;
    int key = Qt::Key_Return;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

constexpr EnterCase kEnterCases[] = {
    {"EEPROM number field", Child::Eeprom, IDC_CUT_LINE_OFFSET, STATE_SETTINGS_DIALOG, nullptr, true},
    {"EEPROM drop list", Child::Eeprom, IDC_REGION, STATE_SETTINGS_DIALOG, nullptr, true},
    {"EEPROM check box", Child::Eeprom, IDC_ENABLE_BEEPER, STATE_SETTINGS_DIALOG, nullptr, true},
    {"firmware window, nothing focused", Child::Firmware, 0, STATE_FIRMWARE_DIALOG, nullptr, true},
    {"EEPROM Cancel focused", Child::Eeprom, IDC_SETTINGS_CANCEL, STATE_IDLE, "Config Update Cancelled", false},
    {"BPP field: Update All Configs", Child::BoardingPass, IDC_HDC, STATE_IDLE, "Config Updated Successfully", false},
    {"BTP field: Update All Configs", Child::BagTag, IDC_HDC, STATE_IDLE, "Config Updated Successfully", false},
    // Qt marks the numeric keypad's Enter with the keypad modifier.
    {"BTP field, keypad Enter: Update All Configs", Child::BagTag, IDC_HDC, STATE_IDLE, "Config Updated Successfully",
     false, Qt::Key_Enter, Qt::KeypadModifier},
};

class EnterInAChild : public MainDialogTest {
protected:
    // Opens the child through the main window as a technician does; nullptr when it did not open.
    ui::Dialog* OpenChild(Child child)
    {
        const char* identity = child == Child::BoardingPass ? kIdentityBoardingPass
                               : child == Child::Firmware   ? kSerialOnlyBagTag
                                                            : kIdentityBagTag;
        printer_sim::PrinterConfig config = PrinterWithIdentity(identity);
        config.settingsRecord = printer_sim::DefaultSettingsRecord(config.type);
        config.eepromRecord = printer_sim::DefaultEepromRecord(config.type);
        StartPrinter(config);
        if (child == Child::Firmware) {
            ui::WriteProfileString(kProfileSection, kProfilePortConnect, kPrinterPortText);
            prompts.AnswerFileDialog(WriteFile("F2QV1_KEYS.BIN", std::string(kImageSize, '\x5A')));
        }
        OpenDialog();
        if (child == Child::Main)
            return dialog.get();
        const int button = child == Child::Eeprom     ? IDC_EDIT_EEPROM_CONFIG
                           : child == Child::Firmware ? IDC_LOAD_FIRMWARE
                                                      : IDC_EDIT_DEFAULT_CONFIG;
        Click(button);
        if (child != Child::Firmware)
            return WaitForState(STATE_SETTINGS_DIALOG) ? dialog->SettingsDialog() : nullptr;
        // Loaded, so that the window stays with nothing more to do.
        const bool loaded = WaitUntil([this] {
            return dialog->FirmwareDialog() != nullptr && dialog->FirmwareDialog()->Result() != kChildResultNone;
        });
        return loaded ? dialog->FirmwareDialog() : nullptr;
    }

    test_support::ScopedSpeedFactor faster{kFasterWaits};
};

bool SomeWindowIsShown()
{
    return std::ranges::any_of(QApplication::topLevelWidgets(), &QWidget::isVisible);
}

TEST_F(EnterInAChild, LeavesAWindowOnScreenAndPressesOnlyWhatItShould)
{
    for (const EnterCase& c : kEnterCases) {
        SCOPED_TRACE(c.name);
        ui::Dialog* opened = OpenChild(c.child);
        ASSERT_NE(opened, nullptr) << Printable(StatusHistory());
        ui::Dialog& child = *opened;
        QWidget* target = child.Window();
        if (c.focus != 0) {
            child.GotoDlgCtrl(c.focus);
            target = child.GetDlgItem(c.focus).Widget();
        } else if (QWidget* focused = child.Window()->focusWidget()) {
            focused->clearFocus();
        }
        const QString statusBefore = Status();

        gui_test::PressKey(target, c.key, {}, c.modifiers);
        gui_test::ProcessPendingEvents();

        EXPECT_EQ(dialog->OperationState(), c.stateAfter);
        EXPECT_EQ(Status(), c.statusAfter != nullptr ? QString(c.statusAfter) : statusBefore);
        EXPECT_TRUE(SomeWindowIsShown());
        EXPECT_EQ(dialog->IsWindowVisible(), !c.childShownAfter);
        EXPECT_TRUE(!c.childShownAfter || child.IsWindowVisible());
        const std::vector<printer_sim::ReceivedFrame> updates = FramesWithCommand(CMD_SET_SETTINGS);
        const bool updatesAll = c.child == Child::BoardingPass || c.child == Child::BagTag;
        EXPECT_EQ(updates.size(), updatesAll ? 1u : 0u);
        EXPECT_TRUE(!updatesAll || (!updates.empty() && updates[0].payload.ends_with("\x7Fq\x7F")))
            << "not Update All Configs, whose own field ends the record";
        EXPECT_TRUE(FramesWithCommand(CMD_SET_EEPROM_SETTINGS).empty());
        dialog.reset();
        printer.reset();
    }
}

// ---- the focus after a question

enum class Answer {
    Cancel,    // the file dialog is cancelled
    Save,      // a file is chosen to save to, and "Saved" told
    WrongKind, // a file of another kind is chosen to load, and "Invalid device type" told
    Refusal,   // Width holds a number beyond its range: a message box names the field
};

struct PromptCase {
    const char* name;
    Child window;
    int pressed;    // has the focus when Enter is pressed, or is pressed by its access key
    Answer answer;
    int focusAfter; // has the focus once the question is answered
    // The first press by Alt and this key, from focusBefore; 0: Enter on the button.
    int accessKey = 0;
    int focusBefore = 0;
};

constexpr PromptCase kPromptCases[] = {
    {"main: Send Config File", Child::Main, IDC_SEND_CONFIG_FILE, Answer::Cancel, IDC_SEND_CONFIG_FILE},
    {"main: Load Firmware", Child::Main, IDC_LOAD_FIRMWARE, Answer::Cancel, IDC_LOAD_FIRMWARE},
    {"EEPROM: Save To File cancelled", Child::Eeprom, IDC_SAVE_TO_FILE, Answer::Cancel, IDC_SAVE_TO_FILE},
    {"EEPROM: Save To File saved", Child::Eeprom, IDC_SAVE_TO_FILE, Answer::Save, IDC_SAVE_TO_FILE},
    {"EEPROM: Load From File cancelled", Child::Eeprom, IDC_LOAD_FROM_FILE, Answer::Cancel, IDC_LOAD_FROM_FILE},
    {"EEPROM: Load From File, other kind", Child::Eeprom, IDC_LOAD_FROM_FILE, Answer::WrongKind, IDC_LOAD_FROM_FILE},
    {"BPP: Save To File cancelled", Child::BoardingPass, IDC_SAVE_TO_FILE, Answer::Cancel, IDC_SAVE_TO_FILE},
    {"BPP: Save To File saved", Child::BoardingPass, IDC_SAVE_TO_FILE, Answer::Save, IDC_SAVE_TO_FILE},
    {"BPP: Load From File cancelled", Child::BoardingPass, IDC_LOAD_FROM_FILE, Answer::Cancel, IDC_LOAD_FROM_FILE},
    {"BTP: Save To File cancelled", Child::BagTag, IDC_SAVE_TO_FILE, Answer::Cancel, IDC_SAVE_TO_FILE},
    {"BTP: Save To File saved", Child::BagTag, IDC_SAVE_TO_FILE, Answer::Save, IDC_SAVE_TO_FILE},
    {"BTP: Load From File, other kind", Child::BagTag, IDC_LOAD_FROM_FILE, Answer::WrongKind, IDC_LOAD_FROM_FILE},
    {"BTP: Enter in a field beyond its range", Child::BagTag, IDC_WIDTH, Answer::Refusal, IDC_WIDTH},
    {"BTP: Save To File with a field beyond its range", Child::BagTag, IDC_SAVE_TO_FILE, Answer::Refusal, IDC_WIDTH},
    // Qt presses a button by its access key without giving it the focus, as a click would.
    {"main: Send &Config File from the port box", Child::Main, IDC_SEND_CONFIG_FILE, Answer::Cancel,
     IDC_SEND_CONFIG_FILE, Qt::Key_C, IDC_PORT},
    {"BTP: &Save To File from a field", Child::BagTag, IDC_SAVE_TO_FILE, Answer::Cancel, IDC_SAVE_TO_FILE, Qt::Key_S,
     IDC_HDC},
    {"EEPROM: &Load From File from a drop list", Child::Eeprom, IDC_LOAD_FROM_FILE, Answer::Cancel,
     IDC_LOAD_FROM_FILE, Qt::Key_L, IDC_REGION},
};

// Enter, the question answered, Enter again: the second Enter does what the first did (the
// same question is asked again) and never cancels the window, ends the program or sends.
TEST_F(EnterInAChild, AfterAQuestionTheFocusIsWhereItWas)
{
    for (const PromptCase& c : kPromptCases) {
        SCOPED_TRACE(c.name);
        ui::Dialog* opened = OpenChild(c.window);
        ASSERT_NE(opened, nullptr) << Printable(StatusHistory());
        ui::Dialog& window = *opened;
        const int stateBefore = dialog->OperationState();
        const std::size_t framesBefore = printer->ReceivedFrames().size();
        switch (c.answer) {
        case Answer::Cancel:
            prompts.AnswerFileDialog(std::nullopt);
            break;
        case Answer::Save:
            prompts.AnswerFileDialog(QDir(files.path()).filePath("Saved.CFG"));
            prompts.AnswerMessageBox(ui::IDOK);
            break;
        case Answer::WrongKind:
            prompts.AnswerFileDialog(WriteFile("Other.TXT", "text"));
            prompts.AnswerMessageBox(ui::IDOK);
            break;
        case Answer::Refusal:
            window.SetDlgItemText(IDC_WIDTH, "700");
            prompts.AnswerMessageBox(ui::IDOK);
            break;
        }
        const auto questions = [&] {
            return c.answer == Answer::Refusal ? prompts.MessageBoxes().size() : prompts.FileDialogs().size();
        };
        const std::size_t askedBefore = questions();
        const auto asked = [&] { return questions() - askedBefore; };
        const auto pressEnter = [&] {
            QWidget* focused = window.Window()->focusWidget();
            gui_test::PressKey(focused != nullptr ? focused : window.Window(), Qt::Key_Return);
            gui_test::ProcessPendingEvents();
        };
        if (c.accessKey == 0) {
            window.GotoDlgCtrl(c.pressed);
            pressEnter();
        } else {
            window.GotoDlgCtrl(c.focusBefore);
            // An access key reaches only an enabled button of the active window.
            const QWidget* button = window.GetDlgItem(c.pressed).Widget();
            ASSERT_TRUE(WaitUntil([&] {
                window.Window()->activateWindow();
                return window.Window()->isActiveWindow() && button->isEnabled();
            }));
            QTest::keyClick(window.Window()->focusWidget(), static_cast<Qt::Key>(c.accessKey), Qt::AltModifier);
            WaitUntil([&] { return asked() == 1; });
        }
        ASSERT_EQ(asked(), 1u);
        EXPECT_EQ(window.GetFocusedDlgItem(), c.focusAfter);
        pressEnter();

        EXPECT_EQ(asked(), 2u);
        EXPECT_EQ(window.GetFocusedDlgItem(), c.focusAfter);
        EXPECT_TRUE(window.IsWindowVisible());
        EXPECT_EQ(dialog->OperationState(), stateBefore);
        EXPECT_NE(Status(), QString("Config Update Cancelled"));
        EXPECT_EQ(printer->ReceivedFrames().size(), framesBefore);
        EXPECT_EQ(ui::QuitCode(), std::nullopt);
        dialog.reset();
        printer.reset();
    }
}

} // namespace
} // namespace main_dialog_test
