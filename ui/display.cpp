#include "ui/display.h"

#include "ui/display_probe.h"
#include "ui/platform_list.h"

#include <QApplication>
#include <QByteArray>
#include <QStringList>
#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <iterator>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>
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
// A compositor's socket handed over ready-made.
constexpr char kWaylandSocketVariable[] = "WAYLAND_SOCKET";
// A session that says it is Wayland's puts Wayland first, as a named compositor does.
constexpr char kSessionTypeVariable[] = "XDG_SESSION_TYPE";
constexpr char kWaylandSessionType[] = "wayland";
// The compositor socket that Wayland clients use when WAYLAND_DISPLAY is not set.
constexpr char kDefaultWaylandDisplay[] = "wayland-0";
constexpr char kX11Platform[] = "xcb";
// Qt's Wayland platforms are "wayland", "wayland-egl" and the like.
constexpr char kWaylandPlatform[] = "wayland";
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
// This program, started again on the offscreen platform when Qt's start fails.
constexpr char kProgramFile[] = "/proc/self/exe";

// What became of a display, for the line of a run that found none.
constexpr char kTheDisplay[] = "the display %1 (%2)";
constexpr char kNoDisplayAnswers[] = "no display answers (%1)";
constexpr char kNoPlatformUsable[] = "no platform could be used (%1)";
constexpr char kPlatformFailed[] = "no platform could be used: %1 (%2)";
constexpr char kPlatformHasNoScreen[] = "the %1 platform has no screen";
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

// Text from outside (a variable's value, a server's reason) as the line shows it: control
// characters and bytes that are not UTF-8 escaped, so that none can drive the terminal, and
// a value longer than any real one cut short.
constexpr qsizetype kLongestShownText = 200;
constexpr char kCutShort[] = "\u2026";
constexpr char kByteEscape[] = "\\x%1";

// One display that the platform list names, and what became of it.
struct NamedDisplay {
    const char* variable = nullptr; // DISPLAY, WAYLAND_DISPLAY or WAYLAND_SOCKET
    std::optional<DisplayToAsk> question;
    DisplayOutcome outcome;
};

std::atomic<bool> g_offscreenIsFallback{false};
// The platforms Qt is to try, given on its command line; empty leaves the choice to Qt.
QByteArray g_platforms;
// What the environment chose, and the displays of the list with what became of them.
QByteArray g_chosen;
std::vector<NamedDisplay> g_displays;
// A display that Qt reaches without our question first: Qt may end the process on it.
bool g_unaskedDisplayTried = false;
// Kept until the application has made its own connection (see OpenDisplayConnections).
OpenDisplayConnections g_openConnections;
std::atomic<bool> g_runsWithoutDisplay{false};
QtMessageHandler g_previousHandler = nullptr;
// While the application is created: what to do when Qt's start fails (see CreateApplication).
StartFailure g_startFailed;
std::atomic<bool> g_startHasFailed{false};

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

// The length of the UTF-8 sequence of one printable character at the start of bytes, or 0.
qsizetype PrintableCharacterLength(QByteArrayView bytes)
{
    const auto lead = static_cast<unsigned char>(bytes.front());
    if (lead < 0x80)
        return lead >= 0x20 && lead != 0x7f ? 1 : 0;
    const qsizetype length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 0;
    if (length == 0 || length > bytes.size())
        return 0;
    const QString character = QString::fromUtf8(bytes.first(length));
    // A byte that does not belong decodes as the replacement character; C1 controls stay out.
    const bool valid = !character.isEmpty() && !character.contains(QChar::ReplacementCharacter) &&
                       character.toUcs4().size() == 1 && character.at(0).category() != QChar::Other_Control;
    return valid ? length : 0;
}

QString Shown(QByteArrayView raw)
{
    QString shown;
    qsizetype characters = 0;
    while (!raw.isEmpty()) {
        if (characters == kLongestShownText)
            return shown + QString::fromUtf8(kCutShort);
        const qsizetype length = PrintableCharacterLength(raw);
        if (length > 0) {
            shown += QString::fromUtf8(raw.first(length));
            raw = raw.sliced(length);
        } else {
            shown += QString::fromLatin1(kByteEscape).arg(static_cast<unsigned char>(raw.front()), 2, 16, QLatin1Char('0'));
            raw = raw.sliced(1);
        }
        ++characters;
    }
    return shown;
}

