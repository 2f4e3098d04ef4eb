#include "indexing/KeywordDefinitions.h"

#include "articles/ArticleIndex.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFileInfo>

QString MsgKeywordsBadArId(const QString& arId)
{
    return QStringLiteral("ar_id(") + arId + QStringLiteral(")가 잘 못 지정되었습니다.");
}

QString MsgKeywordsUnknownTab(const QString& arId)
{
    return QStringLiteral("ar_id(") + arId + QStringLiteral(") 오류입니다.");
}

static const QString Caret = QStringLiteral("^");

static bool IsJobTabId(const TJobDefine& job, const QString& id)
{
    return !id.isEmpty() && TabIndexById(job, id) >= 0;
}

KeywordFetchResult CheckKeywordReply(const QString& reply, const TJobDefine& job, const TVUX_codes& codes)
{
    KeywordFetchResult out;
    if (reply == QStringLiteral("오류")) {
        out.status = KeywordFetch::NoInfo;
        out.message = MsgKeywordsNoInfo;
        return out;
    }
    const QStringList lines = SplitLines(reply);
    if (lines.size() < 4) {
        out.status = KeywordFetch::NotRegistered;
        out.message = MsgKeywordsNotRegistered;
        return out;
    }
    if (lines.first() != QStringLiteral("OK") || lines.last() != QStringLiteral("end")) {
        out.status = KeywordFetch::BadFrame;
        out.message = MsgKeywordsBadFrame;
        return out;
    }

    QString currentTab;
    for (int i = 1; i + 1 < lines.size(); ++i) {
        const QString& line = lines[i];
        QStringList fields = SplitFields(line, Caret);
        for (QString& f : fields)
            f = TrimBlanks(f);
        QString error;
        if (!fields.isEmpty() && fields[0] == QStringLiteral("ar_id")) {
            currentTab.clear();
            const QString id = fields.value(1);
            if (IsJobTabId(job, id))
                currentTab = id;
            else
                error = MsgKeywordsBadArId(id);
        } else if (fields.isEmpty()) {
            // An empty line is no keyword line; the loader skips it too.
        } else if (currentTab.isEmpty()) {
            error = MsgKeywordsNoArId;
        } else if (fields[0] != QStringLiteral("1") && fields[0] != QStringLiteral("2")) {
            error = MsgKeywordsBadKind;
        } else {
            QString name;
            if (!codes.GetColumnNameByCode(fields.value(1), fields.value(2), name))
                error = MsgKeywordsBadCode;
        }
        if (!error.isEmpty()) {
            out.status = KeywordFetch::BadLine;
            out.message = error;
            out.errorPanel = error + "\r\n" + KeywordErrorRule + "\r\n" + line + "\r\n" + KeywordErrorRule +
                             "\r\n" + reply;
            out.lines.clear();
            return out;
        }
        out.lines << line;
    }
    out.status = KeywordFetch::Ok;
    return out;
}

KeywordFetchResult FetchKeywordDefinitions(const TJobDefine& job, const QString& loginId,
                                           const QString& loginPw, const TVUX_codes& codes,
                                           const FormPostFn& post, Interaction& ui)
{
    KeywordFetchResult out;
    if (loginId.isEmpty()) {
        out.status = KeywordFetch::NotLoggedIn;
        out.message = MsgKeywordsLoginFirst;
        ui.ShowInfo(out.message);
        return out;
    }
    QString reply, error;
    const QList<QPair<QString, QString>> fields = {{QStringLiteral("id"), loginId},
                                                   {QStringLiteral("pw"), loginPw},
                                                   {QStringLiteral("p_id"), job.pID},
                                                   {QStringLiteral("p_dcode"), job.pCode}};
    if (!post || !post(GetMetaInfoPath, fields, reply, error)) {
        out.status = KeywordFetch::NoConnection;
        out.message = MsgKeywordsNoServer;
        ui.ShowInfo(out.message);
        return out;
    }
    out = CheckKeywordReply(reply, job, codes);
    if (out.status != KeywordFetch::Ok) {
        ui.ShowInfo(out.message);
        return out;
    }
    QString writeError;
    if (!WriteTextLines(KeywordDefinitionsFile(job), out.lines, TextEncoding::Utf16LE, &writeError)) {
        out.status = KeywordFetch::WriteFailed;
        out.message = KeywordDefinitionsFile(job) + QStringLiteral(": 파일을 저장할 수 없습니다.\r\n") + writeError;
        ui.ShowInfo(out.message);
    }
    return out;
}

