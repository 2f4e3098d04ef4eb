#pragma once
// Connecting the articles of two tabs: the pairs the job's LINK section defines, the connection
// file "{base tab}_connect.txt" (one line per base node: "-" or the target node's number), and
// connecting by title. The window, the `connect` command and the upload share these.

#include "articles/ArticleIndex.h"

#include <QList>
#include <QString>
#include <QStringList>

class Interaction;

inline const QString NotConnected = QStringLiteral("-");

struct TConnectPair {
    int base = -1;   // tab whose articles are connected (the translation side)
    int target = -1; // tab its articles point to
};

// In tab order: a tab whose link names another tab exactly (the first of that name).
QList<TConnectPair> BuildConnectPairs(const TJobDefine& job);
// "(" + base tab + ") - (" + the link as written + ")".
QString ConnectPairCaption(const TJobDefine& job, const TConnectPair& pair);

struct TConnectRead {
    QStringList rows;        // exactly `baseCount` rows, each "-" or a number without sign or zeros in front
    bool fileFound = false;
    QList<int> unusable;     // lines (0-based) that held neither "-" nor a number; read as "-"
    QString error;           // the file exists but could not be read
};

// Lines beyond `baseCount` are ignored, missing lines read as "-".
TConnectRead ReadConnectFile(const QString& path, int baseCount);
// "-" or a decimal number (blanks around it allowed); `node` gets the number.
bool ParseConnectValue(const QString& text, int* node = nullptr);
// What the operator is told about the lines that were read as "-"; empty when there were none.
QString UnusableConnectLinesMessage(const QString& path, const QList<int>& lines);

// UTF-16LE with byte-order mark, CR LF after every row; atomic.
bool WriteConnectFile(const QString& path, const QStringList& rows, QString* error = nullptr);

// The first target node (root included) whose title equals `title` exactly; -1 for none.
int FindTitle(const TArticleTree& target, const QString& title);
// Rows 1 … n-1 set to "-", then every base article to the last target node of the same title.
// Returns how many articles were connected.
int AutoConnect(QStringList& rows, const TArticleTree& base, const TArticleTree& target);
// Base articles (not the root) whose row holds a target node.
int ConnectedCount(const QStringList& rows);

// "의 연결 정보가 저장되었습니다." after the base tab's name.
QString ConnectSavedMessage(const QString& baseTab);
inline const QString NoConnectPairMessage =
    QStringLiteral("연결 정보가 정의되지 않은 작업입니다. 연결 작업을 할 필요가 없습니다.");
inline const QString DiscardConnectionsQuestion = QStringLiteral("연결 자료가 있다면 모두 무시됩니다. 진행합니까?");
inline const QString NoMatchingTitleMessage = QStringLiteral("일치하는 제목을 찾을 수 없습니다.");
