// Commands, messages, window handles, the keyboard's dialog keys and the modal run with
// its quit code.

#include "gui_test_support.h"
#include "sample_dialogs.h"

#include "platform/window_message.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace gui_test {
namespace {

// Ends a modal loop that a test failed to end, so that a fault cannot hang the suite.
constexpr int kModalSafetyMs = 5000;
constexpr int kSafetyResult = 999;

void EndAfterSafetyDelay(ui::Dialog& dialog)
{
    QTimer::singleShot(kModalSafetyMs, dialog.Window(), [&dialog] { dialog.EndDialog(kSafetyResult); });
}

TEST(CommandMap, ButtonClickRunsTheMappedHandler)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.GetButton(kEditButtonId).Click();
    EXPECT_EQ(dialog.editClicks, 1);
}

TEST(CommandMap, UserChoiceInAComboSendsSelChangeButCodeDoesNot)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::ComboBox choice = dialog.GetComboBox(kChoiceComboId);
    choice.AddString("AEA");
    choice.AddString("SITA");
    choice.SetCurSel(0);
    EXPECT_EQ(dialog.choiceChanges, 0);
    auto* combo = qobject_cast<QComboBox*>(choice.Widget());
    PressKey(combo, Qt::Key_Down);
    EXPECT_EQ(choice.GetCurSel(), 1);
    EXPECT_EQ(dialog.choiceChanges, 1);
}

TEST(MessageMap, SendMessageRunsTheHandlerAtOnceAndReturnsItsResult)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(ui::SendMessage(dialog.GetSafeHwnd(), kValueMessage, 5, -7), kValueMessageResult);
    ASSERT_EQ(dialog.received.size(), 1u);
    EXPECT_EQ(dialog.received[0].wParam, 5u);
    EXPECT_EQ(dialog.received[0].lParam, -7);
}

TEST(MessageMap, UnmappedMessageAndUnknownWindowGiveZero)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(ui::SendMessage(dialog.GetSafeHwnd(), 0x4FF, 1, 1), 0);
    EXPECT_EQ(ui::SendMessage(platform::kNoWindow, kValueMessage, 1, 1), 0);
    EXPECT_TRUE(dialog.received.empty());
}

TEST(MessageMap, CommandMessageClicksThroughTheCommandMap)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.SendMessage(ui::WM_COMMAND, ui::MakeCommandWParam(kEditButtonId, ui::BN_CLICKED), 0);
    EXPECT_EQ(dialog.editClicks, 1);
}

TEST(MessageMap, CloseMessageEndsTheDialogThroughOnCancel)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(true);
    dialog.SendMessage(ui::WM_CLOSE, 0, 0);
    EXPECT_EQ(dialog.cancelCount, 1);
    EXPECT_FALSE(dialog.IsWindowVisible());
    EXPECT_TRUE(ui::IsWindow(dialog.GetSafeHwnd())); // a modeless dialog is only hidden
}

TEST(PostedMessages, WorkerThreadPostReachesTheHandlerOnTheUserInterfaceThread)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::WindowHandle handle = dialog.GetSafeHwnd();
    bool valuePosted = false;
    bool textPosted = false;
    std::thread worker([&] {
        valuePosted = platform::PostWindowMessage(handle, kValueMessage, 3, 1234);
        std::string text = "Searching COM3";
        textPosted = platform::PostWindowText(handle, kTextMessage, 4, text);
        text.assign("overwritten by the sender"); // the message carries its own copy
    });
    worker.join();
    EXPECT_TRUE(valuePosted);
    EXPECT_TRUE(textPosted);
    EXPECT_TRUE(dialog.received.empty()); // nothing runs before the event loop does
    ASSERT_TRUE(ProcessEventsUntil([&] { return dialog.received.size() == 2; }));
    EXPECT_EQ(dialog.received[0].id, kValueMessage);
    EXPECT_EQ(dialog.received[0].wParam, 3u);
    EXPECT_EQ(dialog.received[0].lParam, 1234);
    EXPECT_EQ(dialog.received[0].thread, std::this_thread::get_id());
    EXPECT_EQ(dialog.received[1].id, kTextMessage);
    EXPECT_EQ(dialog.received[1].wParam, 4u);
    EXPECT_EQ(dialog.received[1].text, "Searching COM3");
    EXPECT_EQ(dialog.received[1].thread, std::this_thread::get_id());
}

