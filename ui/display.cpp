#include "ui/display.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

namespace ui {
namespace {

constexpr const char* kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
constexpr char kPngFormat[] = "PNG";

} // namespace

bool DisplayAvailable()
{
    for (const char* variable : kDisplayVariables) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    }
    return false;
}

bool SaveScreenshot(QWidget* widget, const QString& pngPath)
{
    if (widget == nullptr)
        return false;
    // A grab before the pending events have run shows a stale layout.
    QCoreApplication::processEvents();
    const QPixmap picture = widget->grab();
    return !picture.isNull() && picture.save(pngPath, kPngFormat);
}

} // namespace ui
