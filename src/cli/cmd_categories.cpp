// quilo categories JOBDIR: the subject categories of a keyword tab, set and saved as the
// category window does.

#include "articles/ArticleIndex.h"
#include "cli/Commands.h"
#include "indexing/Category.h"
#include "indexing/KeywordDefinitions.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"

bool EnsureCommandCodeTable(const QString& server);

static const QString Usage =
    QStringLiteral("usage: quilo categories JOBDIR [--tab TAB]... [--set NODE=SUBJECT1[/SUBJECT2]]... [--server URL]");

struct CategorySet {
    int node = 0;
    QString subject1;
    QString subject2; // empty: not given
};

// "NODE=S1" or "NODE=S1/S2"; a subject-1 name that itself holds "/" is taken whole.
static bool ParseSet(const QString& text, const TSubjectChoices& choices, CategorySet& out)
{
    const qsizetype eq = text.indexOf('=');
    if (eq <= 0)
        return false;
    bool isNumber = false;
    out.node = text.left(eq).toInt(&isNumber);
    if (!isNumber)
        return false;
    const QString value = text.mid(eq + 1);
    const qsizetype slash = value.indexOf('/');
    if (slash < 0 || choices.items1.contains(value)) {
        out.subject1 = value;
        out.subject2.clear();
    } else {
        out.subject1 = value.left(slash);
        out.subject2 = value.mid(slash + 1);
    }
    return !out.subject1.isEmpty();
}

// Subject 2 when only "기타" was given: the row's own subject 2 if it is a choice, else "기타",
// as the set panel preselects them.
static QString PreselectedSubject2(const TSubjectChoices& choices, const QString& cell)
{
    if (choices.items2.contains(cell))
        return cell;
    return choices.etc2 >= 0 ? choices.items2[choices.etc2] : EmptySubject;
}

static int RunCategoriesForTab(const TJobDefine& job, const TKeywordTab& kt, const TKeywordDefinitions& defs,
                               const TVUX_codes& codes, const QStringList& setArgs, bool header)
{
    ConsoleInteraction ui;
    TCategoryDefaults defaults;
    const CategoryDefaults found = FindCategoryDefaults(defs.options, kt.arId, codes, defaults);
    if (found != CategoryDefaults::Ok) {
        ui.ShowInfo(CategoryDefaultsMessage(found));
        return 1;
    }
    TArticleTree tree;
    if (!LoadArticleTree(job, kt.tab, tree, ui) || tree.empty())
        return 1;
    const QString file = CategoryFileName(job.WorkFolder, job.TabsName[kt.tab]);
    QStringList lines;
    if (file.isEmpty() || !ReadCategoryFile(file, lines, ui))
        return 1;
    TCategoryGrid grid;
    grid.Fill(lines, tree.count(), defaults);
    TSubjectChoices choices;
    if (!LoadSubjectChoices(codes, choices)) {
        ui.ShowInfo(MsgCategoryBadCodeTable);
        return 1;
    }

    // Every --set is checked before any is applied, so a refused one changes nothing.
    QList<CategorySet> sets;
    for (const QString& text : setArgs) {
        CategorySet s;
        if (!ParseSet(text, choices, s))
            return UsageError(Usage);
        if (s.node < 1 || s.node >= tree.count()) {
            Err(QStringLiteral("노드 %1이(가) 탭 [%2]에 없습니다. (1 ~ %3)")
                    .arg(s.node)
                    .arg(job.TabsName[kt.tab])
                    .arg(tree.count() - 1));
            return 1;
        }
        if (s.subject1 == SubjectEtc && s.subject2.isEmpty())
            s.subject2 = PreselectedSubject2(choices, grid.subj2[s.node]);
        if (const QString error = CheckSubjects(choices, s.subject1, s.subject2); !error.isEmpty()) {
            Err(error);
            return 1;
        }
        sets << s;
    }
    for (const CategorySet& s : sets)
        grid.SetNode(tree, s.node, s.subject1, s.subject2);

    QString error;
    if (!WriteCategoryFile(file, grid, &error)) {
        Err(file + QStringLiteral(": 파일을 저장할 수 없습니다.\r\n") + error);
        return 1;
    }
    Err(file);
    ui.ShowInfo(MsgCategorySaved);

    if (header)
        Out(QStringLiteral("tab\t") + job.TabsName[kt.tab]);
    for (int k = 1; k < grid.rowCount(); ++k)
        Out(QString::number(k) + '\t' + grid.subj1[k] + '\t' + grid.subj2[k] + '\t' + tree.node(k).title);
    return 0;
}

static int RunCategories(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("tab"), QStringLiteral("set"), QStringLiteral("server")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(Usage);
    TJobDefine job;
    if (!OpenJobFolder(p.positional[0], job))
        return 1;
    if (!EnsureCommandCodeTable(p.has("server") ? p.value("server") : ServerBaseURL()))
        return 1;
    const TVUX_codes& codes = *SessionCodes();
    ConsoleInteraction ui;
    TKeywordDefinitions defs;
    if (!LoadKeywordDefinitions(KeywordDefinitionsFile(job), codes, defs, ui))
        return 1;
    const QList<TKeywordTab> keywordTabs = KeywordTabs(job, defs.ar_ids);
    if (keywordTabs.isEmpty()) {
        ui.ShowInfo(MsgKeywordsWrongInfo);
        return 1;
    }

    // Without --tab the first keyword tab, as the window opens.
    QList<TKeywordTab> chosen;
    const QStringList tabNames = p.values(QStringLiteral("tab"));
    if (tabNames.isEmpty())
        chosen << keywordTabs.first();
    for (const QString& name : tabNames) {
        auto it = std::find_if(keywordTabs.begin(), keywordTabs.end(),
                               [&](const TKeywordTab& t) { return job.TabsName[t.tab] == name; });
        if (it == keywordTabs.end()) {
            Err(QStringLiteral("탭 [%1]은(는) 색인어 정의에 없습니다.").arg(name));
            return 1;
        }
        chosen << *it;
    }
    for (const TKeywordTab& kt : chosen)
        if (const int status = RunCategoriesForTab(job, kt, defs, codes, p.values(QStringLiteral("set")),
                                                   chosen.size() > 1);
            status != 0)
            return status;
    return 0;
}

static CommandRegistrar reg({QStringLiteral("categories"),
                             QStringLiteral("JOBDIR [--tab TAB]... [--set NODE=SUBJECT1[/SUBJECT2]]... [--server URL]"),
                             QStringLiteral("set the subject categories of a keyword tab's articles (a node and its "
                                            "descendants; subject 2 only with \"기타\"), save {tab}_category.txt and "
                                            "print node TAB subject 1 TAB subject 2 TAB title (a \"tab\" TAB name line "
                                            "before each tab when several are given)"),
                             RunCategories});
