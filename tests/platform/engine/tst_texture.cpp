#include "velmora/Image.h"
#include "velmora/Texture.h"

#include <QtTest>

using Velmora::Image;
using Velmora::Texture;
using Velmora::vec4;

namespace {

bool near(const vec4 &a, const vec4 &b)
{
    return (a - b).length() < 1e-5f;
}

QByteArray text(const vec4 &v)
{
    return QByteArray::number(v.x) + " " + QByteArray::number(v.y) + " " + QByteArray::number(v.z) + " "
            + QByteArray::number(v.w);
}

} // namespace

class TestTexture : public QObject
{
    Q_OBJECT

private slots:
    void sides_outside_one_to_8192_are_refused_and_keep_the_texture_data();
    void sides_outside_one_to_8192_are_refused_and_keep_the_texture();
    void get_image_copies_rows_in_texture_order_in_the_format_s_image_format_data();
    void get_image_copies_rows_in_texture_order_in_the_format_s_image_format();
    void an_image_s_top_row_becomes_the_texture_s_top_row();
    void swap_exchanges_contents_sizes_formats_and_flags();
    void mipmaps_are_a_chain_of_2x2_box_averages_down_to_one_texel();
    void bilinear_samples_blend_neighbours_and_repeat_across_edges_data();
    void bilinear_samples_blend_neighbours_and_repeat_across_edges();
};

void TestTexture::sides_outside_one_to_8192_are_refused_and_keep_the_texture_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("largest side") << 8192 << 1 << true;
    QTest::newRow("one too wide") << 8193 << 4 << false;
    QTest::newRow("one too high") << 4 << 8193 << false;
    QTest::newRow("zero width") << 0 << 4 << false;
    QTest::newRow("negative height") << 4 << -1 << false;
}

void TestTexture::sides_outside_one_to_8192_are_refused_and_keep_the_texture()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, accepted);
    Velmora::Ptr<Texture> texture = Texture::create();
    QVERIFY(texture->create2D(3, 2, Texture::FORMAT_R8, 7));
    texture->set(1, 1, vec4(0.5f));
    QCOMPARE(texture->create2D(width, height, Texture::FORMAT_RGBA8, 9), accepted);
    if (accepted) {
        QCOMPARE(texture->getWidth(), width);
        QCOMPARE(texture->getHeight(), height);
        QCOMPARE(texture->getFlags(), 9);
        QVERIFY(near(texture->get(0, 0), vec4(0.0f)));
    } else {
        QCOMPARE(texture->getWidth(), 3);
        QCOMPARE(texture->getHeight(), 2);
        QCOMPARE(texture->getFormat(), int(Texture::FORMAT_R8));
        QCOMPARE(texture->getFlags(), 7);
        QVERIFY(near(texture->get(1, 1), vec4(0.5f)));
    }
}

void TestTexture::get_image_copies_rows_in_texture_order_in_the_format_s_image_format_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("image_format");
    QTest::newRow("0: R8") << 0 << int(Image::FORMAT_R8);
    QTest::newRow("3: RGBA8") << 3 << int(Image::FORMAT_RGBA8);
    QTest::newRow("16: R32F") << 16 << int(Image::FORMAT_R32F);
    QTest::newRow("other: RGBA8") << 24 << int(Image::FORMAT_RGBA8);
}

void TestTexture::get_image_copies_rows_in_texture_order_in_the_format_s_image_format()
{
    QFETCH(int, format);
    QFETCH(int, image_format);
    Texture texture;
    QVERIFY(texture.create2D(2, 3, format));
    // Row 0 is the bottom row: it lands in the image's row 0 as it is.
    texture.set(0, 0, vec4(0.2f, 0.4f, 0.6f, 0.8f));
    texture.set(1, 2, vec4(1.5f, 0.0f, 1.0f, 1.0f));
    const Velmora::Ptr<Image> image = Image::create();
    QVERIFY(texture.getImage(image));
    QCOMPARE(image->getFormat(), image_format);
    QCOMPARE(image->getWidth(), 2);
    QCOMPARE(image->getHeight(), 3);
    const Image::Pixel bottom = image->get2D(0, 0);
    const Image::Pixel top = image->get2D(1, 2);
    if (image_format == Image::FORMAT_R32F) {
        QCOMPARE(bottom.f.r, 0.2f);
        QCOMPARE(top.f.r, 1.5f); // floats are not clamped
    } else {
        QCOMPARE(bottom.i.r, 51);
        QCOMPARE(top.i.r, 255);
        if (image_format == Image::FORMAT_RGBA8) {
            QCOMPARE(bottom.i.g, 102);
            QCOMPARE(bottom.i.b, 153);
            QCOMPARE(bottom.i.a, 204);
        }
    }
    QCOMPARE(image->get2D(1, 0).i.r, 0);
}