TEST(PostedMessages, PostToADestroyedWindowIsRefused)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::WindowHandle handle = dialog.GetSafeHwnd();
    ASSERT_TRUE(dialog.DestroyWindow());
    EXPECT_FALSE(ui::IsWindow(handle));
    EXPECT_EQ(dialog.GetSafeHwnd(), platform::kNoWindow);
    EXPECT_FALSE(platform::PostWindowText(handle, kTextMessage, 1, "late text"));
    EXPECT_FALSE(platform::PostWindowMessage(handle, kValueMessage, 1, 2));
    ProcessPendingEvents();
    EXPECT_TRUE(dialog.received.empty());
}

TEST(PostedMessages, MessageQueuedBeforeTheWindowWasDestroyedIsDropped)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::WindowHandle handle = dialog.GetSafeHwnd();
    ASSERT_TRUE(platform::PostWindowText(handle, kTextMessage, 1, "queued text"));
    ASSERT_TRUE(platform::PostWindowMessage(handle, kValueMessage, 1, 2));
    ASSERT_TRUE(dialog.DestroyWindow());
    ProcessPendingEvents();
    ui::DeleteDestroyedWindows();
    EXPECT_TRUE(dialog.received.empty());
}

TEST(PostedMessages, MessageToAWindowDestroyedWithItsObjectIsDropped)
{
    ui::WindowHandle handle = platform::kNoWindow;
    {
        SampleDialog dialog;
        ASSERT_TRUE(dialog.Create());
        handle = dialog.GetSafeHwnd();
        ASSERT_TRUE(platform::PostWindowText(handle, kTextMessage, 1, "never read"));
    }
    EXPECT_FALSE(ui::IsWindow(handle));
    ProcessPendingEvents();
    ui::DeleteDestroyedWindows();
}

TEST(WindowHandles, AreNeverGivenOutTwice)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::WindowHandle first = dialog.GetSafeHwnd();
    dialog.DestroyWindow();
    ASSERT_TRUE(dialog.Create());
    const ui::WindowHandle second = dialog.GetSafeHwnd();
    EXPECT_NE(first, second);
    EXPECT_FALSE(ui::IsWindow(first));
    EXPECT_TRUE(ui::IsWindow(second));
}

TEST(WindowHandles, ControlHandlesDieWithTheirWindow)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::Button exitButton = dialog.GetButton(kExitButtonId);
    EXPECT_TRUE(exitButton.IsWindow());
    dialog.DestroyWindow();
    EXPECT_FALSE(exitButton.IsWindow());
    EXPECT_EQ(exitButton.GetWindowText(), QString());
    exitButton.SetWindowText("ignored");
}

TEST(ChildDialogs, ChildIsOwnedByItsParentAndDestroyedWithIt)
{
    SampleDialog parent;
    ASSERT_TRUE(parent.Create());
    SampleDialog child(kProgressDialog);
    ASSERT_TRUE(child.Create(&parent));
    EXPECT_EQ(child.GetParent(), &parent);
    EXPECT_EQ(child.GetParentHandle(), parent.GetSafeHwnd());
    EXPECT_TRUE(child.IsWindowVisible()); // the template is visible
    parent.DestroyWindow();
    EXPECT_FALSE(child.HasWindow());
}

