// The text-only workbook writer and the reader over the zip container, including files a
// spreadsheet program saved and files that are damaged or hostile.

#include "indexing/Workbook.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <ostream>
#include <zlib.h>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

void Put(QByteArray& out, quint32 v, int n)
{
    for (int i = 0; i < n; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

// A zip of deflated parts, as a spreadsheet program lays a workbook out.
void MakeZip(const QString& path, const QList<QPair<QString, QByteArray>>& parts)
{
    QByteArray zip, dir;
    for (const auto& [name, bytes] : parts) {
        QByteArray packed(int(compressBound(uLong(bytes.size()))) + 64, '\0');
        z_stream z{};
        ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
        z.avail_in = uInt(bytes.size());
        z.next_out = reinterpret_cast<Bytef*>(packed.data());
        z.avail_out = uInt(packed.size());
        ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        packed.resize(int(z.total_out));
        deflateEnd(&z);
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
        const QByteArray n = name.toUtf8();
        const quint32 offset = quint32(zip.size());
        QByteArray common;
        Put(common, 20, 2); Put(common, 0x800, 2); Put(common, 8, 2); Put(common, 0, 4);
        Put(common, crc, 4); Put(common, quint32(packed.size()), 4); Put(common, quint32(bytes.size()), 4);
        Put(common, quint32(n.size()), 2); Put(common, 0, 2);
        Put(zip, 0x04034b50, 4); zip += common + n + packed;
        Put(dir, 0x02014b50, 4); Put(dir, 20, 2); dir += common;
        Put(dir, 0, 2); Put(dir, 0, 2); Put(dir, 0, 2); Put(dir, 0, 4); Put(dir, offset, 4); dir += n;
    }
    const quint32 dirOffset = quint32(zip.size());
    zip += dir;
    Put(zip, 0x06054b50, 4); Put(zip, 0, 2); Put(zip, 0, 2);
    Put(zip, quint32(parts.size()), 2); Put(zip, quint32(parts.size()), 2);
    Put(zip, quint32(dir.size()), 4); Put(zip, dirOffset, 4); Put(zip, 0, 2);
    ASSERT_TRUE(WriteBytes(path, zip));
}

// One sheet named "S" with the given sheetData content and shared strings.
void MakeWorkbook(const QString& path, const QByteArray& sheetData, const QByteArray& shared = {})
{
    const QByteArray rels =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
        R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
        R"(</Relationships>)";
    const QByteArray book =
        R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
        R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)"
        R"(<sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)";
    QList<QPair<QString, QByteArray>> parts{
        {"xl/_rels/workbook.xml.rels", rels},
        {"xl/workbook.xml", book},
        {"xl/worksheets/sheet1.xml",
         R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)" +
             sheetData + "</sheetData></worksheet>"}};
    if (!shared.isEmpty())
        parts.append({"xl/sharedStrings.xml",
                      R"(<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)" +
                          shared + "</sst>"});
    MakeZip(path, parts);
}

TSheetRows Read(const QString& path, const QString& sheet, QString* error = nullptr,
                const TWorkbookLimits& limits = {})
{
    TWorkbookReader r;
    TSheetRows rows;
    QString e;
    if (!r.Open(path, &e, limits) || !r.ReadSheet(sheet, rows, &e)) {
        if (error)
            *error = e;
        return {{"<failed>"}};
    }
    return rows;
}

} // namespace

