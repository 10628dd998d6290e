#include "../../platform/engine/engine_runtime_fixture.h"

#include "editor/tools/camera_setup.h"
#include "editor/tools/grab_parameters.h"
#include "editor/tools/impostor_math.h"

#include <velmora/Materials.h>
#include <velmora/Object.h>

#include <QtTest>

#include <cmath>

using namespace Impostors;
using Velmora::Image;
using Velmora::mat4;
using Velmora::Ptr;
using Velmora::quat;
using Velmora::vec3;

namespace {

// A mask of w x h with the pixels of rect covered.
Ptr<Image> mask(int w, int h, const QRect &rect = QRect())
{
    Ptr<Image> image = Image::create();
    image->create2D(w, h, Image::FORMAT_R8);
    for (int y = rect.top(); y <= rect.bottom() && !rect.isEmpty(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            image->set2D(x, y, Image::Pixel::fromInt(255, 0, 0));
    }
    return image;
}

// The union silhouette of a disc of world radius rho seen through a
// projection of half-size s on a 1024 x 1024 mask.
CameraSetup::SilhouetteSource disc(float rho)
{
    return [rho](float s) {
        Ptr<Image> image = mask(1024, 1024);
        const float pixels = rho / s * 512.0f;
        for (int y = 0; y < 1024; ++y) {
            for (int x = 0; x < 1024; ++x) {
                const float dx = float(x) + 0.5f - 512.0f;
                const float dy = float(y) + 0.5f - 512.0f;
                if (dx * dx + dy * dy <= pixels * pixels)
                    image->set2D(x, y, Image::Pixel::fromInt(255, 0, 0));
            }
        }
        return image;
    };
}

// Counts the warnings logged while it lives.
class WarningCounter
{
public:
    WarningCounter() { previous_ = qInstallMessageHandler(&WarningCounter::handle); }
    ~WarningCounter() { qInstallMessageHandler(previous_); }
    static int count() { return count_; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &)
    {
        if (type == QtWarningMsg)
            ++count_;
    }
    static inline int count_ = 0;
    QtMessageHandler previous_ = nullptr;
};

} // namespace

class tst_ImpostorCameraSetup : public QObject
{
    Q_OBJECT

private slots:
    void cameras_circle_the_pivot_and_turn_with_the_node_data();
    void cameras_circle_the_pivot_and_turn_with_the_node();
    void fit_to_aspect_and_atlas_layout_data();
    void fit_to_aspect_and_atlas_layout();
    void renders_larger_than_the_largest_texture_are_refused();
    void margins_are_the_empty_borders_on_the_limiting_side_data();
    void margins_are_the_empty_borders_on_the_limiting_side();
    void fit_shrinks_to_one_free_pixel_then_checks_once();
    void fit_grows_back_in_world_units_after_an_overshoot();
    void fit_keeps_the_start_size_and_warns_when_nothing_can_be_fitted_data();
    void fit_keeps_the_start_size_and_warns_when_nothing_can_be_fitted();
    void light_matrices_of_the_layers_and_the_vegetation_passes();
    void setup_refuses_a_missing_or_empty_node();
    void a_cube_fits_its_views_with_one_free_pixel();
};

void tst_ImpostorCameraSetup::cameras_circle_the_pivot_and_turn_with_the_node_data()
{
    QTest::addColumn<float>("turn");
    QTest::newRow("node unturned") << 0.0f;
    QTest::newRow("node turned 90 degrees about Z") << 90.0f;
}

void tst_ImpostorCameraSetup::cameras_circle_the_pivot_and_turn_with_the_node()
{
    QFETCH(float, turn);
    const vec3 pivot(1.0f, 2.0f, 3.0f);
    const float distance = 6.0f;
    const quat rotation(vec3(0.0f, 0.0f, 1.0f), turn);
    const std::vector<mat4> views = buildModelviews(pivot, rotation, distance, 8, 2);
    QCOMPARE(int(views.size()), 16);
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 8; ++j) {
            const float h = Velmora::Math::toRadians(180.0f - 45.0f * float(j) + turn);
            const float e = Velmora::Math::toRadians(45.0f * float(i));
            const vec3 expected = pivot
                    + vec3(distance * std::cos(e) * std::sin(h), -distance * std::cos(e) * std::cos(h),
                           distance * std::sin(e));
            const mat4 world = Velmora::Math::inverse(views[size_t(i * 8 + j)]);
            QVERIFY2(Velmora::Math::compare(world.getTranslate(), expected, 1e-4f),
                     qPrintable(QStringLiteral("view %1 %2").arg(i).arg(j)));
            // The camera looks down its -Z at the pivot, its +Y up.
            const vec3 look = -Velmora::Math::normalize(world.getColumn3(2));
            QVERIFY(Velmora::Math::compare(look, Velmora::Math::normalize(pivot - expected), 1e-4f));
            QVERIFY(world.getColumn3(1).z >= 0.0f);
        }
    }
}

