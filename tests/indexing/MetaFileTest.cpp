// The meta result file: layout, byte form, short and foreign files, numbered backups.

#include "common/TestSupport.h"
#include "indexing/MetaFile.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

TEST(MetaFile, RecordsByNodeAndEmptyBeyondTheEnd)
{
    TMetaData d(3);
    d.Lines() = {"a1", "b1", "c1", "a2"}; // record 2 cut short
    EXPECT_EQ(d.Record(1), QStringList({"a1", "b1", "c1"}));
    EXPECT_EQ(d.Record(2), QStringList({"a2", "", ""}));
    EXPECT_EQ(d.Record(5), QStringList({"", "", ""}));
    EXPECT_EQ(d.Value(0, 0), "");
    EXPECT_EQ(d.Value(1, 3), ""); // column outside the block

    d.SetValue(4, 1, "x"); // pads up to the record, leaves the rest alone
    EXPECT_EQ(d.Lines().size(), 11);
    EXPECT_EQ(d.Value(4, 1), "x");
    EXPECT_EQ(d.Value(2, 0), "a2");
    d.SetRecord(2, {"p", "q"});
    EXPECT_EQ(d.Record(2), QStringList({"p", "q", ""}));
}

TEST(MetaFile, TwoSavesLeaveTwoBackupsAndExactBytes)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("본문.kwd");
    TMetaData d(2);

    // Missing: empty and fine.
    ASSERT_TRUE(ReadMetaFile(file, d));
    EXPECT_TRUE(d.Lines().isEmpty());

    d.Lines() = {"제목", "x\ty"};
    QString backup;
    ASSERT_TRUE(SaveMetaFile(file, d, &backup));
    EXPECT_TRUE(backup.isEmpty());
    EXPECT_EQ(ReadBytes(file), Utf16File({"제목", "x\ty"}));

    d.Lines()[0] = "둘째";
    ASSERT_TRUE(SaveMetaFile(file, d, &backup));
    EXPECT_EQ(backup, file + ".001.bak");
    d.Lines()[0] = "셋째";
    ASSERT_TRUE(SaveMetaFile(file, d, &backup));
    EXPECT_EQ(backup, file + ".002.bak");
    EXPECT_EQ(ReadBytes(file + ".001.bak"), Utf16File({"제목", "x\ty"}));
    EXPECT_EQ(ReadBytes(file + ".002.bak"), Utf16File({"둘째", "x\ty"}));

    TMetaData back(2);
    ASSERT_TRUE(ReadMetaFile(file, back));
    EXPECT_EQ(back.Lines(), QStringList({"셋째", "x\ty"}));
}

TEST(MetaFile, LineBreaksInsideValuesDoNotShiftRecords)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("t.kwd");
    TMetaData d(2);
    d.Lines() = {"one\r\ntwo", "a\rb", "c\nd", "last"};
    ASSERT_TRUE(SaveMetaFile(file, d));
    TMetaData back(2);
    ASSERT_TRUE(ReadMetaFile(file, back));
    EXPECT_EQ(back.Lines(), QStringList({"one two", "a b", "c d", "last"}));
    EXPECT_EQ(back.Value(2, 1), "last");
}

TEST(MetaFile, ReadsCodePage949AndKeepsSurplusLines)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("old.kwd");
    ASSERT_TRUE(WriteBytes(file, EncodeLines({"한글", "", "남는 줄"}, TextEncoding::Cp949)));
    TMetaData d(2);
    ASSERT_TRUE(ReadMetaFile(file, d));
    EXPECT_EQ(d.Value(1, 0), "한글");
    EXPECT_EQ(d.Value(2, 0), "남는 줄");
    // Saving keeps the lines beyond the tree and writes them in the program's own encoding.
    ASSERT_TRUE(SaveMetaFile(file, d));
    EXPECT_EQ(ReadBytes(file), Utf16File({"한글", "", "남는 줄"}));
    EXPECT_EQ(ReadBytes(file + ".001.bak"), EncodeLines({"한글", "", "남는 줄"}, TextEncoding::Cp949));
}

// A file read whole is kept as its text and its lines are found on demand: every line, past the
// marks every 64 lines, reads as the split file does, whatever its line breaks; changed lines
// and lines added past the end are what a save writes.
TEST(MetaFile, AFileReadWholeAnswersAsItsSplitLines)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("big.kwd");
    QString many;
    for (int i = 0; i < 200; ++i)
        many += (i % 3 ? QString() : QString("값%1").arg(i)) + (i % 7 == 0 ? "\n" : i % 11 == 0 ? "\r" : "\r\n");
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"utf16le, mixed breaks, 200 lines", QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(many.utf16()), many.size() * 2)},
        {"cp949 without a final break", EncodeCp949("가\r\n\r\n나")},
        {"a lone break", QByteArray("\xFF\xFE\r\0", 4)},
        {"empty", QByteArray()},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(file, c.bytes));
        const QStringList expected = SplitLines(DecodeText(c.bytes));
        TMetaData d(3);
        ASSERT_TRUE(ReadMetaFile(file, d)) << c.name;
        EXPECT_EQ(d.LineCount(), expected.size()) << c.name;
        EXPECT_EQ(d.RecordCount(), (expected.size() + 2) / 3) << c.name;
        for (int i = 0; i <= expected.size(); ++i)
            EXPECT_EQ(d.Line(i), expected.value(i)) << c.name << " line " << i;

        TMetaData changed = d;
        changed.SetValue(2, 1, "바뀐 값");
        changed.SetRecord(100, {"끝"});
        QStringList lines = expected;
        while (lines.size() < 300)
            lines << QString();
        lines[4] = "바뀐 값";
        lines[297] = "끝";
        EXPECT_EQ(changed.Line(4), "바뀐 값") << c.name;
        EXPECT_EQ(d.Line(4), expected.value(4)) << c.name << ": the copy it came from is untouched";
        ASSERT_TRUE(SaveMetaFile(file, changed)) << c.name;
        EXPECT_EQ(ReadBytes(file), Utf16File(lines)) << c.name;
        EXPECT_EQ(changed.Lines(), lines) << c.name;
    }
}