TEST(Workbook, WrittenTextReadsBackAsWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("색인_본문.xls");
    const QString longText(32767, QChar(u'가'));
    const TSheetRows first = {{"헤더", "이름", "값"},
                              {"007", "1e5", "=SUM(A1)"},
                              {"", "", "  앞뒤 공백  "},
                              {"0.10", "TRUE", longText},
                              {"", "가^나^", ""},
                              {"<a & b>", "탭\t줄\n바꿈", "\n"}};
    {
        TWorkbookWriter w(path);
        ASSERT_TRUE(w.AddSheet("기본메타"));
        for (int r = 0; r < first.size(); ++r)
            ASSERT_TRUE(w.WriteRow(r + 1, first[r]));
        ASSERT_TRUE(w.AddSheet("이미지"));
        ASSERT_TRUE(w.WriteRow(1, {"헤더"}));
        ASSERT_TRUE(w.Save());
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"색인_본문.xls"})
        << "no temporary file stays behind";

    TWorkbookReader r;
    ASSERT_TRUE(r.Open(path));
    EXPECT_EQ(r.SheetNames(), QStringList({"기본메타", "이미지"}));
    TSheetRows rows;
    ASSERT_TRUE(r.ReadSheet("기본메타", rows));
    EXPECT_EQ(rows, first);
    ASSERT_TRUE(r.ReadSheet("이미지", rows));
    EXPECT_EQ(rows, (TSheetRows{{"헤더"}}));
    QString error;
    EXPECT_FALSE(r.ReadSheet("인명", rows, &error));
    EXPECT_EQ(error, "시트(인명)가 없습니다.");
    EXPECT_EQ(SheetRowsText({{"a", ""}, {"", "b"}}), "a\t\r\n\tb\r\n");
}

// A workbook is a job file like the others: a new one gets what the umask gives, a rewritten one
// keeps the mode of the file it replaces (not the private mode of the temporary name).
TEST(Workbook, ModeFollowsTheUmaskOrTheReplacedFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("색인_본문.xls");
    auto write = [&] {
        TWorkbookWriter w(path);
        ASSERT_TRUE(w.AddSheet("기본메타"));
        ASSERT_TRUE(w.Save());
    };
    auto mode = [&] {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_mode & 07777;
    };
    const mode_t mask = ::umask(0);
    ::umask(mask);
    write();
    EXPECT_EQ(mode(), 0666u & ~mask);
    ::chmod(QFile::encodeName(path).constData(), 0604);
    write();
    EXPECT_EQ(mode(), 0604u);
}

TEST(Workbook, FailedOrAbandonedWriteKeepsThePreviousFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("색인_본문.xls");
    ASSERT_TRUE(WriteBytes(path, "previous"));
    {
        TWorkbookWriter w(path);
        ASSERT_TRUE(w.AddSheet("기본메타"));
        QString error;
        EXPECT_FALSE(w.WriteRow(1, {QString(32768, 'x')}, &error)) << "beyond a cell's length";
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(w.WriteRow(WorkbookMaxRows + 1, {"x"}, &error)) << "beyond the last row";
        EXPECT_FALSE(w.AddSheet("기본메타", &error)) << "a second sheet of the same name";
        EXPECT_FALSE(w.AddSheet("a/b", &error)) << "a name a spreadsheet program refuses";
        // no Save: abandoned
    }
    EXPECT_EQ(ReadBytes(path), "previous");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"색인_본문.xls"});
}

TEST(Workbook, ReaderTakesEveryCellKindAsText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("w.xlsx");
    // Shared strings with rich runs and a reading aid, inline strings, numbers, truth values,
    // formula results, cells without references and rows out of order.
    MakeWorkbook(path,
                 R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="D1" t="inlineStr"><is><t>인라인</t></is></c></row>)"
                 R"(<row r="3"><c t="n"><v>7</v></c><c><v>0.5</v></c><c t="b"><v>1</v></c><c t="str"><f>A1</f><v>식 결과</v></c></row>)"
                 R"(<row r="2"><c r="C2" t="s"><v>99</v></c><c r="B2" t="e"><v>#N/A</v></c></row>)",
                 R"(<si><t>헤더</t></si><si><r><t>굵은</t></r><r><t xml:space="preserve"> 글자</t></r><rPh><t>ふりがな</t></rPh></si>)");
    EXPECT_EQ(Read(path, "S"), (TSheetRows{{"헤더", "굵은 글자", "", "인라인"},
                                          {"", "#N/A", "", ""},
                                          {"7", "0.5", "TRUE", "식 결과"}}));
}