QString ShownVariable(const char* variable)
{
    return QLatin1String(variable) + u'=' + Shown(qgetenv(variable));
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

// The variable that names the display a platform connects to; none for the others.
const char* DisplayVariableOf(const QByteArray& name)
{
    if (name == kX11Platform)
        return kX11Variable;
    if (name.startsWith(kWaylandPlatform))
        return kWaylandVariable;
    return nullptr;
}

// The display that a display server's platform connects to. X without DISPLAY is not asked:
// there is nothing to connect to.
NamedDisplay DisplayOf(const char* variable)
{
    NamedDisplay display;
    display.variable = variable;
    const bool set = !qEnvironmentVariableIsEmpty(variable);
    if (variable == kX11Variable && set) {
        display.question = DisplayToAsk{DisplayKind::X11, qgetenv(kX11Variable).toStdString()};
    } else if (variable == kWaylandVariable && !qEnvironmentVariableIsEmpty(kWaylandSocketVariable)) {
        display.variable = kWaylandSocketVariable;
        display.question = DisplayToAsk{DisplayKind::HandedOverWayland, qgetenv(kWaylandSocketVariable).toStdString()};
    } else if (variable == kWaylandVariable) {
        const QByteArray name = set ? qgetenv(kWaylandVariable) : QByteArray(kDefaultWaylandDisplay);
        display.question = DisplayToAsk{DisplayKind::Wayland, name.toStdString()};
    }
    return display;
}

// How a display failed, as the line says it.
QString OutcomeText(const NamedDisplay& display)
{
    if (!display.question)
        return QLatin1String(kOutcomeNotSet);
    const auto words = std::find_if(std::begin(kOutcomeWords), std::end(kOutcomeWords),
                                    [&](const auto& entry) { return entry.first == display.outcome.answer; });
    QString text = QLatin1String(words != std::end(kOutcomeWords) ? words->second : kOutcomeUnusable);
    if (!display.outcome.reason.empty())
        text += QLatin1String(kReasonSeparator) + Shown(display.outcome.reason);
    return text;
}

std::size_t TriedCount(const std::vector<NamedDisplay>& displays)
{
    // A display that is not set was not tried: it counts for no more than its mention.
    return static_cast<std::size_t>(std::count_if(displays.begin(), displays.end(),
                                                  [](const NamedDisplay& display) { return display.question.has_value(); }));
}

// What was tried: the platform list when it was chosen, then each display's variable, with
// what became of it when several were tried.
QString TriedText(const QByteArray& chosen, const std::vector<NamedDisplay>& displays)
{
    const bool several = TriedCount(displays) > 1;
    QStringList named;
    if (!chosen.isEmpty())
        named << ShownVariable(kPlatformVariable);
    for (const NamedDisplay& display : displays) {
        QString text;
        if (qEnvironmentVariableIsEmpty(display.variable)) {
            text = QLatin1String(display.variable) + QLatin1String(kDisplayNotSet);
            // Wayland's default socket was asked all the same.
            if (several && display.question)
                text += QString::fromLatin1(kDefaultAsked).arg(Shown(display.question->name), OutcomeText(display));
        } else {
            text = ShownVariable(display.variable);
            if (several)
                text += u' ' + OutcomeText(display);
        }
        named << text;
    }
    return named.join(QLatin1String(kTriedSeparator));
}

// What was tried and what became of it, for the line of a run that found no display: how the
// display failed leads when there was one, and follows each display when there were several.
QString DisplayFailureText(const QByteArray& chosen, const std::vector<NamedDisplay>& displays)
{
    const QString what = TriedText(chosen, displays);
    if (displays.empty())
        return QString::fromLatin1(kNoPlatformUsable).arg(what);
    if (TriedCount(displays) > 1)
        return QString::fromLatin1(kNoDisplayAnswers).arg(what);
    const auto tried = std::find_if(displays.begin(), displays.end(),
                                    [](const NamedDisplay& display) { return display.question.has_value(); });
    return QString::fromLatin1(kTheDisplay).arg(OutcomeText(tried != displays.end() ? *tried : displays.front()), what);
}

// The first line of a message of Qt's, for a reason.
QString FirstLine(const QString& message)
{
    return message.trimmed().section(u'\n', 0, 0).trimmed();
}

// Why Qt's start failed, in Qt's words, and what was tried.
QString StartFailureText(const QString& qtWords)
{
    return QString::fromLatin1(kPlatformFailed).arg(Shown(qtWords.toUtf8()), TriedText(g_chosen, g_displays));
}

// The start's failure is acted on once, whichever thread meets it first.
void StartFailed(const QString& why)
{
    if (!g_startHasFailed.exchange(true))
        g_startFailed(why);
}

// Complaints about platforms go nowhere. A fatal message while the application is created
// is the start's failure; any other goes on at once, after the remarks held so far, since the
// process ends with it. Every other remark waits until the run is known to go on -- unless
// Qt reaches a display that was not asked first, where it may end the process itself (as
// its Wayland platform does on a broken connection): then its words go out as they come.
void HoldBackOrPassOn(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        if (g_startFailed)
            StartFailed(StartFailureText(FirstLine(message)));
        PassOnHeldRemarks();
        if (g_previousHandler != nullptr)
            g_previousHandler(type, context, message);
        return;
    }
    const bool platformComplaint = type != QtCriticalMsg && context.category != nullptr &&
                                   std::strncmp(context.category, kPlatformCategoryPrefix,
                                                sizeof kPlatformCategoryPrefix - 1) == 0;
    if (platformComplaint)
        return;
    if (g_unaskedDisplayTried) {
        const QByteArray line = (qFormatLogMessage(type, context, message) + u'\n').toLocal8Bit();
        std::fputs(line.constData(), stderr);
        std::fflush(stderr);
        return;
    }
    const std::lock_guard<std::mutex> lock(g_heldRemarksMutex);
    g_heldRemarks.push_back(
        HeldRemark{type, Copy(context.file), context.line, Copy(context.function), Copy(context.category), message});
}

