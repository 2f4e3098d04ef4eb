#include "common/TestSupport.h"
#include "tagging/ImageFolder.h"
#include "tagging/JpegImage.h"

#include <gtest/gtest.h>

#include <QSize>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {

TBitmap24 Gradient(int w, int h)
{
    TBitmap24 b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b.Row(y) + x * 3;
            p[0] = std::uint8_t(x * 255 / qMax(1, w - 1));
            p[1] = std::uint8_t(y * 255 / qMax(1, h - 1));
            p[2] = std::uint8_t((x + y) % 256);
        }
    return b;
}

QByteArray JpegBytes(const TBitmap24& b)
{
    QByteArray bytes;
    EXPECT_TRUE(EncodeJpeg(b, 90, bytes));
    return bytes;
}

// Grey and CMYK files come from other tools; our encoder writes colour only.
QByteArray JpegOfSpace(J_COLOR_SPACE space, const std::vector<JSAMPLE>& pixel, int w, int h)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    const int components = int(pixel.size());
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row;
    for (int x = 0; x < w; ++x)
        row.insert(row.end(), pixel.begin(), pixel.end());
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray out(reinterpret_cast<const char*>(buf), qsizetype(size));
    std::free(buf);
    return out;
}

QSize SizeOf(const QString& path)
{
    int w = 0, h = 0;
    EXPECT_TRUE(ReadJpegSize(path, w, h)) << path.toStdString();
    return {w, h};
}

} // namespace

TEST(ImageShrink, SizesAndFullSizeBackup)
{
    struct Case {
        int w, h, width;
        QSize expected;
    } cases[] = {
        {1000, 751, 500, {500, 376}}, // 375.5 rounds up
        {640, 480, 320, {320, 240}},
        {11, 3, 10, {10, 3}},
        {1000, 1, 10, {10, 1}},       // 0.01 rows still leaves one row
        {333, 1000, 100, {100, 300}},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        // A folder with a Korean name on the way, as operators name them.
        const QString path = dir.path() + QStringLiteral("/삽화 폴더/%1x%2.jpg").arg(c.w).arg(c.h);
        const QByteArray original = JpegBytes(Gradient(c.w, c.h));
        ASSERT_TRUE(WriteBytes(path, original));
        const TShrinkResult r = ShrinkJpegFile(path, c.width);
        EXPECT_EQ(r.status, TShrinkStatus::Shrunk) << r.message.toStdString();
        EXPECT_EQ(SizeOf(path), c.expected) << c.w << "x" << c.h;
        EXPECT_EQ(ReadBytes(path + ".원본"), original);
    }
}

TEST(ImageShrink, SecondShrinkKeepsFirstBackupAndRestoreBringsItBack)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/0001.jpg";
    const QByteArray original = JpegBytes(Gradient(1000, 751));
    ASSERT_TRUE(WriteBytes(path, original));
    ASSERT_EQ(ShrinkJpegFile(path, 500).status, TShrinkStatus::Shrunk);
    const QByteArray afterFirst = ReadBytes(path);
    ASSERT_EQ(ShrinkJpegFile(path, 200).status, TShrinkStatus::Shrunk);
    EXPECT_EQ(SizeOf(path), QSize(200, 150));
    EXPECT_NE(ReadBytes(path), afterFirst);
    EXPECT_EQ(ReadBytes(path + ".원본"), original);

    const TImageFileResult restored = RestoreFullSize(path);
    EXPECT_TRUE(restored.ok) << restored.message.toStdString();
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_FALSE(QFileInfo::exists(path + ".원본"));

    const TImageFileResult again = RestoreFullSize(path);
    EXPECT_FALSE(again.ok);
    EXPECT_FALSE(again.message.isEmpty());
    EXPECT_EQ(ReadBytes(path), original);
}

TEST(ImageShrink, WidthNotSmallerChangesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/a.jpg";
    const QByteArray original = JpegBytes(Gradient(320, 200));
    ASSERT_TRUE(WriteBytes(path, original));
    for (int width : {320, 321, 5000, 0, -7}) {
        EXPECT_EQ(ShrinkJpegFile(path, width).status, TShrinkStatus::Unchanged) << width;
        EXPECT_EQ(ReadBytes(path), original) << width;
        EXPECT_FALSE(QFileInfo::exists(path + ".원본")) << width;
    }
}

