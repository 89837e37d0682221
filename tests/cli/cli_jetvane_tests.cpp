// The built jetvane program run as a process, as a script or a scheduler runs it: its
// command line, its exit codes, and the unattended SENDCONFIG road against a simulated
// printer on a pseudo-terminal (no modem lines there, so the search finds it in its third
// pass). Each test has its own profile folder; no display is named, so a SILENT run picks
// the offscreen platform by itself.
#include "ui/exit_codes.h"
#include "comms/printer_codes.h"
#include "tests/cli/cli_environment.h"
#include "tests/cli/cli_sim_log.h"
#include "tests/cli/program_process.h"
#include "tests/cli/recording_pty_printer.h"
#include "tests/support/chatty_pty.h"
#include "tests/support/printer_sim_process.h"
#include "tests/support/scoped_port_map.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using cli_test::CliWorld;
using cli_test::ProgramProcess;
using cli_test::RunProgram;
using testing::ElementsAre;
using testing::HasSubstr;

constexpr char kJetvane[] = JETVANE_PROGRAM_PATH;
constexpr char kPrinterSim[] = JETVANE_PRINTER_SIM_PATH;

using cli_test::kSendConfigLimitMs;
using cli_test::kStartUpLimitMs;

// The LOADFIRMWARE road: the search, the update-mode handshake's waits (about 2.5 s), the
// image, and then the wait for the printer's restart on DSR, which a pty never raises: it
// runs its whole budget of 100 x 500 ms.
constexpr int kLoadFirmwareLimitMs = 150000;
// An AUTO search past a talking port: passes 1 and 2 pause 25 ms after each of the 255
// ports, and pass 3 probes the talking port's nine rows (the settle time and the time-out
// each) before it reaches the printer's port; about half a minute in all.
constexpr int kPastTalkingPortLimitMs = 90000;
// The highest port an AUTO search tries.
constexpr int kLastPort = 255;
// An interactive run without a display ends at once with this status and a message.
constexpr int kNoDisplayExitCode = 1;
constexpr char kNoDisplayMessagePart[] = "no display";

using cli_test::LoggedFrame;
using cli_test::LoggedFrames;
using cli_test::WaitForLoggedCommand;

// A jetvane-printer-sim of the given type, started for one test.
void StartSim(test_support::PrinterSimProcess& sim, const char* type)
{
    ASSERT_TRUE(sim.Start(kPrinterSim, {"--type", type})) << "jetvane-printer-sim did not start";
}

// ---- the command line itself

TEST(CliCommandLine, UnknownWordsBeforeAVerbAreListedAndEndTheRunWithCommandError)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"FOO", "BAR"}, world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kStartUpLimitMs << " ms";
    EXPECT_TRUE(run.end->exited);
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_COMMAND_ERROR);
    EXPECT_EQ(run.out, "1: FOO\n2: BAR\n");
    // A script that keeps only standard error learns it too, on one line.
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("jetvane: ", 0), 0u) << run.err;
    EXPECT_THAT(run.err, HasSubstr("FOO BAR"));
}

TEST(CliCommandLine, UnknownWordIsListedAsTypedWithItsPrefixes)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());

    const cli_test::ProgramRun run =
        RunProgram(kJetvane, {"SILENT", "--bogus", "LOADFIRMWARE", "x.bin"}, world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_COMMAND_ERROR);
    EXPECT_EQ(run.out, "2: --bogus\n");
}

TEST(CliCommandLine, SilentAloneIsABadRequest)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT"}, world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kStartUpLimitMs << " ms";
    EXPECT_TRUE(run.end->exited);
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_BAD_REQUEST);
    EXPECT_EQ(run.out, "");
}

TEST(CliCommandLine, SilentVerbWithoutFileIsABadRequest)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());

    const cli_test::ProgramRun run =
        RunProgram(kJetvane, {"SILENT", "SENDCONFIG"}, world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_BAD_REQUEST);
}

// Without SILENT the run is a windowed one, so it is given the offscreen platform.
TEST(CliCommandLine, LoadFirmwareAloneIsABadRequestInAWindowedRun)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    cli_test::Environment environment = world.ProgramEnvironment();
    environment.Set("QT_QPA_PLATFORM", "offscreen");

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"LOADFIRMWARE"}, environment, kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kStartUpLimitMs << " ms";
    EXPECT_TRUE(run.end->exited);
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_BAD_REQUEST);
}

