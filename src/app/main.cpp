#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/frmMain.h"

#include <QApplication>
#include <QLockFile>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VUX - Quilo Maker"));
    QApplication::setApplicationVersion(QStringLiteral(QUILO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quilo-maker"));

    // One running copy per data folder: two copies would overwrite each other's settings.
    // The lock is released when the process ends, also when it dies.
    QLockFile lock(DataFolder() + QStringLiteral("/quilo-maker.lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        ShowInfoBox(nullptr, QStringLiteral("프로그램이 이미 실행중입니다."));
        return 1;
    }

    // myLIB is the program-wide session object; it is constructed before main runs.
    if (!myLIB.isCreated)
        return 1;

    TfrmMain frmMain;
    frmMain.setWindowState(Qt::WindowNoState);
    frmMain.show();
    return app.exec();
}
