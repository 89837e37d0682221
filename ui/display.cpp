#include "ui/display.h"

#include <QApplication>
#include <QByteArray>
#include <QStringList>
#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace ui {
namespace {

constexpr const char* kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
constexpr char kPlatformVariable[] = "QT_QPA_PLATFORM";
constexpr char kX11Variable[] = "DISPLAY";
constexpr char kWaylandVariable[] = "WAYLAND_DISPLAY";
constexpr char kX11Platform[] = "xcb";
constexpr char kWaylandPlatform[] = "wayland";
constexpr char kOffscreenPlatform[] = "offscreen";
// Platforms that draw windows into memory only, for nobody to see.
constexpr const char* kPlatformsShowingNothing[] = {kOffscreenPlatform, "minimal"};
constexpr char kPlatformSeparator = ';';
// The categories of Qt's complaints about platform plugins it could not start.
constexpr char kPlatformCategoryPrefix[] = "qt.qpa.";
constexpr char kPngFormat[] = "PNG";

std::atomic<bool> g_offscreenIsFallback{false};
std::atomic<bool> g_runsWithoutDisplay{false};
QtMessageHandler g_previousHandler = nullptr;

// A remark of Qt's made while the application was created, kept with where it came from.
struct HeldRemark {
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString message;
};
// Qt may remark from a thread of its own (a display connection's reader) while it starts.
std::mutex g_heldRemarksMutex;
std::vector<HeldRemark> g_heldRemarks;

QByteArray Copy(const char* text)
{
    return text == nullptr ? QByteArray() : QByteArray(text);
}

const char* TextOrNull(const QByteArray& text)
{
    return text.isNull() ? nullptr : text.constData();
}

// Complaints about platforms go nowhere; a fatal message goes on at once, since the process
// ends with it; every other remark waits until the run is known to go on.
void HoldBackStartUpRemarks(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        if (g_previousHandler != nullptr)
            g_previousHandler(type, context, message);
        return;
    }
    const bool platformComplaint = type != QtCriticalMsg && context.category != nullptr &&
                                   std::strncmp(context.category, kPlatformCategoryPrefix,
                                                sizeof kPlatformCategoryPrefix - 1) == 0;
    if (!platformComplaint) {
        const std::lock_guard<std::mutex> lock(g_heldRemarksMutex);
        g_heldRemarks.push_back(HeldRemark{type, Copy(context.file), context.line, Copy(context.function),
                                           Copy(context.category), message});
    }
}

} // namespace

bool DisplayAvailable()
{
    for (const char* variable : kDisplayVariables) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    }
    return false;
}

void AddOffscreenFallback()
{
    QByteArray platforms = qgetenv(kPlatformVariable);
    if (platforms.isEmpty()) {
        // Qt's own choice when nothing is named: Wayland first when a compositor is named.
        if (!qEnvironmentVariableIsEmpty(kWaylandVariable))
            platforms = QByteArray(kWaylandPlatform) + kPlatformSeparator;
        platforms += kX11Platform;
    }
    if (platforms.split(kPlatformSeparator).contains(QByteArray(kOffscreenPlatform)))
        return;
    qputenv(kPlatformVariable, platforms + kPlatformSeparator + kOffscreenPlatform);
    g_offscreenIsFallback.store(true);
}

std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv)
{
    {
        const std::lock_guard<std::mutex> lock(g_heldRemarksMutex);
        g_heldRemarks.clear();
    }
    g_previousHandler = qInstallMessageHandler(HoldBackStartUpRemarks);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(g_previousHandler);
    return application;
}

void PassOnStartUpRemarks()
{
    std::vector<HeldRemark> remarks;
    {
        const std::lock_guard<std::mutex> lock(g_heldRemarksMutex);
        remarks.swap(g_heldRemarks);
    }
    if (g_previousHandler == nullptr)
        return;
    for (const HeldRemark& remark : remarks) {
        const QMessageLogContext context(TextOrNull(remark.file), remark.line, TextOrNull(remark.function),
                                         TextOrNull(remark.category));
        g_previousHandler(remark.type, context, remark.message);
    }
}

bool FellBackToOffscreen()
{
    return g_offscreenIsFallback.load() && QGuiApplication::platformName() == QLatin1String(kOffscreenPlatform);
}

bool PlatformShowsNothing()
{
    const QString platform = QGuiApplication::platformName();
    for (const char* showsNothing : kPlatformsShowingNothing) {
        if (platform == QLatin1String(showsNothing))
            return true;
    }
    return false;
}

bool RunsWithoutDisplay()
{
    return g_runsWithoutDisplay.load();
}

void SetRunsWithoutDisplay(bool withoutDisplay)
{
    g_runsWithoutDisplay.store(withoutDisplay);
}

QString NamedDisplays()
{
    QStringList named;
    for (const char* variable : {kX11Variable, kWaylandVariable}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            named << QLatin1String(variable) + u'=' + qEnvironmentVariable(variable);
    }
    return named.join(QLatin1String(", "));
}

bool SaveScreenshot(QWidget* widget, const QString& pngPath)
{
    if (widget == nullptr)
        return false;
    // A grab before the pending events have run shows a stale layout.
    QCoreApplication::processEvents();
    const QPixmap picture = widget->grab();
    return !picture.isNull() && picture.save(pngPath, kPngFormat);
}

} // namespace ui
