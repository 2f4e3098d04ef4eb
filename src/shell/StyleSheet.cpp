#include "shell/StyleSheet.h"

#include "shell/Settings.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFileInfo>

const QStringList& PendroluxCssLines()
{
    static const QStringList lines = {
        QStringLiteral("@charset \"utf-8\";"),
        QStringLiteral("body, table, h1, h2, h3, h4, h5, blockquote, p\t{ font-family: \"새굴림\", \"NGULIM\";    "
                       "font-size: 11pt;   line-height: 135%;   text-align: justify }"),
        QStringLiteral("/* body  { text-indent: 1.5em; } */"),
        QStringLiteral("blockquote  { text-indent: 0px; }"),
        QStringLiteral("DT \t  { text-indent: 0px; margin-left: 20px; }"),
        QStringLiteral("sup   {  font-weight: bold;  color: red; text-decoration: underline; }"),
        QStringLiteral("h1 {   font-weight: bold;  font-size: 16pt;  }"),
        QStringLiteral("h2 {   font-weight: bold;  font-size: 15pt;  }"),
        QStringLiteral("h3 {   font-weight: bold;  font-size: 14pt;  }"),
        QStringLiteral("h4 {   font-weight: bold;  font-size: 13pt;  }"),
        QStringLiteral("h5 {   font-weight: bold;  font-size: 12pt;  }"),
        QStringLiteral("h6,h7,h8,h9 {   font-weight: bold;  font-size: 12pt;  }"),
        QString(),
        QStringLiteral("a:link  {  text-decoration: none; color:#0088ff; }"),
        QStringLiteral("a:visited  {  text-decoration: none; color:#0088ff; }"),
        QStringLiteral("a:hover  {  text-decoration: none; color:#0088ff; }"),
        QStringLiteral("font a  {  text-decoration: none; color:#333333; }"),
        QString(),
    };
    return lines;
}

QString PendroluxFolder() { return DataFolder() + QStringLiteral("/pendrolux"); }

QString PendroluxCssFileName() { return PendroluxFolder() + QStringLiteral("/pendrolux.css"); }

bool EnsurePendroluxFolder()
{
    const QString folder = PendroluxFolder();
    if (QFileInfo(folder).isDir())
        return true;
    return QDir().mkpath(folder) && QFileInfo(folder).isDir();
}

bool WritePendroluxCss(QString* error)
{
    return WriteFileAtomic(PendroluxCssFileName(), EncodeLines(PendroluxCssLines(), TextEncoding::Utf8), error);
}
