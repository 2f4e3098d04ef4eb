#include "indexing/Workbook.h"

#include "shell/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <QXmlStreamReader>
#include <unzip.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>
#include <vector>

// ---------------------------------------------------------------- writer

TWorkbookWriter::TWorkbookWriter(const QString& path)
    : m_path(QFileInfo(path).absoluteFilePath())
{
    const QFileInfo fi(m_path);
    // The temporary file sits beside the target so the final rename stays on one file system.
    QTemporaryFile reserve(fi.absolutePath() + "/.~" + fi.fileName() + ".XXXXXX");
    reserve.setAutoRemove(false);
    if (!reserve.open())
        return;
    m_tmp = reserve.fileName();
    reserve.close();
    m_tmpdir = QFile::encodeName(fi.absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = 0;
    options.tmpdir = m_tmpdir.data();
    options.use_zip64 = 0;
    m_book = workbook_new_opt(QFile::encodeName(m_tmp).constData(), &options);
    if (m_book) {
        m_text = workbook_add_format(m_book);
        format_set_num_format(m_text, "@");
    }
}

TWorkbookWriter::~TWorkbookWriter()
{
    if (m_book)
        lxw_workbook_free(m_book);
    if (!m_tmp.isEmpty())
        QFile::remove(m_tmp);
}

static void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

bool TWorkbookWriter::AddSheet(const QString& name, QString* error)
{
    if (!m_book) {
        SetError(error, QStringLiteral("%1: 파일을 만들 수 없습니다.").arg(m_path));
        return false;
    }
    const QByteArray utf8 = name.toUtf8();
    const lxw_error check = workbook_validate_sheet_name(m_book, utf8.constData());
    if (check != LXW_NO_ERROR) {
        SetError(error, QStringLiteral("시트 이름(%1): %2").arg(name, QString::fromUtf8(lxw_strerror(check))));
        return false;
    }
    m_sheet = workbook_add_worksheet(m_book, utf8.constData());
    if (!m_sheet) {
        SetError(error, QStringLiteral("시트 이름(%1)").arg(name));
        return false;
    }
    worksheet_set_column(m_sheet, 0, LXW_COL_MAX - 1, LXW_DEF_COL_WIDTH, m_text);
    ++m_sheets;
    return true;
}

bool TWorkbookWriter::WriteRow(int row, const QStringList& values, QString* error)
{
    if (!m_sheet) {
        SetError(error, QStringLiteral("no sheet"));
        return false;
    }
    if (row < 1 || row > WorkbookMaxRows || values.size() > WorkbookMaxColumns) {
        SetError(error, QString::fromUtf8(lxw_strerror(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE)));
        return false;
    }
    for (int c = 0; c < values.size(); ++c) {
        if (values[c].isEmpty())
            continue;
        const lxw_error e = worksheet_write_string(m_sheet, lxw_row_t(row - 1), lxw_col_t(c),
                                                   values[c].toUtf8().constData(), m_text);
        if (e != LXW_NO_ERROR) {
            SetError(error, QString::fromUtf8(lxw_strerror(e)));
            return false;
        }
    }
    return true;
}

bool TWorkbookWriter::Save(QString* error)
{
    if (!m_book) {
        SetError(error, QStringLiteral("%1: 파일을 만들 수 없습니다.").arg(m_path));
        return false;
    }
    if (m_sheets == 0)
        AddSheet(QStringLiteral("Sheet1")); // a workbook needs one sheet to open
    const lxw_error e = workbook_close(m_book);
    m_book = nullptr;
    if (e != LXW_NO_ERROR) {
        SetError(error, QString::fromUtf8(lxw_strerror(e)));
        return false;
    }
    QFile written(m_tmp);
    if (written.open(QIODevice::ReadWrite)) {
        // The reserved name was made private; the workbook is a job file like the others.
        GiveReplacementMode(written.handle(), m_path);
        ::fsync(written.handle());
        written.close();
    }
    if (::rename(QFile::encodeName(m_tmp).constData(), QFile::encodeName(m_path).constData()) != 0) {
        SetError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_tmp.clear();
    return true;
}

// ---------------------------------------------------------------- reader

namespace {

const QString MsgNotWorkbook = QStringLiteral("엑셀 파일이 아니거나 손상되었습니다.");

// The zip container of a workbook through minizip's unzip API, the copy libxlsxwriter links.
// Stored and deflated parts only (all a spreadsheet program writes); encrypted parts are refused,
// and every part is checked against its size and checksum as it is read.
class ZipReader {
public:
    ZipReader() = default;
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;
    ~ZipReader()
    {
        if (m_zip)
            unzClose(m_zip);
    }

    bool open(const QString& path)
    {
        m_zip = unzOpen64(QFile::encodeName(path).constData());
        if (!m_zip)
            return false;
        unz_global_info64 info{};
        if (unzGetGlobalInfo64(m_zip, &info) != UNZ_OK || info.number_entry > kMaxEntries)
            return false;
        for (int r = unzGoToFirstFile(m_zip); r == UNZ_OK; r = unzGoToNextFile(m_zip)) {
            char name[1024];
            unz_file_info64 fi{};
            unz64_file_pos pos{};
            if (unzGetCurrentFileInfo64(m_zip, &fi, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK
                || unzGetFilePos64(m_zip, &pos) != UNZ_OK)
                return false;
            if (fi.size_filename < sizeof name)
                m_entries.insert(QString::fromUtf8(name, qsizetype(fi.size_filename)), pos);
        }
        return true;
    }

    bool has(const QString& name) const { return m_entries.contains(name); }

    // Hands the inflated bytes to `sink` piece by piece; stops at `limit` bytes.
    bool read(const QString& name, qint64 limit, const std::function<bool(const QByteArray&)>& sink,
              QString* error)
    {
        const auto damaged = [&] {
            SetError(error, MsgNotWorkbook + QStringLiteral(" (") + name + QStringLiteral(")"));
            return false;
        };
        const auto it = m_entries.constFind(name);
        if (it == m_entries.constEnd())
            return damaged();
        unz64_file_pos pos = *it;
        unz_file_info64 fi{};
        if (unzGoToFilePos64(m_zip, &pos) != UNZ_OK
            || unzGetCurrentFileInfo64(m_zip, &fi, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK
            || (fi.flag & 1) || (fi.compression_method != 0 && fi.compression_method != Z_DEFLATED)
            || unzOpenCurrentFile(m_zip) != UNZ_OK)
            return damaged();
        struct Closer {
            unzFile zip;
            bool open = true;
            int close()
            {
                open = false;
                return unzCloseCurrentFile(zip);
            }
            ~Closer()
            {
                if (open)
                    unzCloseCurrentFile(zip);
            }
        } closer{m_zip};

        QByteArray buffer(1 << 16, Qt::Uninitialized);
        quint64 total = 0;
        for (;;) {
            const int n = unzReadCurrentFile(m_zip, buffer.data(), unsigned(buffer.size()));
            if (n < 0)
                return damaged();
            if (n == 0)
                break;
            total += quint64(n);
            if (total > quint64(limit)) {
                SetError(error, QStringLiteral("엑셀 파일의 내용이 너무 큽니다. (%1)").arg(name));
                return false;
            }
            if (!sink(QByteArray(buffer.constData(), n)))
                return false;
        }
        // Closing checks the checksum of what was read against the one the container records.
        if (closer.close() != UNZ_OK || total != fi.uncompressed_size)
            return damaged();
        return true;
    }

private:
    static constexpr quint64 kMaxEntries = 65535; // a workbook has a handful of parts
    unzFile m_zip = nullptr;
    QHash<QString, unz64_file_pos> m_entries;
};

// Feeds one part of the workbook through an XML reader as it inflates; `token` sees every token.
bool ParseEntry(ZipReader& zip, const QString& entry, qint64 limit,
                const std::function<bool(QXmlStreamReader&)>& token, QString* error)
{
    QXmlStreamReader xml;
    bool done = false;
    bool failed = false;
    const auto pump = [&] {
        while (!done && !failed) {
            const QXmlStreamReader::TokenType t = xml.readNext();
            if (t == QXmlStreamReader::Invalid) {
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                    return true; // wants more input
                SetError(error, MsgNotWorkbook + QStringLiteral(" (") + entry + QStringLiteral(": ") +
                                    xml.errorString() + QStringLiteral(")"));
                failed = true;
                return false;
            }
            if (!token(xml)) {
                failed = true;
                return false;
            }
            if (t == QXmlStreamReader::EndDocument)
                done = true;
        }
        return !failed;
    };
    const bool read = zip.read(entry, limit,
                               [&](const QByteArray& bytes) {
                                   xml.addData(bytes);
                                   return pump();
                               },
                               error);
    if (!read || failed)
        return false;
    if (!done) {
        SetError(error, MsgNotWorkbook + QStringLiteral(" (") + entry + QStringLiteral(")"));
        return false;
    }
    return true;
}

QString EntryFromTarget(const QString& target)
{
    if (target.startsWith('/'))
        return target.mid(1);
    // Relative to the workbook part's folder; "../" climbs out of it.
    return QDir::cleanPath(QStringLiteral("xl/") + target);
}

// Numbers appear as a spreadsheet program shows them at full precision: no trailing ".0".
QString NumberText(const QString& v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return v;
    if (d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(qint64(d));
    return QString::number(d, 'g', 15);
}

struct Cell {
    int row;
    int col;
    QString text;
};

} // namespace

int ColumnNumber(QStringView letters)
{
    if (letters.isEmpty() || letters.size() > 3)
        return 0;
    int n = 0;
    for (QChar c : letters) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z')
            return 0;
        n = n * 26 + (u - u'A' + 1);
    }
    return n;
}

bool TWorkbookReader::Open(const QString& path, QString* error, const TWorkbookLimits& limits)
{
    m_path = path;
    m_limits = limits;
    m_names.clear();
    m_targets.clear();
    m_shared.clear();
    if (!QFileInfo(path).isFile()) {
        SetError(error, path + QStringLiteral(": 파일이 없습니다."));
        return false;
    }

    ZipReader zip;
    if (!zip.open(path)) {
        SetError(error, MsgNotWorkbook);
        return false;
    }
    // Relationship id -> part, and where the shared strings are.
    QHash<QString, QString> rels;
    QString sharedEntry = QStringLiteral("xl/sharedStrings.xml");
    bool ok = ParseEntry(zip, QStringLiteral("xl/_rels/workbook.xml.rels"), limits.maxEntryBytes,
                         [&](QXmlStreamReader& x) {
                             if (x.isStartElement() && x.name() == u"Relationship") {
                                 const auto a = x.attributes();
                                 const QString target = EntryFromTarget(a.value("Target").toString());
                                 rels.insert(a.value("Id").toString(), target);
                                 if (a.value("Type").endsWith(u"/sharedStrings"))
                                     sharedEntry = target;
                             }
                             return true;
                         },
                         error);
    if (!ok)
        return false;

    ok = ParseEntry(zip, QStringLiteral("xl/workbook.xml"), limits.maxEntryBytes,
                    [&](QXmlStreamReader& x) {
                        if (x.isStartElement() && x.name() == u"sheet") {
                            QString name, id;
                            for (const QXmlStreamAttribute& a : x.attributes()) {
                                if (a.name() == u"name")
                                    name = a.value().toString();
                                else if (a.name() == u"id")
                                    id = a.value().toString();
                            }
                            m_names << name;
                            m_targets << rels.value(id);
                        }
                        return true;
                    },
                    error);
    if (!ok)
        return false;

    if (!zip.has(sharedEntry))
        return true; // a workbook of numbers only, or of inline strings

    QString current;
    bool inSi = false;
    bool inT = false;
    int phonetic = 0;
    qint64 kept = 0;
    return ParseEntry(zip, sharedEntry, limits.maxEntryBytes,
                      [&](QXmlStreamReader& x) {
                          if (x.isStartElement()) {
                              if (x.name() == u"si") {
                                  inSi = true;
                                  current.clear();
                              } else if (x.name() == u"rPh") {
                                  ++phonetic; // reading aids, not part of the text
                              } else if (x.name() == u"t" && inSi && phonetic == 0) {
                                  inT = true;
                              }
                          } else if (x.isEndElement()) {
                              if (x.name() == u"t") {
                                  inT = false;
                              } else if (x.name() == u"rPh") {
                                  --phonetic;
                              } else if (x.name() == u"si") {
                                  inSi = false;
                                  m_shared << current;
                                  if (++kept > limits.maxCells * 4) {
                                      SetError(error, QStringLiteral("엑셀 파일의 내용이 너무 큽니다."));
                                      return false;
                                  }
                              }
                          } else if (x.isCharacters() && inT) {
                              current += x.text();
                          }
                          return true;
                      },
                      error);
}

bool TWorkbookReader::ReadSheet(const QString& name, TSheetRows& rows, QString* error) const
{
    rows.clear();
    const int index = int(m_names.indexOf(name));
    if (index < 0 || m_targets[index].isEmpty()) {
        SetError(error, QStringLiteral("시트(%1)가 없습니다.").arg(name));
        return false;
    }

    std::vector<Cell> cells;
    int maxRow = 0;
    int maxCol = 0;
    int row = 0;
    int col = 0;
    QString type;
    QString value;
    QString inlineText;
    bool inV = false;
    bool inIs = false;
    bool inT = false;
    int phonetic = 0;
    bool damaged = false;

    auto cellRef = [&](QStringView ref) {
        int i = 0;
        while (i < ref.size() && ref[i].isLetter())
            ++i;
        const int c = ColumnNumber(ref.left(i));
        bool ok = false;
        const int r = ref.mid(i).toInt(&ok);
        if (c <= 0 || !ok || r < 1 || r > WorkbookMaxRows) {
            damaged = true;
            return;
        }
        col = c;
        row = r;
    };

    ZipReader zip;
    if (!zip.open(m_path)) {
        SetError(error, MsgNotWorkbook);
        return false;
    }
    const bool ok = ParseEntry(
        zip, m_targets[index], m_limits.maxEntryBytes,
        [&](QXmlStreamReader& x) {
            if (x.isStartElement()) {
                const QStringView n = x.name();
                if (n == u"row") {
                    const QStringView r = x.attributes().value("r");
                    bool okRow = false;
                    // A row without a number follows the one before; past the last row of a
                    // sheet it stays there (refused with its first cell) instead of counting on.
                    const int number = r.isEmpty() ? std::min(row, WorkbookMaxRows) + 1 : r.toInt(&okRow);
                    if (!r.isEmpty() && !okRow)
                        damaged = true;
                    row = number;
                    col = 0;
                } else if (n == u"c") {
                    const QStringView r = x.attributes().value("r");
                    if (r.isEmpty())
                        ++col;
                    else
                        cellRef(r);
                    type = x.attributes().value("t").toString();
                    value.clear();
                    inlineText.clear();
                } else if (n == u"v") {
                    inV = true;
                } else if (n == u"is") {
                    inIs = true;
                } else if (n == u"rPh") {
                    ++phonetic;
                } else if (n == u"t" && inIs && phonetic == 0) {
                    inT = true;
                }
            } else if (x.isEndElement()) {
                const QStringView n = x.name();
                if (n == u"v") {
                    inV = false;
                } else if (n == u"t") {
                    inT = false;
                } else if (n == u"is") {
                    inIs = false;
                } else if (n == u"rPh") {
                    --phonetic;
                } else if (n == u"c") {
                    QString text;
                    if (type == u"s") {
                        bool okIndex = false;
                        const int i = value.trimmed().toInt(&okIndex);
                        if (okIndex && i >= 0 && i < m_shared.size())
                            text = m_shared[i];
                    } else if (type == u"inlineStr") {
                        text = inlineText;
                    } else if (type == u"b") {
                        text = value.trimmed() == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                    } else if (type == u"str" || type == u"e") {
                        text = value;
                    } else if (!value.isEmpty()) {
                        text = NumberText(value.trimmed());
                    }
                    if (damaged || row < 1 || row > WorkbookMaxRows || col < 1 || col > WorkbookMaxColumns) {
                        SetError(error, MsgNotWorkbook + QStringLiteral(" (%1)").arg(name));
                        return false;
                    }
                    if (!text.isEmpty()) {
                        maxRow = std::max(maxRow, row);
                        maxCol = std::max(maxCol, col);
                        if (qint64(cells.size()) >= m_limits.maxCells ||
                            qint64(maxRow) * maxCol > m_limits.maxCells) {
                            SetError(error, QStringLiteral("시트(%1)의 사용 범위가 너무 큽니다.").arg(name));
                            return false;
                        }
                        cells.push_back({row, col, std::move(text)});
                    }
                }
            } else if (x.isCharacters()) {
                if (inV)
                    value += x.text();
                else if (inT)
                    inlineText += x.text();
            }
            return true;
        },
        error);
    if (!ok)
        return false;

    rows.reserve(maxRow);
    const QStringList empty = [&] {
        QStringList l;
        l.reserve(maxCol);
        for (int c = 0; c < maxCol; ++c)
            l << QString();
        return l;
    }();
    for (int r = 0; r < maxRow; ++r)
        rows << empty;
    for (Cell& c : cells)
        rows[c.row - 1][c.col - 1] = std::move(c.text);
    return true;
}

QString SheetRowsText(const TSheetRows& rows)
{
    QString out;
    for (const QStringList& r : rows)
        out += r.join('\t') + QStringLiteral("\r\n");
    return out;
}
