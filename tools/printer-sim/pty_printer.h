#pragma once
// One simulated printer served on a pseudo-terminal, for the program jetvane-printer-sim:
// the host opens the slave side like any serial port; the printer sits on the master side.
//
// A pty shows the printer only the baud rate the host chose (the driver forces 8 data bits
// and no parity, so those stay invisible) and has no modem lines: the printer listens only
// while the host's baud rate equals its own, and its DSR restart is not seen by the host.
//
// Thread rules: ServePseudoTerminal runs on the calling thread until stop is set; the
// PseudoTerminal must outlive it. Nothing here is meant for a second thread.

#include "platform/serial_device.h"
#include "tools/printer-sim/simulated_printer.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace printer_sim {

class PseudoTerminal {
public:
    // A new raw pty, or nullptr with *error (an errno value) when none could be had.
    static std::unique_ptr<PseudoTerminal> Open(int* error = nullptr);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The device the host opens.
    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }
    // The baud rate the host set on its side; 0 when it cannot be told.
    std::uint32_t HostBaudRate() const;
    // Clears the exclusive mode (TIOCEXCL) the host set on its side. A real port forgets it
    // at its last close, but our own slave descriptor keeps this terminal open, so without
    // this a host that is not root could open it only once. The host's flock still keeps
    // a second program out while one has the port.
    void ForgetExclusiveOpen() const;

private:
    PseudoTerminal(int master, int slave, std::string slavePath);

    int master_;
    // Held open so that the master never reads EIO when the host closes its side.
    int slave_;
    std::string slavePath_;
};

// Whether a tty can run at this baud rate (so a host can choose it).
bool IsSupportedBaudRate(std::uint32_t baudRate);

// What one character costs on the line: start bit, data bits, parity bit, stop bits.
int BitsPerCharacter(const platform::SerialLineConfig& line);

struct PtyServeOptions {
    PrinterConfig printer;
    // Carry bytes no faster than the host's baud rate allows, both ways.
    bool throttle = false;
    // When not empty: the firmware image, as reassembled from its blocks, is written to this
    // file when the end command arrives, before the printer answers it.
    std::string firmwareOut;
};

// Serves the printer until stop is set. Writes one line to log for every request frame
// received, for every batch of bytes ignored because the host's baud rate differs, and
// for a firmware image that could not be written.
void ServePseudoTerminal(PseudoTerminal& pty, const PtyServeOptions& options, const std::atomic<bool>& stop,
                         std::FILE* log);

} // namespace printer_sim
