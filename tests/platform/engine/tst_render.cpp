#include "engine_runtime_fixture.h"
#include "thread_refusal.h"

#include "velmora/Editor.h"
#include "velmora/Image.h"
#include "velmora/Light.h"
#include "velmora/Materials.h"
#include "velmora/Object.h"
#include "velmora/Player.h"
#include "velmora/Render.h"
#include "velmora/RenderState.h"
#include "velmora/Renderer.h"
#include "velmora/Texture.h"
#include "velmora/Viewport.h"
#include "velmora/World.h"

#include <QBuffer>
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

int brightness(const Rgba &p)
{
    return p.r + p.g + p.b;
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A 4x4 texture whose quadrants (as seen with v up) have these colours.
QByteArray quadrants(QRgb lower_left, QRgb lower_right, QRgb upper_left, QRgb upper_right)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            // Image row 0 is the top: the upper half of the texture.
            const bool upper = y < 2;
            const bool right = x >= 2;
            image.setPixel(x, y, upper ? (right ? upper_right : upper_left) : (right ? lower_right : lower_left));
        }
    }
    return png(image);
}

// A 2 x 2 square facing -Y in the XZ plane, u along +X and v along +Z.
const QByteArray QUAD_MESH = "v -1 0 -1\nv 1 0 -1\nv 1 0 1\nv -1 0 1\n"
                             "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\ng face\nf 1/1 2/2 3/3 4/4\n";
// A 20 x 20 ground at z = 0.
const QByteArray GROUND_MESH = "v -10 -10 0\nv 10 -10 0\nv 10 10 0\nv -10 10 0\ng ground\nf 1 2 3 4\n";

QByteArray material(const char *name, const char *albedo_texture, const char *color = "1 1 1 1")
{
    QByteArray text
            = QByteArray("<material name=\"") + name + "\"><parameter name=\"albedo_color\">" + color + "</parameter>";
    if (albedo_texture)
        text += QByteArray("<texture name=\"albedo\">") + albedo_texture + "</texture>";
    return text + "</material>";
}

// The mesh's surfaces are "face" (quad), "ground" and "body" (cube).
QByteArray meshNode(int id, const char *name, const char *mesh, const char *surface, const char *material_name,
                    const char *position = "0 0 0")
{
    return QByteArray("<node type=\"ObjectMeshStatic\" id=\"") + QByteArray::number(id) + "\" name=\"" + name
            + "\"><transform>1 0 0 0  0 1 0 0  0 0 1 0  " + position + " 1</transform><mesh_name>" + mesh
            + "</mesh_name><surface name=\"" + surface + "\"><material>" + material_name
            + "</material></surface></node>";
}

// A sun shining straight down (its -Z).
QByteArray sun(bool shadow)
{
    return QByteArray("<node type=\"LightWorld\" id=\"90\" name=\"sun\"><color>1 1 1 1</color><shadow>")
            + (shadow ? "1" : "0") + "</shadow></node>";
}

// Pixel (top-down rows) of a world point seen by the camera in a width x height view.
QPoint toPixel(const Velmora::Ptr<Velmora::Camera> &camera, const Velmora::vec3 &point, int width, int height)
{
    const Velmora::vec4 clip = camera->getProjection(float(width) / float(height))
            * (camera->getModelview() * Velmora::vec4(point, 1.0f));
    return QPoint(int((clip.x / clip.w * 0.5f + 0.5f) * float(width)),
                  int((0.5f - clip.y / clip.w * 0.5f) * float(height)));
}

Velmora::Ptr<Velmora::Camera> cameraAt(const Velmora::vec3 &eye, const Velmora::vec3 &target)
{
    Velmora::Ptr<Velmora::PlayerDummy> player = Velmora::PlayerDummy::create();
    player->lookAt(eye, target);
    return player->getCamera();
}

} // namespace

class TestRender : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void a_box_covers_the_centre_and_leaves_sky_and_ground_around_it();
    void the_same_view_renders_the_same_bytes_every_time();
    void a_view_rendered_without_threads_is_the_same_and_the_engine_still_stops();
    void a_view_of_the_engine_frame_matches_render_image_2d();
    void the_material_albedo_colours_the_surface();
    void a_light_brightens_the_faces_it_shines_on();
    void hidden_things_are_not_drawn_data();
    void hidden_things_are_not_drawn();
    void a_camera_inside_the_box_sees_it_all_around();
    void hdr_output_is_half_float_rgba();
    void bad_arguments_leave_the_image_untouched();

    void a_texture_shows_its_quadrants_where_the_mesh_uvs_put_them_data();
    void a_texture_shows_its_quadrants_where_the_mesh_uvs_put_them();
    void texels_with_alpha_below_one_half_are_discarded_data();
    void texels_with_alpha_below_one_half_are_discarded();
    void the_nearer_surface_wins_whatever_the_drawing_order_data();
    void the_nearer_surface_wins_whatever_the_drawing_order();
    void ground_under_a_box_is_darker_only_when_shadows_are_on_data();
    void ground_under_a_box_is_darker_only_when_shadows_are_on();
    void a_textured_shadowed_view_renders_the_same_bytes_every_time();
    void a_view_lit_in_one_pass_matches_one_lit_stage_by_stage_data();
    void a_view_lit_in_one_pass_matches_one_lit_stage_by_stage();
    void a_stage_2_callback_reads_the_g_buffer_of_the_view();
    void viewport_stages_run_by_render_mode_and_target_data();
    void viewport_stages_run_by_render_mode_and_target();
    void a_node_render_into_a_texture_keeps_texture_row_order();
    void ambient_occlusion_darkens_the_ground_beside_a_box_only();
    void ambient_occlusion_follows_its_settings_and_the_geometry_data();
    void ambient_occlusion_follows_its_settings_and_the_geometry();
    void a_moved_caster_moves_its_shadow();
    void ssao_settings_round_trip_and_reset_with_the_engine();
    void debug_lights_shows_only_the_light_reaching_surfaces();
    void the_editor_camera_starts_at_the_world_s_player_data();
    void the_editor_camera_starts_at_the_world_s_player();