TEST(ChildDialogs, ParentHandlerMayDestroyTheChildThatSentTheMessage)
{
    SampleDialog parent;
    ASSERT_TRUE(parent.Create());
    SampleDialog child(kProgressDialog);
    ASSERT_TRUE(child.Create(&parent));
    parent.onValueMessage = [&child](SampleDialog&) { child.DestroyWindow(); };
    // The child reports from one of its own handlers, as a settings dialog does on Cancel.
    child.onValueMessage = [](SampleDialog& self) {
        ui::SendMessage(self.GetParentHandle(), kValueMessage, 1, 0);
    };
    ui::SendMessage(child.GetSafeHwnd(), kValueMessage, 0, 0);
    EXPECT_FALSE(child.HasWindow());
    ASSERT_EQ(parent.received.size(), 1u);
    ProcessPendingEvents();
    ui::DeleteDestroyedWindows();
}

TEST(ChildDialogs, MovesToAPointKeepingItsSize)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const QSize size = dialog.GetWindowRect().size();
    dialog.MoveWindowTo(QPoint(40, 50));
    EXPECT_EQ(dialog.GetWindowPosition(), QPoint(40, 50));
    EXPECT_EQ(dialog.GetWindowRect().size(), size);
    dialog.SetWindowText("BTP Child - MRV41E");
    EXPECT_EQ(dialog.GetWindowText(), QString("BTP Child - MRV41E"));
}

// A window goes where asked, or as near as keeps all of it, frame included, on the screen.
TEST(ChildDialogs, KeepsTheWholeWindowWithItsFrameOnTheScreen)
{
    const QRect screen(0, 0, 1280, 1024);
    const QMargins titleBar(1, 20, 1, 1); // a window manager's frame: a title bar and thin edges
    struct Case {
        const char* what;
        QRect client;
        QMargins frame;
        QPoint placed;
    };
    const Case cases[] = {
        {"inside", {454, 414, 373, 236}, titleBar, {454, 414}},
        {"frame just inside the top-left corner", {1, 20, 373, 236}, titleBar, {1, 20}},
        {"title bar above the screen", {100, 5, 373, 236}, titleBar, {100, 20}},
        {"off the right edge", {1000, 300, 373, 236}, titleBar, {1280 - 1 - 373, 300}},
        {"off the bottom edge", {100, 900, 373, 236}, titleBar, {100, 1024 - 1 - 236}},
        {"off the top-left", {-50, -50, 373, 236}, titleBar, {1, 20}},
        {"wider than the screen", {300, 300, 1400, 236}, titleBar, {1, 300}},
        {"without a frame", {1000, 900, 373, 236}, QMargins(), {1280 - 373, 1024 - 236}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::KeepOnScreenPosition(c.client, c.frame, screen), c.placed) << c.what;
}

// A window that takes another's place and gives it back, as the main dialog and its child
// dialogs do, covers it exactly, round after round, frames included.
TEST(ChildDialogs, TakesAnotherWindowsPlaceExactlyRoundAfterRound)
{
    SampleDialog main;
    ASSERT_TRUE(main.Create());
    main.MoveWindowTo(QPoint(120, 90));
    main.ShowWindow(true);
    ProcessPendingEvents();
    const QRect first = main.GetWindowRect();
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        SampleDialog child(kProgressDialog, &main);
        ASSERT_TRUE(child.Create(&main));
        child.MoveWindowTo(main.GetWindowPosition());
        child.ShowWindow(true);
        main.ShowWindow(false);
        ProcessPendingEvents();
        EXPECT_EQ(child.GetWindowRect().topLeft(), first.topLeft());

        main.MoveWindowTo(child.GetWindowPosition());
        main.ShowWindow(true);
        child.DestroyWindow();
        ProcessPendingEvents();
        EXPECT_EQ(main.GetWindowRect(), first);
    }
    ui::DeleteDestroyedWindows();
}

