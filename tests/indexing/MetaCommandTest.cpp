// quilo meta init/show/set on the generated demo job, against quilo-server with the demo seed;
// the result workbooks come from the extraction logic run in this process.

#include "common/ServerJobTest.h"
#include "common/TestSupport.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/KeywordExtract.h"
#include "jobs/JobDefine.h"
#include "server/VUX_codes.h"

#include <gtest/gtest.h>


namespace {

class MetaCommandTest : public ServerJobTest {
protected:
    void SetUp() override
    {
        ServerJobTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_EQ(Quilo({"login", "--id", "demo", "--pw", "demo"}).exit, 0);
        ASSERT_EQ(Quilo({"keywords", "fetch", job, "--id", "demo", "--pw", "demo"}).exit, 0);
        ASSERT_EQ(Quilo({"categories", job, "--tab", "본문", "--tab", "번역"}).exit, 0);
    }

    // The extraction the keyword window runs, on the tables `quilo login` left in the data folder.
    void Extract()
    {
        RecordingInteraction ui;
        TVUX_codes codes;
        ASSERT_TRUE(codes.Create(ui, {}, home.filePath("VuxMetaInfo.txt")));
        ASSERT_TRUE(codes.MakeCodeData(ui, home.filePath("codetable.txt")));
        TKeywordDefinitions defs;
        ASSERT_TRUE(LoadKeywordDefinitions(job + "/keywords.txt", codes, defs, ui));
        TJobDefine j;
        j.WorkFolder = job;
        LoadJobFile(j);
        ASSERT_TRUE(RunKeywordExtraction(j, codes, defs.options, defs.ar_ids, base + "/content", ui).completed)
            << ui.infos.join('\n').toStdString();
    }

    bool Updated() const
    {
        TJobDefine j;
        j.WorkFolder = job;
        LoadJobFile(j);
        return IsKeywordUpdated(j);
    }
};

TEST_F(MetaCommandTest, InitShowAndSetOnTheDemoJob)
{
    // Without the extraction's workbooks nothing is written.
    CmdResult r = Quilo({"meta", "init", job});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.err.contains("본문: 색인 추출 정보가 없습니다.\n색인작업 -> 색인어추출 작업을 실행하세요.")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(job + "/본문.kwd"));

    Extract();
    ASSERT_TRUE(Updated());
    const QString kwd = job + "/본문.kwd";
    ASSERT_TRUE(WriteBytes(kwd, Utf16File({"손으로 고친 값"})));
    r = Quilo({"meta", "init", job});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, kwd + "\n" + job + "/번역.kwd\n");
    EXPECT_TRUE(r.err.contains("작업이 완료되었습니다.")) << r.err.toStdString();
    EXPECT_EQ(ReadBytes(kwd + ".001.bak"), Utf16File({"손으로 고친 값"})); // the earlier file stays
    EXPECT_FALSE(Updated());

    r = Quilo({"meta", "show", job, "--tab", "본문", "--article", "1"});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    const QStringList shown = r.out.split('\n', Qt::SkipEmptyParts);
    const QString url = QString(base + "/content/pcontent/content_view_detail_QU.asp?svcid=QU&proid=9001&arid=101"
                                       "&ContentNumber=2&PageNumber=1").replace('=', QChar(0xFF1D));
    for (const QString& line : {QString("1\t기본메타 > 제목\tmt_title\t서문"), QString("1\t기본메타 > 주제분류1\tmt_ocode\t인명"),
                                QString("1\t기본메타 > 주제분류2\tmt_scode\t지명"), QString("1\t기본메타 > 기사식별자\tmt_localid\t101_1"),
                                QString("1\t기본메타 > 경로\tmt_path\t본문^서문"), "1\t기본메타 > 기사URL\tmt_url\t" + url,
                                QString("1\t인명 > 이름\tnm_name\t서하린"), QString("1\t지명 > 지명\tpl_name\t안개목 포구"),
                                QString("1\t이미지 > 파일명\tkf_sfilename\timg/lighthouse.jpg")})
        EXPECT_TRUE(shown.contains(line)) << line.toStdString() << "\n" << r.out.toStdString();
    for (const QString& line : shown)
        EXPECT_TRUE(line.startsWith("1\t")) << line.toStdString();

    // One coded value and one multi-value block; the previous file becomes the next backup.
    r = Quilo({"meta", "set", job, "--tab", "본문", "--article", "1", "mt_lang=한국어", "nm_rel_name=갑\t\t을"});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "1\t기본메타 > 언어\tmt_lang\t한국어\n1\t인명 관련인물 > 관련 인물\tnm_rel_name\t갑\t\t을\n");
    EXPECT_TRUE(QFileInfo::exists(kwd + ".002.bak"));
    EXPECT_TRUE(Quilo({"meta", "show", job, "--tab", "본문", "--article", "1"}).out.contains("\tmt_lang\t한국어\n"));

    // A refused value writes nothing, even next to a good one.
    const QByteArray before = ReadBytes(kwd);
    for (const QStringList& bad : {QStringList{"mt_lang=영어사전", "mt_title=새 제목"}, QStringList{"mt_url=x"},
                                   QStringList{"no_such=x"}}) {
        r = Quilo(QStringList{"meta", "set", job, "--tab", "본문", "--article", "1"} + bad);
        EXPECT_EQ(r.exit, 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_EQ(ReadBytes(kwd), before);
    EXPECT_FALSE(QFileInfo::exists(kwd + ".003.bak"));
    EXPECT_EQ(Quilo({"meta", "show", job, "--tab", "없는탭"}).exit, 1);
    EXPECT_EQ(Quilo({"meta", "show", job, "--tab", "본문", "--article", "999"}).exit, 1);
    EXPECT_EQ(Quilo({"meta", "set", job, "--tab", "본문", "mt_lang=한국어"}).exit, 2);
}

} // namespace
