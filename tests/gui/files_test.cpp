// Saving a file whole: the order in which its bytes and its name reach the disk, which
// existing files may be replaced, and the permissions a saved file gets, without the
// process's umask ever changing under its other threads.

#include "ui/files.h"

#include "gui_test_support.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <vector>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Every umask call of this program comes here (a definition in the program takes the place of
// the C library's) and is counted; the umask itself is set as the C library would.
namespace {
std::atomic<int> g_umaskCalls{0};

// The fsync and rename calls of the program, in their order, while a test watches them: the
// file each one concerns (for a rename, the file renamed) and, for a rename, the new name.
struct FileCall {
    enum Kind { Sync, Rename } kind;
    dev_t device;
    ino_t inode;
    std::string newName;
};
std::atomic<bool> g_watchingFileCalls{false};
std::mutex g_fileCallsMutex;
std::vector<FileCall> g_fileCalls;

void RecordFileCall(FileCall::Kind kind, const struct stat& file, const char* newName = "")
{
    if (!g_watchingFileCalls)
        return;
    const std::lock_guard<std::mutex> lock(g_fileCallsMutex);
    g_fileCalls.push_back({kind, file.st_dev, file.st_ino, newName});
}
} // namespace

extern "C" mode_t umask(mode_t mask) noexcept
{
    ++g_umaskCalls;
    return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

// Recorded, then done as the C library would.
extern "C" int fsync(int fd)
{
    struct stat file {};
    if (::fstat(fd, &file) == 0)
        RecordFileCall(FileCall::Sync, file);
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int rename(const char* oldName, const char* newName) noexcept
{
    struct stat file {};
    if (::lstat(oldName, &file) == 0)
        RecordFileCall(FileCall::Rename, file, newName);
    return ::renameat(AT_FDCWD, oldName, AT_FDCWD, newName);
}

using gui_test::ReadBytes;

namespace {

void WriteBytes(const QString& path, const std::string& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

mode_t ModeOf(const QString& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    return info.st_mode & 07777;
}

bool Save(const QString& path, const std::string& bytes, int* error = nullptr)
{
    AtomicFileWriter file;
    const bool saved = file.Open(path) && file.Commit(bytes);
    if (error != nullptr)
        *error = file.Error();
    return saved;
}

// Sets the process's umask for the life of the object, through the system call itself so
// that the count of the program's own calls stays the program's.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(static_cast<mode_t>(::syscall(SYS_umask, mask))) {}
    ~ScopedUmask() { ::syscall(SYS_umask, previous_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t previous_;
};

class AtomicSave : public ::testing::Test {
protected:
    QString PathOf(const QString& name) const { return QDir(folder.path()).filePath(name); }
    QStringList Entries() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir folder;
};

// Opening a read-only file for writing fails for a user, so saving over it does too, and the
// file stays whole. Root may open any file for writing: for root the save goes ahead, as
// writing the file in place would, and the file keeps its read-only permissions.
TEST_F(AtomicSave, ReadOnlyFileIsReplacedOnlyWhenItCouldBeOpenedForWriting)
{
    const QString path = PathOf("locked.QV_BTP_CFG");
    WriteBytes(path, "old contents");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);

    int error = 0;
    const bool saved = Save(path, "new contents", &error);
    if (::geteuid() != 0) {
        EXPECT_FALSE(saved);
        EXPECT_EQ(error, EACCES);
        EXPECT_EQ(ReadBytes(path), "old contents");
    } else {
        EXPECT_TRUE(saved);
        EXPECT_EQ(ReadBytes(path), "new contents");
    }
    EXPECT_EQ(ModeOf(path), 0444u);
    EXPECT_EQ(Entries(), QStringList{"locked.QV_BTP_CFG"}); // no temporary file left behind

    // A file that may be written is replaced whole.
    const QString open = PathOf("open.QV_BTP_CFG");
    WriteBytes(open, "old contents");
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0640), 0);
    EXPECT_TRUE(Save(open, "new contents"));
    EXPECT_EQ(ReadBytes(open), "new contents");
    EXPECT_EQ(ModeOf(open), 0640u);
}

// Whether the old file may be written is asked without opening it: a tool that watches it for
// writes sees none, although the file is replaced.
TEST_F(AtomicSave, ReplacingAFileNeverOpensItForWriting)
{
    const QString path = PathOf("watched.QV_BTP_CFG");
    WriteBytes(path, "old contents");
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(path).constData(), IN_MODIFY | IN_CLOSE_WRITE), 0);

    EXPECT_TRUE(Save(path, "new contents"));

    alignas(inotify_event) char events[4096];
    const ssize_t length = ::read(watch, events, sizeof events);
    std::uint32_t seen = 0;
    for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        seen |= event->mask;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    ::close(watch);
    EXPECT_EQ(seen & (IN_MODIFY | IN_CLOSE_WRITE), 0u);
    EXPECT_EQ(ReadBytes(path), "new contents");
}