private:
    Velmora::Ptr<Velmora::Image> render(const Velmora::vec3 &eye, int hdr = 0);
    Velmora::Ptr<Velmora::Image> renderView(const Velmora::Ptr<Velmora::Camera> &camera, int width, int height);
    // Stops the engine, writes the files, starts it again with the
    // materials loaded and the world loaded.
    bool restart(const QMap<QString, QByteArray> &files, const char *world);

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

void TestRender::a_view_rendered_without_threads_is_the_same_and_the_engine_still_stops()
{
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(5.0f, -7.0f, 3.0f), Velmora::vec3());
    auto bytes = [](const Velmora::Ptr<Velmora::Image> &image) {
        return QByteArray(reinterpret_cast<const char *>(image->getPixels()), int(image->getSize()));
    };
    Velmora::Ptr<Velmora::Image> alone;
    {
        // The engine's first view: its pool has no thread yet and gets none.
        const test::ThreadRefusal refusal;
        QVERIFY(refusal.isActive());
        alone = renderView(camera, 320, 240);
    }
    const Velmora::Ptr<Velmora::Image> shared = renderView(camera, 320, 240);
    QVERIFY(alone && shared);
    QCOMPARE(bytes(alone), bytes(shared));
    // Nothing waits for the bands handed to threads that never started.
    installation_->stop();
    QCOMPARE(Velmora::Engine::get(), nullptr);
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
    // Sizes the renderer's buffers cannot hold are refused before anything
    // is allocated, whichever entry point asks.
    QVERIFY(!Velmora::Render::renderImage2D(player->getCamera(), image, 100000, 100000, 0, 0));
    QVERIFY(!Velmora::Render::renderImage2D(player->getCamera(), image, Velmora::Viewport::MAX_IMAGE_SIDE + 1, 1, 0,
                                            0));
    QVERIFY(!Velmora::Viewport::create()->renderImage2D(player->getCamera(), image, 9000, 9000));
    QVERIFY(image->isEmpty());
    QCOMPARE(log.errors(), 6);
    QVERIFY(!Velmora::Render::isFlipped());
}

Velmora::Ptr<Velmora::Image> TestRender::renderView(const Velmora::Ptr<Velmora::Camera> &camera, int width, int height)
{
    Velmora::Ptr<Velmora::Image> image = Velmora::Image::create();
    if (!Velmora::Render::renderImage2D(camera, image, width, height, 0, 0))
        return Velmora::Ptr<Velmora::Image>();
    return image;
}

bool TestRender::restart(const QMap<QString, QByteArray> &files, const char *world)
{
    installation_->stop();
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (!installation_->writeData(it.key(), it.value()))
            return false;
    }
    if (!installation_->start())
        return false;
    Velmora::Materials::loadMaterials();
    return Velmora::World::load(world);
}

void TestRender::a_texture_shows_its_quadrants_where_the_mesh_uvs_put_them_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("z");
    QTest::addColumn<QString>("color");
    QTest::newRow("lower left") << -0.5f << -0.5f << QStringLiteral("red");
    QTest::newRow("lower right") << 0.5f << -0.5f << QStringLiteral("green");
    QTest::newRow("upper left") << -0.5f << 0.5f << QStringLiteral("blue");
    QTest::newRow("upper right") << 0.5f << 0.5f << QStringLiteral("white");
}

