#pragma once
// Spreadsheet workbooks as the index steps use them: every cell is text. The writer produces
// Office Open XML (whatever the file is called) with inline strings; the reader takes any
// such workbook apart (minizip's unzip, QXmlStreamReader), also one a spreadsheet
// program saved.

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>


// The largest sheet a spreadsheet program keeps.
constexpr int WorkbookMaxRows = 1048576;
constexpr int WorkbookMaxColumns = 16384;

// Writes to a temporary file beside `path` and renames it over `path` on Save, so a failed or
// abandoned write leaves whatever was there before. Without Save nothing appears. Rows go out
// as they are written (each sheet's XML deflated on the way), so a big book is never held:
// the rows of a sheet must come in rising order, and a sheet is finished when the next begins.
class TWorkbookWriter {
public:
    explicit TWorkbookWriter(const QString& path);
    ~TWorkbookWriter();
    TWorkbookWriter(const TWorkbookWriter&) = delete;
    TWorkbookWriter& operator=(const TWorkbookWriter&) = delete;

    // Adds a sheet and makes it the one rows go to. Every cell of it is formatted as text, so
    // values a spreadsheet program would take for numbers ("007", "1e5") stay as typed when
    // the operator edits them.
    bool AddSheet(const QString& name, QString* error = nullptr);
    // Row and columns from 1; empty values leave their cells empty.
    bool WriteRow(int row, const QStringList& values, QString* error = nullptr);
    bool Save(QString* error = nullptr);

    int SheetCount() const { return m_sheets; }

private:
    struct Sheets;
    QString m_path;
    QString m_tmp;
    std::unique_ptr<Sheets> m_data;
    int m_sheets = 0;
};

// A sheet's used range: row 1 column A to the last row and column holding a value; rows of
// equal length (missing cells are empty texts).
using TSheetRows = QList<QStringList>;

// Bounds on what a workbook may make us inflate or keep: a damaged or hostile file is refused
// with a reason instead of filling the memory.
struct TWorkbookLimits {
    qint64 maxEntryBytes = qint64(512) << 20; // one part of the workbook, inflated
    qint64 maxCells = qint64(4) << 20;        // rows x columns of one used range
};

class TWorkbookReader {
public:
    // Reads the sheet list and the shared strings. False with a reason for a file that is
    // missing, not a workbook, damaged or too large.
    bool Open(const QString& path, QString* error = nullptr, const TWorkbookLimits& limits = {});
    QStringList SheetNames() const { return m_names; }
    bool HasSheet(const QString& name) const { return m_names.contains(name); }
    // The used range of the sheet named `name` as text (numbers as they are stored, TRUE/FALSE
    // for truth values). False with a reason when the sheet is missing or unreadable.
    bool ReadSheet(const QString& name, TSheetRows& rows, QString* error = nullptr) const;

private:
    friend class TSheetStream;
    QString m_path;
    TWorkbookLimits m_limits;
    QStringList m_names;
    QStringList m_targets; // zip entry of each sheet
    QStringList m_shared;
};

// A sheet read row by row as it inflates, for sheets too big to hold: only the current row is
// kept. Rows come in sheet order, only those holding a value; `Next` stops at the end, on a fault
// (`Failed`, reason in `error`) or on rows out of order (`Disordered`: read the sheet whole).
class TSheetStream {
public:
    TSheetStream();
    ~TSheetStream();
    TSheetStream(const TSheetStream&) = delete;
    TSheetStream& operator=(const TSheetStream&) = delete;

    // The reader must stay open while the stream is read.
    bool Open(const TWorkbookReader& book, const QString& name, QString* error = nullptr);
    // The next row: its number (from 1) and its cells from column A (the last one holds a value).
    bool Next(int& row, QStringList& cells, QString* error = nullptr);
    bool Failed() const { return m_failed; }
    bool Disordered() const { return m_disordered; }

private:
    struct State;
    bool Fail();
    std::unique_ptr<State> m_state;
    QString m_part;
    bool m_failed = false;
    bool m_disordered = false;
};

// Cells separated by TAB, each row ended by CR LF: what a spreadsheet program hands to the
// clipboard for a used range.
QString SheetRowsText(const TSheetRows& rows);

// "A" -> 1, "AB" -> 28; 0 when `letters` holds no column.
int ColumnNumber(QStringView letters);
