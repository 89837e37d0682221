#pragma once
// Runs jetvane-printer-sim as a child process for tests and benchmarks: starts it, reads
// the pseudo-terminal's slave path from the first line of its output, and stops it.
// Its standard error (the frame log) goes to a temporary file that StderrText() reads.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace test_support {

class PrinterSimProcess {
public:
    PrinterSimProcess() = default;
    ~PrinterSimProcess()
    {
        Stop();
        if (!stderrPath_.empty())
            unlink(stderrPath_.c_str());
    }
    PrinterSimProcess(const PrinterSimProcess&) = delete;
    PrinterSimProcess& operator=(const PrinterSimProcess&) = delete;

    // Starts the program with the given options; true once it printed its slave path.
    bool Start(const std::string& program, const std::vector<std::string>& options, int waitMs = 5000)
    {
        char stderrTemplate[] = "/tmp/jetvane-sim-stderr-XXXXXX";
        const int stderrFd = mkstemp(stderrTemplate);
        if (stderrFd < 0)
            return false;
        stderrPath_ = stderrTemplate;
        int out[2];
        if (pipe(out) != 0) {
            close(stderrFd);
            return false;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(stderrFd, STDERR_FILENO);
            close(out[0]);
            close(out[1]);
            close(stderrFd);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& option : options)
                argv.push_back(const_cast<char*>(option.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(stderrFd);
        stdoutFd_ = out[0];
        if (pid_ < 0)
            return false;
        return ReadFirstLine(waitMs);
    }

    const std::string& SlavePath() const { return slavePath_; }

    // Sends SIGTERM and waits; returns the exit status, or -1 when it did not exit normally.
    int Stop()
    {
        if (pid_ <= 0)
            return exitStatus_;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        if (stdoutFd_ >= 0)
            close(stdoutFd_);
        stdoutFd_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return exitStatus_;
    }

    std::string StderrText() const
    {
        std::string text;
        if (FILE* file = std::fopen(stderrPath_.c_str(), "rb")) {
            char buffer[4096];
            std::size_t count = 0;
            while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                text.append(buffer, count);
            std::fclose(file);
        }
        return text;
    }

private:
    bool ReadFirstLine(int waitMs)
    {
        std::string line;
        while (true) {
            pollfd pfd{stdoutFd_, POLLIN, 0};
            if (poll(&pfd, 1, waitMs) <= 0)
                return false;
            char c = 0;
            const ssize_t count = read(stdoutFd_, &c, 1);
            if (count <= 0)
                return false;
            if (c == '\n')
                break;
            line += c;
        }
        slavePath_ = line;
        return !slavePath_.empty();
    }

    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    int exitStatus_ = -1;
    std::string slavePath_;
    std::string stderrPath_;
};

} // namespace test_support