void TestRender::a_texture_shows_its_quadrants_where_the_mesh_uvs_put_them()
{
    QFETCH(float, x);
    QFETCH(float, z);
    QFETCH(QString, color);
    QVERIFY(restart({{QStringLiteral("meshes/quad.mesh"), QUAD_MESH},
                     {QStringLiteral("textures/quadrants.png"),
                      quadrants(qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255))},
                     {QStringLiteral("materials/quadrants.mat"), material("quadrants", "textures/quadrants.png")},
                     {QStringLiteral("quad.world"),
                      "<world>" + meshNode(1, "quad", "meshes/quad.mesh", "face", "quadrants") + "</world>"}},
                    "quad"));
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(0.0f, -5.0f, 0.0f), Velmora::vec3());
    const QPoint at = toPixel(camera, Velmora::vec3(x, 0.0f, z), WIDTH, HEIGHT);
    const Rgba p = pixel(renderView(camera, WIDTH, HEIGHT), at.x(), at.y());
    QCOMPARE(p.a, 255);
    if (color == QLatin1String("red"))
        QVERIFY(p.r > 40 && p.g == 0 && p.b == 0);
    else if (color == QLatin1String("green"))
        QVERIFY(p.g > 40 && p.r == 0 && p.b == 0);
    else if (color == QLatin1String("blue"))
        QVERIFY(p.b > 40 && p.r == 0 && p.g == 0);
    else
        QVERIFY(p.r > 40 && p.g > 40 && p.b > 40);
}

void TestRender::texels_with_alpha_below_one_half_are_discarded_data()
{
    QTest::addColumn<int>("alpha");
    QTest::addColumn<bool>("covered");
    QTest::newRow("clear") << 0 << false;
    QTest::newRow("just below one half") << 127 << false;
    QTest::newRow("just above one half") << 128 << true;
    QTest::newRow("opaque") << 255 << true;
}

void TestRender::texels_with_alpha_below_one_half_are_discarded()
{
    QFETCH(int, alpha);
    QFETCH(bool, covered);
    const QRgb left = qRgba(255, 0, 0, alpha);
    const QRgb right = qRgb(0, 255, 0);
    QVERIFY(restart({{QStringLiteral("meshes/quad.mesh"), QUAD_MESH},
                     {QStringLiteral("textures/cutout.png"), quadrants(left, right, left, right)},
                     {QStringLiteral("materials/cutout.mat"), material("cutout", "textures/cutout.png")},
                     {QStringLiteral("quad.world"),
                      "<world>" + meshNode(1, "quad", "meshes/quad.mesh", "face", "cutout") + "</world>"}},
                    "quad"));
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(0.0f, -5.0f, 0.0f), Velmora::vec3());
    const Velmora::Ptr<Velmora::Image> image = renderView(camera, WIDTH, HEIGHT);
    const QPoint clear = toPixel(camera, Velmora::vec3(-0.5f, 0.0f, 0.0f), WIDTH, HEIGHT);
    const QPoint opaque = toPixel(camera, Velmora::vec3(0.5f, 0.0f, 0.0f), WIDTH, HEIGHT);
    QCOMPARE(pixel(image, clear.x(), clear.y()).a, covered ? 255 : 0);
    QCOMPARE(pixel(image, opaque.x(), opaque.y()).a, 255);
}

void TestRender::the_nearer_surface_wins_whatever_the_drawing_order_data()
{
    QTest::addColumn<bool>("near_first");
    QTest::newRow("nearer drawn first") << true;
    QTest::newRow("nearer drawn last") << false;
}

void TestRender::the_nearer_surface_wins_whatever_the_drawing_order()
{
    QFETCH(bool, near_first);
    const QByteArray red = meshNode(1, "red_quad", "meshes/quad.mesh", "face", "red", "0 -1 0");
    const QByteArray blue = meshNode(2, "blue_quad", "meshes/quad.mesh", "face", "blue", "0 1 0");
    QVERIFY(restart({{QStringLiteral("meshes/quad.mesh"), QUAD_MESH},
                     {QStringLiteral("materials/blue.mat"), material("blue", nullptr, "0 0 1 1")},
                     {QStringLiteral("pair.world"), "<world>" + (near_first ? red + blue : blue + red) + "</world>"}},
                    "pair"));
    // From -Y the red quad is nearer, from +Y the blue one.
    const Rgba front = pixel(renderView(cameraAt(Velmora::vec3(0.0f, -6.0f, 0.0f), Velmora::vec3()), WIDTH, HEIGHT),
                             WIDTH / 2, HEIGHT / 2);
    const Rgba back = pixel(renderView(cameraAt(Velmora::vec3(0.0f, 6.0f, 0.0f), Velmora::vec3()), WIDTH, HEIGHT),
                            WIDTH / 2, HEIGHT / 2);
    QVERIFY(front.r > 40 && front.b == 0);
    QVERIFY(back.b > 40 && back.r == 0);
}

void TestRender::ground_under_a_box_is_darker_only_when_shadows_are_on_data()
{
    QTest::addColumn<bool>("light_shadow");
    QTest::addColumn<bool>("render_shadows");
    QTest::addColumn<bool>("darker");
    QTest::newRow("light's shadow on") << true << true << true;
    QTest::newRow("light's shadow off") << false << true << false;
    QTest::newRow("shadows switched off") << true << false << false;
}

