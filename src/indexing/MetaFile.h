#pragma once
// The meta result file "{tab}.kwd": one record of vux_DataBlockLength lines per article in tree
// order (record r belongs to tree node r + 1), one value per line, UTF-16LE with byte-order mark
// and CR LF. The one reader and writer of it; the meta editor, the initialisation and the
// upload go through here.
#include "shell/TextFile.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TVUX_codes;

// The values of a tab in memory, in the file's layout. Reading past the end gives empty values,
// so a short or missing file behaves like one full of empty lines.
class TMetaData {
public:
    TMetaData() = default;
    explicit TMetaData(int blockLength) : m_block(blockLength) {}

    int BlockLength() const { return m_block; }
    void SetBlockLength(int blockLength) { m_block = blockLength; }
    // Every line as a list; a file read whole is split here, once.
    QStringList& Lines();
    void Clear();
    // Holds a whole file's bytes as its text (see ReadMetaFile); lines are found when asked for.
    void TakeFile(QByteArray bytes);

    // Value of `column` in the record of tree node `node` (node >= 1).
    QString Value(int node, int column) const;
    // Line `line` of the file (empty outside what is held).
    QString Line(qsizetype line) const;
    // How many lines the file has, as far as the held part tells: up to its last line held.
    qsizetype LineCount() const { return m_text ? m_count : m_first + m_lines.size(); }
    // Every line from the first held, in order.
    void ForEachLine(const std::function<void(QStringView)>& line) const;
    // Pads with empty lines so that the record of `node` exists, then writes.
    void SetValue(int node, int column, const QString& value);
    // The whole record of `node`, vux_DataBlockLength values.
    QStringList Record(int node) const;
    void SetRecord(int node, const QStringList& values);
    // Number of records that have at least one line in memory.
    int RecordCount() const;

private:
    friend class TMetaFileReader;
    struct TText;
    void SetLine(qsizetype line, const QString& value);

    int m_block = 0;
    qsizetype m_first = 0; // file line of m_lines[0]: only a record held by TMetaFileReader starts later
    QStringList m_lines;
    // A file read whole stays one text: a big book's file has millions of mostly empty lines, and
    // a string for each cost more than reading the file. Changed lines are kept beside it.
    std::shared_ptr<const TText> m_text;
    QHash<qsizetype, QString> m_changed;
    qsizetype m_count = 0; // lines, with the text
};

// A value must stay on its line: CR and LF inside it would shift every later record, so they
// are written as spaces.
QString MetaLineValue(const QString& value);

// Reads the file; a missing file gives no lines and true. False with a reason when the file
// exists but cannot be read. Lines of a file without byte-order mark are read as code page 949.
bool ReadMetaFile(const QString& path, TMetaData& data, QString* error = nullptr);
// The file read record by record as the nodes come in ascending order, for a book too big to
// hold: Read leaves only that node's record in `data`, where Line and LineCount answer as the
// whole file would (a missing file reads as empty).
class TMetaFileReader {
public:
    TMetaFileReader(const QString& path, int blockLength) : m_reader(path), m_block(blockLength) {}
    bool Open(QString* error = nullptr);
    // False with a reason when the file cannot be read or `node` is not after the one read last.
    bool Read(int node, TMetaData& data, QString* error = nullptr);

private:
    TTextLineReader m_reader;
    int m_block;
    bool m_ended = false;
    qsizetype m_next = 0; // file line the reader stands at
    int m_last = 0;       // the node read last
};

// Moves an existing file aside to its first free ".NNN.bak" and writes the lines atomically.
// `backup` gets the backup's name (empty when there was no file). On a failed write the backup
// is put back, so the file on disk stays the previous one.
bool SaveMetaFile(const QString& path, const TMetaData& data, QString* backup = nullptr, QString* error = nullptr);

// The same file written line by line, for a book too big to hold: nothing changes on disk until
// Commit, which keeps the previous file as SaveMetaFile does.
class TMetaFileWriter {
public:
    explicit TMetaFileWriter(const QString& path);
    void WriteLine(QStringView value);
    bool Commit(QString* backup = nullptr, QString* error = nullptr);

private:
    QString m_path;
    TAtomicFile m_file;
};
