#pragma once
// The one line that a command-line run leaves on standard error when it ends with a
// failure code: why, in words that the technician reading a script's log can act on.
//
// Main (user-interface) thread.

#include <QString>

inline constexpr char kEndOfRunPrefix[] = "jetvane: ";

// ---- why a run ended (%1, %2: filled in with QString::arg)
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
inline constexpr char kReasonPortNotOpenedAgain[] = "the printer's port could not be opened again: %1";
inline constexpr char kReasonEmptyConfigFile[] = "the configuration file is empty";
inline constexpr char kReasonFileForOtherFamily[] = "%1 is not for the %2 printer found";
inline constexpr char kReasonNoReply[] = "the printer did not answer";
inline constexpr char kReasonRefused[] = "the printer refused it (reply code 0x%1)";
inline constexpr char kReasonEndedByHand[] = "the window was closed before the operation ended (last status: %1)";
// A status text with what lies behind it.
inline constexpr char kStatusWithReason[] = "%1: %2";
// A status text with what the system said.
inline constexpr char kStatusWithCause[] = "%1 (%2)";

// The text on one line: its line breaks become blanks.
QString OneLine(const QString& text);

// Writes kEndOfRunPrefix, why on one line and a line end to standard error.
void WriteEndOfRunLine(const QString& why);
