#include "articles/ArticleHtml.h"
#include "common/TestSupport.h"
#include "shell/Settings.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <ostream>

// Readable failures for Korean texts.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

TEST(ArticleHtml, Conversion)
{
    struct Case {
        const char* what;
        QStringList in;
        int mode;
        QStringList out;
        int messages;
    };
    const QString ref3 = "<a href=\"#3\" name=\"bon3\"><sup>3</sup></a>";
    const std::vector<Case> cases = {
        {"reference, preview", {"  낱말<FN>3</FN>  "}, HtmlPreviewMode, {"낱말" + ref3 + "<br>"}, 0},
        {"reference, upload", {"낱말<fn>3</fn>"}, HtmlUploadMode, {"낱말<a href=\"#3\"><sup>3</sup></a><br>"}, 0},
        {"reference content keeps what follows the name", {"가<FN>12_a 설명</FN>나"}, HtmlPreviewMode,
         {"가<a href=\"#12_a\" name=\"bon12_a\"><sup>12_a 설명</sup></a>나<br>"}, 0},
        {"reference across two lines", {"낱말<FN>3", "</FN>뒤", "다음"}, HtmlPreviewMode,
         {"낱말" + ref3 + "뒤<br>", "다음<br>"}, 0},
        {"footer, preview", {"<A NAME=\"3\">3</A> 각주 글"}, HtmlPreviewMode,
         {"<A href=\"#bon3\" NAME=\"3\">3</A> 각주 글<br>"}, 0},
        {"footer, upload", {"<A NAME=\"3\">3</A> 각주 글"}, HtmlUploadMode, {"<A NAME=\"3\">3</A> 각주 글<br>"}, 0},
        {"footer without a name", {"<a name=\"\">빈 번호의 각주</a>"}, HtmlPreviewMode,
         {"<a name=\"\">빈 번호의 각주</a><br>"}, 1},
        {"line breaks",
         {"<H1 id=1>제목</H1>", "<td>칸</td>", "<table border=1>", "", "   ", "<b>굵게</b>", "글 <hr>", "<P>문단",
          "끝 </LI>"},
         HtmlPreviewMode,
         {"<H1 id=1>제목</H1>", "<td>칸</td>", "<table border=1>", "<br>", "<br>", "<b>굵게</b><br>", "글 <hr>",
          "<P>문단<br>", "끝 </LI>"},
         0},
        {"reference without a name, last line", {"가<FN></FN>"}, HtmlPreviewMode, {"가<FN></FN><br>"}, 1},
        {"reference without a closing tag joins, then fails", {"가<FN>3 나", "다"}, HtmlPreviewMode,
         {"가<FN>3 나다<br>"}, 1},
        {"reference with a wrong closing tag", {"가<FN>3</b>"}, HtmlUploadMode, {"가<FN>3</b><br>"}, 1},
        {"other tags pass", {"<i>a</i> < b"}, HtmlPreviewMode, {"<i>a</i> < b<br>"}, 0},
        {"only spaces and control characters are trimmed",
         {QString::fromUtf8("\t\u3000들여 쓴 문단\u00a0\r"), QString::fromUtf8("\u3000")}, HtmlUploadMode,
         {QString::fromUtf8("\u3000들여 쓴 문단\u00a0<br>"), QString::fromUtf8("\u3000<br>")}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingInteraction ui;
        QStringList out{"앞"};
        const bool ok = ArticleToHtml(out, c.in, c.mode, ui);
        EXPECT_EQ(out, QStringList{"앞"} + c.out);
        EXPECT_EQ(ui.infos.size(), c.messages);
        EXPECT_EQ(ok, c.messages == 0);
    }
}

TEST(ArticleHtml, FootnoteMessagesShowTheOffendingLine)
{
    RecordingInteraction ui;
    QStringList out;
    ArticleToHtml(out, {"첫 줄", "가<FN>3</b>", "다음"}, HtmlPreviewMode, ui);
    ASSERT_EQ(ui.infos.size(), 1);
    EXPECT_EQ(ui.infos[0], "각주(fn) 태그 오류... \"</fn>\" 없음...\r\n\r\n\r\n가<FN>3</b>\r\n");
    EXPECT_EQ(out, QStringList({"첫 줄<br>", "가<FN>3</b>다음<br>"}));
}

TEST(ArticleHtml, PageHeaderAndRotatingPages)
{
    const QStringList header = PageHeaderLines();
    ASSERT_EQ(header.size(), 31);
    EXPECT_TRUE(header[0].startsWith("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\""));
    EXPECT_EQ(header[3], "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">");
    EXPECT_EQ(header[4], "<title>펜드로룩스 디지털 컨텐츠</title>");
    EXPECT_EQ(header[5], "<link rel=\"stylesheet\" href=\"file://" + DataFolder()
                             + "/pendrolux/pendrolux.css\" type=\"text/css\"></link>");
    EXPECT_EQ(header[6], "<script>");
    EXPECT_EQ(header[27], "</script>");
    EXPECT_EQ(header[28], "</HEAD>");
    EXPECT_EQ(header[29], "<BODY>");
    EXPECT_EQ(header[30], "");

    QTemporaryDir dir;
    TJobDefine job;
    job.WorkFolder = dir.path();
    ResetPreviewPageCounter();
    QStringList written;
    for (int i = 0; i < 6; ++i)
        written << QFileInfo(WritePreviewPage(job, BuildPage({QString("쪽 %1<br>").arg(i)}))).fileName();
    EXPECT_EQ(written, QStringList({"unit1.htm", "unit2.htm", "unit3.htm", "unit4.htm", "unit0.htm", "unit1.htm"}));
    EXPECT_EQ(ReadBytes(dir.path() + "/unit1.htm"), Utf16File(header + QStringList{"쪽 5<br>", "</BODY>", "</HTML>"}));
}

TEST(ArticleHtml, Navigation)
{
    struct Case {
        QString url;
        TNavigation action;
        int page;
        QString tab;
    };
    const std::vector<Case> cases = {
        {"res://ieframe.dll/navcancl.htm", TNavigation::Refuse, 0, ""},
        {"INNERREFER://page=5&TAP=7/", TNavigation::InnerLink, 5, "7"},
        {"innerrefer://page=12&tap=101", TNavigation::InnerLink, 12, "101"},
        {"innerrefer://page=0/", TNavigation::InnerLink, 0, ""},
        {"innerrefer://page=/", TNavigation::Navigate, 0, ""},
        {"innerrefer://page=5&TAP=/", TNavigation::InnerLink, 5, ""},
        {"HTTP://example.com/a", TNavigation::OpenExternal, 0, ""},
        {"file:///tmp/job/unit1.htm", TNavigation::Navigate, 0, ""},
        {"file:///tmp/job/unit1.htm#bon3", TNavigation::Navigate, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        TInnerLink link;
        EXPECT_EQ(DecideNavigation(c.url, &link), c.action);
        if (c.action == TNavigation::InnerLink) {
            EXPECT_EQ(link.page, c.page);
            EXPECT_EQ(link.hasTab, !c.tab.isEmpty());
            EXPECT_EQ(link.tabId, c.tab);
        }
    }
}

TEST(ArticleHtml, HugeLinesStayWhole)
{
    // Many tags and many references in one line of several megabytes.
    QString line;
    for (int i = 0; i < 20000; ++i)
        line += QString("<b>글%1</b><FN>%1</FN>").arg(i);
    RecordingInteraction ui;
    QStringList out;
    EXPECT_TRUE(ArticleToHtml(out, {line}, HtmlUploadMode, ui));
    ASSERT_EQ(out.size(), 1);
    EXPECT_TRUE(out[0].startsWith("<b>글0</b><a href=\"#0\"><sup>0</sup></a><b>글1</b>"));
    EXPECT_TRUE(out[0].endsWith("<a href=\"#19999\"><sup>19999</sup></a><br>"));
}