void TestRender::ground_under_a_box_is_darker_only_when_shadows_are_on()
{
    QFETCH(bool, light_shadow);
    QFETCH(bool, render_shadows);
    QFETCH(bool, darker);
    QVERIFY(restart({{QStringLiteral("meshes/ground.mesh"), GROUND_MESH},
                     {QStringLiteral("materials/grey.mat"), material("grey", nullptr, "0.5 0.5 0.5 1")},
                     {QStringLiteral("yard.world"),
                      "<world>" + meshNode(1, "ground", "meshes/ground.mesh", "ground", "grey")
                              + meshNode(2, "box", "meshes/cube.mesh", "body", "grey", "0 0 3") + sun(light_shadow)
                              + "</world>"}},
                    "yard"));
    Velmora::Render::setShadows(render_shadows);
    const int width = 128;
    const int height = 96;
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(0.0f, -12.0f, 12.0f), Velmora::vec3());
    const Velmora::Ptr<Velmora::Image> image = renderView(camera, width, height);
    const QPoint under = toPixel(camera, Velmora::vec3(0.0f, 0.0f, 0.0f), width, height);
    const QPoint open = toPixel(camera, Velmora::vec3(6.0f, 0.0f, 0.0f), width, height);
    const int shaded = brightness(pixel(image, under.x(), under.y()));
    const int lit = brightness(pixel(image, open.x(), open.y()));
    if (darker)
        QVERIFY2(shaded + 90 < lit, qPrintable(QStringLiteral("%1 vs %2").arg(shaded).arg(lit)));
    else
        QVERIFY2(std::abs(shaded - lit) <= 3, qPrintable(QStringLiteral("%1 vs %2").arg(shaded).arg(lit)));
}

void TestRender::a_textured_shadowed_view_renders_the_same_bytes_every_time()
{
    QVERIFY(restart(
            {{QStringLiteral("meshes/ground.mesh"), GROUND_MESH},
             {QStringLiteral("meshes/quad.mesh"), QUAD_MESH},
             {QStringLiteral("textures/quadrants.png"),
              quadrants(qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgba(255, 255, 255, 0))},
             {QStringLiteral("materials/quadrants.mat"), material("quadrants", "textures/quadrants.png")},
             {QStringLiteral("yard.world"),
              "<world>" + meshNode(1, "ground", "meshes/ground.mesh", "ground", "quadrants")
                      + meshNode(2, "quad", "meshes/quad.mesh", "face", "quadrants", "0 0 2")
                      + meshNode(3, "box", "meshes/cube.mesh", "body", "red", "2 1 1") + sun(true) + "</world>"}},
            "yard"));
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(4.0f, -9.0f, 6.0f), Velmora::vec3());
    const Velmora::Ptr<Velmora::Image> first = renderView(camera, 160, 120);
    const Velmora::Ptr<Velmora::Image> second = renderView(camera, 160, 120);
    QVERIFY(first && second);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(first->getPixels()), int(first->getSize())),
             QByteArray(reinterpret_cast<const char *>(second->getPixels()), int(second->getSize())));
}

void TestRender::a_view_lit_in_one_pass_matches_one_lit_stage_by_stage_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("even") << 160 << 120;
    QTest::newRow("odd sides") << 161 << 121;
    QTest::newRow("tall, many bands") << 67 << 333;
    QTest::newRow("a few rows") << 300 << 5;
}

// Without callbacks the occlusion search and the lighting overlap in one
// pass; with one, every stage ends before the next starts. Both must give
// the same bytes, occlusion and shadows included.
void TestRender::a_view_lit_in_one_pass_matches_one_lit_stage_by_stage()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QVERIFY(restart(
            {{QStringLiteral("meshes/ground.mesh"), GROUND_MESH},
             {QStringLiteral("yard.world"),
              "<world>" + meshNode(1, "ground", "meshes/ground.mesh", "ground", "red")
                      + meshNode(2, "box", "meshes/cube.mesh", "body", "red", "2 1 1")
                      + meshNode(3, "box2", "meshes/cube.mesh", "body", "red", "-1 -1 0.5") + sun(true) + "</world>"}},
            "yard"));
    QVERIFY(Velmora::Render::isSSAO());
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(5.0f, -8.0f, 4.0f), Velmora::vec3());
    const Velmora::Ptr<Velmora::Image> at_once = renderView(camera, width, height);
    QVERIFY(at_once);

    Velmora::Ptr<Velmora::Viewport> viewport = Velmora::Viewport::create();
    int calls = 0;
    viewport->addCallback(Velmora::Renderer::STAGE_AMBIENT_OCCLUSION, [&calls](Velmora::Renderer *) { ++calls; });
    Velmora::Ptr<Velmora::Image> staged = Velmora::Image::create();
    QVERIFY(viewport->renderImage2D(camera, staged, width, height));
    QCOMPARE(calls, 1);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(staged->getPixels()), int(staged->getSize())),
             QByteArray(reinterpret_cast<const char *>(at_once->getPixels()), int(at_once->getSize())));
}

