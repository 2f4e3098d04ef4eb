#include "jobs/JobDefinition.h"

#include "common/TestSupport.h"
#include "shell/IniFile.h"
#include "shell/Settings.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ProductRow Product(const QString& tabs, const QString& links, const QString& ids)
{
    return {"데모 도서", "DEMO01", "9001", "Y", "N", tabs, links, ids};
}

QStringList RowTexts(const TJobForm& form)
{
    QStringList out;
    for (const TJobTabRow& r : form.rows)
        if (!r.name.isEmpty() || !r.folder.isEmpty() || !r.link.isEmpty() || !r.id.isEmpty())
            out << r.name + "|" + r.folder + "|" + r.link + "|" + r.id;
    return out;
}

} // namespace

TEST(JobDefinition, ProductFillsTheTabRows)
{
    struct Case {
        const char* name;
        ProductRow product;
        QStringList rows;
    } cases[] = {
        {"names trimmed, links paired", Product("A, B", "A,B", "11,12"), {"A||B|11", "B|||12"}},
        {"x means no links", Product("본문,번역", "x", "101,102"), {"본문|||101", "번역|||102"}},
        {"blanks in the link list", Product("본문,번역", "번역, 본문", "101,102"), {"본문|||101", "번역||본문|102"}},
        {"odd link item ignored", Product("A,B", "B,A,C", "1,2"), {"A|||1", "B||A|2"}},
        {"link to an unknown tab is dropped", Product("A,B", "C,A", "1,2"), {"A|||1", "B|||2"}},
        {"fewer IDs than names", Product("A,B,C", "x", "1"), {"A|||1", "B|||", "C|||"}},
        {"quoted name keeps its comma", Product("'A,1',B", "x", "1,2"), {"'A,1'|||1", "B|||2"}},
        {"blank item ends the list", Product("A, ,B", "x", "1,2,3"), {"A|||1"}},
        {"empty items skipped", Product(",A,,B,", "x", ",1,,2"), {"A|||1", "B|||2"}},
    };
    for (const Case& c : cases) {
        TJobForm form;
        form.rows[5] = {"old", "oldsrc", "", "9"}; // the product replaces every row
        EXPECT_EQ(ApplyProduct(form, c.product), "") << c.name;
        EXPECT_EQ(RowTexts(form), c.rows) << c.name;
        EXPECT_EQ(form.pNAME, "데모 도서");
        EXPECT_EQ(form.pCode, "DEMO01");
        EXPECT_EQ(form.pID, "9001");
        EXPECT_EQ(form.srcImage, "Y");
        EXPECT_EQ(form.insImage, "N");
    }

    // Twenty-five names: the first twenty.
    QStringList many;
    for (int i = 1; i <= 25; ++i)
        many << QString("T%1").arg(i);
    TJobForm form;
    ASSERT_EQ(ApplyProduct(form, Product(many.join(","), "x", "")), "");
    EXPECT_EQ(RowTexts(form).size(), 20);
    EXPECT_EQ(form.rows[19].name, "T20");
}

TEST(JobDefinition, ProductWithUnsafeTabNamesIsRefused)
{
    for (const char* tabs : {"본문,../../etc", "본문,a/b", "..,본문", "a\\b", "a=b", "본문,본문",
                             "[부록],;주석,본문", "본문,;주석", "Text,TEXT"}) {
        TJobForm form;
        form.pNAME = "before";
        form.rows[0] = {"keep", "src", "", "1"};
        const QString problem = ApplyProduct(form, Product(QString::fromUtf8(tabs), "x", "1,2"));
        EXPECT_TRUE(problem.startsWith("이 제품의 탭 정보로는 작업을 만들 수 없습니다.")) << tabs;
        EXPECT_EQ(form.pNAME, "before") << tabs;
        EXPECT_EQ(RowTexts(form), QStringList{"keep|src||1"}) << tabs;
    }
}

TEST(JobDefinition, SaveChecksInOrder)
{
    auto base = [] {
        TJobForm f;
        f.workFolder = "/tmp/job";
        f.pNAME = "데모 도서";
        f.rows[0] = {"본문", "src/a", "", "101"};
        f.rows[1] = {"번역", "src/b", "본문", "102"};
        return f;
    };
    struct Case {
        const char* name;
        std::function<void(TJobForm&)> change;
        QString message;
    } cases[] = {
        {"complete", [](TJobForm&) {}, ""},
        {"no folder", [](TJobForm& f) { f.workFolder = "  "; f.pNAME.clear(); }, NoWorkFolderMessage},
        {"no product", [](TJobForm& f) { f.pNAME.clear(); f.rows[1].folder = "src/a"; }, NoProductMessage},
        {"same folder adjacent", [](TJobForm& f) { f.rows[1].folder = "src/a"; }, SameSourceMessage},
        {"same folder apart", [](TJobForm& f) { f.rows[7] = {"x", "src/b", "", ""}; }, SameSourceMessage},
        {"empty folders may repeat", [](TJobForm& f) { f.rows[0].folder.clear(); f.rows[1].folder.clear(); }, ""},
        {"folder case differs", [](TJobForm& f) { f.rows[1].folder = "SRC/A"; }, ""},
        {"same tab twice", [](TJobForm& f) { f.rows[3] = {"본문", "", "", ""}; },
         "탭 이름 \"본문\"이(가) 두 번 나옵니다. 탭 이름은 서로 달라야 합니다."},
        {"tab name escapes", [](TJobForm& f) { f.rows[2] = {"..", "", "", ""}; }, TabNameProblem("..")},
        {"tab name read back as a section", [](TJobForm& f) { f.rows[2] = {"[부록]", "", "", ""}; },
         TabNameProblem("[부록]")},
        {"tabs differing in case", [](TJobForm& f) { f.rows[2] = {"Notes", "", "", ""}; f.rows[3] = {"NOTES", "", "", ""}; },
         TabNamesProblem({"Notes", "NOTES"})},
    };
    for (const Case& c : cases) {
        TJobForm f = base();
        c.change(f);
        EXPECT_EQ(JobFormProblem(f), c.message) << c.name;
    }
}