void TestTexture::an_image_s_top_row_becomes_the_texture_s_top_row()
{
    Image gray;
    QVERIFY(gray.create2D(2, 2, Image::FORMAT_R8));
    gray.set2D(0, 0, Image::Pixel::fromInt(255, 0, 0));
    Texture texture;
    QVERIFY(texture.setImage(gray, 5));
    QCOMPARE(texture.getFormat(), int(Texture::FORMAT_R8));
    QCOMPARE(texture.getFlags(), 5);
    // Gray fills the colour channels; the image's row 0 is the texture's top.
    QVERIFY2(near(texture.get(0, 1), vec4(1.0f, 1.0f, 1.0f, 1.0f)), text(texture.get(0, 1)));
    QVERIFY(near(texture.get(0, 0), vec4(0.0f, 0.0f, 0.0f, 1.0f)));

    Image color;
    QVERIFY(color.create2D(1, 2, Image::FORMAT_RGBA8));
    color.set2D(0, 1, Image::Pixel::fromInt(0, 255, 0, 0));
    QVERIFY(texture.setImage(color));
    QCOMPARE(texture.getFormat(), int(Texture::FORMAT_RGBA8));
    QVERIFY(near(texture.get(0, 0), vec4(0.0f, 1.0f, 0.0f, 0.0f)));
    // Reading it back gives the rows in texture order: the image upside down.
    Image back;
    QVERIFY(texture.getImage(back));
    QCOMPARE(back.get2D(0, 0).i.g, 255);
    QVERIFY(!texture.setImage(Image()));
}

void TestTexture::swap_exchanges_contents_sizes_formats_and_flags()
{
    Velmora::Ptr<Texture> a = Texture::create();
    Velmora::Ptr<Texture> b = Texture::create();
    QVERIFY(a->create2D(4, 2, Texture::FORMAT_RGBA8, 0x8002000));
    QVERIFY(b->create2D(1, 3, Texture::FORMAT_R32F, 0x80000E0));
    a->fill(vec4(1.0f));
    b->fill(vec4(0.25f));
    a->swap(b);
    QCOMPARE(a->getWidth(), 1);
    QCOMPARE(a->getHeight(), 3);
    QCOMPARE(a->getFormat(), int(Texture::FORMAT_R32F));
    QCOMPARE(a->getFlags(), 0x80000E0);
    QVERIFY(near(a->get(0, 2), vec4(0.25f)));
    QCOMPARE(b->getWidth(), 4);
    QCOMPARE(b->getFlags(), 0x8002000);
    QVERIFY(near(b->get(3, 1), vec4(1.0f)));
}

void TestTexture::mipmaps_are_a_chain_of_2x2_box_averages_down_to_one_texel()
{
    Texture texture;
    QVERIFY(!texture.createMipmaps());
    QVERIFY(texture.create2D(4, 2, Texture::FORMAT_RGBA8));
    for (int x = 0; x < 4; ++x) {
        texture.set(x, 0, vec4(float(x)));
        texture.set(x, 1, vec4(float(x) + 4.0f));
    }
    QVERIFY(texture.createMipmaps());
    QCOMPARE(texture.getNumMipmaps(), 3);
    QCOMPARE(texture.getWidth(1), 2);
    QCOMPARE(texture.getHeight(1), 1);
    QVERIFY2(near(texture.get(0, 0, 1), vec4(2.5f)), text(texture.get(0, 0, 1))); // (0 + 1 + 4 + 5) / 4
    QVERIFY(near(texture.get(1, 0, 1), vec4(4.5f)));
    QCOMPARE(texture.getWidth(2), 1);
    QVERIFY(near(texture.get(0, 0, 2), vec4(3.5f)));

    // An odd side leaves its last texel out; making the chain again replaces it.
    QVERIFY(texture.create2D(3, 1, Texture::FORMAT_RGBA8));
    texture.set(2, 0, vec4(4.0f));
    QVERIFY(texture.createMipmaps());
    QVERIFY(texture.createMipmaps());
    QCOMPARE(texture.getNumMipmaps(), 2);
    QVERIFY(near(texture.get(0, 0, 1), vec4(0.0f)));
}

void TestTexture::bilinear_samples_blend_neighbours_and_repeat_across_edges_data()
{
    QTest::addColumn<float>("u");
    QTest::addColumn<float>("v");
    QTest::addColumn<float>("expected");
    // Texel centres of a 4x2 texture sit at u = 0.125 + k / 4, v = 0.25, 0.75.
    QTest::newRow("texel centre") << 0.375f << 0.25f << 1.0f;
    QTest::newRow("between two texels") << 0.25f << 0.25f << 0.5f;
    QTest::newRow("between rows") << 0.375f << 0.5f << 3.0f;
    QTest::newRow("left edge blends with the right column") << 0.0f << 0.25f << 1.5f;
    QTest::newRow("beyond one repeats") << 1.375f << 0.25f << 1.0f;
    QTest::newRow("below zero repeats") << -0.625f << 0.25f << 1.0f;
}

void TestTexture::bilinear_samples_blend_neighbours_and_repeat_across_edges()
{
    QFETCH(float, u);
    QFETCH(float, v);
    QFETCH(float, expected);
    Texture texture;
    QVERIFY(texture.create2D(4, 2, Texture::FORMAT_RGBA8));
    // Bottom row 0 1 2 3, top row 5 5 5 5.
    for (int x = 0; x < 4; ++x) {
        texture.set(x, 0, vec4(float(x), 0.0f, 0.0f, 1.0f));
        texture.set(x, 1, vec4(5.0f, 0.0f, 0.0f, 1.0f));
    }
    QCOMPARE(texture.sample(u, v).x, expected);
    QCOMPARE(texture.sample(u, v).w, 1.0f);
    QCOMPARE(texture.sampleNearest(0.99f, 0.1f).x, 3.0f);
}

QTEST_GUILESS_MAIN(TestTexture)
#include "tst_texture.moc"
