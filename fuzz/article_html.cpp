// ArticleToHtml in upload and preview mode: any article text converts completely, a footnote
// error is told, and the page around it keeps its frame.
#include "FuzzSupport.h"
#include "articles/ArticleHtml.h"
#include "shell/TextFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList lines = SplitLines(DecodeText(FuzzBytes(data, size)));
    for (int mode : {int(HtmlUploadMode), int(HtmlPreviewMode)}) {
        QuietInteraction ui;
        QStringList out{QStringLiteral("앞줄")};
        const bool ok = ArticleToHtml(out, lines, mode, ui);
        FUZZ_CHECK(ok || ui.infos > 0, "a footnote error was not told");
        FUZZ_CHECK(!out.isEmpty() && out.first() == QStringLiteral("앞줄"), "lines before the article were touched");
        // Joining a footnote reference with the next line is the only way to lose a line.
        FUZZ_CHECK(out.size() - 1 <= lines.size(), "more HTML lines than article lines");
    }
    return 0;
}
