#pragma once
// A real X server for a test: Xvfb on a display number it picks itself, ready once Name()
// is set, ended with this object. Valid() is false where Xvfb is not installed.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace test_support {

class XvfbServer {
public:
    XvfbServer()
    {
        const std::string program = FindProgram(kProgram);
        int ready[2];
        if (program.empty() || ::pipe(ready) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            ::execl(program.c_str(), kProgram, "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                    kScreen, static_cast<char*>(nullptr));
            ::_exit(kExecFailedCode);
        }
        ::close(ready[1]);
        if (pid_ > 0)
            name_ = ReadDisplayNumber(ready[0]);
        ::close(ready[0]);
    }
    ~XvfbServer()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Valid() const { return !name_.empty(); }
    // DISPLAY's value for it (":N").
    const std::string& Name() const { return name_; }

private:
    static constexpr char kProgram[] = "Xvfb";
    static constexpr char kScreen[] = "1024x768x24";
    static constexpr int kExecFailedCode = 127;
    static constexpr int kStartLimitMs = 10000;

    static std::string FindProgram(const std::string& name)
    {
        const char* path = std::getenv("PATH");
        std::istringstream folders(path != nullptr ? path : "");
        for (std::string folder; std::getline(folders, folder, ':');) {
            const std::string candidate = folder + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        return {};
    }

    // Xvfb writes its display number and a newline once it takes connections.
    static std::string ReadDisplayNumber(int fd)
    {
        std::string number;
        pollfd ready{fd, POLLIN, 0};
        while (::poll(&ready, 1, kStartLimitMs) > 0) {
            char byte = 0;
            if (::read(fd, &byte, 1) != 1)
                return {};
            if (byte == '\n')
                return number.empty() ? std::string() : ":" + number;
            number += byte;
        }
        return {};
    }

    pid_t pid_ = -1;
    std::string name_;
};

} // namespace test_support
