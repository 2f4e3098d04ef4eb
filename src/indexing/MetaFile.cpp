#include "indexing/MetaFile.h"

#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>

// The text of a file read whole, with the start of every 64th line: a line is found by walking
// at most 63 lines from the mark before it.
struct TMetaData::TText {
    static constexpr qsizetype MarkEvery = 64;
    QByteArray raw;   // UTF-16 in the host's order, as read
    QString decoded;  // any other file, decoded
    QStringView text;
    std::vector<qsizetype> marks;
    qsizetype lines = 0;

    // Where the line starting at `pos` ends (before its break), and where the next one starts;
    // line breaks as SplitLines takes them.
    qsizetype End(qsizetype pos) const
    {
        const char16_t* d = text.utf16();
        while (pos < text.size() && d[pos] != u'\r' && d[pos] != u'\n')
            ++pos;
        return pos;
    }
    qsizetype Next(qsizetype pos) const
    {
        const qsizetype end = End(pos);
        return end + (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);
    }
};

QStringList& TMetaData::Lines()
{
    if (m_text) {
        QStringList lines;
        lines.reserve(m_count);
        ForEachLine([&lines](QStringView line) { lines << line.toString(); });
        Clear();
        m_lines = std::move(lines);
    }
    return m_lines;
}

void TMetaData::Clear()
{
    m_lines.clear();
    m_first = 0;
    m_text.reset();
    m_changed.clear();
    m_count = 0;
}

void TMetaData::TakeFile(QByteArray bytes)
{
    Clear();
    auto t = std::make_shared<TText>();
    // This program's own UTF-16LE is read in place on a host of the same order.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian && bytes.startsWith("\xFF\xFE")) {
        t->raw = std::move(bytes);
        t->text = QStringView(reinterpret_cast<const char16_t*>(t->raw.constData() + 2), (t->raw.size() - 2) / 2);
    } else {
        t->decoded = DecodeText(bytes);
        t->text = t->decoded;
    }
    for (qsizetype pos = 0; pos < t->text.size(); pos = t->Next(pos)) {
        if (t->lines % TText::MarkEvery == 0)
            t->marks.push_back(pos);
        ++t->lines;
    }
    m_count = t->lines;
    m_text = std::move(t);
}

QString TMetaData::Line(qsizetype line) const
{
    if (!m_text)
        return line >= m_first && line - m_first < m_lines.size() ? m_lines[line - m_first] : QString();
    if (const auto changed = m_changed.constFind(line); changed != m_changed.constEnd())
        return *changed;
    if (line < 0 || line >= m_text->lines)
        return {};
    qsizetype pos = m_text->marks[size_t(line / TText::MarkEvery)];
    for (qsizetype k = line % TText::MarkEvery; k > 0; --k)
        pos = m_text->Next(pos);
    return m_text->text.sliced(pos, m_text->End(pos) - pos).toString();
}

void TMetaData::ForEachLine(const std::function<void(QStringView)>& line) const
{
    if (!m_text) {
        for (const QString& l : m_lines)
            line(l);
        return;
    }
    qsizetype pos = 0;
    for (qsizetype i = 0; i < m_count; ++i) {
        const bool inText = i < m_text->lines;
        if (const auto changed = m_changed.constFind(i); changed != m_changed.constEnd())
            line(*changed);
        else
            line(inText ? m_text->text.sliced(pos, m_text->End(pos) - pos) : QStringView());
        if (inText)
            pos = m_text->Next(pos);
    }
}

void TMetaData::SetLine(qsizetype line, const QString& value)
{
    if (m_text) {
        m_count = std::max(m_count, line + 1);
        // Only real changes are kept: the editor stores the record of every article it leaves.
        if (Line(line) != value)
            m_changed.insert(line, value);
        return;
    }
    while (m_lines.size() <= line)
        m_lines.append(QString());
    m_lines[line] = value;
}

QString TMetaData::Value(int node, int column) const
{
    if (node < 1 || column < 0 || column >= m_block)
        return {};
    return Line(qsizetype(node - 1) * m_block + column);
}

void TMetaData::SetValue(int node, int column, const QString& value)
{
    if (node < 1 || column < 0 || column >= m_block)
        return;
    SetLine(qsizetype(node - 1) * m_block + column, value);
}

