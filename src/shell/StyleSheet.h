#pragma once
// The style sheet of the preview pages, kept in the local HTML work folder
// ({data folder}/pendrolux/pendrolux.css) so the page header can link to it.

#include <QString>
#include <QStringList>

// The style sheet text, one entry per line.
const QStringList& PendroluxCssLines();

QString PendroluxFolder();      // {data folder}/pendrolux (no trailing "/")
QString PendroluxCssFileName(); // {data folder}/pendrolux/pendrolux.css

// Creates the work folder when missing; false when it cannot be made.
bool EnsurePendroluxFolder();
// Writes the style sheet in UTF-8 with byte-order mark and CR LF, replacing any older file.
bool WritePendroluxCss(QString* error = nullptr);
