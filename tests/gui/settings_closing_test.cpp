// A settings dialog that has begun to close acts on nothing more: clicks and choices that
// were queued while an update held the window reach a dialog that is going.

#include "settings_dialog_fixture.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QMouseEvent>
#include <QTemporaryDir>

namespace settings_test {
namespace {

constexpr int kUpdateDefaults = 1000;
constexpr int kSaveToFile = 1004;
constexpr int kLoadFromFile = 1005;
constexpr int kResetToDefaults = 1059;
constexpr int kProtocol = 1009;
constexpr int kDeviceType = 1030;
constexpr int kContrast = 1022;

// A click as the window system queues it: press and release on the middle of the button,
// delivered once the thread runs its event loop again.
void QueueClick(QWidget* button)
{
    const QPointF middle = QRectF(button->rect()).center();
    const QPointF global = button->mapToGlobal(middle);
    QCoreApplication::postEvent(
        button, new QMouseEvent(QEvent::MouseButtonPress, middle, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        button, new QMouseEvent(QEvent::MouseButtonRelease, middle, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

// A choice in a drop-down list, delivered once the thread runs its event loop again.
void QueueChoice(QWidget* widget, const QString& entry)
{
    QMetaObject::invokeMethod(
        widget, [widget, entry] { gui_test::ChooseComboEntry(widget, entry); }, Qt::QueuedConnection);
}

TEST_F(SettingsDialogTest, QueuedClicksAndChoicesDoNothingOnceTheDialogCloses)
{
    // Each input as it would come queued behind the update.
    struct Queued {
        const char* what;
        std::function<void(CSettingsTableDlg&)> queue;
    };
    const std::vector<Queued> inputs = {
        {"Save To File", [](CSettingsTableDlg& d) { QueueClick(d.GetDlgItem(kSaveToFile).Widget()); }},
        {"Load From File", [](CSettingsTableDlg& d) { QueueClick(d.GetDlgItem(kLoadFromFile).Widget()); }},
        {"Reset to Defaults", [](CSettingsTableDlg& d) { QueueClick(d.GetDlgItem(kResetToDefaults).Widget()); }},
        {"Update Defaults again", [](CSettingsTableDlg& d) { QueueClick(d.GetDlgItem(kUpdateDefaults).Widget()); }},
        {"device type", [](CSettingsTableDlg& d) { QueueChoice(d.GetDlgItem(kDeviceType).Widget(), "BPP"); }},
        {"protocol", [](CSettingsTableDlg& d) { QueueChoice(d.GetDlgItem(kProtocol).Widget(), "FGL"); }},
    };
    const QTemporaryDir folder;
    for (const Queued& input : inputs) {
        SCOPED_TRACE(input.what);
        parent.messages.clear();
        const std::size_t framesBefore = FramesWithCommand(CMD_SET_SETTINGS).size();
        const std::size_t boxesBefore = prompts.MessageBoxes().size();
        const std::size_t fileDialogsBefore = prompts.FileDialogs().size();
        CSettingsTableDlg& btp = Open<CJetvaneSettingsBTPDlg>();
        btp.ApplyDeviceTypeList("BTP BPP");
        SetText(kContrast, "7");
        // What a user would answer, were anything asked.
        const QString late = QDir(folder.path()).filePath(QString("%1.QV_BTP_CFG").arg(input.what));
        prompts.AnswerFileDialog(late);
        prompts.AnswerMessageBox(ui::IDYES);

        input.queue(btp);
        btp.GetButton(kUpdateDefaults).Click(); // holds the thread for its exchange, then closes
        ASSERT_TRUE(btp.IsClosing());
        gui_test::ProcessPendingEvents();

        EXPECT_EQ(FramesWithCommand(CMD_SET_SETTINGS).size(), framesBefore + 1);
        // The update's result, and nothing after it.
        EXPECT_EQ(parent.messages.size(), 1u);
        if (!parent.messages.empty()) {
            EXPECT_EQ(parent.messages[0].id, WM_CONFIG_UPDATED);
            EXPECT_EQ(parent.messages[0].wParam, 1u);
        }
        EXPECT_EQ(prompts.MessageBoxes().size(), boxesBefore);
        EXPECT_EQ(prompts.FileDialogs().size(), fileDialogsBefore);
        EXPECT_EQ(Text(kContrast), "7");
        EXPECT_FALSE(QFile::exists(late));
    }
}

} // namespace
} // namespace settings_test
