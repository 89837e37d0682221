// The prompts seam: scripted answers and what they record, the MFC filter form, and Qt's
// own message box and file dialog answering through the same seam.

#include "gui_test_support.h"
#include "sample_dialogs.h"

#include "ui/prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace gui_test {
namespace {

TEST(ScriptedPrompts, AnswerAMessageBoxAndRecordTheQuestion)
{
    ui::ScriptedPrompts prompts;
    prompts.AnswerMessageBox(ui::IDNO);
    const int answer = ui::MessageBox(0x10001, "Do you want to continue?", "Settings", ui::MB_YESNO | ui::MB_ICONQUESTION);
    EXPECT_EQ(answer, ui::IDNO);
    ASSERT_EQ(prompts.MessageBoxes().size(), 1u);
    EXPECT_EQ(prompts.MessageBoxes()[0].owner, 0x10001u);
    EXPECT_EQ(prompts.MessageBoxes()[0].text, QString("Do you want to continue?"));
    EXPECT_EQ(prompts.MessageBoxes()[0].caption, QString("Settings"));
    EXPECT_EQ(prompts.MessageBoxes()[0].type, ui::MB_YESNO | ui::MB_ICONQUESTION);
    EXPECT_EQ(prompts.Unanswered(), 0);
}

TEST(ScriptedPrompts, QuestionWithoutAScriptedAnswerGetsNoneAndIsCounted)
{
    ui::ScriptedPrompts prompts;
    EXPECT_EQ(ui::MessageBox(platform::kNoWindow, "Unable to change the device type.", "", ui::MB_OK), 0);
    EXPECT_EQ(ui::FileDialog({}), std::nullopt);
    EXPECT_EQ(prompts.Unanswered(), 2);
}

TEST(ScriptedPrompts, AnswerAFileDialogAndRecordFilterAndInitialFile)
{
    ui::ScriptedPrompts prompts;
    prompts.AnswerFileDialog(QString("/data/cfg/a.QV_BTP_CFG"));
    prompts.AnswerFileDialog(std::nullopt); // the user cancels the second one
    ui::FileDialogRequest request;
    request.defaultExtension = "QV_BTP_CFG";
    request.initialFile = "Jetvane.QV_BTP_CFG";
    request.filter = "Configuration Files (*.QV_BTP_CFG)|*.QV_BTP_CFG; *.QV_BPP_CFG||";
    request.flags = ui::OFN_FILEMUSTEXIST | ui::OFN_LONGNAMES | ui::OFN_EXPLORER;
    EXPECT_EQ(ui::FileDialog(request), QString("/data/cfg/a.QV_BTP_CFG"));
    EXPECT_EQ(ui::FileDialog(request), std::nullopt);
    ASSERT_EQ(prompts.FileDialogs().size(), 2u);
    EXPECT_EQ(prompts.FileDialogs()[0].kind, ui::FileDialogKind::Open);
    EXPECT_EQ(prompts.FileDialogs()[0].initialFile, QString("Jetvane.QV_BTP_CFG"));
    EXPECT_EQ(prompts.FileDialogs()[0].filter, request.filter);
    EXPECT_EQ(prompts.FileDialogs()[0].flags & ui::OFN_FILEMUSTEXIST, ui::OFN_FILEMUSTEXIST);
    EXPECT_EQ(prompts.Unanswered(), 0);
}

std::vector<ui::MenuItem> SampleMenu()
{
    return {
        {1, ui::MF_DISABLED, "Select Document", {}},
        {2, ui::MF_STRING, "&Test Grid", {}},
        {3, ui::MF_SEPARATOR, "-", {}},
        {0, ui::MF_POPUP, "Change Power", {{2501, ui::MF_STRING, "0 centi-dBm", {}}, {2502, ui::MF_STRING, "50 centi-dBm", {}}}},
        {16, ui::MF_STRING, "&Close Menu", {}},
    };
}

TEST(ScriptedPrompts, AnswerAPopupMenuAndRecordItsItems)
{
    ui::ScriptedPrompts prompts;
    prompts.AnswerMenu(2502);
    EXPECT_EQ(ui::TrackPopupMenu(0x10002, QPoint(120, 80), SampleMenu()), 2502);
    ASSERT_EQ(prompts.Menus().size(), 1u);
    const ui::PopupMenuRequest& shown = prompts.Menus()[0];
    EXPECT_EQ(shown.screenPosition, QPoint(120, 80));
    ASSERT_EQ(shown.items.size(), 5u);
    EXPECT_EQ(shown.items[1].label, QString("&Test Grid"));
    EXPECT_EQ(shown.items[3].subItems.size(), 2u);
    EXPECT_NE(ui::FindMenuItem(shown.items, 16), nullptr);
    EXPECT_EQ(ui::FindMenuItem(shown.items, 4), nullptr);
}

TEST(ScriptedPrompts, MenuAnswerThatNoUserCouldChooseGivesZero)
{
    ui::ScriptedPrompts prompts;
    prompts.AnswerMenu(1);  // a disabled heading
    prompts.AnswerMenu(14); // not in the menu
    EXPECT_EQ(ui::TrackPopupMenu(platform::kNoWindow, QPoint(), SampleMenu()), 0);
    EXPECT_EQ(ui::TrackPopupMenu(platform::kNoWindow, QPoint(), SampleMenu()), 0);
}

TEST(FileFilter, MfcFormSplitsIntoDescriptionsAndPatterns)
{
    const std::vector<ui::FileFilter> filters =
        ui::ParseFileFilter("Firmware Files (*.BIN)|F2QV1_*.BIN;F2QV1_*.LNK|All Files (*.*)|*||");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].description, QString("Firmware Files (*.BIN)"));
    EXPECT_EQ(filters[0].patterns, QStringList({"F2QV1_*.BIN", "F2QV1_*.LNK"}));
    EXPECT_EQ(filters[1].description, QString("All Files (*.*)"));
    EXPECT_EQ(filters[1].patterns, QStringList({"*"}));
}

