// Start-up's question to each named display, asked with libxcb and libwayland against
// display servers played by the test: what becomes of each kind of display that works, turns
// the connection down or never answers, how long each costs, the order in which a list of
// displays is waited for, and the connection kept open for Qt. Then Qt's remarks held back
// during start-up, which go out ahead of a fatal message.
#include "gui_test_support.h"

#include "tests/support/fake_display.h"
#include "tests/support/temp_folder.h"
#include "ui/display.h"
#include "ui/display_probe.h"
#include "ui/platform_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLoggingCategory>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace gui_test {
namespace {

using test_support::FakeDisplay;
using test_support::TempFolder;
using ui::DisplayAnswer;
using ui::DisplayKind;
using ui::DisplayOutcome;
using namespace std::chrono_literals;

// What a display that never answers costs here: short, for a test.
constexpr std::chrono::milliseconds kSilentWait = 600ms;
// Long against a sanitizer build's thread start.
constexpr std::chrono::milliseconds kSharedWait = 1500ms;

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

} // namespace
} // namespace gui_test

namespace ui {
// For the tests' failure messages.
void PrintTo(const DisplayOutcome& outcome, std::ostream* out)
{
    *out << "{answer " << static_cast<int>(outcome.answer) << ", \"" << outcome.reason << "\"}";
}
} // namespace ui

namespace gui_test {
namespace {

// What was written to standard error while work ran.
std::string StandardErrorOf(const std::function<void()>& work)
{
    const TempFolder folder;
    const std::string path = folder.File("stderr");
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file, STDERR_FILENO);
    work();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(file);
    std::ifstream written(path);
    return std::string(std::istreambuf_iterator<char>(written), {});
}

// The fake servers of every kind, alive for one test.
struct Servers {
    TempFolder folder;
    FakeDisplay silentX11;
    FakeDisplay answeringX11{FakeDisplay::Reply::Answers};
    FakeDisplay turningDownX11{FakeDisplay::Reply::TurnsDown};
    FakeDisplay fewBytesX11{FakeDisplay::Reply::FewBytes};
    test_support::RefusingX11Display refusingX11;
    test_support::FullQueueX11Display fullQueueX11;
    FakeDisplay silentWayland{folder.File("wayland-silent")};
    FakeDisplay answeringWayland{folder.File("wayland-answering"), FakeDisplay::Reply::Answers};
    FakeDisplay closingWayland{folder.File("wayland-closing"), FakeDisplay::Reply::Close};

