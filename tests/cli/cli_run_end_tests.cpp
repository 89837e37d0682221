// How a run of the built program ends, as a script sees it: a display that is named but
// does not answer, the ends of a silent run that cannot go on unattended (without a display
// they end as failed, with a display the window stays for the technician), a silent run
// whose window is closed by hand, a firmware load that fails in its window, and the line on
// standard error that says why, which is all that a silent run leaves there.
//
// "With a display" is Qt's VNC platform, where the test presses a key as a technician would
// (tests/cli/vnc_keyboard.h). Qt's offscreen and minimal platforms show nobody anything:
// for a silent run they are no display, however they were chosen.
#include "ui/exit_codes.h"
#include "comms/printer_codes.h"
#include "tests/cli/cli_environment.h"
#include "tests/cli/cli_sim_log.h"
#include "tests/cli/program_process.h"
#include "tests/cli/recording_pty_printer.h"
#include "tests/cli/vnc_keyboard.h"
#include "tests/support/fake_display.h"
#include "tests/support/printer_sim_process.h"
#include "tests/support/settings_file_families.h"
#include "tests/support/x11_windows.h"
#include "tests/support/xvfb_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using cli_test::LoggedFrame;
using cli_test::LoggedFrames;
using cli_test::ProgramProcess;
using cli_test::RunProgram;
using testing::ElementsAre;
using testing::HasSubstr;

constexpr char kJetvane[] = JETVANE_PROGRAM_PATH;
constexpr char kPrinterSim[] = JETVANE_PRINTER_SIM_PATH;

using cli_test::kSendConfigLimitMs;
using cli_test::kStartUpLimitMs;

// How long the program waits for a display that takes the connection and says nothing: the
// README promises a few seconds.
constexpr int kDisplayWaitMs = 5000;
// What a run on a display that cannot be used may take beyond that wait: start-up and the
// line (a sanitizer build starts slowly).
constexpr int kDisplayWaitMarginMs = 5000;
// After the type check's reply, a run that would end has long ended by then.
constexpr int kStaysOpenCheckMs = 2000;
// A firmware load: the search, the update-mode questions (about 3 s) and, when the printer
// goes away while a block waits for its answer, that answer's time-out (15 s).
constexpr int kFirmwareFailureLimitMs = 60000;
// Enough blocks that the load is still running when the test stops the printer.
constexpr std::size_t kLongImageSize = 64 * 8192;
// Files longer than a firmware block header can announce (sparse, so they cost no disk): one
// byte beyond a signed 32-bit length, and 4 GiB and 5 bytes, beyond any 32-bit length.
constexpr std::uintmax_t kBeyondSigned32BitLength = 2147483648u;
constexpr std::uintmax_t kBeyond32BitLength = 4294967301u;
// How often the test presses Escape until the window takes it.
constexpr int kKeyRepeatMs = 300;

constexpr char kProgramLinePrefix[] = "jetvane: ";
constexpr char kBagTagFile[] = "desk.QV_BTP_CFG";
constexpr char kBoardingPassFile[] = "gate.QV_BPP_CFG";

