#pragma once
// Red wavy underlines under the words of an article the dictionary does not know, as the
// operator types, with the suggestions, "사전에 추가" and "이 기사에서 무시" in the editor's
// context menu and a toggle kept in the settings. The dictionary is asked on a worker thread;
// a line waits for its answers and is drawn again in slices once they are in.

#include <QHash>
#include <QObject>
#include <QSet>
#include <QSyntaxHighlighter>
#include <functional>
#include <utility>

class QAction;
class QPlainTextEdit;
class QTimer;
class TSpellWorker;

class TSpellHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    // `worker` may be null: nothing is underlined then.
    TSpellHighlighter(QTextDocument* document, TSpellWorker* worker);

    void setActive(bool on);
    bool active() const { return m_active; }
    // Unknown to the dictionary and the word list, not ignored; false while not yet answered.
    bool Misspelled(const QString& word) const;
    void Ignore(const QString& word);
    void ClearIgnored();
    void MarkKnown(const QString& word);
    // Words sent to the worker and not yet answered.
    int Pending() const { return int(m_asked.size()); }
    // No redraw waits: every answer in is drawn.
    bool Settled() const { return m_redrawFrom < 0; }
    // The first and last block in the editor's sight: while answers are still coming only these
    // are drawn again, the rest once all are in.
    void setVisibleBlocks(std::function<std::pair<int, int>()> visible) { m_visible = std::move(visible); }

protected:
    void highlightBlock(const QString& text) override;

private:
    void Answered(const QStringList& known, const QStringList& unknown);
    void SendQueued();
    void RedrawSlice();
    void RedrawVisible();
    void RedrawAll();

    TSpellWorker* m_worker;
    bool m_active = true;
    QHash<QString, bool> m_known;
    QSet<QString> m_asked;
    QStringList m_toAsk;
    QSet<QString> m_ignored;
    QTimer* m_send;
    QTimer* m_redraw;
    QTimer* m_redrawVisible;
    std::function<std::pair<int, int>()> m_visible;
    int m_redrawFrom = -1; // next block of the redraw pass, -1 when none runs
    bool m_redrawAgain = false;
    bool m_unknownSinceRedraw = false; // an unknown word came in since the last pass began
};

// The spell checking of one editor: highlighter, context menu and the toggle action.
class TSpellSupport : public QObject {
    Q_OBJECT
public:
    // `affPath`: the dictionary, empty when none is installed. `makeEditable` is asked before a
    // suggestion replaces a word; false leaves the text alone. `showInfo` tells why the word
    // list could not be written.
    TSpellSupport(QPlainTextEdit* editor, const QString& affPath, std::function<bool()> makeEditable,
                  std::function<void(const QString&)> showInfo);

    // Checkable "맞춤법" action (`actSpellCheck`); disabled with the package to install when no
    // Korean dictionary is there.
    QAction* toggleAction() const { return m_toggle; }
    TSpellHighlighter* highlighter() const { return m_highlighter; }
    // The words ignored "in this article" are forgotten when another article is shown.
    void setArticle(const QString& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowMenu(const QPoint& pos);
    void Toggled(bool on);

    QPlainTextEdit* m_editor;
    std::function<bool()> m_makeEditable;
    std::function<void(const QString&)> m_showInfo;
    TSpellWorker* m_worker = nullptr;
    TSpellHighlighter* m_highlighter = nullptr;
    QAction* m_toggle = nullptr;
    QString m_article;
};
