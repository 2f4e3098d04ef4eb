#include "upload/UploadRecords.h"

#include "common/TestSupport.h"
#include "server/VUX_codes.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Readable failures: compare the texts as UTF-8.
#define EXPECT_TEXT(a, b) EXPECT_EQ(QString(a).toStdString(), QString(b).toStdString())

QString Col(const QString& group, const QString& table, const QString& code, const QString& codeGroup = "x")
{
    return QStringList{group, table, "g", code, "n", codeGroup, "N", "1"}.join('\t');
}

// Base group of 38 columns (the automatic ones under their real codes, 5/6 the coded subjects,
// 8 coded), the name group with one column of the additional table, the place group and the
// image group.
struct Codes {
    TVUX_codes codes;
    Codes()
    {
        QStringList lines;
        for (int k = 0; k < 38; ++k) {
            QString code = "b" + QString::number(k), cg = "x";
            switch (k) {
            case 0: code = "mt_title"; break;
            case 5: code = "mt_oCode", cg = "Code_92"; break;
            case 6: code = "mt_sCode", cg = "Code_93"; break;
            case 8: cg = "Code_LANG"; break;
            case 26: code = "mt_path"; break;
            case 30: code = "mt_url"; break;
            case 32: code = "content_number"; break;
            case 35: code = "page_number"; break;
            case 36: code = "has_child"; break;
            case 37: code = "parent_number"; break;
            default: break;
            }
            lines << Col("ks_coremeta", "ks_coremeta", code, cg);
        }
        lines << Col("ks_exMetaName", "ks_exMetaName", "nm_name") << Col("ks_exMetaName", "ks_exMetaName", "nm_sex", "Code_SEX")
              << Col("ks_exMetaName", "ks_exMetaAddInfo", "nm_note") << Col("ks_exMetaPlace", "ks_exMetaPlace", "pl_name")
              << Col("ks_MetaTypeDetail", "ks_MetaTypeDetail", "kf_desc") << Col("ks_MetaTypeDetail", "ks_MetaTypeDetail", "kf_file");
        codes.BuildColumns(lines);
        codes.vux_SubjPtr1 = 5;
        codes.vux_SubjPtr2 = 6;
        // The first row of every code group names the group itself.
        codes.BuildCodes({"Code_92\t주제분류1\t00", "Code_92\t인명\t01", "Code_92\t지명\t02", "Code_92\t기타\t99",
                          "Code_93\t주제분류2\t00", "Code_93\t인명\t01", "Code_93\t기타\t99",
                          "Code_LANG\t언어\t00", "Code_LANG\t한국어\tko", "Code_SEX\t성별\t00", "Code_SEX\t남\tM"});
    }
};
constexpr int Block = 44; // 38 base + 3 name + 1 place + 2 image
constexpr int NameFirst = 38, PlaceFirst = 41, ImageFirst = 42;

//  0 본문
//  1   1장
//  2     가 & 나
//  3     (page 2)      a further page of 1장, right under it
//  4   2장
//  5     (page 3)      2장's only child is a page, so 2장 has no child of its own
TArticleTree Tree()
{
    TArticleTree t;
    t.addRoot("본문");
    const int c1 = t.addChild(0, "1장", {"1", 1});
    t.addChild(c1, "가 & 나", {"1_1", 2});
    t.addChild(c1, "(page 2)", {"1_2", 2});
    const int c2 = t.addChild(0, "2장", {"2", 1});
    t.addChild(c2, "(page 3)", {"2_1", 2});
    return t;
}
const std::vector<int> Numbers{1, 2, 3, 3, 4, 4}; // page file: Main Main Main page Main page