// The lines of standard error that the program wrote itself.
std::vector<std::string> ProgramLines(const std::string& err)
{
    std::vector<std::string> lines;
    std::istringstream stream(err);
    for (std::string line; std::getline(stream, line);) {
        if (line.rfind(kProgramLinePrefix, 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

// An X display that no server on this machine answers.
std::string DeadDisplay()
{
    int number = 200;
    while (test_support::HasLocalX11Socket(number))
        ++number;
    return ":" + std::to_string(number);
}

// A profile whose remembered port leads to device, and a configuration file to send.
class RunEnd : public ::testing::Test {
protected:
    void Prepare(const std::string& device, const char* fileName = kBagTagFile,
                 const std::string& record = cli_test::SampleSettingsRecord())
    {
        ASSERT_TRUE(world.Valid());
        ASSERT_TRUE(world.WriteProfile(device));
        ASSERT_TRUE(world.WriteFile(fileName, cli_test::ConfigurationFileBytes(record)));
        sendArguments = {"SILENT", "SENDCONFIG", world.FilePath(fileName).string()};
    }
    // The same before a jetvane-printer-sim of the bag-tag family.
    void PrepareWithSim(const char* fileName = kBagTagFile)
    {
        ASSERT_TRUE(sim.Start(kPrinterSim, {"--type", "BTP"})) << "jetvane-printer-sim did not start";
        Prepare(sim.SlavePath(), fileName);
    }
    // The only line the program wrote on standard error.
    static std::string OnlyProgramLine(const std::string& err)
    {
        const std::vector<std::string> lines = ProgramLines(err);
        EXPECT_EQ(lines.size(), 1u) << err;
        return lines.empty() ? std::string() : lines.front();
    }

    test_support::PrinterSimProcess sim;
    const cli_test::CliWorld world;
    std::vector<std::string> sendArguments;
};

// ---- displays that cannot be used, and one that can

// With or without a runtime folder (Qt's remark on its lack helps no run that ends at once).
TEST_F(RunEnd, InteractiveRunOnADisplayThatIsNotRunningEndsWithOneAndOneLine)
{
    ASSERT_TRUE(world.Valid());
    for (cli_test::Environment environment : {world.ProgramEnvironment(), world.ProgramEnvironmentWithoutRuntimeFolder()}) {
        const std::string dead = DeadDisplay();
        environment.Set("DISPLAY", dead);

        const cli_test::ProgramRun run = RunProgram(kJetvane, {}, environment, kStartUpLimitMs);

        ASSERT_TRUE(run.end.has_value() && run.end->exited) << "did not end by itself";
        EXPECT_EQ(run.end->exitCode, 1);
        EXPECT_EQ(run.err, "jetvane: the display is not running (DISPLAY=" + dead +
                               "); set DISPLAY to a running one, or run unattended with SILENT\n");
    }
}

// Without a display that answers, the line names what the program tried: the displays, the
// platform list when the environment chose one, or that no display is set, and what became
// of each display that was tried.
TEST_F(RunEnd, InteractiveRunWithoutADisplayThatAnswersNamesWhatWasTried)
{
    ASSERT_TRUE(world.Valid());
    const test_support::FakeDisplay x11;
    const test_support::FakeDisplay wayland(world.FilePath("wayland-mute").string());
    ASSERT_TRUE(x11.Valid() && wayland.Valid());
    const std::string dead = DeadDisplay();
    const std::string absent = world.FilePath("wayland-absent").string();
    struct Case {
        std::vector<std::pair<std::string, std::string>> variables;
        std::string why;
    };
    const Case cases[] = {
        {{{"WAYLAND_DISPLAY", wayland.Name()}, {"DISPLAY", x11.Name()}},
         "no display answers (WAYLAND_DISPLAY=" + wayland.Name() + " does not answer, DISPLAY=" + x11.Name() +
             " does not answer)"},
        {{{"QT_QPA_PLATFORM", "xcb"}}, "the display is not set (QT_QPA_PLATFORM=xcb, DISPLAY not set)"},
        {{{"QT_QPA_PLATFORM", "wayland;xcb"}, {"WAYLAND_DISPLAY", absent}, {"DISPLAY", dead}},
         "no display answers (QT_QPA_PLATFORM=wayland;xcb, WAYLAND_DISPLAY=" + absent +
             " is not running, DISPLAY=" + dead + " is not running)"},
        {{{"QT_QPA_PLATFORM", "wayland-egl;xcb"}, {"WAYLAND_DISPLAY", wayland.Name()}},
         "the display does not answer (QT_QPA_PLATFORM=wayland-egl;xcb, WAYLAND_DISPLAY=" + wayland.Name() +
             ", DISPLAY not set)"},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.why);
        cli_test::Environment environment = world.ProgramEnvironment();
        for (const auto& [name, value] : expected.variables)
            environment.Set(name, value);

        const cli_test::ProgramRun run = RunProgram(kJetvane, {}, environment, kDisplayWaitMs + kStartUpLimitMs);

        EXPECT_TRUE(run.end.has_value() && run.end->exited) << "did not end by itself";
        EXPECT_EQ(run.end.value_or(cli_test::ProgramEnd{}).exitCode, 1);
        EXPECT_EQ(run.err, "jetvane: " + expected.why + "; set DISPLAY to a running one, or run unattended with SILENT\n");
    }
}

// A run that goes on in a window still hears what Qt had to say while it started.
TEST_F(RunEnd, WindowedRunKeepsQtsRemarksFromItsStart)
{
    ASSERT_TRUE(world.Valid());
    cli_test::Environment environment = world.ProgramEnvironmentWithoutRuntimeFolder();
    environment.Set("QT_QPA_PLATFORM", "offscreen");
    ProgramProcess jetvane;
    ASSERT_TRUE(jetvane.Start(kJetvane, {}, environment));

    for (int waited = 0; waited < kStartUpLimitMs && jetvane.Stderr().find("XDG_RUNTIME_DIR") == std::string::npos;
         waited += kKeyRepeatMs) {
        if (jetvane.WaitForExit(kKeyRepeatMs))
            break;
    }

    EXPECT_TRUE(jetvane.Running()) << "the windowed run ended: " << jetvane.Stderr();
    EXPECT_THAT(jetvane.Stderr(), HasSubstr("XDG_RUNTIME_DIR"));
    EXPECT_TRUE(ProgramLines(jetvane.Stderr()).empty()) << jetvane.Stderr();
    jetvane.Stop();
}

TEST_F(RunEnd, SilentRunOnADisplayThatIsNotRunningGoesOnOffscreen)
{
    PrepareWithSim();

    cli_test::Environment environment = world.ProgramEnvironmentWithoutRuntimeFolder();
    environment.Set("DISPLAY", DeadDisplay());

    const cli_test::ProgramRun run = RunProgram(kJetvane, sendArguments, environment, kSendConfigLimitMs);

    ASSERT_TRUE(run.end.has_value() && run.end->exited) << "did not end by itself";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS) << run.err;
    EXPECT_EQ(run.err, "");
}

// One kind of display each, played by the test (or a real Xvfb), and the variables that name it.
enum class DisplayKind {
    SilentX11ByHost,
    SilentX11ByNumberOverTcp,
    X11SendingAFewBytes,
    X11LocalSocketWithAFullQueue,
    SilentWayland,
    WaylandEglSilent,
    WaylandNamedWithoutRuntimeFolder,
    WaylandPlatformWithoutRuntimeFolder,
    X11WhosePortRefuses,
    X11TurningTheConnectionDown,
    X11ThatAnswersAndThenStallsQt,
    X11PlatformNamedInCapitals,
    XvfbScreenItLacks,
    LinuxFrameBufferWithoutOne,
    EglfsWithoutDrm,
    Xvfb,
};

struct DisplayCase {
    const char* name;
    DisplayKind kind;
    // The line's reason, with NAME standing for the display's name; empty for the display
    // that answers, where an attended run opens its window.
    const char* why;
    bool silent; // costs the whole wait
    // The variable the line advises to set; none: a platform with a display.
    const char* advice = "DISPLAY";
    // A device without which the case's platform cannot start; where it exists, the case
    // is skipped.
    const char* absentDevice = nullptr;
};

const DisplayCase kDisplayCases[] = {
    {"SilentX11ByHost", DisplayKind::SilentX11ByHost, "the display does not answer (DISPLAY=NAME)", true},
    {"SilentX11ByNumberOverTcp", DisplayKind::SilentX11ByNumberOverTcp, "the display does not answer (DISPLAY=NAME)", true},
    {"X11SendingAFewBytes", DisplayKind::X11SendingAFewBytes, "the display does not answer (DISPLAY=NAME)", true},
    {"X11LocalSocketWithAFullQueue", DisplayKind::X11LocalSocketWithAFullQueue,
     "the display does not answer (DISPLAY=NAME)", true},
    {"SilentWayland", DisplayKind::SilentWayland, "the display does not answer (WAYLAND_DISPLAY=NAME, DISPLAY not set)",
     true},
    {"WaylandEglSilent", DisplayKind::WaylandEglSilent,
     "the display does not answer (QT_QPA_PLATFORM=wayland-egl, WAYLAND_DISPLAY=NAME)", true, "WAYLAND_DISPLAY"},
    {"WaylandNamedWithoutRuntimeFolder", DisplayKind::WaylandNamedWithoutRuntimeFolder,
     "the display cannot be used: XDG_RUNTIME_DIR is invalid or not set in the environment (WAYLAND_DISPLAY=NAME, "
     "DISPLAY not set)",
     false},
    {"WaylandPlatformWithoutRuntimeFolder", DisplayKind::WaylandPlatformWithoutRuntimeFolder,
     "the display cannot be used: XDG_RUNTIME_DIR is invalid or not set in the environment (QT_QPA_PLATFORM=wayland, "
     "WAYLAND_DISPLAY not set)",
     false, "WAYLAND_DISPLAY"},
    {"X11WhosePortRefuses", DisplayKind::X11WhosePortRefuses, "the display is not running (DISPLAY=NAME)", false},
    {"X11TurningTheConnectionDown", DisplayKind::X11TurningTheConnectionDown,
     "the display refused the connection: Authorization required, but no authorization protocol specified "
     "(DISPLAY=NAME)",
     false},
    // Answers the question, then never answers Qt's own requests: a forwarding that stalls.
    {"X11ThatAnswersAndThenStallsQt", DisplayKind::X11ThatAnswersAndThenStallsQt,
     "the display does not answer (DISPLAY=NAME)", true},
    {"X11PlatformNamedInCapitals", DisplayKind::X11PlatformNamedInCapitals,
     "the display does not answer (QT_QPA_PLATFORM=XCB, DISPLAY=NAME)", true},
    {"XvfbScreenItLacks", DisplayKind::XvfbScreenItLacks, "the display cannot be used: no such screen (DISPLAY=NAME)",
     false},
    {"LinuxFrameBufferWithoutOne", DisplayKind::LinuxFrameBufferWithoutOne,
     "no platform could be used: the linuxfb platform has no screen (QT_QPA_PLATFORM=linuxfb)", false, nullptr,
     "/dev/fb0"},
    {"EglfsWithoutDrm", DisplayKind::EglfsWithoutDrm,
     "no platform could be used: Could not find DRM device! (QT_QPA_PLATFORM=eglfs)", false, nullptr, "/dev/dri"},
    {"Xvfb", DisplayKind::Xvfb, "", false},
};

// The display of one case, alive while this lives, and the environment that names it.
class DisplayOfCase {
public:
    DisplayOfCase(DisplayKind kind, const cli_test::CliWorld& world) : kind_(kind)
    {
        using test_support::FakeDisplay;
        const std::string wayland = world.FilePath("wayland-display").string();
        // A display the test plays, named by host or by number.
        const auto fake = [this](auto&&... reply) {
            fake_ = std::make_unique<FakeDisplay>(reply...);
            return fake_->Valid();
        };
        switch (kind) {
        case DisplayKind::SilentX11ByHost:
        case DisplayKind::X11PlatformNamedInCapitals:
            name_ = fake() ? fake_->Name() : "";
            break;
        case DisplayKind::SilentX11ByNumberOverTcp:
            name_ = fake() ? fake_->LocalName() : "";
            break;
        case DisplayKind::X11SendingAFewBytes:
            name_ = fake(FakeDisplay::Reply::FewBytes) ? fake_->Name() : "";
            break;
        case DisplayKind::X11LocalSocketWithAFullQueue:
            fullQueue_ = std::make_unique<test_support::FullQueueX11Display>();
            name_ = fullQueue_->Valid() ? fullQueue_->Name() : "";
            break;
        case DisplayKind::SilentWayland:
        case DisplayKind::WaylandEglSilent:
            name_ = fake(wayland) ? fake_->Name() : "";
            break;
        case DisplayKind::WaylandNamedWithoutRuntimeFolder:
            name_ = "wayland-jetvane-test";
            break;
        case DisplayKind::WaylandPlatformWithoutRuntimeFolder:
            name_ = "-";
            break;
        case DisplayKind::X11WhosePortRefuses:
            refusing_ = std::make_unique<test_support::RefusingX11Display>();
            name_ = refusing_->Name();
            break;
        case DisplayKind::X11TurningTheConnectionDown:
            name_ = fake(FakeDisplay::Reply::TurnsDown) ? fake_->Name() : "";
            break;
        case DisplayKind::X11ThatAnswersAndThenStallsQt:
            name_ = fake(FakeDisplay::Reply::Answers) ? fake_->Name() : "";
            break;
        case DisplayKind::XvfbScreenItLacks:
            xvfb_ = std::make_unique<test_support::XvfbServer>();
            name_ = xvfb_->Name().empty() ? "" : xvfb_->Name() + ".5";
            break;
        case DisplayKind::LinuxFrameBufferWithoutOne:
        case DisplayKind::EglfsWithoutDrm:
            name_ = "-";
            break;
        case DisplayKind::Xvfb:
            xvfb_ = std::make_unique<test_support::XvfbServer>();
            name_ = xvfb_->Name();
            break;
        }
    }

    bool Valid() const { return !name_.empty(); }
    const std::string& Name() const { return name_; }

    cli_test::Environment Environment(const cli_test::CliWorld& world) const
    {
        cli_test::Environment environment = world.ProgramEnvironment();
        switch (kind_) {
        case DisplayKind::SilentWayland:
            environment.Set("WAYLAND_DISPLAY", name_);
            break;
        case DisplayKind::WaylandEglSilent:
            environment.Set("QT_QPA_PLATFORM", "wayland-egl");
            environment.Set("WAYLAND_DISPLAY", name_);
            break;
        case DisplayKind::WaylandNamedWithoutRuntimeFolder:
            environment.Unset("XDG_RUNTIME_DIR");
            environment.Set("WAYLAND_DISPLAY", name_);
            break;
        case DisplayKind::WaylandPlatformWithoutRuntimeFolder:
            environment.Unset("XDG_RUNTIME_DIR");
            environment.Set("QT_QPA_PLATFORM", "wayland");
            break;
        case DisplayKind::X11PlatformNamedInCapitals:
            environment.Set("QT_QPA_PLATFORM", "XCB");
            environment.Set("DISPLAY", name_);
            break;
        case DisplayKind::LinuxFrameBufferWithoutOne:
            environment.Set("QT_QPA_PLATFORM", "linuxfb");
            break;
        case DisplayKind::EglfsWithoutDrm:
            environment.Set("QT_QPA_PLATFORM", "eglfs");
            break;
        default:
            environment.Set("DISPLAY", name_);
            break;
        }
        return environment;
    }

private:
    DisplayKind kind_;
    std::string name_;
    std::unique_ptr<test_support::FakeDisplay> fake_;
    std::unique_ptr<test_support::FullQueueX11Display> fullQueue_;
    std::unique_ptr<test_support::RefusingX11Display> refusing_;
    std::unique_ptr<test_support::XvfbServer> xvfb_;
};

// Test names show the case's name, not its bytes.
void PrintTo(const DisplayCase& displayCase, std::ostream* out)
{
    *out << displayCase.name;
}

// The case's display, up before each test; a test of Xvfb is skipped where it is not installed.
class DisplayRunEnd : public RunEnd, public ::testing::WithParamInterface<DisplayCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.Valid());
        const char* absentDevice = GetParam().absentDevice;
        if (absentDevice != nullptr && std::filesystem::exists(absentDevice))
            GTEST_SKIP() << "this machine has " << absentDevice;
        display_ = std::make_unique<DisplayOfCase>(GetParam().kind, world);
        const bool onXvfb = GetParam().kind == DisplayKind::Xvfb || GetParam().kind == DisplayKind::XvfbScreenItLacks;
        if (onXvfb && !display_->Valid())
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(display_->Valid());
    }
    const DisplayOfCase& Display() const { return *display_; }

