#pragma once
// The server's reference tables: the column definitions of the meta data record
// ("VuxMetaInfo.txt") and the code table ("codetable.txt"), with the lookups every index
// window uses. One object per run, created on first need (EnsureCodeTable).

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Interaction;
class THttpClient;

struct TVuxGroup {
    int First = 0;
    int Count = 0;
};

struct TVuxColumn {
    QString GroupCode;  // lower-cased
    QString TableCode;  // lower-cased
    QString GroupName;
    QString ColumnCode; // lower-cased
    QString ColumnName;
    QString CodeGroup;  // "x" for a free value, else the code group of its values
    QString MultipleYN;
    QString InputType;
};

struct TVuxCode {
    QString CodeGroup;
    QString CodeName;
    QString CodeValue;
};

inline const QString MetaInfoName = QStringLiteral("VuxMetaInfo.txt");
inline const QString MetaInfoPath = QStringLiteral("/ASP/ProgramUpdate/VuxMetaInfo.txt");
inline const QString MsgMetaInfoMissing = QStringLiteral("[VuxMetaInfo.txt] 파일을 찾을 수 없습니다.");
inline const QString MsgCodeTableMissing =
    QStringLiteral("코드테이블을 찾을 수 없습니다.\r\n\r\n코드테이블을 생성하기 위하여 로그인하십시오.");
inline const QString MsgMetaInfoNotOnServer =
    QStringLiteral("VuxMetaInfo.txt: 서버에 파일이 없습니다. 관리자에게 문의하십시요.");
inline const QString MsgMetaInfoNotFetched =
    QStringLiteral("VuxMetaInfo.txt: 서버로부터 파일을 가져 오지 못했습니다.");

// "VuxMetaInfo.txt" in the data folder.
QString MetaInfoFileName();

class TVUX_codes {
public:
    TVUX_codes();
    ~TVUX_codes() = default;

    QString FMetaInfoFname;
    int vux_GroupCount = 0;
    int vux_DataBlockLength = 0;
    QList<TVuxGroup> vux_Groups;
    QList<TVuxColumn> vux_Columns;
    int vux_SubjPtr1 = 0;
    int vux_SubjPtr2 = 0;
    int vux_CodeDefCount = 0;
    QList<TVuxGroup> vux_CodeDef;
    int vux_CodeCount = 0; // 0: the code table is not loaded
    QList<TVuxCode> vux_CodeData;

    // Loads the column definitions from `metaInfoFile` (default: the data folder's). When the
    // file is missing, `fetchMissing` is called first to download it. False after the table
    // error message (FailTable) when the file is still missing or cannot be read.
    bool Create(Interaction& ui, const std::function<void()>& fetchMissing = {},
                const QString& metaInfoFile = {});
    // Builds the columns and groups from the lines of a column file.
    void BuildColumns(const QStringList& lines);
    // Loads the code table; false with the message when the file is missing.
    bool MakeCodeData(Interaction& ui, const QString& codeTableFile = {});
    void BuildCodes(const QStringList& lines);

    // "테이블[file] 오류로 프로그램을 종료합니다." and the reason.
    void FailTable(Interaction& ui, const QString& reason);
    bool Failed() const { return m_failed; }

    bool GetGroupInfo(const QString& gCode, int& Loc, int& Ptr, int& Count) const;
    int FindColumnPtr(const QString& gCode, const QString& sCode) const;
    bool GetColumnNameByCode(const QString& gCode, const QString& sCode, QString& cName) const;
    QString GetGroupName(int iGroup) const;
    int GetGroupPtrByName(const QString& sName) const;
    int FindColumnByName(int iGroup, const QString& sName) const;
    int FindColumnByCode(int iGroup, const QString& sCode) const;
    bool GetMultiColumnInfo(int cPtr, QString& gName, int& pFrom, int& nCount) const;

    int FindCodePointer(const QString& sCodeGroup) const;
    QString FindCodeName(const QString& sCodeGroup, const QString& sCode) const;
    QString FindCodeValue(const QString& sCodeGroup, const QString& sName) const;

private:
    bool m_failed = false;
};

// Downloads "VuxMetaInfo.txt" into `file`: an announced size below 10000 bytes (or none) means
// the server has no real file ("서버에 파일이 없습니다"); a failed transfer leaves no file and
// tells "서버로부터 파일을 가져 오지 못했습니다". Progress goes to bar 0 of `ui`.
// True when a file of the announced size was written.
bool FetchMetaInfo(THttpClient& client, const QString& file, Interaction& ui);

// The code table object of this run; null until EnsureCodeTable made it.
TVUX_codes* SessionCodes();

// Creates the code table object on first need (downloading the column file when it is missing,
// through `fetchMissing`, by default without a window) and loads the code table when it holds
// no codes. False when the action that needs it must not run.
bool EnsureCodeTable(Interaction& ui, const std::function<void()>& fetchMissing = {});
