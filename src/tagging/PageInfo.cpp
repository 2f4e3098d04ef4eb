#include "tagging/PageInfo.h"

#include "articles/ArticleIndex.h"
#include "jobs/JobDefine.h"
#include "shell/TextFile.h"

#include <QFileInfo>

TPageInfoRead ReadPageInfo(const QString& path, const TArticleTree& tree, QStringList& rows)
{
    TPageInfoRead read;
    const int count = tree.count();
    rows = QStringList(count, PageMain);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return read;
    read.exists = true;
    QStringList lines;
    if (!ReadTextLines(path, lines, &read.error, &read.valid)) {
        read.ok = false;
        return read;
    }
    read.lineCount = int(lines.size());
    for (int i = 0; i < count; ++i) {
        if (i >= lines.size() || (lines[i] != PageMain && lines[i] != PagePage)) {
            read.changed = true;
            continue;
        }
        // A page cannot carry articles: such a node reads as Main, as its locked row shows, which
        // changes nothing the operator would have to save. The root keeps its own value.
        if (lines[i] == PagePage && i > 0 && !tree.node(i).children.empty())
            continue;
        rows[i] = lines[i];
    }
    return read;
}

QStringList PagesByTitle(const TArticleTree& tree)
{
    QStringList rows(tree.count(), PageMain);
    for (int i = 1; i < tree.count(); ++i)
        if (tree.node(i).children.empty() && tree.node(i).title.startsWith(QStringLiteral("(page")))
            rows[i] = PagePage;
    return rows;
}

std::vector<int> ContentNumbers(const QStringList& rows, int nodeCount)
{
    std::vector<int> numbers(size_t(qMax(0, nodeCount)));
    int counter = 0;
    for (int i = 0; i < nodeCount; ++i) {
        if (i >= rows.size() || rows[i] != PagePage)
            ++counter;
        numbers[size_t(i)] = counter;
    }
    return numbers;
}

bool LoadContentNumbers(const QString& path, const TArticleTree& tree, std::vector<int>& numbers, QString* error)
{
    QStringList rows;
    const TPageInfoRead read = ReadPageInfo(path, tree, rows);
    if (!read.ok) {
        if (error)
            *error = read.error;
        numbers.clear();
        return false;
    }
    numbers = ContentNumbers(rows, tree.count());
    return true;
}

TPageContents BuildPageContents(const TArticleTree& tree, const QStringList& rows)
{
    TPageContents c;
    if (tree.empty())
        return c;
    // contentsOf[r]: the contents node standing for article node r (-1 for pages).
    std::vector<int> contentsOf(size_t(tree.count()), -1);
    c.pointers.push_back(0);
    c.parents.push_back(-1);
    contentsOf[0] = 0;
    for (int r = 1; r < tree.count(); ++r) {
        const TArticleNode& node = tree.node(r);
        if (r < rows.size() && rows[r] == PagePage) {
            if (!node.children.empty()) {
                c.failedRow = r;
                return c;
            }
            continue;
        }
        contentsOf[size_t(r)] = int(c.pointers.size());
        c.pointers.push_back(r);
        c.parents.push_back(contentsOf[size_t(node.parent)]);
    }
    return c;
}

QString PageContentsErrorMessage(const TArticleTree& tree, int node)
{
    QString location;
    if (tree.valid(node)) {
        location = tree.node(node).title;
        for (int p = tree.node(node).parent; p >= 0; p = tree.node(p).parent)
            location = tree.node(p).title + QStringLiteral(" -> ") + location;
    }
    return QStringLiteral("페이지 구성에 오류가 있는 것 같습니다. 기사의 (page) 나눔을 점검하십시오.\r\n오류 발생 위치 : ")
           + location + QStringLiteral("\r\n") + QStringLiteral("오류 발생 위치 앞에서 오류가 발생했을 수 있습니다.");
}
