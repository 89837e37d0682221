#pragma once
// Command and reply codes of the printer protocol: the command byte of a frame.

#include <cstdint>

// Requests (built with direction 1).
inline constexpr std::uint8_t CMD_SET_SETTINGS = 0x10;
inline constexpr std::uint8_t CMD_SET_EEPROM_SETTINGS = 0x12;
inline constexpr std::uint8_t CMD_GET_SETTINGS = 0x20;
inline constexpr std::uint8_t CMD_IDENTIFY = 0x21;
inline constexpr std::uint8_t CMD_GET_EEPROM_SETTINGS = 0x24;
inline constexpr std::uint8_t CMD_QUERY_UPDATE_MODE = 0x25;
inline constexpr std::uint8_t CMD_PRINT_TEST_DOCUMENT = 0x31;
inline constexpr std::uint8_t CMD_ROM_OPTION = 0x32;
inline constexpr std::uint8_t CMD_SET_CLOCK = 0x33;
inline constexpr std::uint8_t CMD_RFID_OPTION = 0x34;
inline constexpr std::uint8_t CMD_FIRMWARE_BLOCK = 0x50;
inline constexpr std::uint8_t CMD_FIRMWARE_END = CMD_FIRMWARE_BLOCK + 1;
inline constexpr std::uint8_t CMD_ABORT = 0x52;
inline constexpr std::uint8_t CMD_SWITCH_UPDATE_MODE = 0x53;

// Replies.
inline constexpr std::uint8_t REPLY_SETTINGS = 0x42;
inline constexpr std::uint8_t REPLY_EEPROM_SETTINGS = 0x44;
inline constexpr std::uint8_t REPLY_UPDATE_MODE = 0x45;
inline constexpr std::uint8_t REPLY_ACK = 0x60;
inline constexpr std::uint8_t REPLY_NO_SWITCH = 0x61;

// The payload of REPLY_UPDATE_MODE from a printer that takes firmware over USB.
inline constexpr char kUpdateModeUsb[] = "USB";

// Frame directions.
inline constexpr std::uint8_t FRAME_DIRECTION_FILE = 0;
inline constexpr std::uint8_t FRAME_DIRECTION_REQUEST = 1;
inline constexpr std::uint8_t FRAME_DIRECTION_REPLY = 2;
