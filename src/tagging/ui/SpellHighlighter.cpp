#include "tagging/ui/SpellHighlighter.h"

#include "shell/Settings.h"
#include "tagging/SpellCheck.h"
#include "tagging/SpellWorker.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

namespace {

// Redrawing a line is no edit: the document's change signals are held back meanwhile, or the
// editor would take the new underlines for a change of its text.

// Block state of a line drawn while some of its words were still unanswered.
constexpr int WaitingForAnswers = 1;
// Lines drawn again per turn of the event loop once answers are in.
constexpr int RedrawSliceBlocks = 250;
// While answers are still coming, the lines in sight are drawn again a few times a second; the
// whole article once every answer is in. A pass over every waiting line after each batch would
// take the core the checking needs.
constexpr int VisibleRedrawMs = 150;
// Words handed to the worker while a long text is still being gone through, so that checking
// starts before the first pass over the article has ended.
constexpr int SendEarlyWords = 256;
constexpr int MenuSuggestions = 8;

const QString SettingsForm = QStringLiteral("frmTag");
const QString SettingsKey = QStringLiteral("SpellCheck");

} // namespace

TSpellHighlighter::TSpellHighlighter(QTextDocument* document, TSpellWorker* worker)
    : QSyntaxHighlighter(document), m_worker(worker), m_send(new QTimer(this)), m_redraw(new QTimer(this)),
      m_redrawVisible(new QTimer(this))
{
    m_send->setSingleShot(true);
    m_send->setInterval(0);
    m_redraw->setSingleShot(true);
    m_redraw->setInterval(0);
    m_redrawVisible->setSingleShot(true);
    m_redrawVisible->setInterval(VisibleRedrawMs);
    connect(m_redrawVisible, &QTimer::timeout, this, &TSpellHighlighter::RedrawVisible);
    connect(m_send, &QTimer::timeout, this, &TSpellHighlighter::SendQueued);
    connect(m_redraw, &QTimer::timeout, this, &TSpellHighlighter::RedrawSlice);
    if (m_worker)
        connect(m_worker, &TSpellWorker::checked, this, &TSpellHighlighter::Answered);
}

void TSpellHighlighter::setActive(bool on)
{
    if (on == m_active)
        return;
    m_active = on;
    const QSignalBlocker quiet(document());
    rehighlight();
}

bool TSpellHighlighter::Misspelled(const QString& word) const
{
    return !m_ignored.contains(word) && !m_known.value(word, true);
}

void TSpellHighlighter::Ignore(const QString& word)
{
    m_ignored.insert(word);
    RedrawAll();
}

void TSpellHighlighter::ClearIgnored()
{
    if (m_ignored.isEmpty())
        return;
    m_ignored.clear();
    RedrawAll();
}

void TSpellHighlighter::MarkKnown(const QString& word)
{
    m_known.insert(word, true);
    RedrawAll();
}

void TSpellHighlighter::highlightBlock(const QString& text)
{
    setCurrentBlockState(-1);
    if (!m_active || !m_worker)
        return;
    QTextCharFormat wavy;
    wavy.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    wavy.setUnderlineColor(Qt::red);
    bool waiting = false;
    for (const TWordSpan& span : TextWordSpans(text)) {
        const QString word = text.mid(span.start, span.length);
        const auto known = m_known.constFind(word);
        if (known == m_known.constEnd()) {
            waiting = true;
            if (!m_asked.contains(word)) {
                m_asked.insert(word);
                m_toAsk << word;
                if (m_toAsk.size() >= SendEarlyWords)
                    SendQueued();
            }
        } else if (!*known && !m_ignored.contains(word)) {
            setFormat(int(span.start), int(span.length), wavy);
        }
    }
    if (waiting) {
        setCurrentBlockState(WaitingForAnswers);
        if (!m_send->isActive())
            m_send->start();
    }
}

void TSpellHighlighter::SendQueued()
{
    m_worker->Check(m_toAsk);
    m_toAsk.clear();
}

void TSpellHighlighter::Answered(const QStringList& known, const QStringList& unknown)
{
    for (const QString& w : known) {
        m_known.insert(w, true);
        m_asked.remove(w);
    }
    for (const QString& w : unknown) {
        m_known.insert(w, false);
        m_asked.remove(w);
    }
    // Only a word to underline changes how a waiting line looks.
    m_unknownSinceRedraw = m_unknownSinceRedraw || !unknown.isEmpty();
    if (!m_unknownSinceRedraw || !m_active)
        return;
    if (!m_asked.isEmpty()) {
        if (!m_redrawVisible->isActive())
            m_redrawVisible->start();
        return;
    }
    m_unknownSinceRedraw = false;
    if (m_redrawFrom >= 0) {
        m_redrawAgain = true;
        return;
    }
    m_redrawFrom = 0;
    m_redraw->start();
}

void TSpellHighlighter::RedrawVisible()
{
    QTextDocument* doc = document();
    if (!doc || !m_visible || !m_active)
        return;
    const auto [first, last] = m_visible();
    for (QTextBlock block = doc->findBlockByNumber(first); block.isValid() && block.blockNumber() <= last;
         block = block.next())
        if (block.userState() == WaitingForAnswers) {
            const QSignalBlocker quiet(doc);
            rehighlightBlock(block);
        }
}

