#pragma once
// Reading numbers out of typed or received text the way the program always has: only the
// decimal digits at the start count, so that a sign or any other character first gives 0
// rather than a negative value (the same as putting a "0" in front and reading a number).

#include <QString>

#include <string_view>

// White space as the C locale knows it, trimmed at both ends.
std::string_view TrimWhiteSpace(std::string_view text);

// The value of the decimal digits at the start of text (none: 0); saturates at INT_MAX.
int LeadingDecimalNumber(std::string_view text);
int LeadingDecimalNumber(const QString& text);
