#pragma once
// Helpers for tests that drive windows: bounded event processing and typed keys.

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QKeyEvent>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <ostream>
#include <string>

// QStrings in test failures as their text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace gui_test {

// Runs the event loop until done() holds or realMs pass; returns done().
inline bool ProcessEventsUntil(const std::function<bool()>& done, int realMs = 5000)
{
    const QDeadlineTimer deadline(realMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Runs the events that are already queued (posted messages included).
inline void ProcessPendingEvents()
{
    for (int round = 0; round < 3; ++round)
        QCoreApplication::processEvents();
}

// A key as the keyboard gives it to the widget that has the focus.
inline void PressKey(QWidget* target, int key, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &release);
}

// The user picks a combo entry by its text, as a click in the list would; false when the
// combo lacks it.
inline bool ChooseComboEntry(QWidget* widget, const QString& text)
{
    auto* combo = qobject_cast<QComboBox*>(widget);
    const int index = combo == nullptr ? -1 : combo->findText(text);
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    return true;
}

// A profile folder of the test's own, empty at the start, for the life of the object: the
// program's profile (user scope) is read and written there, so that no test sees what an
// earlier one left, whatever ran before it in the same process. Afterwards the profile is the
// process's own again (the test main's folder in XDG_CONFIG_HOME).
class ScopedProfileFolder {
public:
    ScopedProfileFolder() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path()); }
    ~ScopedProfileFolder()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qEnvironmentVariable("XDG_CONFIG_HOME"));
    }
    ScopedProfileFolder(const ScopedProfileFolder&) = delete;
    ScopedProfileFolder& operator=(const ScopedProfileFolder&) = delete;

private:
    const QTemporaryDir folder_;
};

// A file's bytes, or nothing when it cannot be read.
inline std::string ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

inline void TypeText(QWidget* target, const QString& text)
{
    for (const QChar character : text)
        PressKey(target, character.toUpper().unicode(), QString(character));
}

} // namespace gui_test