// The platforms that Qt may try: those whose display answered, and those that need no display
// server, up to the first of them that Qt will start (a display behind it is not asked and
// left out). A name Qt has no plugin for is skipped by Qt, and so here. Every display before
// it is asked at once, for at most kDisplayAnswerWait.
QList<PlatformEntry> PlatformsThatMayBeTried(const QList<PlatformEntry>& platforms)
{
    constexpr std::size_t kNoDisplay = static_cast<std::size_t>(-1);
    std::vector<NamedDisplay> displays;
    std::vector<std::size_t> displayOfPlatform; // of each platform before the first Qt will start
    for (const PlatformEntry& platform : platforms) {
        const char* variable = DisplayVariableOf(platform.name);
        if (variable == nullptr) {
            if (InstalledPlatform(platform.name))
                break;
            displayOfPlatform.push_back(kNoDisplay);
            continue;
        }
        const auto same = std::find_if(displays.begin(), displays.end(), [&](const NamedDisplay& other) {
            return other.variable == variable ||
                   (variable == kWaylandVariable && other.variable == kWaylandSocketVariable);
        });
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

    QList<PlatformEntry> kept;
    for (qsizetype index = 0; index < platforms.size(); ++index) {
        const bool beforeStarted = static_cast<std::size_t>(index) < displayOfPlatform.size();
        const std::size_t display = beforeStarted ? displayOfPlatform[static_cast<std::size_t>(index)] : kNoDisplay;
        if (display == kNoDisplay) {
            if (DisplayVariableOf(platforms[index].name) == nullptr)
                kept.append(platforms[index]);
        } else if (displays[display].outcome.answer == DisplayAnswer::Answers) {
            kept.append(platforms[index]);
            g_unaskedDisplayTried =
                g_unaskedDisplayTried || displays[display].question->kind == DisplayKind::HandedOverWayland;
        }
    }
    g_displays = std::move(displays);
    return kept;
}

bool NamesPlatform(const QList<PlatformEntry>& platforms, const char* name)
{
    return std::any_of(platforms.begin(), platforms.end(), [name](const PlatformEntry& entry) { return entry.name == name; });
}

// The line of a run whose display answered the question but stalled Qt's own connection.
QString StalledDisplayText()
{
    std::vector<NamedDisplay> stalled = g_displays;
    for (NamedDisplay& display : stalled) {
        if (display.outcome.answer == DisplayAnswer::Answers)
            display.outcome = {DisplayAnswer::Silent, {}};
    }
    return DisplayFailureText(g_chosen, stalled);
}

// Ends the run through g_startFailed unless stopped within the wait: Qt's own connection to a
// display that answered may still stall (a forwarding that stalls between the two).
class StartWatch {
public:
    StartWatch(std::chrono::milliseconds wait, QString why)
    {
        watcher_ = std::thread([this, deadline = std::chrono::steady_clock::now() + wait, why = std::move(why)] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!stopped_.wait_until(lock, deadline, [this] { return stop_; }))
                StartFailed(why);
        });
    }
    StartWatch(const StartWatch&) = delete;
    StartWatch& operator=(const StartWatch&) = delete;
    ~StartWatch()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_all();
        watcher_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::thread watcher_;
};

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
    g_offscreenIsFallback.store(false);
    g_unaskedDisplayTried = false;
    g_chosen = qgetenv(kPlatformVariable);
    QByteArray platforms = g_chosen;
    if (platforms.isEmpty()) {
        // Qt's own choice when nothing is named: Wayland first in a Wayland session.
        if (qEnvironmentVariableIsSet(kWaylandVariable) || qgetenv(kSessionTypeVariable) == kWaylandSessionType)
            platforms = QByteArray(kWaylandPlatform) + kPlatformSeparator;
        platforms += kX11Platform;
    }
    QList<PlatformEntry> list = PlatformsThatMayBeTried(ReadPlatformList(platforms));
    if (!NamesPlatform(list, kOffscreenPlatform)) {
        list.append(PlatformEntry{kOffscreenPlatform, kOffscreenPlatform});
        g_offscreenIsFallback.store(true);
    }
    g_platforms = PlatformListText(list);
}

