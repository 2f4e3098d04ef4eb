#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// Tab "본문" of four articles; page scans named as the scanner names them, one with a Korean name.
QString MakeJob(const QTemporaryDir& dir)
{
    const QString job = dir.path() + "/작업";
    WriteBytes(job + "/vuxinfo.ini", EncodeCp949("[VUX]\r\npNAME=p\r\nsrcImage=Y\r\n[TABS]\r\n본문=src\r\n"));
    WriteBytes(job + "/본문.idx", Utf16File({"1", "1", "서문", "2", "1", "제1장", "3", "1", "(page 2)", "4", "1", "제2장"}));
    for (const char* name : {"p01.jpg", "p02.jpg", "p03.jpg", "p04.jpg", "표지.jpg"})
        WriteBytes(job + "/images/" + QString::fromUtf8(name), "not decoded here");
    return job;
}

} // namespace

TEST(ImageLinksCommand, SetsClearsChecksAndSaves)
{
    if (!QuiloBuilt())
        GTEST_SKIP() << "quilo is not built";
    QTemporaryDir dir;
    const QString job = MakeJob(dir);
    const QString file = job + "/본문_images.txt";

    CmdResult r = Quilo({"image-links", job, "--tab", "본문", "--set", "1=p01.jpg,p02.jpg", "--set", "2=p02.jpg,p03.jpg",
                      "--set", "4=표지.jpg,-", "--clear", "4"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "0\t-\t-\t본문\n1\tp01.jpg\tp02.jpg\t서문\n2\tp02.jpg\tp03.jpg\t제1장\n3\t-\t-\t(page 2)\n"
                     "4\t-\t-\t제2장\nunused:\np04.jpg\n표지.jpg\n");
    EXPECT_TRUE(r.err.startsWith("이미지 연결 정보가 저장되었습니다."));
    const QByteArray saved = Utf16File({"-", "-", "p01.jpg", "p02.jpg", "p02.jpg", "p03.jpg", "-", "-", "-", "-"});
    EXPECT_EQ(ReadBytes(file), saved);

    // Refusals leave the file as it was.
    struct Case {
        QStringList extra;
        int exit;
        QString err;
    } cases[] = {
        {{"--set", "3=p01.jpg,p04.jpg"}, 1, "시작이미지에는 이전 목차의 끝이미지보다 작은 번호의 파일을 지정할 수 없습니다.\n"
                                            "확인하시기 바랍니다\n3\t(page 2)\n"},
        {{"--set", "1=p03.jpg,p01.jpg"}, 1, "시작이미지에는"},
        {{"--set", "3=../vuxinfo.ini,-"}, 1, "../vuxinfo.ini: 원문 이미지 폴더에 없는 파일입니다."},
        {{"--set", "5=p04.jpg,p04.jpg"}, 1, "5: 목차에 없는 번호입니다."},
        {{"--clear", "x"}, 1, "x: 목차에 없는 번호입니다."},
        {{"--set", "3=p04.jpg"}, 2, "--set takes NODE=START,END"},
    };
    for (const Case& c : cases) {
        r = Quilo(QStringList({"image-links", job, "--tab", "본문"}) + c.extra);
        EXPECT_EQ(r.exit, c.exit) << c.extra.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.err)) << r.err.toStdString();
    }
    EXPECT_EQ(ReadBytes(file), saved);

    // Without changes it only reads: a file in code page 949 stays untouched.
    const QByteArray ansi = EncodeCp949("-\r\n-\r\n표지.jpg\r\np01.jpg\r\n");
    WriteBytes(file, ansi);
    r = Quilo({"image-links", job, "--tab", "본문"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_TRUE(r.out.startsWith("0\t-\t-\t본문\n1\t표지.jpg\tp01.jpg\t서문\n2\t-\t-\t제1장\n"));
    EXPECT_EQ(ReadBytes(file), ansi);
}

TEST(PageInfoCommand, ShowsAndMarksByTitle)
{
    if (!QuiloBuilt())
        GTEST_SKIP() << "quilo is not built";
    QTemporaryDir dir;
    const QString job = MakeJob(dir);
    const QString file = job + "/본문_pageinfo.txt";
    WriteBytes(file, Utf16File({"Main", "Main", "page"}));

    CmdResult r = Quilo({"pages", job, "--tab", "본문"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "0\tMain\t1\t본문\n1\tMain\t2\t서문\n2\tpage\t2\t제1장\n3\tMain\t3\t(page 2)\n4\tMain\t4\t제2장\n");
    EXPECT_EQ(ReadBytes(file), Utf16File({"Main", "Main", "page"})) << "showing writes nothing";

    r = Quilo({"pages", job, "--tab", "본문", "--by-title"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "0\tMain\t1\t본문\n1\tMain\t2\t서문\n2\tMain\t3\t제1장\n3\tpage\t3\t(page 2)\n4\tMain\t4\t제2장\n");
    EXPECT_EQ(ReadBytes(file), Utf16File({"Main", "Main", "Main", "page", "Main"}));
    EXPECT_TRUE(ReadBytes(file + ".001.bak").isEmpty()) << "no line was dropped";

    EXPECT_EQ(Quilo({"pages", job}).exit, 2);
    EXPECT_EQ(Quilo({"pages", job, "--tab", "없는 탭"}).exit, 1);
}