TEST(FileFilter, BlanksAroundPatternSeparatorsAreDropped)
{
    const std::vector<ui::FileFilter> filters = ui::ParseFileFilter("Cfg (*.A,*.B)|*.A; *.B ;*.C||");
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].patterns, QStringList({"*.A", "*.B", "*.C"}));
}

// The "Files of type" box: each filter once, by the description that already names its
// patterns, while the dialog still filters by the real patterns; and none cut off.
TEST(QtPrompts, FileDialogShowsEachFilterOnce)
{
    struct Case {
        const char* filter;
        QStringList shown;
        QStringList applied;
    };
    const Case cases[] = {
        {"Firmware Files (*.BIN)|F2QV1_*.BIN;F2QV1_*.LNK|All Files (*.*)|*||",
         {"Firmware Files (*.BIN)", "All Files (*.*)"},
         {"Firmware Files (*.BIN) (F2QV1_*.BIN F2QV1_*.LNK)", "All Files (*.*) (*)"}},
        {"Configuration Files (*.QV_BTP_CFG,*.QV_BPP_CFG,*.QV_EEPROM_CFG)|*.QV_BTP_CFG; *.QV_BPP_CFG; *.QV_EEPROM_CFG||",
         {"Configuration Files (*.QV_BTP_CFG,*.QV_BPP_CFG,*.QV_EEPROM_CFG)"},
         {"Configuration Files (*.QV_BTP_CFG,*.QV_BPP_CFG,*.QV_EEPROM_CFG) (*.QV_BTP_CFG *.QV_BPP_CFG *.QV_EEPROM_CFG)"}},
        {"Logs|*.log||", {"Logs (*.log)"}, {"Logs (*.log)"}},
    };
    for (const Case& expected : cases) {
        QFileDialog dialog;
        ui::FileDialogRequest request;
        request.filter = QString::fromLatin1(expected.filter);
        ui::ConfigureFileDialog(dialog, request);

        const auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        QStringList shown;
        for (int i = 0; i < types->count(); ++i)
            shown << types->itemText(i);
        EXPECT_EQ(shown, expected.shown) << expected.filter;
        EXPECT_EQ(dialog.nameFilters(), expected.applied) << expected.filter;
        dialog.show();
        QCoreApplication::processEvents();
        EXPECT_GE(types->width(), types->sizeHint().width()) << "cut off: " << expected.filter;
    }
}