void TSpellHighlighter::RedrawSlice()
{
    QTextDocument* doc = document();
    if (!doc)
        return;
    QTextBlock block = doc->findBlockByNumber(m_redrawFrom);
    for (int n = 0; block.isValid() && n < RedrawSliceBlocks; block = block.next()) {
        if (block.userState() == WaitingForAnswers) {
            const QSignalBlocker quiet(doc);
            rehighlightBlock(block);
            ++n;
        }
    }
    if (block.isValid()) {
        m_redrawFrom = block.blockNumber();
        m_redraw->start();
    } else if (m_redrawAgain) {
        m_redrawAgain = false;
        m_redrawFrom = 0;
        m_redraw->start();
    } else {
        m_redrawFrom = -1;
    }
}

void TSpellHighlighter::RedrawAll()
{
    if (m_active) {
        const QSignalBlocker quiet(document());
        rehighlight();
    }
}

TSpellSupport::TSpellSupport(QPlainTextEdit* editor, const QString& affPath, std::function<bool()> makeEditable,
                             std::function<void(const QString&)> showInfo)
    : QObject(editor), m_editor(editor), m_makeEditable(std::move(makeEditable)), m_showInfo(std::move(showInfo))
{
    if (!affPath.isEmpty())
        m_worker = new TSpellWorker(affPath, LoadUserWords(UserWordListPath()), this);
    m_highlighter = new TSpellHighlighter(editor->document(), m_worker);
    m_highlighter->setVisibleBlocks([editor] {
        const int height = editor->viewport()->height();
        return std::pair{editor->cursorForPosition(QPoint(0, 0)).blockNumber(),
                         editor->cursorForPosition(QPoint(0, height)).blockNumber()};
    });

    m_toggle = new QAction(QStringLiteral("맞춤법"), this);
    m_toggle->setObjectName("actSpellCheck");
    m_toggle->setCheckable(true);
    if (m_worker) {
        m_toggle->setChecked(ReadFormSetting(SettingsForm, SettingsKey, QStringLiteral("1")) != QStringLiteral("0"));
        m_toggle->setToolTip(QStringLiteral("맞춤법 검사: 사전에 없는 낱말에 밑줄을 긋습니다."));
    } else {
        m_toggle->setEnabled(false);
        m_toggle->setToolTip(NoKoreanDictionaryMessage);
    }
    m_highlighter->setActive(m_toggle->isChecked());
    connect(m_toggle, &QAction::toggled, this, &TSpellSupport::Toggled);
    editor->viewport()->installEventFilter(this);
    editor->installEventFilter(this);
}

void TSpellSupport::setArticle(const QString& key)
{
    if (key == m_article)
        return;
    m_article = key;
    m_highlighter->ClearIgnored();
}

void TSpellSupport::Toggled(bool on)
{
    m_highlighter->setActive(on);
    WriteFormSetting(SettingsForm, SettingsKey, on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TSpellSupport::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ContextMenu && m_highlighter->active()) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        const QPoint pos = watched == m_editor ? m_editor->viewport()->mapFrom(m_editor, menuEvent->pos())
                                               : menuEvent->pos();
        // The keyboard's menu key asks about the word at the caret.
        ShowMenu(menuEvent->reason() == QContextMenuEvent::Mouse ? pos : m_editor->cursorRect().center());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TSpellSupport::ShowMenu(const QPoint& pos)
{
    std::unique_ptr<QMenu> menu(m_editor->createStandardContextMenu(pos));
    QTextCursor at = m_editor->cursorForPosition(pos);
    const QTextBlock block = at.block();
    const qsizetype column = at.positionInBlock();
    TWordSpan found{-1, 0};
    for (const TWordSpan& span : TextWordSpans(block.text()))
        if (column >= span.start && column <= span.start + span.length)
            found = span;
    const QString word = found.start >= 0 ? block.text().mid(found.start, found.length) : QString();
    if (!word.isEmpty() && m_highlighter->Misspelled(word)) {
        QAction* first = menu->actions().value(0);
        const QStringList suggestions = m_worker->Suggest(word).mid(0, MenuSuggestions);
        const int start = block.position() + int(found.start);
        for (const QString& s : suggestions) {
            auto* a = new QAction(s, menu.get());
            a->setObjectName("actSuggestion");
            connect(a, &QAction::triggered, this, [this, start, word, s] {
                if (!m_makeEditable())
                    return;
                QTextCursor c(m_editor->document());
                c.setPosition(start);
                c.setPosition(start + int(word.size()), QTextCursor::KeepAnchor);
                if (c.selectedText() == word)
                    c.insertText(s);
            });
            menu->insertAction(first, a);
        }
        if (suggestions.isEmpty()) {
            auto* none = new QAction(QStringLiteral("(추천 낱말 없음)"), menu.get());
            none->setEnabled(false);
            menu->insertAction(first, none);
        }
        menu->insertSeparator(first);
        auto* add = new QAction(QStringLiteral("사전에 추가"), menu.get());
        add->setObjectName("actAddWord");
        connect(add, &QAction::triggered, this, [this, word] {
            QString error;
            if (!AddUserWord(UserWordListPath(), word, &error)) {
                m_showInfo(error);
                return;
            }
            m_highlighter->MarkKnown(word);
        });
        auto* ignore = new QAction(QStringLiteral("이 기사에서 무시"), menu.get());
        ignore->setObjectName("actIgnoreWord");
        connect(ignore, &QAction::triggered, this, [this, word] { m_highlighter->Ignore(word); });
        menu->insertAction(first, add);
        menu->insertAction(first, ignore);
        menu->insertSeparator(first);
    }
    menu->setObjectName("SpellMenu");
    menu->exec(m_editor->viewport()->mapToGlobal(pos));
}
