#pragma once
// Our own check of a job before an upload, wider than the pre-upload check of the window: every
// article loads and renders, every image tag names a file under img/, the connection, page and
// image link files match today's trees, every meta result file is newer than its index, and no
// link is broken. It finds every problem instead of stopping at the first, and writes nothing.

#include "jobs/JobDefine.h"
#include "tagging/Links.h"

#include <QList>
#include <QString>
#include <QStringList>

struct TJobProblem {
    QString where; // a file relative to the job folder, or a tab name
    QString what;
    QString fix;

    QString Line() const { return where + QLatin1Char('\t') + what + QLatin1Char('\t') + fix; }
};

// `keywordTabIds`: the tab IDs of the keyword definitions; `products`: the product list that
// product links are checked against.
QList<TJobProblem> RunJobPreflight(const TJobDefine& job, const QStringList& keywordTabIds,
                                   const TProductRows& products);

// The sources of the image tags of an article's lines (<img ... src=...>, any letter case).
QStringList ImageTagSources(const QStringList& lines);
// Why the upload will not send the file an image tag names: no source, not under {job}/img,
// no inserted images sent at all, missing, hidden, a link, too deep, not ".jpg", unreadable or
// not JPEG inside ("" when it will). `sourceImagesAvailable` false: a job with source images has
// none to send, so the image option is off and no inserted image goes either.
QString ImageSourceProblem(const TJobDefine& job, const QString& source, bool sourceImagesAvailable = true);
// One line per image tag of an article whose file stays behind: "기사 N(title): why".
QStringList ArticleImageProblems(const TJobDefine& job, int article, const QString& title, const QStringList& lines,
                                 bool sourceImagesAvailable = true);