    bool Valid() const
    {
        for (const FakeDisplay* display : {&silentX11, &answeringX11, &turningDownX11, &fewBytesX11,
                                           &silentWayland, &answeringWayland, &closingWayland}) {
            if (!display->Valid())
                return false;
        }
        return !refusingX11.Name().empty() && fullQueueX11.Valid();
    }
};

// Each display alone: what becomes of it, in how long, and that the libraries' words about a
// failure become its reason instead of a line on standard error.
TEST(DisplayQuestion, TellsEachKindOfDisplayApartWithinItsTime)
{
    const Servers servers;
    ASSERT_TRUE(servers.Valid());
    struct Case {
        const char* what;
        ui::DisplayToAsk display;
        DisplayOutcome outcome;
        bool withoutRuntimeFolder = false;
    };
    const Case cases[] = {
        {"X by host, silent", {DisplayKind::X11, servers.silentX11.Name()}, {DisplayAnswer::Silent, ""}},
        {"X as :N, no local socket, silent on TCP",
         {DisplayKind::X11, servers.silentX11.LocalName()},
         {DisplayAnswer::Silent, ""}},
        {"X that sends a few bytes and stops", {DisplayKind::X11, servers.fewBytesX11.Name()}, {DisplayAnswer::Silent, ""}},
        {"X local socket with a full queue", {DisplayKind::X11, servers.fullQueueX11.Name()}, {DisplayAnswer::Silent, ""}},
        {"Wayland, silent", {DisplayKind::Wayland, servers.silentWayland.Name()}, {DisplayAnswer::Silent, ""}},
        {"X that answers", {DisplayKind::X11, servers.answeringX11.Name()}, {DisplayAnswer::Answers, ""}},
        {"X as :N that answers", {DisplayKind::X11, servers.answeringX11.LocalName()}, {DisplayAnswer::Answers, ""}},
        {"Wayland that answers", {DisplayKind::Wayland, servers.answeringWayland.Name()}, {DisplayAnswer::Answers, ""}},
        {"X that turns the connection down",
         {DisplayKind::X11, servers.turningDownX11.Name()},
         {DisplayAnswer::Refused, "Authorization required, but no authorization protocol specified"}},
        {"X whose port refuses", {DisplayKind::X11, servers.refusingX11.Name()}, {DisplayAnswer::NotRunning, ""}},
        {"X not a display name", {DisplayKind::X11, "no display"}, {DisplayAnswer::Unusable, "not a display name"}},
        {"X asked for a screen it lacks",
         {DisplayKind::X11, servers.answeringX11.Name() + ".5"},
         {DisplayAnswer::Unusable, "no such screen"}},
        {"Wayland socket handed over", {DisplayKind::HandedOverWayland, "7"}, {DisplayAnswer::Answers, ""}},
        {"Wayland that closes", {DisplayKind::Wayland, servers.closingWayland.Name()}, {DisplayAnswer::Refused, ""}},
        {"Wayland, no socket", {DisplayKind::Wayland, servers.folder.File("wayland-absent")}, {DisplayAnswer::NotRunning, ""}},
        {"Wayland named without a runtime folder",
         {DisplayKind::Wayland, "wayland-relative"},
         {DisplayAnswer::Unusable, "XDG_RUNTIME_DIR is invalid or not set in the environment"},
         true},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.what);
        const ScopedVariable runtime("XDG_RUNTIME_DIR",
                                     expected.withoutRuntimeFolder ? nullptr : servers.folder.Path().c_str());
        const bool silent = expected.outcome.answer == DisplayAnswer::Silent;
        const std::chrono::milliseconds wait = silent ? kSilentWait : ui::kDisplayAnswerWait;
        std::vector<DisplayOutcome> outcomes;
        std::chrono::milliseconds took{};

        const std::string err = StandardErrorOf([&] {
            const auto start = std::chrono::steady_clock::now();
            outcomes = ui::AskDisplays({expected.display}, wait).outcomes;
            took = Since(start);
        });

        EXPECT_THAT(outcomes, testing::ElementsAre(expected.outcome));
        EXPECT_EQ(err, "");
        // How long each takes is the start-up benchmark's; here only that a silent display
        // costs its wait and one that answers is not held for it.
        if (silent)
            EXPECT_GE(took, wait - 10ms);
        else
            EXPECT_LT(took, wait);
    }
}

