#pragma once
// The folder a package is extracted into: its sub-folders made step by step, never through a symbolic link, and
// each file written under a work name beside its place and renamed there once it is complete and checked.

#include <string>
#include <vector>

namespace sfx {

class Target {
  public:
    /// Makes the folder (and its parents) when missing; error() says why when it could not.
    explicit Target(const std::string& folder);
    ~Target();
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    bool ok() const { return root >= 0; }
    const std::string& error() const { return problem; }
    const std::string& path() const { return where; }

    /// The descriptor of the folder the steps lead to below the target, made where missing; -1 (error() set) when
    /// a step is a symbolic link or not a folder.
    int folder(const std::vector<std::string>& steps);
    /// True when something of that name (a link too) is already there.
    bool exists(const std::vector<std::string>& steps);

  private:
    std::string where;
    std::string problem;
    int root = -1;
    std::vector<std::string> cachedSteps;
    int cachedFd = -1;
};

} // namespace sfx
