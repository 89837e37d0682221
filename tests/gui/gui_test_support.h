#pragma once
// Helpers for tests that drive windows: bounded event processing and typed keys.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <optional>
#include <ostream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

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
inline void PressKey(QWidget* target, int key, const QString& text = {},
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
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

// The unprivileged user (nobody) as whom a test that runs as root acts in a child process.
inline constexpr uid_t kUnprivilegedUser = 65534;
inline constexpr gid_t kUnprivilegedGroup = 65534;
// A child of RunUnprivileged that has not ended by then is taken for hung.
inline constexpr int kChildLimitMs = 10000;

// Runs action in a child process: as kUnprivilegedUser when this process is root, so that
// what a file's permissions refuse a user is refused there too, and as this process's user
// otherwise. Returns the text the action returned, or nothing when the child could not drop
// root or did not end in time. The child ends with _exit: nothing of the test is torn down
// twice.
inline std::optional<std::string> RunUnprivileged(const std::function<std::string()>& action)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        const bool dropped = ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(kUnprivilegedGroup) == 0 &&
                                                  ::setuid(kUnprivilegedUser) == 0);
        if (!dropped)
            ::_exit(EXIT_FAILURE);
        const std::string result = action();
        for (std::size_t done = 0; done < result.size();) {
            const ssize_t written = ::write(ends[1], result.data() + done, result.size() - done);
            if (written <= 0)
                ::_exit(EXIT_FAILURE);
            done += static_cast<std::size_t>(written);
        }
        ::_exit(EXIT_SUCCESS);
    }
    ::close(ends[1]);
    if (child < 0) {
        ::close(ends[0]);
        return std::nullopt;
    }
    std::string result;
    const QDeadlineTimer deadline(kChildLimitMs);
    for (;;) {
        pollfd readable{ends[0], POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(deadline.remainingTime())) <= 0) {
            ::kill(child, SIGKILL);
            break;
        }
        char buffer[256];
        const ssize_t got = ::read(ends[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        result.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(ends[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != EXIT_SUCCESS)
        return std::nullopt;
    return result;
}

inline void TypeText(QWidget* target, const QString& text)
{
    for (qsizetype at = 0; at < text.size(); ++at) {
        // A character beyond 16 bits comes as one key, both halves of its pair together.
        const bool pair = text[at].isHighSurrogate() && at + 1 < text.size();
        PressKey(target, pair ? int{Qt::Key_unknown} : text[at].toUpper().unicode(), text.mid(at, pair ? 2 : 1));
        at += pair ? 1 : 0;
    }
}

// Answers real modal windows (file dialogs, message boxes) as a user would, step by step: a
// step is offered the modal window in front until it acts on it (returns true). After
// kLimitMs every modal window left is rejected, so that a fault cannot hang the suite.
class ModalScript {
public:
    using Step = std::function<bool(QWidget* modal)>;
    static constexpr int kTickMs = 10;
    static constexpr int kLimitMs = 10000;

    explicit ModalScript(std::deque<Step> steps) : steps_(std::move(steps)), limit_(QDeadlineTimer(kLimitMs))
    {
        QObject::connect(&tick_, &QTimer::timeout, &tick_, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr)
                return;
            if (limit_.hasExpired()) {
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
            } else if (!steps_.empty() && steps_.front()(modal)) {
                steps_.pop_front();
            }
        });
        tick_.start(kTickMs);
    }

    // Steps that never acted.
    std::size_t Left() const { return steps_.size(); }

private:
    std::deque<Step> steps_;
    QDeadlineTimer limit_;
    QTimer tick_;
};

// A step that waits for a modal window of the type T and acts on it.
template <class T>
ModalScript::Step OnModal(std::function<void(T&)> action)
{
    return [action = std::move(action)](QWidget* modal) {
        auto* window = qobject_cast<T*>(modal);
        if (window == nullptr)
            return false;
        action(*window);
        return true;
    };
}

// Accepts once the step has returned: the question that accepting may ask (QFileDialog's,
// before it replaces a file) runs a loop of its own, and the script goes on while it is shown.
inline void AcceptLater(QDialog& dialog)
{
    QMetaObject::invokeMethod(&dialog, &QDialog::accept, Qt::QueuedConnection);
}

inline void PressCancel(QFileDialog& dialog)
{
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    buttons->button(QDialogButtonBox::Cancel)->click();
}

// A step that notes a message box's text and presses its button; a box without that button
// is closed, and the test fails on what it said.
inline ModalScript::Step Press(QMessageBox::StandardButton button, QStringList& texts)
{
    return OnModal<QMessageBox>([button, &texts](QMessageBox& box) {
        texts << box.text();
        if (QAbstractButton* pressed = box.button(button))
            pressed->click();
        else
            box.close();
    });
}

// An environment variable set (or, for nullptr, removed) for a scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value)
        : name_(name), previous_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name))
    {
        if (value == nullptr)
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (had_)
            qputenv(name_, previous_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray previous_;
    bool had_;
};

} // namespace gui_test
