#include "ui/application_icon.h"

#include <QString>

namespace ui {
namespace {

// Where the icon lives among the compiled-in resources (see ui/CMakeLists.txt).
constexpr char kApplicationIconResource[] = ":/jetvane/jetvane.png";

} // namespace

QIcon ApplicationIcon()
{
    return QIcon(QString::fromLatin1(kApplicationIconResource));
}

} // namespace ui