QStringList TMetaData::Record(int node) const
{
    QStringList values;
    values.reserve(m_block);
    for (int j = 0; j < m_block; ++j)
        values << Value(node, j);
    return values;
}

void TMetaData::SetRecord(int node, const QStringList& values)
{
    if (node < 1 || m_block <= 0)
        return;
    const qsizetype end = qsizetype(node) * m_block;
    if (!m_text && m_lines.size() < end)
        m_lines.reserve(end);
    // The last line first: the list grows once.
    for (int j = m_block - 1; j >= 0; --j)
        SetLine(qsizetype(node - 1) * m_block + j, j < values.size() ? values[j] : QString());
}

int TMetaData::RecordCount() const
{
    const qsizetype held = m_text ? m_count : m_lines.size();
    return m_block <= 0 ? 0 : int((held + m_block - 1) / m_block);
}

QString MetaLineValue(const QString& value)
{
    if (!value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n')))
        return value;
    QString v = value;
    v.replace(QLatin1String("\r\n"), QLatin1String(" "));
    v.replace(QLatin1Char('\r'), QLatin1Char(' '));
    v.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return v;
}

bool ReadMetaFile(const QString& path, TMetaData& data, QString* error)
{
    data.Clear();
    if (!QFileInfo::exists(path))
        return true;
    QByteArray bytes;
    if (!ReadFileBytes(path, bytes, error))
        return false;
    data.TakeFile(std::move(bytes));
    return true;
}

bool TMetaFileReader::Open(QString* error)
{
    m_next = 0;
    m_last = 0;
    m_ended = !QFileInfo::exists(m_reader.Path());
    return m_ended || m_reader.Open(error);
}

bool TMetaFileReader::Read(int node, TMetaData& data, QString* error)
{
    data.m_lines.clear();
    data.m_block = m_block;
    const qsizetype first = node < 1 || m_block <= 0 ? 0 : qsizetype(node - 1) * m_block;
    data.m_first = first;
    if (node <= m_last) {
        if (error)
            *error = QStringLiteral("%1: %2번째 기사의 메타 정보를 다시 읽을 수 없습니다.").arg(m_reader.Path()).arg(node);
        return false;
    }
    m_last = node;
    QString line;
    while (!m_ended && m_next < first + m_block) {
        if (!m_reader.Next(line)) {
            m_ended = true;
            break;
        }
        if (m_next++ >= first)
            data.m_lines.append(line);
    }
    if (data.m_lines.isEmpty())
        data.m_first = qMin(first, m_next); // the file ended before the record: its true length
    if (!m_reader.Error().isEmpty()) {
        if (error)
            *error = m_reader.Path() + QStringLiteral(": ") + m_reader.Error();
        return false;
    }
    return true;
}

bool SaveMetaFile(const QString& path, const TMetaData& data, QString* backup, QString* error)
{
    TMetaFileWriter file(path);
    data.ForEachLine([&file](QStringView line) { file.WriteLine(line); });
    return file.Commit(backup, error);
}

TMetaFileWriter::TMetaFileWriter(const QString& path)
    : m_path(path)
    , m_file(path)
{
    m_file.Write("\xFF\xFE", 2);
}

void TMetaFileWriter::WriteLine(QStringView value)
{
    // A failed write shows at Commit.
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
        m_file.WriteUtf16Line(MetaLineValue(value.toString()));
    else
        m_file.WriteUtf16Line(value);
}

bool TMetaFileWriter::Commit(QString* backup, QString* error)
{
    // The backup is a second name of the old file, not the old file moved away: the file's own
    // name keeps a whole version until the new one replaces it, even if the program dies between.
    QString linked;
    if (QFileInfo::exists(m_path)) {
        linked = BackupByLink(m_path, QStringLiteral(".bak"));
        if (linked.isEmpty()) {
            if (error)
                *error = m_path + QStringLiteral(": 백업 파일을 만들 수 없습니다.");
            return false;
        }
    }
    if (!m_file.Commit(error)) {
        // The old file is still in place, so its backup is only clutter.
        if (!linked.isEmpty() && QFileInfo::exists(m_path))
            QFile::remove(linked);
        return false;
    }
    if (backup)
        *backup = linked;
    return true;
}
