#include "upload/UploadCheck.h"

#include "server/VUX_codes.h"
#include "upload/JobPreflight.h"

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

// What the upload will not send is said, one reason per image tag.
TEST(UploadCheck, ImageTagsWhoseFileStaysBehind)
{
    CheckJob j;
    j.job.insImage = "Y";
    const QByteArray jpeg("\xFF\xD8\xFF\xE0 jfif", 9);
    WriteBytes(j.path("img/ok.jpg"), jpeg);
    WriteBytes(j.path("img/a/b/c/deep.jpg"), jpeg);
    WriteBytes(j.path("img/fake.jpg"), QByteArray("\x89PNG\r\n\x1a\n", 8));
    WriteBytes(j.path("img/pic.png"), QByteArray("\x89PNG\r\n\x1a\n", 8));
    WriteBytes(j.path("img/.old/x.jpg"), jpeg);
    QFile::link(j.path("img/ok.jpg"), j.path("img/link.jpg"));
    const struct {
        const char* src;
        const char* why; // "" when the upload sends it
    } cases[] = {
        {"img/ok.jpg", ""},
        {"img\\ok.jpg", ""},
        {"img/a/b/c/deep.jpg", ""},
        {"", "이미지 태그에 src가 없습니다."},
        {"img/none.jpg", "이미지 img/none.jpg이(가) 없습니다."},
        {"../x.jpg", "이미지 ../x.jpg이(가) img 폴더 아래의 파일이 아닙니다."},
        {"img/../../x.jpg", "이미지 img/../../x.jpg이(가) img 폴더 아래의 파일이 아닙니다."},
        {"images/1.jpg", "이미지 images/1.jpg이(가) img 폴더 아래의 파일이 아닙니다."},
        {"img/fake.jpg", "이미지 img/fake.jpg: 내용이 JPEG가 아닙니다 (PNG)."},
        {"img/pic.png", "이미지 img/pic.png: 확장자가 .jpg가 아니어서 전송되지 않습니다."},
        {"img/.old/x.jpg", "이미지 img/.old/x.jpg: 이름이 \".\"으로 시작하는 숨은 파일이나 폴더는 전송되지 않습니다."},
        {"img/link.jpg", "이미지 img/link.jpg: 링크는 전송되지 않습니다."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImageSourceProblem(j.job, QString::fromUtf8(c.src)), QString::fromUtf8(c.why)) << c.src;
    j.job.insImage = "N";
    EXPECT_EQ(ImageSourceProblem(j.job, "img/ok.jpg"), "이미지 img/ok.jpg: 삽입 이미지를 전송하지 않는 제품입니다.");
    j.job.insImage = "Y";

    // The pre-upload check stops on them, one line each naming the article.
    WriteBytes(j.path("work_본문/1.txt"), Utf16File({"<h1>하나</h1>", "<img src=\"img/ok.jpg\"> <IMG SRC='img/fake.jpg'>",
                                                     "<img src=img/none.jpg>"}));
    RecordingInteraction ui;
    EXPECT_FALSE(RunUploadCheck(j.job, {"101"}, ui).passed);
    EXPECT_EQ(ui.reports, (QStringList{UploadCheckStartReport, "본문 - 기사 1(하나): 이미지 img/fake.jpg: 내용이 JPEG가 아닙니다 (PNG).",
                                       "본문 - 기사 1(하나): 이미지 img/none.jpg이(가) 없습니다.", UploadCheckErrorReport}));
}

// Valid but most likely not meant: a coded value the code table does not know, an entity
// reference that will show as text. Said once per article and kind, without stopping the check.
TEST(UploadCheck, WarningsForBadCodesAndEntityReferences)
{
    CheckJob j;
    QFile::remove(j.path("본문.kwd"));
    WriteBytes(j.path("work_본문/1.txt"), Utf16File({"<h1>하나</h1>", "1 &lt; 2 &amp;&amp; &#44608;", "&nbsp x"}));
    WriteBytes(j.path("work_번역/1.txt"), Utf16File({"<h1>one</h1>", "plain & simple"}));
    TVUX_codes codes;
    codes.BuildColumns({"ks_coremeta\tks_coremeta\tg\tmt_title\tn\tx\tN\t1",
                        "ks_coremeta\tks_coremeta\tg\tmt_oCode\tn\tCode_92\tN\t1"});
    const QList<TvuxSchOption> options{{"101", 1, 1, "없는 말"}};
    EXPECT_EQ(UploadWarnings(j.job, codes, &options),
              (QStringList{"본문 - 기사 1(하나): mt_ocode 값이 코드표에 없어 \"BAD\"로 전송됩니다.",
                           "본문 - 기사 1(하나): HTML 문자 참조 &lt; 등 4곳이 \"＆\"로 바뀌어 글자 그대로 보입니다.",
                           "번역 - 기사 1(one): mt_ocode 값이 코드표에 없어 \"BAD\"로 전송됩니다."}));
    RecordingInteraction ui;
    EXPECT_TRUE(RunUploadCheck(j.job, {}, ui, &codes, &options).passed);
    EXPECT_TRUE(ui.reports.contains(UploadWarningReport("본문 - 기사 1(하나): mt_ocode 값이 코드표에 없어 \"BAD\"로 전송됩니다.")));
}

// A job with source images but none to send switches the image option off, and the inserted
// images stay behind with them: both checks name every tag.
TEST(UploadCheck, NoSourceImagesToSendKeepTheInsertedImagesBackToo)
{
    CheckJob j;
    j.job.insImage = "Y";
    WriteBytes(j.path("img/ok.jpg"), QByteArray("\xFF\xD8\xFF\xE0 jfif", 9));
    WriteBytes(j.path("work_본문/1.txt"), Utf16File({"<h1>하나</h1>", "<img src=\"img/ok.jpg\">"}));
    WriteBytes(j.path("work_번역/1.txt"), Utf16File({"<h1>one</h1>"}));
    RecordingInteraction ui;
    EXPECT_TRUE(RunUploadCheck(j.job, {"101"}, ui).passed) << ui.reports.join('\n').toStdString();
    EXPECT_TRUE(RunJobPreflight(j.job, {"101"}, {}).isEmpty());

    WriteBytes(j.path("images/1.jpg"), ""); // listed, but nothing to send
    const QString line = "기사 1(하나): 이미지 img/ok.jpg: 원문 이미지가 하나도 없어 이미지 전송이 꺼지므로 전송되지 않습니다.";
    ui.reports.clear();
    EXPECT_FALSE(RunUploadCheck(j.job, {"101"}, ui).passed);
    EXPECT_EQ(ui.reports, (QStringList{UploadCheckStartReport, NoSourceImagesReport, "본문 - " + line, UploadCheckErrorReport}));
    const QList<TJobProblem> problems = RunJobPreflight(j.job, {"101"}, {});
    ASSERT_EQ(problems.size(), 1);
    EXPECT_EQ(problems[0].Line(), "work_본문/1.txt\t" + line + "\timg 폴더에 JPEG 그림을 넣거나 이미지 태그를 고치십시오.");
}

// Nothing to link is no problem for either check: a linked tab connected to nothing at all, and
// a pair of source images with no image in its range (the server takes both as empty records).
TEST(UploadCheck, NothingToLinkIsNoProblem)
{
    CheckJob j;
    WriteBytes(j.path("work_본문/1.txt"), Utf16File({"<h1>하나</h1>"}));
    WriteBytes(j.path("work_번역/1.txt"), Utf16File({"<h1>one</h1>"}));
    WriteBytes(j.path("번역_connect.txt"), Utf16File({"-", "-"}));
    WriteBytes(j.path("본문_images.txt"), Utf16File({"-", "-", "7.jpg", "9.jpg"}));
    RecordingInteraction ui;
    EXPECT_TRUE(RunUploadCheck(j.job, {"101"}, ui).passed) << ui.reports.join('\n').toStdString();
    const QList<TJobProblem> problems = RunJobPreflight(j.job, {"101"}, {});
    EXPECT_TRUE(problems.isEmpty()) << problems.value(0).Line().toStdString();

    // A name that is not there still counts where the pair holds images.
    WriteBytes(j.path("본문_images.txt"), Utf16File({"-", "-", "0.jpg", "1.jpg"}));
    ASSERT_EQ(RunJobPreflight(j.job, {"101"}, {}).size(), 1);
    EXPECT_TRUE(RunJobPreflight(j.job, {"101"}, {})[0].what.contains("0.jpg"));
}

TEST(UploadCheck, TabsCountText)
{
    EXPECT_EQ(UploadTabsCountText({true, true}), "전체");
    EXPECT_EQ(UploadTabsCountText({true, false, true}), "2");
    EXPECT_EQ(UploadTabsCountText({false, false}), "0");
}

} // namespace
