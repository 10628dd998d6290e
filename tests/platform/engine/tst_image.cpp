#include "velmora/Image.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using Velmora::Image;

namespace {

// A pattern that differs per pixel and channel, with values in 0..1
// (float formats also get values above 1 and below 0).
Image pattern(int format, int w = 7, int h = 5)
{
    Image image;
    image.create2D(w, h, format);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const int r = (x * 37 + y * 11) % 256, g = (x * 5 + y * 61) % 256, b = (x * 90 + y * 7) % 256;
            const int a = 255 - (x * 20 + y * 9) % 200;
            if (image.isFloatFormat())
                image.set2D(x, y, Image::Pixel::fromFloat(r / 64.0f - 1.0f, g / 255.0f, b / 128.0f, a / 255.0f));
            else
                image.set2D(x, y, Image::Pixel::fromInt(r, g, b, a));
        }
    }
    return image;
}

// Channel values of both images agree within tolerance over the channels of
// the expected format (float channels as floats, byte channels as bytes).
bool samePixels(const Image &a, const Image &b, float tolerance, QByteArray &why)
{
    if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight()) {
        why = "sizes differ";
        return false;
    }
    for (int y = 0; y < a.getHeight(); y++) {
        for (int x = 0; x < a.getWidth(); x++) {
            const Image::Pixel p = a.get2D(x, y), q = b.get2D(x, y);
            const float pa[4] = {p.f.r, p.f.g, p.f.b, p.f.a}, qa[4] = {q.f.r, q.f.g, q.f.b, q.f.a};
            for (int c = 0; c < 4; c++) {
                if (std::fabs(pa[c] - qa[c]) > tolerance) {
                    why = QByteArray("pixel ") + QByteArray::number(x) + "," + QByteArray::number(y) + " channel "
                            + QByteArray::number(c) + ": " + QByteArray::number(pa[c]) + " vs "
                            + QByteArray::number(qa[c]);
                    return false;
                }
            }
        }
    }
    return true;
}

} // namespace

class TestImage : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

    QByteArray path(const char *name) const { return dir_.filePath(QString::fromUtf8(name)).toUtf8(); }