static QString LoaderLineMessage(int lineNumber, const QString& what, const QString& line)
{
    return QStringLiteral("keywords.txt 줄 번호 :#") + QString::number(lineNumber) +
           QStringLiteral("오류가 발생했습니다.") + "\r\n" + what + "\r\n" + line + "\r\n" +
           QStringLiteral("\"색인 정보 가져오기\"를 이용하여 새로 받으십시오.");
}

bool ParseKeywordDefinitions(const QStringList& lines, const TVUX_codes& codes,
                             TKeywordDefinitions& defs, Interaction& ui)
{
    defs.options.clear();
    defs.ar_ids.clear();
    QString currentTab;
    bool haveTab = false;
    for (int n = 1; n <= lines.size(); ++n) {
        const QString& line = lines[n - 1];
        if (line.isEmpty())
            continue;
        const QStringList fields = SplitFields(line, Caret);
        if (fields.isEmpty())
            continue;
        if (fields[0] == QStringLiteral("ar_id")) {
            // A tab line without its ID names no tab; its options would land under an empty
            // ar_id that matches no job tab, so it is refused like a missing tab line.
            if (fields.size() < 2) {
                ui.ShowInfo(MsgKeywordsLoaderNoArId);
                return false;
            }
            currentTab = fields[1];
            haveTab = true;
            defs.ar_ids << currentTab;
            continue;
        }
        if (fields.size() < 4)
            continue;
        if (!haveTab) {
            ui.ShowInfo(MsgKeywordsLoaderNoArId);
            return false;
        }
        bool isNumber = false;
        const int kind = fields[0].toInt(&isNumber);
        if (!isNumber) {
            ui.ShowInfo(LoaderLineMessage(n, QStringLiteral(" 옵션값(1,2) 오류."), line));
            return false;
        }
        const int column = codes.FindColumnPtr(fields[1], fields[2]);
        if (column < 0) {
            ui.ShowInfo(LoaderLineMessage(n, QStringLiteral(" 컬럼명 오류."), line));
            return false;
        }
        defs.options << TvuxSchOption{currentTab, column, kind, fields[3]};
    }
    return true;
}

bool LoadKeywordDefinitions(const QString& file, const TVUX_codes& codes, TKeywordDefinitions& defs,
                            Interaction& ui)
{
    if (!QFileInfo(file).isFile()) {
        defs = {};
        ui.ShowInfo(MsgKeywordsFileMissing);
        return false;
    }
    QStringList lines;
    QString error;
    if (!ReadTextLines(file, lines, &error)) {
        defs = {};
        ui.ShowInfo(file + QStringLiteral(": 파일을 읽을 수 없습니다.\r\n") + error);
        return false;
    }
    return ParseKeywordDefinitions(lines, codes, defs, ui);
}

bool LoadKeywordDefinitions(Interaction& ui)
{
    TKeywordDefinitions defs;
    bool ok = false;
    if (const TVUX_codes* codes = SessionCodes())
        ok = LoadKeywordDefinitions(KeywordDefinitionsFile(myLIB.Jobs), *codes, defs, ui);
    else
        ui.ShowInfo(MsgCodeTableMissing);
    myLIB.schOptions = defs.options;
    myLIB.schOptionsCount = int(defs.options.size());
    myLIB.sch_ar_ids = defs.ar_ids;
    return ok;
}
