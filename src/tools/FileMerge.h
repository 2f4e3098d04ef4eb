#pragma once
// Joining the text files of one folder into one UTF-8 text file.

#include <QString>
#include <QStringList>

class Interaction;

// "*.txt" and "*.text" files (any case) directly in `folder`, in ascending name order.
QStringList ListMergeFiles(const QString& folder);

// Where the result goes by default: the folder's parent folder, named after the folder + ".txt".
QString MergeDefaultSaveFolder(const QString& folder);
QString MergeDefaultFileName(const QString& folder);

// Trims the typed output name and gives it ".txt" when it has no extension; empty when
// nothing is left.
QString NormalizeMergeFileName(const QString& typed);

// Why the output path cannot be used (it would end up among the files it is merged from, it is
// a folder, its folder is missing), or an empty text.
QString MergeOutputProblem(const QString& folder, const QString& outputPath);

// The checks and the question before a merge: no files, no output name, an output that cannot
// be used, then "작업을 시작합니까?". True when the operator said Yes; `outputPath` is set.
bool PrepareMerge(const QString& folder, const QStringList& files, const QString& saveFolder,
                  const QString& typedName, Interaction& ui, QString* outputPath);

struct TMergeOutcome {
    bool written = false; // the output file holds the merge
    int merged = 0;       // files whose text went into the output
    int skipped = 0;      // listed files left out (vanished, unreadable, not text)
    QString backup;       // where the previous output file was moved, if there was one
};

// Merges `files` (names inside `folder`, in this order) into `outputPath`, logging every file.
// The previous output file is moved aside to "{output}.NNN.bak" first, and moved back when the
// merge is stopped with Esc or the result cannot be written.
TMergeOutcome MergeTextFiles(const QString& folder, const QStringList& files,
                             const QString& outputPath, Interaction& ui);

// Reads a file to merge: byte-order mark, else code page 949, else UTF-8 without a mark.
// False with a reason for a file that cannot be read or is no text.
bool ReadMergeText(const QString& path, QStringList& lines, QString* problem);