private slots:
    void files_round_trip_per_format_data()
    {
        QTest::addColumn<QByteArray>("extension");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("loaded_format");
        QTest::addColumn<float>("tolerance");
        const float byte = 0.5f / 255.0f;
        QTest::newRow("png R8") << QByteArray("png") << 0 << 0 << byte;
        QTest::newRow("png RG8 as RGB") << QByteArray("png") << 1 << 2 << byte;
        QTest::newRow("png RGB8") << QByteArray("png") << 2 << 2 << byte;
        QTest::newRow("png RGBA8") << QByteArray("png") << 3 << 3 << byte;
        QTest::newRow("jpg RGB8") << QByteArray("jpg") << 2 << 2 << 0.03f; // lossy: a solid colour
        QTest::newRow("tga R8") << QByteArray("tga") << 0 << 0 << byte;
        QTest::newRow("tga RGB8") << QByteArray("tga") << 2 << 2 << byte;
        QTest::newRow("tga RGBA8") << QByteArray("tga") << 3 << 3 << byte;
        QTest::newRow("psd R8") << QByteArray("psd") << 0 << 0 << byte;
        QTest::newRow("psd RGB8") << QByteArray("psd") << 2 << 2 << byte;
        QTest::newRow("psd RGBA8") << QByteArray("psd") << 3 << 3 << byte;
        QTest::newRow("dds R8") << QByteArray("dds") << 0 << 0 << 0.0f;
        QTest::newRow("dds RG8") << QByteArray("dds") << 1 << 1 << 0.0f;
        QTest::newRow("dds RGB8 as RGBA") << QByteArray("dds") << 2 << 3 << 0.0f;
        QTest::newRow("dds RGBA8") << QByteArray("dds") << 3 << 3 << 0.0f;
        QTest::newRow("dds R32F") << QByteArray("dds") << 8 << 8 << 0.0f;
        QTest::newRow("dds RGBA16F") << QByteArray("dds") << 11 << 11 << 0.0f;
        QTest::newRow("dds RGBA32F as half") << QByteArray("dds") << 15 << 11 << 0.002f;
        QTest::newRow("dds RGB16F as RGBA half") << QByteArray("dds") << 10 << 11 << 0.0f;
        QTest::newRow("exr RGBA16F") << QByteArray("exr") << 11 << 11 << 0.0f;
        QTest::newRow("exr RGB16F") << QByteArray("exr") << 10 << 10 << 0.0f;
        QTest::newRow("exr RGBA8 as half") << QByteArray("exr") << 3 << 11 << 0.002f;
    }
    void files_round_trip_per_format()
    {
        QFETCH(QByteArray, extension);
        QFETCH(int, format);
        QFETCH(int, loaded_format);
        QFETCH(float, tolerance);
        Image source = pattern(format);
        if (extension == "jpg")
            source.fill(Image::Pixel::fromInt(200, 100, 50));
        const QByteArray file = path(("round." + extension).constData());
        QVERIFY(source.save(file.constData()));
        Image loaded;
        QVERIFY(loaded.load(file.constData()));
        QCOMPARE(loaded.getFormat(), loaded_format);
        Image expected = source;
        QVERIFY(expected.convertToFormat(loaded_format));
        QByteArray why;
        QVERIFY2(samePixels(loaded, expected, tolerance, why), why.constData());
    }

    void png_files_are_readable_by_other_programs()
    {
        const Image source = pattern(Image::FORMAT_RGBA8);
        QVERIFY(source.save(path("qt.png").constData()));
        QImage qt(QString::fromUtf8(path("qt.png")));
        QCOMPARE(qt.size(), QSize(7, 5));
        const QRgb top_right = qt.pixel(6, 0);
        const Image::Pixel p = source.get2D(6, 0);
        QCOMPARE(qRed(top_right), p.i.r);
        QCOMPARE(qAlpha(top_right), p.i.a);
    }

    void bottom_up_and_run_length_tga_files_read_top_down()
    {
        // 2x2 gray, bottom-left origin, one RLE packet of 2 and one raw packet of 2.
        QByteArray tga;
        tga.append(char(0)).append(char(0)).append(char(11)).append(QByteArray(9, '\0'));
        tga.append(char(2)).append(char(0)).append(char(2)).append(char(0)).append(char(8)).append(char(0));
        tga.append(char(0x81)).append(char(10)); // bottom row: 10 10
        tga.append(char(0x01)).append(char(20)).append(char(30)); // top row: 20 30
        QFile file(QString::fromUtf8(path("rle.tga")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(tga);
        file.close();
        Image image;
        QVERIFY(image.load(path("rle.tga").constData()));
        QCOMPARE(image.get2D(0, 0).i.r, 20);
        QCOMPARE(image.get2D(1, 0).i.r, 30);
        QCOMPARE(image.get2D(1, 1).i.r, 10);
    }

    void dds_keeps_layers_and_mip_levels()
    {
        Image array;
        QVERIFY(array.create2DArray(4, 2, 3, Image::FORMAT_RGBA8, 0));
        QCOMPARE(array.getNumMipmaps(), 3);
        for (int layer = 0; layer < 3; layer++)
            for (int mip = 0; mip < 3; mip++)
                array.set2D(0, 0, Image::Pixel::fromInt(layer * 10 + mip, 0, 0), layer, mip);
        QVERIFY(array.save(path("array.dds").constData()));
        Image loaded;
        QVERIFY(loaded.load(path("array.dds").constData()));
        QCOMPARE(loaded.getType(), int(Image::IMAGE_2D_ARRAY));
        QCOMPARE(loaded.getNumLayers(), 3);
        QCOMPARE(loaded.getNumMipmaps(), 3);
        QCOMPARE(loaded.get2D(0, 0, 2, 1).i.r, 21);
    }

    void bad_files_fail_and_leave_the_image_unchanged_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("garbage png") << QByteArray("bad.png") << QByteArray("not a png at all");
        QTest::newRow("truncated dds") << QByteArray("bad.dds") << QByteArray("DDS \x7c\0\0\0", 8);
        QTest::newRow("tga with a colour map")
                << QByteArray("bad.tga") << (QByteArray("\0\1\1", 3) + QByteArray(15, '\0'));
        QTest::newRow("truncated tga") << QByteArray(
                "short.tga") << (QByteArray("\0\0\2", 3) + QByteArray(9, '\0') + QByteArray("\x10\0\x10\0\x18\0", 6));
        QTest::newRow("psd version 2") << QByteArray("bad.psd") << QByteArray("8BPS\0\2", 6);
        QTest::newRow("truncated exr") << QByteArray("bad.exr") << QByteArray("\x76\x2f\x31\x01\x02\0\0\0", 8);
        QTest::newRow("unknown extension") << QByteArray("image.bmpx") << QByteArray("x");
    }
    void bad_files_fail_and_leave_the_image_unchanged()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, bytes);
        QFile file(QString::fromUtf8(path(name.constData())));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        Image image = pattern(Image::FORMAT_RGB8);
        QVERIFY(!image.load(path(name.constData()).constData()));
        QCOMPARE(image.getWidth(), 7);
        QCOMPARE(image.getFormat(), int(Image::FORMAT_RGB8));
        QVERIFY(!image.load(path("missing.png").constData()));
    }

    void conversion_drops_fills_and_clamps()
    {
        Image image;
        QVERIFY(image.create2D(1, 1, Image::FORMAT_RGBA32F));
        image.set2D(0, 0, Image::Pixel::fromFloat(1.5f, -0.5f, 0.5f, 0.25f));
        QVERIFY(image.convertToFormat(Image::FORMAT_RGBA8));
        Image::Pixel p = image.get2D(0, 0);
        QCOMPARE(p.i.r, 255);
        QCOMPARE(p.i.g, 0);
        QCOMPARE(p.i.b, 128);
        QCOMPARE(p.i.a, 64);
        QVERIFY(image.convertToFormat(Image::FORMAT_R8));
        QCOMPARE(image.getNumChannels(), 1);
        QVERIFY(image.convertToFormat(Image::FORMAT_RGBA8));
        p = image.get2D(0, 0);
        QCOMPARE(p.i.r, 255);
        QCOMPARE(p.i.g, 0); // zero-filled
        QCOMPARE(p.i.a, 255); // alpha fills with 1
        QVERIFY(!image.convertToFormat(5));
        QVERIFY(!Image().convertToFormat(Image::FORMAT_R8));
    }

    void half_floats_round_to_nearest()
    {
        QCOMPARE(Image::halfToFloat(Image::floatToHalf(0.5f)), 0.5f);
        QCOMPARE(Image::halfToFloat(Image::floatToHalf(65504.0f)), 65504.0f);
        QVERIFY(std::isinf(Image::halfToFloat(Image::floatToHalf(70000.0f))));
        QCOMPARE(Image::halfToFloat(Image::floatToHalf(-2.0f)), -2.0f);
        QCOMPARE(Image::halfToFloat(Image::floatToHalf(1.0f / 16384.0f / 4.0f)), 1.0f / 65536.0f); // subnormal
        QCOMPARE(Image::halfToFloat(Image::floatToHalf(1.0f + 1.0f / 4096.0f)), 1.0f); // ties to even
        QCOMPARE(Image::floatToHalf(1.0f), uint16_t(0x3c00));
    }

    void resizing_interpolates_up_and_averages_down()
    {
        Image image;
        QVERIFY(image.create2D(4, 2, Image::FORMAT_R32F));
        const float values[2][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}};
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 4; x++)
                image.set2D(x, y, Image::Pixel::fromFloat(values[y][x], 0, 0));
        Image down = image;
        QVERIFY(down.resize(2, 1, Image::FILTER_LINEAR));
        QCOMPARE(down.get2D(0, 0).f.r, 2.5f); // mean of 0 1 4 5
        QCOMPARE(down.get2D(1, 0).f.r, 4.5f);

        Image up = image;
        QVERIFY(up.resize(8, 2, Image::FILTER_LINEAR));
        QCOMPARE(up.get2D(0, 0).f.r, 0.0f); // edges clamp
        QCOMPARE(up.get2D(1, 0).f.r, 0.25f);
        QCOMPARE(up.get2D(7, 1).f.r, 7.0f);

        QVERIFY(!up.resize(0, 5));
        QVERIFY(!up.resize(5, 5, 7));
        QCOMPARE(up.getWidth(), 8);
    }

    void flips_and_copies_move_pixels()
    {
        Image image = pattern(Image::FORMAT_RGB8, 3, 4);
        const Image original = image;
        QVERIFY(image.flipY());
        QCOMPARE(image.get2D(1, 0).i.g, original.get2D(1, 3).i.g);
        QCOMPARE(image.get2D(2, 2).i.b, original.get2D(2, 1).i.b);

        Image target;
        QVERIFY(target.create2D(4, 4, Image::FORMAT_RGBA16F));
        // Region partly outside both images: only the overlap is copied.
        QVERIFY(target.copy(original, 2, -1, 0, 0, 3, 3));
        QCOMPARE(target.get2D(2, 0).i.r, original.get2D(0, 1).i.r);
        QCOMPARE(target.get2D(3, 1).i.g, original.get2D(1, 2).i.g);
        QCOMPARE(target.get2D(1, 0).i.r, 0);
        QCOMPARE(target.get2D(0, 0).f.a, 0.0f);
        QVERIFY(!target.copy(original, 10, 10, 0, 0, 3, 3));

        Image array;
        QVERIFY(array.create2DArray(3, 4, 2, Image::FORMAT_RGBA8));
        QVERIFY(array.copy(original, 1));
        QCOMPARE(array.get2D(2, 3, 1).i.b, original.get2D(2, 3).i.b);
        QCOMPARE(array.get2D(2, 3, 0).i.b, 0);
        QVERIFY(!array.copy(target, 0)); // size differs
    }

    void creation_refuses_bad_formats_and_sizes_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("format");
        QTest::newRow("format 5") << 4 << 4 << 5;
        QTest::newRow("format 16") << 4 << 4 << 16;
        QTest::newRow("zero width") << 0 << 4 << 3;
        QTest::newRow("too high") << 4 << Image::MAX_SIZE + 1 << 3;
    }
    void creation_refuses_bad_formats_and_sizes()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, format);
        Image image;
        QVERIFY(!image.create2D(width, height, format));
        QVERIFY(image.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestImage)
#include "tst_image.moc"
