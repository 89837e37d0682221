#pragma once
// Runs a program as a child process with an environment of our choosing: its standard
// output and error are captured, its exit status is read, and it never outlives its
// owner (the destructor kills a child that still runs). Used by the command-line tests and
// the benchmarks that time the built program.
//
// Thread rules: one ProgramProcess belongs to one thread. The captured output grows only
// while that thread waits in WaitForExit or RunFor.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace cli_test {

// Names and values of a child's environment, each "NAME=value".
class Environment {
public:
    // The environment of this process, less the given names.
    static Environment Inherited(const std::vector<std::string>& without)
    {
        Environment environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            const std::string name = text.substr(0, text.find('='));
            bool dropped = false;
            for (const std::string& unwanted : without)
                dropped = dropped || name == unwanted;
            if (!dropped)
                environment.entries_.push_back(text);
        }
        return environment;
    }

    // Sets a name, replacing an earlier value.
    void Set(const std::string& name, const std::string& value)
    {
        const std::string prefix = name + "=";
        for (std::string& entry : entries_) {
            if (entry.compare(0, prefix.size(), prefix) == 0) {
                entry = prefix + value;
                return;
            }
        }
        entries_.push_back(prefix + value);
    }

    // Removes a name, when it is there.
    void Unset(const std::string& name)
    {
        const std::string prefix = name + "=";
        std::erase_if(entries_, [&](const std::string& entry) { return entry.compare(0, prefix.size(), prefix) == 0; });
    }

    bool Has(const std::string& name) const
    {
        const std::string prefix = name + "=";
        for (const std::string& entry : entries_) {
            if (entry.compare(0, prefix.size(), prefix) == 0)
                return true;
        }
        return false;
    }

    const std::vector<std::string>& Entries() const { return entries_; }

private:
    std::vector<std::string> entries_;
};

// How a child ended.
struct ProgramEnd {
    bool exited = false; // ended by exit() or by returning from main
    int exitCode = -1;   // when exited
    int signal = 0;      // when ended by a signal
};

class ProgramProcess {
public:
    // How long Stop waits after SIGTERM before it sends SIGKILL.
    static constexpr int kTerminateGraceMs = 3000;

    ProgramProcess() = default;
    ~ProgramProcess() { Kill(); }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // The next Start leaves these of the child's standard descriptors (0, 1, 2) closed, as
    // a shell's <&-, >&- and 2>&- do; what is closed there is not captured.
    void CloseInChild(std::vector<int> standardDescriptors) { closedInChild_ = std::move(standardDescriptors); }

    // Starts program with the arguments (the program is not repeated in them). False when
    // the pipes or the process could not be made; a program that cannot be executed ends
    // at once with exit code 127, as one whose workingFolder (when given) cannot be entered.
    bool Start(const std::string& program, const std::vector<std::string>& arguments, const Environment& environment,
               const std::string& workingFolder = {})
    {
        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return false;
        if (pipe2(err, O_CLOEXEC) != 0) {
            close(out[0]);
            close(out[1]);
            return false;
        }
        std::vector<std::string> argvText;
        argvText.push_back(program);
        argvText.insert(argvText.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& text : argvText)
            argv.push_back(text.data());
        argv.push_back(nullptr);
        std::vector<std::string> envText = environment.Entries();
        std::vector<char*> envp;
        for (std::string& text : envText)
            envp.push_back(text.data());
        envp.push_back(nullptr);

        started_ = std::chrono::steady_clock::now();
        pid_ = fork();
        if (pid_ == 0) {
            // Its own process group, so that nothing it starts can outlive the kill below.
            setpgid(0, 0);
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            const int devNull = open("/dev/null", O_RDONLY);
            if (devNull >= 0)
                dup2(devNull, STDIN_FILENO);
            // Descriptors of the test process (a simulator's pipes, other children's) stay behind.
            close_range(3, ~0U, 0);
            for (const int fd : closedInChild_)
                close(fd);
            if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0)
                _exit(kExecFailedCode);
            execve(program.c_str(), argv.data(), envp.data());
            _exit(kExecFailedCode);
        }
        close(out[1]);
        close(err[1]);
        if (pid_ < 0) {
            close(out[0]);
            close(err[0]);
            return false;
        }
        stdoutFd_ = out[0];
        stderrFd_ = err[0];
        return true;
    }

    // Waits up to ms for the child to end, collecting its output meanwhile. The end, or
    // nothing when the child still runs after ms (it is left running).
    std::optional<ProgramEnd> WaitForExit(int ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (pid_ > 0) {
            if (Reap(WNOHANG))
                break;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            // The pipes reach their end when the child's last descriptor closes, which is at
            // its exit: then a short poll is enough until waitpid sees it.
            const int pollMs = OutputOpen() ? static_cast<int>(std::min<long long>(left.count(), kPollSliceMs))
                                            : kReapPollMs;
            if (!Collect(pollMs) && !OutputOpen())
                usleep(static_cast<useconds_t>(kReapPollMs) * 1000);
        }
        Collect(0);
        return end_;
    }

    // True while the child runs (it has not been reaped).
    bool Running()
    {
        if (pid_ > 0)
            Reap(WNOHANG);
        return pid_ > 0;
    }

    // SIGTERM, then SIGKILL when it has not ended within kTerminateGraceMs. The end.
    std::optional<ProgramEnd> Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            if (!WaitForExit(kTerminateGraceMs))
                Kill();
        }
        return end_;
    }

    // SIGKILL to the child and its process group, then reaps it.
    void Kill()
    {
        if (pid_ > 0) {
            kill(-pid_, SIGKILL);
            kill(pid_, SIGKILL);
            Reap(0);
        }
        CloseOutput();
    }

    pid_t Pid() const { return pid_; }
    const std::string& Stdout() const { return stdout_; }
    const std::string& Stderr() const { return stderr_; }
    // Seconds from the fork to the moment the end was seen (valid once ended).
    double ElapsedSeconds() const { return std::chrono::duration<double>(ended_ - started_).count(); }