TEST(ModalRun, EndDialogReturnsItsResultFromDoModal)
{
    SampleDialog dialog;
    dialog.onInit = [](SampleDialog& self) {
        EndAfterSafetyDelay(self);
        QTimer::singleShot(0, self.Window(), [&self] { self.EndDialog(42); });
    };
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_FALSE(dialog.HasWindow());
}

TEST(ModalRun, HidingAModalDialogKeepsItsLoopRunning)
{
    SampleDialog dialog;
    bool runningWhileHidden = false;
    dialog.onInit = [&runningWhileHidden](SampleDialog& self) {
        EndAfterSafetyDelay(self);
        QTimer::singleShot(0, self.Window(), [&self] { self.ShowWindow(false); });
        QTimer::singleShot(20, self.Window(), [&self, &runningWhileHidden] {
            runningWhileHidden = self.HasWindow() && !self.IsWindowVisible();
            self.ShowWindow(true);
            self.EndDialog(7);
        });
    };
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_TRUE(runningWhileHidden);
}

TEST(ModalRun, EndDialogInOnInitDialogEndsTheRunAtOnce)
{
    SampleDialog dialog;
    dialog.onInit = [](SampleDialog& self) {
        EndAfterSafetyDelay(self);
        self.EndDialog(ui::IDCANCEL);
    };
    EXPECT_EQ(dialog.DoModal(), ui::IDCANCEL);
}

TEST(ModalRun, PostQuitMessageEndsDoModalAndKeepsTheExitCode)
{
    ui::ClearQuitRequest();
    SampleDialog dialog;
    dialog.onInit = [](SampleDialog& self) {
        EndAfterSafetyDelay(self);
        ui::PostQuitMessage(21); // before the loop runs, as a bad command line does
    };
    EXPECT_EQ(dialog.DoModal(), ui::kModalEndedByQuit);
    EXPECT_EQ(ui::QuitCode(), 21);
    EXPECT_EQ(dialog.cancelCount, 0);
    ui::ClearQuitRequest();
    EXPECT_EQ(ui::QuitCode(), std::nullopt);
}

TEST(ModalRun, QuitRequestEndsANestedModalLoopAndTheDialogBeneathIt)
{
    ui::ClearQuitRequest();
    SampleDialog outer;
    int innerResult = 0;
    outer.onInit = [&innerResult](SampleDialog& self) {
        EndAfterSafetyDelay(self);
        QTimer::singleShot(0, self.Window(), [&innerResult] {
            SampleDialog inner(kProgressDialog);
            inner.onInit = [](SampleDialog& nested) {
                EndAfterSafetyDelay(nested);
                QTimer::singleShot(0, nested.Window(), [] { ui::PostQuitMessage(20); });
            };
            innerResult = inner.DoModal();
        });
    };
    EXPECT_EQ(outer.DoModal(), ui::kModalEndedByQuit);
    EXPECT_EQ(innerResult, ui::kModalEndedByQuit);
    EXPECT_EQ(ui::QuitCode(), 20);
    ui::ClearQuitRequest();
}

TEST(ModalRun, MessagesArePostedToADialogWhileAnotherModalLoopRuns)
{
    SampleDialog watcher;
    ASSERT_TRUE(watcher.Create());
    SampleDialog modal(kProgressDialog);
    watcher.onValueMessage = [&modal](SampleDialog&) { modal.EndDialog(ui::IDOK); };
    const ui::WindowHandle watcherHandle = watcher.GetSafeHwnd();
    std::thread worker;
    modal.onInit = [&](SampleDialog& self) {
        EndAfterSafetyDelay(self);
        worker = std::thread([watcherHandle] { platform::PostWindowMessage(watcherHandle, kValueMessage, 9, 0); });
    };
    EXPECT_EQ(modal.DoModal(), ui::IDOK);
    worker.join();
    ASSERT_EQ(watcher.received.size(), 1u);
    EXPECT_EQ(watcher.received[0].wParam, 9u);
}