TEST(CliCommandLine, IncompleteRequestWithoutDisplayStillEndsWithBadRequest)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"LOADFIRMWARE"}, world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kStartUpLimitMs << " ms";
    EXPECT_TRUE(run.end->exited);
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_BAD_REQUEST);
}

TEST(CliCommandLine, WordsLikeQtOptionsAreTheProgramsOwn)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());

    // "-platform xcb" is a file path here (and not a configuration file), not a Qt option.
    const cli_test::ProgramRun run =
        RunProgram(kJetvane, {"SILENT", "SENDCONFIG", "-platform", "xcb"}, world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kStartUpLimitMs << " ms";
    EXPECT_TRUE(run.end->exited);
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_FILE_ERROR);
}

TEST(CliCommandLine, InteractiveRunWithoutDisplayFailsWithAMessage)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());

    const cli_test::ProgramRun run = RunProgram(kJetvane, {}, world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "an interactive run without display kept running";
    EXPECT_TRUE(run.end->exited);
    EXPECT_EQ(run.end->exitCode, kNoDisplayExitCode);
    EXPECT_THAT(run.err, HasSubstr(kNoDisplayMessagePart));
    EXPECT_EQ(run.out, "");
}

// ---- silent file checks, before any printer is looked for

TEST(CliSendConfig, MissingFileIsAFileError)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(world.FilePath("no-such-device").string()));

    const cli_test::ProgramRun run =
        RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("absent.QV_BTP_CFG").string()},
                   world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_FILE_ERROR);
}

TEST(CliSendConfig, FileWithAnotherExtensionIsAFileError)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(world.FilePath("no-such-device").string()));
    ASSERT_TRUE(world.WriteFile("settings.txt", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("settings.txt").string()},
                                                world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value());
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_FILE_ERROR);
}

// ---- the SENDCONFIG road against jetvane-printer-sim

TEST(CliSendConfig, ConfigurationIsSentToTheRememberedPrinterAndTheRunSucceeds)
{
    test_support::PrinterSimProcess sim;
    StartSim(sim, "BTP");
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(sim.SlavePath()));
    const std::string record = cli_test::SampleSettingsRecord();
    ASSERT_TRUE(world.WriteFile("desk.QV_BTP_CFG", cli_test::ConfigurationFileBytes(record)));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()},
                                                world.ProgramEnvironment(), kSendConfigLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
    EXPECT_TRUE(run.end->exited);
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS) << run.err;
    EXPECT_THAT(LoggedFrames(sim.StderrText()),
                ElementsAre(LoggedFrame{CMD_IDENTIFY, 0}, LoggedFrame{CMD_GET_SETTINGS, 0},
                            LoggedFrame{CMD_SET_SETTINGS, record.size()}))
        << sim.StderrText();
}

// Words lose leading "/", "-" and "\" to be recognised; the file path keeps its leading "/".
TEST(CliSendConfig, PrefixedWordsAndAnAbsolutePathAreUnderstood)
{
    test_support::PrinterSimProcess sim;
    StartSim(sim, "BTP");
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(sim.SlavePath()));
    const std::string record = cli_test::SampleSettingsRecord();
    ASSERT_TRUE(world.WriteFile("desk.qv_btp_cfg", cli_test::ConfigurationFileBytes(record)));
    const std::string path = world.FilePath("desk.qv_btp_cfg").string();
    ASSERT_EQ(path.front(), '/');

    const cli_test::ProgramRun run =
        RunProgram(kJetvane, {"/sendconfig", "-Silent", path}, world.ProgramEnvironment(), kSendConfigLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS) << run.err;
    EXPECT_THAT(LoggedFrames(sim.StderrText()), testing::Contains(LoggedFrame{CMD_SET_SETTINGS, record.size()}));
}

TEST(CliSendConfig, NoPrinterOnTheRememberedPortIsDeviceNotFound)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(world.FilePath("no-such-device").string()));
    ASSERT_TRUE(world.WriteFile("desk.QV_BTP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()},
                                                world.ProgramEnvironment(), kSendConfigLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_DEVICE_NOT_FOUND);
}