private:
    static constexpr int kExecFailedCode = 127;
    static constexpr int kPollSliceMs = 50;
    static constexpr int kReapPollMs = 1;

    bool OutputOpen() const { return stdoutFd_ >= 0 || stderrFd_ >= 0; }

    // Reads what is there within ms; true when anything was read or a pipe ended.
    bool Collect(int ms)
    {
        pollfd fds[2] = {{stdoutFd_, POLLIN, 0}, {stderrFd_, POLLIN, 0}};
        if (!OutputOpen() || poll(fds, 2, ms) <= 0)
            return false;
        bool progressed = false;
        progressed = Drain(fds[0], &stdoutFd_, &stdout_) || progressed;
        progressed = Drain(fds[1], &stderrFd_, &stderr_) || progressed;
        return progressed;
    }

    static bool Drain(const pollfd& pfd, int* fd, std::string* text)
    {
        if (*fd < 0 || (pfd.revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            return false;
        char buffer[4096];
        const ssize_t count = read(*fd, buffer, sizeof buffer);
        if (count > 0) {
            text->append(buffer, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            close(*fd);
            *fd = -1;
        }
        return true;
    }

    bool Reap(int options)
    {
        int status = 0;
        pid_t result = 0;
        do {
            result = waitpid(pid_, &status, options);
        } while (result < 0 && errno == EINTR);
        if (result != pid_)
            return false;
        ended_ = std::chrono::steady_clock::now();
        ProgramEnd end;
        end.exited = WIFEXITED(status);
        end.exitCode = end.exited ? WEXITSTATUS(status) : -1;
        end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        end_ = end;
        pid_ = -1;
        return true;
    }

    void CloseOutput()
    {
        for (int* fd : {&stdoutFd_, &stderrFd_}) {
            if (*fd >= 0)
                close(*fd);
            *fd = -1;
        }
    }

    std::vector<int> closedInChild_;
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    int stderrFd_ = -1;
    std::string stdout_;
    std::string stderr_;
    std::optional<ProgramEnd> end_;
    std::chrono::steady_clock::time_point started_{};
    std::chrono::steady_clock::time_point ended_{};
};

// One run with a time limit: the child is killed when it has not ended within limitMs
// (then the result holds no end). It starts with closedStandardDescriptors closed.
struct ProgramRun {
    std::optional<ProgramEnd> end;
    std::string out;
    std::string err;
    double seconds = 0.0;
};

inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const Environment& environment, int limitMs, const std::string& workingFolder = {},
                             const std::vector<int>& closedStandardDescriptors = {})
{
    ProgramRun run;
    ProgramProcess process;
    process.CloseInChild(closedStandardDescriptors);
    if (!process.Start(program, arguments, environment, workingFolder))
        return run;
    run.end = process.WaitForExit(limitMs);
    if (!run.end)
        process.Kill();
    run.seconds = process.ElapsedSeconds();
    run.out = process.Stdout();
    run.err = process.Stderr();
    return run;
}

} // namespace cli_test
