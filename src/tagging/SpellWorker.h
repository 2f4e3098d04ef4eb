#pragma once
// Spell checkers on threads of their own (two where the machine has the cores), so that an editor
// stays smooth while the dictionary (slow for Korean) is asked: words go in, answers come back
// by signal on the asker's thread. Suggestions are answered before the words still waiting.

#include <QObject>
#include <QStringList>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class TSpellWorker : public QObject {
    Q_OBJECT
public:
    // Loads the dictionary `affPath` and the operator's `userWords` on the worker thread.
    TSpellWorker(const QString& affPath, const QStringList& userWords, QObject* parent = nullptr);
    ~TSpellWorker() override;

    // Queues words to check; their answers arrive through `checked`.
    void Check(const QStringList& words);
    // The dictionary's suggestions, waiting for the worker (at most one small batch of words).
    QStringList Suggest(const QString& word);

signals:
    void checked(const QStringList& known, const QStringList& unknown);

private:
    void Run(QString affPath, QStringList userWords);

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<QString> m_words;
    std::optional<QString> m_suggestFor;
    std::optional<QStringList> m_suggestions;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
