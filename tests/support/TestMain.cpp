// Every test binary runs with its own settings folder and application folder, so no test reads or writes the
// user's settings or working folders.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef VARNHOLD_TEST_WITH_WIDGETS
#include <QApplication>
using Application = QApplication;
#else
using Application = QCoreApplication;
#endif

int main(int argc, char** argv) {
    QTemporaryDir configHome, appHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    qputenv("VARNHOLD_HOME", appHome.path().toUtf8());
    // ctest lists the cases right after the link, outside the tests' environment, and that needs no display either.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    Application app(argc, argv);
    QCoreApplication::setApplicationName("Varnhold");
    return RUN_ALL_TESTS();
}