// Displays in the order Qt tries them, all asked at once: the asking ends as soon as the
// first that did not fail has answered; a later one is waited for only while every one before
// it is silent, and two silent ones cost one wait.
TEST(DisplayQuestion, WaitsForALaterDisplayOnlyWhileTheEarlierAreSilent)
{
    const Servers servers;
    ASSERT_TRUE(servers.Valid());
    const ui::DisplayToAsk silentX11{DisplayKind::X11, servers.silentX11.Name()};
    const ui::DisplayToAsk answeringX11{DisplayKind::X11, servers.answeringX11.Name()};
    const ui::DisplayToAsk refusingX11{DisplayKind::X11, servers.refusingX11.Name()};
    const ui::DisplayToAsk silentWayland{DisplayKind::Wayland, servers.silentWayland.Name()};
    const ui::DisplayToAsk answeringWayland{DisplayKind::Wayland, servers.answeringWayland.Name()};
    const ui::DisplayToAsk absentWayland{DisplayKind::Wayland, servers.folder.File("wayland-absent")};
    const ui::DisplayToAsk handedOverWayland{DisplayKind::HandedOverWayland, "7"};
    struct Case {
        const char* what;
        std::vector<ui::DisplayToAsk> displays;
        std::vector<DisplayAnswer> answers;
        bool waitsTheBound;
    };
    const Case cases[] = {
        {"the first answers", {answeringX11, silentWayland}, {DisplayAnswer::Answers, DisplayAnswer::NotAwaited}, false},
        {"the first is silent", {silentWayland, answeringX11}, {DisplayAnswer::Silent, DisplayAnswer::Answers}, true},
        {"the first fails", {refusingX11, answeringWayland}, {DisplayAnswer::NotRunning, DisplayAnswer::Answers}, false},
        {"all fail", {refusingX11, absentWayland}, {DisplayAnswer::NotRunning, DisplayAnswer::NotRunning}, false},
        {"two silent", {silentX11, silentWayland}, {DisplayAnswer::Silent, DisplayAnswer::Silent}, true},
        {"a handed-over socket first", {handedOverWayland, silentX11}, {DisplayAnswer::Answers, DisplayAnswer::NotAwaited},
         false},
        {"a handed-over socket behind a silent one",
         {silentX11, handedOverWayland},
         {DisplayAnswer::Silent, DisplayAnswer::Answers},
         true},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.what);
        const auto start = std::chrono::steady_clock::now();

        const ui::DisplayAnswers answers = ui::AskDisplays(expected.displays, kSharedWait);

        const std::chrono::milliseconds took = Since(start);
        std::vector<DisplayAnswer> got;
        for (const DisplayOutcome& outcome : answers.outcomes)
            got.push_back(outcome.answer);
        EXPECT_EQ(got, expected.answers);
        if (expected.waitsTheBound)
            EXPECT_GE(took, kSharedWait - 10ms);
        else
            EXPECT_LT(took, kSharedWait);
    }
}

// An X server whose last client leaves resets itself: the connection that answered stays open
// for Qt's own, and is closed once it is no longer needed.
TEST(DisplayQuestion, KeepsTheConnectionThatAnsweredOpenUntilReleased)
{
    const FakeDisplay x11(FakeDisplay::Reply::Answers);
    ASSERT_TRUE(x11.Valid());
    const auto openConnectionsBecome = [&](std::size_t count) {
        for (int tries = 0; tries < 100 && x11.OpenConnections() != count; ++tries)
            std::this_thread::sleep_for(10ms);
        return x11.OpenConnections();
    };

    ui::DisplayAnswers answers = ui::AskDisplays({{DisplayKind::X11, x11.Name()}}, ui::kDisplayAnswerWait);

    ASSERT_THAT(answers.outcomes, testing::ElementsAre(DisplayOutcome{DisplayAnswer::Answers, ""}));
    EXPECT_EQ(openConnectionsBecome(1), 1u);
    answers.openConnections = ui::OpenDisplayConnections();
    EXPECT_EQ(openConnectionsBecome(0), 0u);
}

// ---- Qt's remarks while the application is created

std::vector<std::pair<QtMsgType, QString>>* g_passedOn = nullptr;

void Record(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    g_passedOn->emplace_back(type, message);
}

// Qt cannot be made to end the process halfway through its start here, so the fatal message
// is handed to the holding handler as Qt would hand it: the remarks before it go out first
// (a complaint about a platform that was tried goes nowhere).
TEST(StartUpRemarks, GoOutAheadOfAFatalMessage)
{
    std::vector<std::pair<QtMsgType, QString>> passedOn;
    g_passedOn = &passedOn;
    const QtMessageHandler previous = qInstallMessageHandler(Record);
    ui::HoldBackStartUpRemarks();
    qWarning("the runtime folder is missing");
    const QLoggingCategory platformCategory("qt.qpa.xcb");
    qCWarning(platformCategory) << "could not connect to display";
    qDebug("a remark");
    const QtMessageHandler holding = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(holding);
    holding(QtFatalMsg, QMessageLogContext(), QStringLiteral("no platform could be used"));
    ui::StopHoldingBackStartUpRemarks();
    qInstallMessageHandler(previous);
    g_passedOn = nullptr;

    EXPECT_THAT(passedOn, testing::ElementsAre(std::pair{QtWarningMsg, QStringLiteral("the runtime folder is missing")},
                                               std::pair{QtDebugMsg, QStringLiteral("a remark")},
                                               std::pair{QtFatalMsg, QStringLiteral("no platform could be used")}));
}

