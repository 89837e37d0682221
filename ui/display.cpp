#include "ui/display.h"

#include "ui/display_probe.h"

#include <QApplication>
#include <QByteArray>
#include <QStringList>
#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <iterator>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
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
// Qt takes its platform list from the command line as from QT_QPA_PLATFORM.
constexpr char kPlatformOption[] = "-platform";
// The categories of Qt's complaints about platform plugins it could not start.
constexpr char kPlatformCategoryPrefix[] = "qt.qpa.";
constexpr char kPngFormat[] = "PNG";

// What became of a display, for the line of a run that found none.
constexpr char kTheDisplay[] = "the display %1 (%2)";
constexpr char kNoDisplayAnswers[] = "no display answers (%1)";
constexpr char kNoPlatformUsable[] = "no platform could be used (%1)";
constexpr char kDefaultAsked[] = " (%1 %2)";
constexpr char kOutcomeUnusable[] = "cannot be used";
constexpr char kOutcomeNotSet[] = "is not set";
constexpr std::pair<DisplayAnswer, const char*> kOutcomeWords[] = {
    {DisplayAnswer::Answers, "answers, but Qt could not use it"},
    {DisplayAnswer::Silent, "does not answer"},
    {DisplayAnswer::NotAwaited, "was not waited for"},
    {DisplayAnswer::NotRunning, "is not running"},
    {DisplayAnswer::Refused, "refused the connection"},
    {DisplayAnswer::Unusable, kOutcomeUnusable},
};
constexpr char kReasonSeparator[] = ": ";

std::atomic<bool> g_offscreenIsFallback{false};
// The platforms Qt is to try, given on its command line; empty leaves the choice to Qt.
QByteArray g_platforms;
QString g_displayFailure;
// Kept until the application has made its own connection (see OpenDisplayConnections).
OpenDisplayConnections g_openConnections;
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

// One display that the platform list names, and what became of it.
struct NamedDisplay {
    const char* variable = nullptr; // DISPLAY or WAYLAND_DISPLAY
    std::optional<DisplayToAsk> question;
    DisplayOutcome outcome;
};

// The display that a display server's platform connects to. X without DISPLAY is not asked:
// there is nothing to connect to. A Wayland socket handed over ready-made (WAYLAND_SOCKET) is
// not asked either: libwayland would take it, and its variable, away from Qt.
NamedDisplay DisplayOf(const char* variable)
{
    NamedDisplay display;
    display.variable = variable;
    const bool set = !qEnvironmentVariableIsEmpty(variable);
    if (variable == kX11Variable && set) {
        display.question = DisplayToAsk{DisplayKind::X11, qgetenv(kX11Variable).toStdString()};
    } else if (variable == kWaylandVariable && qEnvironmentVariableIsEmpty(kWaylandSocketVariable)) {
        const QByteArray name = set ? qgetenv(kWaylandVariable) : QByteArray(kDefaultWaylandDisplay);
        display.question = DisplayToAsk{DisplayKind::Wayland, name.toStdString()};
    } else if (variable == kWaylandVariable) {
        display.outcome.answer = DisplayAnswer::Answers;
    }
    return display;
}

// How a display failed, as the line says it.
QString OutcomeText(const NamedDisplay& display)
{
    if (!display.question && display.outcome.answer != DisplayAnswer::Answers)
        return QLatin1String(kOutcomeNotSet);
    const auto words = std::find_if(std::begin(kOutcomeWords), std::end(kOutcomeWords),
                                    [&](const auto& entry) { return entry.first == display.outcome.answer; });
    QString text = QLatin1String(words != std::end(kOutcomeWords) ? words->second : kOutcomeUnusable);
    if (!display.outcome.reason.empty())
        text += QLatin1String(kReasonSeparator) + QString::fromLocal8Bit(display.outcome.reason.c_str());
    return text;
}

