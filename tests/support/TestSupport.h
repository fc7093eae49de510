#pragma once
// Helpers shared by the tests: temporary trees, files with chosen contents and times, peer tools.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <ostream>
#include <stdexcept>

class QWidget;

// Readable values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '"' << (b.size() > 200 ? b.left(200).toStdString() + "..." : b.toStdString()) << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << (l.isEmpty() ? QString("{ }") : "{ \"" + l.join("\" \"") + "\" }").toStdString();
}

namespace testsupport {

/// A temporary folder removed at the end of the test; path() has no trailing "/".
struct TempDir : QTemporaryDir {
    TempDir();
    /// Removes the tree by its bytes first: QTemporaryDir cannot name files whose names are not UTF-8.
    ~TempDir();
    /// path() + "/" + relative
    QString file(const QString& relative) const { return path() + "/" + relative; }
};

/// The named child of a form; a missing one throws, which fails the test instead of crashing it.
template <class T> T* child(const QObject& parent, const QString& name) {
    if (T* found = parent.findChild<T*>(name)) return found;
    throw std::runtime_error("no control named " + name.toStdString());
}

/// The object names among names in the order Tab reaches them in a form, starting at the first of them. (A template
/// so that this support library needs no widgets; only the widget tests call it.)
template <class Widget = QWidget> QStringList tabOrder(const QObject& form, const QStringList& names) {
    QStringList order;
    Widget* first = form.findChild<Widget*>(names.value(0));
    for (Widget* w = first; w && order.size() < names.size(); w = w->nextInFocusChain()) {
        if (names.contains(w->objectName()) && !order.contains(w->objectName())) order << w->objectName();
        if (w->nextInFocusChain() == first) break;
    }
    return order;
}

/// Writes bytes to path (parent folders created); sets the modification time when given.
void writeFile(const QString& path, const QByteArray& bytes, const QDateTime& modified = {});
QByteArray readFile(const QString& path);
/// Writes bytes to path, which may carry bytes that are not UTF-8 (NativePath); its folder must exist.
void writeNativeFile(const QString& path, const QByteArray& bytes);
/// Bytes that compress like ordinary text, repeatable from a seed.
QByteArray sampleText(int size, int seed = 1);
/// Bytes that do not compress.
QByteArray randomBytes(int size, int seed = 1);

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};
/// Runs a program with an argument list (never a shell) and waits for it. Arguments reach it as the bytes they
/// name (NativePath), so a path that is not UTF-8 can be given.
ToolRun runTool(const QString& program, const QStringList& args, const QString& workDir = {},
                const QByteArray& input = {}, int timeoutMs = 120000);
/// True when the program is on PATH.
bool haveTool(const QString& program);

/// Expects `unzip -t` (skipped for AES packages, which unzip 6 cannot read) and `7z t` to accept the package.
void expectPeersAccept(const QString& package, const QString& password = {}, bool aes = false);

/// Writes a package with Python's zipfile. entries is a Python list of (name, (y, m, d, h, mi, s), size) with size
/// None for a folder entry; every file holds size times "x", deflated. Throws when Python fails.
void makeZip(const QString& path, const QString& entries, const QString& comment = {});

/// Five files and a folder entry: names that differ in case, a name met twice in different folders, sizes 9
/// and 10 (a text sort would put "10" first), dates across years and an empty file.
inline const char* kRowsEntries = R"([
  ("b.txt",      (2020, 1, 2, 3, 4, 6),      9),
  ("A.TXT",      (2019, 12, 31, 23, 59, 58), 10),
  ("docs/",      (2021, 1, 1, 0, 0, 0),      None),
  ("docs/c.dat", (2021, 6, 1, 12, 0, 0),     1000),
  ("docs/b.txt", (1999, 1, 1, 0, 0, 0),      10),
  ("noext",      (2020, 1, 2, 3, 4, 6),      0),
])";

/// Lists the files below root as relative paths with "/" separators, sorted.
QStringList listTree(const QString& root);

/// The stored names of a package as `unzip -Z1` lists them, sorted.
QStringList storedNames(const QString& zip);
/// The stored names of a package we have open, sorted.
template <class Package, class = decltype(std::declval<const Package&>().entries())>
QStringList storedNames(const Package& zip) {
    QStringList names;
    for (const auto& e : zip.entries())
        names << e.storedName();
    names.sort();
    return names;
}

/// Another process holding a lock until its input closes, or until the test ends should it hang on. The one-path
/// form holds an exclusive flock and says "locked" once it has it.
struct LockHolder {
    QProcess process;
    explicit LockHolder(const QString& path) : LockHolder("flock", {"-o", path, "-c", "echo locked; read line"}) {}
    LockHolder(const QString& program, const QStringList& args) { process.start(program, args); }
    ~LockHolder() { release(); }
    /// Waits until the one-path form holds its lock.
    bool holding() { return process.waitForReadyRead(10000) && process.readAllStandardOutput().contains("locked"); }
    void release() {
        process.closeWriteChannel();
        if (!process.waitForFinished(3000)) process.kill(), process.waitForFinished(3000);
    }
};

/// Flips one byte inside the stored data of an entry (found by its first bytes), as a bad disk or a writer bug
/// would, so that its CRC no longer matches. The entry must be stored, not compressed.
void damage(const QString& package, const QByteArray& contents);

/// Polls for at most limitMs: other processes and threads act on their own schedule, and there is nothing to
/// wait on but the condition itself.
template <typename Condition> bool eventually(Condition condition, int limitMs = 10000) {
    const QDeadlineTimer deadline(limitMs);
    for (; !condition(); QThread::msleep(5))
        if (deadline.hasExpired()) return false;
    return true;
}

/// The name of the running test, usable as a settings store name of its own.
QString testName();
/// A settings store name of the running test that was not handed out before.
QString freshStore();

bool runningAsRoot();

/// Runs check() as a user who is not the superuser (the superuser reads and writes every file, so an unreadable
/// file needs someone else): in place when we are not root, else in a child that has dropped to "nobody".
/// Returns check()'s result (0 for success), 125 when privileges could not be dropped, -1 on a crash. check may
/// not use GoogleTest assertions: a child reports through its exit code only.
int runUnprivileged(const std::function<int()>& check);

} // namespace testsupport