// ---- the platform list given to Qt

// Read as Qt reads QT_QPA_PLATFORM: empty entries skipped, options after the name, the name
// without regard to case.
TEST(PlatformList, IsReadAsQtReadsIt)
{
    struct Case {
        const char* list;
        std::vector<std::pair<QByteArray, QByteArray>> entries; // as written, name
    };
    const Case cases[] = {
        {"xcb", {{"xcb", "xcb"}}},
        {"XCB", {{"XCB", "xcb"}}},
        {";xcb;;", {{"xcb", "xcb"}}},
        {"offscreen:enable_fonts", {{"offscreen:enable_fonts", "offscreen"}}},
        {":xcb:a=1", {{":xcb:a=1", "xcb"}}},
        {"Wayland-EGL;xcb", {{"Wayland-EGL", "wayland-egl"}, {"xcb", "xcb"}}},
        {"", {}},
        {";:;", {}},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.list);
        std::vector<std::pair<QByteArray, QByteArray>> got;
        for (const ui::PlatformEntry& entry : ui::ReadPlatformList(expected.list))
            got.emplace_back(entry.text, entry.name);
        EXPECT_EQ(got, expected.entries);
    }
    EXPECT_TRUE(ui::InstalledPlatform("offscreen"));
    EXPECT_TRUE(ui::InstalledPlatform("minimal"));
    EXPECT_FALSE(ui::InstalledPlatform("jetvane-no-such-platform"));
}

// What start-up gives Qt for what the environment names, and what the line says when no
// display could be used: each display is judged by the platform name as Qt reads it, a
// platform that needs no display server cuts the list only where Qt has it, a handed-over
// Wayland socket is left to Qt and ends the asking, and text from outside is shown escaped.
TEST(StartUpPlatforms, KeepWhatQtWouldTry)
{
    const Servers servers;
    ASSERT_TRUE(servers.Valid());
    int handedOver[2] = {-1, -1};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, handedOver), 0);
    const std::string handedOverName = std::to_string(handedOver[0]);
    const std::string answering = servers.answeringX11.Name();
    const std::string silent = servers.silentX11.Name();
    const std::string refusing = servers.refusingX11.Name();
    struct Case {
        const char* what;
        const char* platform;
        std::string display;
        const char* waylandSocket;
        QByteArray given;
        std::string why; // empty: not looked at
    };
    const Case cases[] = {
        {"capitals", "XCB", answering, nullptr, "XCB;offscreen", ""},
        {"capitals, refused", "XCB", refusing, nullptr, "offscreen",
         "the display is not running (QT_QPA_PLATFORM=XCB, DISPLAY=" + refusing + ")"},
        {"an empty entry first", ";xcb", answering, nullptr, "xcb;offscreen", ""},
        {"offscreen with options", "offscreen:enable_fonts", answering, nullptr, "offscreen:enable_fonts", ""},
        {"a platform Qt does not have", "jetvane-none;xcb", answering, nullptr, "jetvane-none;xcb;offscreen", ""},
        {"a platform Qt starts first", "minimal;xcb", silent, nullptr, "minimal;offscreen", ""},
        {"a handed-over socket ends the asking", "wayland;xcb", silent, handedOverName.c_str(), "wayland;offscreen", ""},
        {"control characters", nullptr, ":1\x1b[31m\a", nullptr, "offscreen",
         "the display cannot be used: not a display name (DISPLAY=:1\\x1b[31m\\x07)"},
        {"a byte that is not UTF-8", nullptr, "h\xe9:1 \xc3\xa9", nullptr, "offscreen",
         "the display cannot be used: not a display name (DISPLAY=h\\xe9:1 \u00e9)"},
        {"a value longer than any real one", nullptr, std::string(300, 'x'), nullptr, "offscreen",
         "the display cannot be used: not a display name (DISPLAY=" + std::string(200, 'x') + "\u2026)"},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.what);
        const ScopedVariable platform("QT_QPA_PLATFORM", expected.platform);
        const ScopedVariable display("DISPLAY", expected.display.c_str());
        const ScopedVariable wayland("WAYLAND_DISPLAY", nullptr);
        const ScopedVariable socket("WAYLAND_SOCKET", expected.waylandSocket);
        const auto start = std::chrono::steady_clock::now();

        ui::AddOffscreenFallback();

        EXPECT_EQ(ui::PlatformsGivenToQt(), expected.given);
        EXPECT_LT(Since(start), ui::kDisplayAnswerWait) << "held for the whole bound";
        if (!expected.why.empty()) {
            EXPECT_EQ(ui::WhyNoDisplay().toStdString(), expected.why);
        }
        // The handed-over socket is still Qt's to take.
        if (expected.waylandSocket != nullptr) {
            EXPECT_EQ(qgetenv("WAYLAND_SOCKET").toStdString(), handedOverName);
            EXPECT_GE(::fcntl(handedOver[0], F_GETFD), 0);
        }
    }
    ::close(handedOver[0]);
    ::close(handedOver[1]);
}

