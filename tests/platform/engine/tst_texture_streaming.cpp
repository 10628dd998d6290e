#include "engine_runtime_fixture.h"

#include "velmora/Materials.h"
#include "velmora/Player.h"
#include "velmora/Render.h"
#include "velmora/World.h"

#include <QBuffer>
#include <QtTest>

using namespace enginetest;

namespace {

QByteArray encoded(int width, int height, QRgb color, const char *format, QImage::Format image_format)
{
    QImage image(width, height, image_format);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray rgbaPng(int width, int height)
{
    return encoded(width, height, qRgba(200, 120, 40, 255), "PNG", QImage::Format_ARGB32);
}

QByteArray material(const char *name, const char *texture)
{
    QByteArray text = QByteArray("<material name=\"") + name + "\">";
    if (texture)
        text += QByteArray("<texture name=\"albedo\">") + texture + "</texture>";
    return text + "</material>";
}

// A quad facing -Y at x on the X axis.
QByteArray quad(int id, const char *name, const char *material_name, float x)
{
    return QByteArray("<node type=\"ObjectMeshStatic\" id=\"") + QByteArray::number(id) + "\" name=\"" + name
            + "\"><transform>1 0 0 0  0 1 0 0  0 0 1 0  " + QByteArray::number(x)
            + " 0 0 1</transform><mesh_name>meshes/quad.mesh</mesh_name><surface name=\"face\"><material>"
            + material_name + "</material></surface></node>";
}

class PlayerView : public FakeApp
{
public:
    void lookAt(const Velmora::vec3 &target)
    {
        player_ = Velmora::PlayerDummy::create();
        player_->lookAt(Velmora::vec3(0.0f, -10.0f, 0.0f), target);
    }
    Velmora::Ptr<Velmora::Player> getViewPlayer() const override { return player_; }

private:
    Velmora::Ptr<Velmora::PlayerDummy> player_;
};

QString listing()
{
    LogCapture log;
    Velmora::Render::printStreamingTextures();
    return log.text();
}

// The listing's line of one texture.
QString lineOf(const QString &path)
{
    for (const QString &line : listing().split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("  ") + path + QLatin1Char(':')))
            return line;
    }
    return QString();
}

} // namespace

class TestTextureStreaming : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void the_list_shows_named_and_sampled_textures_sorted_with_their_memory();
    void an_unsampled_texture_unloads_per_the_limits_data();
    void an_unsampled_texture_unloads_per_the_limits();
    void a_missing_texture_is_reported_once_until_its_file_appears();
    void only_what_the_view_draws_holds_textures();
    void a_loaded_texture_shows_new_contents_once_reloaded();

private:
    Installation *installation_ = nullptr;
    PlayerView view_;
};

