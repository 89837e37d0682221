#pragma once
// Which port a search covers, from the main dialog's port combo. The combo lists "AUTO"
// and then COM1..COM50 in order, so an item's index is its port number; a typed text is
// read as COMn. Port 0 means every port.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

inline constexpr char kPortTextPrefix[] = "COM";
inline constexpr int kPortComboFirstPort = 1;
inline constexpr int kPortComboLastPort = 50;
// What a combo reports when no item is selected (the user typed a text).
inline constexpr int kPortComboNoSelection = -1;

// The port number that the search gets, or nothing for a port beyond the highest one it
// reaches, CQVAirDeviceSearch::kHighestPort (a number too long for 32 bits among them): such
// a port has no printer, and it must not be cut to 8 bits, where COM261 would be COM5 and
// COM256 every port.
std::optional<std::uint8_t> PortNumberFromCombo(int selectedIndex, const QString& typedText);

// The combo's list: "AUTO", then "COM%d" for kPortComboFirstPort..kPortComboLastPort.
QStringList PortComboItems();
