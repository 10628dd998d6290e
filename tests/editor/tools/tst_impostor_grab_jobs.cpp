#include "../../platform/engine/engine_runtime_fixture.h"

#include "editor/tools/camera_setup.h"
#include "editor/tools/grab_final_thread.h"
#include "editor/tools/grab_gbuffer_thread.h"
#include "editor/tools/grab_lighting_layer_thread.h"
#include "editor/tools/grab_lighting_thread.h"
#include "editor/tools/grab_vegetation_normal_thread.h"
#include "editor/tools/grab_vegetation_translucence_thread.h"
#include "editor/tools/impostor_math.h"

#include <velmora/Materials.h>
#include <velmora/Object.h>
#include <velmora/Render.h>
#include <velmora/World.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cmath>

using namespace Impostors;
using Velmora::Image;
using Velmora::Ptr;
using Velmora::Render;
using Velmora::vec3;

namespace {

// A 2 x 2 x 2 box whose sides face +X (red), -X (green), +Y (blue) and -Y
// (magenta), grey top and bottom, with a small white cap on top.
QByteArray sidedBox()
{
    QByteArray text = "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
                      "v -0.4 -0.4 1\nv 0.4 -0.4 1\nv 0.4 0.4 1\nv -0.4 0.4 1\n"
                      "v -0.4 -0.4 1.6\nv 0.4 -0.4 1.6\nv 0.4 0.4 1.6\nv -0.4 0.4 1.6\n";
    text += "g east\nusemtl red\nf 2 3 7 6\n";
    text += "g west\nusemtl green\nf 4 1 5 8\n";
    text += "g north\nusemtl blue\nf 3 4 8 7\n";
    text += "g south\nusemtl magenta\nf 1 2 6 5\n";
    text += "g ends\nusemtl grey\nf 1 4 3 2\nf 5 6 7 8\n";
    text += "g cap\nusemtl white\nf 9 10 14 13\nf 10 11 15 14\nf 11 12 16 15\nf 12 9 13 16\nf 13 14 15 16\n";
    return text;
}

// A unit sphere with smooth normals.
QByteArray sphere(int rings = 32, int segments = 64)
{
    QByteArray text;
    for (int r = 0; r <= rings; ++r) {
        const float theta = float(M_PI) * float(r) / float(rings);
        for (int s = 0; s < segments; ++s) {
            const float phi = 2.0f * float(M_PI) * float(s) / float(segments);
            const vec3 p(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
            text += QByteArray("v ") + QByteArray::number(p.x, 'f', 6) + " " + QByteArray::number(p.y, 'f', 6) + " "
                    + QByteArray::number(p.z, 'f', 6) + "\n";
            text += QByteArray("vn ") + QByteArray::number(p.x, 'f', 6) + " " + QByteArray::number(p.y, 'f', 6) + " "
                    + QByteArray::number(p.z, 'f', 6) + "\n";
        }
    }
    text += "g ball\nusemtl white\n";
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            const int a = r * segments + s + 1;
            const int b = r * segments + (s + 1) % segments + 1;
            const int c = a + segments;
            const int d = b + segments;
            auto corner = [](int i) { return QByteArray::number(i) + "//" + QByteArray::number(i); };
            text += "f " + corner(a) + " " + corner(c) + " " + corner(d) + " " + corner(b) + "\n";
        }
    }
    return text;
}

QByteArray material(const char *name, const char *color)
{
    return QByteArray("<material name=\"") + name + "\"><parameter name=\"albedo_color\">" + color
            + "</parameter><parameter name=\"metalness\">0.25</parameter><parameter name=\"roughness\">0.5"
              "</parameter><parameter name=\"specular\">0.75</parameter><parameter name=\"microfiber\">0.5"
              "</parameter></material>";
}

QColor color(const Image &image, int x, int y, int layer = 0)
{
    const Image::Pixel p = image.get2D(x, y, layer);
    return QColor(p.i.r, p.i.g, p.i.b, p.i.a);
}

// Steps a job until it ends or 60 s pass; the number of updates, or -1.
// Between updates the atlas copy gets a moment on the pool.
int run(FrameThread &job)
{
    bool done = false;
    QObject::connect(&job, &FrameThread::finished, [&done] { done = true; });
    QObject::connect(&job, &FrameThread::cancelled, [&done] { done = true; });
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; timer.elapsed() < 60000; ++i) {
        job.update();
        if (done)
            return i;
        QThread::usleep(50);
    }
    return -1;
}

// The final grab with an atlas copy that takes a while.
class SlowCopyGrab : public GrabFinalThread
{
public:
    using GrabFinalThread::GrabFinalThread;
    ~SlowCopyGrab() override { copy_future.waitForFinished(); }
    std::atomic<bool> copied{false};

protected:
    void copyViewToAtlas() override
    {
        QThread::msleep(150);
        GrabFinalThread::copyViewToAtlas();
        copied = true;
    }
};

