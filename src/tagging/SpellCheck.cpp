#include "tagging/SpellCheck.h"

#include "shell/Interaction.h"
#include "shell/Settings.h"
#include "tagging/TagEditor.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <hunspell/hunspell.hxx>
#include <unicode/ucnv.h>

namespace {

bool WordLetter(QChar c)
{
    return c.isLetter() || c.isMark();
}

// "&name;" or "&#123;" / "&#x1F;": the length of the reference at `at`, 0 when there is none.
qsizetype EntityLength(QStringView line, qsizetype at)
{
    qsizetype i = at + 1;
    if (i < line.size() && line[i] == u'#')
        ++i;
    const qsizetype first = i;
    while (i < line.size() && i - first < 32 && line[i].isLetterOrNumber() && line[i].unicode() < 128)
        ++i;
    return i > first && i < line.size() && line[i] == u';' ? i + 1 - at : 0;
}

// A URL at `at`: its length up to the next blank, quote or tag, 0 when none starts here.
qsizetype UrlLength(QStringView line, qsizetype at)
{
    static const char* const starts[] = {"http://", "https://", "ftp://", "www.", "mailto:", "file://"};
    for (const char* s : starts) {
        const QLatin1StringView start(s);
        if (line.mid(at).startsWith(start, Qt::CaseInsensitive)) {
            qsizetype i = at + start.size();
            while (i < line.size() && !line[i].isSpace() && line[i] != u'<' && line[i] != u'"' && line[i] != u'\'')
                ++i;
            return i - at;
        }
    }
    return 0;
}

QByteArray DictionaryBytes(const QString& word, const QByteArray& encoding)
{
    if (encoding.compare("UTF-8", Qt::CaseInsensitive) == 0)
        return word.toUtf8();
    UErrorCode status = U_ZERO_ERROR;
    QByteArray out(word.size() * 4 + 8, Qt::Uninitialized);
    const int32_t n = ucnv_convert(encoding.constData(), "UTF-16LE", out.data(), int32_t(out.size()),
                                   reinterpret_cast<const char*>(word.utf16()), int32_t(word.size() * 2), &status);
    if (U_FAILURE(status))
        return {};
    out.resize(n);
    return out;
}

} // namespace

QList<TWordSpan> TextWordSpans(QStringView line)
{
    QList<TWordSpan> spans;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = line[i];
        if (c == u'<') {
            // A tag with its name and attributes; an unclosed one runs to the end of the line.
            const qsizetype gt = line.indexOf(u'>', i + 1);
            i = gt < 0 ? n : gt + 1;
            continue;
        }
        if (c == u'&') {
            const qsizetype len = EntityLength(line, i);
            i += len > 0 ? len : 1;
            continue;
        }
        if (const qsizetype url = UrlLength(line, i); url > 0) {
            i += url;
            continue;
        }
        if (!c.isLetterOrNumber() && !c.isMark()) {
            ++i;
            continue;
        }
        // A run of letters and digits, an apostrophe inside it kept ("don't"); runs holding a digit
        // are numbers, chapter numbers or footnote markers, not words.
        const qsizetype start = i;
        bool digit = false;
        while (i < n) {
            const QChar d = line[i];
            if (d.isLetterOrNumber() || d.isMark()) {
                digit = digit || d.isDigit() || d.isNumber();
                ++i;
            } else if ((d == u'\'' || d == u'\u2019') && i + 1 < n && WordLetter(line[i + 1]) && i > start) {
                ++i;
            } else {
                break;
            }
        }
        if (!digit)
            spans.append({start, i - start});
    }
    return spans;
}

QStringList DictionaryFolders()
{
    QStringList folders;
    for (const QString& dir : qEnvironmentVariable("DICPATH").split(u':', Qt::SkipEmptyParts))
        folders << dir;
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
    folders << dataHome + QStringLiteral("/hunspell") << QDir::homePath() + QStringLiteral("/.hunspell");
    const QStringList dataDirs =
        qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")).split(u':', Qt::SkipEmptyParts);
    for (const QString& dir : dataDirs)
        folders << dir + QStringLiteral("/hunspell");
    folders << QStringLiteral("/usr/share/myspell") << QStringLiteral("/usr/share/myspell/dicts");
    folders.removeDuplicates();
    return folders;
}

QString FindDictionary(const QString& language)
{
    for (const QString& dir : DictionaryFolders()) {
        const QString aff = dir + u'/' + language + QStringLiteral(".aff");
        if (QFileInfo::exists(aff) && QFileInfo::exists(dir + u'/' + language + QStringLiteral(".dic")))
            return aff;
    }
    return {};
}

QString UserWordListPath()
{
    return DataFolder() + QStringLiteral("/spell_words.txt");
}

