#include "articles/ArticleGenerator.h"

#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QDataStream>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

// "code : text" of the last failed system call, as the operator's messages show it.
QString PlatformError(int code)
{
    return QStringLiteral("%1 : %2").arg(code).arg(QString::fromLocal8Bit(std::strerror(code)));
}

QString BadTextMessage(const QString& path)
{
    return QStringLiteral("파일 : ") + path
        + QStringLiteral("\r\n문자 코드가 올바르지 않은 텍스트 파일입니다. 파일을 확인하십시오.");
}

bool IsUnder(const QString& inner, const QString& outer)
{
    return inner == outer || inner.startsWith(outer + '/');
}

} // namespace

QString ArticleGroupFolder(const QString& id)
{
    const qsizetype us = id.indexOf('_');
    const QString first = us < 0 ? id : id.left(us);
    bool ok = false;
    const qlonglong n = first.toLongLong(&ok);
    return ok ? QStringLiteral("%1").arg(n, 4, 10, QChar('0')) : first;
}

struct THeadingList::Store {
    QTemporaryFile file;
    QDataStream stream;
};

THeadingList::THeadingList() = default;
THeadingList::~THeadingList() = default;

bool THeadingList::Reset(const QString& folder)
{
    m_count = 0;
    m_store = std::make_unique<Store>();
    m_store->file.setFileTemplate(folder + QStringLiteral("/.~headings.XXXXXX"));
    if (!m_store->file.open())
        return false;
    m_store->stream.setDevice(&m_store->file);
    return true;
}

void THeadingList::Append(const THeadingEntry& e)
{
    if (!m_store)
        return;
    m_store->stream << e.title << qint32(e.level) << e.id << e.file << qint32(e.line);
    ++m_count;
}

THeadingList::Mark THeadingList::Here()
{
    return {m_count, m_store ? m_store->file.pos() : 0};
}

void THeadingList::CutBack(const Mark& mark)
{
    if (!m_store)
        return;
    m_store->file.flush();
    m_store->file.resize(mark.bytes);
    m_store->file.seek(mark.bytes);
    m_count = mark.count;
}

void THeadingList::Rewind()
{
    if (!m_store)
        return;
    m_store->file.flush();
    m_store->file.seek(0);
    m_store->stream.resetStatus();
}

bool THeadingList::Next(THeadingEntry& e)
{
    if (!m_store || m_store->file.atEnd())
        return false;
    qint32 level = 0, line = 0;
    m_store->stream >> e.title >> level >> e.id >> e.file >> line;
    e.level = level;
    e.line = line;
    return m_store->stream.status() == QDataStream::Ok;
}

QString THeadingList::Error() const
{
    if (!m_store)
        return QStringLiteral("no list");
    if (m_store->stream.status() != QDataStream::Ok || m_store->file.error() != QFileDevice::NoError)
        return m_store->file.fileName() + QStringLiteral("\r\n") + m_store->file.errorString();
    return {};
}

QStringList CollectRemoveTexts(const QStringList& edits)
{
    QStringList out;
    for (const QString& t : edits)
        if (!t.isEmpty())
            out << t;
    return out;
}

TArticleGenerator::TArticleGenerator(const TJobDefine& job_, Interaction& ui_, LongLineHandler* longLines_)
    : job(job_)
    , ui(ui_)
    , longLines(longLines_)
{
    ResetTree();
}

void TArticleGenerator::Log(const QString& line) { ui.Report(line); }

void TArticleGenerator::SetState(int tab, int column, const QString& text)
{
    if (onState)
        onState(tab, column, text);
}

void TArticleGenerator::ResetTree()
{
    path.assign(1, PathNode{});
    firstLevel = 0;
}

