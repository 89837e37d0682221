#pragma once
// The settings records a simulated printer reports when it is given none: the values of a
// printer fresh from the factory, in the form the settings dialogs read.

#include "tools/printer-sim/simulated_printer.h"

#include <string>

namespace printer_sim {

// Reply to CMD_GET_SETTINGS: model, serial number, the printer types and protocols it
// offers, its protocol, its type and its line settings.
std::string DefaultSettingsRecord(PrinterType type);
// Reply to CMD_GET_EEPROM_SETTINGS: model, serial number and the EEPROM settings.
std::string DefaultEepromRecord(PrinterType type);

} // namespace printer_sim