// Files named relative to the run's folder are remembered by absolute path, for runs from any
// folder; the firmware file before the search, which finds nothing here.
TEST(CliSendConfig, RelativeFileNamesAreRememberedAsAbsolutePaths)
{
    test_support::PrinterSimProcess sim;
    StartSim(sim, "BTP");
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    std::filesystem::create_directories(world.FilePath("fw"));
    for (const auto& [verb, relative, device, bytes, profileName, exitCode] :
         {std::tuple{"SENDCONFIG", "rel.QV_BTP_CFG", sim.SlavePath(),
                     cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord()), "LastLoadMainConfigFile",
                     EXIT_CODE_SUCCESS},
          {"LOADFIRMWARE", "fw/F2QV1_REL.BIN", world.FilePath("no-such-device").string(), std::string(1000, '\x5A'),
           "LastLoadFirmwareFile", EXIT_CODE_DEVICE_NOT_FOUND}}) {
        SCOPED_TRACE(verb);
        ASSERT_TRUE(world.WriteProfile(device));
        ASSERT_TRUE(world.WriteFile(relative, bytes));

        const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", verb, relative}, world.ProgramEnvironment(),
                                                    kSendConfigLimitMs, world.FilePath(".").string());

        ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
        EXPECT_EQ(run.end->exitCode, exitCode) << run.err;
        EXPECT_EQ(world.ProfileValue("Settings", profileName), world.FilePath(relative).string());
    }
}

// ---- the LOADFIRMWARE road against jetvane-printer-sim

std::string FirmwareImage(std::size_t size)
{
    std::string image(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 29 + i / 257) & 0xFF);
    return image;
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(CliLoadFirmware, GoodImageReachesThePrinterByteForByteAndTheRunSucceeds)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    const std::filesystem::path received = world.FilePath("received.bin");
    test_support::PrinterSimProcess sim;
    ASSERT_TRUE(sim.Start(kPrinterSim, {"--type", "BTP", "--firmware-out", received.string()}));
    ASSERT_TRUE(world.WriteProfile(sim.SlavePath()));
    const std::string image = FirmwareImage(20000);
    ASSERT_TRUE(world.WriteFile("F2QV1_CLI.BIN", image));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "LOADFIRMWARE", world.FilePath("F2QV1_CLI.BIN").string()},
                                                world.ProgramEnvironment(), kLoadFirmwareLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kLoadFirmwareLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(received), image);
    // Version 6060 and an F2QV1_ name ask three times for USB; this printer has none.
    EXPECT_THAT(LoggedFrames(sim.StderrText()),
                ElementsAre(LoggedFrame{CMD_IDENTIFY, 0}, LoggedFrame{CMD_GET_SETTINGS, 0},
                            LoggedFrame{CMD_QUERY_UPDATE_MODE, 0}, LoggedFrame{CMD_QUERY_UPDATE_MODE, 0},
                            LoggedFrame{CMD_QUERY_UPDATE_MODE, 0}, LoggedFrame{CMD_FIRMWARE_BLOCK, 8192 + 13},
                            LoggedFrame{CMD_FIRMWARE_BLOCK, 8192 + 13}, LoggedFrame{CMD_FIRMWARE_BLOCK, 3616 + 13},
                            LoggedFrame{CMD_FIRMWARE_END, 0}))
        << sim.StderrText();
}

TEST(CliLoadFirmware, FileNamedOtherwiseIsAFileError)
{
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(world.FilePath("no-such-device").string()));
    ASSERT_TRUE(world.WriteFile("firmware.BIN", FirmwareImage(20000)));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "LOADFIRMWARE", world.FilePath("firmware.BIN").string()},
                                                world.ProgramEnvironment(), kStartUpLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kStartUpLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, 11);
}

