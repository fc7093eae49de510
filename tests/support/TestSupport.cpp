#include "TestSupport.h"

#include "utility/NativePath.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir() : QTemporaryDir(QDir::tempPath() + "/varnhold-test-XXXXXX") {}

TempDir::~TempDir() {
    const auto removeOne = [](const char* path, const struct stat*, int, FTW*) { return ::remove(path), 0; };
    if (isValid()) ::nftw(NativePath::encode(path()).constData(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

void writeFile(const QString& path, const QByteArray& bytes, const QDateTime& modified) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
    // Flush first: data still buffered would be written at close and move the time on again.
    f.flush();
    if (modified.isValid()) f.setFileTime(modified, QFileDevice::FileModificationTime);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeNativeFile(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(NativePath::encode(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        qFatal("cannot write %s", qPrintable(NativePath::display(path)));
    ::close(fd);
}

QByteArray sampleText(int size, int seed) {
    static const char* words[] = {"backup ", "zip ",       "package ",  "folder ", "file ",   "entry ", "the ",
                                  "of ",     "settings\n", "Varnhold ", "2026 ",   "report ", "data ",  "\n"};
    QRandomGenerator gen(seed);
    QByteArray out;
    while (out.size() < size)
        out += words[gen.bounded(int(std::size(words)))];
    return out.left(size);
}

QByteArray randomBytes(int size, int seed) {
    QRandomGenerator gen(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        out[i] = char(gen.bounded(256));
    return out;
}

ToolRun runTool(const QString& program, const QStringList& args, const QString& workDir, const QByteArray& input,
                int timeoutMs) {
    QProcess p;
    if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
    // QProcess hands arguments over through QFile::encodeName, which cannot give back a byte that is not UTF-8; a
    // path carrying one (NativePath) reaches the program as its bytes when the child starts it itself.
    std::vector<QByteArray> native{QFile::encodeName(program)};
    for (const QString& arg : args)
        native.push_back(NativePath::encode(arg));
    std::vector<char*> argv;
    for (QByteArray& arg : native)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (std::any_of(args.begin(), args.end(), [](const QString& arg) { return NativePath::hasRawBytes(arg); }))
        p.setChildProcessModifier([&argv] { ::execvp(argv[0], argv.data()), ::_exit(127); });
    p.start(program, args);
    if (!p.waitForStarted()) return {-1, {}, "cannot start " + program};
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(timeoutMs);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

bool haveTool(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

void expectPeersAccept(const QString& package, const QString& password, bool aes) {
    SCOPED_TRACE(package.toStdString());
    const QStringList withPassword = password.isEmpty() ? QStringList() : QStringList{"-P", password};
    if (!aes) {
        const ToolRun unzip = runTool("unzip", QStringList{"-t", "-qq"} + withPassword << package);
        EXPECT_EQ(unzip.exitCode, 0) << qPrintable(unzip.out + unzip.err);
    }
    // An empty -p keeps 7z from asking on a terminal.
    const ToolRun sevenZip = runTool("7z", {"t", "-bd", "-p" + password, package});
    EXPECT_EQ(sevenZip.exitCode, 0) << qPrintable(sevenZip.out + sevenZip.err);
}

void makeZip(const QString& path, const QString& entries, const QString& comment) {
    static const char* script = R"(
import sys, zipfile
entries = eval(sys.argv[2])
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name, date, size in entries:
        info = zipfile.ZipInfo(name, date)
        if size is None:
            info.external_attr = 0o40755 << 16 | 0x10
            z.writestr(info, "")
        else:
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, "x" * size)
    z.comment = sys.argv[3].encode()
)";
    const ToolRun run = runTool("python3", {"-c", script, path, entries, comment});
    if (run.exitCode != 0) throw std::runtime_error("python3 zipfile failed: " + run.err.toStdString());
}

QStringList listTree(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

QStringList storedNames(const QString& zip) {
    QStringList names = runTool("unzip", {"-Z1", zip}).out.split(u'\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

void damage(const QString& package, const QByteArray& contents) {
    QByteArray bytes = readFile(package);
    const qsizetype at = bytes.indexOf(contents.left(200));
    ASSERT_GT(at, 0) << "the entry must be stored, not compressed";
    bytes[at + 100] = char(bytes[at + 100] ^ 0x20);
    writeFile(package, bytes);
}

QString testName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return QStringLiteral("VarnholdTest-%1-%2").arg(info->test_suite_name(), info->name()).replace(u'/', u'-');
}

QString freshStore() {
    static int counter = 0;
    return testName() + QStringLiteral("-%1").arg(++counter);
}

bool runningAsRoot() {
    return geteuid() == 0;
}

int runUnprivileged(const std::function<int()>& check) {
    if (!runningAsRoot()) return check();
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
        _exit(check()); // _exit: the test framework's exit handlers belong to the parent
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace testsupport
