#include "server/VUX_codes.h"

#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/Settings.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"

#include <QFileInfo>

QString MetaInfoFileName() { return DataFolder() + "/" + MetaInfoName; }

TVUX_codes::TVUX_codes() = default;

bool TVUX_codes::Create(Interaction& ui, const std::function<void()>& fetchMissing,
                        const QString& metaInfoFile)
{
    vux_GroupCount = 0;
    vux_DataBlockLength = 0;
    vux_Groups.clear();
    vux_Columns.clear();
    vux_SubjPtr1 = 0;
    vux_SubjPtr2 = 0;
    vux_CodeDefCount = 0;
    vux_CodeDef.clear();
    vux_CodeCount = 0;
    vux_CodeData.clear();
    m_failed = false;
    FMetaInfoFname = metaInfoFile.isEmpty() ? MetaInfoFileName() : metaInfoFile;

    if (!QFileInfo::exists(FMetaInfoFname) && fetchMissing)
        fetchMissing();
    if (!QFileInfo::exists(FMetaInfoFname)) {
        FailTable(ui, MsgMetaInfoMissing);
        return false;
    }
    QStringList lines;
    QString error;
    if (!ReadTextLines(FMetaInfoFname, lines, &error)) {
        FailTable(ui, error);
        return false;
    }
    BuildColumns(lines);
    vux_SubjPtr1 = FindColumnPtr(QStringLiteral("ks_coremeta"), QStringLiteral("mt_oCode"));
    vux_SubjPtr2 = FindColumnPtr(QStringLiteral("ks_coremeta"), QStringLiteral("mt_sCode"));
    vux_CodeCount = 0;
    return true;
}

void TVUX_codes::BuildColumns(const QStringList& lines)
{
    vux_Columns.clear();
    vux_Columns.reserve(lines.size());
    vux_Groups.clear();
    vux_DataBlockLength = 0;
    QString previous;
    bool first = true;
    for (const QString& line : lines) {
        const QStringList f = SplitFields(line, QStringLiteral("\t"));
        if (f.size() < 7)
            continue;
        if (first || f[0] != previous) {
            first = false;
            previous = f[0];
            vux_Groups.append({vux_DataBlockLength, 0});
        }
        // A line of seven fields is still a column (the server counts it); its input kind
        // stays empty.
        TVuxColumn c;
        c.GroupCode = f[0].toLower();
        c.TableCode = f[1].toLower();
        c.GroupName = f[2];
        c.ColumnCode = f[3].toLower();
        c.ColumnName = f[4];
        c.CodeGroup = f[5];
        c.MultipleYN = f[6];
        c.InputType = f.value(7);
        vux_Columns.append(c);
        ++vux_DataBlockLength;
        ++vux_Groups.last().Count;
    }
    vux_GroupCount = int(vux_Groups.size());
}

bool TVUX_codes::MakeCodeData(Interaction& ui, const QString& codeTableFile)
{
    const QString file = codeTableFile.isEmpty() ? CodeTableFileName() : codeTableFile;
    if (!QFileInfo::exists(file)) {
        ui.ShowInfo(MsgCodeTableMissing);
        return false;
    }
    QStringList lines;
    QString error;
    if (!ReadTextLines(file, lines, &error)) {
        ui.ShowInfo(MsgCodeTableMissing + "\r\n" + error);
        return false;
    }
    BuildCodes(lines);
    return true;
}

void TVUX_codes::BuildCodes(const QStringList& lines)
{
    vux_CodeData.clear();
    vux_CodeData.reserve(lines.size());
    vux_CodeDef.clear();
    vux_CodeCount = 0;
    QString previous;
    bool first = true;
    for (const QString& line : lines) {
        const QStringList f = SplitFields(line, QStringLiteral("\t"));
        if (f.size() < 3)
            continue;
        if (first || f[0] != previous) {
            first = false;
            previous = f[0];
            vux_CodeDef.append({vux_CodeCount, 0});
        }
        vux_CodeData.append({f[0], f[1], f[2]});
        ++vux_CodeCount;
        ++vux_CodeDef.last().Count;
    }
    vux_CodeDefCount = int(vux_CodeDef.size());
}

void TVUX_codes::FailTable(Interaction& ui, const QString& reason)
{
    ui.ShowInfo("테이블[" + FMetaInfoFname + "] 오류로 프로그램을 종료합니다.\r\n" + reason);
    m_failed = true;
}

bool TVUX_codes::GetGroupInfo(const QString& gCode, int& Loc, int& Ptr, int& Count) const
{
    const QString code = gCode.toLower();
    for (int i = 0; i < vux_GroupCount; ++i) {
        const TVuxGroup& g = vux_Groups[i];
        if (g.Count > 0 && vux_Columns[g.First].GroupCode == code) {
            Loc = i;
            Ptr = g.First;
            Count = g.Count;
            return true;
        }
    }
    Loc = -1;
    Ptr = -1;
    Count = 0;
    return false;
}

int TVUX_codes::FindColumnPtr(const QString& gCode, const QString& sCode) const
{
    int loc, ptr, count;
    if (!GetGroupInfo(gCode, loc, ptr, count))
        return -1;
    const QString code = sCode.toLower();
    for (int i = ptr; i < ptr + count; ++i)
        if (vux_Columns[i].ColumnCode == code)
            return i;
    return -1;
}

bool TVUX_codes::GetColumnNameByCode(const QString& gCode, const QString& sCode, QString& cName) const
{
    const int i = FindColumnPtr(gCode, sCode);
    if (i < 0) {
        cName = "알수없음(" + gCode.toLower() + "^" + sCode.toLower() + ")";
        return false;
    }
    cName = vux_Columns[i].GroupName + " > " + vux_Columns[i].ColumnName;
    return true;
}

