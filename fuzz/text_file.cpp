// The text decoder: byte-order marks, code page 949, line splitting. Any bytes decode; the lines
// written back in every encoding read back as the same lines.
#include "FuzzSupport.h"
#include "shell/TextFile.h"

static bool StartsWithMark(const QByteArray& b)
{
    return b.startsWith("\xEF\xBB\xBF") || b.startsWith("\xFF\xFE") || b.startsWith("\xFE\xFF");
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);
    TextEncoding detected = TextEncoding::Cp949;
    bool valid = true;
    const QString text = DecodeText(bytes, &detected, &valid);
    const QStringList lines = SplitLines(text);
    for (const QString& line : lines)
        FUZZ_CHECK(!line.contains('\r') && !line.contains('\n'), "a line keeps a line break");
    if (valid && !text.isEmpty() && !text.endsWith('\n') && !text.endsWith('\r'))
        FUZZ_CHECK(lines.join(QString()).size() <= text.size(), "splitting adds characters");

    for (TextEncoding enc : {TextEncoding::Utf16LE, TextEncoding::Utf8}) {
        // A lone surrogate (from broken UTF-16 input) has no UTF-8 form.
        if (enc == TextEncoding::Utf8 && !text.isValidUtf16())
            continue;
        const QByteArray out = EncodeLines(lines, enc);
        TextEncoding back = TextEncoding::Cp949;
        bool ok = false;
        FUZZ_CHECK(SplitLines(DecodeText(out, &back, &ok)) == lines, "lines written then read differ");
        FUZZ_CHECK(back == enc && ok, "the encoding written is not the one detected");
    }
    // Code page 949 has no mark: only text it can hold, and that does not happen to begin with the
    // bytes of a mark, can come back the same.
    bool lossless = false;
    const QByteArray cp = EncodeCp949(lines.join(QStringLiteral("\r\n")), &lossless);
    if (lossless && !StartsWithMark(cp)) {
        const QByteArray out = EncodeLines(lines, TextEncoding::Cp949);
        FUZZ_CHECK(SplitLines(DecodeText(out)) == lines, "code page 949 lines written then read differ");
    }
    return 0;
}
