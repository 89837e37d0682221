// Pictures of the main dialog, idle and while it searches. They go to
// JETVANE_SCREENSHOT_DIR when it is set, else to the test's build folder.

#include "main_dialog_fixture.h"

#include "app/status_texts.h"
#include "ui/application_icon.h"
#include "ui/display.h"

#include <QFileInfo>
#include <QImage>

namespace main_dialog_test {
namespace {

QString ScreenshotPath(const char* fileName)
{
    QString folder = qEnvironmentVariable("JETVANE_SCREENSHOT_DIR");
    if (folder.isEmpty())
        folder = QString::fromUtf8(JETVANE_DEFAULT_SCREENSHOT_DIR);
    return QDir(folder).filePath(QString::fromUtf8(fileName));
}

void ExpectPictureOfWindow(const QString& path, const QWidget* window)
{
    const QImage picture(path);
    ASSERT_FALSE(picture.isNull()) << path.toStdString();
    EXPECT_EQ(picture.size() / picture.devicePixelRatio(), window->size());
}

using MainDialogScreenshot = MainDialogTest;

TEST_F(MainDialogScreenshot, IdleDialog)
{
    OpenDialog();
    const QString path = ScreenshotPath("main_dialog_idle.png");

    ASSERT_TRUE(ui::SaveScreenshot(dialog->Window(), path));

    ExpectPictureOfWindow(path, dialog->Window());
    EXPECT_EQ(dialog->GetWindowText(), QString("v2.3.1.1 Jetvane"));
}

// The program's own icon, whatever icon theme the machine has (here: none).
TEST_F(MainDialogScreenshot, WindowShowsTheProgramsIcon)
{
    OpenDialog();

    const QImage shown = dialog->Window()->windowIcon().pixmap(32, 32).toImage();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown, ui::ApplicationIcon().pixmap(32, 32).toImage());
}

TEST_F(MainDialogScreenshot, DialogDuringASearch)
{
    // A printer that does not answer its identity request keeps the search at its first
    // probe long enough for the picture.
    StartMutePrinter();
    OpenDialog();
    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitUntil([&] { return Status().startsWith(QLatin1String("Searching port:")); }));
    const QString path = ScreenshotPath("main_dialog_searching.png");

    ASSERT_TRUE(ui::SaveScreenshot(dialog->Window(), path));

    ExpectPictureOfWindow(path, dialog->Window());
    EXPECT_EQ(Status(), QString("Searching port:\nCOM3,19200,8,N,1"));
    EXPECT_EQ(ExitCaption(), kCancelCaption);
    Click(IDC_EXIT);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
}

} // namespace
} // namespace main_dialog_test