void TestRender::a_stage_2_callback_reads_the_g_buffer_of_the_view()
{
    QCOMPARE(Velmora::Materials::loadMaterials(), 1);
    struct Seen
    {
        int calls = 0;
        int stage = 0;
        bool active = false;
        float coverage = -1.0f, corner_coverage = -1.0f, depth = 0.0f;
        Velmora::vec3 normal, position;
        Velmora::vec4 albedo, shading;
    } seen;
    Velmora::Ptr<Velmora::Viewport> viewport = Velmora::Viewport::create();
    viewport->setRenderMode(1);
    viewport->addCallback(Velmora::Renderer::STAGE_GBUFFER, [&seen](Velmora::Renderer *renderer) {
        const Velmora::Renderer::GBuffer &g = renderer->getGBuffer();
        const int centre = g.index(g.width / 2, g.height / 2);
        ++seen.calls;
        seen.stage = renderer->getStage();
        seen.active = Velmora::Renderer::getActive() == renderer;
        seen.coverage = g.coverage[centre];
        seen.corner_coverage = g.coverage[g.index(0, 0)];
        seen.depth = g.depth[centre];
        seen.normal = g.normal[centre];
        seen.position = g.position[centre];
        seen.albedo = g.albedo[centre];
        seen.shading = g.shading[centre];
    });
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(0.0f, -8.0f, 0.0f), Velmora::vec3());
    const Velmora::Ptr<Velmora::Node> box = Velmora::World::getNodeByName("box");

    Velmora::RenderState::saveState();
    Velmora::RenderState::clearStates();
    {
        LogCapture log;
        QVERIFY(!viewport->renderNode(camera, box)); // no viewport size
        QCOMPARE(log.errors(), 1);
    }
    Velmora::RenderState::setViewport(0, 0, WIDTH, HEIGHT);
    QVERIFY(viewport->renderNode(camera, box));
    QVERIFY(Velmora::RenderState::restoreState());
    QCOMPARE(Velmora::RenderState::getViewportWidth(), 0);

    QCOMPARE(seen.calls, 1);
    QCOMPARE(seen.stage, int(Velmora::Renderer::STAGE_GBUFFER));
    QVERIFY(seen.active);
    QVERIFY(!Velmora::Renderer::getActive());
    QCOMPARE(seen.coverage, 1.0f);
    QCOMPARE(seen.corner_coverage, 0.0f);
    // The front face of the cube is 7 m ahead and faces the camera.
    QVERIFY(std::abs(seen.depth - 7.0f) < 1e-3f);
    QVERIFY(Velmora::Math::compare(seen.normal, Velmora::vec3(0.0f, 0.0f, 1.0f), 1e-4f));
    QVERIFY(std::abs(seen.position.y + 1.0f) < 1e-3f && std::abs(seen.position.x) < 0.2f
            && std::abs(seen.position.z) < 0.2f);
    QVERIFY(Velmora::Math::compare(seen.albedo, Velmora::vec4(1.0f, 0.0f, 0.0f, 1.0f)));
    // metalness, roughness, specular, microfiber inherited from mesh_base.
    QVERIFY(Velmora::Math::compare(seen.shading, Velmora::vec4(0.0f, 0.5f, 0.5f, 0.0f)));
}

void TestRender::viewport_stages_run_by_render_mode_and_target_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QVector<int>>("stages");
    const QVector<int> all{2, 10, 29};
    QTest::newRow("mode 0, no target") << 0 << QStringLiteral("none") << QVector<int>{2};
    QTest::newRow("mode 1, no target") << 1 << QStringLiteral("none") << QVector<int>{2};
    QTest::newRow("mode 2, no target") << 2 << QStringLiteral("none") << all;
    QTest::newRow("mode 0, texture") << 0 << QStringLiteral("texture") << all;
    QTest::newRow("mode 1, image") << 1 << QStringLiteral("image") << all;
}

void TestRender::viewport_stages_run_by_render_mode_and_target()
{
    QFETCH(int, mode);
    QFETCH(QString, target);
    QFETCH(QVector<int>, stages);
    QVector<int> seen;
    Velmora::Ptr<Velmora::Viewport> viewport = Velmora::Viewport::create();
    viewport->setRenderMode(mode);
    for (int stage : {29, 2, 10})
        viewport->addCallback(stage, [&seen](Velmora::Renderer *renderer) { seen << renderer->getStage(); });
    QCOMPARE(viewport->addCallback(5, [](Velmora::Renderer *) {}), -1);
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(0.0f, -8.0f, 0.0f), Velmora::vec3());
    const Velmora::Ptr<Velmora::Node> box = Velmora::World::getNodeByName("box");
    Velmora::RenderState::setViewport(0, 0, WIDTH, HEIGHT);
    if (target == QLatin1String("texture")) {
        Velmora::Ptr<Velmora::Texture> texture = Velmora::Texture::create();
        QVERIFY(texture->create2D(WIDTH, HEIGHT, Velmora::Texture::FORMAT_RGBA8));
        QVERIFY(viewport->renderNodeTexture2D(camera, box, texture));
    } else if (target == QLatin1String("image")) {
        QVERIFY(viewport->renderImage2D(camera, Velmora::Image::create(), WIDTH, HEIGHT));
    } else {
        QVERIFY(viewport->renderNodes(camera, Velmora::Vector<Velmora::Ptr<Velmora::Node>>{box}));
    }
    QCOMPARE(seen, stages);
}

