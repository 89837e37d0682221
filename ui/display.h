#pragma once
// Where the windows can appear, and pictures of them.

#include <QString>

class QWidget;

namespace ui {

// True when windows can be shown: an X11 or Wayland display is named in the environment
// (DISPLAY, WAYLAND_DISPLAY) or a Qt platform is chosen explicitly (QT_QPA_PLATFORM, for
// example "offscreen"). Call before the QApplication exists to decide how to start.
bool DisplayAvailable();

// Lets pending layout and paint events run, then saves a picture of the widget as a PNG.
// User-interface thread. False when there is no widget or the file cannot be written.
bool SaveScreenshot(QWidget* widget, const QString& pngPath);

} // namespace ui
