#include "engine_runtime_fixture.h"

#include "velmora/Image.h"
#include "velmora/Light.h"
#include "velmora/Materials.h"
#include "velmora/Object.h"
#include "velmora/Player.h"
#include "velmora/Render.h"
#include "velmora/World.h"

#include <QtTest>

using namespace enginetest;

namespace {

constexpr int WIDTH = 64;
constexpr int HEIGHT = 48;

struct Rgba
{
    int r, g, b, a;
};

Rgba pixel(const Velmora::Ptr<Velmora::Image> &image, int x, int y)
{
    const Velmora::Image::Pixel p = image->get2D(x, y);
    return Rgba{p.i.r, p.i.g, p.i.b, p.i.a};
}

int brightness(const Rgba &p) { return p.r + p.g + p.b; }

} // namespace

class TestRender : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void a_box_covers_the_centre_and_leaves_sky_and_ground_around_it();
    void the_same_view_renders_the_same_bytes_every_time();
    void a_view_of_the_engine_frame_matches_render_image_2d();
    void the_material_albedo_colours_the_surface();
    void a_light_brightens_the_faces_it_shines_on();
    void hidden_things_are_not_drawn_data();
    void hidden_things_are_not_drawn();
    void a_camera_inside_the_box_sees_it_all_around();
    void hdr_output_is_half_float_rgba();
    void bad_arguments_leave_the_image_untouched();

private:
    Velmora::Ptr<Velmora::Image> render(const Velmora::vec3 &eye, int hdr = 0);

    Installation *installation_ = nullptr;
};

void TestRender::init()
{
    installation_ = new Installation;
    QVERIFY(installation_->writeData(QStringLiteral("meshes/cube.mesh"), cubeMesh("body", "red")));
    QVERIFY(installation_->writeData(QStringLiteral("materials/red.mat"),
                                     "<material name=\"red\"><parameter name=\"albedo_color\">1 0 0 1</parameter>"
                                     "</material>"));
    QVERIFY(installation_->writeData(QStringLiteral("box.world"),
                                     "<world><node type=\"ObjectMeshStatic\" id=\"1\" name=\"box\">"
                                     "<mesh_name>meshes/cube.mesh</mesh_name></node>"
                                     "<node type=\"LightWorld\" id=\"2\" name=\"sun\"><color>1 1 1 1</color>"
                                     "<enabled>0</enabled></node></world>"));
    QVERIFY(installation_->start());
    QVERIFY(Velmora::World::load("box"));
}

void TestRender::cleanup()
{
    delete installation_;
    installation_ = nullptr;
}

Velmora::Ptr<Velmora::Image> TestRender::render(const Velmora::vec3 &eye, int hdr)
{
    Velmora::Ptr<Velmora::PlayerDummy> player = Velmora::PlayerDummy::create();
    player->lookAt(eye, Velmora::vec3(0.0f, 0.0f, 0.0f));
    Velmora::Ptr<Velmora::Image> image = Velmora::Image::create();
    if (!Velmora::Render::renderImage2D(player->getCamera(), image, WIDTH, HEIGHT, hdr, 0))
        return Velmora::Ptr<Velmora::Image>();
    return image;
}

void TestRender::a_box_covers_the_centre_and_leaves_sky_and_ground_around_it()
{
    const Velmora::Ptr<Velmora::Image> image = render(Velmora::vec3(0.0f, -8.0f, 0.0f));
    QVERIFY(image);
    QCOMPARE(image->getWidth(), WIDTH);
    QCOMPARE(image->getHeight(), HEIGHT);
    QCOMPARE(image->getFormat(), int(Velmora::Image::FORMAT_RGBA8));
    // Without materials loaded the box is the default grey (tinted by the
    // sky light).
    const Rgba centre = pixel(image, WIDTH / 2, HEIGHT / 2);
    QCOMPARE(centre.a, 255);
    QVERIFY(centre.r > 100 && centre.g > 100 && centre.b > 100);
    const Rgba top = pixel(image, 0, 0);
    const Rgba bottom = pixel(image, 0, HEIGHT - 1);
    QCOMPARE(top.a, 0);
    QCOMPARE(bottom.a, 0);
    // Row 0 is the top: sky above (blue), ground below (red-brown).
    QVERIFY2(top.b > top.r, "sky expected at the top");
    QVERIFY2(bottom.r > bottom.b, "ground expected at the bottom");
    // The box is small in the view: the left and right edges stay background.
    QCOMPARE(pixel(image, 0, HEIGHT / 2).a, 0);
    QCOMPARE(pixel(image, WIDTH - 1, HEIGHT / 2).a, 0);
}

