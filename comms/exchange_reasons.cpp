#include "comms/exchange_reasons.h"

#include "comms/printer_codes.h"

#include <cstdio>

std::string ExchangeFailureReason(std::optional<std::uint8_t> replyCode)
{
    if (!replyCode)
        return kReasonNoReply;
    if (*replyCode == REPLY_ACK)
        return {};
    char text[sizeof kReasonRefused];
    std::snprintf(text, sizeof text, kReasonRefused, static_cast<unsigned>(*replyCode));
    return text;
}