// Records the render settings while the kind renders.
template<typename Job>
class Probe : public Job
{
public:
    using Job::Job;
    QStringList during;

protected:
    void renderKind(const Velmora::Ptr<Velmora::Camera> &camera) override
    {
        during << QStringLiteral("ssao %1 quality %2 threshold %3 ss %4 scale %5 enabled %6")
                          .arg(Render::isSSAO())
                          .arg(Render::getSSAOQuality())
                          .arg(double(Render::getSSAOThreshold()))
                          .arg(double(Render::getSupersampling()))
                          .arg(double(Render::getDistanceScale()))
                          .arg(this->node->isEnabled());
        Job::renderKind(camera);
    }
};

// Every render setting a grab may touch, as text.
QString renderSettings(const Ptr<Velmora::Node> &node)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14 %15 | %16 %17 %18 | %19 %20 | %21")
            .arg(Render::isSSAO())
            .arg(double(Render::getSSAOIntensity()))
            .arg(double(Render::getSSAOIntensityLightedSide()))
            .arg(double(Render::getSSAOIntensityReflection()))
            .arg(Render::isSSAOCavity())
            .arg(double(Render::getSSAOCavityIntensity()))
            .arg(double(Render::getSSAOCavityRadius()))
            .arg(Render::isSSAORayTracing())
            .arg(Render::isSSAORayTracingDenoise())
            .arg(double(Render::getSSAORayTracingThreshold()))
            .arg(Render::getSSAOQuality())
            .arg(Render::getSSAOResolution())
            .arg(Render::isSSAONoise())
            .arg(double(Render::getSSAORadius()))
            .arg(double(Render::getSSAOThreshold()))
            .arg(QString::fromUtf8(Render::getPrePostMaterials()))
            .arg(Render::isShadows())
            .arg(double(Render::getShadowDistance()))
            .arg(double(Render::getSupersampling()))
            .arg(double(Render::getDistanceScale()))
            .arg(node->isEnabled());
}

} // namespace

class tst_ImpostorGrabJobs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void each_cell_shows_the_side_facing_its_heading_upright_data();
    void each_cell_shows_the_side_facing_its_heading_upright();
    void dilation_reaches_the_padding_while_alpha_keeps_the_coverage_data();
    void dilation_reaches_the_padding_while_alpha_keeps_the_coverage();
    void downsampling_halves_down_to_the_cell_size_data();
    void downsampling_halves_down_to_the_cell_size();
    void the_depth_atlas_holds_distances_toward_the_camera();
    void render_settings_are_back_after_every_view_data();
    void render_settings_are_back_after_every_view();
    void cancel_in_any_state_emits_cancelled_once_and_never_finished_data();
    void cancel_in_any_state_emits_cancelled_once_and_never_finished();
    void an_empty_grid_or_an_oversized_render_draws_nothing();
    void the_vegetation_normal_of_a_sphere_is_its_view_normal();
    void the_lighting_grab_fills_four_layers_with_progress_in_quarters();
    void missing_engine_materials_skip_their_passes_data();
    void missing_engine_materials_skip_their_passes();
    void the_sample_lamp_post_shows_its_sides_from_every_heading();

private:
    GrabParameters params(const Ptr<Velmora::Node> &node, int numPhi, int numTheta, int cell, int supersampling,
                          int padding) const;

    enginetest::Installation *installation_ = nullptr;
    Ptr<Velmora::Node> box_;
    Ptr<Velmora::Node> ball_;
};

void tst_ImpostorGrabJobs::initTestCase()
{
    installation_ = new enginetest::Installation;
    QVERIFY(installation_->writeData(QStringLiteral("meshes/box.mesh"), sidedBox()));
    QVERIFY(installation_->writeData(QStringLiteral("meshes/sphere.mesh"), sphere()));
    QVERIFY(installation_->writeData(QStringLiteral("materials/red.mat"), material("red", "1 0 0 1")));
    QVERIFY(installation_->writeData(QStringLiteral("materials/green.mat"), material("green", "0 1 0 1")));
    QVERIFY(installation_->writeData(QStringLiteral("materials/blue.mat"), material("blue", "0 0 1 1")));
    QVERIFY(installation_->writeData(QStringLiteral("materials/magenta.mat"), material("magenta", "1 0 1 1")));
    QVERIFY(installation_->writeData(QStringLiteral("materials/grey.mat"), material("grey", "0.5 0.5 0.5 1")));
    QVERIFY(installation_->writeData(QStringLiteral("materials/white.mat"), material("white", "1 1 1 1")));
    QVERIFY(installation_->start());
    Velmora::Materials::loadMaterials();
    box_ = Velmora::ObjectMeshStatic::create("meshes/box.mesh");
    ball_ = Velmora::ObjectMeshStatic::create("meshes/sphere.mesh");
    QVERIFY(box_->getWorldBoundSphere().getRadius() > 1.0f);
    // Somewhere off the origin, so that nothing relies on it.
    box_->setWorldTransform(Velmora::Math::translate(10.0f, -4.0f, 2.0f));
    ball_->setWorldTransform(Velmora::Math::translate(-3.0f, 7.0f, 1.0f));
}

