#include "engine_runtime_fixture.h"

#include "velmora/Material.h"
#include "velmora/Materials.h"
#include "velmora/RenderRitual.h"
#include "velmora/RenderTarget.h"
#include "velmora/Texture.h"

#include <QtTest>

using namespace enginetest;
using Velmora::Material;
using Velmora::Materials;
using Velmora::Ptr;
using Velmora::RenderRitual;
using Velmora::RenderTarget;
using Velmora::Texture;
using Velmora::vec4;

namespace {

Ptr<Texture> texture(int width, int height, const vec4 &fill = vec4())
{
    Ptr<Texture> t = Texture::create();
    t->create2D(width, height, Texture::FORMAT_RGBA8);
    t->fill(fill);
    return t;
}

bool near(const vec4 &a, const vec4 &b, float epsilon = 1e-5f)
{
    return (a - b).length() < epsilon;
}

QByteArray text(const vec4 &v)
{
    return QByteArray::number(v.x) + " " + QByteArray::number(v.y) + " " + QByteArray::number(v.z) + " "
            + QByteArray::number(v.w);
}

Ptr<Material> base(const char *name)
{
    return Materials::findBaseMaterial(name);
}

} // namespace

class TestRenderRitual : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void extrude_fills_the_ring_around_covered_pixels_data();
    void extrude_fills_the_ring_around_covered_pixels();
    void repeated_dilation_reaches_one_pixel_further_per_pass_and_matches_a_single_thread();
    void channel_passes_move_one_channel();
    void blend_keeps_the_union_of_two_masks();
    void compose_turns_four_lit_luminances_into_a_unit_normal();
    void soften_blurs_only_over_covered_pixels();
    void copy_halves_by_box_and_resamples_other_sizes_bilinearly();
    void failures_render_nothing_and_say_why_data();
    void failures_render_nothing_and_say_why();

private:
    Installation *installation_ = nullptr;
    Ptr<RenderTarget> target_;
};

void TestRenderRitual::initTestCase()
{
    installation_ = new Installation;
    QVERIFY(installation_->start());
    target_ = RenderTarget::create();
}

void TestRenderRitual::cleanupTestCase()
{
    target_ = Ptr<RenderTarget>();
    delete installation_;
}

void TestRenderRitual::cleanup()
{
    RenderRitual::setMaxThreads(0);
    base("extrude_post")->setState("is_separate_alpha_texture", 0);
}

void TestRenderRitual::extrude_fills_the_ring_around_covered_pixels_data()
{
    QTest::addColumn<bool>("separate");
    QTest::newRow("coverage in the colour alpha") << false;
    QTest::newRow("coverage in a separate alpha texture") << true;
}

void TestRenderRitual::extrude_fills_the_ring_around_covered_pixels()
{
    QFETCH(bool, separate);
    // Two covered pixels side by side, red and blue, in a 6 x 5 texture.
    Ptr<Texture> color = texture(6, 5);
    Ptr<Texture> alpha = texture(6, 5);
    // With separate alpha the colour alpha is data (0.25) and must survive.
    const float data_alpha = separate ? 0.25f : 1.0f;
    color->set(2, 2, vec4(1.0f, 0.0f, 0.0f, data_alpha));
    color->set(3, 2, vec4(0.0f, 0.0f, 1.0f, data_alpha));
    alpha->set(2, 2, vec4(1.0f, 1.0f, 1.0f, 1.0f));
    alpha->set(3, 2, vec4(1.0f, 1.0f, 1.0f, 1.0f));
    if (separate)
        color->set(0, 0, vec4(0.5f, 0.5f, 0.5f, 0.75f)); // data alpha on an uncovered pixel: not coverage
    base("extrude_post")->setState("is_separate_alpha_texture", separate ? 1 : 0);

    Ptr<Texture> out_color = texture(6, 5, vec4(9.0f));
    Ptr<Texture> out_alpha = texture(6, 5, vec4(9.0f));
    if (separate)
        QVERIFY(RenderRitual(target_, {out_color, out_alpha}).render(base("extrude_post"), {color, alpha}));
    else
        QVERIFY(RenderRitual(target_, {out_color}).render(base("extrude_post"), {color}));

    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            const vec4 got = out_color->get(x, y);
            const bool original = y == 2 && (x == 2 || x == 3);
            const bool ring = !original && y >= 1 && y <= 3 && x >= 1 && x <= 4;
            vec4 want = color->get(x, y);
            if (ring) {
                // Mean of the covered neighbours' colours.
                const bool sees_red = x <= 3;
                const bool sees_blue = x >= 2;
                want = sees_red && sees_blue ? vec4(0.5f, 0.0f, 0.5f, data_alpha)
                        : sees_red           ? vec4(1.0f, 0.0f, 0.0f, data_alpha)
                                             : vec4(0.0f, 0.0f, 1.0f, data_alpha);
                if (!separate)
                    want.w = 1.0f;
            }
            QVERIFY2(near(got, want), QByteArray::number(x) + "," + QByteArray::number(y) + ": " + text(got));
            if (separate) {
                const vec4 marked = out_alpha->get(x, y);
                QCOMPARE(marked.w, original || ring ? 1.0f : 0.0f);
            }
        }
    }
}

