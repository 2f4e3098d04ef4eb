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
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <unistd.h>
#include <utility>
#include <vector>

// ---------------------------------------------------------------- writer

static void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

static QString WriterError(lxw_error e)
{
    return QString::fromUtf8(lxw_strerror(e));
}

namespace {

// The XML of a cell's text: markup characters as entities, control characters other than TAB
// and LF as _xHHHH_, the way spreadsheet files carry them.
void AppendXmlText(QByteArray& out, QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    const char* p = utf8.constData();
    const char* run = p; // start of the bytes that go as they are
    for (const char* end = p + utf8.size(); p < end; ++p) {
        const auto c = uchar(*p);
        if (c != '&' && c != '<' && c != '>' && (c >= 0x20 || c == '\t' || c == '\n'))
            continue;
        out.append(run, p - run);
        run = p + 1;
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += QByteArray("_x00") + "0123456789ABCDEF"[c >> 4] + "0123456789ABCDEF"[c & 15] + '_';
    }
    out.append(run, p - run);
}

void AppendColumnLetters(QByteArray& out, int column)
{
    char letters[4];
    int n = 0;
    for (; column > 0; column = (column - 1) / 26)
        letters[n++] = char('A' + (column - 1) % 26);
    while (n > 0)
        out += letters[--n];
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

const char* const XmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char* const MainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* const RelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* const PackageRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";

} // namespace

// Each sheet's XML is deflated as its rows come, on a thread of its own while the next rows are
// built, and kept compressed in one temporary file; Save puts the parts into the zip container,
// sheets last.
struct TWorkbookWriter::Sheets {
    struct Part {
        QString name;
        qint64 offset = 0;
        qint64 packed = 0;
        quint64 size = 0;
        uLong crc = 0;
    };
    static constexpr qsizetype ChunkBytes = 1 << 18;
    QTemporaryFile file;
    QList<Part> parts;
    z_stream z{};
    bool open = false; // a sheet is being written
    int lastRow = 0;
    QByteArray xml;
    QByteArray out = QByteArray(1 << 16, Qt::Uninitialized);
    std::future<bool> pending; // the chunk being deflated

    ~Sheets()
    {
        Wait();
        if (open)
            deflateEnd(&z);
    }

    bool Start(const QString& name)
    {
        parts.append({name, file.pos(), 0, 0, crc32(0L, Z_NULL, 0)});
        z = z_stream{};
        // The fastest level: a big book's sheets are tens of megabytes of very repetitive XML.
        if (deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return false;
        open = true;
        lastRow = 0;
        xml = XmlHead;
        xml += QByteArray("<worksheet xmlns=\"") + MainNs + "\" xmlns:r=\"" + RelNs + "\">";
        xml += "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
        // Every column is formatted as text.
        xml += "<cols><col min=\"1\" max=\"16384\" width=\"9.140625\" style=\"1\"/></cols><sheetData>";
        return true;
    }

    // The chunk before must be done first: one stream, written in order.
    bool Wait() { return !pending.valid() || pending.get(); }

    bool Deflate(int flush)
    {
        if (!Wait())
            return false;
        pending = std::async(std::launch::async, [this, chunk = std::exchange(xml, {}), flush]() mutable {
            return Pack(chunk, flush);
        });
        xml.reserve(ChunkBytes + 4096);
        return true;
    }

    bool Pack(QByteArray& chunk, int flush)
    {
        Part& part = parts.last();
        part.crc = crc32(part.crc, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size()));
        part.size += quint64(chunk.size());
        z.next_in = reinterpret_cast<Bytef*>(chunk.data());
        z.avail_in = uInt(chunk.size());
        int r = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = uInt(out.size());
            r = deflate(&z, flush);
            const qint64 n = out.size() - qint64(z.avail_out);
            if (r == Z_STREAM_ERROR || (n > 0 && file.write(out.constData(), n) != n))
                return false;
            part.packed += n;
        } while (z.avail_out == 0 || (flush == Z_FINISH && r != Z_STREAM_END));
        return true;
    }

