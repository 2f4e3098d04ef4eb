// The category file "{tab}_category.txt" through `ReadCategoryFile` and `TCategoryGrid::Fill`: any
// bytes give a header row and one row per node; a grid saved and read again is the same grid, "-"
// and empty cells coming back as the defaults. The first byte is the node count.
#include "FuzzSupport.h"
#include "indexing/Category.h"
#include "jobs/JobLayout.h"
#include "shell/TextFile.h"

#include <QFile>

static QString g_path;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_path = CategoryFileName(FuzzScratchDir(), QStringLiteral("본문"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int count = data[0] % 64;
    {
        QFile f(g_path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }
    TCategoryDefaults defaults;
    defaults.subj1_name = QStringLiteral("역사");
    defaults.subj2_name = EmptySubject;

    QuietInteraction ui;
    QStringList lines;
    FUZZ_CHECK(ReadCategoryFile(g_path, lines, ui) && ui.infos == 0, "a readable file was refused");
    TCategoryGrid grid;
    const bool defaulted = grid.Fill(lines, count, defaults);
    const int rows = qMax(count, 1);
    FUZZ_CHECK(grid.rowCount() == rows && grid.subj2.size() == rows, "not one row per node");
    FUZZ_CHECK(grid.subj1[0] == Subject1Header && grid.subj2[0] == Subject2Header, "row 0 is not the header");
    bool needed = false;
    for (int r = 1; r < rows; ++r)
        for (int c = 0; c < 2; ++c) {
            const int line = 2 * r + c;
            const QString& cell = c == 0 ? grid.subj1[r] : grid.subj2[r];
            const QString& def = c == 0 ? defaults.subj1_name : defaults.subj2_name;
            if (line >= lines.size() || lines[line] == EmptySubject) {
                needed = true;
                FUZZ_CHECK(cell == def, "a missing or \"-\" line does not take the default");
            } else {
                FUZZ_CHECK(cell == lines[line], "a cell is not its line");
            }
        }
    FUZZ_CHECK(defaulted == needed, "the defaults used are not told");

    QString error;
    FUZZ_CHECK(WriteCategoryFile(g_path, grid, &error), "the grid could not be written");
    QStringList written;
    FUZZ_CHECK(ReadCategoryFile(g_path, written, ui) && written == grid.FileLines(), "the file is not the grid's lines");
    TCategoryGrid again;
    again.Fill(written, count, defaults);
    for (int r = 1; r < rows; ++r) {
        if (grid.subj1[r].isEmpty() || grid.subj1[r] == EmptySubject)
            grid.subj1[r] = defaults.subj1_name;
        if (grid.subj2[r].isEmpty() || grid.subj2[r] == EmptySubject)
            grid.subj2[r] = defaults.subj2_name;
    }
    FUZZ_CHECK(again.subj1 == grid.subj1 && again.subj2 == grid.subj2, "a saved grid reads back differently");
    return 0;
}