void tst_ImpostorGrabJobs::cleanupTestCase()
{
    box_ = Ptr<Velmora::Node>();
    ball_ = Ptr<Velmora::Node>();
    delete installation_;
    installation_ = nullptr;
}

GrabParameters tst_ImpostorGrabJobs::params(const Ptr<Velmora::Node> &node, int numPhi, int numTheta, int cell,
                                            int supersampling, int padding) const
{
    CameraSetup setup;
    setup.node = node;
    setup.numPhi = numPhi;
    setup.numTheta = numTheta;
    setup.computeBounds();
    setup.updateModelviews();
    GrabParameters p;
    p.node = node;
    p.distance = setup.distance;
    const float s = setup.radius * 1.05f;
    p.projection = Velmora::Math::ortho(-s, s, -s, s, 0.01f, 2.0f * setup.distance);
    p.modelviews = setup.modelviews;
    p.cellWidth = cell;
    p.cellHeight = cell;
    p.supersampling = supersampling;
    p.numPhi = numPhi;
    p.numTheta = numTheta;
    p.padding = padding;
    return p;
}

void tst_ImpostorGrabJobs::each_cell_shows_the_side_facing_its_heading_upright_data()
{
    QTest::addColumn<bool>("final");
    QTest::newRow("final image") << true;
    QTest::newRow("albedo") << false;
}

void tst_ImpostorGrabJobs::each_cell_shows_the_side_facing_its_heading_upright()
{
    QFETCH(bool, final);
    const GrabParameters p = params(box_, 4, 1, 32, 1, 0);
    std::unique_ptr<GrabThreadTemplate> job;
    if (final)
        job.reset(new GrabFinalThread(p));
    else
        job.reset(new GrabGBufferThread(p, 0));
    QSignalSpy progress(job.get(), &FrameThread::progress);
    QSignalSpy finished(job.get(), &FrameThread::finished);
    QVERIFY(run(*job) > 0);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(progress.count(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(progress[i][0].toFloat(), 0.25f * float(i + 1));

    const Ptr<Image> atlas = job->getImage();
    QCOMPARE(atlas->getWidth(), 128);
    QCOMPARE(atlas->getHeight(), 32);
    // Headings 180, 90, 0, -90: the cameras stand at +Y, +X, -Y, -X.
    const QString sides[]
            = {QStringLiteral("blue"), QStringLiteral("red"), QStringLiteral("magenta"), QStringLiteral("green")};
    const QRgb exact[] = {0x0000ff, 0xff0000, 0xff00ff, 0x00ff00};
    for (int j = 0; j < 4; ++j) {
        const QColor side = color(*atlas, j * 32 + 16, 20);
        const bool r = side.red() > 40;
        const bool g = side.green() > 40;
        const bool b = side.blue() > 40;
        const QString seen = r && b && !g ? QStringLiteral("magenta")
                : r && !g && !b           ? QStringLiteral("red")
                : g && !r && !b           ? QStringLiteral("green")
                : b && !r && !g           ? QStringLiteral("blue")
                                          : side.name();
        QCOMPARE(seen, sides[j]);
        QCOMPARE(side.alpha(), 255);
        if (!final)
            QCOMPARE(side.rgb() & 0xffffff, exact[j]);
        // The white cap is above the side: image rows run top-down.
        const QColor cap = color(*atlas, j * 32 + 16, 7);
        QVERIFY2(std::min({cap.red(), cap.green(), cap.blue()}) > (final ? 100 : 250)
                         && std::max({cap.red(), cap.green(), cap.blue()})
                                         - std::min({cap.red(), cap.green(), cap.blue()})
                                 < 30,
                 qPrintable(cap.name()));
        QCOMPARE(color(*atlas, j * 32 + 1, 7).alpha(), 0);
    }
}

void tst_ImpostorGrabJobs::dilation_reaches_the_padding_while_alpha_keeps_the_coverage_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("padding");
    QTest::addColumn<int>("supersampling");
    QTest::newRow("no padding") << 0 << 0 << 1;
    QTest::newRow("one pass") << 0 << 1 << 1;
    QTest::newRow("padding 2 at supersampling 2") << 0 << 2 << 2;
    QTest::newRow("shading: separate alpha") << 4 << 2 << 1;
}

void tst_ImpostorGrabJobs::dilation_reaches_the_padding_while_alpha_keeps_the_coverage()
{
    QFETCH(int, mode);
    QFETCH(int, padding);
    QFETCH(int, supersampling);
    // One view from +Y (the blue side) and its undilated twin.
    GrabGBufferThread plain(params(box_, 1, 1, 48, supersampling, 0), mode);
    GrabGBufferThread padded(params(box_, 1, 1, 48, supersampling, padding), mode);
    QVERIFY(run(plain) > 0);
    QVERIFY(run(padded) > 0);
    QCOMPARE(padded.getNumDilationPasses(), padding * supersampling);
    const Image &a = *plain.getImage();
    const Image &b = *padded.getImage();

    int reached = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            QCOMPARE(color(b, x, y).alpha(), color(a, x, y).alpha());
            // Chebyshev distance to the nearest covered pixel.
            int distance = 99;
            for (int v = 0; v < 48; ++v) {
                for (int u = 0; u < 48; ++u) {
                    if (color(a, u, v).alpha() > 0)
                        distance = std::min(distance, std::max(std::abs(u - x), std::abs(v - y)));
                }
            }
            if (distance == 0)
                continue;
            const bool coloured = (color(b, x, y).rgb() & 0xffffff) != 0;
            if (distance <= padding) {
                QVERIFY2(coloured, qPrintable(QStringLiteral("%1,%2 at %3").arg(x).arg(y).arg(distance)));
                ++reached;
            } else if (distance > padding + 1) {
                QVERIFY2(!coloured, qPrintable(QStringLiteral("%1,%2 at %3").arg(x).arg(y).arg(distance)));
            }
        }
    }
    QCOMPARE(reached > 0, padding > 0);
}

