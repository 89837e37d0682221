#pragma once
// A list of Qt platforms (QT_QPA_PLATFORM, or Qt's -platform argument) read the way Qt reads
// it: entries are separated by ';' and empty ones are skipped; in an entry, the platform's
// name comes first and its options follow, each after a ':' (empty parts are skipped); the
// name is compared without regard to case. "XCB", ";xcb" and ":xcb:foo" all name xcb.
//
// Thread rules: any thread; InstalledPlatform reads plugin files and may be called before
// the QApplication exists.

#include <QByteArray>
#include <QList>

namespace ui {

struct PlatformEntry {
    QByteArray text; // as written, options and all: what Qt is given
    QByteArray name; // lower case
};

// The entries of a list, in order, without the empty ones (those with no name).
QList<PlatformEntry> ReadPlatformList(const QByteArray& list);

// The entries written back as one list.
QByteArray PlatformListText(const QList<PlatformEntry>& entries);

// Whether one of Qt's platform plugins has this name among its keys, where Qt looks for
// them: QT_QPA_PLATFORM_PLUGIN_PATH, the "platforms" folders of QT_PLUGIN_PATH, Qt's own
// plugin folder and the program's folder. Qt skips a name it has no plugin for.
bool InstalledPlatform(const QByteArray& name);

} // namespace ui
