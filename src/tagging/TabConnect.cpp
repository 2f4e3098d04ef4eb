#include "tagging/TabConnect.h"

#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QFileInfo>
#include <QHash>

QList<TConnectPair> BuildConnectPairs(const TJobDefine& job)
{
    QList<TConnectPair> pairs;
    const int tabs = qBound(0, job.TabsCount, MaxTabs);
    for (int i = 0; i < tabs; ++i) {
        const QString& link = job.TabsLink[size_t(i)];
        if (link.isEmpty())
            continue;
        for (int j = 0; j < tabs; ++j)
            if (job.TabsName[size_t(j)] == link) {
                pairs.append({i, j});
                break;
            }
    }
    return pairs;
}

QString ConnectPairCaption(const TJobDefine& job, const TConnectPair& pair)
{
    return "(" + job.TabsName[size_t(pair.base)] + ") - (" + job.TabsLink[size_t(pair.base)] + ")";
}

bool ParseConnectValue(const QString& text, int* node)
{
    const QString t = TrimBlanks(text);
    if (t == NotConnected) {
        if (node)
            *node = -1;
        return true;
    }
    if (t.isEmpty())
        return false;
    for (QChar c : t)
        if (c < u'0' || c > u'9')
            return false;
    bool ok = false;
    const int v = t.toInt(&ok);
    if (!ok)
        return false; // too big for any tree
    if (node)
        *node = v;
    return true;
}

TConnectRead ReadConnectFile(const QString& path, int baseCount)
{
    TConnectRead read;
    const int n = qMax(0, baseCount);
    read.rows = QStringList(n, NotConnected);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return read;
    QStringList lines;
    if (!ReadTextLines(path, lines, &read.error))
        return read;
    read.fileFound = true;
    const int used = int(qMin<qsizetype>(lines.size(), n));
    for (int i = 0; i < used; ++i) {
        int node = -1;
        if (!ParseConnectValue(lines[i], &node)) {
            // Only a hand-edited file holds these; the upload could not send them either.
            read.unusable.append(i);
            continue;
        }
        read.rows[i] = node < 0 ? NotConnected : QString::number(node);
    }
    return read;
}

QString UnusableConnectLinesMessage(const QString& path, const QList<int>& lines)
{
    if (lines.isEmpty())
        return {};
    QStringList numbers;
    for (int i = 0; i < lines.size() && i < 10; ++i)
        numbers << QString::number(lines[i] + 1);
    if (lines.size() > 10)
        numbers << QStringLiteral("…");
    return QStringLiteral("%1\r\n%2번째 줄은 \"-\"도 번호도 아니어서 연결되지 않은 것(-)으로 읽었습니다.")
        .arg(QFileInfo(path).fileName(), numbers.join(", "));
}

bool WriteConnectFile(const QString& path, const QStringList& rows, QString* error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("연결 파일의 이름을 만들 수 없습니다.");
        return false;
    }
    return WriteTextLines(path, rows, TextEncoding::Utf16LE, error);
}

int FindTitle(const TArticleTree& target, const QString& title)
{
    for (int t = 0; t < target.count(); ++t)
        if (target.node(t).title == title)
            return t;
    return -1;
}

int AutoConnect(QStringList& rows, const TArticleTree& base, const TArticleTree& target)
{
    const int n = int(qMin<qsizetype>(rows.size(), base.count()));
    for (int k = 1; k < rows.size(); ++k)
        rows[k] = NotConnected;
    // A title that occurs more than once in the target ends on its last occurrence.
    QHash<QString, int> lastByTitle;
    for (int t = 0; t < target.count(); ++t)
        lastByTitle.insert(target.node(t).title, t);
    int connected = 0;
    for (int k = 1; k < n; ++k) {
        const auto found = lastByTitle.constFind(base.node(k).title);
        if (found != lastByTitle.constEnd()) {
            rows[k] = QString::number(found.value());
            ++connected;
        }
    }
    return connected;
}

int ConnectedCount(const QStringList& rows)
{
    int count = 0;
    for (int k = 1; k < rows.size(); ++k)
        if (rows[k] != NotConnected)
            ++count;
    return count;
}

QString ConnectSavedMessage(const QString& baseTab)
{
    return baseTab + QStringLiteral("의 연결 정보가 저장되었습니다.");
}
