// Start-up: the command line, the window system and the main dialog's modal run.
#include "app/end_of_run.h"
#include "app/jetvane_app.h"
#include "app/jetvane_dlg.h"
#include "ui/application_icon.h"
#include "ui/display.h"
#include "ui/exit_codes.h"
#include "ui/messages.h"
#include "ui/profile.h"

#include <QApplication>

#include <cstdlib>

namespace {

constexpr char kNoDisplayMessage[] = "no display to show the window on (set DISPLAY, or run unattended with SILENT)";
constexpr char kDeadDisplayMessage[] = "%1; %2, or run unattended with SILENT";
// What would let the window show: a display that answers, or a platform that has one.
constexpr char kSetDisplayAdvice[] = "set %1 to a running one";
constexpr char kSetPlatformAdvice[] = "set QT_QPA_PLATFORM to xcb or wayland";
constexpr int kNoDisplayExitCode = 1;
constexpr char kWordSeparator[] = " ";

QString DeadDisplayLine(const QString& why)
{
    const char* variable = ui::DisplayVariableThatWouldHelp();
    const QString advice = variable != nullptr ? QString::fromLatin1(kSetDisplayAdvice).arg(QLatin1String(variable))
                                               : QString::fromLatin1(kSetPlatformAdvice);
    return QString::fromUtf8(kDeadDisplayMessage).arg(why, advice);
}

// The end of a run that needs a window and has no display Qt can use.
int EndWithoutDisplay(const QString& why)
{
    return EndOfRun(kNoDisplayExitCode, DeadDisplayLine(why));
}

} // namespace

int CJetvaneApp::ExitCodeOfRun(std::optional<int> quitCode) const
{
    // Only a quit code says how an unattended run went; without one it did not succeed.
    return quitCode.value_or(silentMode_ ? EXIT_CODE_OPERATION_FAILED : EXIT_CODE_SUCCESS);
}

int CJetvaneApp::InitInstance(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (!ParseCommandLine(arguments)) {
        return EndOfRun(EXIT_CODE_COMMAND_ERROR,
                        QString::fromUtf8(kReasonUnknownWords).arg(unrecognisedWords_.join(kWordSeparator)));
    }
    // A request that cannot be carried out ends here too, before any display is asked: one
    // that never answers would cost its whole wait before the line.
    if (const std::optional<CommandLineRefusal> refusal = RefusedCommandLine())
        return EndOfRun(refusal->exitCode, refusal->reason);
    // What a script reads on standard error are the program's own lines, not Qt's remarks
    // about the runtime folder or what its platform cannot do.
    if (silentMode_)
        HoldBackQtMessages();

    // An unattended run needs no screen: scripts and scheduled jobs run it over SSH.
    const bool needsNoWindow = silentMode_;
    if (!ui::DisplayAvailable()) {
        if (!needsNoWindow)
            return EndOfRun(kNoDisplayExitCode, QString::fromUtf8(kNoDisplayMessage));
        ui::UseOffscreenPlatform();
    } else {
        ui::AddOffscreenFallback();
    }

    // Where Qt's own start fails, a run that needs no window goes on offscreen, as it does
    // when no display answers; any other ends as it would then.
    const auto startFailed = [needsNoWindow, argv](const QString& why) {
        if (needsNoWindow)
            ui::RestartOffscreen(argv);
        std::_Exit(EndWithoutDisplay(why));
    };
    // The words of the command line are ours: a word such as -platform must not be taken as
    // one of Qt's options.
    const std::unique_ptr<QApplication> application = ui::CreateApplication(argv[0], startFailed);
    // Qt's remarks on the way (about the runtime folder, say) are no help to a run that ends here.
    if (ui::FellBackToOffscreen() && !needsNoWindow)
        return EndWithoutDisplay(ui::WhyNoDisplay());
    ui::PassOnStartUpRemarks();
    // Nobody sees a window on a platform that shows nothing (offscreen, minimal), however it
    // was chosen: a silent run there cannot be handed to a technician.
    if (ui::PlatformShowsNothing())
        ui::SetRunsWithoutDisplay(true);
    // Qt's own windows (message boxes, file dialogs) show it as well.
    QApplication::setWindowIcon(ui::ApplicationIcon());
    ui::InstallWindowMessageSink();
    ui::InstallProfilePortMap();
    const int exitCode = RunMainDialog();
    ui::DeleteDestroyedWindows();
    ui::RemoveWindowMessageSink();
    return exitCode;
}

int CJetvaneApp::RunMainDialog() const
{
    CJetvaneDlg dialog(*this);
    dialog.DoModal();
    const std::optional<int> quitCode = ui::QuitCode();
    QString why = ui::QuitReason();
    if (!quitCode)
        why = dialog.EndedByHandReason();
    else if (why.isEmpty())
        why = dialog.StatusText();
    return EndOfRun(ExitCodeOfRun(quitCode), why);
}