QStringList LoadUserWords(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList words;
    for (const QString& line : SplitLines(QString::fromUtf8(f.readAll()))) {
        const QString w = line.trimmed();
        if (!w.isEmpty())
            words << w;
    }
    return words;
}

bool AddUserWord(const QString& path, const QString& word, QString* error)
{
    QStringList words = LoadUserWords(path);
    if (words.contains(word))
        return true;
    words << word;
    return WriteFileAtomic(path, (words.join(u'\n') + u'\n').toUtf8(), error);
}

TSpellChecker::TSpellChecker() = default;
TSpellChecker::~TSpellChecker() = default;

namespace {

bool HasHangul(const QString& word)
{
    for (const QChar c : word) {
        const char16_t u = c.unicode();
        if ((u >= 0xAC00 && u <= 0xD7A3) || (u >= 0x1100 && u <= 0x11FF) || (u >= 0x3130 && u <= 0x318F))
            return true;
    }
    return false;
}

} // namespace

bool TSpellChecker::Open(const QString& affPath)
{
    m_hunspell.reset();
    m_known.clear();
    // A Korean dictionary judges Korean words: the Hanja and Latin words of a Korean book are not its to flag.
    m_hangulOnly = QFileInfo(affPath).fileName().startsWith(QStringLiteral("ko"));
    QString dic = affPath;
    dic.replace(dic.size() - 4, 4, QStringLiteral(".dic"));
    if (!affPath.endsWith(QStringLiteral(".aff")) || !QFileInfo::exists(affPath) || !QFileInfo::exists(dic))
        return false;
    m_hunspell = std::make_unique<Hunspell>(QFile::encodeName(affPath).constData(), QFile::encodeName(dic).constData());
    return true;
}

void TSpellChecker::SetUserWords(const QStringList& words)
{
    m_userWords = QSet<QString>(words.begin(), words.end());
}

bool TSpellChecker::Known(const QString& word)
{
    if (!m_hunspell || m_userWords.contains(word) || (m_hangulOnly && !HasHangul(word)))
        return true;
    if (auto it = m_known.constFind(word); it != m_known.constEnd())
        return *it;
    const QByteArray bytes = DictionaryBytes(word, QByteArray::fromStdString(m_hunspell->get_dict_encoding()));
    // A word the dictionary's charset cannot hold is another language's: not this dictionary's to judge.
    const bool known = bytes.isEmpty() || m_hunspell->spell(bytes.toStdString());
    if (m_known.size() >= CacheLimit)
        m_known.clear();
    m_known.insert(word, known);
    return known;
}

QStringList TSpellChecker::Suggest(const QString& word)
{
    QStringList out;
    if (!m_hunspell)
        return out;
    if (auto it = m_suggestions.constFind(word); it != m_suggestions.constEnd())
        return *it;
    const QByteArray encoding = QByteArray::fromStdString(m_hunspell->get_dict_encoding());
    const QByteArray bytes = DictionaryBytes(word, encoding);
    if (bytes.isEmpty())
        return out;
    for (const std::string& s : m_hunspell->suggest(bytes.toStdString()))
        out << DecodeCharset(QByteArray::fromStdString(s), QString::fromLatin1(encoding));
    if (m_suggestions.size() >= CacheLimit)
        m_suggestions.clear();
    m_suggestions.insert(word, out);
    return out;
}

QList<TWordSpan> TSpellChecker::UnknownWords(QStringView line, const QSet<QString>& ignored)
{
    QList<TWordSpan> out;
    for (const TWordSpan& w : TextWordSpans(line)) {
        const QString word = line.mid(w.start, w.length).toString();
        if (!ignored.contains(word) && !Known(word))
            out.append(w);
    }
    return out;
}

QString FindKoreanDictionary()
{
    const QString aff = FindDictionary(QStringLiteral("ko_KR"));
    return aff.isEmpty() ? FindDictionary(QStringLiteral("ko")) : aff;
}

TSpellScan SpellCheckTab(const TJobDefine& job, int tab, const TArticleTree& tree, TSpellChecker& checker,
                         Interaction& ui, bool suggest, const std::function<void(const TSpellFinding&)>& found)
{
    TSpellScan scan;
    const TArticleWalk walk = WalkTabArticles(job, tab, tree, 1, tree.count() - 1, ui, [&](int n, const QStringList& lines) {
        const TArticleNode& node = tree.node(n);
        for (int l = 0; l < lines.size(); ++l)
            for (const TWordSpan& w : checker.UnknownWords(lines[l])) {
                const QString word = lines[l].mid(w.start, w.length);
                const QString first = suggest ? checker.Suggest(word).value(0) : QString();
                found({node.info.id, node.title, l + 1, word, first});
                ++scan.findings;
            }
    });
    scan.articles = walk.articles;
    scan.unreadable = walk.unreadable;
    scan.stopped = walk.stopped;
    return scan;
}