// The titles the platform's own dialogs have: "Open" and "Save As" for file dialogs, the
// program's name for its message boxes.
TEST(QtPrompts, FileDialogsAreTitledAsThePlatformsOwn)
{
    struct Case {
        ui::FileDialogKind kind;
        const char* title;
        const char* shown;
    };
    const Case cases[] = {
        {ui::FileDialogKind::Open, "", "Open"},
        {ui::FileDialogKind::Save, "", "Save As"},
        {ui::FileDialogKind::Open, "Choose Firmware", "Choose Firmware"},
    };
    for (const Case& c : cases) {
        QFileDialog dialog;
        ui::FileDialogRequest request;
        request.kind = c.kind;
        request.title = QString::fromLatin1(c.title);
        request.filter = QStringLiteral("Configuration Files (*.QV_BTP_CFG)|*.QV_BTP_CFG||");
        ui::ConfigureFileDialog(dialog, request);
        EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1(c.shown));
    }
}

// Closes a box that a test failed to answer, so that a fault cannot hang the suite.
constexpr int kModalSafetyMs = 5000;

// A one-shot timer owned by the test that starts it: it stops when the test's scope ends, so
// it can neither reach the test's locals afterwards nor close a later test's box.
class TestTimer {
public:
    TestTimer(int ms, const std::function<void()>& action)
    {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, action);
        timer_.start(ms);
    }

private:
    QTimer timer_;
};

void CloseActiveModalWidget()
{
    if (QWidget* box = QApplication::activeModalWidget())
        box->close();
}

TEST(QtPrompts, MessageBoxesCarryTheProgramsName)
{
    for (const auto& ask : std::vector<std::function<int()>>{
             [] { return ui::AfxMessageBox(QStringLiteral("Saved"), ui::MB_OK | ui::MB_ICONINFORMATION); },
             [] { return ui::MessageBox(platform::kNoWindow, QStringLiteral("Saved"), QString(), ui::MB_OK); }}) {
        QString title;
        const TestTimer pressOk(0, [&title] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                box->button(QMessageBox::Ok)->click();
            }
        });
        const TestTimer safety(kModalSafetyMs, CloseActiveModalWidget);
        EXPECT_EQ(ask(), ui::IDOK);
        EXPECT_EQ(title, QString("Jetvane"));
    }
}

// The title as a title bar with every button on it shows it on the box's width, in the bold
// title-bar font: whole, or cut short with "...".
QString ShownTitle(const QWidget& box)
{
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    QStyleOptionTitleBar bar;
    bar.initFrom(&box);
    bar.titleBarFlags = Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                        Qt::WindowCloseButtonHint;
    bar.subControls = QStyle::SC_All;
    bar.rect = QRect(0, 0, box.width(), box.style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, &box));
    const QRect label = box.style()->subControlRect(QStyle::CC_TitleBar, &bar, QStyle::SC_TitleBarLabel, &box);
    return QFontMetrics(font).elidedText(box.windowTitle(), Qt::ElideRight, label.width());
}

TEST(QtPrompts, MessageBoxIsWideEnoughForItsTitle)
{
    for (const char* text : {"Saved", "Loaded"}) {
        QString shown;
        QTimer answer; // ends with the test, unlike a free single shot
        answer.setSingleShot(true);
        QObject::connect(&answer, &QTimer::timeout, [&shown, &answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                answer.start();
                return;
            }
            shown = ShownTitle(*box);
            box->button(QMessageBox::Ok)->click();
        });
        answer.start(0);
        EXPECT_EQ(ui::AfxMessageBox(QString::fromLatin1(text), ui::MB_OK | ui::MB_ICONINFORMATION), ui::IDOK);
        EXPECT_EQ(shown, QString("Jetvane")) << text;
    }
}