TEST(Workbook, DamagedOrHostileFilesAreRefusedWithAReason)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.xlsx");
    {
        TWorkbookWriter w(good);
        ASSERT_TRUE(w.AddSheet("S"));
        for (int r = 1; r <= 200; ++r)
            ASSERT_TRUE(w.WriteRow(r, {QString("줄 %1").arg(r), "값"}));
        ASSERT_TRUE(w.Save());
    }
    const QByteArray bytes = ReadBytes(good);
    WriteBytes(dir.filePath("text.xls"), "이것은 텍스트 파일입니다\r\n");
    WriteBytes(dir.filePath("truncated.xls"), bytes.left(bytes.size() / 2));
    WriteBytes(dir.filePath("empty.xls"), "");
    MakeWorkbook(dir.filePath("bomb.xls"), "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</t></is></c></row>" +
                                               QByteArray(4 << 20, ' '));
    MakeWorkbook(dir.filePath("corner.xls"), R"(<row r="1048576"><c r="XFD1048576"><v>1</v></c></row>)");
    MakeWorkbook(dir.filePath("badref.xls"), R"(<row r="1"><c r="A0"><v>1</v></c></row>)");
    MakeWorkbook(dir.filePath("badxml.xls"), R"(<row r="1"><c r="A1"><v>1</v></row>)");
    // Found by fuzzing: a row after the largest row number counted past the int range.
    MakeWorkbook(dir.filePath("lastrow.xls"), R"(<row r="2147483647"/><row><c t="str"><v>x</v></c></row>)");

    TWorkbookLimits small;
    small.maxEntryBytes = 1 << 20;
    const struct {
        const char* file;
        TWorkbookLimits limits;
        const char* error; // start of the reason
    } cases[] = {
        {"missing.xls", {}, ""},
        {"text.xls", {}, "엑셀 파일이 아니거나 손상되었습니다."},
        {"truncated.xls", {}, "엑셀 파일이 아니거나 손상되었습니다."},
        {"empty.xls", {}, "엑셀 파일이 아니거나 손상되었습니다."},
        {"bomb.xls", small, "엑셀 파일의 내용이 너무 큽니다."},
        {"corner.xls", {}, "시트(S)의 사용 범위가 너무 큽니다."},
        {"badref.xls", {}, "엑셀 파일이 아니거나 손상되었습니다."},
        {"badxml.xls", {}, "엑셀 파일이 아니거나 손상되었습니다."},
        {"lastrow.xls", {}, "엑셀 파일이 아니거나 손상되었습니다."},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_EQ(Read(dir.filePath(c.file), "S", &error, c.limits), (TSheetRows{{"<failed>"}})) << c.file;
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.error))) << c.file << ": " << error.toStdString();
        EXPECT_FALSE(error.isEmpty()) << c.file;
    }
    EXPECT_EQ(Read(good, "S").size(), 200) << "the good file under the same limits";
}

TEST(Workbook, SheetOfTheLastRowReads)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("tall.xls");
    MakeWorkbook(path, R"(<row r="1"><c r="A1" t="inlineStr"><is><t>헤더</t></is></c></row>)"
                       R"(<row r="1048576"><c r="B1048576" t="inlineStr"><is><t>끝</t></is></c></row>)");
    const TSheetRows rows = Read(path, "S");
    ASSERT_EQ(rows.size(), WorkbookMaxRows);
    EXPECT_EQ(rows.first(), QStringList({"헤더", ""}));
    EXPECT_EQ(rows.last(), QStringList({"", "끝"}));
}