void tst_ImpostorGrabJobs::downsampling_halves_down_to_the_cell_size_data()
{
    QTest::addColumn<int>("supersampling");
    QTest::addColumn<int>("halvings");
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("2") << 2 << 1;
    QTest::newRow("4") << 4 << 2;
    QTest::newRow("8") << 8 << 3;
}

void tst_ImpostorGrabJobs::downsampling_halves_down_to_the_cell_size()
{
    QFETCH(int, supersampling);
    QFETCH(int, halvings);
    GrabGBufferThread job(params(box_, 2, 1, 16, supersampling, 0), 0);
    QVERIFY(run(job) > 0);
    QCOMPARE(job.getRenderWidth(), 16 * supersampling);
    QCOMPARE(job.getNumHalvings(), halvings);
    QCOMPARE(job.getImage()->getWidth(), 32);
    QCOMPARE(job.getImage()->getHeight(), 16);
    // The side seen from +Y is blue whatever the supersampling.
    QCOMPARE(color(*job.getImage(), 8, 10).rgb() & 0xffffff, QColor(Qt::blue).rgb() & 0xffffff);
}

void tst_ImpostorGrabJobs::the_depth_atlas_holds_distances_toward_the_camera()
{
    GrabParameters p = params(box_, 1, 1, 32, 1, 1);
    GrabGBufferThread job(p, 8);
    QVERIFY(run(job) > 0);
    const Image &atlas = *job.getImage();
    QCOMPARE(atlas.getFormat(), int(Image::FORMAT_R32F));
    QCOMPARE(Velmora::Materials::findBaseMaterial("impostor_grab_gbuffer_post")
                     ->getParameterFloat(Velmora::Materials::findBaseMaterial("impostor_grab_gbuffer_post")
                                                 ->findParameter("impostor_plane_distance")),
             p.distance);
    // The pivot is the bound sphere's centre (above the box, for the cap);
    // the side facing the camera lies one unit from it toward the camera.
    const vec3 centre = box_->getWorldBoundSphere().getCenter();
    const vec3 eye = Velmora::Math::inverse(p.modelviews[0]).getTranslate();
    const vec3 toward = Velmora::Math::normalize(eye - centre);
    const float expected = Velmora::Math::dot(vec3(10.0f, -3.0f, 2.0f) - centre, toward);
    QVERIFY(std::fabs(expected - 1.0f) < 1e-4f);
    QVERIFY2(std::fabs(atlas.get2D(16, 20).f.r - expected) < 1e-3f,
             qPrintable(QString::number(atlas.get2D(16, 20).f.r)));
    // The cap stands back from the side: nearer the pivot plane.
    QVERIFY(std::fabs(atlas.get2D(16, 5).f.r - 0.4f) < 1e-3f);
}