// A message box is a dialog of the window that asked it (its owner's, or the window in front
// for a box that names none): transient for that window, with neither a minimise nor a
// maximise button asked for, and wide enough for its whole title, in the bold title font,
// beside a window manager's icon and three buttons, each twice the title's line height wide.
// A box that names no owner is no dialog of a hidden window, which would keep it out of sight.
TEST(QtPrompts, MessageBoxIsADialogOfItsWindowWithRoomForItsTitle)
{
    SampleDialog owner;
    ASSERT_TRUE(owner.Create());
    owner.ShowWindow(true);
    owner.BringWindowToTop();
    ASSERT_TRUE(ProcessEventsUntil([&owner] { return QApplication::activeWindow() == owner.Window(); }));
    // A file dialog in front of the owner that has just closed: the window manager has not
    // yet made the owner the active window again.
    QDialog inFront;
    const auto closeADialogInFront = [&inFront] {
        inFront.show();
        inFront.activateWindow();
        EXPECT_TRUE(ProcessEventsUntil([&inFront] { return QApplication::activeWindow() == &inFront; }));
        inFront.hide();
    };
    const auto saved = [] { return ui::AfxMessageBox("Saved", ui::MB_OK | ui::MB_ICONINFORMATION); };
    struct Case {
        const char* what;
        std::function<void()> before;
        std::function<int()> ask;
        bool ownersDialog = true;
    };
    const Case cases[] = {
        {"Saved, no owner named", [] {}, saved},
        {"Loaded, its owner named", [] {},
         [&owner] { return ui::MessageBox(owner.GetSafeHwnd(), "Loaded", "", ui::MB_OK); }},
        {"a caption of its own", [] {},
         [&owner] { return ui::MessageBox(owner.GetSafeHwnd(), "Saved", "Configuration of the printer", ui::MB_OK); }},
        {"Saved, once a dialog in front closed", closeADialogInFront, saved},
        {"Saved, its window hidden", [&owner] { owner.ShowWindow(false); }, saved, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.before();
        QPointer<QMessageBox> shown;
        int width = 0;
        int wanted = 0;
        const TestTimer look(0, [&] {
            shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (shown == nullptr)
                return;
            QFont font = QApplication::font("QMdiSubWindowTitleBar");
            font.setBold(true);
            const QFontMetrics title(font);
            width = shown->width();
            wanted = title.horizontalAdvance(shown->windowTitle()) + 4 * 2 * title.height();
            EXPECT_EQ(shown->windowType(), Qt::Dialog);
            EXPECT_EQ(shown->windowHandle()->flags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
                      Qt::WindowFlags());
            EXPECT_EQ(shown->parentWidget() == owner.Window(), c.ownersDialog);
            EXPECT_EQ(shown->windowHandle()->transientParent() == owner.Window()->windowHandle(), c.ownersDialog);
            shown->button(QMessageBox::Ok)->click();
        });
        const TestTimer safety(kModalSafetyMs, CloseActiveModalWidget);
        EXPECT_EQ(c.ask(), ui::IDOK);
        EXPECT_GE(width, wanted);
        EXPECT_GT(wanted, 0);
    }
}

TEST(QtPrompts, MessageBoxReturnsTheIdOfTheButtonPressed)
{
    ui::QtPrompts prompts;
    QString shownText;
    const TestTimer pressNo(0, [&shownText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        shownText = box->text();
        box->button(QMessageBox::No)->click();
    });
    const TestTimer safety(kModalSafetyMs, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->reject();
    });
    const int answer = prompts.MessageBox({platform::kNoWindow, "Switch printer type?", "Question", ui::MB_YESNO});
    EXPECT_EQ(answer, ui::IDNO);
    EXPECT_EQ(shownText, QString("Switch printer type?"));
}