// A spreadsheet program opens the workbook, and what it saves reads back the same.
TEST(Workbook, SpreadsheetProgramOpensAndSavesIt)
{
    const QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    // LibreOffice's start script stumbles over blanks in its folders, which the default
    // temporary folder name of this program has.
    QTemporaryDir dir(QDir::tempPath() + "/quilo-lo-XXXXXX");
    const QString path = dir.filePath("색인_본문.xls");
    const TSheetRows sheet = {{"헤더", "제목", "출전"}, {"007", "007", "1e5"}, {"둘째", "둘째", "가^나"}};
    {
        TWorkbookWriter w(path);
        ASSERT_TRUE(w.AddSheet("기본메타"));
        for (int r = 0; r < sheet.size(); ++r)
            ASSERT_TRUE(w.WriteRow(r + 1, sheet[r]));
        ASSERT_TRUE(w.AddSheet("이미지"));
        ASSERT_TRUE(w.WriteRow(1, {"헤더", "설명"}));
        ASSERT_TRUE(w.Save());
    }
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.setStandardInputFile(QProcess::nullDevice());
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir.path());
        p.setProcessEnvironment(env);
        p.start(soffice, QStringList{"-env:UserInstallation=" +
                                         QUrl::fromLocalFile(dir.filePath("profile")).toString(QUrl::FullyEncoded),
                                     "--headless"} + args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "LibreOffice did not finish";
        }
        EXPECT_EQ(p.exitCode(), 0);
    };
    QDir().mkpath(dir.filePath("csv"));
    run({"--convert-to", "csv:Text - txt - csv (StarCalc):9,34,76,1", "--outdir", dir.filePath("csv"), path});
    // Calc quotes the cells it holds as text; numbers would come unquoted ("7", "100000").
    const QString text = QString::fromUtf8(ReadBytes(dir.filePath("csv/색인_본문.csv")));
    EXPECT_TRUE(text.contains("\"007\"\t\"007\"\t\"1e5\""));
    EXPECT_EQ(QString(text).remove('"'), "헤더\t제목\t출전\n007\t007\t1e5\n둘째\t둘째\t가^나\n");

    QDir().mkpath(dir.filePath("saved"));
    run({"--convert-to", "xlsx", "--outdir", dir.filePath("saved"), path});
    TWorkbookReader r;
    ASSERT_TRUE(r.Open(dir.filePath("saved/색인_본문.xlsx")));
    EXPECT_EQ(r.SheetNames(), QStringList({"기본메타", "이미지"}));
    TSheetRows rows;
    ASSERT_TRUE(r.ReadSheet("기본메타", rows));
    EXPECT_EQ(rows, sheet);
    ASSERT_TRUE(r.ReadSheet("이미지", rows));
    EXPECT_EQ(rows, (TSheetRows{{"헤더", "설명"}}));
}

// The rows a sheet streams are the rows of the whole sheet that hold a value; rows out of order
// are told apart, and a damaged part fails with the reason the whole read gives.
TEST(Workbook, StreamGivesTheSheetRowByRow)
{
    QTemporaryDir dir;
    enum Outcome { Rows, Disordered, Failed };
    const struct {
        const char* name;
        QByteArray data;
        Outcome outcome;
    } cases[] = {
        {"gaps, shared strings, cells out of column order",
         R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row><row r="2"/>)"
         R"(<row r="4"><c r="C4" t="inlineStr"><is><t>c</t></is></c><c r="A4"><v>7</v></c><c r="B4" t="s"><v>5</v></c></row>)"
         R"(<row><c t="b"><v>1</v></c></row>)",
         Rows},
        {"rows out of order", R"(<row r="3"><c r="A3"><v>1</v></c></row><row r="2"><c r="A2"><v>2</v></c></row>)", Disordered},
        {"a cell of another row", R"(<row r="2"><c r="A2"><v>1</v></c><c r="A3"><v>2</v></c></row>)", Disordered},
        {"damaged", R"(<row r="1"><c r="A1"><v>1</v></row>)", Failed},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString("%1.xls").arg(int(&c - cases)));
        MakeWorkbook(path, c.data, R"(<si><t>헤더</t></si>)");
        QString whole;
        const TSheetRows rows = Read(path, "S", &whole);
        TWorkbookReader reader;
        ASSERT_TRUE(reader.Open(path));
        TSheetStream stream;
        ASSERT_TRUE(stream.Open(reader, "S"));
        TSheetRows streamed;
        int row = 0;
        QStringList cells;
        QString error;
        while (stream.Next(row, cells, &error)) {
            while (streamed.size() < row - 1)
                streamed << QStringList();
            streamed << cells;
        }
        EXPECT_EQ(stream.Disordered(), c.outcome == Disordered) << c.name;
        EXPECT_EQ(stream.Failed(), c.outcome == Failed) << c.name;
        if (c.outcome == Failed) {
            EXPECT_EQ(error, whole) << c.name;
        }
        if (c.outcome != Rows)
            continue;
        // The whole read pads every row to the used range; the stream ends each at its last value.
        TSheetRows trimmed = rows;
        for (QStringList& r : trimmed)
            while (!r.isEmpty() && r.last().isEmpty())
                r.removeLast();
        EXPECT_EQ(streamed, trimmed) << c.name;
    }
}
