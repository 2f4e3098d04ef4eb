#include "shell/IniFile.h"

#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QFile>

namespace {

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Unquote(QString v)
{
    v = TrimBlanks(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

// The text written after "=": a value that reading would change (blanks at its ends, quotes
// around it) goes inside a pair of quotes, which reading removes again.
QString Written(const QString& value)
{
    return Unquote(value) == value ? value : '"' + value + '"';
}

} // namespace

IniFile::Section* IniFile::find(const QString& name)
{
    for (auto& s : m_sections)
        if (SameName(s.name, name))
            return &s;
    return nullptr;
}

const IniFile::Section* IniFile::find(const QString& name) const
{
    for (const auto& s : m_sections)
        if (SameName(s.name, name))
            return &s;
    return nullptr;
}

bool IniFile::load(const QString& path)
{
    m_preamble.clear();
    m_sections.clear();
    QString text;
    if (!QFile::exists(path) || !ReadTextFile(path, text))
        return false;
    parse(text);
    return true;
}

void IniFile::parse(const QString& text)
{
    m_preamble.clear();
    m_sections.clear();
    for (const QString& raw : SplitLines(text)) {
        const QString t = TrimBlanks(raw);
        if (t.startsWith('[')) {
            const int close = t.indexOf(']');
            if (close > 0) {
                Section s;
                s.name = TrimBlanks(t.mid(1, close - 1));
                s.header = raw;
                m_sections.push_back(std::move(s));
                continue;
            }
        }
        Line line;
        line.raw = raw;
        const int eq = raw.indexOf('=');
        if (!t.startsWith(';') && eq > 0) {
            line.key = TrimBlanks(raw.left(eq));
            line.value = Unquote(raw.mid(eq + 1));
        }
        if (m_sections.empty())
            m_preamble.push_back(line);
        else
            m_sections.back().lines.push_back(line);
    }
}

QStringList IniFile::toLines() const
{
    QStringList out;
    for (const auto& l : m_preamble)
        out << l.raw;
    for (const auto& s : m_sections) {
        out << s.header;
        for (const auto& l : s.lines)
            out << l.raw;
    }
    return out;
}

bool IniFile::save(const QString& path, QString* error) const
{
    const QStringList lines = toLines();
    bool lossless = true;
    QByteArray bytes = EncodeCp949(lines.join("\r\n") + (lines.isEmpty() ? "" : "\r\n"), &lossless);
    if (!lossless)
        bytes = EncodeLines(lines, TextEncoding::Utf16LE);
    return WriteFileAtomic(path, bytes, error);
}

QString IniFile::value(const QString& section, const QString& key, const QString& def) const
{
    if (const Section* s = find(section))
        for (const auto& l : s->lines)
            if (!l.key.isEmpty() && SameName(l.key, key))
                return l.value;
    return def;
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    if (const Section* s = find(section))
        for (const auto& l : s->lines)
            if (!l.key.isEmpty() && SameName(l.key, key))
                return true;
    return false;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    Section* s = find(section);
    if (!s) {
        Section ns;
        ns.name = section;
        ns.header = '[' + section + ']';
        m_sections.push_back(std::move(ns));
        s = &m_sections.back();
    }
    for (auto& l : s->lines) {
        if (!l.key.isEmpty() && SameName(l.key, key)) {
            l.value = value;
            l.raw = l.key + '=' + Written(value);
            return;
        }
    }
    Line line{key + '=' + Written(value), key, value};
    // A new key goes after the last key of the section, before trailing blank lines.
    auto pos = s->lines.end();
    while (pos != s->lines.begin() && TrimBlanks((pos - 1)->raw).isEmpty())
        --pos;
    s->lines.insert(pos, line);
}

void IniFile::removeKey(const QString& section, const QString& key)
{
    if (Section* s = find(section))
        std::erase_if(s->lines, [&](const Line& l) { return !l.key.isEmpty() && SameName(l.key, key); });
}

QStringList IniFile::keys(const QString& section) const
{
    QStringList out;
    if (const Section* s = find(section))
        for (const auto& l : s->lines)
            if (!l.key.isEmpty())
                out << l.key;
    return out;
}

QStringList IniFile::sections() const
{
    QStringList out;
    for (const auto& s : m_sections)
        out << s.name;
    return out;
}

bool IniFile::hasSection(const QString& section) const { return find(section) != nullptr; }

void IniFile::eraseSection(const QString& section)
{
    std::erase_if(m_sections, [&](const Section& s) { return SameName(s.name, section); });
}

QString IniRead(const QString& path, const QString& section, const QString& key, const QString& def)
{
    return IniFile(path).value(section, key, def);
}

bool IniWrite(const QString& path, const QString& section, const QString& key, const QString& value)
{
    IniFile ini(path);
    ini.setValue(section, key, value);
    return ini.save(path);
}
