// Printer frames: building, the CRC and the byte-by-byte reply parser; the reason a failed
// exchange gives from its reply.
#include "comms/exchange_reasons.h"
#include "comms/message_parser.h"
#include "comms/printer_codes.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

struct ParseResult {
    int accepted = 0;
    std::string payload;
    MessageParseState state;
};

// Feeds every byte and counts the frames accepted.
ParseResult Feed(const std::string& bytes)
{
    ParseResult result;
    for (char c : bytes) {
        if (CQVMessageParser::ParseByte(result.payload, static_cast<std::uint8_t>(c), result.state))
            ++result.accepted;
    }
    return result;
}

std::string Request(std::uint8_t command, const std::string& payload)
{
    std::string frame;
    return CQVMessageParser::BuildRequest(frame, 0, command, payload);
}

TEST(CrcTable, HasTheTellingEntries)
{
    EXPECT_EQ(g_crcTable[0x00], 0x00);
    EXPECT_EQ(g_crcTable[0x01], 0xD8);
    EXPECT_EQ(g_crcTable[0x02], 0x68);
    EXPECT_EQ(g_crcTable[0x03], 0xB0);
    EXPECT_EQ(g_crcTable[0x04], 0xD0);
    EXPECT_EQ(g_crcTable[0x05], 0x08);
    EXPECT_EQ(g_crcTable[0x10], 0xF0);
    EXPECT_EQ(g_crcTable[0x21], 0xE0);
    EXPECT_EQ(g_crcTable[0x80], 0xE0);
    EXPECT_EQ(g_crcTable[0xFF], 0x40);
}

TEST(CrcTable, EveryEntryIsAMultipleOfEight)
{
    for (std::uint8_t entry : g_crcTable)
        EXPECT_EQ(entry % 8, 0);
}

TEST(BuildRequest, IdentifyWithEmptyPayload)
{
    EXPECT_EQ(Request(CMD_IDENTIFY, ""), Bytes({0x09, 0x01, 0x00, 0x01, 0x21, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
                                                0x08, 0x40}));
}

TEST(BuildRequest, GetSettingsWithEmptyPayload)
{
    EXPECT_EQ(Request(CMD_GET_SETTINGS, ""), Bytes({0x09, 0x01, 0x00, 0x01, 0x20, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
                                                    0x30, 0x08, 0x28}));
}

TEST(BuildMessage, FileFrameWhoseCrcEqualsTheEndByte)
{
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, CMD_SET_SETTINGS, "abc");
    EXPECT_EQ(frame, Bytes({0x09, 0x01, 0x00, 0x00, 0x10, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x33, 0x61, 0x62, 0x63,
                            0x08, 0x08}));
}

TEST(BuildRequest, LengthCountsCharactersBeforeEscaping)
{
    EXPECT_EQ(Request(CMD_SET_SETTINGS, Bytes({0x10, 'A'})),
              Bytes({0x09, 0x01, 0x00, 0x01, 0x10, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x32, 0x10, 0x10, 0x41, 0x08,
                     0x28}));
}

TEST(BuildRequest, EscapesEveryByteOutsideThePrintableRangeBut7F)
{
    const std::string frame = Request(CMD_ROM_OPTION, Bytes({0x7F, 0x00, 0x08, 0x09, 0x0D, 0x10, 0x80, 0xFF, 0x20}));
    const std::string payload = frame.substr(12, frame.size() - 14);
    EXPECT_EQ(payload, Bytes({0x7F, 0x10, 0x00, 0x10, 0x08, 0x10, 0x09, 0x10, 0x0D, 0x10, 0x10, 0x10, 0x80, 0x10, 0xFF,
                              0x20}));
    EXPECT_EQ(frame.substr(5, 7), "0000009");
}

TEST(BuildMessage, ReplacesWhatTheOutputHeld)
{
    std::string frame = "stale";
    CQVMessageParser::BuildRequest(frame, 0, CMD_IDENTIFY, "");
    EXPECT_EQ(frame.size(), 14u);
}