// ---- the same roads against a printer served in this process, which keeps every frame
// A device that talks without pause and never frames a reply (a GPS receiver) on COM1, the
// printer on COM2, no other port: an AUTO search gets past the talking port and finds it.
TEST(CliSendConfig, SearchGetsPastAPortThatNeverStopsTalking)
{
    test_support::ChattyPseudoTerminal gps(test_support::kGpsSentence);
    ASSERT_TRUE(gps.Valid());
    test_support::PrinterSimProcess sim;
    StartSim(sim, "BTP");
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    std::string profile = "[Ports]\nCOM1=" + gps.SlavePath() + "\nCOM2=" + sim.SlavePath() + "\n";
    for (int port = 3; port <= kLastPort; ++port)
        profile += "COM" + std::to_string(port) + "=" + test_support::kAbsentDevice + "\n";
    ASSERT_TRUE(world.WriteProfileText(profile));
    ASSERT_TRUE(world.WriteFile("desk.QV_BTP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()},
                                                world.ProgramEnvironment(), kPastTalkingPortLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kPastTalkingPortLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS) << run.err;
    EXPECT_GT(gps.BytesWritten(), 0u);
    EXPECT_THAT(LoggedFrames(sim.StderrText()), testing::Contains(LoggedFrame{CMD_SET_SETTINGS, cli_test::SampleSettingsRecord().size()}));
}

// ---- the same road against a printer served in this process, which keeps every frame
// whole and can be told to refuse

using cli_test::BagTagPrinter;

TEST(CliLoadFirmwareFrames, PrinterThatRefusesEveryBlockMakesTheRunFail)
{
    cli_test::RecordingPtyPrinter printer(BagTagPrinter());
    ASSERT_TRUE(printer.Valid());
    printer_sim::Fault refuse;
    refuse.kind = printer_sim::FaultKind::Refuse;
    refuse.command = CMD_FIRMWARE_BLOCK;
    refuse.times = -1;
    printer.AddFault(refuse);
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(printer.SlavePath()));
    ASSERT_TRUE(world.WriteFile("F2QV1_CLI.BIN", FirmwareImage(20000)));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "LOADFIRMWARE", world.FilePath("F2QV1_CLI.BIN").string()},
                                                world.ProgramEnvironmentWithoutRuntimeFolder(), kLoadFirmwareLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kLoadFirmwareLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, 20) << run.err;
    // The firmware window ends the run, and the run's end says why.
    EXPECT_EQ(run.err, "jetvane: Firmware Upload Failed: the printer refused it (reply code 0x61)\n");
    std::vector<std::uint8_t> commands;
    for (const printer_sim::ReceivedFrame& frame : printer.ReceivedFrames())
        commands.push_back(frame.command);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), CMD_FIRMWARE_BLOCK), 3);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), CMD_FIRMWARE_END), 0);
}

TEST(CliSendConfigFrames, TheFileFrameReachesThePrinterUnchanged)
{
    cli_test::RecordingPtyPrinter printer(BagTagPrinter());
    ASSERT_TRUE(printer.Valid());
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    ASSERT_TRUE(world.WriteProfile(printer.SlavePath()));
    const std::string record = cli_test::SampleSettingsRecord();
    const std::string fileBytes = cli_test::ConfigurationFileBytes(record);
    ASSERT_TRUE(world.WriteFile("desk.QV_BTP_CFG", fileBytes));

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()},
                                                world.ProgramEnvironment(), kSendConfigLimitMs);

    ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS) << run.err;
    const std::vector<printer_sim::ReceivedFrame> frames = printer.ReceivedFrames();
    ASSERT_EQ(frames.size(), 3u);
    const printer_sim::ReceivedFrame& sent = frames.back();
    EXPECT_EQ(sent.command, CMD_SET_SETTINGS);
    EXPECT_EQ(sent.flags, 0);
    EXPECT_EQ(sent.direction, FRAME_DIRECTION_FILE);
    EXPECT_EQ(sent.payload, record);
    // The frame is fully determined by these fields (the parser checked the CRC), so this
    // rebuilds the very bytes that crossed the line.
    std::string rebuilt;
    CQVMessageParser::BuildMessage(rebuilt, sent.flags, sent.direction, sent.command, sent.payload);
    EXPECT_EQ(rebuilt, fileBytes);
}

// An EEPROM file as the EEPROM settings dialog saves it (its factory values) fits a printer
// of either family.
TEST(CliSendConfigFrames, SavedEepromFileGoesToEitherPrinterFamily)
{
    const std::string record = "\x7F|\x10+0\x7F|\x11+34\x7F|\x12+13\x7F|\x13+350\x7F|\x14+350"
                               "\x7F|\x15+0\x7F|\x16+0\x7F|\x17+1\x7F";
    const std::string fileBytes = cli_test::ConfigurationFileBytes(record, CMD_SET_EEPROM_SETTINGS);
    for (const auto& [type, identity] : {std::pair{printer_sim::PrinterType::BPP, "YP00000006060"},
                                         std::pair{printer_sim::PrinterType::BTP, "YT00000006060"}}) {
        SCOPED_TRACE(identity);
        printer_sim::PrinterConfig config = BagTagPrinter();
        config.type = type;
        config.identity = identity;
        cli_test::RecordingPtyPrinter printer(config);
        ASSERT_TRUE(printer.Valid());
        const CliWorld world;
        ASSERT_TRUE(world.Valid());
        ASSERT_TRUE(world.WriteProfile(printer.SlavePath()));
        ASSERT_TRUE(world.WriteFile("Jetvane.QV_EEPROM_CFG", fileBytes));

        const cli_test::ProgramRun run =
            RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("Jetvane.QV_EEPROM_CFG").string()},
                       world.ProgramEnvironment(), kSendConfigLimitMs);

        ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
        EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS) << run.err;
        const std::vector<printer_sim::ReceivedFrame> frames = printer.ReceivedFrames();
        ASSERT_FALSE(frames.empty());
        std::string sent;
        CQVMessageParser::BuildMessage(sent, frames.back().flags, frames.back().direction, frames.back().command,
                                       frames.back().payload);
        EXPECT_EQ(sent, fileBytes);
    }
}

