#pragma once
// A small code table for the meta tests: base meta of 38 columns (5/6 the subjects, 8 coded,
// 25 a date, 17 and 26 ... 37 without editor), an extended group "인명" with a coded column and
// a multi-value block, a second extended group "지명" and the image group.
#include "server/VUX_codes.h"

#include <QStringList>

inline QString MetaColumnLine(const QString& group, const QString& title, const QString& code, const QString& name,
                              const QString& codeGroup = "x", const QString& multi = "N", const QString& type = "1")
{
    return QStringList{group, group, title, code, name, codeGroup, multi, type}.join('\t');
}

inline void BuildMetaCodes(TVUX_codes& codes, int baseColumns = 38)
{
    QStringList lines;
    for (int j = 0; j < baseColumns; ++j) {
        QString code = "b" + QString::number(j), cg = "x", type = "1";
        if (j == 5)
            code = "mt_oCode", cg = "Code_92";
        else if (j == 6)
            code = "mt_sCode", cg = "Code_93";
        else if (j == 8)
            cg = "Code_LANG";
        else if (j == 25)
            type = "d";
        else if (j == 17 || j >= 26)
            type = "0";
        lines << MetaColumnLine("ks_coremeta", "기본메타", code, "칼럼" + QString::number(j), cg, "N", type);
    }
    lines << MetaColumnLine("ks_exMetaName", "인명", "nm_name", "이름")
          << MetaColumnLine("ks_exMetaName", "인명", "nm_sex", "성별", "Code_SEX")
          << MetaColumnLine("ks_exMetaName", "인명 관련", "nm_rel", "관련 인물", "x", "Y")
          << MetaColumnLine("ks_exMetaName", "인명 관련", "nm_rel_type", "관계", "Code_SEX", "Y")
          << MetaColumnLine("ks_exMetaPlace", "지명", "pl_name", "지명")
          << MetaColumnLine("ks_MetaTypeDetail", "이미지", "kf_desc", "설명")
          << MetaColumnLine("ks_MetaTypeDetail", "이미지", "kf_file", "파일명");
    codes.BuildColumns(lines);
    codes.vux_SubjPtr1 = codes.FindColumnPtr("ks_coremeta", "mt_oCode");
    codes.vux_SubjPtr2 = codes.FindColumnPtr("ks_coremeta", "mt_sCode");
    codes.BuildCodes({"Code_92\t주제분류1\t00", "Code_92\t인명\t01", "Code_92\t지명\t02", "Code_92\t기타\t99",
                      "Code_93\t주제분류2\t00", "Code_93\t인명\t01", "Code_93\t지명\t02", "Code_93\t기타\t99",
                      "Code_LANG\t언어\t00", "Code_LANG\t한국어\tko", "Code_SEX\t성별\t00", "Code_SEX\t남\tM",
                      "Code_SEX\t여\tF"});
}
