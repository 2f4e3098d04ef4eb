#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

TEST(TextFile, DetectsEncodingsAndSplitsLines)
{
    const QString text = QStringLiteral("가나\r\nabc\n다\rend");
    const QStringList expected{QStringLiteral("가나"), "abc", QStringLiteral("다"), "end"};
    QByteArray be("\xFE\xFF", 2);
    for (QChar c : text) {
        be.append(char(c.unicode() >> 8));
        be.append(char(c.unicode() & 0xFF));
    }
    struct Case {
        const char* name;
        QByteArray bytes;
        TextEncoding encoding;
    } cases[] = {
        {"utf8 bom", QByteArray("\xEF\xBB\xBF") + text.toUtf8(), TextEncoding::Utf8},
        {"utf16le bom", QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2), TextEncoding::Utf16LE},
        {"utf16be bom", be, TextEncoding::Utf16BE},
        {"cp949", EncodeCp949(text), TextEncoding::Cp949},
    };
    for (const Case& c : cases) {
        TextEncoding detected{};
        bool valid = false;
        const QString decoded = DecodeText(c.bytes, &detected, &valid);
        EXPECT_EQ(detected, c.encoding) << c.name;
        EXPECT_TRUE(valid) << c.name;
        EXPECT_EQ(SplitLines(decoded), expected) << c.name;
    }
}

// Found by fuzzing: the UTF-8 decoder took a U+FEFF right after our mark for a second mark and
// dropped it, so such a file did not read back as it was written.
TEST(TextFile, TextStartingWithZeroWidthNoBreakSpaceReadsBack)
{
    const QStringList lines{QStringLiteral("\uFEFF가"), QStringLiteral("\uFEFF")};
    for (TextEncoding enc : {TextEncoding::Utf8, TextEncoding::Utf16LE}) {
        TextEncoding detected{};
        EXPECT_EQ(SplitLines(DecodeText(EncodeLines(lines, enc), &detected)), lines) << int(enc);
        EXPECT_EQ(detected, enc);
    }
}

// Found by filling the disk under a save: the buffered writer reported success and left an empty
// file under the name. A file size limit makes the same write failure without a mount.
TEST(TextFile, FailedWriteKeepsThePreviousFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.txt");
    ASSERT_TRUE(WriteBytes(path, "old"));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool ok = WriteFileAtomic(path, QByteArray(6000, 'x'), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.txt"}) << "a temporary file was left";
}

TEST(TextFile, FinalLineBreakAddsNoEmptyLine)
{
    EXPECT_EQ(SplitLines("a\r\nb\r\n"), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (QStringList{"a", ""}));
    EXPECT_EQ(SplitLines(""), QStringList{});
    EXPECT_EQ(SplitLines("\n"), QStringList{""});
}

TEST(TextFile, InvalidBytesAreFlaggedNotLost)
{
    bool valid = true;
    // 0x81 leads a two-byte character; a space cannot follow it. The text around it survives.
    const QString s = DecodeText(QByteArray("ab\x81 cd"), nullptr, &valid);
    EXPECT_FALSE(valid);
    EXPECT_TRUE(s.startsWith("ab"));
    EXPECT_TRUE(s.endsWith("cd"));
    valid = true;
    DecodeText(QByteArray("\xFF\xFE" "a", 3), nullptr, &valid); // odd UTF-16 length
    EXPECT_FALSE(valid);
}

TEST(TextFile, WritesBomAndCrLfAtomically)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.txt");
    ASSERT_TRUE(WriteTextLines(path, {QStringLiteral("한"), "b"}));
    EXPECT_EQ(ReadBytes(path), Utf16File({QStringLiteral("한"), "b"}));
    ASSERT_TRUE(WriteTextLines(path, {"x"}, TextEncoding::Utf8));
    EXPECT_EQ(ReadBytes(path), QByteArray("\xEF\xBB\xBFx\r\n"));
    // A folder that cannot take the file leaves nothing half-written behind.
    QString error;
    EXPECT_FALSE(WriteTextLines(dir.filePath("missing/out.txt"), {"x"}, TextEncoding::Utf16LE, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadBytes(path), QByteArray("\xEF\xBB\xBFx\r\n"));
}

TEST(TextFile, Cp949RoundTripAndLossDetection)
{
    bool lossless = false;
    const QByteArray bytes = EncodeCp949(QStringLiteral("데모 도서"), &lossless);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(DecodeCp949(bytes), QStringLiteral("데모 도서"));
    // Found by fuzzing: ICU skips ignorable characters silently, which counted as lossless, so an
    // INI file saved in 949 lost them.
    for (const QString& lost : {QStringLiteral("\U0001F600"), QStringLiteral("a\uFEFFb"), QStringLiteral("\u200B")}) {
        EncodeCp949(lost, &lossless);
        EXPECT_FALSE(lossless) << lost.toStdString();
    }
    bool known = false;
    EXPECT_EQ(DecodeCharset(bytes, "euc-kr", &known), QStringLiteral("데모 도서"));
    EXPECT_TRUE(known);
    DecodeCharset("x", "no-such-charset", &known);
    EXPECT_FALSE(known);
}

// A file written piece by piece: what Commit puts under the name is every piece in order, past
// the writer's buffer too; without Commit the previous file stays and no temporary one is left.
TEST(TextFile, AtomicFileWrittenInPieces)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.txt");
    ASSERT_TRUE(WriteBytes(path, "old"));
    QStringList lines;
    for (int i = 0; i < 60000; ++i)
        lines << QStringLiteral("줄 %1 ").arg(i).repeated(i % 7);
    {
        TAtomicFile abandoned(path);
        abandoned.Write("\xFF\xFE", 2);
        for (const QString& l : lines)
            abandoned.WriteUtf16Line(l);
    }
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"big.txt"});

    TAtomicFile file(path);
    file.Write("\xFF\xFE", 2);
    for (const QString& l : lines)
        file.WriteUtf16Line(l);
    QString error;
    ASSERT_TRUE(file.Commit(&error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(path), EncodeLines(lines, TextEncoding::Utf16LE));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"big.txt"});
}