void TestRenderRitual::repeated_dilation_reaches_one_pixel_further_per_pass_and_matches_a_single_thread()
{
    // One covered pixel in the middle of a 33 x 33 texture, dilated in place
    // (the input is also the output) five times.
    auto dilate = [this](int passes) {
        Ptr<Texture> t = texture(33, 33);
        t->set(16, 16, vec4(0.2f, 0.4f, 0.6f, 1.0f));
        for (int i = 0; i < passes; ++i)
            RenderRitual(target_, {t}).render(base("extrude_post"), {t});
        return t;
    };
    const Ptr<Texture> parallel = dilate(5);
    for (int y = 0; y < 33; ++y) {
        for (int x = 0; x < 33; ++x) {
            const bool inside = std::abs(x - 16) <= 5 && std::abs(y - 16) <= 5;
            QCOMPARE(parallel->get(x, y).w, inside ? 1.0f : 0.0f);
            if (inside)
                QVERIFY(near(parallel->get(x, y), vec4(0.2f, 0.4f, 0.6f, 1.0f)));
        }
    }
    RenderRitual::setMaxThreads(1);
    const Ptr<Texture> single = dilate(5);
    QVERIFY(std::equal(parallel->getPixels(), parallel->getPixels() + 33 * 33, single->getPixels()));
}

void TestRenderRitual::channel_passes_move_one_channel()
{
    Ptr<Texture> in = texture(2, 2, vec4(0.1f, 0.2f, 0.3f, 0.4f));
    Ptr<Texture> other = texture(2, 2, vec4(0.9f, 0.8f, 0.7f, 0.6f));
    Ptr<Texture> out = texture(2, 2);

    base("read_channel_post")->setState("channel", 3);
    QVERIFY(RenderRitual(target_, {out}).render(base("read_channel_post"), {in}));
    QVERIFY(near(out->get(1, 1), vec4(0.4f, 0.0f, 0.0f, 0.0f)));

    base("write_channel_post")->setState("in_channel", 0);
    base("write_channel_post")->setState("out_channel", 3);
    QVERIFY(RenderRitual(target_, {out}).render(base("write_channel_post"), {in, other}));
    QVERIFY(near(out->get(0, 1), vec4(0.1f, 0.2f, 0.3f, 0.9f)));
}

void TestRenderRitual::blend_keeps_the_union_of_two_masks()
{
    Ptr<Texture> a = texture(3, 1);
    Ptr<Texture> b = texture(3, 1);
    a->set(0, 0, vec4(1.0f, 0.0f, 0.0f, 1.0f));
    b->set(2, 0, vec4(1.0f, 0.0f, 0.0f, 1.0f));
    // Blend into one of its own inputs, as the accumulation does.
    QVERIFY(RenderRitual(target_, {a}).render(base("impostor_blend_silhouettes"), {a, b}));
    QCOMPARE(a->get(0, 0).x, 1.0f);
    QCOMPARE(a->get(1, 0).x, 0.0f);
    QCOMPARE(a->get(2, 0).x, 1.0f);
}

void TestRenderRitual::compose_turns_four_lit_luminances_into_a_unit_normal()
{
    // Lambert light of colour 1: lit from +X gives max(0, n.x) and so on.
    const Velmora::vec3 n = Velmora::Math::normalize(Velmora::vec3(0.3f, -0.5f, 0.7f));
    auto lit = [](float v, float a) { return texture(1, 1, vec4(v, v, v, a)); };
    Ptr<Texture> out = texture(1, 1);
    QVERIFY(RenderRitual(target_, {out})
                    .render(base("impostor_compose_veg_normal_post"),
                            {lit(std::max(0.0f, n.x), 1.0f), lit(std::max(0.0f, -n.x), 0.0f),
                             lit(std::max(0.0f, n.y), 0.0f), lit(std::max(0.0f, -n.y), 1.0f)}));
    const vec4 got = out->get(0, 0);
    QVERIFY2(near(got, vec4(n * 0.5f + Velmora::vec3(0.5f), 1.0f), 1e-4f), text(got));
}

