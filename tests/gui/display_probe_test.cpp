// Start-up's question to each named display, against display servers played by the test: the
// bytes it sends (the X connection setup with the user's cookie, Wayland's sync), what it
// makes of each kind of silence, and the one wait shared by all displays. Then Qt's remarks
// held back during start-up, which go out ahead of a fatal message.
#include "gui_test_support.h"

#include "tests/support/fake_display.h"
#include "tests/support/temp_folder.h"
#include "ui/display.h"
#include "ui/display_probe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLoggingCategory>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace gui_test {
namespace {

using namespace std::string_literals;
using test_support::FakeDisplay;
using test_support::TempFolder;
using ui::DisplayAnswer;
using ui::DisplayKind;

// Short enough for a test; a silent display costs exactly this.
constexpr std::uint32_t kWaitMs = 400;
// The wait that two silent displays share: long against a sanitizer build's thread start,
// so that one wait tells itself apart from two without a tight margin.
constexpr std::uint32_t kSharedWaitMs = 1500;
constexpr int kReceivePollMs = 10;

// An X display on 127.0.0.1 whose port is taken and refuses every connection (bound, never
// listening); its name.
class RefusingX11Display {
public:
    RefusingX11Display()
    {
        for (int number = FakeDisplay::kFirstNumber; number <= FakeDisplay::kLastNumber && fd_ < 0; ++number) {
            fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(FakeDisplay::kX11TcpPortBase + number));
            if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                name_ = "127.0.0.1:" + std::to_string(number);
            } else {
                ::close(fd_);
                fd_ = -1;
            }
        }
    }
    ~RefusingX11Display()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    const std::string& Name() const { return name_; }

private:
    int fd_ = -1;
    std::string name_;
};

std::string Counted(const std::string& text)
{
    return std::string{static_cast<char>(text.size() >> 8), static_cast<char>(text.size() & 0xFF)} + text;
}

// One entry of an X authority file (the format xauth writes).
std::string AuthorityEntry(std::uint16_t family, const std::string& address, const std::string& number,
                           const std::string& cookie)
{
    return std::string{static_cast<char>(family >> 8), static_cast<char>(family & 0xFF)} + Counted(address) +
           Counted(number) + Counted("MIT-MAGIC-COOKIE-1") + Counted(cookie);
}

std::string HostName()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What the server has received once it holds at least size bytes (or after a short while).
std::string ReceivedWhenThere(const FakeDisplay& display, std::size_t size)
{
    for (int tries = 0; tries < 100 && display.Received().size() < size; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(kReceivePollMs));
    return display.Received();
}

TEST(DisplayProbe, ReadsTheXDisplayNameAsLibxcbDoes)
{
    struct Case {
        const char* display;
        std::optional<ui::X11Address> address;
    };
    const Case cases[] = {
        {":0", ui::X11Address{true, "", 0}},
        {":12.1", ui::X11Address{true, "", 12}},
        {"unix:3", ui::X11Address{true, "", 3}},
        {"unix/:4", ui::X11Address{true, "", 4}},
        {"unix/somehost:5", ui::X11Address{true, "", 5}},
        {"localhost:10.0", ui::X11Address{false, "localhost", 10}},
        {"tcp/127.0.0.1:53", ui::X11Address{false, "127.0.0.1", 53}},
        {"inet6/[::1]:2", ui::X11Address{false, "::1", 2}},
        {"::1:2", ui::X11Address{false, "::1", 2}},
        {"", std::nullopt},
        {"0", std::nullopt},
        {"host", std::nullopt},
        {":x", std::nullopt},
        {":1.", std::nullopt},
        {":1.x", std::nullopt},
        {"decnet/host:0", std::nullopt},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.display);
        EXPECT_EQ(ui::ParseX11Display(expected.display), expected.address);
    }
}

// Only what comes back matters: any byte answers; a connection that is refused or closed
// without a word is left to Qt, which finds that out at once.
TEST(DisplayProbe, TellsAnAnsweringDisplayFromASilentOneAndOneThatCannotBeReached)
{
    const TempFolder folder;
    const ScopedVariable authority("XAUTHORITY", folder.File("no-authority").c_str());
    const FakeDisplay silentX11;
    const FakeDisplay answeringX11(FakeDisplay::Reply::OneByte);
    const FakeDisplay closingX11(FakeDisplay::Reply::Close);
    const FakeDisplay silentWayland(folder.File("silent"));
    const FakeDisplay answeringWayland(folder.File("answering"), FakeDisplay::Reply::OneByte);
    const FakeDisplay closingWayland(folder.File("closing"), FakeDisplay::Reply::Close);
    const RefusingX11Display refusingX11;
    for (const FakeDisplay* display :
         {&silentX11, &answeringX11, &closingX11, &silentWayland, &answeringWayland, &closingWayland})
        ASSERT_TRUE(display->Valid());
    ASSERT_FALSE(refusingX11.Name().empty());
    struct Case {
        ui::DisplayToProbe display;
        DisplayAnswer answer;
    };
    const Case cases[] = {
        {{DisplayKind::X11, silentX11.Name()}, DisplayAnswer::Silent},
        {{DisplayKind::X11, answeringX11.Name()}, DisplayAnswer::Answers},
        {{DisplayKind::X11, closingX11.Name()}, DisplayAnswer::NotReached},
        {{DisplayKind::X11, refusingX11.Name()}, DisplayAnswer::NotReached},
        {{DisplayKind::X11, "no display"}, DisplayAnswer::NotReached},
        {{DisplayKind::Wayland, silentWayland.Name()}, DisplayAnswer::Silent},
        {{DisplayKind::Wayland, answeringWayland.Name()}, DisplayAnswer::Answers},
        {{DisplayKind::Wayland, closingWayland.Name()}, DisplayAnswer::NotReached},
        {{DisplayKind::Wayland, folder.File("absent")}, DisplayAnswer::NotReached},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.display.name);
        EXPECT_THAT(ui::ProbeDisplays({expected.display}, kWaitMs).answers, testing::ElementsAre(expected.answer));
    }
    // Every display is asked at once: two silent ones cost one wait, and do not keep an
    // answer from the third.
    const auto start = std::chrono::steady_clock::now();
    const ui::DisplayProbes probes = ui::ProbeDisplays(
        {{DisplayKind::Wayland, silentWayland.Name()}, {DisplayKind::X11, silentX11.Name()},
         {DisplayKind::X11, answeringX11.Name()}},
        kSharedWaitMs);
    const double seconds = SecondsSince(start);
    EXPECT_THAT(probes.answers,
                testing::ElementsAre(DisplayAnswer::Silent, DisplayAnswer::Silent, DisplayAnswer::Answers));
    EXPECT_GE(seconds, kSharedWaitMs / 1000.0 - 0.01);
    EXPECT_LT(seconds, 2 * kSharedWaitMs / 1000.0);
}

