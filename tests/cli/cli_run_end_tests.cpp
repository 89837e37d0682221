// How a run of the built program ends, as a script sees it: a display that is named but
// does not answer, the ends of a silent run that cannot go on unattended (without a display
// they end as failed, with a display the window stays for the technician), a silent run
// whose window is closed by hand, and the line on standard error that says why.
//
// "With a display" is Qt's offscreen platform chosen in the environment, or its VNC platform
// when the test must press a key as a technician would (tests/cli/vnc_keyboard.h).
#include "app/exit_codes.h"
#include "comms/printer_codes.h"
#include "tests/cli/cli_environment.h"
#include "tests/cli/cli_sim_log.h"
#include "tests/cli/program_process.h"
#include "tests/cli/recording_pty_printer.h"
#include "tests/cli/vnc_keyboard.h"
#include "tests/support/printer_sim_process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using cli_test::CliWorld;
using cli_test::LoggedFrame;
using cli_test::LoggedFrames;
using cli_test::ProgramProcess;
using cli_test::RunProgram;
using testing::ElementsAre;
using testing::HasSubstr;

constexpr char kJetvane[] = JETVANE_PROGRAM_PATH;
constexpr char kPrinterSim[] = JETVANE_PRINTER_SIM_PATH;

// Bounds that keep a broken program from hanging the suite; none is a speed requirement.
constexpr int kStartUpLimitMs = 10000;
constexpr int kSendConfigLimitMs = 20000;
// After the type check's reply, a run that would end has long ended by then.
constexpr int kStaysOpenCheckMs = 2000;
// How often the test presses Escape until the window takes it.
constexpr int kKeyRepeatMs = 300;

constexpr int kNoDisplayExitCode = 1;
constexpr char kProgramLinePrefix[] = "jetvane: ";
constexpr char kOffscreen[] = "offscreen";

// The lines of standard error that the program wrote itself.
std::vector<std::string> ProgramLines(const std::string& err)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < err.size()) {
        std::size_t end = err.find('\n', start);
        if (end == std::string::npos)
            end = err.size();
        const std::string line = err.substr(start, end - start);
        if (line.rfind(kProgramLinePrefix, 0) == 0)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// An X display that no server on this machine answers.
std::string DeadDisplay()
{
    for (int number = 200;; ++number) {
        if (!std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)))
            return ":" + std::to_string(number);
    }
}

void StartSim(test_support::PrinterSimProcess& sim, const char* type)
{
    ASSERT_TRUE(sim.Start(kPrinterSim, {"--type", type})) << "jetvane-printer-sim did not start";
}

// ---- a display that does not answer

