// Every test binary runs with its own settings folder and application folder, so no test reads or writes the
// user's settings or working folders.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef VARNHOLD_TEST_WITH_WIDGETS
#include <QApplication>
#endif

int main(int argc, char** argv) {
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QTemporaryDir appHome;
    qputenv("VARNHOLD_HOME", appHome.path().toUtf8());
#ifdef VARNHOLD_TEST_WITH_WIDGETS
    // ctest lists the cases right after the link, outside the tests' environment, and that needs no display either.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    ::testing::InitGoogleTest(&argc, argv);
#ifdef VARNHOLD_TEST_WITH_WIDGETS
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    QCoreApplication::setApplicationName("Varnhold");
    return RUN_ALL_TESTS();
}