private:
    std::unique_ptr<DisplayOfCase> display_;
};

std::string WithName(std::string text, const std::string& name)
{
    const std::string placeholder = "NAME";
    if (const std::size_t at = text.find(placeholder); at != std::string::npos)
        text.replace(at, placeholder.size(), name);
    return text;
}

// An attended run on a display that cannot be used ends with 1 and one line that says why;
// a silent display costs the whole wait, and no more; any other ends well before it. On the
// display that answers the window opens and stays.
TEST_P(DisplayRunEnd, InteractiveRunSaysWhyTheDisplayCannotBeUsed)
{
    const DisplayCase& expected = GetParam();
    const DisplayOfCase& display = Display();

    if (*expected.why == '\0') {
        cli_test::ProgramProcess jetvane;
        ASSERT_TRUE(jetvane.Start(kJetvane, {}, display.Environment(world)));
        bool shown = false;
        for (int waited = 0; waited < kStartUpLimitMs && !shown && jetvane.Running(); waited += kKeyRepeatMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kKeyRepeatMs));
            const std::vector<std::string> titles = test_support::TopLevelWindowTitles(display.Name());
            shown = std::any_of(titles.begin(), titles.end(),
                                [](const std::string& title) { return title.find("Jetvane") != std::string::npos; });
        }
        EXPECT_TRUE(shown) << "no window titled Jetvane on " << display.Name() << "; " << jetvane.Stderr();
        jetvane.Stop();
        return;
    }
    const cli_test::ProgramRun run =
        RunProgram(kJetvane, {}, display.Environment(world), kDisplayWaitMs + kDisplayWaitMarginMs);

    ASSERT_TRUE(run.end.has_value() && run.end->exited) << "did not end within the wait and its margin";
    EXPECT_EQ(run.end->exitCode, 1);
    const std::string advice = expected.advice != nullptr ? std::string("set ") + expected.advice + " to a running one"
                                                          : "set QT_QPA_PLATFORM to xcb or wayland";
    EXPECT_EQ(run.err, "jetvane: " + WithName(expected.why, display.Name()) + "; " + advice +
                           ", or run unattended with SILENT\n");
    if (expected.silent) {
        EXPECT_GE(run.seconds, kDisplayWaitMs / 1000.0);
    } else {
        EXPECT_LT(run.seconds, kDisplayWaitMs / 1000.0);
    }
}

