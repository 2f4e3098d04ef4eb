// The meta result file "{tab}.kwd" through `ReadMetaFile` and `SaveMetaFile`: the lines read are
// the file's lines, records and values address them, the lines saved read back the same and the
// previous file is kept whole as the backup. The first byte is the record length.
#include "FuzzSupport.h"
#include "indexing/MetaFile.h"
#include "shell/TextFile.h"

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
    g_dir = FuzzScratchDir() + QStringLiteral("/meta");
    g_path = g_dir + QStringLiteral("/본문.kwd");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int block = 1 + data[0] % 32;
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
    FUZZ_CHECK(ReadTextLines(g_path, lines), "the file written could not be read");

    TMetaData meta(block);
    QString error;
    FUZZ_CHECK(ReadMetaFile(g_path, meta, &error) && meta.Lines() == lines, "the lines read are not the file's");
    const int records = meta.RecordCount();
    FUZZ_CHECK(qsizetype(records) * block >= lines.size() && qsizetype(records - 1) * block < qMax<qsizetype>(lines.size(), 1),
               "the record count does not cover the lines");
    for (int node = 1; node <= records + 1; ++node) {
        const QStringList record = meta.Record(node);
        FUZZ_CHECK(record.size() == block, "a record is not one value per column");
        for (int c = 0; c < block; ++c)
            FUZZ_CHECK(record[c] == meta.Line(qsizetype(node - 1) * block + c), "a value is not its line");
    }
    FUZZ_CHECK(meta.Value(0, 0).isEmpty() && meta.Value(1, block).isEmpty(), "a value outside the records");

    QString backup;
    FUZZ_CHECK(SaveMetaFile(g_path, meta, &backup, &error), "the lines could not be saved");
    FUZZ_CHECK(!backup.isEmpty() && FileBytes(backup) == bytes, "the previous file is not kept whole");
    TMetaData again(block);
    FUZZ_CHECK(ReadMetaFile(g_path, again, &error) && again.Lines() == meta.Lines(), "saved lines read back differently");

    // A value set with line breaks stays on its line.
    again.SetValue(records + 1, block - 1, QStringLiteral("a\r\nb\rc\nd"));
    FUZZ_CHECK(SaveMetaFile(g_path, again, &backup, &error), "the lines could not be saved");
    TMetaData third(block);
    FUZZ_CHECK(ReadMetaFile(g_path, third, &error) && third.Lines().size() == again.Lines().size()
                   && third.Value(records + 1, block - 1) == QStringLiteral("a b c d"),
               "a value with line breaks moved the lines");
    return 0;
}
