#pragma once
// Firmware image files: raw images, named F2QV1_*.BIN (compared without regard to case),
// and the printer firmware that can take one.

inline constexpr char kFirmwareFileNamePrefix[] = "F2QV1_";
inline constexpr char kFirmwareFileSuffix[] = ".BIN";

// Lowest printer firmware version that takes a firmware load.
inline constexpr unsigned int MIN_FIRMWARE_VERSION_FOR_LOAD = 6036;
