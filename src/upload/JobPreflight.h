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
// Why an image tag's source is not a file under {job}/img ("" when it is).
QString ImageSourceProblem(const QString& jobFolder, const QString& source);
