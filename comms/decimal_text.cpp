#include "comms/decimal_text.h"

#include <algorithm>
#include <cwctype>
#include <limits>

namespace {

constexpr std::int64_t kDecimalBase = 10;

// The number with one more decimal digit behind it.
constexpr std::int32_t AppendDecimalDigit(std::int32_t number, char32_t digit)
{
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::min<std::int64_t>(number * kDecimalBase + (digit - U'0'), kLargest));
}

// A byte is the character of the same value.
constexpr char32_t CharacterOf(char byte)
{
    return static_cast<unsigned char>(byte);
}

constexpr char32_t CharacterOf(char16_t unit)
{
    return unit;
}

template <typename Char>
LeadingDigits<Char> ReadDigits(std::basic_string_view<Char> text)
{
    LeadingDigits<Char> result;
    std::size_t at = 0;
    for (; at < text.size() && IsDecimalDigit(CharacterOf(text[at])); ++at)
        result.number = AppendDecimalDigit(result.number, CharacterOf(text[at]));
    result.complete = at == text.size();
    result.rest = text.substr(at);
    return result;
}

template <typename Char>
bool IsWhiteSpace(Char character)
{
    return std::iswspace(static_cast<std::wint_t>(CharacterOf(character))) != 0;
}

template <typename Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> text)
{
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && IsWhiteSpace(text[first]))
        ++first;
    while (end > first && IsWhiteSpace(text[end - 1]))
        --end;
    return text.substr(first, end - first);
}

} // namespace

LeadingNumber ReadLeadingNumber(std::string_view text)
{
    return ReadDigits(text);
}

LeadingDigits<char16_t> ReadLeadingNumber(std::u16string_view text)
{
    return ReadDigits(text);
}

std::string_view TrimWhiteSpace(std::string_view text)
{
    return Trim(text);
}

std::u16string_view TrimWhiteSpace(std::u16string_view text)
{
    return Trim(text);
}