bool TArticleGenerator::LoadSource(const QString& file, QStringList& lines, QString* error)
{
    QString text, why;
    bool valid = true;
    if (!ReadTextFile(file, text, &why, &valid)) {
        *error = QStringLiteral("파일을 열 수 없습니다.\r\n[") + file + "]\r\n" + why;
        return false;
    }
    // A file that did not decode cleanly (or a binary file named .txt) would lose its bad
    // bytes when its headings are written back.
    if (!valid || text.contains(QChar(0))) {
        *error = BadTextMessage(file);
        return false;
    }
    lines = SplitLines(text);
    return true;
}

bool TArticleGenerator::PrepareWorkFolder(int tab)
{
    const QString idx = ArticleIndexFileName(job, tab);
    const QString bak = idx + ".bak";
    if (QFileInfo::exists(bak) && !QFile::remove(bak)) {
        ui.ShowInfo(QStringLiteral("백업 파일을 삭제할 수 없습니다.\r\n[") + bak + ']');
        return false;
    }
    if (QFileInfo::exists(idx) && std::rename(QFile::encodeName(idx).constData(),
                                               QFile::encodeName(bak).constData()) != 0) {
        const int code = errno;
        ui.ShowInfo(QStringLiteral("백업 파일로 변경할 수 없습니다.\r\n[") + bak + "]\r\n" + PlatformError(code));
        return false;
    }

    const QString work = ArticleFolderName(job, tab);
    const QString backup = ArticleBackupFolderName(job, tab);
    if (QFileInfo::exists(work)) {
        if (QFileInfo::exists(backup) && !DeleteDirectory(backup)) {
            ui.ShowInfo(QStringLiteral("백업 폴더를 삭제할 수 없습니다.\r\n[") + backup + ']');
            return false;
        }
        if (std::rename(QFile::encodeName(work).constData(), QFile::encodeName(backup).constData()) != 0) {
            const int code = errno;
            ui.ShowInfo(QStringLiteral("백업 폴더로 변경할 수 없습니다.\r\n[") + backup + "]\r\n"
                        + PlatformError(code));
            return false;
        }
    }
    if (::mkdir(QFile::encodeName(work).constData(), 0777) != 0) {
        const int code = errno;
        ui.ShowInfo(QStringLiteral("폴더를 생성할 수 없습니다.\r\n[") + work + "]\r\n" + PlatformError(code));
        return false;
    }
    return true;
}

bool TArticleGenerator::MakeTabArticles(int tab)
{
    if (tab < 0 || tab >= job.TabsCount || tab >= MaxTabs)
        return false;
    const QString problem = TabNameProblem(job.TabsName[tab]);
    if (!problem.isEmpty()) {
        ui.ShowInfo(problem);
        return false;
    }
    const QString jobFolder = QDir::cleanPath(job.WorkFolder);
    if (NormalizeJobPath(job.TabsFile[tab]).isEmpty()) {
        ui.ShowInfo(QStringLiteral("원본 폴더가 지정되지 않았습니다.\r\n[") + job.TabsName[tab] + ']');
        return false;
    }
    const QString srcFolder = QDir::cleanPath(TabSourceFolder(job, tab));
    if (!QFileInfo(srcFolder).isDir()) {
        ui.ShowInfo(QStringLiteral("원본 폴더가 없습니다.\r\n[") + srcFolder + ']');
        return false;
    }
    // Heading lines are written back into the sources: never outside the job folder.
    if (const QString outside = SourceFolderOutsideProblem(job, tab); !outside.isEmpty()) {
        ui.ShowInfo(outside);
        return false;
    }
    // A source folder holding the job folder would list the article files as sources.
    if (IsUnder(jobFolder, srcFolder)) {
        ui.ShowInfo(QStringLiteral("작업 폴더는 원본 폴더로 쓸 수 없습니다.\r\n[") + srcFolder + ']');
        return false;
    }

    Log(QStringLiteral("원본 파일 리스트 추출..."));
    TextFileList.clear();
    QDirIterator it(srcFolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        if (f.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive))
            TextFileList << f;
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(TextFileList.begin(), TextFileList.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });

    Log(QStringLiteral("작업 폴더 정리..."));
    if (!PrepareWorkFolder(tab))
        return false;

    if (!indexInfo.Reset(jobFolder)) {
        ui.ShowInfo(QStringLiteral("파일을 저장할 수 없습니다.\r\n[") + jobFolder + ']');
        return false;
    }
    ResetTree();
    const int files = int(TextFileList.size());
    ui.Progress(BarList, 0, qMax(files, 1));
    // A maximum of 0 would turn the bars into busy indicators.
    ui.Progress(BarFile, 0, 1);
    ui.Progress(BarIndex, 0, 1);
    ui.ClearStop();
    noAsk = false;
    totalFixed = 0;
    stopped = false;

    for (int i = 0; i < files; ++i) {
        const QString& file = TextFileList[i];
        Log(QStringLiteral("파일 : ") + file);
        ui.Progress(BarList, i + 1, files);
        ui.Status(LabelList, QStringLiteral("%1 / %2").arg(i + 1).arg(files));
        if (!AnalyseFile(srcFolder, file))
            return false;
    }

    SetState(tab, ColResult, totalFixed < 1 ? QStringLiteral("정상 완료")
                                            : QStringLiteral("레벨오류 %1개 수정").arg(totalFixed));
    if (WriteArticles(tab)) {
        SetState(tab, ColState, QStringLiteral("완료"));
        return true;
    }
    SetState(tab, ColState, QStringLiteral("중단"));
    if (!stopped)
        SetState(tab, ColResult, QStringLiteral("인덱스작업오류"));
    return false;
}