void TestRender::a_node_render_into_a_texture_keeps_texture_row_order()
{
    // Raised, the box fills the upper part of the view.
    Velmora::World::getNodeByName("box")->setPosition(Velmora::vec3(0.0f, 0.0f, 2.5f));
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(0.0f, -8.0f, 0.0f), Velmora::vec3());
    Velmora::Ptr<Velmora::Texture> texture = Velmora::Texture::create();
    QVERIFY(texture->create2D(WIDTH, HEIGHT, Velmora::Texture::FORMAT_RGBA8, 0x8002000));
    QVERIFY(Velmora::Viewport::create()->renderNodeTexture2D(camera, Velmora::World::getNodeByName("box"), texture));
    const int upper = HEIGHT - 8;
    QCOMPARE(texture->get(WIDTH / 2, upper).w, 1.0f);
    QCOMPARE(texture->get(WIDTH / 2, 8).w, 0.0f);
    // The same render as an image has its rows the other way round.
    const Velmora::Ptr<Velmora::Image> image = renderView(camera, WIDTH, HEIGHT);
    QCOMPARE(pixel(image, WIDTH / 2, HEIGHT - 1 - upper).a, 255);
    QCOMPARE(pixel(image, WIDTH / 2, HEIGHT - 1 - 8).a, 0);
    const Rgba from_texture = [&]() {
        Velmora::Ptr<Velmora::Image> copy = Velmora::Image::create();
        texture->getImage(copy);
        return pixel(copy, WIDTH / 2, upper);
    }();
    const Rgba from_image = pixel(image, WIDTH / 2, HEIGHT - 1 - upper);
    QCOMPARE(from_texture.r, from_image.r);
    QCOMPARE(from_texture.g, from_image.g);
}

void TestRender::ambient_occlusion_darkens_the_ground_beside_a_box_only()
{
    QVERIFY(restart({{QStringLiteral("meshes/ground.mesh"), GROUND_MESH},
                     {QStringLiteral("yard.world"),
                      "<world>" + meshNode(1, "ground", "meshes/ground.mesh", "ground", "")
                              + meshNode(2, "box", "meshes/cube.mesh", "body", "", "0 0 1") + "</world>"}},
                    "yard"));
    const int width = 128;
    const int height = 96;
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(0.0f, -6.0f, 4.0f), Velmora::vec3());
    const QPoint beside = toPixel(camera, Velmora::vec3(0.0f, -1.15f, 0.0f), width, height);
    const QPoint open = toPixel(camera, Velmora::vec3(3.0f, -3.0f, 0.0f), width, height);
    Velmora::Vector<float> ssao;
    Velmora::Ptr<Velmora::Viewport> viewport = Velmora::Viewport::create();
    viewport->addCallback(Velmora::Renderer::STAGE_AMBIENT_OCCLUSION,
                          [&ssao](Velmora::Renderer *renderer) { ssao = renderer->getGBuffer().ssao; });
    // G-buffer rows run bottom-up.
    auto at = [&](const QPoint &p) { return ssao[(height - 1 - p.y()) * width + p.x()]; };

    QVERIFY(viewport->renderImage2D(camera, Velmora::Image::create(), width, height));
    QVERIFY2(at(beside) < 0.9f, qPrintable(QString::number(at(beside))));
    QCOMPARE(at(open), 1.0f);

    Velmora::Render::setSSAO(false);
    QVERIFY(viewport->renderImage2D(camera, Velmora::Image::create(), width, height));
    QCOMPARE(at(beside), 1.0f);
}

void TestRender::ambient_occlusion_follows_its_settings_and_the_geometry_data()
{
    // What changes after a first render with the defaults, and how much of
    // the occlusion beside the box remains (lowest, highest share).
    QTest::addColumn<QString>("change");
    QTest::addColumn<float>("lowest");
    QTest::addColumn<float>("highest");
    QTest::newRow("half the intensity") << "intensity" << 0.49f << 0.51f;
    QTest::newRow("a radius short of the box") << "radius" << 0.0f << 0.0f;
    QTest::newRow("a threshold above every horizon") << "threshold" << 0.0f << 0.0f;
    QTest::newRow("fewer steps per direction") << "quality" << 0.05f << 0.995f;
    QTest::newRow("SSAO off") << "off" << 0.0f << 0.0f;
    QTest::newRow("the box moved away") << "move" << 0.0f << 0.0f;
}

