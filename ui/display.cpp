#include "ui/display.h"

#include "ui/display_probe.h"

#include <QApplication>
#include <QByteArray>
#include <QStringList>
#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ui {
namespace {

constexpr char kPlatformVariable[] = "QT_QPA_PLATFORM";
constexpr char kX11Variable[] = "DISPLAY";
constexpr char kWaylandVariable[] = "WAYLAND_DISPLAY";
constexpr const char* kDisplayVariables[] = {kX11Variable, kWaylandVariable, kPlatformVariable};
// A compositor's socket handed over ready-made: nothing to probe.
constexpr char kWaylandSocketVariable[] = "WAYLAND_SOCKET";
// The compositor socket that Wayland clients use when WAYLAND_DISPLAY is not set.
constexpr char kDefaultWaylandDisplay[] = "wayland-0";
constexpr char kX11Platform[] = "xcb";
constexpr char kWaylandPlatform[] = "wayland";
// A platform's options follow its name ("vnc:port=5901"); Qt's Wayland platforms are
// "wayland", "wayland-egl" and the like.
constexpr char kPlatformOptionsSeparator = ':';
constexpr char kDisplayNotSet[] = " not set";
constexpr char kTriedSeparator[] = ", ";
constexpr char kOffscreenPlatform[] = "offscreen";
// Platforms that draw windows into memory only, for nobody to see.
constexpr const char* kPlatformsShowingNothing[] = {kOffscreenPlatform, "minimal"};
constexpr char kPlatformSeparator = ';';
// The categories of Qt's complaints about platform plugins it could not start.
constexpr char kPlatformCategoryPrefix[] = "qt.qpa.";
constexpr char kPngFormat[] = "PNG";

std::atomic<bool> g_offscreenIsFallback{false};
QString g_displaysTried;
// Kept until the application has made its own connection (see DisplayProbes).
std::shared_ptr<const void> g_probeConnections;
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

void PassOnHeldRemarks()
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

// Complaints about platforms go nowhere; a fatal message goes on at once, after the remarks
// held so far, since the process ends with it; every other remark waits until the run is
// known to go on.
void HoldBackOrPassOn(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        PassOnHeldRemarks();
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

QByteArray PlatformName(const QByteArray& platform)
{
    return platform.split(kPlatformOptionsSeparator).constFirst();
}

// The variable that names the display a platform connects to; none for the others.
const char* DisplayVariableOf(const QByteArray& platform)
{
    const QByteArray name = PlatformName(platform);
    if (name == kX11Platform)
        return kX11Variable;
    if (name.startsWith(kWaylandPlatform))
        return kWaylandVariable;
    return nullptr;
}

// What the platforms were told to try, for a message: the platform list when it was
// chosen, then the display of each display server's platform, or that none is set.
QString DisplaysTriedFor(const QByteArray& chosen, const QList<QByteArray>& platforms)
{
    QStringList tried;
    if (!chosen.isEmpty())
        tried << QLatin1String(kPlatformVariable) + u'=' + QString::fromLocal8Bit(chosen);
    for (const QByteArray& platform : platforms) {
        const char* variable = DisplayVariableOf(platform);
        if (variable == nullptr)
            continue;
        const QString text = qEnvironmentVariableIsEmpty(variable)
                                 ? QLatin1String(variable) + QLatin1String(kDisplayNotSet)
                                 : QLatin1String(variable) + u'=' + qEnvironmentVariable(variable);
        if (!tried.contains(text))
            tried << text;
    }
    return tried.join(QLatin1String(kTriedSeparator));
}

// The display that a platform would connect to, when there is one to ask.
std::optional<DisplayToProbe> DisplayToProbeFor(const QByteArray& platform)
{
    const char* variable = DisplayVariableOf(platform);
    if (variable == kX11Variable && !qEnvironmentVariableIsEmpty(kX11Variable))
        return DisplayToProbe{DisplayKind::X11, qgetenv(kX11Variable).toStdString()};
    if (variable == kWaylandVariable && qEnvironmentVariableIsEmpty(kWaylandSocketVariable)) {
        const QByteArray name = qEnvironmentVariableIsEmpty(kWaylandVariable) ? QByteArray(kDefaultWaylandDisplay)
                                                                              : qgetenv(kWaylandVariable);
        return DisplayToProbe{DisplayKind::Wayland, name.toStdString()};
    }
    return std::nullopt;
}

// The platforms less those whose display server takes the connection and does not answer
// within kDisplayAnswerWaitMs, all asked at once. One that cannot be reached at all stays:
// Qt finds that out at once and says so.
QList<QByteArray> WithoutSilentDisplays(const QList<QByteArray>& platforms)
{
    std::vector<DisplayToProbe> displays;
    std::vector<std::optional<std::size_t>> displayOfPlatform;
    for (const QByteArray& platform : platforms) {
        const std::optional<DisplayToProbe> display = DisplayToProbeFor(platform);
        if (!display) {
            displayOfPlatform.emplace_back();
            continue;
        }
        const auto same = std::find_if(displays.begin(), displays.end(), [&](const DisplayToProbe& other) {
            return other.kind == display->kind && other.name == display->name;
        });
        displayOfPlatform.emplace_back(static_cast<std::size_t>(same - displays.begin()));
        if (same == displays.end())
            displays.push_back(*display);
    }
    if (displays.empty())
        return platforms;
    DisplayProbes probes = ProbeDisplays(displays, kDisplayAnswerWaitMs);
    g_probeConnections = std::move(probes.openConnections);
    const std::vector<DisplayAnswer>& answers = probes.answers;
    QList<QByteArray> kept;
    for (qsizetype index = 0; index < platforms.size(); ++index) {
        const std::optional<std::size_t> display = displayOfPlatform[static_cast<std::size_t>(index)];
        if (!display || answers[*display] != DisplayAnswer::Silent)
            kept.append(platforms[index]);
    }
    return kept;
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
    const QByteArray chosen = qgetenv(kPlatformVariable);
    QByteArray platforms = chosen;
    if (platforms.isEmpty()) {
        // Qt's own choice when nothing is named: Wayland first when a compositor is named.
        if (!qEnvironmentVariableIsEmpty(kWaylandVariable))
            platforms = QByteArray(kWaylandPlatform) + kPlatformSeparator;
        platforms += kX11Platform;
    }
    QList<QByteArray> list = platforms.split(kPlatformSeparator);
    g_displaysTried = DisplaysTriedFor(chosen, list);
    list = WithoutSilentDisplays(list);
    if (!list.contains(QByteArray(kOffscreenPlatform))) {
        list.append(kOffscreenPlatform);
        g_offscreenIsFallback.store(true);
    }
    qputenv(kPlatformVariable, list.join(kPlatformSeparator));
}

void HoldBackStartUpRemarks()
{
    {
        const std::lock_guard<std::mutex> lock(g_heldRemarksMutex);
        g_heldRemarks.clear();
    }
    g_previousHandler = qInstallMessageHandler(HoldBackOrPassOn);
}

void StopHoldingBackStartUpRemarks()
{
    qInstallMessageHandler(g_previousHandler);
}

std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv)
{
    HoldBackStartUpRemarks();
    auto application = std::make_unique<QApplication>(argc, argv);
    StopHoldingBackStartUpRemarks();
    g_probeConnections.reset();
    return application;
}

void PassOnStartUpRemarks()
{
    PassOnHeldRemarks();
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

QString DisplaysTried()
{
    return g_displaysTried;
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