void tst_ImpostorGrabJobs::render_settings_are_back_after_every_view_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("albedo with SSAO") << int(TEXTURE_ALBEDO_SSAO);
    QTest::newRow("SSAO") << int(TEXTURE_SSAO);
    QTest::newRow("vegetation normal") << int(TEXTURE_NORMAL_VEGETATION);
    QTest::newRow("vegetation translucence") << int(TEXTURE_TRANSLUCENCE_VEGETATION);
}

void tst_ImpostorGrabJobs::render_settings_are_back_after_every_view()
{
    QFETCH(int, kind);
    // Odd user settings, and the node disabled.
    Render::setSSAO(false);
    Render::setSSAOIntensity(0.3f);
    Render::setSSAOIntensityLightedSide(0.7f);
    Render::setSSAOIntensityReflection(0.2f);
    Render::setSSAOCavity(false);
    Render::setSSAOCavityIntensity(0.6f);
    Render::setSSAOCavityRadius(3.5f);
    Render::setSSAORayTracing(true);
    Render::setSSAORayTracingDenoise(true);
    Render::setSSAORayTracingThreshold(0.125f);
    Render::setSSAOQuality(1);
    Render::setSSAOResolution(0);
    Render::setSSAONoise(false);
    Render::setSSAORadius(0.375f);
    Render::setSSAOThreshold(0.5f);
    Render::setPrePostMaterials("fog");
    Render::setShadows(false);
    Render::setShadowDistance(55.0f);
    Render::setSupersampling(2.0f);
    Render::setDistanceScale(1.5f);
    box_->setEnabled(false);
    const QString before = renderSettings(box_);

    const GrabParameters p = params(box_, 2, 1, 16, 1, 1);
    std::unique_ptr<GrabThreadTemplate> job;
    QStringList *during = nullptr;
    if (kind == TEXTURE_ALBEDO_SSAO || kind == TEXTURE_SSAO) {
        auto *probe = new Probe<GrabGBufferThread>(p, kind == TEXTURE_SSAO ? 6 : 1);
        during = &probe->during;
        job.reset(probe);
    } else if (kind == TEXTURE_NORMAL_VEGETATION) {
        job.reset(new GrabVegetationNormalThread(p));
    } else {
        job.reset(new GrabVegetationTranslucenceThread(p));
    }
    bool done = false;
    connect(job.get(), &FrameThread::finished, [&done] { done = true; });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 60000) {
        job->update();
        QCOMPARE(renderSettings(box_), before);
        QThread::usleep(50);
    }
    QVERIFY(done);
    if (during) {
        QCOMPARE(during->size(), 2);
        QCOMPARE(during->first(), QStringLiteral("ssao 1 quality 3 threshold 0.25 ss 1 scale 10 enabled 1"));
    }
    box_->setEnabled(true);
    Render::setSupersampling(1.0f);
    Render::setDistanceScale(1.0f);
    Render::setSSAO(true);
    Render::setSSAORadius(1.0f);
    Render::setPrePostMaterials("");
    Render::setShadows(true);
}

void tst_ImpostorGrabJobs::cancel_in_any_state_emits_cancelled_once_and_never_finished_data()
{
    QTest::addColumn<int>("updates");
    QTest::addColumn<int>("state");
    QTest::newRow("set-up") << 0 << int(GrabThreadTemplate::GRAB_SETUP);
    QTest::newRow("render") << 1 << int(GrabThreadTemplate::GRAB_RENDER);
    QTest::newRow("post") << 2 << int(GrabThreadTemplate::GRAB_POST);
    QTest::newRow("downsample") << 3 << int(GrabThreadTemplate::GRAB_DOWNSAMPLE);
    QTest::newRow("copy start") << 4 << int(GrabThreadTemplate::GRAB_COPY);
    QTest::newRow("waiting for the copy") << 5 << int(GrabThreadTemplate::GRAB_WAIT_COPY);
    // The lighting grab between its layers: layer 0 done, layer 1 running.
    QTest::newRow("lighting, layer 1") << -1 << -1;
}