QByteArray PlatformsGivenToQt()
{
    return g_platforms;
}

void HoldBackStartUpRemarks(StartFailure failed)
{
    g_startFailed = std::move(failed);
    g_startHasFailed.store(false);
    {
        const std::lock_guard<std::mutex> lock(g_heldRemarksMutex);
        g_heldRemarks.clear();
    }
    g_previousHandler = qInstallMessageHandler(HoldBackOrPassOn);
}

void StopHoldingBackStartUpRemarks()
{
    qInstallMessageHandler(g_previousHandler);
    g_startFailed = nullptr;
}

std::unique_ptr<QApplication> CreateApplication(const char* programName, StartFailure failed)
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

    HoldBackStartUpRemarks(std::move(failed));
    std::unique_ptr<QApplication> application;
    {
        // Only a display server's connection can stall.
        std::optional<StartWatch> watch;
        const bool connects = std::any_of(g_displays.begin(), g_displays.end(), [](const NamedDisplay& display) {
            return display.outcome.answer == DisplayAnswer::Answers;
        });
        if (g_startFailed && connects)
            watch.emplace(kDisplayAnswerWait, StalledDisplayText());
        application = std::make_unique<QApplication>(argc, argv.data());
    }
    g_openConnections = OpenDisplayConnections();
    // A platform without a screen (a frame buffer that is not there) fails at its first window.
    if (g_startFailed && QGuiApplication::primaryScreen() == nullptr)
        StartFailed(StartFailureText(QString::fromLatin1(kPlatformHasNoScreen).arg(QGuiApplication::platformName())));
    StopHoldingBackStartUpRemarks();
    return application;
}

bool RestartOffscreen(char** argv)
{
    // A run on the offscreen platform alone has nowhere else to go.
    if (g_platforms == kOffscreenPlatform || argv == nullptr)
        return false;
    ::setenv(kPlatformVariable, kOffscreenPlatform, 1);
    ::execv(kProgramFile, argv);
    return false;
}

const char* DisplayVariableThatWouldHelp()
{
    const QList<PlatformEntry> tried = ReadPlatformList(g_chosen.isEmpty() ? QByteArray(kX11Platform) : g_chosen);
    if (NamesPlatform(tried, kX11Platform))
        return kX11Variable;
    const bool wayland = std::any_of(tried.begin(), tried.end(),
                                     [](const PlatformEntry& entry) { return DisplayVariableOf(entry.name) == kWaylandVariable; });
    return wayland ? kWaylandVariable : nullptr;
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
    return DisplayFailureText(g_chosen, g_displays);
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