bool TArticleGenerator::AnalyseFile(const QString& srcFolder, const QString& file)
{
    const QString rel = QDir(srcFolder).relativeFilePath(file);
    // A restart after a long line was cut takes back what this file added.
    const std::vector<PathNode> pathAtStart = path;
    const THeadingList::Mark entriesAtStart = indexInfo.Here();

    for (;;) {
        QString error;
        if (!LoadSource(file, SourceLines, &error)) {
            Log(error);
            ui.ShowInfo(error);
            return false;
        }
        sFileNow = rel;
        const int count = int(SourceLines.size());
        ui.Progress(BarFile, 0, qMax(count, 1));
        isFixed = 0;
        iChanged = 0;
        int lastPoint = 0;
        bool restart = false;

        for (int n = 0; n < count; ++n) {
            const QString& line = SourceLines.at(n);
            if (line.size() > MaxSourceLineLength) {
                Log(QStringLiteral("줄 번호 #%1: 줄이 너무 깁니다.").arg(n + 1));
                const QString copy = line;
                if (!longLines || !longLines->FixLongLine(file, n + 1, copy, noAsk))
                    return false;
                path = pathAtStart;
                indexInfo.CutBack(entriesAtStart);
                Log(QStringLiteral("긴 줄 수정 후 재시작."));
                restart = true;
                break;
            }
            qsizetype p = line.indexOf(QLatin1String("<h"));
            if (p < 0)
                p = line.indexOf(QLatin1String("<H"));
            if (p < 0)
                continue;
            if (n / 100 > lastPoint) {
                lastPoint = n / 100;
                ui.Status(LabelLines, QStringLiteral("%1 / %2").arg(n).arg(count));
                ui.Progress(BarFile, n, count);
                if (ConfirmStop(ui)) {
                    stopped = true;
                    return false;
                }
            }
            if (p + 2 >= line.size())
                continue;
            const char16_t digit = line.at(p + 2).unicode();
            if (digit < u'0' || digit > u'9')
                continue;
            qsizetype q = line.indexOf(QLatin1String("</h"));
            if (q < 0)
                q = line.indexOf(QLatin1String("</H"));
            if (q < 0)
                continue;
            if (!CheckTree(n, p, q, int(digit - u'0'))) {
                const QString msg = QStringLiteral("줄 번호 #%1: 트리 구성 중 오류가 발생했습니다.").arg(n + 1);
                ui.ShowInfo(msg);
                Log(msg);
                return false;
            }
        }
        if (restart)
            continue;

        ui.Status(LabelLines, QStringLiteral("%1 / %1").arg(count));
        ui.Progress(BarFile, count, count);
        if (iChanged > 0) {
            const QString backup = BackupByLink(file, QStringLiteral(".org"));
            if (backup.isEmpty()) {
                const QString msg = QStringLiteral("원본 파일을 보관할 수 없습니다.\r\n[") + file + ']';
                Log(msg);
                ui.ShowInfo(msg);
                return false;
            }
            QString why;
            if (!WriteTextLines(file, SourceLines, TextEncoding::Utf16LE, &why)) {
                // The atomic write left the original in place; its backup is not needed.
                QFile::remove(backup);
                const QString msg = QStringLiteral("파일을 저장할 수 없습니다.\r\n[") + file + "]\r\n" + why;
                Log(msg);
                ui.ShowInfo(msg);
                return false;
            }
            Log(QStringLiteral("보관 = ") + backup);
            if (isFixed > 0) {
                Log(QStringLiteral("레벨오류 %1개 수정").arg(isFixed));
                totalFixed += isFixed;
            }
        }
        return true;
    }
}

