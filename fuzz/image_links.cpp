// The source image link file "{tab}_images.txt" through `ReadImageLinks` and `WriteLinkFile`: one
// row per node from lines 2i and 2i+1, the rows written read back the same, and a file whose lines
// the new one would not carry is kept whole as a backup. The first byte is the node count.
#include "FuzzSupport.h"
#include "shell/TextFile.h"
#include "tagging/ImageLinks.h"

#include <QFile>

static QString g_dir, g_path;

static QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_dir = FuzzScratchDir() + QStringLiteral("/images");
    g_path = g_dir + QStringLiteral("/본문_images.txt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int count = data[0] % 64;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QDir(g_dir).removeRecursively();
    QDir().mkpath(g_dir);
    {
        QFile f(g_path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(bytes);
    }
    QStringList lines;
    bool valid = true;
    FUZZ_CHECK(ReadTextLines(g_path, lines, nullptr, &valid), "the file written could not be read");

    TImageLinks rows;
    const TLinkFileRead read = ReadImageLinks(g_path, count, rows);
    FUZZ_CHECK(read.ok && read.exists && read.valid == valid && read.lineCount == lines.size(),
               "the read does not describe the file");
    FUZZ_CHECK(int(rows.size()) == count, "not one row per node");
    for (int i = 0; i < count; ++i) {
        FUZZ_CHECK(rows[size_t(i)].start == (2 * i < lines.size() ? lines[2 * i] : NoImage),
                   "a start is not its line");
        FUZZ_CHECK(rows[size_t(i)].end == (2 * i + 1 < lines.size() ? lines[2 * i + 1] : NoImage),
                   "an end is not its line");
    }
    const int failing = CheckImageLinks(rows);
    FUZZ_CHECK(failing >= -1 && failing < count, "the check names a row that is not there");
    UnusedImages(lines.mid(0, 8), rows);

    const QStringList out = ImageLinkLines(rows);
    FUZZ_CHECK(out.size() == 2 * count, "not two lines per row");
    QString error;
    FUZZ_CHECK(WriteLinkFile(g_path, out, &error), "the rows could not be written");
    // Nothing the operator had is lost: lines the new file does not carry stay in a backup.
    const QStringList backups = QDir(g_dir).entryList({QStringLiteral("*.bak")}, QDir::Files);
    if (!valid || lines.size() > out.size()) {
        FUZZ_CHECK(backups.size() == 1, "a file with more lines was replaced without a backup");
        FUZZ_CHECK(FileBytes(g_dir + '/' + backups.first()) == bytes, "the backup is not the old file");
    }
    TImageLinks again;
    const TLinkFileRead reread = ReadImageLinks(g_path, count, again);
    FUZZ_CHECK(reread.ok && reread.valid && reread.lineCount == out.size(), "the written file reads wrongly");
    for (TImageLink& r : rows) {
        if (r.start.isEmpty())
            r.start = NoImage;
        if (r.end.isEmpty())
            r.end = NoImage;
    }
    FUZZ_CHECK(again == rows, "written rows read back differently");
    return 0;
}
