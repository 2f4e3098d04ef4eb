#include "indexing/MetaFile.h"

#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QFile>
#include <QFileInfo>

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
    const qsizetype line = qsizetype(node - 1) * m_block + column;
    while (m_lines.size() <= line)
        m_lines.append(QString());
    m_lines[line] = value;
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
    if (m_lines.size() < end) {
        m_lines.reserve(end);
        while (m_lines.size() < end)
            m_lines.append(QString());
    }
    for (int j = 0; j < m_block; ++j)
        m_lines[qsizetype(node - 1) * m_block + j] = j < values.size() ? values[j] : QString();
}

int TMetaData::RecordCount() const
{
    return m_block <= 0 ? 0 : int((m_lines.size() + m_block - 1) / m_block);
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
    return ReadTextLines(path, data.Lines(), error);
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
    for (const QString& l : data.Lines())
        file.WriteLine(l);
    return file.Commit(backup, error);
}

TMetaFileWriter::TMetaFileWriter(const QString& path)
    : m_path(path)
    , m_file(path)
{
    m_file.Write("\xFF\xFE", 2);
}

void TMetaFileWriter::WriteLine(const QString& value)
{
    m_file.WriteUtf16Line(MetaLineValue(value)); // a failed write shows at Commit
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
