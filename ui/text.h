#pragma once
// The program's texts are UTF-8 constants; the window layer shows QStrings.

#include <QString>

#include <string_view>

namespace ui {

inline QString Text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace ui
