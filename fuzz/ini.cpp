// The INI reader (job file, settings): any bytes parse; what it writes back parses to the same
// sections, keys and values, and a value set is read back as set.
#include "FuzzSupport.h"
#include "shell/IniFile.h"
#include "shell/TextFile.h"

// The file as the writer lays it out: every line followed by CR LF.
static QString AsWritten(const QStringList& lines)
{
    QString text;
    for (const QString& l : lines)
        text += l + QStringLiteral("\r\n");
    return text;
}

static void SameContent(const IniFile& a, const IniFile& b)
{
    const QStringList sa = a.sections();
    FUZZ_CHECK(sa == b.sections(), "sections change after writing back");
    for (const QString& s : sa) {
        const QStringList keys = a.keys(s);
        FUZZ_CHECK(keys == b.keys(s), "keys change after writing back");
        for (const QString& k : keys)
            FUZZ_CHECK(a.value(s, k) == b.value(s, k), "value changes after writing back");
    }
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IniFile ini;
    ini.parse(DecodeText(FuzzBytes(data, size)));
    const QStringList lines = ini.toLines();

    IniFile again;
    again.parse(AsWritten(lines));
    SameContent(ini, again);
    FUZZ_CHECK(again.toLines() == lines, "writing back is not stable");

    // A value set into the first section (or a new one) reads back unchanged, whatever it holds
    // but a line break: here the last line of the input.
    const QStringList inputLines = SplitLines(DecodeText(FuzzBytes(data, size)));
    const QString v = inputLines.isEmpty() ? QStringLiteral("값 1") : inputLines.last();
    const QStringList sections = ini.sections();
    const QString section = sections.isEmpty() ? QStringLiteral("JOB") : sections.first();
    if (!section.contains(']') && !section.trimmed().isEmpty() && section.trimmed() == section) {
        ini.setValue(section, QStringLiteral("FuzzKey"), v);
        FUZZ_CHECK(ini.value(section, QStringLiteral("fuzzkey")) == v, "a value set is not read back");
        IniFile written;
        written.parse(AsWritten(ini.toLines()));
        FUZZ_CHECK(written.value(section, QStringLiteral("FuzzKey")) == v, "a value set is lost in the written file");
    }
    return 0;
}
