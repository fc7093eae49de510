// varnhold-sfx: the program at the front of a self-extracting package. It reads the zip package appended to its own
// file and lists, tests or extracts it, with the zip layer's rules for safe extraction, and without Qt.

#include "AppendedPackage.h"
#include "SfxNames.h"
#include "Target.h"
#include "app/Version.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 3;

volatile sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

// Without SA_RESTART, so a prompt that waits for a line returns at Ctrl-C.
void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

std::string program = "varnhold-sfx";

void printError(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program.c_str(), message.c_str());
}

void printUsage(FILE* to) {
    std::fprintf(to,
                 "Usage: %s [--to DIR] [--password TEXT] [--overwrite]\n"
                 "       %s --list | --test [--password TEXT]\n"
                 "Extracts the zip package inside this program. Without options it asks where to.\n"
                 "  --list            list the entries: size, date, name\n"
                 "  --test            read every entry and check its CRC\n"
                 "  --to DIR          extract into DIR without asking\n"
                 "  --password TEXT   the password of encrypted entries (else asked on the terminal)\n"
                 "  --overwrite       replace existing files (else they are kept and counted)\n"
                 "  --help            this text\n"
                 "  --version         the version of the extractor (varnhold-sfx)\n",
                 program.c_str(), program.c_str());
}

int usageError(const std::string& message) {
    printError(message);
    printUsage(stderr);
    return kExitUsage;
}

struct Options {
    enum class Mode { Extract, List, Test } mode = Mode::Extract;
    bool ask = false; ///< no arguments: the folder (and a password) are asked on the terminal
    std::string to, password;
    bool overwrite = false;
};

// The progress line: on stdout only when it is a terminal, at most ten times a second.
struct Progress {
    bool shown = false;
    bool enabled = ::isatty(STDOUT_FILENO) == 1;
    std::chrono::steady_clock::time_point last{};

    void update(int64_t done, int64_t total, long files) {
        const auto now = std::chrono::steady_clock::now();
        if (!enabled || now - last < std::chrono::milliseconds(100)) return;
        last = now;
        std::printf("\rExtracting %3d%%  %ld files", total > 0 ? int(done * 100 / total) : 100, files);
        std::fflush(stdout);
        shown = true;
    }
    void clear() {
        if (!shown) return;
        std::printf("\r%40s\r", "");
        std::fflush(stdout);
        shown = false;
    }
};
Progress progress;

// One line from stdin; hidden turns the terminal's echo off meanwhile. False at end of input or Ctrl-C.
bool readLine(std::string& line, bool hidden) {
    termios old{};
    const bool quiet = hidden && ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (quiet) {
        termios noEcho = old;
        noEcho.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &noEcho);
    }
    line.clear();
    bool got = false;
    for (char c; !interrupted;) {
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got = true;
        if (c == '\n') break;
        line += c;
    }
    if (quiet) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
        std::fputc('\n', stderr);
    }
    return got && !interrupted;
}

// libarchive asks again while the password it was given does not fit; three tries, then it reports the entry.
struct PasswordAsker {
    bool mayAsk = false;
    int asked = 0;
    std::string typed;

    static const char* ask(archive*, void* self) {
        auto* p = static_cast<PasswordAsker*>(self);
        if (!p->mayAsk || p->asked >= 3 || interrupted) return nullptr;
        progress.clear();
        std::fputs(p->asked ? "Wrong password. Password: " : "Password: ", stderr);
        ++p->asked;
        if (!readLine(p->typed, true) || p->typed.empty()) return nullptr;
        return p->typed.c_str();
    }
};

std::string errorOf(archive* reader) {
    const char* text = archive_error_string(reader);
    return text ? text : "unknown error";
}

// What went wrong in an entry's data, in the user's words.
std::string dataProblem(archive* reader, archive_entry* entry, bool& wrongPassword) {
    const std::string text = errorOf(reader);
    if (text.find("Incorrect passphrase") != std::string::npos) {
        wrongPassword = true;
        return "wrong password";
    }
    if (text.find("Passphrase required") != std::string::npos) {
        wrongPassword = true;
        return "a password is needed (--password)";
    }
    return std::string(archive_entry_is_encrypted(entry) ? "wrong password or damaged data (" : "damaged data (") +
           text + ")";
}

