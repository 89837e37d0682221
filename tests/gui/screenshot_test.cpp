// Pictures of dialogs, and whether a display is there to show them. Set
// JETVANE_SCREENSHOT_DIR to keep the pictures.

#include "gui_test_support.h"
#include "sample_dialogs.h"

#include "ui/display.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace gui_test {
namespace {

QString ScreenshotFolder(const QTemporaryDir& fallback)
{
    const QString chosen = qEnvironmentVariable("JETVANE_SCREENSHOT_DIR");
    return chosen.isEmpty() ? fallback.path() : chosen;
}

TEST(Screenshot, DialogIsSavedAsAPictureOfItsSize)
{
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const ui::ComboBox port = dialog.GetComboBox(kPortComboId);
    port.AddString("AUTO");
    port.SetCurSel(0);
    dialog.ShowWindow(true);
    const QString path = QDir(ScreenshotFolder(folder)).filePath("sample_port_dialog.png");
    ASSERT_TRUE(ui::SaveScreenshot(dialog.Window(), path));
    EXPECT_GT(QFileInfo(path).size(), 0);
    const QImage picture(path);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size() / picture.devicePixelRatio(), dialog.Window()->size());
}

TEST(Screenshot, ProgressWindowIsSaved)
{
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SampleDialog dialog(kProgressDialog);
    ASSERT_TRUE(dialog.Create());
    dialog.GetProgressCtrl(kProgressId).SetRange32(0, 10);
    dialog.GetProgressCtrl(kProgressId).SetPos(4);
    const QString path = QDir(ScreenshotFolder(folder)).filePath("sample_progress_dialog.png");
    ASSERT_TRUE(ui::SaveScreenshot(dialog.Window(), path));
    EXPECT_GT(QFileInfo(path).size(), 0);
}

TEST(Screenshot, NoWidgetGivesNoPicture)
{
    EXPECT_FALSE(ui::SaveScreenshot(nullptr, QDir::temp().filePath("never_written.png")));
}

TEST(Display, IsAvailableOnlyWithADisplayOrAnExplicitPlatform)
{
    const ScopedVariable display("DISPLAY", nullptr);
    const ScopedVariable wayland("WAYLAND_DISPLAY", nullptr);
    {
        const ScopedVariable platform("QT_QPA_PLATFORM", nullptr);
        EXPECT_FALSE(ui::DisplayAvailable());
    }
    {
        const ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
        EXPECT_TRUE(ui::DisplayAvailable());
    }
    {
        const ScopedVariable platform("QT_QPA_PLATFORM", nullptr);
        const ScopedVariable x11("DISPLAY", ":0");
        EXPECT_TRUE(ui::DisplayAvailable());
    }
}

} // namespace
} // namespace gui_test