// The search runs on every second pixel and row and fills the others from
// their neighbours on the same surface: both kinds of pixel must follow.
void TestRender::ambient_occlusion_follows_its_settings_and_the_geometry()
{
    QFETCH(QString, change);
    QFETCH(float, lowest);
    QFETCH(float, highest);
    QVERIFY(restart({{QStringLiteral("meshes/ground.mesh"), GROUND_MESH},
                     {QStringLiteral("yard.world"),
                      "<world>" + meshNode(1, "ground", "meshes/ground.mesh", "ground", "")
                              + meshNode(2, "box", "meshes/cube.mesh", "body", "", "0 0 1") + "</world>"}},
                    "yard"));
    const int width = 160;
    const int height = 120;
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(0.0f, -6.0f, 4.0f), Velmora::vec3());
    // 0.3 in front of the box face at y = -1: within the default radius.
    const QPoint near = toPixel(camera, Velmora::vec3(0.0f, -1.3f, 0.0f), width, height);
    const QPoint open = toPixel(camera, Velmora::vec3(3.0f, -3.0f, 0.0f), width, height);
    Velmora::Vector<float> ssao;
    Velmora::Ptr<Velmora::Viewport> viewport = Velmora::Viewport::create();
    viewport->addCallback(Velmora::Renderer::STAGE_AMBIENT_OCCLUSION,
                          [&ssao](Velmora::Renderer *renderer) { ssao = renderer->getGBuffer().ssao; });
    // Occlusion of a 2 x 2 block of pixels (one of them searched, the
    // others filled), G-buffer rows running bottom-up.
    auto occlusion = [&](const QPoint &p) {
        QVector<float> values;
        for (int dy = 0; dy < 2; ++dy) {
            for (int dx = 0; dx < 2; ++dx)
                values << 1.0f - ssao[(height - 1 - p.y() - dy) * width + p.x() + dx];
        }
        return values;
    };

    QVERIFY(viewport->renderImage2D(camera, Velmora::Image::create(), width, height));
    const QVector<float> before = occlusion(near);
    for (float value : before)
        QVERIFY2(value > 0.02f, qPrintable(QString::number(value)));
    QCOMPARE(occlusion(open), QVector<float>(4, 0.0f));

    if (change == QLatin1String("intensity"))
        Velmora::Render::setSSAOIntensity(0.5f);
    else if (change == QLatin1String("radius"))
        Velmora::Render::setSSAORadius(0.2f);
    else if (change == QLatin1String("threshold"))
        Velmora::Render::setSSAOThreshold(0.99f);
    else if (change == QLatin1String("quality"))
        Velmora::Render::setSSAOQuality(0);
    else if (change == QLatin1String("off"))
        Velmora::Render::setSSAO(false);
    else
        Velmora::World::getNodeByName("box")->setWorldPosition(Velmora::vec3(8.0f, 8.0f, 1.0f));
    QVERIFY(viewport->renderImage2D(camera, Velmora::Image::create(), width, height));
    const QVector<float> after = occlusion(near);
    for (int i = 0; i < 4; ++i) {
        const float share = after[i] / before[i];
        QVERIFY2(share >= lowest && share <= highest,
                 qPrintable(QStringLiteral("pixel %1: %2 of %3").arg(i).arg(after[i]).arg(before[i])));
    }
}

// Shadow maps are kept between renders while nothing they show changes; a
// caster that moves within the same extent (the ground casts too) must
// still move its shadow.
void TestRender::a_moved_caster_moves_its_shadow()
{
    QVERIFY(restart(
            {{QStringLiteral("meshes/ground.mesh"), GROUND_MESH},
             {QStringLiteral("materials/grey.mat"), material("grey", nullptr, "0.5 0.5 0.5 1")},
             {QStringLiteral("yard.world"),
              "<world>" + meshNode(1, "ground", "meshes/ground.mesh", "ground", "grey")
                      + meshNode(2, "box", "meshes/cube.mesh", "body", "grey", "0 0 3") + sun(true) + "</world>"}},
            "yard"));
    const int width = 128;
    const int height = 96;
    const Velmora::Ptr<Velmora::Camera> camera = cameraAt(Velmora::vec3(0.0f, -12.0f, 12.0f), Velmora::vec3());
    const QPoint first = toPixel(camera, Velmora::vec3(-4.0f, 0.0f, 0.0f), width, height);
    const QPoint second = toPixel(camera, Velmora::vec3(4.0f, 0.0f, 0.0f), width, height);
    auto shaded = [&](const QPoint &p) {
        const Velmora::Ptr<Velmora::Image> image = renderView(camera, width, height);
        return brightness(pixel(image, p.x(), p.y())) + 90 < brightness(pixel(image, 0, height - 1));
    };
    Velmora::World::getNodeByName("box")->setWorldPosition(Velmora::vec3(-4.0f, 0.0f, 3.0f));
    QVERIFY(shaded(first));
    QVERIFY(!shaded(second));
    Velmora::World::getNodeByName("box")->setWorldPosition(Velmora::vec3(4.0f, 0.0f, 3.0f));
    QVERIFY(!shaded(first));
    QVERIFY(shaded(second));
}