bool TArticleGenerator::CheckTree(int n, qsizetype p, qsizetype q, int d)
{
    if (n < 0 || n >= SourceLines.size()) {
        ui.ShowInfo(QStringLiteral("CheckTree 오류 발생"));
        return false;
    }
    const QString line = SourceLines.at(n);
    const QString prefix = line.left(p);
    const QString closing = line.mid(q);
    const QString head = q > p ? line.mid(p, q - p) : QString();

    const qsizetype closeGt = closing.indexOf('>');
    const qsizetype headGt = head.indexOf('>');
    if (closeGt < 0 || headGt < 0) {
        ui.ShowInfo(QStringLiteral("줄#%1: > 오류!").arg(n));
        return false;
    }
    const QString suffix = closing.mid(closeGt + 1);
    const QString title = head.mid(headGt + 1);
    if (title.startsWith('=')) {
        ui.ShowInfo(QStringLiteral("제목(") + title + QStringLiteral(")에 첫 문자로 사용할 수 없는 '='가 있습니다."));
        return false;
    }
    if (firstLevel == 0 && d != 0)
        firstLevel = d;
    int L = d - firstLevel;
    if (L < 0) {
        ui.ShowInfo(QStringLiteral("줄#%1: 레벨 값이 없거나, 최초 레벨보다 적습니다.\r\n<h%2>\r\n첫 레벨을 변경한 후 다시 실행하십시오")
                        .arg(n)
                        .arg(d));
        return false;
    }
    if (title.isEmpty()) {
        ui.ShowInfo(QStringLiteral("줄#%1: 제목이 없습니다.").arg(n));
        return false;
    }

    int level = d;
    const int D = int(path.size()) - 1;
    if (D < L) {
        // A skipped level: the heading goes one level below its parent.
        ++isFixed;
        L = D;
        level = firstLevel + D;
    }
    while (int(path.size()) - 1 > L)
        path.pop_back();
    const int position = ++path.back().children;
    path.push_back(PathNode{position, 0});

    QString id;
    for (size_t k = 1; k < path.size(); ++k) {
        if (k > 1)
            id += '_';
        id += QString::number(path[k].position);
    }
    const QString lv = QString::number(level);
    const QString rebuilt = TrimBlanks(prefix) + QStringLiteral("<H") + lv + QStringLiteral(" id=") + id + '>'
        + title + QStringLiteral("</H") + lv + '>' + TrimBlanks(suffix);
    if (rebuilt != line) {
        SourceLines[n] = rebuilt;
        ++iChanged;
    }
    indexInfo.Append(THeadingEntry{title, level, id, sFileNow, n});
    return true;
}

