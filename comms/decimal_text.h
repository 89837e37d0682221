#pragma once
// Decimal numbers and white space in the texts that printers send and users type, read one
// way throughout the program. Only the digits '0' to '9' at the start of a text count: a sign
// or any other character first gives 0 rather than a negative value. Numbers saturate at the
// largest 32-bit signed value, so that too large a number falls outside every range rather
// than wrapping into one, and the caller can negate it safely.
//
// Texts are bytes (one character each, U+0000 to U+00FF) or UTF-16 code units; the window
// layer hands its texts over as the latter (ui::Utf16).

#include <cstdint>
#include <string_view>

constexpr bool IsDecimalDigit(char32_t character)
{
    return character >= U'0' && character <= U'9';
}

// The decimal digits at the start of a text.
template <typename Char>
struct LeadingDigits {
    std::int32_t number = 0;                // 0 when there are none
    bool complete = true;                   // false when another character ended the digits
    std::basic_string_view<Char> rest;      // the text behind the digits
};
using LeadingNumber = LeadingDigits<char>;

LeadingNumber ReadLeadingNumber(std::string_view text);
LeadingDigits<char16_t> ReadLeadingNumber(std::u16string_view text);

// The text without the white space (as the runtime's iswspace classifies it) at both ends.
std::string_view TrimWhiteSpace(std::string_view text);
std::u16string_view TrimWhiteSpace(std::u16string_view text);
