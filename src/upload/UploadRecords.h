#pragma once
// The values the upload sends for a tab and its articles, each built from the job folder's files:
// titles, HTML, the meta data records, the tab link record, the page image lists and the image
// file lists. They read the files other steps write and never write any.

#include "articles/ArticleIndex.h"
#include "indexing/MetaFile.h"
#include "shell/myLIB.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

class Interaction;
class TVUX_codes;

// Subject display name -> the ex-meta group it fills (the group code as the server spells it).
struct TExMetaGroup {
    const char* subject;
    const char* group;
};
extern const TExMetaGroup ExMetaTable[9];
// The table's group for `subject`, empty when the subject has none.
QString ExMetaGroupFor(const QString& subject);

// A title beginning with "(page" marks a further page of its parent article.
bool IsPageNode(const TArticleTree& tree, int j);

// product name + " " + tab name.
QString TabHeaderTitle(const TJobDefine& job, int tab);
// The node's title; a page node carries its parent's title.
QString ArticleTitle(const TArticleTree& tree, int j);

// The article lines as the server gets them: first line dropped, rendered for upload, the HTML
// lines joined without line breaks, every "&" as "＆" (the form has no escaping of its own).
QString UploadHtml(const QStringList& articleLines, Interaction& ui);
// Loads node j's article file and renders it; false after the loader's message.
bool BuildArticleHtml(const TJobDefine& job, int tab, const TArticleTree& tree, int j, Interaction& ui,
                      QString& html);

struct TFamilyValues {
    QString parentNumber;
    QString hasChild;
};
// A page node hangs under its grandparent and never has a child; another node hangs under its
// parent and has a child when its first child is an article of its own. A page node right under
// the root gets the root's parent number "0".
TFamilyValues FamilyValues(const TArticleTree& tree, const std::vector<int>& contentNumbers, int j);
// Titles from the root down to node j joined by "^"; a page node ends with its parent's title.
QString UploadPath(const TArticleTree& tree, int j);
// The article's address on the content site with full-width "＝" (and plain "&", which the core
// record turns full-width with the rest).
QString ArticleUrl(const QString& contentBaseUrl, const QString& productId, const QString& tabId,
                   int contentNumber, int j);

// A column's value as sent: the code of its display name when the column takes codes ("BAD"
// for an unknown name), else the value itself.
QString CodedValue(const TVUX_codes& codes, int column, const QString& value);
// The coded value of the last keyword option for column `sptr`; empty when there is none.
QString DefaultSubjectCode(const QList<TvuxSchOption>& options, const TVUX_codes& codes, int sptr);

// Everything the record builders of one tab need.
struct TRecordContext {
    const TJobDefine* job = nullptr;
    int tab = 0;
    const TVUX_codes* codes = nullptr;
    const TArticleTree* tree = nullptr;
    const std::vector<int>* contentNumbers = nullptr;
    const QList<TvuxSchOption>* options = nullptr;
    QString tabId;
    QString contentBaseUrl;
    QString defaultSubject1; // DefaultSubjectCode of vux_SubjPtr1 and vux_SubjPtr2
    QString defaultSubject2;
};

// "coremeta" from the tab's meta result file: the non-empty values of the base group, with the
// automatic ones filled in where the file holds a placeholder. Empty when the file is too short.
QString CoreRecordFromMeta(const TRecordContext& c, const TMetaData& meta, int j);
// "coremeta" without a meta result file: fixed values of the keyword definitions, else the
// automatic values by the column's position in the base group.
QString CoreRecordWithoutMeta(const TRecordContext& c, int j);

struct TExMetaRecords {
    QString exmeta;
    QString exaddmeta;
    QString error; // the file ends inside the ex-meta part of the block: the run stops
};
TExMetaRecords ExMetaRecords(const TVUX_codes& codes, const TMetaData& meta, int j);
// "imgmeta": the non-empty values of the last group; empty when the file is too short.
QString ImageMetaRecord(const TVUX_codes& codes, const TMetaData& meta, int j);

// The meta records of one article as they are sent.
struct TArticleRecords {
    QString core;
    TExMetaRecords ex;
    QString image;
};

// One tab's sources of its records: the article tree, the content numbers of its page file and
// its meta result file, which is read record by record as the articles come (never whole).
class TTabRecords {
public:
    // `base` names job, tab, codes and the caller's options, content URL and default subjects.
    explicit TTabRecords(const TRecordContext& base);
    // False when the tree does not load (the loader has told `treeUi`, `error` stays empty) or,
    // with `error`, when the meta result file or the page file cannot be read.
    bool Open(Interaction& treeUi, QString* error);
    const TArticleTree& Tree() const { return m_tree; }
    int ContentNumber(int j) const { return (*m_context.contentNumbers)[size_t(j)]; }
    bool HasMeta() const { return m_hasMeta; }
    // The records of node j; nodes come in ascending order. False with `error` when the meta
    // result file cannot be read.
    bool Records(int j, TArticleRecords& out, QString* error);

private:
    TRecordContext m_context;
    TArticleTree m_tree;
    std::vector<int> m_numbers;
    bool m_hasMeta = false;
    TMetaFileReader m_reader;
    TMetaData m_meta;
};

// The tab whose name equals the tab's link, -1 for none.
int LinkedTab(const TJobDefine& job, int tab);
// "tabLink" of a tab from the lines of its connection file (line k: the linked tab's node of
// node k, or "-"). False with `error` naming the line that is neither.
bool TabLinkRecord(const TJobDefine& job, int tab, int linkedTab, const QStringList& connectLines,
                   QString& record, QString* error = nullptr);
// The same from the connection file; a missing file gives an empty record.
bool TabLinkRecordFromFile(const TJobDefine& job, int tab, int linkedTab, QString& record,
                           QString* error = nullptr);

// "wImage" of node k (k >= 1) from the image link lines (two per node): the source images from
// the node's first to its last image, each as "images/" + name, joined by "|". Empty when the
// pair is missing or holds "-".
QString PageImageList(const QStringList& linkLines, const QStringList& sourceImages, int k);
// The same for one pair of names: the source images from `first` to `last`. Empty when none lies
// between them: the node has nothing to link.
QString PageImageRange(const QString& first, const QString& last, const QStringList& sourceImages);
// The nodes k = 1, 2, … that get a page image request, in order, with their lists.
struct TPageImages {
    int node = 0;
    QString list;
};
QList<TPageImages> PageImageRequests(const QStringList& linkLines, const QStringList& sourceImages);

struct TUploadFile {
    QString folder;   // sub-path below "img" ("maps/old"), empty for a file directly in it or in "images"
    QString name;     // the file's own name
    QString path;     // absolute
    qint64 size = 0;

    QString RelativeName() const { return folder.isEmpty() ? name : folder + QLatin1Char('/') + name; }
};
struct TUploadFileList {
    QList<TUploadFile> files;
    qint64 totalSize = 0;
};
// The ".jpg" files (any case) directly in {job}/images, by name ignoring case.
TUploadFileList SourceImageFiles(const QString& jobFolder);
// Sub-folders of "img" deeper than this are not followed (the server keeps folders that deep).
constexpr int MaxInsertedImageDepth = 12;
// The ".jpg" files (any case) of {job}/img and of its sub-folders at any depth (not those whose
// name begins with "."), by name; links are left out so nothing outside the job is sent.
TUploadFileList InsertedImageFiles(const QString& jobFolder);
// "img/" + the file's sub-path: where the server keeps an inserted image.
QString InsertedImageFolderValue(const TUploadFile& file);
