#pragma once
// INI files with the semantics of the Windows profile functions: sections and keys found without
// regard to letter case, blanks around keys and values ignored, surrounding quotes dropped,
// file order kept, untouched lines written back as they were.
// Saved in code page 949 (what the Windows program reads) unless a character has no 949 form;
// then UTF-16LE with byte-order mark, which the profile functions also read, so nothing is lost.

#include <QString>
#include <QStringList>
#include <vector>

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(const QString& path) { load(path); }

    // A missing file loads as empty and returns false.
    bool load(const QString& path);
    bool save(const QString& path, QString* error = nullptr) const;
    void parse(const QString& text);
    QStringList toLines() const;

    QString value(const QString& section, const QString& key, const QString& def = {}) const;
    bool contains(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    void removeKey(const QString& section, const QString& key);
    // Keys in file order, trimmed.
    QStringList keys(const QString& section) const;
    QStringList sections() const;
    bool hasSection(const QString& section) const;
    void eraseSection(const QString& section);

private:
    struct Line {
        QString raw;   // the line as it stands in the file
        QString key;   // trimmed key; empty for comments and blank lines
        QString value; // trimmed, quotes removed
    };
    struct Section {
        QString name;
        QString header; // raw header line
        std::vector<Line> lines;
    };
    std::vector<Line> m_preamble;
    std::vector<Section> m_sections;

    Section* find(const QString& name);
    const Section* find(const QString& name) const;
};

// One-shot helpers over a file.
QString IniRead(const QString& path, const QString& section, const QString& key, const QString& def = {});
bool IniWrite(const QString& path, const QString& section, const QString& key, const QString& value);