TEST(ParseByte, AcceptsAReplyWithDirectionZeroOrTwo)
{
    const std::string reply = Bytes({0x09, 0x01, 0x00, 0x00, 0x60, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x08,
                                     0x70});
    ParseResult zero = Feed(reply);
    EXPECT_EQ(zero.accepted, 1);
    EXPECT_EQ(zero.state.command, REPLY_ACK);
    EXPECT_TRUE(zero.payload.empty());
    EXPECT_EQ(zero.state.state, CQVMessageParser::PARSE_IDLE);

    std::string two = reply;
    two[3] = 0x02;
    EXPECT_EQ(Feed(two).accepted, 1);
}

TEST(ParseByte, NeverTakesAnEchoedRequestAsAReply)
{
    std::string echoed = Bytes({0x09, 0x01, 0x00, 0x00, 0x60, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x08, 0x70});
    echoed[3] = 0x01;
    EXPECT_EQ(Feed(echoed).accepted, 0);
    EXPECT_EQ(Feed(Request(CMD_IDENTIFY, "")).accepted, 0);
}

TEST(ParseByte, RoundTripsEveryByteValueThroughEscapes)
{
    std::string payload;
    for (int b = 0; b < 256; ++b)
        payload += static_cast<char>(b);
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 1, FRAME_DIRECTION_REPLY, REPLY_SETTINGS, payload);
    ParseResult result = Feed(frame);
    ASSERT_EQ(result.accepted, 1);
    EXPECT_EQ(result.payload, payload);
    EXPECT_EQ(result.state.flags, 1u);
    EXPECT_EQ(result.state.command, REPLY_SETTINGS);
}

TEST(ParseByte, EscapedZeroArrivesAsAnEmbeddedNul)
{
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, REPLY_ACK, Bytes({'a', 0x00, 'b'}));
    ParseResult result = Feed(frame);
    ASSERT_EQ(result.accepted, 1);
    EXPECT_EQ(result.payload, Bytes({'a', 0x00, 'b'}));
}

TEST(ParseByte, NonDigitInTheLengthAbandonsUntilTheNextStart)
{
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, REPLY_ACK, "xy");
    for (int position = 5; position < 12; ++position) {
        std::string broken = frame;
        broken[static_cast<std::size_t>(position)] = 'A';
        ParseResult result = Feed(broken);
        EXPECT_EQ(result.accepted, 0) << "digit " << position;
        EXPECT_EQ(result.state.state, CQVMessageParser::PARSE_IDLE) << "digit " << position;
    }
    // A start byte inside the digits is not taken as a new frame either.
    std::string withStart = frame;
    withStart[7] = 0x09;
    ParseResult result = Feed(withStart + frame);
    EXPECT_EQ(result.accepted, 1);
}

TEST(ParseByte, TwoGoodFramesInARowAreBothAccepted)
{
    std::string first;
    std::string second;
    CQVMessageParser::BuildMessage(first, 0, FRAME_DIRECTION_FILE, REPLY_ACK, "one");
    CQVMessageParser::BuildMessage(second, 0, FRAME_DIRECTION_FILE, REPLY_SETTINGS, "two");
    ParseResult result = Feed(first + second);
    EXPECT_EQ(result.accepted, 2);
    EXPECT_EQ(result.payload, "two");
    EXPECT_EQ(result.state.command, REPLY_SETTINGS);
}

TEST(ParseByte, TwoStartBytesLeaveTheReceiverWaitingForTheSecondByte)
{
    ParseResult result = Feed(Bytes({0x09, 0x09}));
    EXPECT_EQ(result.state.state, CQVMessageParser::PARSE_START);
}

TEST(ParseByte, WrongCrcEndsTheFrameAndKeepsThePayload)
{
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, REPLY_ACK, "kept");
    frame.back() = static_cast<char>(frame.back() ^ 0x08);
    ParseResult result = Feed(frame);
    EXPECT_EQ(result.accepted, 0);
    EXPECT_EQ(result.state.state, CQVMessageParser::PARSE_IDLE);
    EXPECT_EQ(result.payload, "kept");
}