void tst_ImpostorGrabJobs::cancel_in_any_state_emits_cancelled_once_and_never_finished()
{
    QFETCH(int, updates);
    QFETCH(int, state);
    const GrabParameters p = params(box_, 2, 1, 16, 1, 1);
    if (updates < 0) {
        GrabLightingThread lighting(p);
        QSignalSpy finished(&lighting, &FrameThread::finished);
        QSignalSpy cancelled(&lighting, &FrameThread::cancelled);
        QElapsedTimer timer;
        timer.start();
        while (lighting.getLayer() < 1 && timer.elapsed() < 60000) {
            lighting.update();
            QThread::usleep(50);
        }
        QCOMPARE(lighting.getLayer(), 1);
        lighting.update();
        lighting.update();
        QVERIFY(lighting.getLayerThread());
        lighting.cancel();
        lighting.cancel();
        lighting.update();
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!lighting.getLayerThread());
        const Image &layers = *lighting.getImage();
        QCOMPARE(layers.getNumLayers(), 4);
        bool layer0 = false;
        bool layer1 = false;
        for (int y = 0; y < layers.getHeight(); ++y) {
            for (int x = 0; x < layers.getWidth(); ++x) {
                layer0 = layer0 || layers.get2D(x, y, 0).i.a > 0;
                layer1 = layer1 || layers.get2D(x, y, 1).i.a > 0;
            }
        }
        QVERIFY(layer0);
        QVERIFY(!layer1);
        return;
    }
    SlowCopyGrab job(p);
    QSignalSpy finished(&job, &FrameThread::finished);
    QSignalSpy cancelled(&job, &FrameThread::cancelled);
    for (int i = 0; i < updates; ++i)
        job.update();
    QCOMPARE(job.getState(), state);
    job.cancel();
    if (state == GrabThreadTemplate::GRAB_WAIT_COPY)
        QVERIFY(job.copied); // cancel waited for the copy
    QCOMPARE(job.getState(), int(GrabThreadTemplate::GRAB_DONE));
    job.cancel();
    for (int i = 0; i < 20; ++i)
        job.update();
    QCOMPARE(cancelled.count(), 1);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(job.getState(), int(GrabThreadTemplate::GRAB_DONE));
}

void tst_ImpostorGrabJobs::an_empty_grid_or_an_oversized_render_draws_nothing()
{
    GrabParameters empty = params(box_, 1, 1, 16, 1, 0);
    empty.numTheta = 0;
    empty.modelviews.clear();
    GrabFinalThread none(empty);
    QSignalSpy finished(&none, &FrameThread::finished);
    none.update();
    QCOMPARE(finished.count(), 1);
    QVERIFY(none.getImage()->isEmpty());

    // 1100 x 8 = 8800 pixels: more than the largest texture side.
    GrabGBufferThread oversized(params(box_, 1, 1, 1100, 8, 0), 0);
    QSignalSpy refused(&oversized, &FrameThread::cancelled);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("cannot grab the impostor: the render size 8800 x 8800")));
    oversized.update();
    QCOMPARE(refused.count(), 1);
    QCOMPARE(oversized.getState(), int(GrabThreadTemplate::GRAB_DONE));
    QVERIFY(oversized.getImage()->isEmpty());

    // A refused layer ends the lighting grab the same way.
    GrabLightingThread lighting(params(box_, 1, 1, 1100, 8, 0));
    QSignalSpy lighting_refused(&lighting, &FrameThread::cancelled);
    QSignalSpy lighting_finished(&lighting, &FrameThread::finished);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot grab the impostor")));
    lighting.update();
    QTRY_COMPARE(lighting_refused.count(), 1);
    lighting.update();
    QCOMPARE(lighting_finished.count(), 0);
    QVERIFY(!lighting.getLayerThread());
}

void tst_ImpostorGrabJobs::the_vegetation_normal_of_a_sphere_is_its_view_normal()
{
    const GrabParameters p = params(ball_, 3, 2, 48, 1, 0);
    GrabVegetationNormalThread vegetation(p);
    GrabGBufferThread normal(p, 2);
    QVERIFY(run(vegetation) > 0);
    QVERIFY(run(normal) > 0);
    const Image &a = *vegetation.getImage();
    const Image &b = *normal.getImage();
    int covered = 0;
    int left = 0;
    int right = 0;
    for (int y = 0; y < a.getHeight(); ++y) {
        for (int x = 0; x < a.getWidth(); ++x) {
            const QColor n = color(b, x, y);
            QCOMPARE(color(a, x, y).alpha(), n.alpha());
            if (n.alpha() == 0)
                continue;
            ++covered;
            const QColor v = color(a, x, y);
            QVERIFY2(std::abs(v.red() - n.red()) <= 2 && std::abs(v.green() - n.green()) <= 2
                             && std::abs(v.blue() - n.blue()) <= 2,
                     qPrintable(QStringLiteral("%1,%2: %3 vs %4").arg(x).arg(y).arg(v.name(), n.name())));
            left += n.red() < 64 ? 1 : 0;
            right += n.red() > 192 ? 1 : 0;
        }
    }
    QVERIFY(covered > 6 * 400);
    QVERIFY(left > 100 && right > 100);
}