// The file that takes the old one's place keeps its set-user-id, set-group-id and sticky bits,
// also when a user who is not root saves it: such a user's writes clear the first two.
TEST_F(AtomicSave, SpecialModeBitsSurviveASave)
{
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0777), 0); // anybody may save here
    for (const bool unprivileged : {false, true}) {
        for (const mode_t mode : {04755, 02755, 01755}) {
            SCOPED_TRACE(testing::Message() << (unprivileged ? "unprivileged " : "") << std::oct << mode);
            const QString path = PathOf(QString("tool%1-%2.QV_BTP_CFG").arg(unprivileged).arg(mode, 0, 8));
            WriteBytes(path, "old contents");
            // Owned by that user, and chown before chmod: chown clears the bits under test.
            if (unprivileged && ::geteuid() == 0) {
                ASSERT_EQ(::chown(QFile::encodeName(path).constData(), gui_test::kUnprivilegedUser,
                                  gui_test::kUnprivilegedGroup), 0);
            }
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);

            const auto save = [&path] { return std::string(Save(path, "new contents") ? "saved" : "refused"); };
            EXPECT_EQ(unprivileged ? gui_test::RunUnprivileged(save) : save(), "saved");
            EXPECT_EQ(ReadBytes(path), "new contents");
            EXPECT_EQ(ModeOf(path), mode);
        }
    }
}

// A name that somebody placed where the temporary file would go, a link to another file or a
// file of its own, is never written through: the save takes the next name.
TEST_F(AtomicSave, TemporaryNameTakenAlreadyIsPassedOver)
{
    const TemporaryFileNamer numbered = [](const QByteArray& target, int attempt) {
        return target + '.' + QByteArray::number(attempt);
    };
    const QString path = PathOf("site.QV_BPP_CFG");
    const QString victim = PathOf("victim");
    WriteBytes(victim, "the victim's bytes");
    ASSERT_TRUE(QFile::link(victim, path + ".0"));
    WriteBytes(path + ".1", "somebody else's bytes");

    AtomicFileWriter file(numbered);
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.Commit("new"));

    EXPECT_EQ(ReadBytes(victim), "the victim's bytes");
    EXPECT_EQ(ReadBytes(path + ".1"), "somebody else's bytes");
    EXPECT_TRUE(QFileInfo(path + ".0").isSymLink());
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(ReadBytes(path), "new");
}

TEST_F(AtomicSave, NewFileHasThePermissionsOfAnyNewFileAndTheUmaskStays)
{
    struct Case {
        mode_t umask;
        mode_t newFile;
    };
    const Case cases[] = {{022, 0644}, {027, 0640}, {077, 0600}, {0, 0666}, {002, 0664}};
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.umask);
        const ScopedUmask mask(c.umask);
        const int callsBefore = g_umaskCalls.load();

        const QString fresh = PathOf(QString("new%1.QV_BPP_CFG").arg(round++));
        EXPECT_TRUE(Save(fresh, "bytes"));
        EXPECT_EQ(ModeOf(fresh), c.newFile);
        // An existing file keeps its own permissions whatever the umask.
        EXPECT_TRUE(Save(fresh, "more bytes"));
        EXPECT_EQ(ModeOf(fresh), c.newFile);
        ASSERT_EQ(::chmod(QFile::encodeName(fresh).constData(), 0604), 0);
        EXPECT_TRUE(Save(fresh, "other bytes"));
        EXPECT_EQ(ModeOf(fresh), 0604u);

        EXPECT_EQ(g_umaskCalls.load(), callsBefore) << "the save changed the process's umask";
        EXPECT_EQ(static_cast<mode_t>(::syscall(SYS_umask, c.umask)), c.umask);
    }
}

// The new bytes reach the disk before they take the target's name, and the folder's new entry
// reaches it after: a power cut at any moment leaves the old file or the new one, whole.
TEST_F(AtomicSave, BytesReachTheDiskBeforeTheyTakeTheTargetsName)
{
    struct OrderCase {
        const char* what;
        const char* name;
        const char* linkedTo; // the name is a link to this file; nullptr: no link
        const char* old;      // the target's contents before; nullptr: no such file
    };
    const OrderCase cases[] = {
        {"a new file", "new.QV_BTP_CFG", nullptr, nullptr},
        {"an existing file", "old.QV_BTP_CFG", nullptr, "old contents"},
        {"a link to a file", "link.QV_BTP_CFG", "linked.QV_BTP_CFG", "old contents"},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = PathOf(c.name);
        const QString target = c.linkedTo != nullptr ? PathOf(c.linkedTo) : path;
        if (c.old != nullptr)
            WriteBytes(target, c.old);
        if (c.linkedTo != nullptr) {
            ASSERT_TRUE(QFile::link(target, path));
        }

        g_fileCalls.clear();
        g_watchingFileCalls = true;
        const bool saved = Save(path, "new contents");
        g_watchingFileCalls = false;
        ASSERT_TRUE(saved);
        EXPECT_EQ(ReadBytes(path), "new contents");

        struct stat savedFile {};
        struct stat savedFolder {};
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &savedFile), 0);
        ASSERT_EQ(::stat(QFile::encodeName(folder.path()).constData(), &savedFolder), 0);
        const auto concerns = [](const FileCall& call, FileCall::Kind kind, const struct stat& file) {
            return call.kind == kind && call.device == file.st_dev && call.inode == file.st_ino;
        };
        const auto begin = g_fileCalls.begin(), end = g_fileCalls.end();
        const auto renamed = std::find_if(begin, end, [&](const FileCall& call) {
            return concerns(call, FileCall::Rename, savedFile);
        });
        ASSERT_NE(renamed, end) << "the new file was never renamed";
        EXPECT_EQ(renamed->newName, QFile::encodeName(target).toStdString());
        const auto synced = [&](const struct stat& file) {
            return [&concerns, &file](const FileCall& call) { return concerns(call, FileCall::Sync, file); };
        };
        EXPECT_NE(std::find_if(begin, renamed, synced(savedFile)), renamed)
            << "the new bytes were not synced before the rename";
        EXPECT_NE(std::find_if(renamed, end, synced(savedFolder)), end) << "the folder was not synced after the rename";
    }
}

} // namespace
