#pragma once
// The printer types that the boarding-pass and bag-tag dialogs know by name: the names that
// their device-type combos list and that a printer's device-type list field carries.

#include "settings/setting_tables.h"

#include <span>

inline constexpr char kDeviceTypeNameBtp[] = "BTP";
inline constexpr char kDeviceTypeNameBpp[] = "BPP";

std::span<const DeviceTypeEntry> DeviceTypeNames();