// The request each server hears (this machine is little-endian: X11's byte order 'l'). The
// cookie is the user's for that display, found as libXau finds it: a loopback display is
// known by this host's name; the first entry that fits counts.
TEST(DisplayProbe, AsksXWithTheUsersCookieAndWaylandWithASync)
{
    const TempFolder folder;
    const FakeDisplay x11(FakeDisplay::Reply::OneByte);
    const FakeDisplay wayland(folder.File("wayland-answering"), FakeDisplay::Reply::OneByte);
    ASSERT_TRUE(x11.Valid() && wayland.Valid());
    const std::string number = std::to_string(x11.Number());
    const std::string host = HostName();
    const std::string cookie = "0123456789abcdef";
    const std::string other = "fedcba9876543210";
    const std::string noCookie = "l\0\x0B\0\0\0\0\0\0\0\0\0"s;
    const std::string withCookie = "l\0\x0B\0\0\0\x12\0\x10\0\0\0MIT-MAGIC-COOKIE-1\0\0"s + cookie;
    constexpr std::uint16_t kLocal = 256;
    constexpr std::uint16_t kInternet = 0;
    constexpr std::uint16_t kWild = 65535;
    struct Case {
        const char* what;
        std::string authority;
        std::string request;
    };
    const Case cases[] = {
        {"no authority file", "", noCookie},
        {"this host, this display", AuthorityEntry(kLocal, host, number, cookie), withCookie},
        {"this host, any display", AuthorityEntry(kLocal, host, "", cookie), withCookie},
        {"any host", AuthorityEntry(kWild, "", number, cookie), withCookie},
        {"another host", AuthorityEntry(kLocal, host + "x", number, cookie), noCookie},
        {"another display", AuthorityEntry(kLocal, host, number + "0", cookie), noCookie},
        {"loopback by address", AuthorityEntry(kInternet, "\x7F\0\0\x01"s, number, cookie), noCookie},
        {"the first that fits",
         AuthorityEntry(kLocal, host + "x", number, other) + AuthorityEntry(kLocal, host, number, cookie) +
             AuthorityEntry(kWild, "", "", other),
         withCookie},
    };
    std::size_t heard = 0;
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.what);
        const std::string file = folder.File(std::string("authority-") + std::to_string(heard));
        if (!expected.authority.empty())
            std::ofstream(file, std::ios::binary) << expected.authority;
        const ScopedVariable authority("XAUTHORITY", file.c_str());

        EXPECT_THAT(ui::ProbeDisplays({{DisplayKind::X11, x11.Name()}}, kWaitMs).answers,
                    testing::ElementsAre(DisplayAnswer::Answers));

        EXPECT_EQ(ReceivedWhenThere(x11, heard + expected.request.size()).substr(heard), expected.request);
        heard = x11.Received().size();
    }
    // wl_display (object 1) sync (opcode 0, 12 bytes) with the callback's new id 2.
    EXPECT_THAT(ui::ProbeDisplays({{DisplayKind::Wayland, wayland.Name()}}, kWaitMs).answers,
                testing::ElementsAre(DisplayAnswer::Answers));
    EXPECT_EQ(ReceivedWhenThere(wayland, 12), "\x01\0\0\0\0\0\x0C\0\x02\0\0\0"s);
}

TEST(DisplayProbe, FindsAWaylandSocketByAbsolutePathOrInTheRuntimeFolder)
{
    const ScopedVariable runtime("XDG_RUNTIME_DIR", "/run/user/1000");
    EXPECT_EQ(ui::WaylandSocketPath("wayland-1"), "/run/user/1000/wayland-1");
    EXPECT_EQ(ui::WaylandSocketPath("/tmp/w/socket"), "/tmp/w/socket");
    const ScopedVariable none("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(ui::WaylandSocketPath("wayland-1"), std::nullopt);
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

} // namespace
} // namespace gui_test