std::string entryName(archive_entry* entry) {
    const char* name = archive_entry_pathname(entry);
    return name ? name : "";
}

std::string damagedPackage(archive* reader) {
    return "the package in this program is damaged: " + errorOf(reader);
}

int listEntries(archive* reader) {
    archive_entry* entry;
    int r;
    while ((r = archive_read_next_header(reader, &entry)) == ARCHIVE_OK || r == ARCHIVE_WARN) {
        if (interrupted) return kExitInterrupted;
        const time_t when = archive_entry_mtime(entry);
        char date[32] = "";
        struct tm local;
        if (::localtime_r(&when, &local)) std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", &local);
        std::printf("%12lld  %s  %s\n", static_cast<long long>(archive_entry_size(entry)), date,
                    sfx::printable(entryName(entry)).c_str());
    }
    if (r == ARCHIVE_EOF) return kExitOk;
    printError(damagedPackage(reader));
    return kExitFailure;
}

int testEntries(archive* reader) {
    archive_entry* entry;
    long entries = 0, bad = 0;
    int r;
    while ((r = archive_read_next_header(reader, &entry)) == ARCHIVE_OK || r == ARCHIVE_WARN) {
        ++entries;
        const void* block;
        size_t size;
        la_int64_t offset;
        int got = ARCHIVE_OK;
        if (archive_entry_filetype(entry) == AE_IFREG)
            while (!interrupted && (got = archive_read_data_block(reader, &block, &size, &offset)) == ARCHIVE_OK) {
            }
        if (interrupted) {
            printError("interrupted");
            return kExitInterrupted;
        }
        if (got != ARCHIVE_OK && got != ARCHIVE_EOF) {
            bool wrongPassword = false;
            const std::string why = dataProblem(reader, entry, wrongPassword);
            std::printf("FAILED %s: %s\n", sfx::printable(entryName(entry)).c_str(), why.c_str());
            ++bad;
        }
    }
    if (r != ARCHIVE_EOF) {
        printError(damagedPackage(reader));
        return kExitFailure;
    }
    if (bad) {
        std::printf("%ld of %ld entries failed\n", bad, entries);
        return kExitFailure;
    }
    std::printf("OK: %ld entries, no errors\n", entries);
    return kExitOk;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

class Extraction {
  public:
    Extraction(archive* reader, sfx::Target& target, bool overwrite, int64_t packageSize,
               const sfx::AppendedPackage& package)
        : reader(reader), target(target), overwrite(overwrite), packageSize(packageSize), package(package) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        umask = mask;
    }

    int run();

  private:
    enum class Outcome { Written, Failed, WrongPassword, Interrupted };
    Outcome extractFile(archive_entry* entry, const std::vector<std::string>& steps);
    void refuse(const std::string& name, const std::string& why) {
        progress.clear();
        printError("refused " + sfx::printable(name) + ": " + why);
        ++refused;
    }
    void fail(const std::string& name, const std::string& why) {
        progress.clear();
        printError("failed " + sfx::printable(name) + ": " + why);
        ++failed;
    }

    archive* reader;
    sfx::Target& target;
    bool overwrite;
    int64_t packageSize;
    const sfx::AppendedPackage& package;
    mode_t umask = 022;
    long written = 0, skipped = 0, refused = 0, failed = 0;
    unsigned long workFiles = 0;
    std::string passwordProblem;
};