void TestRender::ssao_settings_round_trip_and_reset_with_the_engine()
{
    using R = Velmora::Render;
    R::setSSAO(false);
    R::setSSAOIntensity(1.25f);
    R::setSSAOIntensityLightedSide(0.125f);
    R::setSSAOIntensityReflection(0.75f);
    R::setSSAOCavity(true);
    R::setSSAOCavityIntensity(2.5f);
    R::setSSAOCavityRadius(0.3f);
    R::setSSAORayTracing(true);
    R::setSSAORayTracingDenoise(true);
    R::setSSAORayTracingThreshold(0.7f);
    R::setSSAOQuality(3);
    R::setSSAOResolution(2);
    R::setSSAONoise(true);
    R::setSSAORadius(1.7f);
    R::setSSAOThreshold(0.25f);
    const QVector<float> expected{0.0f, 1.25f, 0.125f, 0.75f, 1.0f, 2.5f, 0.3f, 1.0f,
                                  1.0f, 0.7f,  3.0f,   2.0f,  1.0f, 1.7f, 0.25f};
    auto read = [] {
        return QVector<float>{float(R::isSSAO()),
                              R::getSSAOIntensity(),
                              R::getSSAOIntensityLightedSide(),
                              R::getSSAOIntensityReflection(),
                              float(R::isSSAOCavity()),
                              R::getSSAOCavityIntensity(),
                              R::getSSAOCavityRadius(),
                              float(R::isSSAORayTracing()),
                              float(R::isSSAORayTracingDenoise()),
                              R::getSSAORayTracingThreshold(),
                              float(R::getSSAOQuality()),
                              float(R::getSSAOResolution()),
                              float(R::isSSAONoise()),
                              R::getSSAORadius(),
                              R::getSSAOThreshold()};
    };
    QCOMPARE(read(), expected);
    installation_->stop();
    QVERIFY(installation_->start());
    QVERIFY(R::isSSAO());
    QCOMPARE(R::getSSAORadius(), 1.0f);
    QVERIFY(!R::isSSAOCavity());
}

void TestRender::debug_lights_shows_only_the_light_reaching_surfaces()
{
    QCOMPARE(Velmora::Materials::loadMaterials(), 1);
    Velmora::Render::setPrePostMaterials("fog, debug_lights");
    Velmora::World::getNodeByName("sun")->setEnabled(true);
    // From above: the top face gets the whole sun (white, whatever the red
    // albedo); from the front, the face parallel to the light gets nothing.
    const Rgba top = pixel(render(Velmora::vec3(0.0f, -0.5f, 8.0f)), WIDTH / 2, HEIGHT / 2);
    QCOMPARE(top.r, 255);
    QCOMPARE(top.g, 255);
    const Rgba front = pixel(render(Velmora::vec3(0.0f, -8.0f, 0.0f)), WIDTH / 2, HEIGHT / 2);
    QCOMPARE(front.a, 255);
    QCOMPARE(brightness(front), 0);
    Velmora::Render::setPrePostMaterials("");
    QVERIFY(brightness(pixel(render(Velmora::vec3(0.0f, -8.0f, 0.0f)), WIDTH / 2, HEIGHT / 2)) > 0);
}

void TestRender::the_editor_camera_starts_at_the_world_s_player_data()
{
    QTest::addColumn<QByteArray>("player");
    QTest::addColumn<bool>("at_player");
    QTest::newRow("placed player under a group") << QByteArray(
            "<node type=\"NodeDummy\" id=\"5\" name=\"group\"><transform>1 0 0 0  0 1 0 0  0 0 1 0  1 2 0 "
            "1</transform><node type=\"PlayerDummy\" id=\"6\" name=\"view\"><transform>0 1 0 0  0 0 1 0  "
            "1 0 0 0  3 -9 2 1</transform><fov>45</fov></node></node>")
                                                 << true;
    QTest::newRow("player left at the origin")
            << QByteArray("<node type=\"PlayerDummy\" id=\"6\" name=\"view\"><fov>45</fov></node>") << false;
    QTest::newRow("no player") << QByteArray() << false;
}

void TestRender::the_editor_camera_starts_at_the_world_s_player()
{
    QFETCH(QByteArray, player);
    QFETCH(bool, at_player);
    QVERIFY(restart(
            {{QStringLiteral("view.world"),
              "<world>" + meshNode(1, "box", "meshes/cube.mesh", "body", "red", "4 4 0") + player + "</world>"}},
            "view"));
    const Velmora::Ptr<Velmora::Player> editor = Velmora::Editor::getPlayer();
    QVERIFY(!editor->isInWorld());
    if (at_player) {
        const Velmora::Ptr<Velmora::Node> view = Velmora::World::getNodeByName("view");
        QVERIFY(Velmora::Math::compare(editor->getWorldTransform(), view->getWorldTransform()));
        QCOMPARE(editor->getFov(), 45.0f);
    } else {
        // Framed: the box lies straight ahead.
        const Velmora::Ptr<Velmora::Camera> camera = editor->getCamera();
        const Velmora::vec3 to_box = Velmora::Math::normalize(Velmora::vec3(4.0f, 4.0f, 0.0f) - camera->getPosition());
        QVERIFY(Velmora::Math::dot(to_box, camera->getDirection()) > 0.999f);
        QCOMPARE(editor->getFov(), 60.0f);
    }
}

QTEST_GUILESS_MAIN(TestRender)
#include "tst_render.moc"