void tst_ImpostorCameraSetup::fit_to_aspect_and_atlas_layout_data()
{
    QTest::addColumn<float>("aspect");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("half") << 0.5f << 1024 << 512;
    QTest::newRow("double") << 2.0f << 512 << 1024;
    QTest::newRow("square") << 1.0f << 1024 << 1024;
    QTest::newRow("not a number") << std::nanf("") << 1024 << 1024;
    QTest::newRow("a third, truncated") << (1.0f / 3.0f) << 1024 << 341;
}

void tst_ImpostorCameraSetup::fit_to_aspect_and_atlas_layout()
{
    QFETCH(float, aspect);
    QFETCH(int, width);
    QFETCH(int, height);
    int w = -1;
    int h = -1;
    fitToAspect(1024, aspect, &w, &h);
    QCOMPARE(w, width);
    QCOMPARE(h, height);
    fitToAspect(1024, aspect, nullptr, &h);
    fitToAspect(1024, aspect, &w, nullptr);

    // The atlas: cells of the grid, renders at supersampling x cell. With 8
    // headings and 4 elevations the atlas is shaped by 4 / 8 x aspect.
    const AtlasLayout layout = atlasLayout(4096, 8, 4, aspect, 4);
    int atlas_w = 0;
    int atlas_h = 0;
    fitToAspect(4096, 0.5f * aspect, &atlas_w, &atlas_h);
    QCOMPARE(layout.atlasWidth, atlas_w);
    QCOMPARE(layout.atlasHeight, atlas_h);
    QCOMPARE(layout.cellWidth, atlas_w / 8);
    QCOMPARE(layout.cellHeight, atlas_h / 4);
    QCOMPARE(layout.renderWidth, 4 * layout.cellWidth);
    QCOMPARE(layout.renderHeight, 4 * layout.cellHeight);
}

void tst_ImpostorCameraSetup::renders_larger_than_the_largest_texture_are_refused()
{
    GrabParameters params;
    params.cellWidth = 1024;
    params.cellHeight = 512;
    params.supersampling = 8;
    QVERIFY(isRenderSizeSupported(params));
    params.cellWidth = 1025;
    QString reason;
    QVERIFY(!isRenderSizeSupported(params, &reason));
    QVERIFY(reason.contains(QLatin1String("8200 x 4096")));
    params.supersampling = 0;
    QVERIFY(!isRenderSizeSupported(params));
}

void tst_ImpostorCameraSetup::margins_are_the_empty_borders_on_the_limiting_side_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("covered");
    QTest::addColumn<float>("aspect");
    QTest::addColumn<int>("margin");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("empty");
    QTest::newRow("empty image: half the height") << QSize(40, 20) << QRect() << 1.0f << 10 << false << true;
    QTest::newRow("blob touching the top") << QSize(40, 20) << QRect(10, 0, 20, 5) << 1.0f << 0 << false << false;
    QTest::newRow("wide blob: vertical limits") << QSize(40, 40) << QRect(2, 15, 36, 10) << 1.0f << 2 << true << false;
    QTest::newRow("tall blob: vertical") << QSize(40, 40) << QRect(15, 3, 10, 30) << 1.0f << 3 << false << false;
    // 6 free columns count as 6 x 0.4 = 2.4 against 3 free rows.
    QTest::newRow("aspect weighting picks the columns")
            << QSize(40, 40) << QRect(6, 3, 28, 34) << 0.4f << 6 << true << false;
    QTest::newRow("aspect weighting picks the rows")
            << QSize(40, 40) << QRect(6, 3, 28, 34) << 0.6f << 3 << false << false;
}

