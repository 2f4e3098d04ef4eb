#include "shell/Interaction.h"

#include <cstdio>

bool ConfirmStop(Interaction& ui)
{
    if (!ui.StopRequested())
        return false;
    if (ui.AskYesNo(QStringLiteral("취소합니까?")))
        return true;
    ui.ClearStop();
    return false;
}

static void PrintLine(FILE* stream, const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace("\r\n", "\n");
    bytes.append('\n');
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    fflush(stream);
}

void ConsoleInteraction::ShowInfo(const QString& text) { PrintLine(stderr, text); }

bool ConsoleInteraction::AskYesNo(const QString& text)
{
    PrintLine(stderr, text + QStringLiteral(" [예]"));
    return true;
}

void ConsoleInteraction::Report(const QString& line) { PrintLine(stderr, line); }
