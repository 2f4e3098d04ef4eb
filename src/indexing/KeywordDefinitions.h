#pragma once
// The product's keyword definitions: which meta data columns of each tab get a fixed value from
// the server and which are extracted from the article text. Fetched from the server into the job
// folder as "keywords.txt" and loaded from there by every index and upload step.

#include "jobs/ProductList.h"
#include "shell/myLIB.h"

#include <QList>
#include <QString>
#include <QStringList>

class Interaction;
class TVUX_codes;
struct TJobDefine;

inline const QString GetMetaInfoPath = QStringLiteral("/ASP/vx__getMetaInfo.asp");

// Keyword kinds of an option.
constexpr int KeywordFixed = 1;   // fixed value given by the server (추출하지 않는 값)
constexpr int KeywordExtract = 2; // item to extract from the data; value = reference string

inline const QString MsgKeywordsLoginFirst =
    QStringLiteral("로그인을 해야 합니다. 창을 닫고 로그인하십시요.");
inline const QString MsgKeywordsNoServer =
    QStringLiteral("서버와 연결할 수 없습니다. 인터넷 연결을 확인하십시오.");
inline const QString MsgKeywordsNoInfo = QStringLiteral("정보가 없습니다.");
inline const QString MsgKeywordsNotRegistered =
    QStringLiteral("제품의 색인 정보가 등록되어있지 않습니다. 제품 관리자에게 문의하십시오.");
inline const QString MsgKeywordsBadFrame = QStringLiteral("OK, end 오류입니다.");
inline const QString MsgKeywordsNoArId = QStringLiteral("ar_id가 지정되지 않았습니다.");
inline const QString MsgKeywordsBadKind = QStringLiteral("색인어 종류는 1 또는 2 만 가능합니다.");
inline const QString MsgKeywordsBadCode =
    QStringLiteral("지정 코드에 문제가 있어 계속할 수 없습니다. 관리자에게 문의하십시오.");
inline const QString MsgKeywordsFileMissing =
    QStringLiteral("색인어 정의 파일이 없습니다. \"색인 정보 가져오기\"를 이용하십시오.");
inline const QString MsgKeywordsLoaderNoArId =
    QStringLiteral("keywords.txt오류가 발생했습니다.\r\nar_id가 정의되지 않았습니다.\r\n"
                   "\"색인 정보 가져오기\"를 이용하여 새로 받으십시오.");
inline const QString MsgKeywordsGridKind =
    QStringLiteral("색인어 정의 오류.\r\n색인어 종류는 1 또는 2 만 가능합니다.\r\n"
                   "\"새로 받기\"를 클릭하여 서버로부터 다시 수신하십시요.");
inline const QString MsgKeywordsExists =
    QStringLiteral("색인어 정의 파일이 있습니다. 서버로부터 다시 수신합니까?");
inline const QString MsgKeywordsWrongInfo = QStringLiteral("색인할 정보가 잘못되었습니다.");
inline const QString KeywordErrorRule = QStringLiteral("==================================");

// "ar_id(" + id + ")가 잘 못 지정되었습니다."
QString MsgKeywordsBadArId(const QString& arId);
// "ar_id(" + id + ") 오류입니다."
QString MsgKeywordsUnknownTab(const QString& arId);

enum class KeywordFetch {
    Ok,
    NotLoggedIn,   // no staff ID: nothing sent
    NoConnection,  // the request failed
    NoInfo,        // the whole reply "오류"
    NotRegistered, // fewer than 4 reply lines
    BadFrame,      // first line not "OK" or last line not "end"
    BadLine,       // a data line refused; see errorPanel
    WriteFailed    // keywords.txt could not be written
};

struct KeywordFetchResult {
    KeywordFetch status = KeywordFetch::NoConnection;
    QString message;    // what the operator was told (empty on success)
    QString errorPanel; // for BadLine: message, rule, offending line, rule, whole reply
    QStringList lines;  // the data lines kept (written as keywords.txt on success)
};

// Checks a reply of the keyword request against the job's tab IDs and the column table. On Ok
// `lines` holds the data lines as received; nothing is written and nothing is shown.
KeywordFetchResult CheckKeywordReply(const QString& reply, const TJobDefine& job, const TVUX_codes& codes);

// The download: asks the server (fields id, pw, p_id, p_dcode), checks the reply, tells the
// operator what went wrong and writes "keywords.txt" (UTF-16LE, byte-order mark, CR LF) only
// when every line passed; otherwise the previous file stays as it was.
KeywordFetchResult FetchKeywordDefinitions(const TJobDefine& job, const QString& loginId,
                                           const QString& loginPw, const TVUX_codes& codes,
                                           const FormPostFn& post, Interaction& ui);

// The loaded keyword definitions: options in file order (each tab's options follow its tab line)
// and the tab ID of every tab line.
struct TKeywordDefinitions {
    QList<TvuxSchOption> options;
    QStringList ar_ids;
};

// Reads the lines of a keywords.txt into `defs`; false after the message. The options read
// before a faulty line stay in `defs`.
bool ParseKeywordDefinitions(const QStringList& lines, const TVUX_codes& codes,
                             TKeywordDefinitions& defs, Interaction& ui);
// Reads `file` (byte-order mark detection, code page 949 without one).
bool LoadKeywordDefinitions(const QString& file, const TVUX_codes& codes,
                            TKeywordDefinitions& defs, Interaction& ui);

// The loader of the windows: keywords.txt of the open job (myLIB.Jobs) into myLIB.schOptions,
// schOptionsCount and sch_ar_ids, with the session's code table (SessionCodes(), which must
// exist). False after the message.
bool LoadKeywordDefinitions(Interaction& ui);