void TestRenderRitual::soften_blurs_only_over_covered_pixels()
{
    // 50 wide: radius 1 pixel. A covered bright pixel beside an uncovered
    // black one keeps its value; an uncovered pixel takes its covered
    // neighbours' mean but stays uncovered.
    Ptr<Texture> in = texture(50, 3);
    in->set(10, 1, vec4(1.0f, 1.0f, 1.0f, 1.0f));
    in->set(20, 1, vec4(1.0f, 1.0f, 1.0f, 1.0f));
    in->set(21, 1, vec4(0.0f, 0.0f, 0.0f, 1.0f));
    Ptr<Texture> out = texture(50, 3);
    QVERIFY(RenderRitual(target_, {out}).render(base("impostor_soften_translucence_post"), {in}));
    QVERIFY(near(out->get(10, 1), vec4(1.0f, 1.0f, 1.0f, 1.0f)));
    QVERIFY(near(out->get(11, 1), vec4(1.0f, 1.0f, 1.0f, 0.0f)));
    QVERIFY(near(out->get(20, 1), vec4(0.5f, 0.5f, 0.5f, 1.0f)));
    QVERIFY(near(out->get(30, 1), vec4()));
}

void TestRenderRitual::copy_halves_by_box_and_resamples_other_sizes_bilinearly()
{
    Ptr<Texture> source = texture(4, 2);
    for (int x = 0; x < 4; ++x) {
        source->set(x, 0, vec4(float(x), 0.0f, 0.0f, 1.0f));
        source->set(x, 1, vec4(float(x) + 4.0f, 0.0f, 0.0f, 1.0f));
    }
    Ptr<Texture> half = texture(2, 1);
    QVERIFY(RenderRitual(target_, {half}).copyTexture2D(source));
    QCOMPARE(half->get(0, 0).x, (0.0f + 1.0f + 4.0f + 5.0f) / 4.0f);
    QCOMPARE(half->get(1, 0).x, (2.0f + 3.0f + 6.0f + 7.0f) / 4.0f);

    Ptr<Texture> wide = texture(8, 2);
    QVERIFY(RenderRitual(target_, {wide}).copyTexture2D(source));
    // Texel 3 of 8 sits at source x 1.25: between 1 and 2; rows kept.
    QCOMPARE(wide->get(3, 0).x, 1.25f);
    QCOMPARE(wide->get(0, 1).x, 4.0f);
}

void TestRenderRitual::failures_render_nothing_and_say_why_data()
{
    QTest::addColumn<QString>("material");
    QTest::addColumn<int>("outputs");
    QTest::addColumn<QString>("message");
    QTest::newRow("null material") << QString() << 1 << QString();
    QTest::newRow("no pass for the mesh material") << "mesh_base" << 1 << "has no pass";
    QTest::newRow("g-buffer pass outside a view") << "impostor_grab_gbuffer_post" << 1 << "inside a view callback";
    QTest::newRow("no output") << "extrude_post" << 0 << "no output";
}

void TestRenderRitual::failures_render_nothing_and_say_why()
{
    QFETCH(QString, material);
    QFETCH(int, outputs);
    QFETCH(QString, message);
    LogCapture log;
    Ptr<Texture> out = texture(2, 2, vec4(0.5f));
    Velmora::Vector<Ptr<Texture>> bound;
    if (outputs)
        bound.append(out);
    const Ptr<Material> m = material.isEmpty() ? Ptr<Material>() : base(material.toUtf8().constData());
    QCOMPARE(RenderRitual(target_, bound).render(m, {texture(2, 2)}), false);
    QVERIFY(near(out->get(1, 1), vec4(0.5f)));
    if (message.isEmpty())
        QCOMPARE(log.errors(), 0);
    else
        QCOMPARE(log.count(message, 2), 1);
}

QTEST_GUILESS_MAIN(TestRenderRitual)
#include "tst_render_ritual.moc"
