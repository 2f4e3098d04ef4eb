#include "shell/SingleInstance.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/frmMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before any window exists, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--version")) {
            std::printf("quilo-maker %s\n", QUILO_VERSION);
            return 0;
        }
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::printf("usage: quilo-maker [--help] [--version]\n\n"
                        "VUX - Quilo Maker: the desktop program that turns the source text of a book into e-book\n"
                        "content and uploads it to the production server. It opens the job of the last session.\n\n"
                        "Environment:\n"
                        "  QUILO_HOME        data folder (settings, files fetched at login); default\n"
                        "                    ~/.local/share/quilo-maker\n"
                        "  QUILO_SERVER_URL  production server address; default http://127.0.0.1:8079\n");
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VUX - Quilo Maker"));
    QApplication::setApplicationVersion(QStringLiteral(QUILO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quilo-maker"));
    QApplication::setWindowIcon(ProgramIcon());

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
