#include "platform/standard_descriptors.h"

#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace platform {
namespace {

constexpr char kNullDevice[] = "/dev/null";

bool IsClosed(int fd)
{
    return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF;
}

} // namespace

bool OpenClosedStandardDescriptors()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (!IsClosed(fd))
            continue;
        // Not close-on-exec: a standard descriptor is passed on like any other.
        const int opened = ::open(kNullDevice, fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened < 0)
            return false;
        // The lowest free number is taken, which is fd once those below it are open.
        if (opened != fd) {
            const bool moved = ::dup2(opened, fd) == fd;
            ::close(opened);
            if (!moved)
                return false;
        }
    }
    return true;
}

} // namespace platform
