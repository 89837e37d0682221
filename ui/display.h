#pragma once
// Where the windows can appear, and pictures of them.
//
// Start-up, before the QApplication exists, decides how the program meets the screen: with
// no display named at all, a run that needs no window goes offscreen by itself; with one
// named, offscreen stands behind it, so that a display which does not answer (a broken SSH
// forwarding, a DISPLAY inherited by cron or sudo) does not end the process inside Qt.
//
// Thread rules: the start-up functions run on the main thread before the QApplication
// exists (CreateApplication creates it); the rest on the user-interface thread.

#include <QString>

#include <memory>

class QApplication;
class QWidget;

namespace ui {

// True when windows can be shown: an X11 or Wayland display is named in the environment
// (DISPLAY, WAYLAND_DISPLAY) or a Qt platform is chosen explicitly (QT_QPA_PLATFORM, for
// example "offscreen"). Call before the QApplication exists to decide how to start.
bool DisplayAvailable();

// Puts Qt's offscreen platform behind what the environment names: the QT_QPA_PLATFORM list
// when it is set, else the display servers that WAYLAND_DISPLAY and DISPLAY name, in the
// order Qt tries them. A list that names offscreen already stays as it is.
void AddOffscreenFallback();

// The application, created while Qt's remarks are held back: its complaints about platforms
// it cannot use (the display that did not answer, before the offscreen fallback took over)
// go nowhere, and its other remarks (about the runtime folder, say) wait for
// PassOnStartUpRemarks, so that a run which ends at once leaves its own line alone.
std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv);

// Once the run goes on: Qt's remarks held back by CreateApplication go where Qt's messages
// go. A fatal message was never held.
void PassOnStartUpRemarks();

// Once the application exists: none of the platforms named before offscreen could be used.
bool FellBackToOffscreen();

// Once the application exists: the platform in use shows its windows to nobody (offscreen,
// minimal), whether it was chosen by the environment or as our own fallback.
bool PlatformShowsNothing();

// Whether nobody can see the program's windows. Start-up sets it from PlatformShowsNothing;
// false until then (so the window tests, which run offscreen without that start-up, see
// their windows as shown).
bool RunsWithoutDisplay();
void SetRunsWithoutDisplay(bool withoutDisplay);

// The displays the environment names, for a message ("DISPLAY=:0"); empty when none.
QString NamedDisplays();

// Lets pending layout and paint events run, then saves a picture of the widget as a PNG.
// User-interface thread. False when there is no widget or the file cannot be written.
bool SaveScreenshot(QWidget* widget, const QString& pngPath);

} // namespace ui
