#include "tagging/TabReplace.h"

#include "shell/Interaction.h"
#include "tagging/TagEditor.h"

#include <QMap>
#include <algorithm>

namespace {

// Inside a tag: an unclosed "<" before `at` on the line.
bool InsideTag(const QString& line, qsizetype at)
{
    const qsizetype lt = line.lastIndexOf(u'<', at - 1 < 0 ? 0 : at - 1);
    if (at == 0 || lt < 0)
        return false;
    const qsizetype gt = line.lastIndexOf(u'>', at - 1);
    return gt < lt;
}

bool TouchesTag(const QString& line, qsizetype start, qsizetype length)
{
    if (InsideTag(line, start))
        return true;
    const QStringView span = QStringView(line).mid(start, length);
    return span.contains(u'<') || span.contains(u'>');
}

QString ExpandGroups(const QString& replacement, const QRegularExpressionMatch& m)
{
    QString out;
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const QChar c = replacement[i];
        if (c != u'\\' || i + 1 >= replacement.size()) {
            out += c;
            continue;
        }
        const QChar next = replacement[i + 1];
        if (next.isDigit()) {
            int group = next.digitValue();
            ++i;
            if (i + 1 < replacement.size() && replacement[i + 1].isDigit() && group * 10 + replacement[i + 1].digitValue() <= m.lastCapturedIndex()) {
                group = group * 10 + replacement[i + 1].digitValue();
                ++i;
            }
            out += m.captured(group);
        } else {
            out += next; // "\\" is a backslash, "\x" is x
            ++i;
        }
    }
    return out;
}

} // namespace

TTextReplacer::TTextReplacer(const QString& find, const QString& replacement, const TReplaceOptions& options)
    : m_find(find), m_replacement(replacement), m_options(options)
{
    if (find.isEmpty()) {
        m_error = QStringLiteral("찾을 문자열이 없습니다.");
        return;
    }
    if (options.regex) {
        QRegularExpression::PatternOptions po = QRegularExpression::UseUnicodePropertiesOption;
        if (!options.matchCase)
            po |= QRegularExpression::CaseInsensitiveOption;
        m_re = QRegularExpression(find, po);
        if (!m_re.isValid())
            m_error = QStringLiteral("정규식 오류: ") + m_re.errorString();
    }
}

QList<TTextMatch> TTextReplacer::Matches(const QString& line) const
{
    QList<TTextMatch> out;
    if (!valid())
        return out;
    auto accept = [&](qsizetype start, qsizetype length) {
        if (length == 0)
            return false;
        if (m_options.wholeWord && !IsWholeWordAt(line, start, length))
            return false;
        return !m_options.textOnly || !TouchesTag(line, start, length);
    };
    if (m_options.regex) {
        for (auto it = m_re.globalMatch(line); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (accept(m.capturedStart(), m.capturedLength()))
                out.append({m.capturedStart(), m.capturedLength(), ExpandGroups(m_replacement, m)});
        }
        return out;
    }
    const Qt::CaseSensitivity cs = m_options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype at = line.indexOf(m_find, 0, cs); at >= 0;) {
        if (accept(at, m_find.size())) {
            out.append({at, m_find.size(), m_replacement});
            at = line.indexOf(m_find, at + m_find.size(), cs);
        } else {
            at = line.indexOf(m_find, at + 1, cs);
        }
    }
    return out;
}

QString TTextReplacer::Apply(const QString& line, const QList<TTextMatch>& matches)
{
    QString out = line;
    for (auto it = matches.crbegin(); it != matches.crend(); ++it)
        out.replace(it->start, it->length, it->replacement);
    return out;
}

TReplaceScan FindReplaceMatches(const TJobDefine& job, int tab, const TArticleTree& tree, const TTextReplacer& replacer,
                                Interaction& ui, int onlyNode)
{
    TReplaceScan scan;
    const int first = onlyNode > 0 ? onlyNode : 1;
    const int last = onlyNode > 0 ? onlyNode : tree.count() - 1;
    const TArticleWalk walk = WalkTabArticles(job, tab, tree, first, last, ui, [&](int n, const QStringList& lines) {
        const TArticleNode& node = tree.node(n);
        for (int l = 0; l < lines.size(); ++l)
            for (const TTextMatch& m : replacer.Matches(lines[l]))
                scan.matches.append({n, node.info.id, node.title, l, m, lines[l], TTextReplacer::Apply(lines[l], {m})});
    });
    scan.articles = walk.articles;
    scan.unreadable = walk.unreadable;
    scan.stopped = walk.stopped;
    return scan;
}

TReplaceOutcome ApplyReplaceMatches(const TJobDefine& job, int tab, const TArticleTree& tree,
                                    const QList<TReplaceMatch>& chosen, Interaction& ui)
{
    TReplaceOutcome out;
    QMap<int, QList<TReplaceMatch>> byNode;
    for (const TReplaceMatch& m : chosen)
        byNode[m.node].append(m);
    for (auto it = byNode.cbegin(); it != byNode.cend(); ++it) {
        if (!tree.valid(it.key()) || it.key() == 0)
            continue;
        const TArticleNode& node = tree.node(it.key());
        QStringList lines;
        if (!LoadTagArticle(job, tab, node, lines, ui)) {
            out.errors << node.info.id + QStringLiteral(".txt: 읽을 수 없어 바꾸지 않았습니다.");
            continue;
        }
        QMap<int, QList<TTextMatch>> byLine;
        bool changedMeanwhile = false;
        for (const TReplaceMatch& m : it.value()) {
            if (m.line >= lines.size() || lines[m.line] != m.before)
                changedMeanwhile = true;
            else
                byLine[m.line].append(m.match);
        }
        if (changedMeanwhile) {
            out.errors << node.info.id + QStringLiteral(".txt: 목록을 만든 뒤 바뀌어 바꾸지 않았습니다.");
            continue;
        }
        int replaced = 0;
        for (auto l = byLine.begin(); l != byLine.end(); ++l) {
            auto& ms = l.value();
            std::sort(ms.begin(), ms.end(), [](const TTextMatch& a, const TTextMatch& b) { return a.start < b.start; });
            // Overlapping picks (possible with a regular expression listed match by match) keep the first.
            QList<TTextMatch> kept;
            for (const TTextMatch& m : ms)
                if (kept.isEmpty() || m.start >= kept.last().start + kept.last().length)
                    kept.append(m);
            lines[l.key()] = TTextReplacer::Apply(lines[l.key()], kept);
            replaced += int(kept.size());
        }
        const QString path = TagArticlePath(job, tab, node, ui);
        if (path.isEmpty()) {
            out.errors << node.info.id + QStringLiteral(".txt: 저장할 위치가 없습니다.");
            continue;
        }
        const TArticleSave saved = SaveArticleWithBackup(path, lines);
        if (!saved.written) {
            out.errors << saved.error;
            continue;
        }
        ++out.articlesChanged;
        out.matchesReplaced += replaced;
    }
    return out;
}