// A fatal message while the application is created is the start's failure: Qt's words and
// what was tried become the reason handed to the program.
TEST(StartUpRemarks, AFatalMessageIsTheStartsFailure)
{
    const ScopedVariable platform("QT_QPA_PLATFORM", "eglfs");
    ui::AddOffscreenFallback();
    QStringList failures;
    std::vector<std::pair<QtMsgType, QString>> passedOn;
    g_passedOn = &passedOn;
    const QtMessageHandler previous = qInstallMessageHandler(Record);
    ui::HoldBackStartUpRemarks([&](const QString& why) { failures << why; });
    qWarning("eglfs: a remark");
    const QtMessageHandler holding = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(holding);
    holding(QtFatalMsg, QMessageLogContext(), QStringLiteral("Could not find DRM device!\nmore words"));
    ui::StopHoldingBackStartUpRemarks();
    qInstallMessageHandler(previous);
    g_passedOn = nullptr;

    EXPECT_THAT(failures, testing::ElementsAre(QStringLiteral(
                              "no platform could be used: Could not find DRM device! (QT_QPA_PLATFORM=eglfs)")));
}

// Qt ends the process by itself when a handed-over Wayland socket breaks: its words go out at
// once instead of being held for a run that never goes on.
TEST(StartUpRemarks, GoOutAtOnceWhereQtMayEndTheProcessByItself)
{
    int handedOver[2] = {-1, -1};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, handedOver), 0);
    const ScopedVariable platform("QT_QPA_PLATFORM", "wayland");
    const ScopedVariable socket("WAYLAND_SOCKET", std::to_string(handedOver[0]).c_str());
    ui::AddOffscreenFallback();
    const QtMessageHandler previous = qInstallMessageHandler(nullptr);

    const std::string err = StandardErrorOf([] {
        ui::HoldBackStartUpRemarks();
        qWarning("The Wayland connection broke. Did the Wayland compositor die?");
        ui::StopHoldingBackStartUpRemarks();
    });

    qInstallMessageHandler(previous);
    ::close(handedOver[0]);
    ::close(handedOver[1]);
    EXPECT_EQ(err, "The Wayland connection broke. Did the Wayland compositor die?\n");
}

} // namespace
} // namespace gui_test
