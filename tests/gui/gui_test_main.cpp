// Runs the window-layer tests on Qt's offscreen platform unless a platform is chosen, with
// a private runtime folder and a private profile folder (both set before Qt starts, since
// QSettings fixes its file's location at first use).

#include "ui/dialog.h"
#include "ui/messages.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
constexpr char kOffscreenPlatform[] = "offscreen";
// The offscreen platform says so whenever a window asks it for what only a desktop does.
constexpr char kUnsupportedByPlatform[] = "This plugin does not support";

QtMessageHandler g_defaultHandler = nullptr;

void QuietOffscreenHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String(kUnsupportedByPlatform)))
        return;
    g_defaultHandler(type, context, message);
}
} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", kOffscreenPlatform);
    const QTemporaryDir runtimeDir;
    const QTemporaryDir configDir;
    if (!runtimeDir.isValid() || !configDir.isValid())
        return 1;
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());

    g_defaultHandler = qInstallMessageHandler(QuietOffscreenHandler);
    QApplication application(argc, argv);
    ui::InstallWindowMessageSink();
    const int result = RUN_ALL_TESTS();
    ui::RemoveWindowMessageSink();
    ui::DeleteDestroyedWindows();
    return result;
}