    bool Finish()
    {
        if (!open)
            return true;
        xml += "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
               "footer=\"0.3\"/></worksheet>";
        const bool ok = Deflate(Z_FINISH) && Wait();
        deflateEnd(&z);
        open = false;
        return ok;
    }
};

TWorkbookWriter::TWorkbookWriter(const QString& path)
    : m_path(QFileInfo(path).absoluteFilePath())
    , m_data(std::make_unique<Sheets>())
{
    const QFileInfo fi(m_path);
    // The temporary files sit beside the target so the final rename stays on one file system.
    QTemporaryFile reserve(fi.absolutePath() + "/.~" + fi.fileName() + ".XXXXXX");
    reserve.setAutoRemove(false);
    if (!reserve.open())
        return;
    m_tmp = reserve.fileName();
    reserve.close();
    m_data->file.setFileTemplate(fi.absolutePath() + "/.~" + fi.fileName() + ".sheets.XXXXXX");
    if (!m_data->file.open()) {
        QFile::remove(m_tmp);
        m_tmp.clear();
    }
}

TWorkbookWriter::~TWorkbookWriter()
{
    if (!m_tmp.isEmpty())
        QFile::remove(m_tmp);
}

bool TWorkbookWriter::AddSheet(const QString& name, QString* error)
{
    if (m_tmp.isEmpty()) {
        SetError(error, QStringLiteral("%1: 파일을 만들 수 없습니다.").arg(m_path));
        return false;
    }
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    lxw_error check = LXW_NO_ERROR;
    if (name.isEmpty() || name.toUcs4().size() > 31)
        check = LXW_ERROR_SHEETNAME_LENGTH_EXCEEDED;
    else if (std::any_of(name.begin(), name.end(), [](QChar c) { return forbidden.contains(c); }))
        check = LXW_ERROR_INVALID_SHEETNAME_CHARACTER;
    else if (name.startsWith(u'\'') || name.endsWith(u'\''))
        check = LXW_ERROR_SHEETNAME_START_END_APOSTROPHE;
    else if (std::any_of(m_data->parts.begin(), m_data->parts.end(),
                         [&](const Sheets::Part& p) { return p.name.compare(name, Qt::CaseInsensitive) == 0; }))
        check = LXW_ERROR_SHEETNAME_ALREADY_USED;
    if (check != LXW_NO_ERROR) {
        SetError(error, QStringLiteral("시트 이름(%1): %2").arg(name, WriterError(check)));
        return false;
    }
    if (!m_data->Finish() || !m_data->Start(name)) {
        SetError(error, m_data->file.errorString());
        return false;
    }
    ++m_sheets;
    return true;
}

bool TWorkbookWriter::WriteRow(int row, const QStringList& values, QString* error)
{
    Sheets& d = *m_data;
    if (!d.open) {
        SetError(error, QStringLiteral("no sheet"));
        return false;
    }
    // Rows go out as they come, so they must come in order.
    if (row <= d.lastRow || row > WorkbookMaxRows || values.size() > WorkbookMaxColumns) {
        SetError(error, WriterError(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE));
        return false;
    }
    for (const QString& v : values) {
        if (v.size() > 32767 && v.toUcs4().size() > 32767) {
            SetError(error, WriterError(LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED));
            return false;
        }
    }
    const QByteArray number = QByteArray::number(row);
    bool any = false;
    for (int c = 0; c < values.size(); ++c) {
        const QString& v = values[c];
        if (v.isEmpty())
            continue;
        if (!any)
            d.xml += "<row r=\"" + number + "\">";
        any = true;
        d.xml += "<c r=\"";
        AppendColumnLetters(d.xml, c + 1);
        d.xml += number + "\" s=\"1\" t=\"inlineStr\"><is><t";
        if (IsBlank(v.front()) || IsBlank(v.back()))
            d.xml += " xml:space=\"preserve\"";
        d.xml += '>';
        AppendXmlText(d.xml, v);
        d.xml += "</t></is></c>";
    }
    if (any)
        d.xml += "</row>";
    d.lastRow = row;
    if (d.xml.size() > Sheets::ChunkBytes && !d.Deflate(Z_NO_FLUSH)) {
        SetError(error, d.file.errorString());
        return false;
    }
    return true;
}