void tst_ImpostorGrabJobs::the_lighting_grab_fills_four_layers_with_progress_in_quarters()
{
    GrabLightingThread job(params(box_, 4, 1, 16, 1, 1));
    QSignalSpy progress(&job, &FrameThread::progress);
    QSignalSpy finished(&job, &FrameThread::finished);
    QVERIFY(run(job) > 0);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(progress.count(), 16);
    for (int i = 0; i < 16; ++i)
        QCOMPARE(progress[i][0].toFloat(), 0.0625f * float(i + 1));
    const Image &layers = *job.getImage();
    QCOMPARE(layers.getType(), int(Image::IMAGE_2D_ARRAY));
    QCOMPARE(layers.getNumLayers(), 4);
    QCOMPARE(layers.getWidth(), 64);
    QCOMPARE(layers.getHeight(), 16);
    QCOMPARE(layers.getFormat(), int(Image::FORMAT_RGBA8));
    // The light turns by -90 degrees per layer, fixed in the world: layer k
    // lights the side that the camera of cell k sees (+Y, +X, -Y, -X) most.
    for (int layer = 0; layer < 4; ++layer) {
        int brightest = -1;
        int best = -1;
        for (int j = 0; j < 4; ++j) {
            const QColor side = color(layers, j * 16 + 8, 10, layer);
            if (side.red() + side.green() + side.blue() > best) {
                best = side.red() + side.green() + side.blue();
                brightest = j;
            }
        }
        QCOMPARE(brightest, layer);
    }
}

void tst_ImpostorGrabJobs::missing_engine_materials_skip_their_passes_data()
{
    QTest::addColumn<QString>("material");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("compose") << "impostor_compose_veg_normal_post" << int(TEXTURE_NORMAL_VEGETATION) << false;
    QTest::newRow("lighting, normal") << "impostor_grab_lighting_post" << int(TEXTURE_NORMAL_VEGETATION) << false;
    QTest::newRow("lighting, translucence")
            << "impostor_grab_lighting_post" << int(TEXTURE_TRANSLUCENCE_VEGETATION) << false;
    QTest::newRow("soften") << "impostor_soften_translucence_post" << int(TEXTURE_TRANSLUCENCE_VEGETATION) << false;
    QTest::newRow("g-buffer") << "impostor_grab_gbuffer_post" << int(TEXTURE_ALBEDO) << false;
    QTest::newRow("dilation") << "extrude_post" << int(TEXTURE_ALBEDO) << true;
    QTest::newRow("silhouette") << "impostor_grab_silhouette" << -1 << false;
    QTest::newRow("silhouette union") << "impostor_blend_silhouettes" << -1 << false;
}

void tst_ImpostorGrabJobs::missing_engine_materials_skip_their_passes()
{
    QFETCH(QString, material);
    QFETCH(int, kind);
    QFETCH(bool, drawn);
    // The engine is started again for each row, without that material.
    cleanupTestCase();
    initTestCase();
    QVERIFY(Velmora::Materials::removeBaseMaterial(qPrintable(material)));
    QTest::ignoreMessage(QtCriticalMsg, qPrintable(QStringLiteral("Material \"%1\" was not found.").arg(material)));
    if (kind < 0) {
        // The fit sees nothing: it keeps the start size and says so.
        CameraSetup setup;
        setup.node = box_;
        setup.numPhi = 4;
        setup.numTheta = 1;
        QTest::ignoreMessage(QtWarningMsg, "Impostor creator: failed to adjust projection width/height to fit a node!");
        QVERIFY(setup.setup());
        QCOMPARE(setup.size, 1.1f * setup.radius);
        return;
    }
    const GrabParameters p = params(box_, 2, 1, 16, 1, 1);
    std::unique_ptr<GrabThreadTemplate> job;
    if (kind == TEXTURE_NORMAL_VEGETATION)
        job.reset(new GrabVegetationNormalThread(p));
    else if (kind == TEXTURE_TRANSLUCENCE_VEGETATION)
        job.reset(new GrabVegetationTranslucenceThread(p));
    else
        job.reset(new GrabGBufferThread(p, 0));
    QSignalSpy finished(job.get(), &FrameThread::finished);
    QVERIFY(run(*job) > 0);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(job->getNumDilationPasses(), material == QLatin1String("extrude_post") ? 0 : 1);
    // The view of +Y (cell 0) is drawn unless the missing pass draws it.
    QCOMPARE(color(*job->getImage(), 8, 10).alpha() > 0, drawn);
}