void tst_ImpostorCameraSetup::margins_are_the_empty_borders_on_the_limiting_side()
{
    QFETCH(QSize, size);
    QFETCH(QRect, covered);
    QFETCH(float, aspect);
    QFETCH(int, margin);
    QFETCH(bool, horizontal);
    QFETCH(bool, empty);
    const CameraSetup::Margins m
            = CameraSetup::measureSilhouetteMargins(*mask(size.width(), size.height(), covered), aspect);
    QCOMPARE(m.margin, margin);
    QCOMPARE(m.horizontal, horizontal);
    QCOMPARE(m.empty, empty);
}

void tst_ImpostorCameraSetup::fit_shrinks_to_one_free_pixel_then_checks_once()
{
    // A disc leaving 100 free pixels at half-size 1.1: margin 99.
    CameraSetup setup;
    setup.radius = 1.0f;
    setup.distance = 3.0f;
    setup.setSilhouetteSource(disc(1.1f * 412.0f / 512.0f));
    WarningCounter warnings;
    const int before = warnings.count();
    setup.fitProjection();
    QVERIFY(std::fabs(setup.size - (1.1f - 99.0f * 1.1f / 512.0f)) < 1e-5f);
    QCOMPARE(setup.getNumFitSteps(), 2);
    QCOMPARE(warnings.count(), before);
    QCOMPARE(setup.projection, Velmora::Math::ortho(-setup.size, setup.size, -setup.size, setup.size, 0.01f, 6.0f));
}

void tst_ImpostorCameraSetup::fit_grows_back_in_world_units_after_an_overshoot()
{
    // A 100 m node: the first mask leaves 100 free pixels, but every check
    // below the threshold touches the border. Growing back in steps of a
    // tenth of the relative shrink times the start size frees it after
    // three steps.
    const float s0 = 110.0f;
    const float s1 = s0 - 99.0f * s0 / 512.0f;
    const float step = (s0 - s1) / s0 * 0.1f * s0;
    const float threshold = s1 + 2.5f * step;
    CameraSetup setup;
    setup.radius = 100.0f;
    setup.distance = 300.0f;
    setup.setSilhouetteSource([s0, threshold](float s) {
        if (s == s0)
            return mask(1024, 1024, QRect(100, 100, 824, 824));
        return s >= threshold ? mask(1024, 1024, QRect(3, 3, 1018, 1018)) : mask(1024, 1024, QRect(0, 0, 1024, 1024));
    });
    WarningCounter warnings;
    const int before = warnings.count();
    setup.fitProjection();
    QVERIFY2(std::fabs(setup.size - (s1 + 3.0f * step)) < 1e-3f, qPrintable(QString::number(setup.size)));
    QCOMPARE(setup.getNumFitSteps(), 5);
    QCOMPARE(warnings.count(), before);
}

void tst_ImpostorCameraSetup::fit_keeps_the_start_size_and_warns_when_nothing_can_be_fitted_data()
{
    QTest::addColumn<QRect>("covered");
    QTest::addColumn<int>("steps");
    QTest::newRow("silhouette touches the border") << QRect(0, 0, 1024, 1024) << 1;
    // A missing blend material leaves the mask empty.
    QTest::newRow("empty mask") << QRect() << 1;
}

void tst_ImpostorCameraSetup::fit_keeps_the_start_size_and_warns_when_nothing_can_be_fitted()
{
    QFETCH(QRect, covered);
    QFETCH(int, steps);
    CameraSetup setup;
    setup.radius = 2.0f;
    setup.distance = 6.0f;
    setup.setSilhouetteSource([covered](float) { return mask(1024, 1024, covered); });
    QTest::ignoreMessage(QtWarningMsg, "Impostor creator: failed to adjust projection width/height to fit a node!");
    setup.fitProjection();
    QCOMPARE(setup.size, 2.2f);
    QCOMPARE(setup.getNumFitSteps(), steps);
}