bool TArticleGenerator::WriteArticles(int tab)
{
    const QString srcFolder = QDir::cleanPath(TabSourceFolder(job, tab)) + '/';
    const QString work = ArticleFolderName(job, tab) + '/';
    const int total = int(indexInfo.Count());
    ui.Progress(BarIndex, 0, qMax(total, 1));

    // The index is written as the articles are, and takes its name only when all are done.
    const QString idx = ArticleIndexFileName(job, tab);
    TAtomicFile index(idx);
    index.Write("\xFF\xFE", 2);
    QString group; // the group folder made last: group numbers only grow along the list
    QString currentFile;
    QStringList lines;
    QString error;
    int failed = -1;
    const bool removing = !strRemove.isEmpty();

    indexInfo.Rewind();
    THeadingEntry e, next;
    bool hasNext = indexInfo.Next(next);
    for (int i = 0; i < total && failed < 0; ++i) {
        if (!hasNext) {
            error = indexInfo.Error();
            failed = i;
            break;
        }
        e = std::move(next);
        hasNext = i + 1 < total && indexInfo.Next(next);
        if (i % 100 == 0 || i + 1 == total) {
            ui.Progress(BarIndex, i + 1, total);
            ui.Status(LabelIndex, QStringLiteral("%1 / %2").arg(i + 1).arg(total));
            if (ConfirmStop(ui)) {
                stopped = true;
                return false;
            }
        }
        if (i == 0 || e.file != currentFile) {
            currentFile = e.file;
            if (!LoadSource(srcFolder + e.file, lines, &error)) {
                failed = i;
                break;
            }
        }
        const int start = e.line;
        int end = int(lines.size());
        if (hasNext && next.file == e.file)
            end = next.line;
        if (start < 0 || start >= lines.size() || end < start || end > lines.size()) {
            // The file changed on disk since it was analysed.
            error = QStringLiteral("파일 : ") + srcFolder + e.file
                + QStringLiteral("\r\n원문 파일이 분석 후에 바뀌었습니다.");
            failed = i;
            break;
        }
        QStringList article;
        article.reserve(end - start);
        for (int k = start; k < end; ++k) {
            const QString& l = lines.at(k);
            bool drop = false;
            if (removing)
                for (const QString& r : strRemove)
                    if (l.contains(r)) {
                        drop = true;
                        break;
                    }
            if (!drop)
                article << l;
        }
        const QString folder = ArticleGroupFolder(e.id);
        if (folder != group) {
            if (!QDir().mkpath(work + folder)) {
                error = QStringLiteral("폴더를 생성할 수 없습니다.\r\n[") + work + folder + ']';
                failed = i;
                break;
            }
            group = folder;
        }
        // The work folder was made empty for this run, so there is no earlier article to keep
        // whole; a plain write spares a sync per article on big books.
        const QString name = work + folder + '/' + e.id + QStringLiteral(".txt");
        QFile f(name);
        const QByteArray bytes = EncodeLines(article, TextEncoding::Utf16LE);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
            error = QStringLiteral("파일을 저장할 수 없습니다.\r\n[") + name + "]\r\n" + f.errorString();
            failed = i;
            break;
        }
        index.WriteUtf16Line(e.id);
        index.WriteUtf16Line(QString::number(e.level));
        index.WriteUtf16Line(e.title);
    }

    if (failed < 0) {
        QString why;
        if (index.Commit(&why)) {
            Log(QStringLiteral("기사 정보가 저장되었습니다."));
            return true;
        }
        error = QStringLiteral("파일을 저장할 수 없습니다.\r\n[") + idx + "]\r\n" + why;
        failed = total;
    }

    Log(QStringLiteral("기사 생성 중 오류가 발생했습니다."));
    Log(job.TabsFile[tab] + QStringLiteral(".idxtmp.txt 파일을 참조하십시오."));
    Log(QStringLiteral("줄번호 = %1").arg(qint64(failed) * 5));
    Log(error);
    TAtomicFile dump(IndexDumpFileName(job, tab));
    dump.Write("\xFF\xFE", 2);
    indexInfo.Rewind();
    for (qint64 i = 0; i < total && indexInfo.Next(e); ++i) {
        dump.WriteUtf16Line(e.title);
        dump.WriteUtf16Line(QString::number(e.level));
        dump.WriteUtf16Line(e.id);
        dump.WriteUtf16Line(e.file);
        dump.WriteUtf16Line(QString::number(e.line));
    }
    dump.Commit();
    return false;
}

