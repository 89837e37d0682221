#pragma once
// A tty opened through POSIX termios: non-blocking I/O, raw mode, exclusive use
// (TIOCEXCL keeps other users out, an flock keeps other processes of ours out even as
// root), modem lines through the TIOCM ioctls.

#include "platform/serial_device.h"

#include <cstdint>
#include <memory>
#include <string>

#include <termios.h>

namespace platform {

// The termios speed of a baud rate; false for a rate a tty cannot be set to.
bool TermiosSpeedOf(std::uint32_t baudRate, speed_t* speed);
// The baud rate of a termios speed; 0 for a speed that is no standard rate.
std::uint32_t BaudRateOfTermiosSpeed(speed_t speed);

// nullptr when the device cannot be opened or is in use; *error holds the errno.
std::unique_ptr<SerialDevice> OpenTermiosSerialDevice(const std::string& path, int* error = nullptr);

} // namespace platform
