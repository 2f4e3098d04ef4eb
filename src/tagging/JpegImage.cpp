#include "tagging/JpegImage.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// Beyond this the bitmap alone would take most of a desktop's memory.
constexpr qint64 kMaxPixels = qint64(1) << 28;

// libjpeg's own error handler ends the process; ours jumps back to the caller with the text.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// A file cut short decodes as grey filling with only a warning; we count it as a failure.
void OnJpegMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        OnJpegError(cinfo);
}

void InstallErrorManager(ErrorManager& jerr)
{
    jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = OnJpegError;
    jerr.pub.emit_message = OnJpegMessage;
    jerr.message[0] = '\0';
}

enum class DecodeOutcome { Decoded, Failed, TooLarge };

// Plain C-style body: nothing with a destructor lives between setjmp and a longjmp.
DecodeOutcome DecodeRaw(const unsigned char* data, unsigned long size, bool headerOnly, TBitmap24& out,
                        char* message)
{
    jpeg_decompress_struct cinfo;
    ErrorManager jerr;
    InstallErrorManager(jerr);
    cinfo.err = &jerr.pub;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::memcpy(message, jerr.message, JMSG_LENGTH_MAX);
        return DecodeOutcome::Failed;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (headerOnly) {
        out.width = int(cinfo.image_width);
        out.height = int(cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return DecodeOutcome::Decoded;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const int w = int(cinfo.output_width);
    const int h = int(cinfo.output_height);
    if (qint64(w) * qint64(h) > kMaxPixels) {
        jpeg_destroy_decompress(&cinfo);
        return DecodeOutcome::TooLarge;
    }
    out.SetSize(w, h);
    JSAMPARRAY cmykRow = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                           JDIMENSION(w) * 4, 1)
                              : nullptr;
    // Files with an Adobe marker store the inks inverted (0 = full ink).
    const bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        if (!cmyk) {
            JSAMPROW row = out.Row(y);
            jpeg_read_scanlines(&cinfo, &row, 1);
            continue;
        }
        jpeg_read_scanlines(&cinfo, cmykRow, 1);
        const JSAMPLE* s = cmykRow[0];
        std::uint8_t* d = out.Row(y);
        for (int x = 0; x < w; ++x, s += 4, d += 3) {
            const int k = inverted ? s[3] : 255 - s[3];
            for (int c = 0; c < 3; ++c) {
                const int ink = inverted ? s[c] : 255 - s[c];
                d[c] = std::uint8_t((ink * k + 127) / 255);
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return DecodeOutcome::Decoded;
}

bool EncodeRaw(const TBitmap24& bitmap, int quality, unsigned char** buffer, unsigned long* size, char* message)
{
    jpeg_compress_struct cinfo;
    ErrorManager jerr;
    InstallErrorManager(jerr);
    cinfo.err = &jerr.pub;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::memcpy(message, jerr.message, JMSG_LENGTH_MAX);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = JDIMENSION(bitmap.width);
    cinfo.image_height = JDIMENSION(bitmap.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(bitmap.Row(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error)
{
    QFile f(path);
    if (QFileInfo(path).isDir() || !f.open(QIODevice::ReadOnly)) {
        SetError(error, QStringLiteral("파일을 열 수 없습니다: %1").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    bytes = f.readAll();
    return true;
}

bool DecodeChecked(const QByteArray& bytes, bool headerOnly, TBitmap24& out, QString* error)
{
    if (bytes.isEmpty()) {
        SetError(error, QStringLiteral("JPEG 파일이 아닙니다: 빈 파일"));
        return false;
    }
    char message[JMSG_LENGTH_MAX] = {};
    const DecodeOutcome r = DecodeRaw(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                      static_cast<unsigned long>(bytes.size()), headerOnly, out, message);
    if (r == DecodeOutcome::Decoded)
        return true;
    out = TBitmap24();
    if (r == DecodeOutcome::TooLarge)
        SetError(error, QStringLiteral("이미지가 너무 큽니다."));
    else
        SetError(error, QStringLiteral("JPEG 파일을 읽을 수 없습니다: %1").arg(QString::fromLocal8Bit(message)));
    return false;
}

// Keeps the full-size file under its backup name without touching the image: a second
// name for the same file where the file system allows it, a full copy otherwise.
bool KeepFullSize(const QString& path, const QString& backup, const QByteArray& bytes, QString* error)
{
    if (::link(QFile::encodeName(path).constData(), QFile::encodeName(backup).constData()) == 0)
        return true;
    QString why;
    if (WriteFileAtomic(backup, bytes, &why))
        return true;
    SetError(error, QStringLiteral("원본 파일을 보관할 수 없습니다: %1 (%2)")
                        .arg(QDir::toNativeSeparators(backup), why));
    return false;
}

} // namespace

void TBitmap24::SetSize(int w, int h)
{
    width = qMax(0, w);
    height = qMax(0, h);
    pixels.assign(std::size_t(width) * std::size_t(height) * 3, 0);
}

bool DecodeJpeg(const QByteArray& bytes, TBitmap24& out, QString* error)
{
    return DecodeChecked(bytes, false, out, error);
}

bool DecodeJpegFile(const QString& path, TBitmap24& out, QString* error)
{
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error)) {
        out = TBitmap24();
        return false;
    }
    return DecodeChecked(bytes, false, out, error);
}

bool ReadJpegSize(const QString& path, int& width, int& height, QString* error)
{
    width = height = 0;
    QByteArray bytes;
    TBitmap24 header;
    if (!ReadWholeFile(path, bytes, error) || !DecodeChecked(bytes, true, header, error))
        return false;
    width = header.width;
    height = header.height;
    return true;
}

bool EncodeJpeg(const TBitmap24& bitmap, int quality, QByteArray& out, QString* error)
{
    out.clear();
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.pixels.size() != std::size_t(bitmap.width) * bitmap.height * 3) {
        SetError(error, QStringLiteral("빈 이미지는 저장할 수 없습니다."));
        return false;
    }
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = EncodeRaw(bitmap, qBound(1, quality, 100), &buffer, &size, message);
    if (ok)
        out = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    if (!ok)
        SetError(error, QStringLiteral("JPEG 파일을 만들 수 없습니다: %1").arg(QString::fromLocal8Bit(message)));
    return ok;
}

void ResampleBilinear(const TBitmap24& src, TBitmap24& dst)
{
    const int W = src.width, H = src.height, w = dst.width, h = dst.height;
    if (W == w && H == h) {
        dst.pixels = src.pixels;
        return;
    }
    if (W <= 0 || H <= 0 || w <= 0 || h <= 0)
        return;
    auto roundedDiv = [](qint64 a, qint64 b) { return (2 * a + b) / (2 * b); }; // a, b >= 0
    const qint64 xStep = roundedDiv(qint64(W - 1) * 65536, w);
    const qint64 yStep = roundedDiv(qint64(H - 1) * 65536, h);

    // Byte offsets of the left and right source pixel and the fraction, per destination column.
    // The right pixel is held inside the row, which only matters for callers that enlarge.
    const std::size_t columns = static_cast<std::size_t>(w);
    std::vector<int> left(columns), right(columns);
    std::vector<std::uint32_t> frac(columns);
    for (int x = 0; x < w; ++x) {
        const qint64 sx = x * xStep;
        const int ix = int(sx >> 16);
        left[std::size_t(x)] = ix * 3;
        right[std::size_t(x)] = qMin(ix + 1, W - 1) * 3;
        frac[std::size_t(x)] = std::uint32_t(sx & 0xFFFF);
    }
    for (int y = 0; y < h; ++y) {
        const qint64 sy = y * yStep;
        const int iy = int(sy >> 16);
        const std::uint32_t fy = std::uint32_t(sy & 0xFFFF);
        const std::uint8_t* U = src.Row(iy);
        const std::uint8_t* L = src.Row(iy < H - 1 ? iy + 1 : iy);
        const std::uint32_t wy0 = 65536 - fy;
        const std::uint32_t wy1 = fy + 1; // the two add up to 65537, so a flat 255 stays 255
        std::uint8_t* d = dst.Row(y);
        for (int x = 0; x < w; ++x, d += 3) {
            const std::uint32_t fx = frac[std::size_t(x)];
            const std::uint32_t w01 = std::uint32_t((std::uint64_t(fx) * wy0 + 32768) >> 16);
            const std::uint32_t w11 = std::uint32_t((std::uint64_t(fx) * wy1 + 32768) >> 16);
            const std::uint32_t w00 = wy0 - w01;
            const std::uint32_t w10 = wy1 - w11;
            const std::uint8_t* u0 = U + left[std::size_t(x)];
            const std::uint8_t* u1 = U + right[std::size_t(x)];
            const std::uint8_t* l0 = L + left[std::size_t(x)];
            const std::uint8_t* l1 = L + right[std::size_t(x)];
            for (int c = 0; c < 3; ++c)
                d[c] = std::uint8_t((u0[c] * w00 + u1[c] * w01 + l0[c] * w10 + l1[c] * w11) >> 16);
        }
    }
}

int ShrunkHeight(int srcWidth, int srcHeight, int width)
{
    if (srcWidth <= 0 || srcHeight <= 0 || width <= 0)
        return 0;
    return int((2 * qint64(width) * srcHeight + srcWidth) / (2 * qint64(srcWidth)));
}

QString FullSizeBackupPath(const QString& imagePath)
{
    return imagePath + QStringLiteral(".원본");
}

TShrinkResult ShrinkJpegFile(const QString& path, int width)
{
    TShrinkResult r;
    QByteArray bytes;
    TBitmap24 src;
    if (!ReadWholeFile(path, bytes, &r.message) || !DecodeChecked(bytes, false, src, &r.message)) {
        r.status = TShrinkStatus::Unreadable;
        return r;
    }
    if (width >= src.width) {
        r.status = TShrinkStatus::Unchanged;
        return r;
    }
    if (width < 1) {
        r.status = TShrinkStatus::Unchanged;
        r.message = QStringLiteral("지정 크기가 너무 작습니다.");
        return r;
    }
    TBitmap24 dst;
    // A very flat picture keeps at least one row rather than becoming an empty, unwritable one.
    dst.SetSize(width, qMax(1, ShrunkHeight(src.width, src.height, width)));
    ResampleBilinear(src, dst);
    QByteArray jpeg;
    r.status = TShrinkStatus::WriteFailed;
    if (!EncodeJpeg(dst, 75, jpeg, &r.message))
        return r;

    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString backup = FullSizeBackupPath(path);
    if (!QFileInfo::exists(backup) && !KeepFullSize(path, backup, bytes, &r.message))
        return r;
    // Written beside the image and renamed over it, so a failed write leaves the old picture.
    QString why;
    if (!WriteFileAtomic(path, jpeg, &why)) {
        r.message = QStringLiteral("이미지를 저장할 수 없습니다: %1 (%2)")
                        .arg(QDir::toNativeSeparators(path), why);
        return r;
    }
    r.status = TShrinkStatus::Shrunk;
    r.message.clear();
    return r;
}
