#pragma once
// The one line that a command-line run leaves on standard error when it ends with a
// failure code: why, in words that the technician reading a script's log can act on.
// Every end of the process passes through EndOfRun, which writes it; the rest of the
// program only says why (the reason of its quit request, ui::PostQuitMessage). A silent
// run's standard error holds these lines only: Qt's own messages are held back.
//
// Main (user-interface) thread.

#include "ui/exit_codes.h"

#include <QString>

inline constexpr char kEndOfRunPrefix[] = "jetvane: ";

// ---- why a run ended (%1, %2: filled in with QString::arg)
inline constexpr char kReasonUnknownWords[] =
    "not understood on the command line: %1 (use [SILENT] SENDCONFIG <file> or [SILENT] LOADFIRMWARE <file>)";
inline constexpr char kReasonIncompleteCommandLine[] =
    "incomplete command line: SENDCONFIG or LOADFIRMWARE needs the file to send";
inline constexpr char kReasonNotAConfigFile[] =
    "%1: not a configuration file (the name must end in QV_BTP_CFG, QV_BPP_CFG or QV_EEPROM_CFG)";
inline constexpr char kReasonNotAFirmwareFile[] = "%1: not a firmware file (the name must be F2QV1_*.BIN)";
inline constexpr char kReasonFileNotLoaded[] = "%1: %2";
inline constexpr char kReasonCommandNotHandedOver[] = "the command could not be handed to the printer on COM%1";
inline constexpr char kReasonNoAnswerOnPort[] = "no printer answered on COM%1";
inline constexpr char kReasonNoAnswerOnAnyPort[] = "no printer answered on any port";
inline constexpr char kReasonNoAnswerAndPortRefused[] = "no printer answered; %1";
inline constexpr char kReasonPortBeyondSearch[] = "%1 is not searched: port numbers go up to COM%2";
inline constexpr char kReasonPortNotOpenedAgain[] = "the printer's port could not be opened again: %1";
inline constexpr char kReasonEmptyConfigFile[] = "the configuration file is empty";
inline constexpr char kReasonFileForOtherFamily[] = "%1 is not for the %2 printer found";
// Behind kReasonFileForOtherFamily when the file's name and its settings name different families.
inline constexpr char kReasonNameAndSettingsDisagree[] =
    " (its name is for a %1 printer, its settings for a %2 printer)";
inline constexpr char kReasonEndedByHand[] = "the window was closed before the operation ended (last status: %1)";
// A status text with what the system said.
inline constexpr char kStatusWithCause[] = "%1 (%2)";

// The text on one line: its line breaks become blanks.
QString OneLine(const QString& text);

// The end of the process with exitCode: any code but 0 leaves kEndOfRunPrefix and why, on
// one line, on standard error. Returns exitCode.
int EndOfRun(int exitCode, const QString& why);

// From here on Qt's own messages (warnings about the platform, the runtime folder, window
// operations the platform lacks) go nowhere; a fatal one still ends the process as Qt
// ends it. The program's own lines do not pass through Qt's messages.
void HoldBackQtMessages();