bool TWorkbookWriter::Save(QString* error)
{
    if (m_tmp.isEmpty()) {
        SetError(error, QStringLiteral("%1: 파일을 만들 수 없습니다.").arg(m_path));
        return false;
    }
    if (m_sheets == 0)
        AddSheet(QStringLiteral("Sheet1")); // a workbook needs one sheet to open
    Sheets& d = *m_data;
    if (!d.Finish() || !d.file.flush()) {
        SetError(error, d.file.errorString());
        return false;
    }

    QByteArray types = QByteArray(XmlHead) +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    QByteArray book = QByteArray(XmlHead) + "<workbook xmlns=\"" + MainNs + "\" xmlns:r=\"" + RelNs +
        "\"><bookViews><workbookView/></bookViews><sheets>";
    QByteArray rels = QByteArray(XmlHead) + "<Relationships xmlns=\"" + PackageRelNs + "\">";
    for (int i = 0; i < d.parts.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        types += "<Override PartName=\"/xl/worksheets/sheet" + n +
                 ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        book += "<sheet name=\"";
        AppendXmlText(book, d.parts[i].name);
        book += "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + RelNs + "/worksheet\" Target=\"worksheets/sheet" + n +
                ".xml\"/>";
    }
    types += "</Types>";
    book += "</sheets></workbook>";
    rels += "<Relationship Id=\"rId" + QByteArray::number(d.parts.size() + 1) + "\" Type=\"" + RelNs +
            "/styles\" Target=\"styles.xml\"/></Relationships>";
    const QByteArray rootRels = QByteArray(XmlHead) + "<Relationships xmlns=\"" + PackageRelNs +
        "\"><Relationship Id=\"rId1\" Type=\"" + RelNs + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    // Style 1: the text number format "@".
    const QByteArray styles = QByteArray(XmlHead) + "<styleSheet xmlns=\"" + MainNs +
        "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"@\"/></numFmts>"
        "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
        "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
        "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/></cellXfs>"
        "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>";

    zipFile zip = zipOpen64(QFile::encodeName(m_tmp).constData(), APPEND_STATUS_CREATE);
    if (!zip) {
        SetError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    bool ok = true;
    zip_fileinfo info{};
    info.tmz_date.tm_year = 1980;
    info.tmz_date.tm_mday = 1;
    const auto put = [&](const char* name, const QByteArray& bytes) {
        ok = ok && zipOpenNewFileInZip64(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6, 0) == ZIP_OK &&
             zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    };
    put("[Content_Types].xml", types);
    put("_rels/.rels", rootRels);
    put("xl/workbook.xml", book);
    put("xl/_rels/workbook.xml.rels", rels);
    put("xl/styles.xml", styles);
    // The sheets go in as they were deflated.
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (int i = 0; i < d.parts.size() && ok; ++i) {
        const Sheets::Part& part = d.parts[i];
        const QByteArray name = "xl/worksheets/sheet" + QByteArray::number(i + 1) + ".xml";
        ok = zipOpenNewFileInZip2_64(zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1, 1,
                                     part.size >= 0xFFFFFFFFull) == ZIP_OK &&
             d.file.seek(part.offset);
        for (qint64 left = part.packed; ok && left > 0;) {
            const qint64 n = d.file.read(chunk.data(), std::min<qint64>(left, chunk.size()));
            ok = n > 0 && zipWriteInFileInZip(zip, chunk.constData(), unsigned(n)) == ZIP_OK;
            left -= n;
        }
        ok = ok && zipCloseFileInZipRaw64(zip, part.size, part.crc) == ZIP_OK;
    }
    if (zipClose(zip, nullptr) != ZIP_OK || !ok) {
        SetError(error, QStringLiteral("%1: 파일을 만들 수 없습니다.").arg(m_path));
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
        if (m_zip) {
            finish();
            unzClose(m_zip);
        }
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

    // Opens part `name` for `next`; one part at a time. Inflating stops at `limit` bytes.
    bool start(const QString& name, qint64 limit, QString* error)
    {
        finish();
        m_part = name;
        m_limit = limit;
        m_total = 0;
        const auto it = m_entries.constFind(name);
        if (it == m_entries.constEnd())
            return damaged(error);
        unz64_file_pos pos = *it;
        if (unzGoToFilePos64(m_zip, &pos) != UNZ_OK
            || unzGetCurrentFileInfo64(m_zip, &m_info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK
            || (m_info.flag & 1) || (m_info.compression_method != 0 && m_info.compression_method != Z_DEFLATED)
            || unzOpenCurrentFile(m_zip) != UNZ_OK)
            return damaged(error);
        m_open = true;
        m_buffer.resize(1 << 16);
        return true;
    }

    // The next inflated piece of the part. False at its end (then `ended` tells whether its
    // size and checksum matched) or on a fault (error set).
    bool next(QByteArray& chunk, QString* error)
    {
        if (!m_open)
            return false;
        const int n = unzReadCurrentFile(m_zip, m_buffer.data(), unsigned(m_buffer.size()));
        if (n < 0) {
            finish();
            return damaged(error);
        }
        if (n == 0) {
            // Closing checks the checksum of what was read against the one the container records.
            m_ended = finish() == UNZ_OK && m_total == m_info.uncompressed_size;
            return m_ended ? false : damaged(error);
        }
        m_total += quint64(n);
        if (m_total > quint64(m_limit)) {
            finish();
            SetError(error, QStringLiteral("엑셀 파일의 내용이 너무 큽니다. (%1)").arg(m_part));
            return false;
        }
        chunk = QByteArray(m_buffer.constData(), n);
        return true;
    }
    bool ended() const { return m_ended; }

    // Hands the inflated bytes to `sink` piece by piece.
    bool read(const QString& name, qint64 limit, const std::function<bool(const QByteArray&)>& sink,
              QString* error)
    {
        if (!start(name, limit, error))
            return false;
        QByteArray chunk;
        while (next(chunk, error))
            if (!sink(chunk)) {
                finish();
                return false;
            }
        return ended();
    }

private:
    int finish()
    {
        m_ended = false;
        if (!m_open)
            return UNZ_OK;
        m_open = false;
        return unzCloseCurrentFile(m_zip);
    }
    bool damaged(QString* error)
    {
        SetError(error, MsgNotWorkbook + QStringLiteral(" (") + m_part + QStringLiteral(")"));
        return false;
    }

    static constexpr quint64 kMaxEntries = 65535; // a workbook has a handful of parts
    unzFile m_zip = nullptr;
    QHash<QString, unz64_file_pos> m_entries;
    QString m_part;
    qint64 m_limit = 0;
    quint64 m_total = 0;
    unz_file_info64 m_info{};
    QByteArray m_buffer;
    bool m_open = false;
    bool m_ended = false;
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

namespace {

// The cells of a sheet part as its XML tokens go by: each cell with a value is handed on with
// its row and column (from 1), and the end of every row element is told.
class SheetParser {
public:
    SheetParser(const QString& sheet, const QStringList& shared)
        : m_sheet(sheet)
        , m_shared(shared)
    {
    }
    std::function<bool(int row, int col, QString&& text)> cell;
    std::function<bool()> rowEnd;

    bool token(QXmlStreamReader& x, QString* error)
    {
        if (x.isStartElement()) {
            const QStringView n = x.name();
            if (n == u"row") {
                const QStringView r = x.attributes().value("r");
                bool okRow = false;
                // A row without a number follows the one before; past the last row of a
                // sheet it stays there (refused with its first cell) instead of counting on.
                const int number = r.isEmpty() ? std::min(m_row, WorkbookMaxRows) + 1 : r.toInt(&okRow);
                if (!r.isEmpty() && !okRow)
                    m_damaged = true;
                m_row = number;
                m_col = 0;
            } else if (n == u"c") {
                const QStringView r = x.attributes().value("r");
                if (r.isEmpty())
                    ++m_col;
                else
                    cellRef(r);
                m_type = x.attributes().value("t").toString();
                m_value.clear();
                m_inline.clear();
            } else if (n == u"v") {
                m_inV = true;
            } else if (n == u"is") {
                m_inIs = true;
            } else if (n == u"rPh") {
                ++m_phonetic;
            } else if (n == u"t" && m_inIs && m_phonetic == 0) {
                m_inT = true;
            }
        } else if (x.isEndElement()) {
            const QStringView n = x.name();
            if (n == u"v") {
                m_inV = false;
            } else if (n == u"t") {
                m_inT = false;
            } else if (n == u"is") {
                m_inIs = false;
            } else if (n == u"rPh") {
                --m_phonetic;
            } else if (n == u"row") {
                return !rowEnd || rowEnd();
            } else if (n == u"c") {
                QString text;
                if (m_type == u"s") {
                    bool okIndex = false;
                    const int i = m_value.trimmed().toInt(&okIndex);
                    if (okIndex && i >= 0 && i < m_shared.size())
                        text = m_shared[i];
                } else if (m_type == u"inlineStr") {
                    text = m_inline;
                } else if (m_type == u"b") {
                    text = m_value.trimmed() == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                } else if (m_type == u"str" || m_type == u"e") {
                    text = m_value;
                } else if (!m_value.isEmpty()) {
                    text = NumberText(m_value.trimmed());
                }
                if (m_damaged || m_row < 1 || m_row > WorkbookMaxRows || m_col < 1 || m_col > WorkbookMaxColumns) {
                    SetError(error, MsgNotWorkbook + QStringLiteral(" (%1)").arg(m_sheet));
                    return false;
                }
                if (!text.isEmpty())
                    return cell(m_row, m_col, std::move(text));
            }
        } else if (x.isCharacters()) {
            if (m_inV)
                m_value += x.text();
            else if (m_inT)
                m_inline += x.text();
        }
        return true;
    }

private:
    void cellRef(QStringView ref)
    {
        int i = 0;
        while (i < ref.size() && ref[i].isLetter())
            ++i;
        const int c = ColumnNumber(ref.left(i));
        bool ok = false;
        const int r = ref.mid(i).toInt(&ok);
        if (c <= 0 || !ok || r < 1 || r > WorkbookMaxRows) {
            m_damaged = true;
            return;
        }
        m_col = c;
        m_row = r;
    }

    const QString m_sheet;
    const QStringList& m_shared;
    int m_row = 0;
    int m_col = 0;
    QString m_type;
    QString m_value;
    QString m_inline;
    bool m_inV = false;
    bool m_inIs = false;
    bool m_inT = false;
    int m_phonetic = 0;
    bool m_damaged = false;
};

} // namespace

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
    SheetParser parser(name, m_shared);
    parser.cell = [&](int row, int col, QString&& text) {
        maxRow = std::max(maxRow, row);
        maxCol = std::max(maxCol, col);
        if (qint64(cells.size()) >= m_limits.maxCells || qint64(maxRow) * maxCol > m_limits.maxCells) {
            SetError(error, QStringLiteral("시트(%1)의 사용 범위가 너무 큽니다.").arg(name));
            return false;
        }
        cells.push_back({row, col, std::move(text)});
        return true;
    };

    ZipReader zip;
    if (!zip.open(m_path)) {
        SetError(error, MsgNotWorkbook);
        return false;
    }
    if (!ParseEntry(zip, m_targets[index], m_limits.maxEntryBytes,
                    [&](QXmlStreamReader& x) { return parser.token(x, error); }, error))
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

struct TSheetStream::State {
    State(const QString& sheet, const QStringList& shared)
        : parser(sheet, shared)
    {
    }
    ZipReader zip;
    QXmlStreamReader xml;
    SheetParser parser;
    QStringList building;   // cells of the row being read
    int buildingRow = 0;    // its number; 0 before its first cell
    int lastRow = 0;        // number of the last row handed out
    bool rowReady = false;
    bool done = false;      // the part's XML document ended
};

TSheetStream::TSheetStream() = default;
TSheetStream::~TSheetStream() = default;

bool TSheetStream::Open(const TWorkbookReader& book, const QString& name, QString* error)
{
    m_state.reset();
    m_failed = m_disordered = false;
    const int index = int(book.m_names.indexOf(name));
    if (index < 0 || book.m_targets[index].isEmpty()) {
        SetError(error, QStringLiteral("시트(%1)가 없습니다.").arg(name));
        return Fail();
    }
    m_state = std::make_unique<State>(name, book.m_shared);
    State& st = *m_state;
    if (!st.zip.open(book.m_path)) {
        SetError(error, MsgNotWorkbook);
        return Fail();
    }
    if (!st.zip.start(book.m_targets[index], book.m_limits.maxEntryBytes, error))
        return Fail();
    m_part = book.m_targets[index];
    st.parser.cell = [this](int row, int col, QString&& text) {
        State& s = *m_state;
        // A cell of another row than its row element, or rows not in rising order, cannot be
        // handed out row by row.
        if ((s.buildingRow != 0 && row != s.buildingRow) || row <= s.lastRow) {
            m_disordered = true;
            return false;
        }
        s.buildingRow = row;
        while (s.building.size() < col)
            s.building << QString();
        s.building[col - 1] = std::move(text);
        return true;
    };
    st.parser.rowEnd = [this] {
        State& s = *m_state;
        if (s.buildingRow != 0)
            s.rowReady = true;
        return true;
    };
    return true;
}

bool TSheetStream::Fail()
{
    m_failed = true;
    return false;
}

bool TSheetStream::Next(int& row, QStringList& cells, QString* error)
{
    if (!m_state || m_failed || m_disordered)
        return false;
    State& st = *m_state;
    for (;;) {
        if (st.rowReady) {
            row = st.lastRow = st.buildingRow;
            cells.swap(st.building);
            st.building.clear();
            st.buildingRow = 0;
            st.rowReady = false;
            return true;
        }
        if (st.done) {
            // Cells after the last row element still make a row.
            if (st.buildingRow != 0) {
                st.rowReady = true;
                continue;
            }
            return false;
        }
        const QXmlStreamReader::TokenType t = st.xml.readNext();
        if (t == QXmlStreamReader::Invalid) {
            if (st.xml.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
                SetError(error, MsgNotWorkbook + QStringLiteral(" (") + m_part + QStringLiteral(": ") +
                                    st.xml.errorString() + QStringLiteral(")"));
                return Fail();
            }
            QByteArray chunk;
            if (st.zip.next(chunk, error)) {
                st.xml.addData(chunk);
                continue;
            }
            if (!st.zip.ended())
                return Fail();
            SetError(error, MsgNotWorkbook + QStringLiteral(" (") + m_part + QStringLiteral(")"));
            return Fail();
        }
        if (!st.parser.token(st.xml, error))
            return m_disordered ? false : Fail();
        if (t == QXmlStreamReader::EndDocument) {
            st.done = true;
            // Whatever follows the document is read only for the part's checksum.
            QByteArray rest;
            while (st.zip.next(rest, error)) {
            }
            if (!st.zip.ended())
                return Fail();
        }
    }
}

QString SheetRowsText(const TSheetRows& rows)
{
    QString out;
    for (const QStringList& r : rows)
        out += r.join('\t') + QStringLiteral("\r\n");
    return out;
}
