#pragma once
// Page grouping of a tab: every article node is a main article ("Main") or a further page of
// the main article before it ("page"), kept in "{tab}_pageinfo.txt", one line per node. The
// grouping window, `quilo pages` and the upload's content numbers read it only through here.

#include "tagging/ImageLinks.h"

#include <QString>
#include <QStringList>
#include <vector>

class TArticleTree;
struct TJobDefine;

inline const QString PageMain = QStringLiteral("Main");
inline const QString PagePage = QStringLiteral("page");
inline const QString PagesSavedMessage = QStringLiteral("페이지 정보가 저장되었습니다.");
inline const QString NoPageFileQuestion = QStringLiteral(
    "저장된 페이지 구성 정보가 없습니다.\r\n한 기사를  여러 페이지로 구성하는 경우가 없으면 이 메뉴를 실행하지 마십시요.\r\n"
    "여러 페이지를 하나의 기사로 지정하는 작업을 실행합니까?");

struct TPageInfoRead : TLinkFileRead {
    // A line was missing, or neither "Main" nor "page" (it reads as "Main"): the file needs saving.
    bool changed = false;
};

// One row per node of `tree`, each "Main" or "page" as the window loads them: missing and
// invalid lines read as "Main", and so do nodes with child nodes other than the root (a page
// cannot carry articles); the root keeps the value of its line.
TPageInfoRead ReadPageInfo(const QString& path, const TArticleTree& tree, QStringList& rows);

// Marking by title: a node whose title begins with "(page" is a page, every other node Main;
// the root and nodes with child nodes stay Main.
QStringList PagesByTitle(const TArticleTree& tree);

// Node i's content number: the count of rows 0 … i that are not exactly "page".
std::vector<int> ContentNumbers(const QStringList& rows, int nodeCount);

// The upload's numbering of a tab, from its page file read as the window reads it (without the
// file node i has number i + 1). False when the file is there but cannot be read.
bool LoadContentNumbers(const QString& path, const TArticleTree& tree, std::vector<int>& numbers,
                        QString* error = nullptr);

// The grouped contents: the article tree without its page nodes. `pointers[j]` is the article
// node of contents node j (0 the root); `parents[j]` the contents node above it (-1 for the root).
struct TPageContents {
    std::vector<int> pointers;
    std::vector<int> parents;
    int failedRow = -1; // a page row that carries child nodes: the grouping cannot be built
};
TPageContents BuildPageContents(const TArticleTree& tree, const QStringList& rows);

// "페이지 구성에 오류가 있는 것 같습니다. …" with the node's title after its ancestors' titles.
QString PageContentsErrorMessage(const TArticleTree& tree, int node);