struct Fixture {
    Codes c;
    TJobDefine job;
    TArticleTree tree = Tree();
    QList<TvuxSchOption> options;
    TRecordContext ctx;
    Fixture()
    {
        job.pID = "9001";
        job.pCode = "DEMO01";
        job.pNAME = "데모 도서";
        job.TabsCount = 2;
        job.TabsName[0] = "본문";
        job.TabsName[1] = "번역";
        job.TabsID[0] = "101";
        job.TabsID[1] = "102";
        job.TabsLink[1] = "본문";
        ctx.job = &job;
        ctx.codes = &c.codes;
        ctx.tree = &tree;
        ctx.contentNumbers = &Numbers;
        ctx.options = &options;
        ctx.tabId = "101";
        ctx.contentBaseUrl = "http://site";
    }
    // A meta file holding the block of node j with `values` (line -> value); earlier blocks empty.
    static TMetaData Meta(int j, const QList<QPair<int, QString>>& values, int lines = -1)
    {
        TMetaData m(Block);
        for (int i = 0; i < (j - 1) * Block + Block; ++i)
            m.Lines() << QString();
        for (const auto& v : values)
            m.Lines()[(j - 1) * Block + v.first] = v.second;
        if (lines >= 0)
            m.Lines() = m.Lines().mid(0, lines);
        return m;
    }
};

TEST(UploadRecords, TitlesFamilyAndPathPerNode)
{
    const TArticleTree t = Tree();
    struct Row {
        int j;
        QString title, path, parent, hasChild;
    };
    const Row rows[] = {
        {1, "1장", "본문^1장", "1", "1"},
        {2, "가 & 나", "본문^1장^가 & 나", "2", "0"},
        // A page stands for its parent: its title, its path, and its grandparent as parent.
        {3, "1장", "본문^1장", "1", "0"},
        {4, "2장", "본문^2장", "1", "0"},
        {5, "2장", "본문^2장", "1", "0"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.j);
        EXPECT_TEXT(ArticleTitle(t, r.j), r.title);
        EXPECT_TEXT(UploadPath(t, r.j), r.path);
        const TFamilyValues f = FamilyValues(t, Numbers, r.j);
        EXPECT_TEXT(f.parentNumber, r.parent);
        EXPECT_TEXT(f.hasChild, r.hasChild);
    }
    TJobDefine job;
    job.pNAME = "데모 도서";
    job.TabsName[1] = "번역";
    EXPECT_EQ(TabHeaderTitle(job, 1), "데모 도서 번역");
}

TEST(UploadRecords, CoreRecordFromMetaFillsPlaceholdersAndCodes)
{
    Fixture f;
    const TMetaData meta = Fixture::Meta(3, {{0, "(page 2)"}, {5, "인명"}, {8, "모름"}, {9, "a&b"}, {26, "x"},
                                             {30, "x"}, {32, "x"}, {35, "x"}, {36, "x"}, {37, "x"}});
    const QString url = QString("http://site/pcontent/content_view_detail_QU.asp?svcid＝QU＆proid＝9001＆arid＝101"
                                "＆ContentNumber＝3＆PageNumber＝3");
    EXPECT_TEXT(CoreRecordFromMeta(f.ctx, meta, 3),
              "mt_title=1장|mt_ocode=01|b8=BAD|b9=a＆b|mt_path=본문^1장|mt_url=" + url +
                  "|content_number=3|page_number=3|has_child=0|parent_number=1");
    // Nothing to send: an empty block, and a file that ends inside the base group.
    EXPECT_TEXT(CoreRecordFromMeta(f.ctx, Fixture::Meta(2, {}), 2), QString());
    EXPECT_TEXT(CoreRecordFromMeta(f.ctx, Fixture::Meta(2, {{0, "t"}}, Block + 37), 2), QString());
    EXPECT_TEXT(CoreRecordFromMeta(f.ctx, Fixture::Meta(2, {{0, "t"}}, Block + 38), 2), "mt_title=t");
}