void TestRender::the_same_view_renders_the_same_bytes_every_time()
{
    const Velmora::vec3 eye(5.0f, -7.0f, 3.0f);
    const Velmora::Ptr<Velmora::Image> first = render(eye);
    const Velmora::Ptr<Velmora::Image> second = render(eye);
    QVERIFY(first && second);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(first->getPixels()), int(first->getSize())),
             QByteArray(reinterpret_cast<const char *>(second->getPixels()), int(second->getSize())));
    int covered = 0;
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x)
            covered += pixel(first, x, y).a == 255 ? 1 : 0;
    }
    QVERIFY(covered > 50);
    QVERIFY(covered < WIDTH * HEIGHT / 2);
}

class PlayerView : public FakeApp
{
public:
    using FakeApp::FakeApp;
    Velmora::Ptr<Velmora::Player> getViewPlayer() const override { return player; }
    Velmora::Ptr<Velmora::Player> player;
};

void TestRender::a_view_of_the_engine_frame_matches_render_image_2d()
{
    const Velmora::vec3 eye(4.0f, -6.0f, 2.0f);
    PlayerView view(WIDTH, HEIGHT);
    Velmora::Ptr<Velmora::PlayerDummy> player = Velmora::PlayerDummy::create();
    player->lookAt(eye, Velmora::vec3(0.0f, 0.0f, 0.0f));
    view.player = player;
    Velmora::Engine::get()->addView(&view);
    Installation::frame();
    Velmora::Engine::get()->removeView(&view);
    QCOMPARE(view.frames.size(), 1);

    const Velmora::Ptr<Velmora::Image> image = render(eye);
    const QImage frame = view.frames[0].convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < HEIGHT; ++y) {
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.constScanLine(y)), WIDTH * 4),
                 QByteArray(reinterpret_cast<const char *>(image->getPixels()) + y * WIDTH * 4, WIDTH * 4));
    }
}

void TestRender::the_material_albedo_colours_the_surface()
{
    QCOMPARE(Velmora::Materials::loadMaterials(), 1);
    const Rgba centre = pixel(render(Velmora::vec3(0.0f, -8.0f, 0.0f)), WIDTH / 2, HEIGHT / 2);
    QCOMPARE(centre.a, 255);
    QVERIFY(centre.r > 0);
    QCOMPARE(centre.g, 0);
    QCOMPARE(centre.b, 0);

    // A surface material set on the object wins over the mesh's own.
    Velmora::World::getNodeByName("box").cast<Velmora::Object>()->setMaterial("mesh_base", 0);
    const Rgba grey = pixel(render(Velmora::vec3(0.0f, -8.0f, 0.0f)), WIDTH / 2, HEIGHT / 2);
    QVERIFY(grey.g > 100 && grey.b > 100);
}

