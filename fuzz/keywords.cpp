// Keyword definitions: the bytes as "keywords.txt" through `LoadKeywordDefinitions`, and the same
// text as the server's reply through `CheckKeywordReply`. Every option loaded names a column of
// the table and a tab line read before it; a reply that passes keeps its data lines unchanged, and
// those lines, saved as "keywords.txt", load with one option per keyword line of four fields
// (fields with blanks at their ends excepted: the loader looks them up untrimmed).
#include "FuzzSupport.h"
#include "indexing/KeywordDefinitions.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QFile>

static TVUX_codes* g_codes;
static TJobDefine g_job;
static QString g_file;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_codes = new TVUX_codes;
    g_codes->BuildColumns(SplitLines(QStringLiteral(
        "ks_coremeta\tks_coremeta\t기본메타\tmt_title\t제목\tx\tN\t1\n"
        "ks_coremeta\tks_coremeta\t기본메타\tmt_oCode\t주제분류1\tCode_92\tN\t1\n"
        "ks_coremeta\tks_coremeta\t기본메타\tmt_sCode\t주제분류2\tCode_93\tN\t1\n"
        "ks_coremeta\tks_coremeta\t기본메타\tmt_lang\t언어\tCode_LANG\tN\t1\n"
        "ks_coremeta\tks_coremeta\t기본메타\tmt_source\t출전\tx\tN\t1\n"
        "ks_exMetaName\tks_exMetaName\t인명\tnm_name\t이름\tx\tN\t1\n"
        "ks_exMetaName\tks_exMetaName\t인명\tnm_nation\t국적\tCode_NATION\tN\t1\n"
        "ks_exMetaPlace\tks_exMetaPlace\t지명\tpl_name\t지명\tx\tN\t1\n"
        "ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_desc\t설명\tx\tN\t1\n")));
    g_job.WorkFolder = FuzzScratchDir();
    g_job.TabsCount = 2;
    g_job.TabsName[0] = QStringLiteral("본문");
    g_job.TabsID[0] = QStringLiteral("101");
    g_job.TabsName[1] = QStringLiteral("번역");
    g_job.TabsID[1] = QStringLiteral("102");
    g_file = KeywordDefinitionsFile(g_job);
    return 0;
}

static void CheckLoaded(const TKeywordDefinitions& defs)
{
    for (const TvuxSchOption& o : defs.options) {
        FUZZ_CHECK(o.sptr >= 0 && o.sptr < g_codes->vux_Columns.size(), "an option names no column");
        FUZZ_CHECK(defs.ar_ids.contains(o.ar_id), "an option belongs to no tab line");
    }
}

static bool Trimmed(const QString& line)
{
    for (const QString& f : SplitFields(line, QStringLiteral("^")))
        if (TrimBlanks(f) != f)
            return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);
    {
        QFile f(g_file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(bytes);
    }
    QuietInteraction ui;
    TKeywordDefinitions defs;
    const bool loaded = LoadKeywordDefinitions(g_file, *g_codes, defs, ui);
    FUZZ_CHECK(loaded == (ui.infos == 0), "a refusal was not told, or a success told something");
    CheckLoaded(defs);

    const QString reply = DecodeText(bytes);
    const KeywordFetchResult r = CheckKeywordReply(reply, g_job, *g_codes);
    if (r.status != KeywordFetch::Ok) {
        FUZZ_CHECK(!r.message.isEmpty() && r.lines.isEmpty(), "a refused reply without a message or with lines");
        if (r.status == KeywordFetch::BadLine)
            FUZZ_CHECK(r.errorPanel.startsWith(r.message) && r.errorPanel.endsWith(reply), "the error panel lacks the reply");
        return 0;
    }
    const QStringList all = SplitLines(reply);
    FUZZ_CHECK(r.message.isEmpty() && r.lines == all.mid(1, all.size() - 2), "the data lines are not kept as received");

    QString error;
    FUZZ_CHECK(WriteTextLines(g_file, r.lines, TextEncoding::Utf16LE, &error), "the lines could not be written");
    ui = QuietInteraction();
    const bool again = LoadKeywordDefinitions(g_file, *g_codes, defs, ui);
    CheckLoaded(defs);
    for (const QString& line : r.lines)
        if (!Trimmed(line))
            return 0;
    int tabs = 0, keywords = 0;
    for (const QString& line : r.lines) {
        const QStringList f = SplitFields(line, QStringLiteral("^"));
        if (!f.isEmpty() && f[0] == QStringLiteral("ar_id"))
            ++tabs;
        else if (f.size() >= 4)
            ++keywords;
    }
    FUZZ_CHECK(again, "keyword definitions the download passed do not load");
    FUZZ_CHECK(defs.ar_ids.size() == tabs && defs.options.size() == keywords, "the loader does not take every line");
    return 0;
}