TEST(DialogKeys, EscapeCallsOnCancel)
{
    SampleDialog dialog;
    dialog.onInit = [](SampleDialog& self) {
        EndAfterSafetyDelay(self);
        QTimer::singleShot(0, self.Window(), [&self] {
            auto* combo = qobject_cast<QComboBox*>(self.GetDlgItem(kPortComboId).Widget());
            PressKey(combo->lineEdit(), Qt::Key_Escape);
        });
    };
    EXPECT_EQ(dialog.DoModal(), ui::IDCANCEL);
    EXPECT_EQ(dialog.cancelCount, 1);
    EXPECT_EQ(dialog.okCount, 0);
}

TEST(DialogKeys, EscapeInAnOpenComboListClosesOnlyTheList)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(true);
    const ui::ComboBox port = dialog.GetComboBox(kPortComboId);
    port.AddString("AUTO");
    port.AddString("COM1");
    auto* combo = qobject_cast<QComboBox*>(port.Widget());
    combo->showPopup();
    ASSERT_TRUE(combo->view()->isVisible());
    PressKey(combo->view(), Qt::Key_Escape);
    EXPECT_EQ(dialog.cancelCount, 0);
    EXPECT_TRUE(dialog.IsWindowVisible());
}

TEST(DialogKeys, CloseBoxCallsOnCancel)
{
    SampleDialog dialog;
    dialog.onInit = [](SampleDialog& self) {
        EndAfterSafetyDelay(self);
        QTimer::singleShot(0, self.Window(), [&self] { self.Window()->close(); });
    };
    EXPECT_EQ(dialog.DoModal(), ui::IDCANCEL);
    EXPECT_EQ(dialog.cancelCount, 1);
}

TEST(DialogKeys, EnterInAComboCallsOnOK)
{
    SampleDialog dialog;
    dialog.onInit = [](SampleDialog& self) {
        EndAfterSafetyDelay(self);
        QTimer::singleShot(0, self.Window(), [&self] {
            auto* combo = qobject_cast<QComboBox*>(self.GetDlgItem(kPortComboId).Widget());
            PressKey(combo->lineEdit(), Qt::Key_Return);
        });
    };
    EXPECT_EQ(dialog.DoModal(), ui::IDOK);
    EXPECT_EQ(dialog.okCount, 1);
}

TEST(DialogKeys, EnterOnAFocusedButtonClicksThatButton)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(true);
    dialog.GotoDlgCtrl(kEditButtonId);
    ASSERT_EQ(dialog.GetFocusedDlgItem(), kEditButtonId);
    PressKey(dialog.GetDlgItem(kEditButtonId).Widget(), Qt::Key_Return);
    EXPECT_EQ(dialog.editClicks, 1);
    EXPECT_EQ(dialog.okCount, 0);
}

TEST(DialogKeys, EnterPressesTheDefaultButtonWhenNoButtonHasTheFocus)
{
    SampleDialog dialog(kProgressDialog);
    int cancelClicks = 0;
    ASSERT_TRUE(dialog.Create());
    QObject::connect(qobject_cast<QPushButton*>(dialog.GetDlgItem(kCancelButtonId).Widget()), &QPushButton::clicked,
                     [&cancelClicks] { ++cancelClicks; });
    PressKey(dialog.Window(), Qt::Key_Enter);
    EXPECT_EQ(cancelClicks, 1);
    EXPECT_EQ(dialog.okCount, 0);
}

TEST(DialogKeys, NextDialogControlMessageMovesTheFocus)
{
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(true);
    dialog.GotoDlgCtrl(kExitButtonId);
    ASSERT_TRUE(dialog.PostMessage(ui::WM_NEXTDLGCTL, kEditButtonId, 1));
    ASSERT_TRUE(ProcessEventsUntil([&] { return dialog.GetFocusedDlgItem() == kEditButtonId; }));
}

} // namespace
} // namespace gui_test