void TestTextureStreaming::init()
{
    installation_ = new Installation;
    const QMap<QString, QByteArray> files{
            {QStringLiteral("core/textures/white.png"), rgbaPng(4, 4)},
            {QStringLiteral("textures/b.png"), rgbaPng(1024, 384)},
            {QStringLiteral("textures/small.png"), rgbaPng(16, 8)},
            {QStringLiteral("textures/far.png"), rgbaPng(8, 8)},
            {QStringLiteral("textures/photo.jpg"), encoded(64, 48, qRgb(200, 120, 40), "JPG", QImage::Format_RGB32)},
            {QStringLiteral("materials/big.mat"), material("big", "textures/b.png")},
            {QStringLiteral("materials/small.mat"), material("small", "textures/small.png")},
            {QStringLiteral("materials/far.mat"), material("far", "textures/far.png")},
            {QStringLiteral("materials/photo.mat"), material("photo", "textures/photo.jpg")},
            {QStringLiteral("materials/plain.mat"), material("plain", nullptr)},
            {QStringLiteral("materials/ghost.mat"), material("ghost", "textures/missing.png")},
            {QStringLiteral("meshes/quad.mesh"),
             "v -1 0 -1\nv 1 0 -1\nv 1 0 1\nv -1 0 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
             "g face\nf 1/1 2/2 3/3 4/4\n"},
            {QStringLiteral("street.world"),
             "<world>" + quad(1, "big", "big", -4.5f) + quad(2, "small", "small", -1.5f)
                     + quad(3, "photo", "photo", 1.5f) + quad(4, "plain", "plain", 4.5f) + "</world>"},
            {QStringLiteral("ghost.world"), "<world>" + quad(1, "ghost", "ghost", 0.0f) + "</world>"},
            // A sun casting shadows and a quad far beside the view: a shadow
            // caster the view does not draw.
            {QStringLiteral("sunny.world"),
             "<world>" + quad(1, "small", "small", 0.0f) + quad(2, "far", "far", 60.0f)
                     + "<node type=\"LightWorld\" id=\"3\" name=\"sun\"><color>1 1 1 1</color>"
                       "<shadow>1</shadow></node></world>"},
    };
    for (auto it = files.begin(); it != files.end(); ++it)
        QVERIFY(installation_->writeData(it.key(), it.value()));
    QVERIFY(installation_->start());
    view_.lookAt(Velmora::vec3(0.0f, 0.0f, 0.0f));
    Velmora::Engine::get()->addView(&view_);
    QCOMPARE(Velmora::Materials::loadMaterials(), 6);
}

void TestTextureStreaming::cleanup()
{
    delete installation_;
    installation_ = nullptr;
}

void TestTextureStreaming::the_list_shows_named_and_sampled_textures_sorted_with_their_memory()
{
    QCOMPARE(listing(),
             QStringLiteral("---- streamed textures: 6 ----\n"
                            "  core/textures/white.png: 0B/0B  (not loaded)\n"
                            "  textures/b.png: 0B/0B  (not loaded)\n"
                            "  textures/far.png: 0B/0B  (not loaded)\n"
                            "  textures/missing.png: 0B/0B  (not loaded)\n"
                            "  textures/photo.jpg: 0B/0B  (not loaded)\n"
                            "  textures/small.png: 0B/0B  (not loaded)\n"
                            "---- end ----\n"));
    QVERIFY(Velmora::World::load("street"));
    Installation::frame();
    // A render loads what it samples: the plain material samples the core
    // white texture, nothing samples far.png. Main memory holds four floats
    // a texel, video memory the texels in their format.
    QCOMPARE(listing(),
             QStringLiteral("---- streamed textures: 6 ----\n"
                            "  core/textures/white.png: 256B/64B  (RGBA8 4x4)\n"
                            "  textures/b.png: 6MB/1.5MB  (RGBA8 1024x384)\n"
                            "  textures/far.png: 0B/0B  (not loaded)\n"
                            "  textures/missing.png: 0B/0B  (not loaded)\n"
                            "  textures/photo.jpg: 48KB/9KB  (RGB8 64x48)\n"
                            "  textures/small.png: 2KB/512B  (RGBA8 16x8)\n"
                            "---- end ----\n"));
}

void TestTextureStreaming::an_unsampled_texture_unloads_per_the_limits_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("both zero: gone after one frame without it") << 0 << 0 << 1 << false;
    QTest::newRow("within the memory limit: kept") << 1024 << 0 << 3 << true;
    QTest::newRow("over the limit, sampled within the duration: kept") << 0 << 5 << 4 << true;
    QTest::newRow("over the limit, unsampled for the duration: gone") << 0 << 5 << 5 << false;
}

