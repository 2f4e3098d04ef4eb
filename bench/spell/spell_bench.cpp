// The tag editor's spell checking on the offscreen platform, with the installed Korean dictionary:
//   1. a LINES-line article put into an editor with the spell checker attached: the time until
//      every unknown word is underlined, next to the bare dictionary asked once per distinct
//      word on one thread (the yardstick);
//   2. typing into a 3 900-character line: the slowest keystroke (the line is checked again on
//      every key).
// The article's words are the dictionary's own stems with Korean particles, one in ten changed
// into a misspelling, between tags, attributes, numbers and URLs.
//   quilo-bench-spell [LINES]      prints "ms=…", "bare_ms=…", "key_ms=…" and "underlined=…" last
#include "tagging/SpellCheck.h"
#include "tagging/ui/SpellHighlighter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTextBlock>
#include <QTextLayout>
#include <cstdio>

namespace {

bool Hangul(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() < 0xAC00 || c.unicode() > 0xD7A3)
            return false;
    return !s.isEmpty();
}

QStringList Stems(const QString& affPath)
{
    QString dic = affPath;
    dic.replace(dic.size() - 4, 4, QStringLiteral(".dic"));
    QFile f(dic);
    QStringList out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    f.readLine();
    while (!f.atEnd()) {
        // The Korean dictionary keeps its stems as conjoining jamo; the text has syllables.
        const QString stem = QString::fromUtf8(f.readLine())
                                 .section(u'/', 0, 0)
                                 .trimmed()
                                 .normalized(QString::NormalizationForm_C);
        if (Hangul(stem))
            out << stem;
    }
    return out;
}

QString Article(const QStringList& stems, int lines)
{
    static const QStringList particles = {"", "", "은", "는", "이", "가", "을", "를", "에", "의", "도", "와"};
    QRandomGenerator rng(4101);
    // A book repeats its words: a working vocabulary of a few thousand stems.
    QStringList vocabulary;
    for (int i = 0; i < 4000; ++i)
        vocabulary << stems[rng.bounded(int(stems.size()))];
    QStringList out;
    out << QStringLiteral("<h1>맞춤법 시험</h1>");
    for (int l = 1; l < lines; ++l) {
        QStringList words;
        const int n = 6 + rng.bounded(10);
        for (int w = 0; w < n; ++w) {
            QString word = vocabulary[rng.bounded(int(vocabulary.size()))] + particles[rng.bounded(int(particles.size()))];
            if (rng.bounded(10) == 0)
                word[rng.bounded(int(word.size()))] = QChar(0xAC00 + rng.bounded(11172));
            words << word;
        }
        QString line = words.join(u' ') + u'.';
        if (l % 7 == 0)
            line = QStringLiteral("<p class=\"본문글\">") + line + QStringLiteral("<sup>%1)</sup></p>").arg(l);
        if (l % 13 == 0)
            line += QStringLiteral(" http://www.example.kr/자료/%1").arg(l);
        out << line;
    }
    return out.join(u'\n');
}

int Underlined(QTextDocument* doc)
{
    int n = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (const QTextLayout::FormatRange& r : b.layout()->formats())
            n += r.format.underlineStyle() == QTextCharFormat::WaveUnderline;
    return n;
}

// One turn of the event loop; it then sleeps briefly, as a program's idle loop does, instead of
// spinning on the core the checking thread needs.
void Turn()
{
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (qgetenv("QUILO_HOME").isEmpty())
        qputenv("QUILO_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const int lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    const QString aff = FindKoreanDictionary();
    if (aff.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(NoKoreanDictionaryMessage));
        return 1;
    }
    const QStringList stems = Stems(aff);
    if (stems.isEmpty()) {
        std::fprintf(stderr, "no stems in the dictionary of %s\n", qPrintable(aff));
        return 1;
    }
    const QString text = Article(stems, lines);

    // The yardstick: every distinct word once, dictionary loaded beforehand.
    TSpellChecker bare;
    bare.Open(aff);
    QSet<QString> distinct;
    for (const QString& line : text.split(u'\n'))
        for (const TWordSpan& w : TextWordSpans(line))
            distinct.insert(line.mid(w.start, w.length));
    QElapsedTimer t;
    t.start();
    int unknown = 0;
    for (const QString& w : distinct)
        unknown += !bare.Known(w);
    const double bareMs = double(t.nsecsElapsed()) / 1e6;

    QPlainTextEdit editor;
    editor.resize(900, 700);
    TSpellSupport spell(&editor, aff, [] { return true; },
                        [](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
    editor.show();
    QApplication::processEvents();
    // The window is open (its dictionary loaded) before an article is shown.
    editor.setPlainText(QStringLiteral("학교"));
    while (spell.highlighter()->Pending() > 0 || !spell.highlighter()->Settled())
        Turn();

    t.restart();
    editor.setPlainText(text);
    // Underlined in full: no word waits for its answer and the last redraw has run.
    for (;;) {
        Turn();
        if (spell.highlighter()->Pending() == 0 && spell.highlighter()->Settled())
            break;
        if (t.elapsed() > 120000) {
            std::fprintf(stderr, "not underlined within two minutes\n");
            return 1;
        }
    }
    const double ms = double(t.nsecsElapsed()) / 1e6;
    const int underlined = Underlined(editor.document());

    // Typing into the middle of a 3 900-character line.
    QString longLine;
    QRandomGenerator rng(7);
    while (longLine.size() < 3900 - 20)
        longLine += stems[rng.bounded(int(stems.size()))] + u' ';
    editor.setPlainText(longLine);
    while (spell.highlighter()->Pending() > 0 || !spell.highlighter()->Settled())
        Turn();
    QTextCursor c(editor.document());
    c.setPosition(1950);
    editor.setTextCursor(c);
    double worstKey = 0;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer k;
        k.start();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("가"));
        QApplication::sendEvent(&editor, &key);
        QApplication::processEvents();
        worstKey = qMax(worstKey, double(k.nsecsElapsed()) / 1e6);
    }

    std::printf("article of %d lines: %lld distinct words, %d unknown to the dictionary\n", lines,
                qint64(distinct.size()), unknown);
    std::printf("underlined in full: %.1f ms (%d underlines); bare dictionary, one thread: %.1f ms\n", ms, underlined,
                bareMs);
    std::printf("slowest key in a 3 900-character line: %.1f ms\n", worstKey);
    std::printf("ms=%.1f\nbare_ms=%.1f\nkey_ms=%.1f\nunderlined=%d\n", ms, bareMs, worstKey, underlined);
    return underlined > 0 ? 0 : 1;
}