// What was tried and what became of it, for the line of a run that found no display: the
// platform list when it was chosen, then each display's variable; how the display failed
// leads when there was one, and follows each display when there were several.
QString DisplayFailureText(const QByteArray& chosen, const std::vector<NamedDisplay>& displays)
{
    // A display that is not set was not tried: it counts for no more than its mention.
    const auto tried = [](const NamedDisplay& display) {
        return display.question.has_value() || display.outcome.answer == DisplayAnswer::Answers;
    };
    const auto triedCount = std::count_if(displays.begin(), displays.end(), tried);
    const bool several = triedCount > 1;
    QStringList named;
    if (!chosen.isEmpty())
        named << QLatin1String(kPlatformVariable) + u'=' + QString::fromLocal8Bit(chosen);
    for (const NamedDisplay& display : displays) {
        QString text;
        if (qEnvironmentVariableIsEmpty(display.variable)) {
            text = QLatin1String(display.variable) + QLatin1String(kDisplayNotSet);
            // Wayland's default socket was asked all the same.
            if (several && display.question)
                text += QString::fromLatin1(kDefaultAsked).arg(QString::fromStdString(display.question->name), OutcomeText(display));
        } else {
            text = QLatin1String(display.variable) + u'=' + qEnvironmentVariable(display.variable);
            if (several)
                text += u' ' + OutcomeText(display);
        }
        named << text;
    }
    const QString what = named.join(QLatin1String(kTriedSeparator));
    if (displays.empty())
        return QString::fromLatin1(kNoPlatformUsable).arg(what);
    if (several)
        return QString::fromLatin1(kNoDisplayAnswers).arg(what);
    const auto leading = std::find_if(displays.begin(), displays.end(), tried);
    return QString::fromLatin1(kTheDisplay).arg(OutcomeText(leading != displays.end() ? *leading : displays.front()), what);
}

// The platforms that Qt may try: those whose display answered, and those that need no display
// server, up to the first of them (which Qt is expected to start; a display behind it is not
// asked and left out). Every display before it is asked at once, for at most
// kDisplayAnswerWait.
QList<QByteArray> PlatformsThatMayBeTried(const QByteArray& chosen, const QList<QByteArray>& platforms)
{
    std::vector<NamedDisplay> displays;
    std::vector<std::size_t> displayOfPlatform; // of each platform before the first that needs none
    for (const QByteArray& platform : platforms) {
        const char* variable = DisplayVariableOf(platform);
        if (variable == nullptr)
            break;
        const auto same = std::find_if(displays.begin(), displays.end(),
                                       [&](const NamedDisplay& other) { return other.variable == variable; });
        displayOfPlatform.push_back(static_cast<std::size_t>(same - displays.begin()));
        if (same == displays.end())
            displays.push_back(DisplayOf(variable));
    }
    std::vector<DisplayToAsk> questions;
    std::vector<std::size_t> asked;
    for (std::size_t index = 0; index < displays.size(); ++index) {
        if (displays[index].question) {
            questions.push_back(*displays[index].question);
            asked.push_back(index);
        }
    }
    DisplayAnswers answers = AskDisplays(questions, kDisplayAnswerWait);
    for (std::size_t index = 0; index < asked.size(); ++index)
        displays[asked[index]].outcome = answers.outcomes[index];
    g_openConnections = std::move(answers.openConnections);
    g_displayFailure = DisplayFailureText(chosen, displays);

    QList<QByteArray> kept;
    for (qsizetype index = 0; index < platforms.size(); ++index) {
        if (static_cast<std::size_t>(index) >= displayOfPlatform.size()) {
            if (DisplayVariableOf(platforms[index]) == nullptr)
                kept.append(platforms[index]);
            continue;
        }
        if (displays[displayOfPlatform[static_cast<std::size_t>(index)]].outcome.answer == DisplayAnswer::Answers)
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

void UseOffscreenPlatform()
{
    g_platforms = kOffscreenPlatform;
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
    QList<QByteArray> list = PlatformsThatMayBeTried(chosen, platforms.split(kPlatformSeparator));
    if (!list.contains(QByteArray(kOffscreenPlatform))) {
        list.append(kOffscreenPlatform);
        g_offscreenIsFallback.store(true);
    }
    g_platforms = list.join(kPlatformSeparator);
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

std::unique_ptr<QApplication> CreateApplication(const char* programName)
{
    // Qt keeps the command line it was given for the application's lifetime.
    static std::vector<QByteArray> words;
    static std::vector<char*> argv;
    static int argc = 0;
    words = {QByteArray(programName != nullptr ? programName : "")};
    if (!g_platforms.isEmpty())
        words.insert(words.end(), {QByteArray(kPlatformOption), g_platforms});
    argv.clear();
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    argc = static_cast<int>(words.size());

    HoldBackStartUpRemarks();
    auto application = std::make_unique<QApplication>(argc, argv.data());
    StopHoldingBackStartUpRemarks();
    g_openConnections = OpenDisplayConnections();
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

QString WhyNoDisplay()
{
    return g_displayFailure;
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
