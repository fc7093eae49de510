#pragma once
// Finding a dialog's controls by the object names the program gives them.

#include <QObject>
#include <stdexcept>
#include <string>

namespace dialogtest {

/// The named child; a missing control throws, which fails the test instead of crashing it.
template <class T> T* child(const QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no control named ") + name);
    return found;
}

} // namespace dialogtest
