#include "indexing/Category.h"

#include "articles/ArticleIndex.h"
#include "jobs/JobDefine.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFileInfo>

QList<TKeywordTab> KeywordTabs(const TJobDefine& job, const QStringList& arIds)
{
    QList<TKeywordTab> out;
    for (const QString& id : arIds) {
        const int tab = TabIndexById(job, id);
        if (tab >= 0)
            out << TKeywordTab{id, tab};
    }
    return out;
}

CategoryDefaults FindCategoryDefaults(const QList<TvuxSchOption>& options, const QString& arId,
                                      const TVUX_codes& codes, TCategoryDefaults& out)
{
    out = {};
    bool any = false;
    for (const TvuxSchOption& o : options) {
        if (o.ar_id != arId)
            continue;
        any = true;
        if (o.sptr < 0 || o.sptr >= codes.vux_Columns.size())
            continue;
        if (o.sptr == codes.vux_SubjPtr1) {
            out.subj1_name = o.value;
            out.subj1_code = codes.vux_Columns[o.sptr].ColumnCode;
        } else if (o.sptr == codes.vux_SubjPtr2) {
            out.subj2_name = o.value;
            out.subj2_code = codes.vux_Columns[o.sptr].ColumnCode;
        }
        if (!out.subj1_code.isEmpty() && !out.subj2_code.isEmpty())
            break;
    }
    if (!any)
        return CategoryDefaults::NoOptions;
    if (out.subj1_code.isEmpty())
        return CategoryDefaults::NoSubject1;
    if (out.subj2_code.isEmpty())
        return CategoryDefaults::NoSubject2;
    return CategoryDefaults::Ok;
}

QString CategoryDefaultsMessage(CategoryDefaults result)
{
    switch (result) {
    case CategoryDefaults::NoOptions:
        return MsgCategoryNoOptions;
    case CategoryDefaults::NoSubject1:
        return MsgCategoryNoSubject1;
    case CategoryDefaults::NoSubject2:
        return MsgCategoryNoSubject2;
    case CategoryDefaults::Ok:
        break;
    }
    return {};
}

static void CodeGroupChoices(const TVUX_codes& codes, int group, QString& caption, QStringList& items,
                             int& etc)
{
    const TVuxGroup& g = codes.vux_CodeDef[group];
    caption = codes.vux_CodeData.value(g.First).CodeName;
    items.clear();
    for (int i = g.First + 1; i < g.First + g.Count && i < codes.vux_CodeData.size(); ++i)
        items << codes.vux_CodeData[i].CodeName;
    etc = int(items.indexOf(SubjectEtc));
}

bool LoadSubjectChoices(const TVUX_codes& codes, TSubjectChoices& out)
{
    out = {};
    const int g1 = codes.FindCodePointer(Subject1CodeGroup);
    const int g2 = codes.FindCodePointer(Subject2CodeGroup);
    if (g1 < 0 || g2 < 0)
        return false;
    CodeGroupChoices(codes, g1, out.caption1, out.items1, out.etc1);
    CodeGroupChoices(codes, g2, out.caption2, out.items2, out.etc2);
    return true;
}

void TCategoryGrid::Reset(int nodeCount, const TCategoryDefaults& defaults)
{
    subj1.clear();
    subj2.clear();
    const int rows = qMax(nodeCount, 1);
    subj1.reserve(rows);
    subj2.reserve(rows);
    subj1 << Subject1Header;
    subj2 << Subject2Header;
    for (int r = 1; r < rows; ++r) {
        subj1 << defaults.subj1_name;
        subj2 << defaults.subj2_name;
    }
}

bool TCategoryGrid::Fill(const QStringList& fileLines, int nodeCount, const TCategoryDefaults& defaults)
{
    Reset(nodeCount, defaults);
    bool defaulted = false;
    auto take = [&](int line, const QString& def) {
        if (line >= fileLines.size() || fileLines[line] == EmptySubject) {
            defaulted = true;
            return def;
        }
        return fileLines[line];
    };
    for (int r = 1; r < rowCount(); ++r) {
        subj1[r] = take(2 * r, defaults.subj1_name);
        subj2[r] = take(2 * r + 1, defaults.subj2_name);
    }
    return defaulted;
}

QStringList TCategoryGrid::FileLines() const
{
    QStringList lines;
    lines.reserve(2 * rowCount());
    for (int r = 0; r < rowCount(); ++r) {
        lines << (subj1[r].isEmpty() ? EmptySubject : subj1[r]);
        lines << (subj2[r].isEmpty() ? EmptySubject : subj2[r]);
    }
    return lines;
}

int TCategoryGrid::SetNode(const TArticleTree& tree, int node, const QString& subject1, const QString& subject2)
{
    if (node <= 0 || node >= rowCount())
        return 0;
    int written = 0;
    subj1[node] = subject1;
    subj2[node] = subject2;
    ++written;
    if (!tree.valid(node))
        return written;
    // Descendants follow their node in tree order and lie deeper than it.
    const int depth = tree.node(node).depth;
    for (int r = node + 1; r < tree.count() && r < rowCount(); ++r) {
        if (tree.node(r).depth <= depth)
            break;
        subj1[r] = subject1;
        subj2[r] = subject2;
        ++written;
    }
    return written;
}

bool ReadCategoryFile(const QString& file, QStringList& lines, Interaction& ui)
{
    lines.clear();
    if (!QFileInfo::exists(file))
        return true;
    QString error;
    if (!ReadTextLines(file, lines, &error)) {
        ui.ShowInfo(file + QStringLiteral(": 파일을 읽을 수 없습니다.\r\n") + error);
        lines.clear();
        return false;
    }
    return true;
}

bool WriteCategoryFile(const QString& file, const TCategoryGrid& grid, QString* error)
{
    if (file.isEmpty()) {
        if (error)
            *error = QStringLiteral("분류 파일의 이름을 만들 수 없습니다.");
        return false;
    }
    return WriteTextLines(file, grid.FileLines(), TextEncoding::Utf16LE, error);
}

QString CheckSubjects(const TSubjectChoices& choices, const QString& subject1, QString& subject2)
{
    if (!choices.items1.contains(subject1))
        return QStringLiteral("\"") + subject1 + QStringLiteral("\"은(는) ") + choices.caption1 +
               QStringLiteral("에 없는 분류입니다.");
    if (subject1 != SubjectEtc) {
        if (!subject2.isEmpty() && subject2 != EmptySubject)
            return QStringLiteral("2주제는 1주제가 \"기타\"일 때만 지정할 수 있습니다.");
        subject2 = EmptySubject;
        return {};
    }
    if (subject2.isEmpty())
        subject2 = EmptySubject;
    if (subject2 != EmptySubject && !choices.items2.contains(subject2))
        return QStringLiteral("\"") + subject2 + QStringLiteral("\"은(는) ") + choices.caption2 +
               QStringLiteral("에 없는 분류입니다.");
    return {};
}
