#include "tools/FileMerge.h"

#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>

namespace {

bool IsMergeName(const QString& name)
{
    return name.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive)
        || name.endsWith(QStringLiteral(".text"), Qt::CaseInsensitive);
}

QString Canonical(const QString& path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : c;
}

} // namespace

QStringList ListMergeFiles(const QString& folder)
{
    QStringList files;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::NoSort);
    for (const QFileInfo& fi : entries)
        if (IsMergeName(fi.fileName()))
            files << fi.fileName();
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return files;
}

QString MergeDefaultSaveFolder(const QString& folder)
{
    // The root folder has no parent; it stays its own save folder.
    return QFileInfo(QDir::cleanPath(QFileInfo(folder).absoluteFilePath())).absolutePath();
}

QString MergeDefaultFileName(const QString& folder)
{
    return QFileInfo(QDir::cleanPath(QFileInfo(folder).absoluteFilePath())).fileName()
        + QStringLiteral(".txt");
}

QString NormalizeMergeFileName(const QString& typed)
{
    QString name = TrimBlanks(typed);
    if (!name.isEmpty() && !name.contains(u'.'))
        name += QStringLiteral(".txt");
    return name;
}

QString MergeOutputProblem(const QString& folder, const QString& outputPath)
{
    const QFileInfo out(outputPath);
    if (out.isDir())
        return QStringLiteral("저장할 파일 이름이 폴더 이름과 같습니다:\r\n") + outputPath;
    if (!QFileInfo(out.absolutePath()).isDir())
        return QStringLiteral("저장 폴더가 없습니다:\r\n") + out.absolutePath();
    // A result among its own sources would be merged into the next result, and a source file
    // given as the output would be replaced by the merge.
    const bool inSource = Canonical(out.absolutePath()) == Canonical(folder)
        || (out.exists() && Canonical(QFileInfo(Canonical(outputPath)).absolutePath()) == Canonical(folder));
    if (inSource && IsMergeName(out.fileName()))
        return QStringLiteral("저장 파일이 원본 폴더 안에 있습니다:\r\n") + outputPath
            + QStringLiteral("\r\n원본 폴더가 아닌 다른 폴더를 저장 위치로 선택하세요.");
    return {};
}

bool PrepareMerge(const QString& folder, const QStringList& files, const QString& saveFolder,
                  const QString& typedName, Interaction& ui, QString* outputPath)
{
    if (files.isEmpty()) {
        ui.ShowInfo(QStringLiteral("텍스트 파일이 하나도 없습니다. 다른 폴더를 선택하세요."));
        return false;
    }
    const QString name = NormalizeMergeFileName(typedName);
    if (name.isEmpty()) {
        ui.ShowInfo(QStringLiteral("저장할 파일 이름을 입력하세요."));
        return false;
    }
    if (name.contains(u'/') || name.contains(u'\\') || name == "." || name == "..") {
        ui.ShowInfo(QStringLiteral("저장할 파일 이름에는 / \\ 문자를 쓸 수 없습니다."));
        return false;
    }
    QString save = saveFolder;
    while (save.size() > 1 && save.endsWith(u'/'))
        save.chop(1);
    const QString path = (save == "/" ? save : save + u'/') + name;
    const QString problem = MergeOutputProblem(folder, path);
    if (!problem.isEmpty()) {
        ui.ShowInfo(problem);
        return false;
    }
    if (!ui.AskYesNo(QStringLiteral("원본 폴더 :\r\n\r\n") + folder + QStringLiteral("\r\n")
                     + QStringLiteral("저장 파일 :") + path + QStringLiteral("\r\n")
                     + QStringLiteral("작업을 시작합니까?")))
        return false;
    if (outputPath)
        *outputPath = path;
    return true;
}

bool ReadMergeText(const QString& path, QStringList& lines, QString* problem)
{
    lines.clear();
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem = QStringLiteral("파일을 열 수 없음");
        return false;
    }
    const QByteArray bytes = f.readAll();
    TextEncoding detected = TextEncoding::Cp949;
    bool valid = true;
    QString text = DecodeText(bytes, &detected, &valid);
    if (!valid && detected == TextEncoding::Cp949) {
        // Files written on this desktop are often UTF-8 without a byte-order mark.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString u = utf8.decode(bytes);
        if (!utf8.hasError()) {
            text = u;
            valid = true;
        }
    }
    if (text.contains(QChar(u'\0'))) {
        if (problem)
            *problem = QStringLiteral("텍스트 파일이 아님");
        return false;
    }
    if (!valid) {
        if (problem)
            *problem = QStringLiteral("문자 코드를 알 수 없음");
        return false;
    }
    lines = SplitLines(text);
    return true;
}

TMergeOutcome MergeTextFiles(const QString& folder, const QStringList& files,
                             const QString& outputPath, Interaction& ui)
{
    TMergeOutcome out;
    ui.ClearStop();
    if (QFileInfo::exists(outputPath)) {
        out.backup = BackupByLink(outputPath, QStringLiteral(".bak"));
        if (out.backup.isEmpty()) {
            ui.ShowInfo(QStringLiteral("이전 결과 파일을 다른 이름으로 옮길 수 없어 작업을 중단했습니다.\r\n")
                        + outputPath);
            return out;
        }
        ui.Report(QStringLiteral("-원본을 다른 이름으로 저장했습니다."));
        ui.Report(out.backup);
    }
    // The previous result keeps its name until the new one replaces it; when nothing does, its
    // backup is dropped (or put back, should the name have lost it).
    auto restore = [&] {
        if (!out.backup.isEmpty()
            && (QFileInfo::exists(outputPath) ? QFile::remove(out.backup) : QFile::rename(out.backup, outputPath))) {
            ui.Report(QStringLiteral("-이전 결과 파일을 되살렸습니다: ") + outputPath);
            out.backup.clear();
        }
    };

    QStringList entries;
    const qint64 count = files.size();
    for (qint64 i = 0; i < count; ++i) {
        const QString& name = files[i];
        ui.Progress(0, i, count);
        if (ConfirmStop(ui)) {
            ui.ClearStop();
            ui.Report(QStringLiteral("작업을 중단했습니다."));
            restore();
            return out;
        }
        ui.Report(name);
        QStringList lines;
        QString problem;
        if (!ReadMergeText(QDir(folder).filePath(name), lines, &problem)) {
            ui.Report(QStringLiteral(" * Error * ") + problem + QStringLiteral(": ") + name);
            ++out.skipped;
            continue;
        }
        QString entry;
        qsizetype size = 0;
        for (const QString& l : lines)
            size += l.size() + 2;
        entry.reserve(size);
        for (const QString& l : lines) {
            entry += l;
            entry += QStringLiteral("\r\n");
        }
        entries << entry;
        ++out.merged;
    }
    ui.Progress(0, count, count);

    QString error;
    if (!WriteFileAtomic(outputPath, EncodeLines(entries, TextEncoding::Utf8), &error)) {
        ui.ShowInfo(QStringLiteral("결과 파일을 저장할 수 없습니다:\r\n") + outputPath
                    + QStringLiteral("\r\n") + error);
        ui.Report(QStringLiteral(" * Error * 결과 파일을 저장할 수 없음: ") + outputPath);
        restore();
        out.merged = 0;
        return out;
    }
    out.written = true;
    ui.Report(QString::number(out.merged) + QStringLiteral("개의 파일을 합쳤습니다."));
    ui.Report(QStringLiteral("결과 파일 = ") + outputPath);
    ui.Report(QString());
    ui.Report(QString());
    return out;
}
