#pragma once
// Printer families. Used for the printer that answered, as the filter of a test document
// and as the type of a configuration file.

inline constexpr int DEVICE_TYPE_BTP = 1;    // bag-tag printer
inline constexpr int DEVICE_TYPE_BPP = 0x10; // boarding-pass printer
// Nothing recognised; as a filter or a file type: every printer.
inline constexpr int DEVICE_TYPE_ANY = 0x80;
