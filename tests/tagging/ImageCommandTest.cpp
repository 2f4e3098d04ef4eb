#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "tagging/JpegImage.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

QByteArray Picture(int w, int h)
{
    TBitmap24 b;
    b.SetSize(w, h);
    for (std::size_t i = 0; i < b.pixels.size(); ++i)
        b.pixels[i] = std::uint8_t(i * 7);
    QByteArray bytes;
    EXPECT_TRUE(EncodeJpeg(b, 90, bytes));
    return bytes;
}

} // namespace

TEST(ImageCommands, RefusalsChangeNothing)
{
    if (!QuiloBuilt())
        GTEST_SKIP() << "quilo is not built";
    QTemporaryDir dir;
    const QString image = dir.path() + "/삽화/0001.jpg";
    const QString text = dir.path() + "/notes.jpg";
    const QByteArray original = Picture(320, 200);
    ASSERT_TRUE(WriteBytes(image, original));
    ASSERT_TRUE(WriteBytes(text, "just text\r\n"));

    struct Case {
        QStringList args;
        int exit;
        QString err; // the message's beginning
    } cases[] = {
        {{"shrink"}, 2, ""},
        {{"shrink", image}, 2, ""},
        {{"shrink", image, "abc"}, 2, ""},
        {{"shrink", image, "9"}, 1, "지정 크기가 너무 작습니다."},
        {{"shrink", image, "321"}, 1, "크기를 늘일 수는 없습니다."},
        {{"shrink", text, "100"}, 1, "JPEG 파일을 읽을 수 없습니다"},
        {{"shrink", dir.path() + "/none.jpg", "100"}, 1, "파일을 열 수 없습니다"},
        {{"restore-image", image}, 1, "원본 파일이 없습니다"},
        {{"restore-image"}, 2, ""},
    };
    for (const Case& c : cases) {
        const CmdResult r = Quilo(c.args);
        EXPECT_EQ(r.exit, c.exit) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.err)) << r.err.toStdString();
    }
    EXPECT_EQ(ReadBytes(image), original);
    EXPECT_EQ(ReadBytes(text), "just text\r\n");
    EXPECT_TRUE(QDir(dir.path() + "/삽화").entryList(QDir::Files) == QStringList({"0001.jpg"}));
}

TEST(ImageCommands, ShrinkTwiceThenRestore)
{
    if (!QuiloBuilt())
        GTEST_SKIP() << "quilo is not built";
    QTemporaryDir dir;
    const QString image = dir.path() + "/0001.jpg";
    const QByteArray original = Picture(1000, 751);
    ASSERT_TRUE(WriteBytes(image, original));

    struct Step {
        QStringList args;
        QString out;
    } steps[] = {
        {{"shrink", image, "500"}, "500x376\n"},
        {{"shrink", image, "500"}, "500x376\n"}, // same width: nothing to do, still a success
        {{"shrink", image, "100"}, "100x75\n"},
        {{"restore-image", image}, "1000x751\n"},
    };
    for (const Step& s : steps) {
        const CmdResult r = Quilo(s.args);
        EXPECT_EQ(r.exit, 0) << s.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out, s.out) << s.args.join(' ').toStdString();
    }
    EXPECT_EQ(ReadBytes(image), original);
    EXPECT_FALSE(QFileInfo::exists(image + ".원본"));
}
