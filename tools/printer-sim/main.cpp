// jetvane-printer-sim: one simulated printer on a pseudo-terminal, for trying the program
// without a printer and for the command-line tests. The first line of standard output is
// the terminal the host opens; each request frame is logged on standard error.

#include "tools/printer-sim/default_records.h"
#include "tools/printer-sim/pty_printer.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include <pthread.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitBadOption = 2;

constexpr char kProgramName[] = "jetvane-printer-sim";
constexpr char kBtpIdentity[] = "YT00000006060";
// The identity names the family: a boarding-pass printer's begins with YP.
constexpr char kBppIdentity[] = "YP00000006060";
constexpr std::uint32_t kDefaultBaudRate = 19200;

constexpr char kUsage[] =
    "Usage: jetvane-printer-sim [options]\n"
    "Serves one simulated printer on a pseudo-terminal. The first line of output is the\n"
    "terminal to open; each request frame the printer receives is logged on stderr.\n"
    "On a pseudo-terminal only the baud rate is visible: the printer answers when the\n"
    "host's baud rate equals --baud; data bits and parity only shape --throttle.\n"
    "\n"
    "  --type BPP|BTP     printer type (default BTP)\n"
    "  --identity TEXT    identity text (default YT00000006060, YP00000006060 for BPP)\n"
    "  --baud N           baud rate the printer listens at (default 19200)\n"
    "  --data-bits 7|8    data bits (default 8)\n"
    "  --parity N|E       parity (default N)\n"
    "  --throttle         carry bytes no faster than the host's baud rate allows\n"
    "  --settings-file PATH  settings record to report (raw bytes; default: factory values)\n"
    "  --eeprom-file PATH    EEPROM settings record to report (raw bytes; default: factory values)\n"
    "  --firmware-out PATH\n"
    "                     when a firmware load ends, write the image the printer put\n"
    "                     together from its blocks to PATH\n"
    "  --help             show this text\n"
    "\n"
    "The printer takes firmware on its serial line only: it does not answer \"USB\" to\n"
    "the update-mode query and refuses the switch to its USB update mode.\n";

struct Options {
    printer_sim::PtyServeOptions serve;
    bool identityGiven = false;
    bool settingsGiven = false;
    bool eepromGiven = false;
    bool help = false;
};

int BadOption(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgramName, message.c_str(), kProgramName);
    return kExitBadOption;
}

// The whole file as raw bytes; false with errno set when it cannot be read.
bool ReadRecordFile(const std::string& path, std::string* record)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        record->append(buffer, count);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        errno = EIO;
    return !failed;
}

// Parses argv into options; returns kExitOk or the exit status for a bad command line.
int ParseOptions(int argc, char** argv, Options* options)
{
    printer_sim::PrinterConfig& printer = options->serve.printer;
    printer.line = {kDefaultBaudRate, 8, 'N', 1.0f};
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help") {
            options->help = true;
            continue;
        }
        if (option == "--throttle") {
            options->serve.throttle = true;
            continue;
        }
        if (option != "--type" && option != "--identity" && option != "--baud" && option != "--data-bits" &&
            option != "--parity" && option != "--settings-file" && option != "--eeprom-file" &&
            option != "--firmware-out")
            return BadOption("unknown option '" + std::string(option) + "'");
        if (i + 1 >= argc)
            return BadOption("option '" + std::string(option) + "' needs a value");
        const std::string value = argv[++i];
        if (option == "--type") {
            if (value == "BPP")
                printer.type = printer_sim::PrinterType::BPP;
            else if (value == "BTP")
                printer.type = printer_sim::PrinterType::BTP;
            else
                return BadOption("--type must be BPP or BTP, not '" + value + "'");
        } else if (option == "--firmware-out") {
            if (value.empty())
                return BadOption("--firmware-out needs a file path");
            options->serve.firmwareOut = value;
        } else if (option == "--identity") {
            printer.identity = value;
            options->identityGiven = true;
        } else if (option == "--baud") {
            char* end = nullptr;
            const unsigned long baudRate = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || value[0] == '-' ||
                !printer_sim::IsSupportedBaudRate(static_cast<std::uint32_t>(baudRate)))
                return BadOption("--baud must be a standard baud rate, not '" + value + "'");
            printer.line.baudRate = static_cast<std::uint32_t>(baudRate);
        } else if (option == "--data-bits") {
            if (value != "7" && value != "8")
                return BadOption("--data-bits must be 7 or 8, not '" + value + "'");
            printer.line.dataBits = static_cast<std::uint8_t>(value[0] - '0');
        } else if (option == "--settings-file" || option == "--eeprom-file") {
            std::string record;
            if (!ReadRecordFile(value, &record))
                return BadOption("cannot read '" + value + "': " + std::strerror(errno));
            if (option == "--settings-file") {
                printer.settingsRecord = record;
                options->settingsGiven = true;
            } else {
                printer.eepromRecord = record;
                options->eepromGiven = true;
            }
        } else { // --parity
            if (value != "N" && value != "E")
                return BadOption("--parity must be N or E, not '" + value + "'");
            printer.line.parity = value[0];
        }
    }
    if (!options->identityGiven)
        printer.identity = printer.type == printer_sim::PrinterType::BPP ? kBppIdentity : kBtpIdentity;
    if (!options->settingsGiven)
        printer.settingsRecord = printer_sim::DefaultSettingsRecord(printer.type);
    if (!options->eepromGiven)
        printer.eepromRecord = printer_sim::DefaultEepromRecord(printer.type);
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const int status = ParseOptions(argc, argv, &options); status != kExitOk)
        return status;
    if (options.help) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }

    int error = 0;
    const std::unique_ptr<printer_sim::PseudoTerminal> pty = printer_sim::PseudoTerminal::Open(&error);
    if (!pty) {
        std::fprintf(stderr, "%s: cannot open a pseudo-terminal: %s\n", kProgramName, std::strerror(error));
        return kExitFailure;
    }

    // The stop signals are taken by one waiting thread rather than an asynchronous handler,
    // so they are never lost, whatever the serving thread is doing when one arrives.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::atomic<bool> stop{false};
    std::thread signalWaiter([&stopSignals, &stop] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        stop.store(true);
    });

    std::printf("%s\n", pty->SlavePath().c_str());
    std::fflush(stdout);

    printer_sim::ServePseudoTerminal(*pty, options.serve, stop, stderr);
    signalWaiter.join();
    return kExitOk;
}
