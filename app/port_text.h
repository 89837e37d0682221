#pragma once
// Which port a search covers, from the main dialog's port combo. The combo lists "AUTO"
// and then COM1..COM50 in order, so an item's index is its port number; a typed text is
// read as COMn. Port 0 means every port.

#include <QString>
#include <QStringList>

#include <cstdint>

inline constexpr char kPortTextPrefix[] = "COM";
inline constexpr int kPortComboFirstPort = 1;
inline constexpr int kPortComboLastPort = 50;
// What a combo reports when no item is selected (the user typed a text).
inline constexpr int kPortComboNoSelection = -1;

// The port number that the search gets. It takes 8 bits, so COM300 searches COM44 and
// COM256 every port, as it always has.
std::uint8_t PortNumberFromCombo(int selectedIndex, const QString& typedText);

// The combo's list: "AUTO", then "COM%d" for kPortComboFirstPort..kPortComboLastPort.
QStringList PortComboItems();