QString TVUX_codes::GetGroupName(int iGroup) const
{
    if (iGroup < 0 || iGroup >= vux_GroupCount || vux_Groups[iGroup].Count <= 0)
        return QStringLiteral("잘못된이름");
    return vux_Columns[vux_Groups[iGroup].First].GroupName;
}

int TVUX_codes::GetGroupPtrByName(const QString& sName) const
{
    for (int i = 0; i < vux_GroupCount; ++i)
        if (vux_Groups[i].Count > 0 && vux_Columns[vux_Groups[i].First].GroupName == sName)
            return i;
    return -1;
}

int TVUX_codes::FindColumnByName(int iGroup, const QString& sName) const
{
    if (iGroup < 0 || iGroup >= vux_GroupCount)
        return -1;
    const TVuxGroup& g = vux_Groups[iGroup];
    for (int i = g.First; i < g.First + g.Count; ++i)
        if (vux_Columns[i].ColumnName == sName)
            return i;
    return -1;
}

int TVUX_codes::FindColumnByCode(int iGroup, const QString& sCode) const
{
    if (iGroup < 0 || iGroup >= vux_GroupCount)
        return -1;
    const QString code = sCode.toLower();
    const TVuxGroup& g = vux_Groups[iGroup];
    for (int i = g.First; i < g.First + g.Count; ++i)
        if (vux_Columns[i].ColumnCode == code)
            return i;
    return -1;
}

bool TVUX_codes::GetMultiColumnInfo(int cPtr, QString& gName, int& pFrom, int& nCount) const
{
    if (cPtr < 0 || cPtr >= vux_DataBlockLength) {
        // Not a column: an empty block where the caller pointed, so loops over it do nothing.
        gName.clear();
        pFrom = cPtr;
        nCount = 0;
        return true;
    }
    gName = vux_Columns[cPtr].GroupName;
    int from = cPtr;
    while (from > 0 && vux_Columns[from - 1].GroupName == gName)
        --from;
    int to = cPtr + 1;
    while (to < vux_DataBlockLength && vux_Columns[to].GroupName == gName)
        ++to;
    pFrom = from;
    nCount = to - from;
    return true;
}

int TVUX_codes::FindCodePointer(const QString& sCodeGroup) const
{
    for (int i = 0; i < vux_CodeDefCount; ++i)
        if (vux_CodeDef[i].Count > 0 && vux_CodeData[vux_CodeDef[i].First].CodeGroup == sCodeGroup)
            return i;
    return -1;
}

QString TVUX_codes::FindCodeName(const QString& sCodeGroup, const QString& sCode) const
{
    const int g = FindCodePointer(sCodeGroup);
    if (g >= 0) {
        const TVuxGroup& d = vux_CodeDef[g];
        for (int i = d.First + 1; i < d.First + d.Count; ++i)
            if (vux_CodeData[i].CodeValue == sCode)
                return vux_CodeData[i].CodeName;
    }
    return QStringLiteral("미정의코드");
}

QString TVUX_codes::FindCodeValue(const QString& sCodeGroup, const QString& sName) const
{
    const int g = FindCodePointer(sCodeGroup);
    if (g >= 0) {
        const TVuxGroup& d = vux_CodeDef[g];
        for (int i = d.First + 1; i < d.First + d.Count; ++i)
            if (vux_CodeData[i].CodeName == sName)
                return vux_CodeData[i].CodeValue;
    }
    return QStringLiteral("BAD");
}

// ---- download and the session's object ---------------------------------------------------

bool FetchMetaInfo(THttpClient& client, const QString& file, Interaction& ui)
{
    bool error = true;
    qint64 size = 0;
    auto begin = QObject::connect(&client, &THttpClient::WorkBegin, [&](qint64 announced) {
        if (announced < 10000) {
            ui.ShowInfo(MsgMetaInfoNotOnServer);
            ui.Progress(0, 0, 1);
            error = true;
        } else {
            error = false;
            size = announced;
            ui.Progress(0, 0, size);
        }
    });
    auto work = QObject::connect(&client, &THttpClient::Work, [&](qint64 received) {
        if (!error)
            ui.Progress(0, qMin(received, size), size);
    });
    ui.Progress(0, 1, 100);
    const HttpResult r = client.GetToFile(MetaInfoPath, file);
    QObject::disconnect(begin);
    QObject::disconnect(work);
    // A broken transfer writes nothing, so it counts as not fetched as well.
    if (!r.ok)
        error = true;
    if (!error)
        ui.Progress(0, size, size);
    if (error) {
        ui.ShowInfo(MsgMetaInfoNotFetched);
        return false;
    }
    return true;
}

static std::unique_ptr<TVUX_codes>& CodesSlot()
{
    static std::unique_ptr<TVUX_codes> codes;
    return codes;
}

TVUX_codes* SessionCodes() { return CodesSlot().get(); }

bool EnsureCodeTable(Interaction& ui, const std::function<void()>& fetchMissing)
{
    auto& slot = CodesSlot();
    if (!myLIB.VUX_codes_Created || !slot) {
        auto codes = std::make_unique<TVUX_codes>();
        std::function<void()> fetch = fetchMissing;
        if (!fetch) {
            fetch = [&ui, &codes] {
                THttpClient client;
                FetchMetaInfo(client, codes->FMetaInfoFname, ui);
            };
        }
        if (!codes->Create(ui, fetch))
            return false;
        slot = std::move(codes);
        myLIB.VUX_codes_Created = true;
    }
    if (slot->vux_CodeCount <= 0)
        return slot->MakeCodeData(ui);
    return true;
}
