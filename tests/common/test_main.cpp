#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QTemporaryDir>
#ifdef QUILO_UI_TEST
#include <QApplication>
using TestApp = QApplication;
#else
#include <QCoreApplication>
using TestApp = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    // Every test program gets its own data folder, so settings never touch the operator's.
    QTemporaryDir home;
    qputenv("QUILO_HOME", home.path().toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    TestApp app(argc, argv);
    TestApp::setApplicationName("VUX - Quilo Maker");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