void tst_ImpostorCameraSetup::light_matrices_of_the_layers_and_the_vegetation_passes()
{
    using Velmora::Math::rotateX;
    using Velmora::Math::rotateZ;
    QVERIFY(Velmora::Math::compare(layerLightTransform(0), rotateZ(180.0f) * rotateX(45.0f)));
    QVERIFY(Velmora::Math::compare(layerLightTransform(2), rotateX(45.0f)));
    QVERIFY(Velmora::Math::compare(layerLightTransform(3), rotateZ(-90.0f) * rotateX(45.0f)));

    const mat4 camera = Velmora::Math::translate(1.0f, 2.0f, 3.0f) * rotateZ(30.0f) * rotateX(60.0f);
    const vec3 x = camera.getColumn3(0);
    const vec3 y = camera.getColumn3(1);
    const vec3 zs[] = {x, -x, y, -y};
    const float dets[] = {-1.0f, 1.0f, -1.0f, 1.0f};
    for (int k = 0; k < 4; ++k) {
        const mat4 light = vegetationLightTransform(k, camera);
        QVERIFY(Velmora::Math::compare(light.getColumn3(2), zs[k], 1e-5f));
        QVERIFY(Velmora::Math::compare(Velmora::Math::determinant(light), dets[k], 1e-4f));
        QCOMPARE(light.getTranslate(), vec3());
    }
    QVERIFY(Velmora::Math::compare(translucenceLightTransform(camera).getColumn3(2), y, 1e-5f));
}

void tst_ImpostorCameraSetup::setup_refuses_a_missing_or_empty_node()
{
    enginetest::Installation installation;
    QVERIFY(installation.start());
    CameraSetup setup;
    setup.numPhi = 4;
    setup.numTheta = 1;
    setup.size = 7.0f;
    QVERIFY(!setup.setup());
    setup.node = Velmora::NodeDummy::create();
    QVERIFY(!setup.setup());
    QVERIFY(setup.modelviews.empty());
    QCOMPARE(setup.size, 7.0f);
    QCOMPARE(setup.getNumFitSteps(), 0);
}

void tst_ImpostorCameraSetup::a_cube_fits_its_views_with_one_free_pixel()
{
    enginetest::Installation installation;
    QVERIFY(installation.writeData(QStringLiteral("meshes/cube.mesh"), enginetest::cubeMesh()));
    QVERIFY(installation.start());
    Ptr<Velmora::ObjectMeshStatic> cube = Velmora::ObjectMeshStatic::create("meshes/cube.mesh");
    QCOMPARE(cube->getNumSurfaces(), 1);
    cube->setWorldTransform(Velmora::Math::translate(5.0f, -2.0f, 1.0f) * Velmora::Math::rotateZ(20.0f));

    CameraSetup setup;
    setup.node = cube;
    setup.numPhi = 8;
    setup.numTheta = 2;
    setup.aspect = 1.0f;
    WarningCounter warnings;
    const int before = warnings.count();
    QVERIFY(setup.setup());
    QCOMPARE(warnings.count(), before);
    QCOMPARE(int(setup.modelviews.size()), 16);
    QVERIFY(setup.size > 0.0f && setup.size < 1.1f * setup.radius);

    // The union of all views at the fitted size: at least one free pixel on
    // every side, exactly one (give or take one) on the tightest.
    const Ptr<Image> image = setup.renderSilhouettes(setup.size);
    const CameraSetup::Margins margins = CameraSetup::measureSilhouetteMargins(*image, 1.0f);
    QVERIFY(!margins.empty);
    QVERIFY2(margins.margin >= 1 && margins.margin <= 2, qPrintable(QString::number(margins.margin)));
}

QTEST_MAIN(tst_ImpostorCameraSetup)
#include "tst_impostor_camera_setup.moc"