// A silent run goes on without the display (on it, where it answers) and sends its file,
// within the wait and its margin; nothing the libraries or Qt remarked reaches standard error.
TEST_P(DisplayRunEnd, SilentRunSendsItsFile)
{
    const DisplayCase& expected = GetParam();
    const DisplayOfCase& display = Display();
    PrepareWithSim();

    const cli_test::ProgramRun run =
        RunProgram(kJetvane, sendArguments, display.Environment(world), kDisplayWaitMs + kSendConfigLimitMs);

    ASSERT_TRUE(run.end.has_value() && run.end->exited) << "did not end within the wait and its margin";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS);
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(LoggedFrames(sim.StderrText()),
                ElementsAre(LoggedFrame{CMD_IDENTIFY, 0}, LoggedFrame{CMD_GET_SETTINGS, 0},
                            LoggedFrame{CMD_SET_SETTINGS, cli_test::SampleSettingsRecord().size()}));
    if (expected.silent) {
        EXPECT_GE(run.seconds, kDisplayWaitMs / 1000.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Displays, DisplayRunEnd, ::testing::ValuesIn(kDisplayCases),
                         [](const ::testing::TestParamInfo<DisplayCase>& info) { return std::string(info.param.name); });

// ---- runs started with standard descriptors closed (a script's 2>&-, a cron line's <&-)

constexpr int kIn = STDIN_FILENO;
constexpr int kOut = STDOUT_FILENO;
constexpr int kErr = STDERR_FILENO;

enum class ClosedRun {
    SilentToPrinter,   // SILENT SENDCONFIG to the simulator
    SilentToNoPrinter, // the same to a port whose device does not exist: a line on standard error
    Attended,          // no words
};

struct ClosedDescriptorsCase {
    const char* name;
    ClosedRun run;
    std::optional<DisplayKind> display; // none: no display is named
    std::vector<int> closed;
    int exitCode; // as with all of them open
    // An attended run's line, with NAME standing for the display's name; empty on Xvfb,
    // where the window opens and the test asks it to close.
    const char* line;
};

constexpr char kSilentDisplayLine[] =
    "jetvane: the display does not answer (DISPLAY=NAME); set DISPLAY to a running one, or run unattended with SILENT";
constexpr char kNoDisplayLine[] = "jetvane: no display to show the window on (set DISPLAY, or run unattended with SILENT)";

// Each descriptor and each pair on Xvfb and without a display; on the silent display, whose
// wait every row pays, each of them once. A silent run that writes its line while the X
// connection is open, on Xvfb.
const ClosedDescriptorsCase kClosedDescriptorsCases[] = {
    {"Silent_Xvfb_In", ClosedRun::SilentToPrinter, DisplayKind::Xvfb, {kIn}, 0, ""},
    {"Silent_Xvfb_Out", ClosedRun::SilentToPrinter, DisplayKind::Xvfb, {kOut}, 0, ""},
    {"Silent_Xvfb_Err", ClosedRun::SilentToPrinter, DisplayKind::Xvfb, {kErr}, 0, ""},
    {"Silent_Xvfb_InOut", ClosedRun::SilentToPrinter, DisplayKind::Xvfb, {kIn, kOut}, 0, ""},
    {"Silent_Xvfb_InErr", ClosedRun::SilentToPrinter, DisplayKind::Xvfb, {kIn, kErr}, 0, ""},
    {"Silent_Xvfb_OutErr", ClosedRun::SilentToPrinter, DisplayKind::Xvfb, {kOut, kErr}, 0, ""},
    {"SilentNoPrinter_Xvfb_Err", ClosedRun::SilentToNoPrinter, DisplayKind::Xvfb, {kErr}, 21, ""},
    {"SilentNoPrinter_Xvfb_InErr", ClosedRun::SilentToNoPrinter, DisplayKind::Xvfb, {kIn, kErr}, 21, ""},
    {"SilentNoPrinter_Xvfb_OutErr", ClosedRun::SilentToNoPrinter, DisplayKind::Xvfb, {kOut, kErr}, 21, ""},
    {"Attended_Xvfb_In", ClosedRun::Attended, DisplayKind::Xvfb, {kIn}, 0, ""},
    {"Attended_Xvfb_Out", ClosedRun::Attended, DisplayKind::Xvfb, {kOut}, 0, ""},
    {"Attended_Xvfb_Err", ClosedRun::Attended, DisplayKind::Xvfb, {kErr}, 0, ""},
    {"Attended_Xvfb_InOut", ClosedRun::Attended, DisplayKind::Xvfb, {kIn, kOut}, 0, ""},
    {"Attended_Xvfb_InErr", ClosedRun::Attended, DisplayKind::Xvfb, {kIn, kErr}, 0, ""},
    {"Attended_Xvfb_OutErr", ClosedRun::Attended, DisplayKind::Xvfb, {kOut, kErr}, 0, ""},
    {"Silent_SilentDisplay_In", ClosedRun::SilentToPrinter, DisplayKind::SilentX11ByHost, {kIn}, 0, ""},
    {"Silent_SilentDisplay_Out", ClosedRun::SilentToPrinter, DisplayKind::SilentX11ByHost, {kOut}, 0, ""},
    {"Silent_SilentDisplay_Err", ClosedRun::SilentToPrinter, DisplayKind::SilentX11ByHost, {kErr}, 0, ""},
    {"Attended_SilentDisplay_InOut", ClosedRun::Attended, DisplayKind::SilentX11ByHost, {kIn, kOut}, 1, kSilentDisplayLine},
    {"Attended_SilentDisplay_InErr", ClosedRun::Attended, DisplayKind::SilentX11ByHost, {kIn, kErr}, 1, kSilentDisplayLine},
    {"Attended_SilentDisplay_OutErr", ClosedRun::Attended, DisplayKind::SilentX11ByHost, {kOut, kErr}, 1, kSilentDisplayLine},
    {"Silent_NoDisplay_In", ClosedRun::SilentToPrinter, std::nullopt, {kIn}, 0, ""},
    {"Silent_NoDisplay_Out", ClosedRun::SilentToPrinter, std::nullopt, {kOut}, 0, ""},
    {"Silent_NoDisplay_Err", ClosedRun::SilentToPrinter, std::nullopt, {kErr}, 0, ""},
    {"Silent_NoDisplay_InOut", ClosedRun::SilentToPrinter, std::nullopt, {kIn, kOut}, 0, ""},
    {"Silent_NoDisplay_InErr", ClosedRun::SilentToPrinter, std::nullopt, {kIn, kErr}, 0, ""},
    {"Silent_NoDisplay_OutErr", ClosedRun::SilentToPrinter, std::nullopt, {kOut, kErr}, 0, ""},
    {"Attended_NoDisplay_In", ClosedRun::Attended, std::nullopt, {kIn}, 1, kNoDisplayLine},
    {"Attended_NoDisplay_Out", ClosedRun::Attended, std::nullopt, {kOut}, 1, kNoDisplayLine},
    {"Attended_NoDisplay_Err", ClosedRun::Attended, std::nullopt, {kErr}, 1, kNoDisplayLine},
    {"Attended_NoDisplay_InOut", ClosedRun::Attended, std::nullopt, {kIn, kOut}, 1, kNoDisplayLine},
    {"Attended_NoDisplay_InErr", ClosedRun::Attended, std::nullopt, {kIn, kErr}, 1, kNoDisplayLine},
    {"Attended_NoDisplay_OutErr", ClosedRun::Attended, std::nullopt, {kOut, kErr}, 1, kNoDisplayLine},
};

void PrintTo(const ClosedDescriptorsCase& closedCase, std::ostream* out)
{
    *out << closedCase.name;
}

class ClosedDescriptorsRunEnd : public RunEnd, public ::testing::WithParamInterface<ClosedDescriptorsCase> {};

// The run ends as it does with all three open. No runtime folder is named, so Qt remarks on
// it on standard error, and the X connection would take a closed number if it were free.
TEST_P(ClosedDescriptorsRunEnd, EndsAsWithAllOpen)
{
    const ClosedDescriptorsCase& expected = GetParam();
    ASSERT_TRUE(world.Valid());
    std::unique_ptr<DisplayOfCase> display;
    cli_test::Environment environment = world.ProgramEnvironment();
    if (expected.display) {
        display = std::make_unique<DisplayOfCase>(*expected.display, world);
        if (*expected.display == DisplayKind::Xvfb && !display->Valid())
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(display->Valid());
        environment = display->Environment(world);
    }
    environment.Unset("XDG_RUNTIME_DIR");
    const bool errOpen = std::find(expected.closed.begin(), expected.closed.end(), kErr) == expected.closed.end();

    if (expected.run != ClosedRun::Attended) {
        const bool toPrinter = expected.run == ClosedRun::SilentToPrinter;
        const std::string absent = world.FilePath("no-such-device").string();
        if (toPrinter)
            PrepareWithSim();
        else
            Prepare(absent);
        const cli_test::ProgramRun run =
            RunProgram(kJetvane, sendArguments, environment, kDisplayWaitMs + kSendConfigLimitMs, {}, expected.closed);

        ASSERT_TRUE(run.end.has_value() && run.end->exited) << "did not end by itself";
        EXPECT_EQ(run.end->exitCode, expected.exitCode) << run.err;
        if (errOpen) {
            EXPECT_EQ(run.err, toPrinter ? "" : "jetvane: Device not found: COM5 (" + absent + ") does not exist\n");
        }
        if (toPrinter) {
            EXPECT_THAT(LoggedFrames(sim.StderrText()),
                        ElementsAre(LoggedFrame{CMD_IDENTIFY, 0}, LoggedFrame{CMD_GET_SETTINGS, 0},
                                    LoggedFrame{CMD_SET_SETTINGS, cli_test::SampleSettingsRecord().size()}));
        }
    } else if (*expected.line == '\0') {
        // The window opens; closed as a window manager closes it (asked again until it has
        // taken the request), the run ends.
        ProgramProcess jetvane;
        jetvane.CloseInChild(expected.closed);
        ASSERT_TRUE(jetvane.Start(kJetvane, {}, environment));
        bool shown = false;
        std::optional<cli_test::ProgramEnd> end;
        for (int waited = 0; waited < kStartUpLimitMs && !end; waited += kKeyRepeatMs) {
            shown = test_support::AskTopLevelWindowsToClose(display->Name(), "Jetvane") > 0 || shown;
            end = jetvane.WaitForExit(kKeyRepeatMs);
        }
        ASSERT_TRUE(shown) << "no window titled Jetvane on " << display->Name() << "; " << jetvane.Stderr();
        ASSERT_TRUE(end.has_value() && end->exited) << "the window was asked to close, and the run went on";
        EXPECT_EQ(end->exitCode, expected.exitCode);
    } else {
        const cli_test::ProgramRun run =
            RunProgram(kJetvane, {}, environment, kDisplayWaitMs + kDisplayWaitMarginMs, {}, expected.closed);

        ASSERT_TRUE(run.end.has_value() && run.end->exited) << "did not end by itself";
        EXPECT_EQ(run.end->exitCode, expected.exitCode);
        if (errOpen) {
            EXPECT_EQ(OnlyProgramLine(run.err), WithName(expected.line, display ? display->Name() : ""));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ClosedDescriptors, ClosedDescriptorsRunEnd, ::testing::ValuesIn(kClosedDescriptorsCases),
                         [](const ::testing::TestParamInfo<ClosedDescriptorsCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- silent runs that cannot go on unattended

// Without a display, or on a platform that shows nothing (chosen in the environment): a
// file for the other family. No runtime folder is named, so Qt would have remarked on it:
// standard error holds the status line alone.
TEST_F(RunEnd, FallBackWithoutDisplayEndsAsFailedWithTheStatusOnStandardError)
{
    for (const char* platform : {"", "offscreen", "minimal"}) { // QT_QPA_PLATFORM; none when empty
        SCOPED_TRACE(platform);
        test_support::PrinterSimProcess printer;
        ASSERT_TRUE(printer.Start(kPrinterSim, {"--type", "BTP"}));
        Prepare(printer.SlavePath(), kBoardingPassFile);
        cli_test::Environment environment = world.ProgramEnvironmentWithoutRuntimeFolder();
        if (*platform != '\0')
            environment.Set("QT_QPA_PLATFORM", platform);

        const cli_test::ProgramRun run = RunProgram(kJetvane, sendArguments, environment, kSendConfigLimitMs);

        ASSERT_TRUE(run.end.has_value()) << "the run kept going";
        EXPECT_EQ(run.end->exitCode, EXIT_CODE_OPERATION_FAILED);
        EXPECT_THAT(OnlyProgramLine(run.err), HasSubstr("Changing device type not supported"));
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_THAT(LoggedFrames(printer.StderrText()),
                    ElementsAre(LoggedFrame{CMD_IDENTIFY, 0}, LoggedFrame{CMD_GET_SETTINGS, 0}));
    }
}

// A settings file goes only to a printer of the family its name is for, and not when its
// record's device-type field is for the other family; a refused one ends the run as failed,
// naming name and settings where they disagree, and the printer hears only the search and
// the type check.
TEST_F(RunEnd, SettingsFilesGoOnlyToPrintersOfTheFamilyTheirNameAndSettingsAreFor)
{
    for (const test_support::SettingsFileFamilyCase& c : test_support::SettingsFileFamilyCases()) {
        SCOPED_TRACE(c.name);
        test_support::PrinterSimProcess printer;
        ASSERT_TRUE(printer.Start(kPrinterSim, {"--type", c.bagTagPrinter ? "BTP" : "BPP"}));
        Prepare(printer.SlavePath(), c.fileName, c.record);

        const cli_test::ProgramRun run =
            RunProgram(kJetvane, sendArguments, world.ProgramEnvironmentWithoutRuntimeFolder(), kSendConfigLimitMs);

        ASSERT_TRUE(run.end.has_value()) << "the run kept going";
        if (c.refusal == nullptr) {
            EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS) << run.err;
            EXPECT_THAT(LoggedFrames(printer.StderrText()),
                        ElementsAre(LoggedFrame{CMD_IDENTIFY, 0}, LoggedFrame{CMD_GET_SETTINGS, 0},
                                    LoggedFrame{CMD_SET_SETTINGS, c.record.size()}));
            continue;
        }
        EXPECT_EQ(run.end->exitCode, EXIT_CODE_OPERATION_FAILED);
        EXPECT_EQ(run.err, std::string("jetvane: Changing device type not supported: ") + c.refusal + "\n");
        EXPECT_THAT(LoggedFrames(printer.StderrText()),
                    ElementsAre(LoggedFrame{CMD_IDENTIFY, 0}, LoggedFrame{CMD_GET_SETTINGS, 0}));
    }
}

// Another program takes the printer's port between the search and the main dialog's own open.
TEST_F(RunEnd, PortTakenAfterTheSearchEndsAsFailedAndSaysItIsInUse)
{
    cli_test::RecordingPtyPrinter printer(cli_test::BagTagPrinter());
    ASSERT_TRUE(printer.Valid());
    Prepare(printer.SlavePath());
    std::atomic<bool> done{false};
    int held = -1;
    // Once the printer has answered the search, the port is taken the moment it is free.
    std::thread taker([&] {
        while (!done.load() && held < 0) {
            const int fd = printer.ReceivedFrames().empty()
                               ? -1
                               : ::open(printer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
                held = fd;
            else if (fd >= 0)
                ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    const cli_test::ProgramRun run = RunProgram(kJetvane, sendArguments, world.ProgramEnvironment(), kSendConfigLimitMs);
    done.store(true);
    taker.join();
    if (held >= 0)
        ::close(held);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_OPERATION_FAILED);
    const std::string line = OnlyProgramLine(run.err);
    EXPECT_THAT(line, HasSubstr("Device Found: COM5,19200,8,N,1"));
    EXPECT_THAT(line, HasSubstr("in use by another program"));
}

// ---- runs whose window is closed by hand, on a display (Qt's VNC platform)

// Qt's VNC platform keeps its screen buffers to the end of the process; a leak checker in
// the program (a sanitizer build) is told that they are not the program's.
constexpr char kVncPluginLeaks[] = "leak:libqvnc.so\n";

// Starts the program on the VNC platform and presses keys (Escape unless told) in its window
// until it has ended (after waitFirst has returned); its end.
std::optional<cli_test::ProgramEnd> RunAndPressKeys(ProgramProcess& jetvane, const std::vector<std::string>& arguments,
                                                   const cli_test::CliWorld& world,
                                                   const std::function<bool()>& waitFirst,
                                                   const std::vector<std::uint32_t>& keys = {cli_test::kKeyEscape})
{
    const int port = cli_test::FreeLocalPort();
    cli_test::Environment environment = world.ProgramEnvironment();
    environment.Set("QT_QPA_PLATFORM", "vnc:port=" + std::to_string(port));
    if (world.WriteFile("vnc-leaks.supp", kVncPluginLeaks))
        environment.Set("LSAN_OPTIONS", "suppressions=" + world.FilePath("vnc-leaks.supp").string());
    cli_test::VncKeyboard keyboard;
    if (port == 0 || !jetvane.Start(kJetvane, arguments, environment) || !keyboard.Connect(port, kStartUpLimitMs) ||
        !waitFirst())
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartUpLimitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        keyboard.PressKeys(keys);
        if (const std::optional<cli_test::ProgramEnd> end = jetvane.WaitForExit(kKeyRepeatMs))
            return end;
    }
    return std::nullopt;
}

// With a display the same end leaves the window open for the technician (no exit code
// yet); when the technician closes it (Escape, or the Exit button by its Alt+X), nothing
// was sent, and neither the exit code nor the line (the refusal and its reason) must say
// otherwise.
TEST_F(RunEnd, SilentRunThatFellBackEndsAsFailedWhenItsWindowIsClosed)
{
    for (const std::vector<std::uint32_t>& keys :
         {std::vector<std::uint32_t>{cli_test::kKeyEscape}, std::vector<std::uint32_t>{cli_test::kKeyAlt, cli_test::kKeyX}}) {
        SCOPED_TRACE(keys.size());
        test_support::PrinterSimProcess printer;
        ASSERT_TRUE(printer.Start(kPrinterSim, {"--type", "BTP"}));
        Prepare(printer.SlavePath(), kBoardingPassFile);
        ProgramProcess jetvane;

        const std::optional<cli_test::ProgramEnd> end = RunAndPressKeys(
            jetvane, sendArguments, world,
            [&] {
                return cli_test::WaitForLoggedCommand(printer, CMD_GET_SETTINGS, kSendConfigLimitMs) &&
                       !jetvane.WaitForExit(kStaysOpenCheckMs).has_value();
            },
            keys);

        ASSERT_TRUE(end.has_value()) << "the window did not stay, or the key did not end the run";
        EXPECT_EQ(end->exitCode, EXIT_CODE_OPERATION_FAILED);
        EXPECT_EQ(OnlyProgramLine(jetvane.Stderr()),
                  "jetvane: the window was closed before the operation ended (last status: Changing device type not "
                  "supported: gate.QV_BPP_CFG is not for the BTP printer found)");
    }
}

// Escape during the search of a silent run ends it as failed; the same key in a run that
// began interactive ends it as it always did, with 0.
TEST_F(RunEnd, EscapeEndsASilentRunAsFailedAndAnInteractiveOneWithZero)
{
    // The remembered port holds a printer that never answers: the search goes on until Escape.
    cli_test::RecordingPtyPrinter mute(cli_test::BagTagPrinter());
    ASSERT_TRUE(mute.Valid());
    printer_sim::Fault silence;
    silence.kind = printer_sim::FaultKind::Silence;
    silence.times = -1;
    mute.AddFault(silence);
    Prepare(mute.SlavePath());

    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
    };
    for (const Case& expected : {Case{sendArguments, EXIT_CODE_OPERATION_FAILED}, Case{{}, EXIT_CODE_SUCCESS}}) {
        ProgramProcess jetvane;
        const std::optional<cli_test::ProgramEnd> end =
            RunAndPressKeys(jetvane, expected.arguments, world, [] { return true; });

        ASSERT_TRUE(end.has_value()) << "Escape did not end the run";
        EXPECT_EQ(end->exitCode, expected.exitCode);
        if (expected.exitCode == EXIT_CODE_SUCCESS)
            EXPECT_TRUE(ProgramLines(jetvane.Stderr()).empty()) << jetvane.Stderr();
        else
            EXPECT_THAT(OnlyProgramLine(jetvane.Stderr()), HasSubstr("closed before the operation ended"));
    }
}

// ---- the line that says why a silent run failed

TEST_F(RunEnd, FailureLinesNameWhatIsWrongAndWhere)
{
    const std::string device = world.FilePath("no-such-device").string();
    Prepare(device);
    const std::string missing = world.FilePath("absent.QV_BTP_CFG").string();
    const std::string text = world.FilePath("settings.txt").string();
    const std::string huge = world.FilePath("huge.QV_BTP_CFG").string();
    const std::string hugeFirmware = world.FilePath("F2QV1_HUGE.BIN").string();
    const std::string longFirmware = world.FilePath("F2QV1_2GIB.BIN").string();
    for (const auto& [path, length] : {std::pair{huge, kBeyond32BitLength}, std::pair{hugeFirmware, kBeyond32BitLength},
                                       std::pair{longFirmware, kBeyondSigned32BitLength}}) {
        ASSERT_TRUE(world.WriteFile(std::filesystem::path(path).filename().string(), "head"));
        std::filesystem::resize_file(path, length);
    }
    const std::string firmwareNamedOtherwise = world.FilePath("firmware.BIN").string();
    const test_support::FakeDisplay silentDisplay;
    ASSERT_TRUE(silentDisplay.Valid());
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string line;
        bool onSilentDisplay = false; // a refused command line does not wait for it
    };
    const Case cases[] = {
        {{"SILENT"},
         EXIT_CODE_BAD_REQUEST,
         "jetvane: incomplete command line: SENDCONFIG or LOADFIRMWARE needs the file to send",
         true},
        {{"SENDCONFIG"},
         EXIT_CODE_BAD_REQUEST,
         "jetvane: incomplete command line: SENDCONFIG or LOADFIRMWARE needs the file to send",
         true},
        {{"SILENT", "SENDCONFIG", "Desk.Txt"},
         EXIT_CODE_FILE_ERROR,
         "jetvane: Desk.Txt: not a configuration file (the name must end in QV_BTP_CFG, QV_BPP_CFG or QV_EEPROM_CFG)",
         true},
        {{"SILENT", "LOADFIRMWARE", firmwareNamedOtherwise},
         EXIT_CODE_FILE_ERROR,
         "jetvane: " + firmwareNamedOtherwise + ": not a firmware file (the name must be F2QV1_*.BIN)",
         true},
        {sendArguments, EXIT_CODE_DEVICE_NOT_FOUND, "jetvane: Device not found: COM5 (" + device + ") does not exist"},
        {{"SILENT", "SENDCONFIG", missing},
         EXIT_CODE_FILE_ERROR,
         "jetvane: " + missing + ": Unable To Open Configuration File (No such file or directory)"},
        {{"SILENT", "SENDCONFIG", text},
         EXIT_CODE_FILE_ERROR,
         "jetvane: " + text +
             ": not a configuration file (the name must end in QV_BTP_CFG, QV_BPP_CFG or QV_EEPROM_CFG)"},
        // Files longer than a block header can announce are not read, nor as their first bytes.
        {{"SILENT", "SENDCONFIG", huge},
         EXIT_CODE_FILE_ERROR,
         "jetvane: " + huge + ": Unable To Read File (the file is longer than 2147483647 bytes)"},
        {{"SILENT", "LOADFIRMWARE", hugeFirmware},
         EXIT_CODE_FILE_ERROR,
         "jetvane: " + hugeFirmware + ": Unable To Read File (the file is longer than 2147483647 bytes)"},
        {{"SILENT", "LOADFIRMWARE", longFirmware},
         EXIT_CODE_FILE_ERROR,
         "jetvane: " + longFirmware + ": Unable To Read File (the file is longer than 2147483647 bytes)"},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.line);
        cli_test::Environment environment = world.ProgramEnvironmentWithoutRuntimeFolder();
        if (expected.onSilentDisplay)
            environment.Set("DISPLAY", silentDisplay.Name());
        const cli_test::ProgramRun run = RunProgram(kJetvane, expected.arguments, environment, kSendConfigLimitMs);

        ASSERT_TRUE(run.end.has_value());
        EXPECT_EQ(run.end->exitCode, expected.exitCode);
        EXPECT_EQ(run.err, expected.line + "\n");
        if (expected.onSilentDisplay) {
            EXPECT_LT(run.seconds, kDisplayWaitMs / 1000.0 / 2) << "waited for the display";
        }
    }
}

// A silent firmware load that fails inside the firmware window says why, like every other
// failure: here the printer goes away in the middle of the image.
TEST_F(RunEnd, FirmwareLoadWhosePrinterGoesAwaySaysSo)
{
    ASSERT_TRUE(sim.Start(kPrinterSim, {"--type", "BTP"})) << "jetvane-printer-sim did not start";
    ASSERT_TRUE(world.WriteProfile(sim.SlavePath()));
    ASSERT_TRUE(world.WriteFile("F2QV1_LONG.BIN", std::string(kLongImageSize, '\x5A')));
    ProgramProcess jetvane;
    ASSERT_TRUE(jetvane.Start(kJetvane, {"SILENT", "LOADFIRMWARE", world.FilePath("F2QV1_LONG.BIN").string()},
                              world.ProgramEnvironmentWithoutRuntimeFolder()));
    ASSERT_TRUE(cli_test::WaitForLoggedCommand(sim, CMD_FIRMWARE_BLOCK, kFirmwareFailureLimitMs)) << sim.StderrText();

    sim.Stop();
    const std::optional<cli_test::ProgramEnd> end = jetvane.WaitForExit(kFirmwareFailureLimitMs);

    ASSERT_TRUE(end.has_value()) << "still running after the printer went away";
    EXPECT_EQ(end->exitCode, EXIT_CODE_OPERATION_FAILED);
    EXPECT_EQ(jetvane.Stderr(), "jetvane: Firmware Upload Failed: the printer did not answer\n");
}

} // namespace
