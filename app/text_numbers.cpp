#include "app/text_numbers.h"

#include <climits>

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
constexpr int kDecimalBase = 10;

template <typename CharAt>
int ReadDigits(qsizetype size, CharAt charAt)
{
    long long value = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const int c = charAt(i);
        if (c < '0' || c > '9')
            break;
        value = value * kDecimalBase + (c - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

} // namespace

std::string_view TrimWhiteSpace(std::string_view text)
{
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

int LeadingDecimalNumber(std::string_view text)
{
    return ReadDigits(static_cast<qsizetype>(text.size()),
                      [text](qsizetype i) { return static_cast<int>(static_cast<unsigned char>(text[i])); });
}

int LeadingDecimalNumber(const QString& text)
{
    return ReadDigits(text.size(), [&text](qsizetype i) { return static_cast<int>(text.at(i).unicode()); });
}