// Only a file that is one whole frame of its type is sent: anything else would leave the
// printer's receiver in the middle of a frame. Nothing else is searched for, let alone sent.
TEST(CliSendConfigFrames, OnlyAWholeConfigurationFrameReachesThePrinter)
{
    using namespace std::string_literals;
    const std::string good = "\x09\x01\x00\x00\x10" "0000003abc\x08\x08"s;
    const std::string identify = "\x09\x01\x00\x01\x21" "0000000\x08\x40"s;
    const std::string getSettings = "\x09\x01\x00\x01\x20" "0000000\x08\x28"s;
    std::independent_bits_engine<std::mt19937, 8, unsigned> random(16);
    std::string garbage(300, '\0');
    std::generate(garbage.begin(), garbage.end(), [&random] { return static_cast<char>(random()); });
    struct Case {
        const char* fileName;
        std::string bytes;
        int exitCode;
        std::string reached; // every byte the printer heard
    };
    const Case cases[] = {
        {"garbage.QV_BTP_CFG", garbage, EXIT_CODE_FILE_ERROR, ""},
        {"cut.QV_BTP_CFG", "\x09\x01\x00\x02\x42" "0000050\x7F\x7E\x01"s, EXIT_CODE_FILE_ERROR, ""},
        {"crc.QV_BTP_CFG", "\x09\x01\x00\x00\x10" "0000003abc\x08\x10"s, EXIT_CODE_FILE_ERROR, ""},
        {"tail.QV_BTP_CFG", good + "\n", EXIT_CODE_FILE_ERROR, ""},
        {"flags.QV_BTP_CFG", "\x09\x01\x01\x00\x10" "0000003abc\x08\x08"s, EXIT_CODE_FILE_ERROR, ""},
        {"reply.QV_BTP_CFG", "\x09\x01\x00\x02\x10" "0000003abc\x08\x08"s, EXIT_CODE_FILE_ERROR, ""},
        {"eeprom.QV_BTP_CFG", "\x09\x01\x00\x00\x12" "0000003abc\x08\x18"s, EXIT_CODE_FILE_ERROR, ""},
        {"behind.QV_BTP_CFG", "\x09\x01\x00\x00\x10" "0A"s + good, EXIT_CODE_FILE_ERROR, ""},
        {"empty.QV_BTP_CFG", "", EXIT_CODE_FILE_ERROR, ""},
        {"good.QV_BTP_CFG", good, EXIT_CODE_SUCCESS, identify + getSettings + good},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.fileName);
        cli_test::RecordingPtyPrinter printer(BagTagPrinter());
        ASSERT_TRUE(printer.Valid());
        const CliWorld world;
        ASSERT_TRUE(world.Valid());
        ASSERT_TRUE(world.WriteProfile(printer.SlavePath()));
        ASSERT_TRUE(world.WriteFile(expected.fileName, expected.bytes));
        const std::string path = world.FilePath(expected.fileName).string();

        const cli_test::ProgramRun run =
            RunProgram(kJetvane, {"SILENT", "SENDCONFIG", path}, world.ProgramEnvironment(), kSendConfigLimitMs);

        ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
        EXPECT_EQ(run.end->exitCode, expected.exitCode);
        EXPECT_EQ(run.err, expected.exitCode == EXIT_CODE_SUCCESS ? "" : "jetvane: " + path + ": Not a configuration file\n");
        EXPECT_EQ(printer.ReceivedBytes(), expected.reached);
    }
}

