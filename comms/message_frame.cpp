// Building and parsing printer frames.
#include "comms/message_parser.h"

#include "comms/printer_codes.h"

#include <cstdio>

namespace {

constexpr std::uint8_t kStartByte = 0x09;
constexpr std::uint8_t kSecondByte = 0x01;
constexpr std::uint8_t kEndByte = 0x08;
constexpr std::uint8_t kEscapeByte = 0x10;
constexpr std::uint8_t kPrintableFirst = 0x20;
constexpr std::uint8_t kPrintableLast = 0x7F;
constexpr std::uint8_t kCrcMask = 0x7F;
constexpr int kLengthDigits = 7;
// Where a frame carries its flags and direction bytes, and the flags of a stored message.
constexpr std::size_t kFlagsOffset = 2;
constexpr std::size_t kDirectionOffset = 3;
constexpr std::uint8_t kStoredFlags = 0x00;

// MSB-first CRC-8 whose step XORs 0xEC before the shift (the polynomial 0xD8).
constexpr std::array<std::uint8_t, 256> MakeCrcTable()
{
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        unsigned x = static_cast<unsigned>(i);
        for (int step = 0; step < 8; ++step) {
            if (x & 0x80)
                x ^= 0xEC;
            x = (x << 1) & 0xFF;
        }
        table[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(x);
    }
    return table;
}

std::uint8_t CrcStep(std::uint8_t crc, std::uint8_t b)
{
    return g_crcTable[crc ^ b];
}

bool NeedsEscape(std::uint8_t b)
{
    return b < kPrintableFirst || b > kPrintableLast;
}

// Abandons the frame; a start byte in the wrong place starts the next one.
bool Abandon(std::string& payload, std::uint8_t b, MessageParseState& state, bool restartOnStart)
{
    state.state = CQVMessageParser::PARSE_IDLE;
    if (restartOnStart && b == kStartByte) {
        state.state = CQVMessageParser::PARSE_START;
        payload.clear();
    }
    return false;
}

} // namespace

std::array<std::uint8_t, 256> g_crcTable = MakeCrcTable();

char16_t CQVMessageParser::ByteToChar(std::uint8_t b)
{
    return static_cast<char16_t>(b);
}

std::string& CQVMessageParser::BuildMessage(std::string& out, std::uint8_t flags, std::uint8_t direction,
                                            std::uint8_t command, std::string payload)
{
    out.clear();
    out.reserve(payload.size() * 2 + 14);
    out += static_cast<char>(kStartByte);
    out += static_cast<char>(kSecondByte);
    out += static_cast<char>(flags);
    out += static_cast<char>(direction);
    out += static_cast<char>(command);

    std::uint8_t crc = g_crcTable[command];
    char digits[32];
    std::snprintf(digits, sizeof digits, "%07zu", payload.size());
    for (int i = 0; i < kLengthDigits; ++i) {
        out += digits[i];
        crc = CrcStep(crc, static_cast<std::uint8_t>(digits[i]));
    }

    for (const char c : payload) {
        const auto b = static_cast<std::uint8_t>(c);
        if (NeedsEscape(b)) {
            out += static_cast<char>(kEscapeByte);
            crc = CrcStep(crc, kEscapeByte);
        }
        out += c;
        crc = CrcStep(crc, b);
    }

    out += static_cast<char>(kEndByte);
    out += static_cast<char>(crc & kCrcMask);
    return out;
}

std::string& CQVMessageParser::BuildRequest(std::string& out, std::uint8_t flags, std::uint8_t command,
                                            std::string payload)
{
    return BuildMessage(out, flags, FRAME_DIRECTION_REQUEST, command, std::move(payload));
}

bool CQVMessageParser::ParseByte(std::string& payload, std::uint8_t b, MessageParseState& state)
{
    switch (state.state) {
    case PARSE_START:
        if (b != kSecondByte)
            return Abandon(payload, b, state, true);
        state.state = PARSE_FLAGS;
        return false;

    case PARSE_FLAGS:
        if (b != 0x00 && b != 0x01)
            return Abandon(payload, b, state, true);
        state.flags = b;
        state.state = PARSE_DIRECTION;
        return false;

    case PARSE_DIRECTION:
        // A request echoed back (direction 1) is never taken as a reply.
        if (b != 0x00 && b != 0x02)
            return Abandon(payload, b, state, true);
        state.state = PARSE_COMMAND;
        return false;

    case PARSE_COMMAND:
        state.command = b;
        state.crc = g_crcTable[b];
        state.length = 0;
        state.count = 0;
        state.state = PARSE_LENGTH;
        return false;

    case PARSE_LENGTH:
        if (b < '0' || b > '9')
            return Abandon(payload, b, state, false);
        ++state.count;
        state.length = state.length * 10 + static_cast<std::uint32_t>(b - '0');
        state.crc = CrcStep(state.crc, b);
        if (state.count == kLengthDigits) {
            if (state.length > kLongestPayload)
                return Abandon(payload, b, state, false);
            state.count = 0;
            state.state = PARSE_PAYLOAD;
        }
        return false;

    case PARSE_PAYLOAD:
        if (state.count > state.length)
            return Abandon(payload, b, state, false);
        if (b == kEndByte && state.count == state.length) {
            state.state = PARSE_CRC;
            return false;
        }
        // The count advances once per payload character: the escape counts, the escaped byte not.
        ++state.count;
        state.crc = CrcStep(state.crc, b);
        if (b == kEscapeByte)
            state.state = PARSE_ESCAPE;
        else
            payload += static_cast<char>(ByteToChar(b));
        return false;

    case PARSE_ESCAPE:
        state.crc = CrcStep(state.crc, b);
        payload += static_cast<char>(ByteToChar(b));
        state.state = PARSE_PAYLOAD;
        return false;

    case PARSE_CRC:
        state.state = PARSE_IDLE;
        return b == (state.crc & kCrcMask);

    default: // idle, and any value the table does not list
        if (b == kStartByte) {
            state.state = PARSE_START;
            payload.clear();
        }
        return false;
    }
}

std::optional<std::string> CQVMessageParser::StoredMessagePayload(std::string_view bytes, std::uint8_t command)
{
    // The parser also takes flags 1 and the reply direction, which no stored message carries.
    if (bytes.size() <= kDirectionOffset || static_cast<std::uint8_t>(bytes[kFlagsOffset]) != kStoredFlags ||
        static_cast<std::uint8_t>(bytes[kDirectionOffset]) != FRAME_DIRECTION_FILE)
        return std::nullopt;
    std::string payload;
    MessageParseState state;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (ParseByte(payload, static_cast<std::uint8_t>(bytes[i]), state)) {
            if (i + 1 != bytes.size() || state.command != command)
                return std::nullopt;
            return payload;
        }
        // The frame must be the one the first byte starts: once it is abandoned, a frame
        // found further on is not the file's.
        if (state.state == PARSE_IDLE || (i > 0 && state.state == PARSE_START))
            return std::nullopt;
    }
    return std::nullopt;
}
