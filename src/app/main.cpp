#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/frmMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLockFile>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VUX - Quilo Maker"));
    QApplication::setApplicationVersion(QStringLiteral(QUILO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quilo-maker"));

    // The operators read Korean: the toolkit's own buttons and dialogs ("예", "아니요") too.
    QTranslator qtKorean;
    if (qtKorean.load(QStringLiteral("qtbase_ko"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtKorean);

    // One running copy per data folder: two copies would overwrite each other's settings.
    // The lock is released when the process ends, also when it dies.
    QLockFile lock(DataFolder() + QStringLiteral("/quilo-maker.lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0) && lock.error() == QLockFile::LockFailedError) {
        ShowInfoBox(nullptr, QStringLiteral("프로그램이 이미 실행중입니다."));
        return 1;
    }
    // A data folder where no lock can be written at all does not keep the operator out.

    // myLIB is the program-wide session object; it is constructed before main runs.
    if (!myLIB.isCreated)
        return 1;

    TfrmMain frmMain;
    frmMain.setWindowState(Qt::WindowNoState);
    frmMain.show();
    return app.exec();
}
