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

#include <QByteArray>

#include <functional>
#include <memory>

class QApplication;
class QWidget;

namespace ui {

// What the program does when Qt's own start fails where Qt would not return: why, on one
// line. It must not return (it ends the process, or starts it again).
using StartFailure = std::function<void(const QString& why)>;

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

// The platform list that start-up gives Qt (empty: Qt's own choice), for tests.
QByteArray PlatformsGivenToQt();

// The application, on the platforms chosen above (else on those the environment names),
// created while Qt's remarks are held back: its complaints about platforms it cannot use go
// nowhere, and its other remarks (about the runtime folder, say) wait for
// PassOnStartUpRemarks, so that a run which ends at once leaves its own line alone. Qt sees
// only the program's name of the command line: its words are the program's.
//
// Qt's start fails, and failed is called instead of Qt ending the process, when a platform
// ends its start with a fatal message (eglfs without DRM, minimalegl without EGL), when the
// platform Qt started has no screen (linuxfb without a frame buffer), or when Qt's own
// connection to a display that answered the question stalls for kDisplayAnswerWait (then
// from a thread of its own, while Qt still waits). The remarks of a display that Qt reaches
// without being asked first (a handed-over Wayland socket) are not held back: Qt may end the
// process on it by itself, and its words must not be lost.
std::unique_ptr<QApplication> CreateApplication(const char* programName, StartFailure failed = {});

// Starts the program again with the same command line on the offscreen platform, for a run
// that needs no window whose display failed Qt's start. Returns only when that cannot be done
// (this run is on the offscreen platform alone already, or the program cannot be started).
bool RestartOffscreen(char** argv);

// The variable whose display would let Qt show the window: DISPLAY when the platforms tried
// include X's (or none were chosen), WAYLAND_DISPLAY when they include only Wayland's, none
// (nullptr) when they include neither.
const char* DisplayVariableThatWouldHelp();

// The two halves of CreateApplication's holding back, for tests, which cannot make Qt end a
// process halfway through its start: in between, Qt's messages go through the handler that
// holds them back, and a fatal one is the start's failure (failed is called with why), else
// passes on the held remarks before itself.
void HoldBackStartUpRemarks(StartFailure failed = {});
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