TEST(JobDefinition, SaveWritesTheJobFileAndOpensTheJob)
{
    QTemporaryDir dir;
    TJobForm form;
    form.workFolder = dir.path() + "/";
    ASSERT_EQ(ApplyProduct(form, Product("본문,번역", "번역,본문", "101,102")), "");
    form.rows[2] = form.rows[1]; // rows 1 and 3 filled, row 2 empty
    form.rows[1] = {};
    form.rows[0].folder = "src/본문";
    form.rows[2].folder = "src/번역";

    TJobDefine open;
    open.pNAME = "old";
    RecordingInteraction ui;
    ASSERT_TRUE(SaveJobForm(form, open, ui));
    EXPECT_TRUE(ui.infos.isEmpty());
    EXPECT_EQ(open.WorkFolder, dir.path());
    EXPECT_EQ(open.TabsCount, 2);

    TJobDefine loaded;
    loaded.WorkFolder = dir.path();
    LoadJobFile(loaded);
    EXPECT_EQ(loaded.pNAME, "데모 도서");
    EXPECT_EQ(loaded.pID, "9001");
    EXPECT_EQ(loaded.pCode, "DEMO01");
    EXPECT_EQ(loaded.srcImage, "Y");
    ASSERT_EQ(loaded.TabsCount, 2);
    EXPECT_EQ(loaded.TabsName[0], "본문");
    EXPECT_EQ(loaded.TabsFile[0], "src/본문");
    EXPECT_EQ(loaded.TabsLink[0], "");
    EXPECT_EQ(loaded.TabsName[1], "번역");
    EXPECT_EQ(loaded.TabsLink[1], "본문");
    EXPECT_EQ(loaded.TabsID[1], "102");
    EXPECT_EQ(ReadSetting("JOBS", "WorkFolder"), dir.path());

    // A failed check or write leaves the open job as it was.
    form.rows[2].folder = "src/본문";
    EXPECT_FALSE(SaveJobForm(form, open, ui));
    EXPECT_EQ(ui.infos, QStringList{SameSourceMessage});
    form.rows[2].folder = "src/번역";
    form.workFolder = dir.path() + "/missing/deeper";
    EXPECT_FALSE(SaveJobForm(form, open, ui));
    EXPECT_EQ(ui.infos.size(), 2);
    EXPECT_EQ(open.WorkFolder, dir.path());
}

TEST(JobDefinition, ChosenFolderWithAJob)
{
    QTemporaryDir dir;
    TJobDefine existing;
    existing.WorkFolder = dir.path();
    existing.pNAME = "기존 도서";
    existing.pID = "7";
    existing.pCode = "OLD";
    existing.srcImage = "N";
    existing.TabsCount = 1;
    existing.TabsName[0] = "본문";
    existing.TabsFile[0] = "text";
    existing.TabsID[0] = "55";
    ASSERT_TRUE(SaveJobFile(existing));

    auto chosenProduct = [] {
        TJobForm f;
        EXPECT_EQ(ApplyProduct(f, Product("본문,번역", "x", "101,102")), "");
        return f;
    };

    // Yes: product fields and rows from the file, image flags stay those of the product.
    TJobForm yes = chosenProduct();
    RecordingInteraction ui;
    ApplyJobFolder(yes, dir.path(), ui);
    EXPECT_EQ(ui.questions, QStringList{UseExistingJobQuestion});
    EXPECT_EQ(yes.workFolder, dir.path());
    EXPECT_EQ(yes.pNAME, "기존 도서");
    EXPECT_EQ(yes.pID, "7");
    EXPECT_EQ(yes.pCode, "OLD");
    EXPECT_EQ(yes.srcImage, "Y");
    EXPECT_EQ(RowTexts(yes), QStringList({"본문|text||55", "번역|||102"}));

    // No: only the folder.
    TJobForm no = chosenProduct();
    ui.answers = {false};
    ApplyJobFolder(no, dir.path(), ui);
    EXPECT_EQ(no.workFolder, dir.path());
    EXPECT_EQ(no.pNAME, "데모 도서");
    EXPECT_EQ(RowTexts(no), QStringList({"본문|||101", "번역|||102"}));

    // A folder without a job asks nothing.
    QTemporaryDir empty;
    TJobForm fresh = chosenProduct();
    ui.questions.clear();
    ApplyJobFolder(fresh, empty.path(), ui);
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_EQ(fresh.workFolder, empty.path());
    EXPECT_EQ(fresh.pNAME, "데모 도서");
}

TEST(JobDefinition, SourceFolderMustLieInTheJobFolder)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("src/본문/sub");
    const QString job = dir.path();
    QString problem;
    EXPECT_EQ(RelativeSourceFolder(job, job + "/src/본문", &problem), "src/본문");
    EXPECT_EQ(RelativeSourceFolder(job + "/", job + "/src/본문/sub/", &problem), "src/본문/sub");
    EXPECT_EQ(RelativeSourceFolder(job, job + "/src/../src/본문", &problem), "src/본문");
    EXPECT_TRUE(problem.isEmpty());
    for (const QString& bad : {job, job + "/..", job + "x/src", QString("/tmp")}) {
        problem.clear();
        EXPECT_EQ(RelativeSourceFolder(job, bad, &problem), "") << bad.toStdString();
        EXPECT_FALSE(problem.isEmpty()) << bad.toStdString();
    }
}
