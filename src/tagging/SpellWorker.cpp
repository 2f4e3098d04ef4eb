#include "tagging/SpellWorker.h"

#include "tagging/SpellCheck.h"

namespace {
// Words answered per round: small enough that a suggestion asked meanwhile waits only briefly.
constexpr int BatchWords = 64;
} // namespace

TSpellWorker::TSpellWorker(const QString& affPath, const QStringList& userWords, QObject* parent)
    : QObject(parent)
{
    // Each thread holds a dictionary of its own: the checker is not shared between threads.
    const unsigned threads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;
    for (unsigned k = 0; k < threads; ++k)
        m_threads.emplace_back([this, affPath, userWords] { Run(affPath, userWords); });
}

TSpellWorker::~TSpellWorker()
{
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

void TSpellWorker::Check(const QStringList& words)
{
    if (words.isEmpty())
        return;
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_words.insert(m_words.end(), words.begin(), words.end());
    }
    m_wake.notify_all();
}

QStringList TSpellWorker::Suggest(const QString& word)
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_suggestFor = word;
    m_suggestions.reset();
    m_wake.notify_all();
    m_wake.wait(hold, [this] { return m_suggestions.has_value() || m_stop; });
    QStringList out = m_suggestions.value_or(QStringList());
    m_suggestions.reset();
    return out;
}

void TSpellWorker::Run(QString affPath, QStringList userWords)
{
    TSpellChecker checker;
    {
        // Dictionaries are loaded one at a time: the library's loading keeps shared tables.
        static std::mutex loading;
        const std::lock_guard<std::mutex> one(loading);
        // A dictionary that cannot be loaded knows every word: nothing is underlined.
        checker.Open(affPath);
    }
    checker.SetUserWords(userWords);
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [this] { return m_stop || m_suggestFor || !m_words.empty(); });
        if (m_stop)
            return;
        if (m_suggestFor) {
            const QString word = *m_suggestFor;
            m_suggestFor.reset();
            hold.unlock();
            QStringList found = checker.Suggest(word);
            hold.lock();
            m_suggestions = std::move(found);
            m_wake.notify_all();
            continue;
        }
        QStringList batch;
        while (!m_words.empty() && batch.size() < BatchWords) {
            batch << std::move(m_words.front());
            m_words.pop_front();
        }
        hold.unlock();
        QStringList known, unknown;
        for (const QString& w : batch)
            (checker.Known(w) ? known : unknown) << w;
        emit checked(known, unknown);
        hold.lock();
    }
}
