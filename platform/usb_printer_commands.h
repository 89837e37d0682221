#pragma once
// The raw commands that the printer takes on its USB pipe in firmware update mode: four
// bytes each, written as they are (no printer frame). Shared by the flash engine and the
// simulated printer, which answers them.

#include <array>
#include <cstdint>
#include <string_view>

// Restarts a printer that was left in update mode (ESC "*" "R" "S").
inline constexpr std::array<std::uint8_t, 4> USB_CMD_RESET = {0x1B, 0x2A, 0x52, 0x53};
// First step into flash programming (ESC "*" "F" "R").
inline constexpr std::array<std::uint8_t, 4> USB_CMD_FLASH_REQUEST = {0x1B, 0x2A, 0x46, 0x52};
// Second step (ESC "I" "A" SI); the printer's reply then holds USB_FLASH_READY_TEXT.
inline constexpr std::array<std::uint8_t, 4> USB_CMD_FLASH_PREPARE = {0x1B, 0x49, 0x41, 0x0F};

inline constexpr std::string_view USB_FLASH_READY_TEXT = "FLASH READY";
