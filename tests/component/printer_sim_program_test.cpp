// jetvane-printer-sim as a process: its options, its pseudo-terminal as the program opens
// it through CComms, its log and its exit status.
#include "comms/comms.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "platform/port_map.h"

#include "tests/support/scoped_port_map.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr char kPort[] = "COM8";
constexpr std::uint32_t kTimeoutMs = 1500;
constexpr int kWaitRealMs = 5000;
constexpr int kExitBadOption = 2;

// One run of the simulator with its standard output and error on pipes.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const std::vector<std::string>& options)
    {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        std::vector<std::string> args{JETVANE_PRINTER_SIM_PATH};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        stdout_ = out[0];
        stderr_ = err[0];
    }

    ~SimulatorProcess()
    {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(stdout_);
        ::close(stderr_);
    }

    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool Started() const { return pid_ > 0; }

    // The first line of standard output, without its line break; "" when none came in time.
    std::string FirstLine(int realMs)
    {
        std::string line;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
        while (std::chrono::steady_clock::now() < until) {
            pollfd pfd{stdout_, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0)
                continue;
            char c = 0;
            if (::read(stdout_, &c, 1) != 1)
                return {};
            if (c == '\n')
                return line;
            line += c;
        }
        return {};
    }

    void Signal(int signal) { ::kill(pid_, signal); }

    // The exit status, once the process has ended within realMs.
    std::optional<int> WaitForExit(int realMs)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
        while (!status_ && std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status_;
    }

    // What is left of standard output and error; call once the process has ended.
    std::string StandardOutput() { return ReadToEnd(stdout_); }
    std::string ErrorOutput() { return ReadToEnd(stderr_); }

private:
    static std::string ReadToEnd(int fd)
    {
        std::string text;
        char buffer[512];
        ssize_t count = 0;
        while ((count = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<std::size_t>(count));
        return text;
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    std::optional<int> status_;
};

class PrinterSimProgramTest : public ::testing::Test {
protected:
    ~PrinterSimProgramTest() override
    {
        comms_.Close();
    }

    // Maps the port to the simulator's terminal, opens it and sends the identify probe.
    bool Identify(const std::string& slavePath, std::uint32_t baudRate)
    {
        portMap_.Set(kPort, slavePath);
        if (!comms_.Open(kPort, static_cast<int>(baudRate), 8, 'N', 1.0f))
            return false;
        return CQVMessageParser::SendCommand(&comms_, 0, CMD_IDENTIFY, "", kTimeoutMs, &state_, &reply_);
    }

    test_support::ScopedPortMap portMap_;
    CComms comms_;
    MessageParseState state_{};
    std::string reply_;
};

TEST_F(PrinterSimProgramTest, AnswersIdentifyAtItsBaudRate)
{
    SimulatorProcess sim({"--identity", "YT12345676060", "--baud", "38400"});
    ASSERT_TRUE(sim.Started());
    const std::string slavePath = sim.FirstLine(kWaitRealMs);
    ASSERT_FALSE(slavePath.empty());

    ASSERT_TRUE(Identify(slavePath, 38400));
    EXPECT_EQ(state_.command, REPLY_ACK);
    EXPECT_EQ(reply_, "YT12345676060");
}

TEST_F(PrinterSimProgramTest, IgnoresAHostAtAnotherBaudRate)
{
    SimulatorProcess sim({});
    const std::string slavePath = sim.FirstLine(kWaitRealMs);
    ASSERT_FALSE(slavePath.empty());

    EXPECT_FALSE(Identify(slavePath, 9600));
}

TEST_F(PrinterSimProgramTest, LogsEachReceivedFrameOnItsOwnLine)
{
    SimulatorProcess sim({});
    const std::string slavePath = sim.FirstLine(kWaitRealMs);
    ASSERT_TRUE(Identify(slavePath, 19200));

    sim.Signal(SIGTERM);
    ASSERT_TRUE(sim.WaitForExit(kWaitRealMs));
    EXPECT_NE(sim.ErrorOutput().find("received command 0x21, payload 0 bytes\n"), std::string::npos);
}

TEST_F(PrinterSimProgramTest, EndsWithStatusZeroOnSigterm)
{
    SimulatorProcess sim({});
    ASSERT_FALSE(sim.FirstLine(kWaitRealMs).empty());

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.WaitForExit(kWaitRealMs), std::optional<int>(0));
}

TEST_F(PrinterSimProgramTest, EndsWithStatusZeroOnSigintAfterTheHostClosed)
{
    SimulatorProcess sim({"--type", "BPP"});
    const std::string slavePath = sim.FirstLine(kWaitRealMs);
    ASSERT_TRUE(Identify(slavePath, 19200));
    EXPECT_EQ(reply_, "YP00000006060") << "a boarding-pass printer's default identity";
    comms_.Close();

    sim.Signal(SIGINT);
    EXPECT_EQ(sim.WaitForExit(kWaitRealMs), std::optional<int>(0));
}

TEST_F(PrinterSimProgramTest, AnswersWhenThrottledToTheLineRate)
{
    SimulatorProcess sim({"--throttle", "--baud", "9600"});
    const std::string slavePath = sim.FirstLine(kWaitRealMs);

    ASSERT_TRUE(Identify(slavePath, 9600));
    EXPECT_EQ(reply_, "YT00000006060");
}

TEST_F(PrinterSimProgramTest, ForgetsTheExclusiveOpenOfAHostThatClosed)
{
    SimulatorProcess sim({});
    const std::string slavePath = sim.FirstLine(kWaitRealMs);
    ASSERT_TRUE(Identify(slavePath, 19200)); // the transport opens the port exclusively
    comms_.Close();

    // Root ignores the exclusive mode, so look at the flag itself rather than at a reopen.
    const int fd = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    int exclusive = 1;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitRealMs);
    while (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::close(fd);
    EXPECT_EQ(exclusive, 0);
}

TEST_F(PrinterSimProgramTest, RejectsAnUnknownOptionWithStatusTwo)
{
    SimulatorProcess sim({"--colour", "blue"});

    EXPECT_EQ(sim.WaitForExit(kWaitRealMs), std::optional<int>(kExitBadOption));
    EXPECT_NE(sim.ErrorOutput().find("--colour"), std::string::npos);
    EXPECT_EQ(sim.StandardOutput(), "");
}

TEST_F(PrinterSimProgramTest, RejectsABadParityWithStatusTwo)
{
    SimulatorProcess sim({"--parity", "O"});

    EXPECT_EQ(sim.WaitForExit(kWaitRealMs), std::optional<int>(kExitBadOption));
    EXPECT_NE(sim.ErrorOutput().find("--parity"), std::string::npos);
}

} // namespace