void tst_ImpostorGrabJobs::the_sample_lamp_post_shows_its_sides_from_every_heading()
{
    // The sample project's lamp post, grabbed at small settings.
    enginetest::Installation sample;
    const QString source = QString::fromLocal8Bit(qgetenv("VELMORA_SOURCE_DIR")) + "/examples/sample_project/data/";
    for (const char *file : {"meshes/lamp_post.mesh", "nodes/lamp_post.node", "materials/lamp/lamp_east.mat",
                             "materials/lamp/lamp_west.mat", "materials/lamp/lamp_north.mat",
                             "materials/lamp/lamp_south.mat", "materials/lamp/lamp_metal.mat"}) {
        QFile in(source + file);
        QVERIFY2(in.open(QIODevice::ReadOnly), file);
        QVERIFY(sample.writeData(QString::fromLatin1(file), in.readAll()));
    }
    cleanupTestCase();
    QVERIFY(sample.start());
    Velmora::Materials::loadMaterials();
    Ptr<Velmora::Node> lamp = Velmora::World::loadNode("nodes/lamp_post.node");
    QVERIFY(lamp);

    CameraSetup setup;
    setup.node = lamp;
    setup.numPhi = 4;
    setup.numTheta = 2;
    setup.aspect = 2.0f;
    QVERIFY(setup.setup());
    const AtlasLayout layout = atlasLayout(256, 4, 2, setup.aspect, 2);
    GrabParameters p;
    p.node = lamp;
    p.distance = setup.distance;
    p.projection = setup.projection;
    p.modelviews = setup.modelviews;
    p.cellWidth = layout.cellWidth;
    p.cellHeight = layout.cellHeight;
    p.supersampling = 2;
    p.numPhi = 4;
    p.numTheta = 2;
    p.padding = 2;
    // Every kind: each grab ends with a full atlas (four layers for the
    // lighting); the pictures land in the test's home folder.
    const QString home = QString::fromLocal8Bit(qgetenv("VELMORA_TEST_HOME"));
    Ptr<Image> albedo;
    for (int kind = 0; kind < NUM_TEXTURE_KINDS; ++kind) {
        std::unique_ptr<GrabThreadBase> job;
        const int modes[] = {-1, -1, 0, 1, 2, -1, 3, 4, 5, 6, 7, -1, 8};
        if (kind == TEXTURE_FINAL)
            job.reset(new GrabFinalThread(p));
        else if (kind == TEXTURE_LIGHTING)
            job.reset(new GrabLightingThread(p));
        else if (kind == TEXTURE_NORMAL_VEGETATION)
            job.reset(new GrabVegetationNormalThread(p));
        else if (kind == TEXTURE_TRANSLUCENCE_VEGETATION)
            job.reset(new GrabVegetationTranslucenceThread(p));
        else
            job.reset(new GrabGBufferThread(p, modes[kind]));
        QSignalSpy finished(job.get(), &FrameThread::finished);
        QVERIFY(run(*job) > 0);
        QCOMPARE(finished.count(), 1);
        const Ptr<Image> atlas = job->getImage();
        QCOMPARE(atlas->getWidth(), 4 * layout.cellWidth);
        QCOMPARE(atlas->getHeight(), 2 * layout.cellHeight);
        QCOMPARE(atlas->getNumLayers(), kind == TEXTURE_LIGHTING ? 4 : 1);
        if (kind == TEXTURE_ALBEDO)
            albedo = atlas;
        for (int layer = 0; layer < atlas->getNumLayers() && !home.isEmpty(); ++layer) {
            Image picture;
            picture.create2D(atlas->getWidth(), atlas->getHeight(), atlas->getFormat());
            std::copy(atlas->getPixels(layer), atlas->getPixels(layer) + atlas->getSize(), picture.getPixels());
            QVERIFY(picture.save(
                    qPrintable(QStringLiteral("%1/lamp_post_kind%2_%3.png").arg(home).arg(kind).arg(layer))));
        }
    }
    // Row 0 (elevation 0): cameras at +Y, +X, -Y, -X see the north (blue),
    // east (red), south (yellow) and west (green) sides of the pole.
    const Image &atlas = *albedo;
    const QColor expected[]
            = {QColor(0x59, 0x7c, 0xee), QColor(0xe7, 0x59, 0x59), QColor(0xf4, 0xe7, 0x59), QColor(0x59, 0xdb, 0x6c)};
    for (int j = 0; j < 4; ++j) {
        const QColor pole = color(atlas, j * layout.cellWidth + layout.cellWidth / 2, layout.cellHeight / 2);
        QVERIFY2(std::abs(pole.red() - expected[j].red()) < 8 && std::abs(pole.green() - expected[j].green()) < 8
                         && std::abs(pole.blue() - expected[j].blue()) < 8,
                 qPrintable(QStringLiteral("cell %1: %2").arg(j).arg(pole.name())));
    }
}

QTEST_MAIN(tst_ImpostorGrabJobs)
#include "tst_impostor_grab_jobs.moc"
