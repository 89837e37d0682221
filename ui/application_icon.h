#pragma once
// The program's own icon, compiled into the program from resources/jetvane.png, so that
// every window shows it whatever icon theme the desktop has (most have none for a printer).
//
// User-interface thread only, once the QApplication exists.

#include <QIcon>

namespace ui {

// The icon for every window of the program: the main dialog, its child dialogs and the
// questions it asks.
QIcon ApplicationIcon();

} // namespace ui