// A remembered port beyond the search's 8 bits is no port: cut to them, COM256 would search every
// port, COM261 COM5 and COM99999999999 COM255. Printers wait there and on COM0; none may hear a byte.
TEST(CliSendConfigFrames, RememberedPortBeyondTheSearchFindsNoPrinterAndReachesNone)
{
    std::vector<std::unique_ptr<cli_test::RecordingPtyPrinter>> printers;
    std::string portMap = "[Ports]\n";
    for (int port : {0, 1, 2, 3, 4, 5, 255}) {
        printers.push_back(std::make_unique<cli_test::RecordingPtyPrinter>(BagTagPrinter()));
        ASSERT_TRUE(printers.back()->Valid());
        portMap += "COM" + std::to_string(port) + "=" + printers.back()->SlavePath() + "\n";
    }
    const CliWorld world;
    ASSERT_TRUE(world.Valid());
    const std::string record = cli_test::SampleSettingsRecord();
    ASSERT_TRUE(world.WriteFile("desk.QV_BTP_CFG", cli_test::ConfigurationFileBytes(record)));
    const auto runWith = [&](const std::string& remembered, const cli_test::Environment& environment) {
        EXPECT_TRUE(world.WriteProfileText(portMap + "\n[Settings]\nPortConnect=" + remembered + "\n"));
        return RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()}, environment,
                          kSendConfigLimitMs);
    };

    for (const char* remembered : {"COM256", "COM261", "COM99999999999"}) {
        SCOPED_TRACE(remembered);
        const cli_test::ProgramRun run = runWith(remembered, world.ProgramEnvironmentWithoutRuntimeFolder());
        ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
        EXPECT_EQ(run.end->exitCode, 21);
        EXPECT_EQ(run.err, std::string("jetvane: Device not found: ") + remembered +
                               " is not searched: port numbers go up to COM255\n");
    }
    for (const auto& printer : printers)
        EXPECT_EQ(printer->ReceivedBytes(), "");

    // The highest port the search takes is still searched.
    const cli_test::ProgramRun run = runWith("COM255", world.ProgramEnvironment());
    ASSERT_TRUE(run.end.has_value()) << "still running after " << kSendConfigLimitMs << " ms";
    EXPECT_EQ(run.end->exitCode, EXIT_CODE_SUCCESS) << run.err;
    const std::vector<printer_sim::ReceivedFrame> frames = printers.back()->ReceivedFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().payload, record);
}

// A silent SENDCONFIG of a good bag-tag file to a bag-tag printer that refuses one command.
struct RefusedRun {
    std::optional<int> exitCode;
    std::vector<printer_sim::ReceivedFrame> frames;
};

RefusedRun SendConfigToAPrinterThatRefuses(std::uint8_t refusedCommand)
{
    RefusedRun result;
    cli_test::RecordingPtyPrinter printer(BagTagPrinter());
    const CliWorld world;
    if (!printer.Valid() || !world.Valid() || !world.WriteProfile(printer.SlavePath()) ||
        !world.WriteFile("desk.QV_BTP_CFG", cli_test::ConfigurationFileBytes(cli_test::SampleSettingsRecord())))
        return result;
    printer_sim::Fault refuse;
    refuse.kind = printer_sim::FaultKind::Refuse;
    refuse.command = refusedCommand;
    printer.AddFault(refuse);

    const cli_test::ProgramRun run = RunProgram(kJetvane, {"SILENT", "SENDCONFIG", world.FilePath("desk.QV_BTP_CFG").string()},
                                                world.ProgramEnvironment(), kSendConfigLimitMs);
    if (run.end.has_value())
        result.exitCode = run.end->exitCode;
    result.frames = printer.ReceivedFrames();
    return result;
}

TEST(CliSendConfigFrames, RefusedConfigurationIsOperationFailed)
{
    const RefusedRun run = SendConfigToAPrinterThatRefuses(CMD_SET_SETTINGS);

    EXPECT_EQ(run.exitCode, std::optional<int>(EXIT_CODE_OPERATION_FAILED));
    ASSERT_FALSE(run.frames.empty());
    EXPECT_EQ(run.frames.back().command, CMD_SET_SETTINGS);
}

// The type check's reply must be a settings reply or an acknowledgement; a refusal stops
// the run before the file is sent.
TEST(CliSendConfigFrames, RefusedTypeCheckIsOperationFailedAndSendsNothing)
{
    const RefusedRun run = SendConfigToAPrinterThatRefuses(CMD_GET_SETTINGS);

    EXPECT_EQ(run.exitCode, std::optional<int>(EXIT_CODE_OPERATION_FAILED));
    ASSERT_FALSE(run.frames.empty());
    for (const printer_sim::ReceivedFrame& frame : run.frames)
        EXPECT_NE(frame.command, CMD_SET_SETTINGS);
}

} // namespace
