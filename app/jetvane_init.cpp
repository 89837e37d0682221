// Start-up: the command line, the window system and the main dialog's modal run.
#include "app/exit_codes.h"
#include "app/jetvane_app.h"
#include "app/jetvane_dlg.h"
#include "ui/application_icon.h"
#include "ui/display.h"
#include "ui/messages.h"
#include "ui/profile.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kOffscreenPlatform[] = "offscreen";
constexpr char kNoDisplayMessage[] =
    "jetvane: no display to show the window on (set DISPLAY, or run unattended with SILENT)\n";
constexpr int kNoDisplayExitCode = 1;

} // namespace

int CJetvaneApp::InitInstance(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (!ParseCommandLine(arguments))
        return EXIT_CODE_COMMAND_ERROR;

    // An unattended run needs no screen: scripts and scheduled jobs run it over SSH. So does
    // a run whose command line is incomplete, which ends with its exit code at once.
    if (!ui::DisplayAvailable()) {
        if (!silentMode_ && !HasIncompleteRequest()) {
            std::fputs(kNoDisplayMessage, stderr);
            return kNoDisplayExitCode;
        }
        qputenv("QT_QPA_PLATFORM", kOffscreenPlatform);
    }

    // Qt sees only the program's name: the words of the command line are ours, and a word
    // such as -platform must not be taken as one of Qt's options.
    int qtArgumentCount = 1;
    QApplication application(qtArgumentCount, argv);
    // Qt's own windows (message boxes, file dialogs) show it as well.
    QApplication::setWindowIcon(ui::ApplicationIcon());
    ui::InstallWindowMessageSink();
    ui::InstallProfilePortMap();
    {
        CJetvaneDlg dialog(*this);
        dialog.DoModal();
    }
    ui::DeleteDestroyedWindows();
    ui::RemoveWindowMessageSink();
    return ui::QuitCode().value_or(EXIT_CODE_SUCCESS);
}