// Nothing may be lost or half-written, and the caller learns why.
TEST(ImageShrink, UnreadableFilesAreLeftAlone)
{
    QTemporaryDir dir;
    const QByteArray good = JpegBytes(Gradient(200, 100));
    struct Case {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"text.jpg", "<p>not a picture</p>\r\n"},
        {"empty.jpg", ""},
        {"truncated.jpg", good.left(good.size() / 2)},
        {"header-only.jpg", good.left(200)},
    };
    for (const Case& c : cases) {
        const QString path = dir.path() + "/" + c.name;
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        const TShrinkResult r = ShrinkJpegFile(path, 50);
        EXPECT_EQ(r.status, TShrinkStatus::Unreadable) << c.name;
        EXPECT_FALSE(r.message.isEmpty()) << c.name;
        EXPECT_EQ(ReadBytes(path), c.bytes) << c.name;
        EXPECT_FALSE(QFileInfo::exists(path + ".원본")) << c.name;
        TBitmap24 b;
        QString why;
        EXPECT_FALSE(DecodeJpegFile(path, b, &why)) << c.name;
        EXPECT_EQ(b.width, 0);
    }
    EXPECT_EQ(ShrinkJpegFile(dir.path() + "/missing.jpg", 50).status, TShrinkStatus::Unreadable);
    QDir(dir.path()).mkdir("folder.jpg");
    EXPECT_EQ(ShrinkJpegFile(dir.path() + "/folder.jpg", 50).status, TShrinkStatus::Unreadable);
}

TEST(ImageShrink, GreyAndCmykFilesShrinkToColour)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QByteArray bytes;
        int expected; // every channel of the result
    } cases[] = {
        {"grey.jpg", JpegOfSpace(JCS_GRAYSCALE, {200}, 120, 80), 200},
        // libjpeg marks CMYK files as Adobe's, inks stored inverted: no colour ink, half the black.
        {"cmyk.jpg", JpegOfSpace(JCS_CMYK, {255, 255, 255, 128}, 120, 80), 128},
    };
    for (const Case& c : cases) {
        const QString path = dir.path() + "/" + c.name;
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        const TShrinkResult r = ShrinkJpegFile(path, 60);
        ASSERT_EQ(r.status, TShrinkStatus::Shrunk) << c.name << r.message.toStdString();
        TBitmap24 b;
        ASSERT_TRUE(DecodeJpegFile(path, b));
        EXPECT_EQ(QSize(b.width, b.height), QSize(60, 40));
        for (std::uint8_t v : b.pixels)
            ASSERT_NEAR(int(v), c.expected, 3) << c.name;
        EXPECT_EQ(ReadBytes(path + ".원본"), c.bytes);
    }
}

TEST(ImageShrink, UniformColourStaysExactlyThatColour)
{
    const std::uint8_t colours[][3] = {{255, 255, 255}, {0, 0, 0}, {200, 17, 255}, {1, 254, 128}};
    const QSize sizes[][2] = {{{1000, 751}, {500, 376}}, {{7, 5}, {3, 2}}, {{2, 2}, {1, 1}}, {{640, 10}, {13, 1}}};
    for (const auto& c : colours)
        for (const auto& s : sizes) {
            TBitmap24 src, dst;
            src.SetSize(s[0].width(), s[0].height());
            for (std::size_t i = 0; i < src.pixels.size(); ++i)
                src.pixels[i] = c[i % 3];
            dst.SetSize(s[1].width(), s[1].height());
            ResampleBilinear(src, dst);
            for (std::size_t i = 0; i < dst.pixels.size(); ++i)
                ASSERT_EQ(dst.pixels[i], c[i % 3]) << s[0].width() << "->" << s[1].width() << " byte " << i;
        }
}

// Worked by hand from the 16.16 steps: 4 x 65536 / 3 rounds to 87381, and the weights
// of the second and third destination pixel come out as 43691/21845 and 21846/43690.
TEST(ImageShrink, ResampleWeightsOfAWorkedExample)
{
    TBitmap24 row, col, dst;
    row.SetSize(5, 1);
    col.SetSize(1, 5);
    for (int i = 0; i < 5; ++i)
        for (int c = 0; c < 3; ++c) {
            row.Row(0)[i * 3 + c] = std::uint8_t(30 * i + c);
            col.Row(i)[c] = std::uint8_t(30 * i + c);
        }
    dst.SetSize(3, 1);
    ResampleBilinear(row, dst);
    EXPECT_EQ(std::vector<std::uint8_t>(dst.pixels), (std::vector<std::uint8_t>{0, 1, 2, 40, 41, 42, 80, 81, 82}));
    dst.SetSize(1, 3);
    ResampleBilinear(col, dst);
    EXPECT_EQ(std::vector<std::uint8_t>(dst.pixels), (std::vector<std::uint8_t>{0, 1, 2, 40, 41, 42, 80, 81, 82}));
}

TEST(ImageShrink, OnePixelImages)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/dot.jpg";
    const QByteArray original = JpegBytes(Gradient(1, 1));
    ASSERT_TRUE(WriteBytes(path, original));
    EXPECT_EQ(ShrinkJpegFile(path, 10).status, TShrinkStatus::Unchanged);
    EXPECT_EQ(ShrinkJpegFile(path, 0).status, TShrinkStatus::Unchanged);
    EXPECT_EQ(ReadBytes(path), original);

    // Resampling a single pixel into a larger bitmap stays inside the source row.
    TBitmap24 dot = Gradient(1, 1), big;
    big.SetSize(3, 2);
    ResampleBilinear(dot, big);
    for (std::size_t i = 0; i < big.pixels.size(); ++i)
        EXPECT_EQ(big.pixels[i], dot.pixels[i % 3]);
}
