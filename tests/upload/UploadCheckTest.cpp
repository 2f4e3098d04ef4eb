#include "upload/UploadCheck.h"

#include "common/TestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Two tabs, "번역" connected to "본문", source images linked, "본문" a keyword tab whose meta
// result file is newer than its index.
struct CheckJob {
    QTemporaryDir dir;
    TJobDefine job;
    CheckJob()
    {
        job.WorkFolder = dir.path();
        job.pID = "9001";
        job.pNAME = "데모";
        job.srcImage = "Y";
        job.TabsCount = 2;
        job.TabsName[0] = "본문";
        job.TabsName[1] = "번역";
        job.TabsID[0] = "101";
        job.TabsID[1] = "102";
        job.TabsLink[1] = "본문";
        WriteBytes(path("본문.idx"), Utf16File({"1", "1", "하나"}));
        WriteBytes(path("번역.idx"), Utf16File({"1", "1", "one"}));
        WriteBytes(path("번역_connect.txt"), Utf16File({"-", "1"}));
        WriteBytes(path("본문_images.txt"), Utf16File({"-", "-", "1.jpg", "1.jpg"}));
        WriteBytes(path("images/1.jpg"), "jpeg");
        WriteBytes(path("본문.kwd"), Utf16File({"x"}));
        setTime("본문.idx", -60);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void setTime(const QString& name, int secondsFromNow) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(secondsFromNow), QFileDevice::FileModificationTime));
    }
};

TEST(UploadCheck, PassesAndCollectsLinksAndImages)
{
    CheckJob j;
    RecordingInteraction ui;
    const TUploadCheck c = RunUploadCheck(j.job, {"101"}, ui);
    EXPECT_TRUE(c.passed) << ui.reports.join("\n").toStdString() << ui.infos.join("\n").toStdString();
    EXPECT_EQ(c.linkedTabs, (QList<QPair<int, int>>{{1, 0}}));
    ASSERT_EQ(c.sourceImages.files.size(), 1);
    EXPECT_TRUE(c.imagesAvailable);
    EXPECT_EQ(ui.reports, QStringList{UploadCheckStartReport});
}

TEST(UploadCheck, EachMissingPieceBlocksWithItsReport)
{
    struct Case {
        const char* what;
        std::function<void(CheckJob&)> spoil;
        QStringList keywordTabs;
        QString report; // last report line, or the box when `box`
        bool box = false;
    };
    const Case cases[] = {
        {"no connection file", [](CheckJob& j) { QFile::remove(j.path("번역_connect.txt")); }, {"101"},
         NotConnectedReport("번역")},
        {"empty connection file", [](CheckJob& j) { WriteBytes(j.path("번역_connect.txt"), ""); }, {"101"},
         NotConnectedReport("번역")},
        {"image links of the root only",
         [](CheckJob& j) { WriteBytes(j.path("본문_images.txt"), Utf16File({"-", "-"})); }, {"101"},
         NoSourceImageLinksReport},
        {"no meta result file", [](CheckJob& j) { QFile::remove(j.path("본문.kwd")); }, {"101"}, NoMetaFileReport("본문")},
        {"meta older than the index", [](CheckJob& j) { j.setTime("본문.kwd", -120); }, {"101"},
         MetaOlderThanIndexMessage("본문"), true},
        {"keyword tab not in the job", [](CheckJob&) {}, {"101", "777"}, UploadCheckErrorReport},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CheckJob j;
        c.spoil(j);
        RecordingInteraction ui;
        EXPECT_FALSE(RunUploadCheck(j.job, c.keywordTabs, ui).passed);
        if (c.box)
            EXPECT_EQ(ui.infos.value(0).toStdString(), c.report.toStdString());
        else
            EXPECT_EQ(ui.reports.last().toStdString(), c.report.toStdString());
    }
    // A tree that cannot be loaded: the loader says why.
    CheckJob j;
    QFile::remove(j.path("번역.idx"));
    RecordingInteraction ui;
    EXPECT_FALSE(RunUploadCheck(j.job, {}, ui).passed);
    EXPECT_FALSE(ui.infos.isEmpty() && ui.reports.size() < 2);
}

TEST(UploadCheck, NoSourceImagesTurnsTheImageOptionOff)
{
    CheckJob j;
    QFile::remove(j.path("images/1.jpg"));
    RecordingInteraction ui;
    const TUploadCheck c = RunUploadCheck(j.job, {}, ui);
    EXPECT_TRUE(c.passed);
    EXPECT_FALSE(c.imagesAvailable);
    EXPECT_TRUE(ui.reports.contains(NoSourceImagesReport));
}

TEST(UploadCheck, TabsCountText)
{
    EXPECT_EQ(UploadTabsCountText({true, true}), "전체");
    EXPECT_EQ(UploadTabsCountText({true, false, true}), "2");
    EXPECT_EQ(UploadTabsCountText({false, false}), "0");
}

} // namespace