TEST(UploadRecords, CoreRecordWithoutMetaUsesFixedOptionsThenPositions)
{
    Fixture f;
    f.options = {{"101", 8, 2, "한국어"}, {"102", 8, 1, "한국어"}, {"101", 8, 1, "없는 말"}, {"101", 0, 1, "고정 & 제목"}};
    f.ctx.defaultSubject1 = "02";
    EXPECT_TEXT(CoreRecordWithoutMeta(f.ctx, 2),
              "mt_title=고정 ＆ 제목|mt_ocode=02|b8=ko|b17=101_2|mt_path=본문^1장^가 ＆ 나|b27=9501"
              "|mt_url=http://site/pcontent/content_view_detail_QU.asp?svcid＝QU＆proid＝9001＆arid＝101"
              "＆ContentNumber＝3＆PageNumber＝2|b31=101|content_number=3|b33=DEMO01|b34=9001"
              "|page_number=2|has_child=0|parent_number=2");
}

TEST(UploadRecords, DefaultSubjectCodeTakesTheLastOption)
{
    Codes c;
    const QList<TvuxSchOption> options{{"101", 5, 1, "인명"}, {"102", 5, 1, "지명"}, {"101", 6, 1, "기타"}};
    EXPECT_TEXT(DefaultSubjectCode(options, c.codes, 5), "02");
    EXPECT_TEXT(DefaultSubjectCode(options, c.codes, 6), "99");
    EXPECT_TEXT(DefaultSubjectCode({}, c.codes, 5), QString());
}

TEST(UploadRecords, ExMetaRecordsBySubject)
{
    Codes c;
    const QList<QPair<int, QString>> name{{NameFirst, "홍 & 길동"}, {NameFirst + 1, "남"}, {NameFirst + 2, "비고"},
                                          {PlaceFirst, "서울"}};
    struct Case {
        QString s1, s2;
        QString ex, add;
    };
    const Case cases[] = {
        {"인명", "", "name=ks_exMetaName|nm_name=홍 ＆ 길동|nm_sex=M", "nm_note=비고"},
        {"기타", "인명", "name=ks_exMetaName|nm_name=홍 ＆ 길동|nm_sex=M", "nm_note=비고"},
        {"지명", "", "name=ks_exMetaPlace|pl_name=서울", ""},
        {"기타", "기타", "", ""},
        {"단문사전", "인명", "", ""},
        {"문학", "", "", ""}, // in the table, not in this code table
        {"없음", "", "", ""},
    };
    for (const Case& k : cases) {
        auto values = name;
        values << qMakePair(5, k.s1) << qMakePair(6, k.s2);
        const TExMetaRecords r = ExMetaRecords(c.codes, Fixture::Meta(2, values), 2);
        EXPECT_TEXT(r.exmeta, k.ex) << k.s1.toStdString() << "/" << k.s2.toStdString();
        EXPECT_TEXT(r.exaddmeta, k.add) << k.s1.toStdString();
        EXPECT_TRUE(r.error.isEmpty());
    }
    // A file ending before the group sends nothing; one ending inside it stops the run.
    EXPECT_TEXT(ExMetaRecords(c.codes, Fixture::Meta(2, {{5, "인명"}}, Block + NameFirst), 2).exmeta, QString());
    const TExMetaRecords cut = ExMetaRecords(c.codes, Fixture::Meta(2, {{5, "인명"}}, Block + NameFirst + 1), 2);
    EXPECT_FALSE(cut.error.isEmpty());
    EXPECT_TRUE(cut.exmeta.isEmpty());
}

TEST(UploadRecords, ImageMetaRecord)
{
    Codes c;
    EXPECT_TEXT(ImageMetaRecord(c.codes, Fixture::Meta(1, {{ImageFirst + 1, "a&b.jpg"}}), 1), "kf_file=a&b.jpg");
    EXPECT_TEXT(ImageMetaRecord(c.codes, Fixture::Meta(1, {{ImageFirst, "d"}}, Block - 1), 1), QString());
}

