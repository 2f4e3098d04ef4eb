#include "common/TestSupport.h"
#include "shell/Settings.h"
#include "tagging/SpellCheck.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

QStringList Words(const QString& line)
{
    QStringList out;
    for (const TWordSpan& w : TextWordSpans(line))
        out << line.mid(w.start, w.length);
    return out;
}

} // namespace

TEST(SpellWords, OnlyTheWordsOfTheText)
{
    struct Case {
        const char* what;
        QString line;
        QStringList words;
    } cases[] = {
        {"Korean words and their particles", "섬사람들이 소금을 모았다.", {"섬사람들이", "소금을", "모았다"}},
        {"tag names and attributes are no words", "<H2 id=2_1>흰모래 언덕</H2>", {"흰모래", "언덕"}},
        {"an image tag with its path", "<img src=\"img/maps/island_map.jpg\" width=\"320\">그림", {"그림"}},
        {"an unclosed tag runs to the end", "앞 <img src=\"a.jpg\" alt=\"섬", {"앞"}},
        {"footnote markers and numbers", "날짜는<FN>3</FN> 3월 1일, 1) 주석 2판", {"날짜는", "주석"}},
        {"entity references", "A&amp;B &#44608;섬 &gt;", {"A", "B", "섬"}},
        {"URLs", "보기 http://example.org/섬?x=1 와 www.물새.kr 끝", {"보기", "와", "끝"}},
        {"an apostrophe inside an English word", "don't 'quote'", {"don't", "quote"}},
        {"full-width punctuation between words", "【인물】 서하린", {"인물", "서하린"}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Words(c.line), c.words);
    }
}

TEST(SpellDictionary, KoreanDictionaryKnowsSuggestsAndHonoursTheUserWords)
{
    const QString aff = FindKoreanDictionary();
    ASSERT_FALSE(aff.isEmpty()) << "hunspell-ko is part of the build's packages";
    TSpellChecker checker;
    ASSERT_TRUE(checker.Open(aff));
    EXPECT_TRUE(checker.Known("학교"));
    EXPECT_FALSE(checker.Known("학꾜"));
    EXPECT_TRUE(checker.Suggest("학꾜").contains("학교"));
    // Hanja and Latin words are not the Korean dictionary's to judge.
    for (const char* other : {"燈臺", "harbour", "Qwxyz"})
        EXPECT_TRUE(checker.Known(QString::fromUtf8(other))) << other;

    const QString line = "물새섬은 학교 <b>학꾜</b> 123";
    QList<TWordSpan> unknown = checker.UnknownWords(line);
    ASSERT_EQ(unknown.size(), 2);
    EXPECT_EQ(line.mid(unknown[1].start, unknown[1].length), "학꾜");

    // The operator's list is a UTF-8 file of one word a line in the data folder.
    const QString list = UserWordListPath();
    EXPECT_TRUE(list.startsWith(DataFolder()));
    ASSERT_TRUE(AddUserWord(list, "물새섬은"));
    ASSERT_TRUE(AddUserWord(list, "물새섬은"));
    EXPECT_EQ(ReadBytes(list), QString("물새섬은\n").toUtf8());
    checker.SetUserWords(LoadUserWords(list));
    unknown = checker.UnknownWords(line, {"학꾜"});
    EXPECT_TRUE(unknown.isEmpty());
    QFile::remove(list);
}

TEST(SpellDictionary, FoundThroughDicpathAndMissingOnesSaySo)
{
    QTemporaryDir dir;
    WriteBytes(dir.filePath("xx_TEST.aff"), "SET UTF-8\n");
    WriteBytes(dir.filePath("xx_TEST.dic"), QString("1\n물새섬\n").toUtf8());
    const QByteArray old = qgetenv("DICPATH");
    qputenv("DICPATH", QFile::encodeName(dir.path()));
    const QString aff = FindDictionary("xx_TEST");
    qputenv("DICPATH", old);
    ASSERT_EQ(aff, dir.filePath("xx_TEST.aff"));
    TSpellChecker checker;
    ASSERT_TRUE(checker.Open(aff));
    EXPECT_TRUE(checker.Known("물새섬"));
    EXPECT_FALSE(checker.Known("등대"));

    EXPECT_TRUE(FindDictionary("zz_NONE").isEmpty());
    EXPECT_FALSE(checker.Open(dir.filePath("zz_NONE.aff")));
    EXPECT_FALSE(checker.IsOpen());
    EXPECT_TRUE(checker.Known("아무것")) << "without a dictionary nothing is underlined";
}