// The line reader gives the lines ReadTextLines gives, whatever the chunk size: a character, a
// CR LF or a mark cut at a chunk's end included.
TEST(TextFile, LineReaderReadsWhatTheWholeFileReads)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("lines.txt");
    const QString texts[] = {
        QStringLiteral("가나\r\nabc\n다\rend"),
        QStringLiteral("\r\n\r\n끝 없는 줄"),
        QStringLiteral("한\r\n\r\n"),
        QStringLiteral("\uFEFF첫\r\r\n😀 emoji\n"),
        QString(),
    };
    for (const QString& text : texts) {
        const QByteArray files[] = {
            QByteArray("\xEF\xBB\xBF") + text.toUtf8(),
            QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2),
            EncodeCp949(text),
        };
        for (const QByteArray& bytes : files) {
            ASSERT_TRUE(WriteBytes(path, bytes));
            QStringList whole;
            ASSERT_TRUE(ReadTextLines(path, whole));
            for (qsizetype chunk : {4, 5, 7, 1 << 16}) {
                TTextLineReader reader(path, chunk);
                ASSERT_TRUE(reader.Open());
                QStringList lines;
                for (QString line; reader.Next(line);)
                    lines << line;
                EXPECT_EQ(lines, whole) << text.toStdString() << " chunk " << chunk << " bytes " << bytes.toHex().constData();
                EXPECT_TRUE(reader.Error().isEmpty());
            }
        }
    }
    TTextLineReader missing(dir.filePath("none.txt"));
    QString error;
    EXPECT_FALSE(missing.Open(&error));
    EXPECT_FALSE(error.isEmpty());
}

// Reading goes straight to the system: what is not a readable file is refused with its reason,
// and a file is read whole whatever its size (empty, one byte past a page, several megabytes).
TEST(TextFile, ReadsWholeFilesAndRefusesWhatIsNone)
{
    QTemporaryDir dir;
    QByteArray bytes;
    QString error;
    EXPECT_FALSE(ReadFileBytes(dir.path(), bytes, &error)) << "a folder";
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(ReadFileBytes(dir.filePath("missing.txt"), bytes, &error));
    EXPECT_FALSE(error.isEmpty());
    QStringList lines;
    EXPECT_FALSE(ReadTextLines(dir.path(), lines)) << "a folder has no lines";

    for (const qsizetype size : {qsizetype(0), qsizetype(4097), qsizetype(5) << 20}) {
        QByteArray content(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            content[i] = char(i * 7);
        const QString path = dir.filePath(QString("f%1").arg(size));
        ASSERT_TRUE(WriteBytes(path, content));
        ASSERT_TRUE(ReadFileBytes(path, bytes, &error)) << size;
        EXPECT_EQ(bytes, content) << size;
    }
}