// Read record by record, the meta result file gives every builder what the whole file gives, also
// when it ends inside a record or is missing; a node before one already read is refused.
TEST(UploadRecords, MetaFileReadRecordByRecordBuildsTheSameRecords)
{
    Fixture f;
    QTemporaryDir dir;
    const QString path = dir.filePath("본문.kwd");
    const QString subjects[] = {"인명", "지명", "기타", "인명", "단문사전"};
    TMetaData whole(Block);
    for (int j = 1; j <= 5; ++j) {
        whole.SetValue(j, 0, QString("제목 %1").arg(j));
        whole.SetValue(j, 5, subjects[j - 1]);
        whole.SetValue(j, 6, "인명");
        whole.SetValue(j, 8, j % 2 ? "한국어" : "모름");
        whole.SetValue(j, 36, "x");
        whole.SetValue(j, NameFirst, QString("이름%1 & 별명").arg(j));
        whole.SetValue(j, NameFirst + 2, "비고");
        whole.SetValue(j, PlaceFirst, "서울");
        whole.SetValue(j, ImageFirst + 1, QString("%1.jpg").arg(j));
    }
    for (int cut : {5 * Block, 4 * Block + NameFirst + 1, 3 * Block + 20, Block - 1, 0, -1}) {
        SCOPED_TRACE(cut);
        TMetaData m = whole;
        m.Lines() = whole.Lines().mid(0, qMax(cut, 0));
        QFile::remove(path);
        if (cut >= 0) {
            ASSERT_TRUE(SaveMetaFile(path, m));
        }
        TMetaFileReader reader(path, Block);
        ASSERT_TRUE(reader.Open());
        TMetaData one;
        for (int j = 1; j <= 5; ++j) {
            ASSERT_TRUE(reader.Read(j, one));
            EXPECT_TEXT(CoreRecordFromMeta(f.ctx, one, j), CoreRecordFromMeta(f.ctx, m, j));
            const TExMetaRecords a = ExMetaRecords(f.c.codes, one, j), b = ExMetaRecords(f.c.codes, m, j);
            EXPECT_TEXT(a.exmeta, b.exmeta);
            EXPECT_TEXT(a.exaddmeta, b.exaddmeta);
            EXPECT_TEXT(a.error, b.error);
            EXPECT_TEXT(ImageMetaRecord(f.c.codes, one, j), ImageMetaRecord(f.c.codes, m, j));
        }
        QString error;
        EXPECT_FALSE(reader.Read(2, one, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(UploadRecords, TabLinkRecord)
{
    Fixture f;
    EXPECT_EQ(LinkedTab(f.job, 1), 0);
    EXPECT_EQ(LinkedTab(f.job, 0), -1);
    QString record, error;
    ASSERT_TRUE(TabLinkRecord(f.job, 1, 0, {"-", "3", "-", "0"}, record, &error));
    EXPECT_TEXT(record,
              "p_id=9001^tran_ar_id=102^tran_content_number=2^tran_page_number=1^ori_ar_id=101^ori_content_number=4^ori_page_number=3|"
              "p_id=9001^tran_ar_id=102^tran_content_number=4^tran_page_number=3^ori_ar_id=101^ori_content_number=1^ori_page_number=0");
    ASSERT_TRUE(TabLinkRecord(f.job, 1, 0, {"-"}, record));
    EXPECT_TEXT(record, QString());
    for (const QString& bad : {QString("x"), QString("-1"), QString("")}) {
        EXPECT_FALSE(TabLinkRecord(f.job, 1, 0, {"1", bad}, record, &error)) << bad.toStdString();
        EXPECT_TRUE(error.contains("2")) << error.toStdString();
    }
}

TEST(UploadRecords, TabLinkRecordFromFile)
{
    QTemporaryDir dir;
    Fixture f;
    f.job.WorkFolder = dir.path();
    QString record, error;
    ASSERT_TRUE(TabLinkRecordFromFile(f.job, 1, 0, record, &error)) << error.toStdString();
    EXPECT_TEXT(record, QString());
    ASSERT_TRUE(WriteBytes(dir.path() + "/번역_connect.txt", Utf16File({"-", "2"})));
    ASSERT_TRUE(TabLinkRecordFromFile(f.job, 1, 0, record, &error));
    EXPECT_TRUE(record.endsWith("ori_content_number=3^ori_page_number=2")) << record.toStdString();
}

TEST(UploadRecords, PageImageLists)
{
    const QStringList images{"p01.jpg", "p02.jpg", "p03.jpg", "p04.jpg", "p10.jpg"};
    // Node 0's pair is never used; node 3 has half a pair; node 4's range holds one name.
    const QStringList links{"p01.jpg", "p04.jpg", "p01.jpg", "p02.jpg", "p02.jpg", "p04.jpg",
                            "p03.jpg", "-",       "p10.jpg", "p10.jpg", "p05.jpg"};
    EXPECT_TEXT(PageImageList(links, images, 1), "images/p01.jpg|images/p02.jpg");
    EXPECT_TEXT(PageImageList(links, images, 2), "images/p02.jpg|images/p03.jpg|images/p04.jpg");
    EXPECT_TEXT(PageImageList(links, images, 3), QString());
    const QList<TPageImages> requests = PageImageRequests(links, images);
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].node, 1);
    EXPECT_EQ(requests[1].node, 2);
    EXPECT_EQ(requests[2].node, 4);
    EXPECT_TEXT(requests[2].list, "images/p10.jpg");
    EXPECT_TRUE(PageImageRequests({"a", "b"}, images).isEmpty());
}

TEST(UploadRecords, ImageFileLists)
{
    QTemporaryDir dir;
    const QString job = dir.path();
    for (const char* name : {"img/b.JPG", "img/a.jpg", "img/sub/c.jpg", "img/sub/x.png", "img/sub/deeper/d.jpg",
                                "img/.hidden/e.jpg", "img/notes.txt", "images/2.jpg", "images/10.JPG",
                                "images/1.jpg", "images/sub/3.jpg", "images/read.txt"})
        ASSERT_TRUE(WriteBytes(job + "/" + QString::fromUtf8(name), "12345"));
    const TUploadFileList inserted = InsertedImageFiles(job);
    QStringList names, folders;
    for (const TUploadFile& f : inserted.files)
        names << f.RelativeName(), folders << InsertedImageFolderValue(f);
    // Every depth below img/, each folder's files at its place; hidden entries and other types stay out.
    EXPECT_EQ(names, (QStringList{"a.jpg", "b.JPG", "sub/c.jpg", "sub/deeper/d.jpg"}));
    EXPECT_EQ(folders, (QStringList{"img/", "img/", "img/sub", "img/sub/deeper"}));
    EXPECT_EQ(inserted.totalSize, 20);

    const TUploadFileList source = SourceImageFiles(job);
    names.clear();
    for (const TUploadFile& f : source.files)
        names << f.RelativeName();
    EXPECT_EQ(names, (QStringList{"1.jpg", "10.JPG", "2.jpg"}));
    EXPECT_EQ(source.totalSize, 15);
    EXPECT_TRUE(InsertedImageFiles(job + "/none").files.isEmpty());
}

TEST(UploadRecords, UploadHtmlDropsFirstLineJoinsAndWidensAmpersands)
{
    RecordingInteraction ui;
    const QString html = UploadHtml({"<h1>제목 줄</h1>", "a & b", "c"}, ui);
    EXPECT_FALSE(html.contains("제목 줄"));
    EXPECT_FALSE(html.contains('&'));
    EXPECT_FALSE(html.contains('\r'));
    EXPECT_FALSE(html.contains('\n'));
    EXPECT_TRUE(html.contains("a ＆ b")) << html.toStdString();
    EXPECT_LT(html.indexOf("a ＆ b"), html.indexOf("c"));
}

} // namespace
