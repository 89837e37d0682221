#pragma once
// Why an exchange with the printer failed, in the words of the line on standard error that a
// failed unattended run leaves (the main dialog's configuration send, the firmware load).

#include <cstdint>
#include <optional>
#include <string>

inline constexpr char kReasonNoReply[] = "the printer did not answer";
// The reply's code in two hexadecimal digits.
inline constexpr char kReasonRefused[] = "the printer refused it (reply code 0x%02x)";
// A status text with what lies behind it: %1 the status, %2 the reason.
inline constexpr char kStatusWithReason[] = "%1: %2";

// The reason for a failed exchange from the code of the reply it took whole. None means no
// answer: a frame whose CRC did not match was never a reply, whatever its command byte said.
// An acknowledgement refuses nothing and gives no reason (an empty text).
std::string ExchangeFailureReason(std::optional<std::uint8_t> replyCode);