QString GenerationElapsedText(qint64 seconds)
{
    const qint64 s = qMax<qint64>(seconds, 0);
    QString t;
    if (s < 60)
        t = QStringLiteral("%1초").arg(s);
    else if (s < 3600)
        t = QString::asprintf("%d:%.2d", int(s / 60), int(s % 60));
    else if (s < 86400)
        t = QString::asprintf("%d:%.2d:%.2d", int(s / 3600), int(s / 60 % 60), int(s % 60));
    else
        t = QString::asprintf("%d일 %.2d:%.2d:%.2d", int(s / 86400), int(s / 3600 % 24), int(s / 60 % 60),
                              int(s % 60));
    return QStringLiteral("경과시간 = ") + t;
}

bool ConfirmGeneration(const QList<int>& tabs, Interaction& ui)
{
    if (tabs.isEmpty()) {
        ui.ShowInfo(QStringLiteral("기사를 생성할 탭이 하나도 선택되지 않았습니다."));
        return false;
    }
    return ui.AskYesNo(QStringLiteral("기사를 생성합니다.\r\n만일 기존에 작업한 내용이 있다면 모두 삭제되고 새로 생성하게 됩니다.\r\n"
                                      "정말로 기사 생성 작업을 진행합니까?"));
}

bool GenerateArticles(const TJobDefine& job, const QList<int>& tabs, const QStringList& removeTexts,
                      Interaction& ui, LongLineHandler* longLines, TabStateFn onState)
{
    return ConfirmGeneration(tabs, ui) && RunGeneration(job, tabs, removeTexts, ui, longLines, onState);
}

bool RunGeneration(const TJobDefine& job, const QList<int>& tabs, const QStringList& removeTexts,
                   Interaction& ui, LongLineHandler* longLines, TabStateFn onState)
{
    const bool ok = RunGenerationTabs(job, tabs, removeTexts, ui, longLines, onState);
    ShowGenerationOutcome(ok, ui);
    return ok;
}

bool RunGenerationTabs(const TJobDefine& job, const QList<int>& tabs, const QStringList& removeTexts,
                       Interaction& ui, LongLineHandler* longLines, TabStateFn onState)
{
    ui.Report(QStringLiteral("작업을 중단하려면 ESC를 누르세요."));
    ui.ClearStop();

    TArticleGenerator gen(job, ui, longLines);
    gen.SetRemoveTexts(removeTexts);
    gen.SetTabStateCallback(onState);
    bool allOk = true;
    for (int tab : tabs) {
        if (onState)
            onState(tab, ColState, QStringLiteral("진행중"));
        ui.Status(LabelIndex, QString());
        if (!gen.MakeTabArticles(tab)) {
            if (onState)
                onState(tab, ColState, QStringLiteral("중단"));
            allOk = false;
            break;
        }
    }
    return allOk;
}

void ShowGenerationOutcome(bool ok, Interaction& ui)
{
    if (ok) {
        ui.ShowInfo(QStringLiteral("작업을 완료했습니다."));
    } else {
        ui.Report(QStringLiteral("작업을 중단했습니다."));
        ui.ShowInfo(QStringLiteral("작업을 중단했습니다."));
    }
}
