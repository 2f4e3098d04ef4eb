#include "common/TestSupport.h"
#include "tagging/ImageFolder.h"
#include "tagging/JpegImage.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

TEST(ImageFolder, FolderRule)
{
    const QString job = "/work/jobs/데모";
    const QString root = ImageRoot(job);
    EXPECT_EQ(root, "/work/jobs/데모/img");
    struct Case {
        QString folder;
        bool inside;
    } cases[] = {
        {root, true},
        {root + "/", true},
        {root + "/ch1", true},
        {root + "/ch1/지도", true},
        {job + "/img1", false},
        {job + "/img 2", false},
        {job + "/Img", false},
        {job, false},
        {root + "/../img1", false},
        {"/", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsInsideImageRoot(root, c.folder), c.inside) << c.folder.toStdString();
    EXPECT_EQ(FolderRuleMessage(root), "이미지 폴더는 다음 폴더를 벗어날 수 없습니다.\r\n\r\n/work/jobs/데모/img");
}

TEST(ImageFolder, InsertedTag)
{
    const QString root = "/job/img";
    struct Case {
        QString folder;
        QString expected;
    } cases[] = {
        {root, "<img src=\"img/0001.jpg\" width=\"320\" height=\"200\">\r\n"},
        {root + "/ch1", "<img src=\"img/ch1/0001.jpg\" width=\"320\" height=\"200\">\r\n"},
        {root + "/ch1/지도", "<img src=\"img/ch1/지도/0001.jpg\" width=\"320\" height=\"200\">\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InsertedImageTag(root, c.folder, "0001.jpg", "320", "200"), c.expected);
}

TEST(ImageFolder, ShrinkWidthChecks)
{
    struct Case {
        int current, requested;
        QString problem;
    } cases[] = {
        {320, 321, "크기를 늘일 수는 없습니다."},
        {320, 9, "지정 크기가 너무 작습니다."},
        {320, 0, "지정 크기가 너무 작습니다."},
        {5, 9, "크기를 늘일 수는 없습니다."}, // too wide is told first
        {5, 10, "크기를 늘일 수는 없습니다."},
        {320, 10, ""},
        {320, 320, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShrinkWidthProblem(c.current, c.requested), c.problem) << c.current << " " << c.requested;
}

TEST(ImageFolder, ListsJpegFilesOnly)
{
    QTemporaryDir dir;
    const QString f = dir.path() + "/삽화";
    for (const char* name : {"b.jpg", "a.jpg", "C.JPG", "b.jpg.원본", "note.txt", "d.jpeg"})
        ASSERT_TRUE(WriteBytes(f + "/" + QString::fromUtf8(name), "x"));
    QDir(f).mkdir("sub.jpg");
    EXPECT_EQ(ListJpegFiles(f), QStringList({"a.jpg", "b.jpg", "C.JPG"}));
    EXPECT_TRUE(ListJpegFiles(dir.path() + "/missing").isEmpty());
}

// Whatever the operator types, both pictures stay on disk.
TEST(ImageFolder, RenameNeverLosesAnImage)
{
    QTemporaryDir dir;
    const QString f = dir.path() + "/지도";
    ASSERT_TRUE(WriteBytes(f + "/a.jpg", "A"));
    ASSERT_TRUE(WriteBytes(f + "/a.jpg.원본", "A-full"));
    ASSERT_TRUE(WriteBytes(f + "/b.jpg", "B"));
    ASSERT_TRUE(WriteBytes(f + "/c.jpg", "C"));
    ASSERT_TRUE(WriteBytes(f + "/d.jpg.원본", "stale"));
    QDir(f).mkdir("sub");

    struct Refused {
        QString newName;
    } refused[] = {{"b.jpg"}, {"sub/x.jpg"}, {"..\\x.jpg"}, {"../x.jpg"}, {"sub"}, {"d.jpg"}};
    for (const Refused& r : refused) {
        const TImageFileResult result = RenameImage(f, "a.jpg", r.newName);
        EXPECT_FALSE(result.ok) << r.newName.toStdString();
        EXPECT_FALSE(result.message.isEmpty());
    }
    EXPECT_EQ(ReadBytes(f + "/a.jpg"), "A");
    EXPECT_EQ(ReadBytes(f + "/b.jpg"), "B");
    EXPECT_EQ(ReadBytes(f + "/d.jpg.원본"), "stale");
    EXPECT_FALSE(QFileInfo::exists(f + "/sub/x.jpg"));

    // The full-size backup follows, so restore later finds the right picture.
    EXPECT_TRUE(RenameImage(f, "a.jpg", "지도1.jpg").ok);
    EXPECT_FALSE(QFileInfo::exists(f + "/a.jpg"));
    EXPECT_EQ(ReadBytes(f + "/지도1.jpg"), "A");
    EXPECT_EQ(ReadBytes(f + "/지도1.jpg.원본"), "A-full");
    EXPECT_FALSE(QFileInfo::exists(f + "/a.jpg.원본"));
    EXPECT_TRUE(RenameImage(f, "c.jpg", "c2.jpg").ok);
    EXPECT_EQ(ReadBytes(f + "/c2.jpg"), "C");
}

TEST(ImageFolder, DeleteKeepsTheBackup)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/a.jpg";
    ASSERT_TRUE(WriteBytes(path, "A"));
    ASSERT_TRUE(WriteBytes(path + ".원본", "A-full"));
    EXPECT_TRUE(DeleteImage(path).ok);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(QFileInfo::exists(path + ".원본"));
    EXPECT_FALSE(DeleteImage(path).ok);
}
