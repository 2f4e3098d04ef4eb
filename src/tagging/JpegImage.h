#pragma once
// JPEG files of the inserted images: decode, encode, and the in-place shrink with its
// full-size backup "{path}.원본".

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// 24 bits per pixel, three bytes (R, G, B) per pixel, rows without padding.
struct TBitmap24 {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    void SetSize(int w, int h);
    std::uint8_t* Row(int y) { return pixels.data() + std::size_t(y) * std::size_t(width) * 3; }
    const std::uint8_t* Row(int y) const { return pixels.data() + std::size_t(y) * std::size_t(width) * 3; }
};

// Grey and CMYK files come out as RGB. A file cut short is refused rather than shown with
// grey filling, so a shrink never writes a damaged picture. `error` tells why it failed.
bool DecodeJpeg(const QByteArray& bytes, TBitmap24& out, QString* error = nullptr);
bool DecodeJpegFile(const QString& path, TBitmap24& out, QString* error = nullptr);
// Reads only the header: the picture's width and height.
bool ReadJpegSize(const QString& path, int& width, int& height, QString* error = nullptr);
// Colour, baseline, the given quality (1-100).
bool EncodeJpeg(const TBitmap24& bitmap, int quality, QByteArray& out, QString* error = nullptr);

// Fills `dst` (its size already set) from `src`, bilinear in 16.16 fixed point.
void ResampleBilinear(const TBitmap24& src, TBitmap24& dst);

// Height of an image shrunk to `width`, rounded to the nearest (halves up).
int ShrunkHeight(int srcWidth, int srcHeight, int width);

QString FullSizeBackupPath(const QString& imagePath);

enum class TShrinkStatus {
    Shrunk,
    Unchanged,   // the requested width is not smaller than the image
    Unreadable,  // missing, or not a decodable JPEG; nothing was touched
    WriteFailed  // the image on disk is still the previous one
};

struct TShrinkResult {
    TShrinkStatus status = TShrinkStatus::Unreadable;
    QString message; // why, when it failed
};

// Shrinks the JPEG at `path` to `width` pixels wide, keeping the aspect ratio, quality 75.
// The first shrink keeps the full-size file as "{path}.원본"; later ones leave that alone.
// The new picture replaces the file only once it is completely written.
TShrinkResult ShrinkJpegFile(const QString& path, int width);
