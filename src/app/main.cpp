#include "shell/SingleInstance.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/frmMain.h"

#include <QApplication>
#include <QLibraryInfo>
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

    SingleInstance instance;
    if (!instance.TryAcquire()) {
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