// Cancel gives no file, although the dialog still names the initial one. A save dialog asked to
// confirm asks before it replaces a file, in its own words: No keeps the file and the dialog,
// Yes gives the file. Without the flag it does not ask.
TEST(QtPrompts, FileDialogGivesTheFileOnlyOnceTheUserHasChosenIt)
{
    QTemporaryDir folder;
    const QString existing = folder.filePath("Jetvane_SITA.QV_BTP_CFG");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("first printer") > 0 && file.flush());
    struct Case {
        const char* what;
        ui::FileDialogKind kind;
        unsigned flags;
        std::vector<QMessageBox::StandardButton> answers; // to the question, in turn
        std::optional<QString> chosen;
    };
    const unsigned mustExist = ui::OFN_LONGNAMES | ui::OFN_FILEMUSTEXIST;
    const unsigned confirm = ui::OFN_LONGNAMES | ui::OFN_OVERWRITEPROMPT;
    const Case cases[] = {
        {"open, Cancel", ui::FileDialogKind::Open, mustExist, {}, std::nullopt},
        {"save, Cancel", ui::FileDialogKind::Save, mustExist, {}, std::nullopt},
        {"No, then Cancel", ui::FileDialogKind::Save, confirm, {QMessageBox::No}, std::nullopt},
        {"No, then Yes", ui::FileDialogKind::Save, confirm, {QMessageBox::No, QMessageBox::Yes}, existing},
        {"not asked to confirm", ui::FileDialogKind::Save, ui::OFN_LONGNAMES, {}, existing},
    };
    ui::FileDialogRequest request;
    request.defaultExtension = "QV_BTP_CFG";
    request.initialFile = existing;
    request.filter = "Configuration Files (*.QV_BTP_CFG)|*.QV_BTP_CFG||";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList named, questions;
        bool confirms = false;
        const auto fileDialog = [&named, &confirms](bool accept) {
            return OnModal<QFileDialog>([&named, &confirms, accept](QFileDialog& dialog) {
                if (named.isEmpty())
                    named = dialog.selectedFiles();
                confirms = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
                accept ? AcceptLater(dialog) : PressCancel(dialog);
            });
        };
        std::deque<ModalScript::Step> steps{fileDialog(!c.answers.empty() || c.chosen)};
        for (const QMessageBox::StandardButton answer : c.answers) {
            steps.push_back(Press(answer, questions));
            if (answer == QMessageBox::No) // back in the file dialog
                steps.push_back(fileDialog(c.chosen.has_value()));
        }
        const ModalScript script(std::move(steps));
        request.kind = c.kind;
        request.flags = c.flags;
        EXPECT_EQ(ui::QtPrompts().FileDialog(request), c.chosen);
        EXPECT_EQ(script.Left(), 0u);
        EXPECT_EQ(named, QStringList{existing});
        if (c.kind == ui::FileDialogKind::Save) {
            EXPECT_EQ(confirms, !c.answers.empty());
        }
        EXPECT_EQ(questions.size(), static_cast<qsizetype>(c.answers.size()));
        for (const QString& question : questions)
            EXPECT_TRUE(question.contains("Jetvane_SITA.QV_BTP_CFG")) << question.toStdString();
        EXPECT_EQ(ReadBytes(existing), "first printer");
    }
}

TEST(QtPrompts, QuitRequestEndsAMessageBoxWithoutAnswer)
{
    ui::ClearQuitRequest();
    ui::QtPrompts prompts;
    const TestTimer quit(0, [] { ui::PostQuitMessage(11); });
    const TestTimer safety(kModalSafetyMs, CloseActiveModalWidget);
    EXPECT_EQ(prompts.MessageBox({platform::kNoWindow, "Waiting", "", ui::MB_OK}), 0);
    EXPECT_EQ(ui::QuitCode(), 11);
    ui::ClearQuitRequest();
}

} // namespace
} // namespace gui_test