void TestRender::a_light_brightens_the_faces_it_shines_on()
{
    // Seen from the front and above: the top face is in the upper half of
    // the box's pixels. The sun shines straight down (its -Z).
    const Velmora::vec3 eye(0.0f, -8.0f, 6.0f);
    auto topFace = [&]() {
        const Velmora::Ptr<Velmora::Image> image = render(eye);
        for (int y = 0; y < HEIGHT; ++y) {
            if (pixel(image, WIDTH / 2, y).a == 255)
                return pixel(image, WIDTH / 2, y + 1);
        }
        return Rgba{0, 0, 0, 0};
    };
    auto frontFace = [&]() {
        const Velmora::Ptr<Velmora::Image> image = render(eye);
        for (int y = HEIGHT - 1; y >= 0; --y) {
            if (pixel(image, WIDTH / 2, y).a == 255)
                return pixel(image, WIDTH / 2, y - 1);
        }
        return Rgba{0, 0, 0, 0};
    };
    const Rgba dark_top = topFace();
    const Rgba dark_front = frontFace();
    Velmora::World::getNodeByName("sun")->setEnabled(true);
    const Rgba lit_top = topFace();
    const Rgba lit_front = frontFace();
    QCOMPARE(lit_top.a, 255);
    QVERIFY(brightness(lit_top) > brightness(dark_top) + 30);
    // The front face is parallel to the light: unchanged.
    QCOMPARE(brightness(lit_front), brightness(dark_front));
}

void TestRender::hidden_things_are_not_drawn_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("disabled node") << QStringLiteral("node");
    QTest::newRow("disabled surface") << QStringLiteral("surface");
    QTest::newRow("empty viewport mask") << QStringLiteral("mask");
    QTest::newRow("behind the camera") << QStringLiteral("behind");
}

void TestRender::hidden_things_are_not_drawn()
{
    QFETCH(QString, what);
    Velmora::Ptr<Velmora::Object> box = Velmora::World::getNodeByName("box").cast<Velmora::Object>();
    Velmora::vec3 eye(0.0f, -8.0f, 0.0f);
    if (what == QLatin1String("node"))
        box->setEnabled(false);
    else if (what == QLatin1String("surface"))
        box->setEnabled(false, 0);
    else if (what == QLatin1String("mask"))
        box->setViewportMask(0, -1);
    else
        box->setPosition(Velmora::vec3(0.0f, -20.0f, 0.0f));
    const Velmora::Ptr<Velmora::Image> image = render(eye);
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x)
            QCOMPARE(pixel(image, x, y).a, 0);
    }
}

void TestRender::a_camera_inside_the_box_sees_it_all_around()
{
    // Every triangle crosses the near plane or lies around the camera: the
    // clipped, two-sided faces must cover the view without gaps.
    const Velmora::Ptr<Velmora::Image> image = render(Velmora::vec3(0.2f, -0.3f, 0.1f));
    QVERIFY(image);
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x)
            QCOMPARE(pixel(image, x, y).a, 255);
    }
}

void TestRender::hdr_output_is_half_float_rgba()
{
    const Velmora::Ptr<Velmora::Image> hdr = render(Velmora::vec3(0.0f, -8.0f, 0.0f), 1);
    const Velmora::Ptr<Velmora::Image> ldr = render(Velmora::vec3(0.0f, -8.0f, 0.0f), 0);
    QVERIFY(hdr);
    QCOMPARE(hdr->getFormat(), int(Velmora::Image::FORMAT_RGBA16F));
    const Velmora::Image::Pixel p = hdr->get2D(WIDTH / 2, HEIGHT / 2);
    QCOMPARE(p.f.a, 1.0f);
    QVERIFY(std::abs(p.f.r * 255.0f - float(pixel(ldr, WIDTH / 2, HEIGHT / 2).r)) <= 1.0f);
}

void TestRender::bad_arguments_leave_the_image_untouched()
{
    Velmora::Ptr<Velmora::PlayerDummy> player = Velmora::PlayerDummy::create();
    Velmora::Ptr<Velmora::Image> image = Velmora::Image::create();
    LogCapture log;
    QVERIFY(!Velmora::Render::renderImage2D(Velmora::Ptr<Velmora::Camera>(), image, 8, 8, 0, 0));
    QVERIFY(!Velmora::Render::renderImage2D(player->getCamera(), Velmora::Ptr<Velmora::Image>(), 8, 8, 0, 0));
    QVERIFY(!Velmora::Render::renderImage2D(player->getCamera(), image, 0, 8, 0, 0));
    QVERIFY(image->isEmpty());
    QCOMPARE(log.errors(), 3);
    QVERIFY(!Velmora::Render::isFlipped());
}

QTEST_GUILESS_MAIN(TestRender)
#include "tst_render.moc"