void TestTextureStreaming::an_unsampled_texture_unloads_per_the_limits()
{
    QFETCH(int, limit);
    QFETCH(int, duration);
    QFETCH(int, frames);
    QFETCH(bool, loaded);
    Velmora::Render::setStreamingTexturesMemoryLimit(limit);
    Velmora::Render::setStreamingDestroyDuration(duration);
    QCOMPARE(Velmora::Console::getInt("render_streaming_textures_memory_limit"), limit);
    QVERIFY(Velmora::World::load("street"));
    Installation::frame();
    QVERIFY(!lineOf(QStringLiteral("textures/small.png")).endsWith(QLatin1String("(not loaded)")));
    Velmora::World::getNodeByName("small")->setEnabled(false);
    for (int i = 0; i < frames; ++i)
        Installation::frame();
    QCOMPARE(!lineOf(QStringLiteral("textures/small.png")).endsWith(QLatin1String("(not loaded)")), loaded);
    // Textures sampled in the last frame stay whatever the limits.
    QVERIFY(!lineOf(QStringLiteral("textures/b.png")).endsWith(QLatin1String("(not loaded)")));
}

void TestTextureStreaming::a_missing_texture_is_reported_once_until_its_file_appears()
{
    QVERIFY(Velmora::World::load("ghost"));
    LogCapture log;
    for (int i = 0; i < 3; ++i)
        Installation::frame();
    QCOMPARE(log.count(QStringLiteral("textures/missing.png"), 2), 1);
    QCOMPARE(lineOf(QStringLiteral("textures/missing.png")),
             QStringLiteral("  textures/missing.png: 0B/0B  (not loaded)"));
    // The quad is still drawn, with the core white texture instead.
    QCOMPARE(view_.frames.last().pixelColor(32, 24).alpha(), 255);
    QVERIFY(!lineOf(QStringLiteral("core/textures/white.png")).endsWith(QLatin1String("(not loaded)")));

    QVERIFY(installation_->writeData(QStringLiteral("textures/missing.png"), rgbaPng(2, 2)));
    Installation::frame();
    QCOMPARE(lineOf(QStringLiteral("textures/missing.png")),
             QStringLiteral("  textures/missing.png: 64B/16B  (RGBA8 2x2)"));
    QCOMPARE(log.errors(), 1);
}

void TestTextureStreaming::only_what_the_view_draws_holds_textures()
{
    Velmora::Render::setStreamingTexturesMemoryLimit(0);
    Velmora::Render::setStreamingDestroyDuration(0);
    QVERIFY(Velmora::World::load("sunny"));
    Installation::frame();
    Installation::frame();
    // The far quad only casts a shadow: its depth needs no texture.
    QCOMPARE(listing().count(QStringLiteral("(not loaded)")), 5);
    QVERIFY(lineOf(QStringLiteral("textures/far.png")).endsWith(QLatin1String("(not loaded)")));
    // Turned to the sky, the view draws nothing and holds nothing.
    view_.lookAt(Velmora::vec3(0.0f, -9.0f, 10.0f));
    Installation::frame();
    Installation::frame();
    QCOMPARE(listing().count(QStringLiteral("(not loaded)")), 6);
}

void TestTextureStreaming::a_loaded_texture_shows_new_contents_once_reloaded()
{
    QVERIFY(Velmora::World::load("street"));
    Installation::frame();
    QVERIFY(lineOf(QStringLiteral("textures/small.png")).endsWith(QLatin1String("(RGBA8 16x8)")));
    // A file written anew is not looked at while its texture is loaded...
    QVERIFY(installation_->writeData(QStringLiteral("textures/small.png"), rgbaPng(32, 4)));
    Installation::frame();
    QVERIFY(lineOf(QStringLiteral("textures/small.png")).endsWith(QLatin1String("(RGBA8 16x8)")));
    // ...until it is reloaded.
    Velmora::Render::reloadTexture("textures/small.png");
    Installation::frame();
    QVERIFY(lineOf(QStringLiteral("textures/small.png")).endsWith(QLatin1String("(RGBA8 32x4)")));
    Velmora::Render::reloadTexture("");
    Velmora::Render::reloadTexture(nullptr);
    Velmora::Render::reloadTexture("textures/never_loaded.png");
    Installation::frame();
    QVERIFY(lineOf(QStringLiteral("textures/small.png")).endsWith(QLatin1String("(RGBA8 32x4)")));
}

QTEST_GUILESS_MAIN(TestTextureStreaming)
#include "tst_texture_streaming.moc"
