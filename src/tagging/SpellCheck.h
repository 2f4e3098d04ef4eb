#pragma once
// Spell checking of article text with Hunspell: which spans of a line are words of the text
// (never tag names, attributes, entities, URLs, footnote markers or numbers), which of them the
// dictionary and the operator's own word list do not know, and what the dictionary suggests.

#include "articles/ArticleIndex.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <functional>
#include <QString>
#include <QStringList>
#include <memory>

class Hunspell;
class Interaction;

struct TWordSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const TWordSpan&) const = default;
};

// The words of one line of article text, in order.
QList<TWordSpan> TextWordSpans(QStringView line);

// Folders searched for "{language}.aff/.dic": $DICPATH, the user's own, then the system's.
QStringList DictionaryFolders();
// The .aff path of the first dictionary found for `language` (for example "ko_KR" or "ko"),
// empty when none is installed.
QString FindDictionary(const QString& language);

// The operator's own words: "spell_words.txt" in the data folder, one word a line, UTF-8.
QString UserWordListPath();
QStringList LoadUserWords(const QString& path);
// Adds `word` to the list file (atomically); false with the reason when it cannot be written.
bool AddUserWord(const QString& path, const QString& word, QString* error = nullptr);

// One dictionary and the user's words. Not thread-safe: one checker per thread.
class TSpellChecker {
public:
    TSpellChecker();
    ~TSpellChecker();
    TSpellChecker(const TSpellChecker&) = delete;
    TSpellChecker& operator=(const TSpellChecker&) = delete;

    // Loads the dictionary whose .aff file is `affPath` (the .dic beside it). False when missing.
    bool Open(const QString& affPath);
    bool IsOpen() const { return m_hunspell != nullptr; }

    void SetUserWords(const QStringList& words);
    void AddUserWord(const QString& word) { m_userWords.insert(word); }

    bool Known(const QString& word);
    QStringList Suggest(const QString& word);
    // The unknown words of a line, skipping `ignored` (the words ignored in this article).
    QList<TWordSpan> UnknownWords(QStringView line, const QSet<QString>& ignored = {});

private:
    std::unique_ptr<Hunspell> m_hunspell;
    QSet<QString> m_userWords;
    bool m_hangulOnly = false;
    // The dictionary's answers so far: books repeat their words. Bounded, so that a tab of
    // garbled text cannot make them grow without end; a full cache starts again.
    static constexpr qsizetype CacheLimit = 200000;
    QHash<QString, bool> m_known;
    QHash<QString, QStringList> m_suggestions;
};

// The Korean dictionary ("ko_KR", else "ko"), or empty; the message names the package to install.
QString FindKoreanDictionary();
inline const QString NoKoreanDictionaryMessage =
    QStringLiteral("한국어 맞춤법 사전이 설치되어 있지 않습니다. hunspell-ko 패키지를 설치하세요.");

// The spell report of a tab: per article, the unknown words with their line and first suggestion.
struct TSpellFinding {
    QString articleId;
    QString title;
    int line = 0;   // 1-based
    QString word;
    QString suggestion;
};

struct TSpellScan {
    qint64 findings = 0;
    int articles = 0;
    int unreadable = 0;
    bool stopped = false;
};

// Hands every unknown word of the tab's articles to `found` in order, kept nowhere else, so a
// tab of any size is reported in bounded memory; `suggest` adds the first suggestion of each
// (the slow part: asked once per distinct word). Progress on bar 0, Esc between articles.
TSpellScan SpellCheckTab(const TJobDefine& job, int tab, const TArticleTree& tree, TSpellChecker& checker,
                         Interaction& ui, bool suggest, const std::function<void(const TSpellFinding&)>& found);
