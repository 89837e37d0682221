#pragma once
// A tty opened through POSIX termios: non-blocking I/O, raw mode, exclusive use
// (TIOCEXCL keeps other users out, an flock keeps other processes of ours out even as
// root), modem lines through the TIOCM ioctls.

#include "platform/serial_device.h"

#include <memory>
#include <string>

namespace platform {

// nullptr when the device cannot be opened or is in use; *error holds the errno.
std::unique_ptr<SerialDevice> OpenTermiosSerialDevice(const std::string& path, int* error = nullptr);

} // namespace platform