Extraction::Outcome Extraction::extractFile(archive_entry* entry, const std::vector<std::string>& steps) {
    const std::string name = entryName(entry);
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    // The first block comes before anything is made: a wrong password then leaves not even a folder.
    int got = archive_read_data_block(reader, &block, &size, &offset);
    bool wrongPassword = false;
    if (got != ARCHIVE_OK && got != ARCHIVE_EOF) {
        const std::string why = dataProblem(reader, entry, wrongPassword);
        if (wrongPassword) {
            passwordProblem = why;
            return Outcome::WrongPassword;
        }
        fail(name, why);
        return Outcome::Failed;
    }
    const int folderFd = target.folder({steps.begin(), steps.end() - 1});
    if (folderFd < 0) {
        fail(name, target.error());
        return Outcome::Failed;
    }
    const std::string& file = steps.back();
    // A work file of this program's own form (".NAME.vhw-PID-N"), which later runs know to sweep.
    char mark[64];
    std::snprintf(mark, sizeof mark, ".vhw-%ld-%lu", long(::getpid()), ++workFiles);
    std::string temp(1, '.');
    temp.append(file, 0, 200).append(mark);
    const int fd = ::openat(folderFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        fail(name, std::strerror(errno));
        return Outcome::Failed;
    }
    const int64_t declared = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : INT64_MAX;
    int64_t done = 0;
    std::string problem;
    Outcome outcome = Outcome::Written;
    while (got == ARCHIVE_OK) {
        if (interrupted) {
            outcome = Outcome::Interrupted;
            break;
        }
        if (offset != done || int64_t(size) > declared - done) {
            problem = "holds more than it declares";
            break;
        }
        if (!writeAll(fd, static_cast<const char*>(block), size)) {
            problem = std::strerror(errno);
            break;
        }
        done += int64_t(size);
        progress.update(package.consumed(), packageSize, written);
        got = archive_read_data_block(reader, &block, &size, &offset);
    }
    if (problem.empty() && outcome == Outcome::Written && got != ARCHIVE_EOF)
        problem = dataProblem(reader, entry, wrongPassword);
    if (problem.empty() && outcome == Outcome::Written) {
        // Permissions from the package without set-user or set-group bits; the exec bits are kept.
        const mode_t mode = (0644 | (archive_entry_perm(entry) & 0111)) & ~umask;
        const timespec times[2] = {{0, UTIME_OMIT},
                                   {archive_entry_mtime(entry), archive_entry_mtime_is_set(entry)
                                                                    ? archive_entry_mtime_nsec(entry)
                                                                    : long(UTIME_OMIT)}};
        if (::fchmod(fd, mode) != 0 || ::futimens(fd, times) != 0) problem = std::strerror(errno);
    }
    if (::close(fd) != 0 && problem.empty() && outcome == Outcome::Written) problem = std::strerror(errno);
    if (problem.empty() && outcome == Outcome::Written &&
        ::renameat2(folderFd, temp.c_str(), folderFd, file.c_str(), overwrite ? 0 : RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) {
            ::unlinkat(folderFd, temp.c_str(), 0);
            ++skipped;
            return Outcome::Written;
        }
        problem = std::strerror(errno);
    }
    if (!problem.empty() || outcome != Outcome::Written) {
        ::unlinkat(folderFd, temp.c_str(), 0);
        if (outcome != Outcome::Written) return outcome;
        if (wrongPassword) {
            passwordProblem = problem;
            return Outcome::WrongPassword;
        }
        fail(name, problem);
        return Outcome::Failed;
    }
    ++written;
    return Outcome::Written;
}

int Extraction::run() {
    archive_entry* entry;
    std::vector<std::vector<std::string>> folders;
    int r;
    while ((r = archive_read_next_header(reader, &entry)) == ARCHIVE_OK || r == ARCHIVE_WARN) {
        if (interrupted) break;
        const std::string name = entryName(entry);
        const std::string unsafe = sfx::unsafeNameReason(name);
        const auto type = archive_entry_filetype(entry);
        // A link could point anywhere, and a later entry written through it would land outside the target.
        if (type == AE_IFLNK) {
            refuse(name, "symbolic links are not extracted");
            continue;
        }
        if (!unsafe.empty()) {
            refuse(name, unsafe);
            continue;
        }
        const std::vector<std::string> steps = sfx::nameSteps(name);
        if (type == AE_IFDIR) {
            // Made at the end, so a package that fails at its first file leaves nothing.
            folders.push_back(steps);
            continue;
        }
        if (type != AE_IFREG || steps.empty()) {
            refuse(name, "not a regular file");
            continue;
        }
        if (!overwrite && target.exists(steps)) {
            ++skipped;
            continue;
        }
        const Outcome outcome = extractFile(entry, steps);
        if (outcome == Outcome::Interrupted) break;
        if (outcome == Outcome::WrongPassword) {
            progress.clear();
            printError(sfx::printable(entryName(entry)) + ": " + passwordProblem +
                       (written ? "; the files extracted before it are kept" : ""));
            return kExitFailure;
        }
    }
    progress.clear();
    if (interrupted) {
        printError("interrupted");
        return kExitInterrupted;
    }
    if (r != ARCHIVE_EOF) {
        printError(damagedPackage(reader));
        return kExitFailure;
    }
    for (const std::vector<std::string>& folder : folders)
        if (target.folder(folder) < 0) fail(std::string(), target.error());
    std::printf("Extracted %ld file%s to %s\n", written, written == 1 ? "" : "s",
                sfx::printable(target.path()).c_str());
    if (skipped)
        std::printf("Kept %ld existing file%s (--overwrite replaces them)\n", skipped, skipped == 1 ? "" : "s");
    if (refused || failed) {
        const long left = refused + failed;
        printError(std::to_string(left) + (left == 1 ? " entry was" : " entries were") + " not extracted");
        return kExitFailure;
    }
    return kExitOk;
}

