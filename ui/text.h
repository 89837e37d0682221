#pragma once
// The program's texts are UTF-8 constants; the window layer shows QStrings.

#include <QString>
#include <QStringView>

#include <string_view>

namespace ui {

inline QString Text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// A text's UTF-16 code units, for the readers that need no window (comms/decimal_text.h); valid
// while the text lives unchanged.
inline std::u16string_view Utf16(const QString& text)
{
    return {QStringView(text).utf16(), static_cast<std::size_t>(text.size())};
}

inline QString Text(std::u16string_view utf16)
{
    return QStringView(utf16.data(), static_cast<qsizetype>(utf16.size())).toString();
}

} // namespace ui
