// The code table reply and the column file ("VuxMetaInfo.txt"): any lines build a table whose
// groups cover every column once, and every lookup with the table's own names finds its entry.
#include "FuzzSupport.h"
#include "server/Login.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    return 0;
}

static void CheckColumns(const TVUX_codes& t)
{
    FUZZ_CHECK(t.vux_DataBlockLength == t.vux_Columns.size() && t.vux_GroupCount == t.vux_Groups.size(),
               "counts do not match the lists");
    int next = 0;
    for (int g = 0; g < t.vux_GroupCount; ++g) {
        const TVuxGroup& grp = t.vux_Groups[g];
        FUZZ_CHECK(grp.First == next && grp.Count > 0, "groups do not cover the columns in order");
        next += grp.Count;
        FUZZ_CHECK(t.GetGroupName(g) == t.vux_Columns[grp.First].GroupName, "group name lookup");
    }
    FUZZ_CHECK(next == t.vux_DataBlockLength, "columns outside every group");
    for (int i = 0; i < t.vux_DataBlockLength && i < 64; ++i) {
        const TVuxColumn& c = t.vux_Columns[i];
        // Lookups go to the first group of a code; a later group repeating the code is not searched.
        int loc = -1, ptr = -1, n = 0;
        FUZZ_CHECK(t.GetGroupInfo(c.GroupCode.toUpper(), loc, ptr, n), "a column's group is not found");
        const int found = t.FindColumnPtr(c.GroupCode.toUpper(), c.ColumnCode);
        if (i >= ptr && i < ptr + n)
            FUZZ_CHECK(found >= ptr && found <= i && t.vux_Columns[found].ColumnCode == c.ColumnCode,
                       "a column is not found by its codes");
        QString gName;
        int from = -1, count = -1;
        t.GetMultiColumnInfo(i, gName, from, count);
        FUZZ_CHECK(from >= 0 && from <= i && i < from + count && from + count <= t.vux_DataBlockLength,
                   "a column's block does not hold it");
        QString cName;
        t.GetColumnNameByCode(c.GroupCode, c.ColumnCode, cName);
    }
    QString gName;
    int from = 0, count = 0;
    t.GetMultiColumnInfo(t.vux_DataBlockLength, gName, from, count);
    FUZZ_CHECK(count == 0, "a block past the end");
    t.GetMultiColumnInfo(-1, gName, from, count);
    FUZZ_CHECK(count == 0, "a block before the start");
}

static void CheckCodes(const TVUX_codes& t)
{
    FUZZ_CHECK(t.vux_CodeCount == t.vux_CodeData.size() && t.vux_CodeDefCount == t.vux_CodeDef.size(),
               "code counts do not match the lists");
    for (int g = 0; g < t.vux_CodeDefCount && g < 32; ++g) {
        const TVuxGroup& d = t.vux_CodeDef[g];
        FUZZ_CHECK(d.First >= 0 && d.Count > 0 && d.First + d.Count <= t.vux_CodeCount, "a code group out of range");
        const QString group = t.vux_CodeData[d.First].CodeGroup;
        const int ptr = t.FindCodePointer(group);
        FUZZ_CHECK(ptr >= 0 && ptr <= g, "a code group is not found by its name");
        for (int i = d.First + 1; i < d.First + d.Count && i < d.First + 8; ++i) {
            t.FindCodeName(group, t.vux_CodeData[i].CodeValue);
            t.FindCodeValue(group, t.vux_CodeData[i].CodeName);
        }
    }
    t.FindCodeName(QStringLiteral("없는그룹"), QString());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList lines = SplitLines(DecodeText(FuzzBytes(data, size)));
    TVUX_codes table;
    table.BuildColumns(lines);
    CheckColumns(table);

    // The code table reply: a list, "^" between fields turned into TAB as the login stores it.
    QStringList rows;
    if (!ListReplyData(lines, rows))
        rows = lines;
    for (QString& r : rows)
        r.replace('^', '\t');
    table.BuildCodes(rows);
    CheckCodes(table);
    return 0;
}