std::string ownFileName() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : program;
}

// The folder asked on the terminal: Enter takes the one named after this program.
bool askFolder(std::string& folder) {
    folder = sfx::defaultFolderFor(ownFileName());
    struct stat st;
    if (::lstat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) folder += "-files";
    std::fprintf(stderr, "Extract to [%s]: ", sfx::printable(folder).c_str());
    std::string answer;
    if (!readLine(answer, false)) return false;
    if (!answer.empty()) folder = answer;
    return true;
}

int parse(int argc, char** argv, Options& options) {
    options.ask = argc == 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return kExitOk;
        } else if (arg == "--version") {
            std::printf("varnhold-sfx %s\n", VARNHOLD_VERSION);
            return kExitOk;
        } else if (arg == "--list")
            options.mode = Options::Mode::List;
        else if (arg == "--test")
            options.mode = Options::Mode::Test;
        else if (arg == "--overwrite")
            options.overwrite = true;
        else if (arg == "--to") {
            if (!value(options.to) || options.to.empty()) return usageError("--to needs a folder");
        } else if (arg == "--password") {
            if (!value(options.password) || options.password.empty()) return usageError("--password needs a text");
        } else
            return usageError("unknown option: " + sfx::printable(arg));
    }
    if (options.mode != Options::Mode::Extract && (!options.to.empty() || options.overwrite))
        return usageError("--to and --overwrite are for extracting");
    if (!options.ask && options.mode == Options::Mode::Extract && options.to.empty())
        return usageError("say where to extract with --to DIR");
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 0 && argv[0][0]) {
        const std::string path = argv[0];
        program = path.substr(path.rfind('/') + 1);
    }
    // Names flagged as UTF-8 are handed over as they are stored only when the program's character set is UTF-8 too.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    Options options;
    if (const int exit = parse(argc, argv, options); exit >= 0) return exit;
    catchInterrupt();

    sfx::AppendedPackage package;
    if (!package.error.empty()) {
        printError(package.error);
        return kExitFailure;
    }
    archive* reader = archive_read_new();
    archive_read_support_format_zip_seekable(reader);
    PasswordAsker asker;
    asker.mayAsk = options.ask || ::isatty(STDIN_FILENO);
    if (!options.password.empty()) archive_read_add_passphrase(reader, options.password.c_str());
    archive_read_set_passphrase_callback(reader, &asker, &PasswordAsker::ask);
    int exit;
    if (package.open(reader) != ARCHIVE_OK) {
        // Its end, where the directory of the entries is, is missing or not a zip end.
        printError("the package in this program is damaged or cut short: " + errorOf(reader));
        exit = kExitFailure;
    } else if (options.mode == Options::Mode::List)
        exit = listEntries(reader);
    else if (options.mode == Options::Mode::Test)
        exit = testEntries(reader);
    else {
        std::string folder = options.to;
        if (options.ask && !askFolder(folder)) {
            printError(interrupted ? "interrupted" : "no folder given");
            archive_read_free(reader);
            return interrupted ? kExitInterrupted : kExitFailure;
        }
        sfx::Target target(folder);
        if (!target.ok()) {
            printError(target.error());
            exit = kExitFailure;
        } else
            exit = Extraction(reader, target, options.overwrite, package.size, package).run();
    }
    archive_read_free(reader);
    // Started without arguments in a terminal window of its own (from the file manager, or the maker's Test), the
    // window would close with the last line: the user reads it first.
    if (options.ask && !interrupted && ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO)) {
        std::fputs("Press Enter to close.", stdout);
        std::fflush(stdout);
        for (int c = std::getchar(); c != EOF && c != '\n';)
            c = std::getchar();
    }
    return interrupted ? kExitInterrupted : exit;
}
