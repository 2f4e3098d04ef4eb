#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/TextFile.h"
#include "tagging/ImageLinks.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

TImageLinks Rows(std::initializer_list<std::pair<const char*, const char*>> cells)
{
    TImageLinks rows;
    for (const auto& [s, e] : cells)
        rows.push_back({QString::fromUtf8(s), QString::fromUtf8(e)});
    return rows;
}

} // namespace

TEST(ImageLinksFile, ThreeArticlesWithOneRangeWriteEightLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("본문_images.txt");
    TImageLinks rows = Rows({{"", ""}, {"0001.jpg", "0003.jpg"}, {"", ""}, {"-", "-"}});
    QString error;
    ASSERT_TRUE(WriteLinkFile(path, ImageLinkLines(rows), &error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(path), Utf16File({"-", "-", "0001.jpg", "0003.jpg", "-", "-", "-", "-"}));

    TImageLinks back;
    const TLinkFileRead read = ReadImageLinks(path, 4, back);
    EXPECT_TRUE(read.ok && read.exists);
    EXPECT_EQ(back, Rows({{"-", "-"}, {"0001.jpg", "0003.jpg"}, {"-", "-"}, {"-", "-"}}));
    EXPECT_FALSE(QFileInfo::exists(path + ".001.bak")) << "a plain rewrite keeps no backup";
}

TEST(ImageLinksFile, ShortLongMissingAndAnsiFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a_images.txt");
    struct Case {
        const char* what;
        bool file;
        QByteArray bytes;
        TImageLinks expected;
    } cases[] = {
        {"no file: every cell -", false, {}, Rows({{"-", "-"}, {"-", "-"}, {"-", "-"}})},
        {"empty file", true, QByteArray(), Rows({{"-", "-"}, {"-", "-"}, {"-", "-"}})},
        {"short file: the end of node 1 is missing", true, Utf16File({"-", "-", "0002.jpg"}),
         Rows({{"-", "-"}, {"0002.jpg", "-"}, {"-", "-"}})},
        {"extra lines are ignored", true, Utf16File({"-", "-", "a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg", "g"}),
         Rows({{"-", "-"}, {"a.jpg", "b.jpg"}, {"c.jpg", "d.jpg"}})},
        {"code page 949 without byte-order mark", true, EncodeCp949("-\r\n-\r\n표지.jpg\r\n본문 끝.jpg\r\n"),
         Rows({{"-", "-"}, {"표지.jpg", "본문 끝.jpg"}, {"-", "-"}})},
        {"names that are no image stay as written", true, Utf16File({"../../x", "", "0001.jpg"}),
         Rows({{"../../x", ""}, {"0001.jpg", "-"}, {"-", "-"}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path);
        if (c.file) {
            ASSERT_TRUE(WriteBytes(path, c.bytes));
        }
        TImageLinks rows;
        const TLinkFileRead read = ReadImageLinks(path, 3, rows);
        EXPECT_TRUE(read.ok);
        EXPECT_EQ(rows, c.expected);
    }
}

TEST(ImageLinksFile, LinesTheNewFileWouldDropAreKeptInABackup)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a_images.txt");
    const QByteArray longer = Utf16File({"-", "-", "0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg"});
    ASSERT_TRUE(WriteBytes(path, longer));
    ASSERT_TRUE(WriteLinkFile(path, {"-", "-", "0001.jpg", "0004.jpg"}));
    EXPECT_EQ(ReadBytes(path + ".001.bak"), longer);
    EXPECT_EQ(ReadBytes(path), Utf16File({"-", "-", "0001.jpg", "0004.jpg"}));

    // Bytes that were no valid text are kept too.
    const QByteArray broken("-\r\n-\r\n\x81\xFF.jpg\r\n-\r\n");
    ASSERT_TRUE(WriteBytes(path, broken));
    ASSERT_TRUE(WriteLinkFile(path, {"-", "-", "0001.jpg", "-"}));
    EXPECT_EQ(ReadBytes(path + ".002.bak"), broken);
}

TEST(ImageLinksFile, FileNamesStayInTheJobFolder)
{
    TJobDefine job;
    job.WorkFolder = "/jobs/a";
    job.TabsCount = 3;
    job.TabsName[0] = "본문";
    job.TabsName[1] = "../x";
    job.TabsName[2] = "";
    EXPECT_EQ(ImageLinkFileName(job, 0), "/jobs/a/본문_images.txt");
    EXPECT_EQ(ImageLinkFileName(job, 1), "");
    EXPECT_EQ(ImageLinkFileName(job, 2), "");
    EXPECT_EQ(ImageLinkFileName(job, 3), "");
}

TEST(ImageLinksFile, SourceImagesAreTheJpegFilesInCaseInsensitiveOrder)
{
    QTemporaryDir dir;
    for (const char* name : {"b.jpg", "A.jpg", "c.JPG", "표지.jpg", "note.txt", "0010.jpg", "0009.jpg"})
        ASSERT_TRUE(WriteBytes(dir.path() + "/images/" + QString::fromUtf8(name), "x"));
    QDir(dir.path()).mkpath("images/folder.jpg");
    // "*.jpg" matches without regard to case, as the folder listing of the platform does.
    EXPECT_EQ(ListSourceImages(dir.path()),
              QStringList({"0009.jpg", "0010.jpg", "A.jpg", "b.jpg", "c.JPG", "표지.jpg"}));
    EXPECT_TRUE(ListSourceImages(dir.path() + "/none").isEmpty());
}

TEST(ImageLinksCheck, OwnOrderAndThePreviousArticlesEnd)
{
    struct Case {
        const char* what;
        TImageLinks rows;
        int failing;
    } cases[] = {
        {"nothing set", Rows({{"-", "-"}, {"-", "-"}}), -1},
        {"ranges in order, sharing a page", Rows({{"-", "-"}, {"0001.jpg", "0003.jpg"}, {"0003.jpg", "0005.jpg"}}), -1},
        {"start after its own end", Rows({{"-", "-"}, {"0001.jpg", "0002.jpg"}, {"0005.jpg", "0004.jpg"}}), 2},
        {"start before the previous end", Rows({{"-", "-"}, {"0001.jpg", "0004.jpg"}, {"0003.jpg", "0006.jpg"}}), 2},
        {"a half-set row between is skipped",
         Rows({{"-", "-"}, {"0004.jpg", "0005.jpg"}, {"0009.jpg", ""}, {"0002.jpg", "0003.jpg"}}), 3},
        {"half-set rows are never refused", Rows({{"-", "-"}, {"0009.jpg", "-"}, {"", "0001.jpg"}}), -1},
        {"the root's range does not bind the articles", Rows({{"0001.jpg", "0012.jpg"}, {"0001.jpg", "0002.jpg"}}), -1},
        {"the root's own order", Rows({{"0002.jpg", "0001.jpg"}, {"-", "-"}}), 0},
        {"ordinal: upper case sorts before lower case", Rows({{"-", "-"}, {"a.jpg", "B.jpg"}}), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CheckImageLinks(c.rows), c.failing);
    }
}

TEST(ImageLinksUse, MarkingAndTheUnusedImages)
{
    const QStringList images{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg", "0005.jpg", "0006.jpg"};
    const TImageLinks rows = Rows({{"-", "-"}, {"0002.jpg", "0003.jpg"}, {"0005.jpg", ""}, {"", "0006.jpg"}});
    // An emptied cell: the row marks the other cell's image alone.
    EXPECT_EQ(UnusedImages(images, rows), QStringList({"0001.jpg", "0004.jpg"}));
    EXPECT_EQ(UnusedImages(images, Rows({{"-", "-"}})), images);
    // "-" is a value that sorts before the digits: from "-" to 0003 marks 0001 to 0003, from
    // 0005 to "-" marks nothing.
    EXPECT_EQ(UnusedImages(images, Rows({{"-", "0003.jpg"}, {"0005.jpg", "-"}})),
              QStringList({"0004.jpg", "0005.jpg", "0006.jpg"}));
}

TEST(ImageLinksPut, EnteringATabRunsStartEndNextRow)
{
    const QStringList images{"0001.jpg", "0002.jpg", "0003.jpg"};
    TImageLinks rows = Rows({{"-", "-"}, {"-", "-"}, {"-", "-"}});

    TLinkStep s = PutImage(rows, images, 0, 1, 0);
    EXPECT_TRUE(s.changed);
    EXPECT_EQ((std::array{s.image, s.row, s.column}), (std::array{1, 1, 1}));
    s = PutImage(rows, images, s.image, s.row, s.column);
    EXPECT_EQ((std::array{s.image, s.row, s.column}), (std::array{2, 2, 0}));
    // The last image is written but neither the image nor the cell moves.
    s = PutImage(rows, images, s.image, s.row, s.column);
    EXPECT_TRUE(s.changed);
    EXPECT_EQ((std::array{s.image, s.row, s.column}), (std::array{2, 2, 0}));
    EXPECT_EQ(rows, Rows({{"-", "-"}, {"0001.jpg", "0002.jpg"}, {"0003.jpg", "-"}}));

    // The same name again changes nothing; the end of the last row stays on the last row.
    s = PutImage(rows, images, 0, 1, 0);
    EXPECT_FALSE(s.changed);
    s = PutImage(rows, images, 0, 2, 1);
    EXPECT_EQ((std::array{s.image, s.row, s.column}), (std::array{1, 2, 1}));
    // No image: nothing happens.
    s = PutImage(rows, {}, 0, 1, 0);
    EXPECT_FALSE(s.changed);
    EXPECT_EQ(s.row, 1);
}
