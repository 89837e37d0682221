#pragma once
// Where the windows can appear, and pictures of them.
//
// Start-up, before the QApplication exists, decides how the program meets the screen: with
// no display named at all, a run that needs no window goes offscreen by itself; with one
// named, offscreen stands behind it, so that a display which cannot be reached (a broken SSH
// forwarding, a DISPLAY inherited by cron or sudo) does not end the process inside Qt, and
// one that takes the connection but does not answer (a stalled forwarding) is left out after
// a bounded wait instead of holding the process for ever.
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

// A run that needs no window and has no display: Qt is to use its offscreen platform.
void UseOffscreenPlatform();

// Puts Qt's offscreen platform behind what the environment names: the QT_QPA_PLATFORM list
// when it is set, else the display servers that WAYLAND_DISPLAY and DISPLAY name, in the
// order Qt tries them. A list that names offscreen already keeps it where it is. First the
// displays of that list are asked, with the libraries Qt will use to reach them
// (ui/display_probe.h), for at most kDisplayAnswerWait; only those that answered stay in it,
// together with the platforms that need no display server. A working display costs one
// round trip. The environment is left as it was: the list goes to Qt on its command line.
void AddOffscreenFallback();

// The application, on the platforms chosen above (else on those the environment names),
// created while Qt's remarks are held back: its complaints about platforms it cannot use go
// nowhere, and its other remarks (about the runtime folder, say) wait for
// PassOnStartUpRemarks, so that a run which ends at once leaves its own line alone. Qt sees
// only the program's name of the command line: its words are the program's.
std::unique_ptr<QApplication> CreateApplication(const char* programName);

// The two halves of CreateApplication's holding back, for tests, which cannot make Qt end a
// process halfway through its start: in between, Qt's messages go through the handler that
// holds them back, and a fatal one passes on the held remarks before itself.
void HoldBackStartUpRemarks();
void StopHoldingBackStartUpRemarks();

// Once the run goes on: Qt's remarks held back by CreateApplication go where Qt's messages
// go. A fatal message was never held: the remarks before it went on ahead of it.
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

// Why AddOffscreenFallback found no display, for a message: how the display failed and what
// was tried, the platform list when the environment chose it, then each display server's
// display or that none is set ("the display does not answer (DISPLAY=localhost:10.0)",
// "the display is not set (QT_QPA_PLATFORM=xcb, DISPLAY not set)").
QString WhyNoDisplay();

// Lets pending layout and paint events run, then saves a picture of the widget as a PNG.
// User-interface thread. False when there is no widget or the file cannot be written.
bool SaveScreenshot(QWidget* widget, const QString& pngPath);

} // namespace ui