TEST(ParseByte, UnescapedEndByteBeforeTheLengthIsPayload)
{
    // Length 3 but the second payload byte is a raw 0x08: it counts as payload.
    std::string frame = Bytes({0x09, 0x01, 0x00, 0x00, 0x60, '0', '0', '0', '0', '0', '0', '3', 'a', 0x08, 'b', 0x08});
    std::uint8_t crc = g_crcTable[0x60];
    for (std::size_t i = 5; i < frame.size() - 1; ++i)
        crc = g_crcTable[crc ^ static_cast<std::uint8_t>(frame[i])];
    frame += static_cast<char>(crc & 0x7F);
    ParseResult result = Feed(frame);
    EXPECT_EQ(result.accepted, 1);
    EXPECT_EQ(result.payload, Bytes({'a', 0x08, 'b'}));
}

TEST(ParseByte, PayloadLongerThanItsLengthIsAbandoned)
{
    std::string frame = Bytes({0x09, 0x01, 0x00, 0x00, 0x60, '0', '0', '0', '0', '0', '0', '1', 'a', 'b', 'c', 0x08,
                               0x00});
    ParseResult result = Feed(frame);
    EXPECT_EQ(result.accepted, 0);
    EXPECT_EQ(result.state.state, CQVMessageParser::PARSE_IDLE);
}

// A frame with the length field given, the payload given (printable only) and a good CRC.
std::string FrameDeclaring(const std::string& lengthDigits, const std::string& payload)
{
    std::string frame = Bytes({0x09, 0x01, 0x00, 0x00, 0x10}) + lengthDigits + payload + Bytes({0x08});
    std::uint8_t crc = g_crcTable[0x10];
    for (std::size_t i = 5; i < frame.size() - 1; ++i)
        crc = g_crcTable[crc ^ static_cast<std::uint8_t>(frame[i])];
    return frame + static_cast<char>(crc & 0x7F);
}

TEST(ParseByte, LengthFieldMustMatchThePayloadWhole)
{
    struct Case {
        const char* digits;
        std::size_t payloadLength;
        bool accepted;
    };
    const Case cases[] = {
        {"0000001", 1, true},
        {"0000000", 0, true},
        {"0065535", 65535, true},
        // Differing by a multiple of 65536 is differing.
        {"0065537", 1, false},
        {"0065536", 0, false},
        {"0131073", 1, false},
        {"0131072", 0, false},
        {"9999999", 1, false},
        // Longer than the receiver takes.
        {"0065536", 65536, false},
        {"0000002", 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.digits);
        const std::string payload(c.payloadLength, 'a');
        ParseResult result = Feed(FrameDeclaring(c.digits, payload));
        EXPECT_EQ(result.accepted, c.accepted ? 1 : 0);
        if (c.accepted) {
            EXPECT_EQ(result.payload, payload);
        }
    }
}

TEST(ParseByte, WrongSecondFlagsOrDirectionByteRestartsOnAStartByte)
{
    for (std::size_t position : {1u, 2u, 3u}) {
        std::string frame;
        CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, REPLY_ACK, "z");
        std::string broken = frame.substr(0, position) + frame;
        ParseResult result = Feed(broken);
        EXPECT_EQ(result.accepted, 1) << "position " << position;
        EXPECT_EQ(result.payload, "z");
    }
}

TEST(ParseByte, UnknownStateNumberBehavesAsIdle)
{
    ParseResult result;
    result.state.state = 77;
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, REPLY_ACK, "q");
    for (char c : frame)
        result.accepted += CQVMessageParser::ParseByte(result.payload, static_cast<std::uint8_t>(c), result.state);
    EXPECT_EQ(result.accepted, 1);
}

TEST(ByteToChar, MapsBytesToTheFirst256Characters)
{
    EXPECT_EQ(CQVMessageParser::ByteToChar(0x00), u'\0');
    EXPECT_EQ(CQVMessageParser::ByteToChar(0x41), u'A');
    EXPECT_EQ(CQVMessageParser::ByteToChar(0xE9), u'\u00E9');
}

TEST(ExchangeFailureReason, OnlyAWholeReplyOtherThanAnAcknowledgementIsARefusal)
{
    EXPECT_EQ(ExchangeFailureReason(std::nullopt), "the printer did not answer");
    EXPECT_EQ(ExchangeFailureReason(0x05), "the printer refused it (reply code 0x05)");
    EXPECT_EQ(ExchangeFailureReason(0x61), "the printer refused it (reply code 0x61)");
    EXPECT_EQ(ExchangeFailureReason(0x60), "");
}

} // namespace
