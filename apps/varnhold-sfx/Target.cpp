#include "Target.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sfx {

namespace {

// Opens or makes one step below fd; a link or a file in the way is refused, never followed.
int stepInto(int fd, const std::string& step, std::string& problem) {
    int next = ::openat(fd, step.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT) {
        if (::mkdirat(fd, step.c_str(), 0777) != 0 && errno != EEXIST) {
            problem = step + ": " + std::strerror(errno);
            return -1;
        }
        next = ::openat(fd, step.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (next < 0) {
        const bool blocked = errno == ELOOP || errno == ENOTDIR;
        problem = step + (blocked ? ": a symbolic link or a file is in the place of a folder"
                                  : std::string(": ") + std::strerror(errno));
    }
    return next;
}

} // namespace

Target::Target(const std::string& folder) : where(folder) {
    // The user's own path may pass through links; only what lies below it is made and checked here.
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        ::mkdir(folder.substr(0, slash).c_str(), 0777);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        problem = folder + ": " + std::strerror(errno);
        return;
    }
    root = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) problem = folder + ": " + std::strerror(errno);
}

Target::~Target() {
    if (cachedFd >= 0 && cachedFd != root) ::close(cachedFd);
    if (root >= 0) ::close(root);
}

int Target::folder(const std::vector<std::string>& steps) {
    if (cachedFd >= 0 && steps == cachedSteps) return cachedFd;
    if (cachedFd >= 0 && cachedFd != root) ::close(cachedFd);
    cachedFd = -1;
    int fd = root;
    for (const std::string& step : steps) {
        const int next = stepInto(fd, step, problem);
        if (fd != root) ::close(fd);
        if (next < 0) return -1;
        fd = next;
    }
    cachedSteps = steps;
    return cachedFd = fd;
}

bool Target::exists(const std::vector<std::string>& steps) {
    std::string path = where;
    for (const std::string& step : steps)
        path += '/' + step;
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace sfx