TEST(CliDeadDisplay, InteractiveRunEndsWithOneAndOneLine)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    cli_test::Environment environment = world.ProgramEnvironment();
    environment.Set("DISPLAY", DeadDisplay());

    const cli_test::ProgramRun run = RunProgram(kJetvane, {}, environment, kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kStartUpLimitMs << " ms";
    ASSERT_TRUE(run.end->exited) << "ended by signal " << run.end->signal;
    EXPECT_EQ(run.end->exitCode, kNoDisplayExitCode);
    EXPECT_THAT(run.err, HasSubstr("does not answer"));
    EXPECT_EQ(ProgramLines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST(CliDeadDisplay, SilentRunGoesOnOffscreen)
{
    test_support::PrinterSimProcess sim;
    StartSim(sim, "BTP");
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(sim.SlavePath()));
    ASSERT_TRUE(world.WriteFile("desk.QV_BTP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())));
    cli_test::Environment environment = world.ProgramEnvironment();
    environment.Set("DISPLAY", DeadDisplay());

    const cli_test::ProgramRun run =
        RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()}, environment,
                   kSendConfigLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
    ASSERT_TRUE(run.end->exited) << "ended by signal " << run.end->signal;
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS) << run.err;
    EXPECT_EQ(run.err, "");
}

// ---- silent runs that cannot go on unattended, without a display

struct FallBackCase {
    const char* name;
    const char* fileName;
    bool emptyFile;
    const char* statusText; // what the window would have shown
};

class CliFallBackWithoutDisplay : public ::testing::TestWithParam<FallBackCase> {};

TEST_P(CliFallBackWithoutDisplay, EndsAsFailedWithTheStatusOnStandardError)
{
    const FallBackCase& fallBack = GetParam();
    test_support::PrinterSimProcess sim;
    StartSim(sim, "BTP");
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(sim.SlavePath()));
    ASSERT_TRUE(world.WriteFile(fallBack.fileName, fallBack.emptyFile ? std::string()
                                                                    : cli_test::ConfigurationFileBytes(
                                                                          cli_test::SampleSettingsRecord())));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath(fallBack.fileName).string()},
                                                world.ProgramEnvironment(), kSendConfigLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_OPERATION_FAILED);
    const std::vector<std::string> lines = ProgramLines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_THAT(lines.front(), HasSubstr(fallBack.statusText));
    EXPECT_THAT(LoggedFrames(sim.StderrText()),
                ElementsAre(LoggedFrame{CMD_IDENTIFY, 0}, LoggedFrame{CMD_GET_SETTINGS, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, CliFallBackWithoutDisplay,
    ::testing::Values(FallBackCase{"BoardingPassFileForABagTagPrinter", "gate.QV_BPP_CFG", false,
                                   "Changing device type not supported"},
                      FallBackCase{"EmptyConfigurationFile", "empty.QV_BTP_CFG", true,
                                   "Failed to get response to command"}),
    [](const ::testing::TestParamInfo<FallBackCase>& info) { return info.param.name; });

// Another program takes the printer's port between the search and the main dialog's own
// open: the run cannot go on, and says so.
TEST(CliFallBackWithoutDisplayPort, PortTakenAfterTheSearchEndsAsFailedAndSaysItIsInUse)
{
    cli_test::RecordingPtyPrinter printer(cli_test::BagTagPrinter());
    ASSERT_TRUE(printer.Valid());
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(printer.SlavePath()));
    ASSERT_TRUE(world.WriteFile("desk.QV_BTP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())));
    std::atomic<bool> done{false};
    int held = -1;
    // Once the printer has answered the search, the port is taken the moment it is free.
    std::thread taker([&] {
        while (!done.load() && printer.ReceivedFrames().empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        while (!done.load() && held < 0) {
            const int fd = ::open(printer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
                held = fd;
            else if (fd >= 0)
                ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()},
                                                world.ProgramEnvironment(), kSendConfigLimitMs);
    done.store(true);
    taker.join();
    if (held >= 0)
        ::close(held);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_OPERATION_FAILED);
    const std::vector<std::string> lines = ProgramLines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_THAT(lines.front(), HasSubstr("Device Found: COM5,19200,8,N,1"));
    EXPECT_THAT(lines.front(), HasSubstr("in use by another program"));
}

// With a display the same end leaves the window open for the technician: no exit code yet.
TEST(CliFallBackWithDisplay, BoardingPassFileForABagTagPrinterLeavesTheWindowOpen)
{
    test_support::PrinterSimProcess sim;
    StartSim(sim, "BTP");
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(sim.SlavePath()));
    ASSERT_TRUE(world.WriteFile("gate.QV_BPP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())));
    cli_test::Environment environment = world.ProgramEnvironment();
    environment.Set("QT_QPA_PLATFORM", kOffscreen);

    ProgramProcess jetvane;
    ASSERT_TRUE(jetvane.Start(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("gate.QV_BPP_CFG").string()}, environment));
    ASSERT_TRUE(cli_test::WaitForLoggedCommand(sim, CMD_GET_SETTINGS, kSendConfigLimitMs)) << sim.StderrText();
    const std::optional<cli_test::ProgramEnd> early = jetvane.WaitForExit(kStaysOpenCheckMs);

    EXPECT_FALSE(early.has_value()) << "ended with exit code " << early->exitCode;
    EXPECT_TRUE(jetvane.Running());
    jetvane.Stop();
    EXPECT_THAT(LoggedFrames(sim.StderrText()),
                ElementsAre(LoggedFrame{CMD_IDENTIFY, 0}, LoggedFrame{CMD_GET_SETTINGS, 0}));
}

// ---- runs whose window is closed by hand, on a display (Qt's VNC platform)

// Presses Escape in the program's window until the program has ended; its end.
std::optional<cli_test::ProgramEnd> EscapeUntilEnded(ProgramProcess& jetvane, int vncPort)
{
    cli_test::VncKeyboard keyboard;
    if (!keyboard.Connect(vncPort, kStartUpLimitMs))
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartUpLimitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        keyboard.PressKey(cli_test::kKeyEscape);
        if (const std::optional<cli_test::ProgramEnd> end = jetvane.WaitForExit(kKeyRepeatMs))
            return end;
    }
    return std::nullopt;
}

cli_test::Environment VncEnvironment(const CliWorld& world, int port)
{
    cli_test::Environment environment = world.ProgramEnvironment();
    environment.Set("QT_QPA_PLATFORM", "vnc:port=" + std::to_string(port));
    return environment;
}

// The technician closes the window that a silent run fell back to: nothing was sent, and the
// exit code must not say otherwise.
TEST(CliClosedByHand, SilentRunThatFellBackEndsAsFailed)
{
    test_support::PrinterSimProcess sim;
    StartSim(sim, "BTP");
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(sim.SlavePath()));
    ASSERT_TRUE(world.WriteFile("gate.QV_BPP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())));
    const int vncPort = cli_test::FreeLocalPort();
    ASSERT_NE(vncPort, 0);

    ProgramProcess jetvane;
    ASSERT_TRUE(jetvane.Start(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("gate.QV_BPP_CFG").string()},
                              VncEnvironment(world, vncPort)));
    ASSERT_TRUE(cli_test::WaitForLoggedCommand(sim, CMD_GET_SETTINGS, kSendConfigLimitMs)) << sim.StderrText();
    ASSERT_FALSE(jetvane.WaitForExit(kStaysOpenCheckMs).has_value()) << "the window did not stay";
    const std::optional<cli_test::ProgramEnd> end = EscapeUntilEnded(jetvane, vncPort);

    ASSERT_TRUE(end.has_value()) << "Escape did not end the run";
    EXPECT_EQ(end->exitCode, EXIT_CODE_OPERATION_FAILED);
    const std::vector<std::string> lines = ProgramLines(jetvane.Stderr());
    ASSERT_EQ(lines.size(), 1u) << jetvane.Stderr();
    EXPECT_THAT(lines.front(), HasSubstr("Changing device type not supported"));
}

// Escape during the search of a silent run ends it as failed; the same key in a run that
// began interactive ends it as it always did, with 0.
TEST(CliClosedByHand, EscapeEndsASilentRunAsFailedAndAnInteractiveOneWithZero)
{
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
    };
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteFile("desk.QV_BTP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())));
    // The remembered port holds a printer that never answers: the search goes on until Escape.
    cli_test::RecordingPtyPrinter mute(cli_test::BagTagPrinter());
    ASSERT_TRUE(mute.Valid());
    printer_sim::Fault silence;
    silence.kind = printer_sim::FaultKind::Silence;
    silence.times = -1;
    mute.AddFault(silence);
    ASSERT_TRUE(world.WriteProfile(mute.SlavePath()));

    for (const Case& expected : {Case{{"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()},
                                      EXIT_CODE_OPERATION_FAILED},
                                 Case{{}, EXIT_CODE_SUCCESS}}) {
        const int vncPort = cli_test::FreeLocalPort();
        ASSERT_NE(vncPort, 0);
        ProgramProcess jetvane;
        ASSERT_TRUE(jetvane.Start(kJetvane, expected.arguments, VncEnvironment(world, vncPort)));

        const std::optional<cli_test::ProgramEnd> end = EscapeUntilEnded(jetvane, vncPort);

        ASSERT_TRUE(end.has_value()) << "Escape did not end the run";
        EXPECT_EQ(end->exitCode, expected.exitCode);
        const std::vector<std::string> lines = ProgramLines(jetvane.Stderr());
        if (expected.exitCode == EXIT_CODE_SUCCESS) {
            EXPECT_TRUE(lines.empty()) << jetvane.Stderr();
        } else {
            ASSERT_EQ(lines.size(), 1u) << jetvane.Stderr();
            EXPECT_THAT(lines.front(), HasSubstr("closed before the operation ended"));
        }
    }
}

// ---- the line that says why a silent run failed

TEST(CliFailureLine, DeviceNotFoundNamesThePortAndItsMissingDevice)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    const std::string device = world.FilePath("no-such-device").string();
    ASSERT_TRUE(world.WriteProfile(device));
    ASSERT_TRUE(world.WriteFile("desk.QV_BTP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()},
                                                world.ProgramEnvironment(), kSendConfigLimitMs);

    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_DEVICE_NOT_FOUND);
    EXPECT_EQ(ProgramLines(run.err),
              std::vector<std::string>{"jetvane: Device not found: COM5 (" + device + ") does not exist"});
}

TEST(CliFailureLine, FileErrorsNameTheFileAndWhatIsWrongWithIt)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(world.FilePath("no-such-device").string()));
    const std::string missing = world.FilePath("absent.QV_BTP_CFG").string();
    const std::string text = world.FilePath("settings.txt").string();

    const cli_test::ProgramRun absent =
        RunProgram(kJetvane, {"SILENT", "SENDCONFIG", missing}, world.ProgramEnvironment(), kStartUpLimitMs);
    const cli_test::ProgramRun wrongName =
        RunProgram(kJetvane, {"SILENT", "SENDCONFIG", text}, world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(absent.end.has_value() && wrongName.end.has_value());
    EXPECT_EQ(absent.end->exitCode, EXIT_CODE_FILE_ERROR);
    EXPECT_THAT(ProgramLines(absent.err),
                ElementsAre("jetvane: " + missing + ": Unable To Open Configuration File (No such file or directory)"));
    EXPECT_EQ(wrongName.end->exitCode, EXIT_CODE_FILE_ERROR);
    ASSERT_EQ(ProgramLines(wrongName.err).size(), 1u);
    EXPECT_THAT(ProgramLines(wrongName.err).front(), HasSubstr(text + ": not a configuration file"));
}

} // namespace
