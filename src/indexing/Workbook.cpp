#include "indexing/Workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <QXmlStreamReader>
#include <xlsxwriter.h>
#include <zlib.h>

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

quint32 Le(const uchar* p, int n)
{
    quint32 v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

quint64 Le64(const uchar* p)
{
    return quint64(Le(p, 4)) | (quint64(Le(p + 4, 4)) << 32);
}

// The zip container of a workbook, read with bounds on every size it claims. Stored and
// deflated parts only (all a spreadsheet program writes); encrypted parts are refused.
class ZipReader {
public:
    bool open(const QString& path)
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        const qint64 size = m_file.size();
        if (size < 22)
            return false;
        const qint64 tail = std::min<qint64>(size, 22 + 65535);
        m_file.seek(size - tail);
        const QByteArray end = m_file.read(tail);
        if (end.size() != tail)
            return false;
        const auto* e = reinterpret_cast<const uchar*>(end.constData());
        qint64 at = -1;
        for (qint64 i = tail - 22; i >= 0; --i)
            if (Le(e + i, 4) == 0x06054b50) {
                at = i;
                break;
            }
        if (at < 0)
            return false;
        quint64 count = Le(e + at + 10, 2);
        quint64 cdSize = Le(e + at + 12, 4);
        quint64 cdOffset = Le(e + at + 16, 4);
        if (cdOffset == 0xFFFFFFFF || cdSize == 0xFFFFFFFF || count == 0xFFFF) {
            // Zip64: the locator sits right before the end record.
            const qint64 loc = size - tail + at - 20;
            if (loc < 0 || !m_file.seek(loc))
                return false;
            const QByteArray l = m_file.read(20);
            if (l.size() != 20 || Le(reinterpret_cast<const uchar*>(l.constData()), 4) != 0x07064b50)
                return false;
            const quint64 rec = Le64(reinterpret_cast<const uchar*>(l.constData()) + 8);
            if (rec > quint64(size) - 56 || !m_file.seek(qint64(rec)))
                return false;
            const QByteArray r = m_file.read(56);
            const auto* z = reinterpret_cast<const uchar*>(r.constData());
            if (r.size() != 56 || Le(z, 4) != 0x06064b50)
                return false;
            count = Le64(z + 32);
            cdSize = Le64(z + 40);
            cdOffset = Le64(z + 48);
        }
        if (cdOffset > quint64(size) || cdSize > quint64(size) - cdOffset || cdSize > (quint64(64) << 20))
            return false;
        m_file.seek(qint64(cdOffset));
        const QByteArray cd = m_file.read(qint64(cdSize));
        if (quint64(cd.size()) != cdSize)
            return false;
        const auto* c = reinterpret_cast<const uchar*>(cd.constData());
        quint64 pos = 0;
        for (quint64 n = 0; n < count; ++n) {
            if (pos + 46 > cdSize || Le(c + pos, 4) != 0x02014b50)
                return false;
            Entry entry;
            entry.flags = quint16(Le(c + pos + 8, 2));
            entry.method = quint16(Le(c + pos + 10, 2));
            entry.crc = Le(c + pos + 16, 4);
            entry.packed = Le(c + pos + 20, 4);
            entry.size = Le(c + pos + 24, 4);
            const quint64 nameLen = Le(c + pos + 28, 2);
            const quint64 extraLen = Le(c + pos + 30, 2);
            const quint64 commentLen = Le(c + pos + 32, 2);
            entry.offset = Le(c + pos + 42, 4);
            if (pos + 46 + nameLen + extraLen + commentLen > cdSize)
                return false;
            const QString name = QString::fromUtf8(reinterpret_cast<const char*>(c + pos + 46), qsizetype(nameLen));
            // Zip64 sizes and offset replace the fields that hold all ones, in this order.
            quint64 x = pos + 46 + nameLen;
            const quint64 xEnd = x + extraLen;
            while (x + 4 <= xEnd) {
                const quint32 id = Le(c + x, 2);
                const quint32 len = Le(c + x + 2, 2);
                if (x + 4 + len > xEnd)
                    break;
                if (id == 1) {
                    quint64 f = x + 4;
                    for (quint64* field : {&entry.size, &entry.packed, &entry.offset}) {
                        if (*field != 0xFFFFFFFF)
                            continue;
                        if (f + 8 > x + 4 + len)
                            break;
                        *field = Le64(c + f);
                        f += 8;
                    }
                }
                x += 4 + len;
            }
            m_entries.insert(name, entry);
            pos += 46 + nameLen + extraLen + commentLen;
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
        const Entry e = *it;
        const quint64 size = quint64(m_file.size());
        if ((e.flags & 1) || (e.method != 0 && e.method != 8) || e.offset > size - 30 || !m_file.seek(qint64(e.offset)))
            return damaged();
        const QByteArray local = m_file.read(30);
        const auto* l = reinterpret_cast<const uchar*>(local.constData());
        if (local.size() != 30 || Le(l, 4) != 0x04034b50)
            return damaged();
        const quint64 data = e.offset + 30 + Le(l + 26, 2) + Le(l + 28, 2);
        if (data > size || e.packed > size - data || !m_file.seek(qint64(data)))
            return damaged();

        z_stream z{};
        if (e.method == 8 && inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return damaged();
        struct Ender {
            z_stream* z;
            bool on;
            ~Ender()
            {
                if (on)
                    inflateEnd(z);
            }
        } ender{&z, e.method == 8};

        quint64 left = e.packed;
        quint64 total = 0;
        uLong crc = crc32(0L, Z_NULL, 0);
        QByteArray in(1 << 16, Qt::Uninitialized);
        QByteArray out(1 << 16, Qt::Uninitialized);
        const auto give = [&](const char* bytes, qint64 n) {
            total += quint64(n);
            if (total > quint64(limit)) {
                SetError(error, QStringLiteral("엑셀 파일의 내용이 너무 큽니다. (%1)").arg(name));
                return false;
            }
            crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes), uInt(n));
            return sink(QByteArray(bytes, n));
        };
        bool ended = false;
        while (!ended) {
            const qint64 want = qint64(std::min<quint64>(left, quint64(in.size())));
            const qint64 got = want > 0 ? m_file.read(in.data(), want) : 0;
            if (got < 0 || got != want)
                return damaged();
            left -= quint64(got);
            if (e.method == 0) {
                if (got > 0 && !give(in.constData(), got))
                    return false;
                ended = left == 0;
                continue;
            }
            z.next_in = reinterpret_cast<Bytef*>(in.data());
            z.avail_in = uInt(got);
            do {
                z.next_out = reinterpret_cast<Bytef*>(out.data());
                z.avail_out = uInt(out.size());
                const int r = inflate(&z, Z_NO_FLUSH);
                if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR)
                    return damaged();
                const qint64 n = out.size() - qint64(z.avail_out);
                if (n > 0 && !give(out.constData(), n))
                    return false;
                if (r == Z_STREAM_END) {
                    ended = true;
                    break;
                }
                if (r == Z_BUF_ERROR && left == 0 && z.avail_in == 0)
                    return damaged(); // the compressed data ends early
            } while (z.avail_out == 0 || z.avail_in > 0);
        }
        if (crc != e.crc || total != e.size)
            return damaged();
        return true;
    }

private:
    struct Entry {
        quint16 flags = 0;
        quint16 method = 0;
        quint32 crc = 0;
        quint64 packed = 0;
        quint64 size = 0;
        quint64 offset = 0;
    };
    QFile m_file;
    QHash<QString, Entry> m_entries;
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
