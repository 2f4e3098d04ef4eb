#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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
    // Every test program gets its own data folder, home and desktop folders (trash included), so
    // nothing a test does touches the operator's files or the checkout; child processes inherit them.
    QTemporaryDir root;
    const QString base = root.path();
    const struct {
        const char* name;
        const char* sub;
    } folders[] = {{"QUILO_HOME", "/data"},
                   {"HOME", "/home"},
                   {"XDG_DATA_HOME", "/home/.local/share"},
                   {"XDG_CONFIG_HOME", "/home/.config"},
                   {"XDG_CACHE_HOME", "/home/.cache"},
                   {"XDG_RUNTIME_DIR", "/runtime"}};
    for (const auto& f : folders) {
        QDir().mkpath(base + f.sub);
        qputenv(f.name, QFile::encodeName(base + f.sub));
    }
    QFile::setPermissions(base + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QStandardPaths::setTestModeEnabled(true);
    TestApp app(argc, argv);
    TestApp::setApplicationName("VUX - Quilo Maker");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
