#include "editor_core/EditorLogic.h"
#include "editor_core/EngineAppWidget.h"
#include "editor_core/EngineViewportWidget.h"
#include "editor_core/View.h"
#include "editor_core/ViewportWindowScene.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/WindowManager.h"
#include "editor_core/editor/WindowManagerPrivate.h"
#include "editor_core/mat/Presenter.h"
#include "editor_core/prop/Presenter.h"
#include "editor_core/world/Presenter.h"

#include "../../../platform/editor_core/src/OpaqueFrame.h"

#include <velmora/Editor.h>
#include <velmora/Engine.h>
#include <velmora/Materials.h>
#include <velmora/Player.h>
#include <velmora/Properties.h>
#include <velmora/World.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <memory>
#include <vector>

using Editor::WindowManager;

namespace {

// Process-style arguments: owned UTF-8 copies and the pointer array the
// engine reads (exactly argc entries).
class Arguments
{
public:
    explicit Arguments(const QStringList &list)
    {
        for (const QString &arg : list)
            storage_.push_back(arg.toUtf8());
        for (QByteArray &arg : storage_)
            pointers_.push_back(arg.data());
    }
    int argc() const { return int(pointers_.size()); }
    char **argv() { return pointers_.data(); }

private:
    std::vector<QByteArray> storage_;
    std::vector<char *> pointers_;
};

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool writeAsset(const QString &path, const char *guid, int type, const QByteArray &data)
{
    return writeFile(path, data)
            && writeFile(path + ".meta",
                         QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                    "<asset version=\"1\" guid=\"")
                                 + guid + "\" type=\"" + QByteArray::number(type) + "\"/>\n");
}

const char *WORLD = R"(<?xml version="1.0" encoding="utf-8"?>
<world version="1">
  <node type="NodeDummy" id="1" name="props">
    <transform>1 0 0 0  0 1 0 0  0 0 1 0  0 0 0 1</transform>
    <node type="LightWorld" id="2" name="sun">
      <transform>1 0 0 0  0 1 0 0  0 0 1 0  0 0 10 1</transform>
    </node>
  </node>
  <node type="PlayerDummy" id="3" name="camera_1">
    <transform>1 0 0 0  0 1 0 0  0 0 1 0  0 -5 2 1</transform>
  </node>
</world>
)";

void runFrames(int count)
{
    Velmora::Engine *engine = Velmora::Engine::get();
    for (int i = 0; i < count; ++i) {
        engine->update();
        engine->render();
        engine->swap();
    }
}

} // namespace

class TestEngineWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void app_widget_keeps_the_process_arguments();
    void engine_frames_reach_the_app_widget_at_its_view_size();
    void engine_viewport_sizes_the_view_and_paints_each_frame();
    void app_window_is_the_viewport_and_sees_every_held_button();
    void hidden_engine_viewport_stops_painting_until_shown_again();
    void scene_viewport_receives_frames_of_its_own_size();
    void deleted_scene_viewport_is_no_longer_drawn();
    void frames_are_shown_opaque_from_one_kept_buffer();
    void scene_player_is_the_editor_camera_unless_one_is_set();
    void nodes_window_follows_the_loaded_world();
    void materials_and_properties_windows_list_the_loaded_ones();
    void quit_after_frames_ends_the_event_loop_through_the_app();

private:
    QStringList engineArguments(const QStringList &extra) const;

    QTemporaryDir dir_;
    std::unique_ptr<Arguments> args_;
    std::unique_ptr<EngineAppWidget> app_widget_;
};

QStringList TestEngineWidgets::engineArguments(const QStringList &extra) const
{
    return QStringList{"tst_engine_widgets",
                       "-data_path",
                       dir_.filePath("data"),
                       "-cache_path",
                       dir_.filePath("cache"),
                       "-log_path",
                       dir_.filePath("log.txt"),
                       "-fixed_ifps",
                       "0.02"}
    + extra;
}

void TestEngineWidgets::initTestCase()
{
    QVERIFY(dir_.isValid());
    const QString data = dir_.filePath("data") + "/";
    QVERIFY(writeAsset(data + "worlds/yard.world", "ccccc00000000000000000000000000000000301", 18, WORLD));
    QVERIFY(writeAsset(data + "materials/metal.mat", "aaaaa00000000000000000000000000000000101", 4,
                       "<material name=\"metal\"/>\n"));
    QVERIFY(writeAsset(data + "materials/rust.mat", "aaaaa00000000000000000000000000000000102", 4,
                       "<material name=\"rust\"/>\n"));
    QVERIFY(writeAsset(data + "properties/car.prop", "bbbbb00000000000000000000000000000000201", 5,
                       "<property name=\"car\"/>\n"));
    args_ = std::make_unique<Arguments>(engineArguments({}));
    app_widget_ = std::make_unique<EngineAppWidget>(args_->argc(), args_->argv());
    QVERIFY(Velmora::Engine::init(Velmora::ENGINE_VERSION, app_widget_->app(), args_->argc(), args_->argv()));
}

void TestEngineWidgets::cleanupTestCase()
{
    Velmora::Engine::shutdown();
    app_widget_.reset();
    depr::clearGlobals();
    depr::clearGui();
}

void TestEngineWidgets::app_widget_keeps_the_process_arguments()
{
    QCOMPARE(app_widget_->arguments(), engineArguments({}));
    QCOMPARE(app_widget_->app(), static_cast<Velmora::App *>(app_widget_.get()));
}

void TestEngineWidgets::engine_frames_reach_the_app_widget_at_its_view_size()
{
    app_widget_->setViewSize(QSize(320, 200));
    const int before = app_widget_->presentedFrames();
    runFrames(2);
    QCOMPARE(app_widget_->presentedFrames(), before + 2);
    QCOMPARE(app_widget_->frame().size(), QSize(320, 200));
    // The empty world still shows the sky and ground gradient.
    const QImage frame = app_widget_->frame();
    QVERIFY(frame.pixel(160, 5) != frame.pixel(160, 195));
}

void TestEngineWidgets::engine_viewport_sizes_the_view_and_paints_each_frame()
{
    EngineViewportWidget viewport(app_widget_.get());
    viewport.resize(400, 300);
    viewport.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewport));
    QCOMPARE(app_widget_->viewSize(), QSize(400, 300));

    const int painted = viewport.paintedFrames();
    runFrames(1);
    QCOMPARE(app_widget_->frame().size(), QSize(400, 300));
    QTRY_VERIFY(viewport.paintedFrames() > painted);
    QCOMPARE(viewport.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(200, 5),
             app_widget_->frame().convertToFormat(QImage::Format_RGB32).pixel(200, 5));
}

void TestEngineWidgets::app_window_is_the_viewport_and_sees_every_held_button()
{
    QWidget top;
    top.setGeometry(40, 30, 500, 400);
    auto *viewport = new EngineViewportWidget(app_widget_.get(), &top);
    viewport->setGeometry(20, 10, 300, 200);
    QCOMPARE(Velmora::App::getHandle(), nullptr); // no native window yet: nothing created for asking
    top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&top));
    QCOMPARE(Velmora::App::getHandle(), reinterpret_cast<void *>(top.windowHandle()->winId()));
    const QPoint corner = viewport->mapToGlobal(QPoint(0, 0));
    QCOMPARE(QPoint(Velmora::App::getPositionX(), Velmora::App::getPositionY()), corner);

    // A press in another window of the application counts; a button the
    // engine takes stays taken until it is released.
    QWindow other;
    other.resize(100, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QTest::mousePress(&other, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(Velmora::App::getMouseButton(), int(Qt::LeftButton));
    Velmora::App::setMouseButton(0);
    QCOMPARE(Velmora::App::getMouseButton(), 0);
    QTest::mouseRelease(&other, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mousePress(&other, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(Velmora::App::getMouseButton(), int(Qt::LeftButton));
    QTest::mouseRelease(&other, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
}

void TestEngineWidgets::hidden_engine_viewport_stops_painting_until_shown_again()
{
    View main;
    main.resize(800, 600);
    depr::gui.main_window = &main;
    WindowManager wm;
    main.setCentralWidget(depr::g.window_manager);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    auto *viewport = new EngineViewportWidget(app_widget_.get(), &main);
    viewport->setObjectName("EngineViewport");
    WindowManager::add(viewport, WindowManager::AREA_LEFT);
    connect(&wm, &WindowManager::windowHidden, viewport, &EngineViewportWidget::handleHide);
    QTRY_VERIFY(viewport->isVisible());
    runFrames(1);
    QTRY_VERIFY(viewport->paintedFrames() > 0);

    WindowManager::hide(viewport);
    QVERIFY(!viewport->isPresenting());
    const int painted = viewport->paintedFrames();
    runFrames(3);
    QTest::qWait(20);
    QCOMPARE(viewport->paintedFrames(), painted);

    viewport->handleShow();
    QVERIFY(viewport->isPresenting());
    QVERIFY(WindowManager::isVisible(viewport));
    runFrames(1);
    QTRY_VERIFY(viewport->paintedFrames() > painted);

    WindowManager::remove(viewport);
    delete viewport;
    depr::gui.main_window = nullptr;
}

void TestEngineWidgets::scene_viewport_receives_frames_of_its_own_size()
{
    ViewportWindowScene scene("Scene 1");
    QVERIFY(scene.isRegistered());
    scene.resize(200, 100);
    scene.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene));
    runFrames(1);
    QCOMPARE(scene.presentedFrames(), 1);
    QCOMPARE(scene.frame().size(), QSize(200, 100));

    scene.resize(240, 120);
    runFrames(1);
    QCOMPARE(scene.presentedFrames(), 2);
    QCOMPARE(scene.frame().size(), QSize(240, 120));
}

void TestEngineWidgets::frames_are_shown_opaque_from_one_kept_buffer()
{
    // Engine frames: RGBA bytes, the sky with coverage 0.
    QImage frame(4, 2, QImage::Format_RGBA8888);
    frame.fill(QColor(10, 20, 30, 0));
    frame.setPixelColor(1, 1, QColor(200, 100, 50, 255));
    OpaqueFrame opaque;
    const QImage &shown = opaque.convert(frame);
    QCOMPARE(shown.format(), QImage::Format_RGB32);
    QCOMPARE(shown.pixel(0, 0), qRgb(10, 20, 30));
    QCOMPARE(shown.pixel(1, 1), qRgb(200, 100, 50));
    QCOMPARE(opaque.convert(frame).pixel(0, 0), frame.convertToFormat(QImage::Format_RGB32).pixel(0, 0));
    const uchar *buffer = shown.constBits();

    // Painted again, or given the next frame of the same size: the same
    // buffer, converted once per frame.
    QCOMPARE(opaque.convert(frame).constBits(), buffer);
    QImage next = frame.copy();
    next.fill(QColor(1, 2, 3, 128));
    QCOMPARE(opaque.convert(next).constBits(), buffer);
    QCOMPARE(opaque.convert(next).pixel(3, 1), qRgb(1, 2, 3));
    // Other formats still come out opaque; a frame without alpha is shown as it is.
    QImage argb(2, 2, QImage::Format_ARGB32);
    argb.fill(qRgba(40, 50, 60, 0));
    QCOMPARE(opaque.convert(argb).pixel(1, 1), qRgb(40, 50, 60));
    QImage plain(2, 2, QImage::Format_RGB32);
    QCOMPARE(opaque.convert(plain).constBits(), plain.constBits());
}

void TestEngineWidgets::deleted_scene_viewport_is_no_longer_drawn()
{
    auto *scene = new ViewportWindowScene("Scene 2");
    scene->resize(64, 48);
    Velmora::Engine::get()->update();
    Velmora::Engine::get()->render();
    // Deleted between render and swap: its frame must not be delivered.
    delete scene;
    Velmora::Engine::get()->swap();
    runFrames(1);
}

void TestEngineWidgets::scene_player_is_the_editor_camera_unless_one_is_set()
{
    ViewportWindowScene scene("Scene 3");
    QVERIFY(scene.getPlayer());
    QCOMPARE(scene.getPlayer(), Velmora::Ptr<Velmora::Player>(Velmora::Editor::getPlayer()));
    // The engine falls back to the editor camera on its own.
    QVERIFY(scene.getViewPlayer().isNull());

    const Velmora::Ptr<Velmora::Player> own(Velmora::PlayerDummy::create());
    scene.setPlayer(own);
    QCOMPARE(scene.getPlayer(), own);
    QCOMPARE(scene.getViewPlayer(), own);
}

void TestEngineWidgets::nodes_window_follows_the_loaded_world()
{
    EditorLogic logic;
    Velmora::Engine::get()->setEditorLogic(&logic);
    depr::g.editor = &logic;
    View main;
    depr::gui.main_window = &main;

    world::Presenter presenter;
    presenter.initGUI(&main);
    QTreeWidget *nodes = presenter.nodesWindow();
    QCOMPARE(depr::gui.nodes_window, nodes);
    QCOMPARE(nodes->objectName(), QStringLiteral("NodesWindow"));
    QCOMPARE(nodes->topLevelItemCount(), 0);

    QVERIFY(Velmora::World::load("worlds/yard"));
    QCOMPARE(nodes->topLevelItemCount(), 2);
    QTreeWidgetItem *props = nodes->topLevelItem(0);
    QCOMPARE(props->text(0), QStringLiteral("props"));
    QCOMPARE(props->text(1), QStringLiteral("NodeDummy"));
    QCOMPARE(props->childCount(), 1);
    QCOMPARE(props->child(0)->text(0), QStringLiteral("sun"));
    QCOMPARE(props->child(0)->text(2), QStringLiteral("2"));
    QCOMPARE(nodes->topLevelItem(1)->text(0), QStringLiteral("camera_1"));

    // A node taken out of the world leaves the window.
    Velmora::World::removeNode(Velmora::World::getNodeById(3));
    QCOMPARE(nodes->topLevelItemCount(), 1);

    Velmora::World::quit();
    QCOMPARE(nodes->topLevelItemCount(), 0);

    presenter.shutdownGUI();
    QVERIFY(!depr::gui.nodes_window);
    Velmora::Engine::get()->setEditorLogic(nullptr);
    depr::clearGlobals();
    depr::clearGui();
}

void TestEngineWidgets::materials_and_properties_windows_list_the_loaded_ones()
{
    View main;
    depr::gui.main_window = &main;
    Velmora::Materials::loadMaterials();
    Velmora::Properties::loadProperties();

    mat::Presenter materials(nullptr);
    materials.initGUI(&main);
    QListWidget *window = materials.materialsWindow();
    QCOMPARE(depr::gui.materials_window, window);
    // A refill lists the rows in the registry's order, each with its
    // material's own GUID (not its file's) as tooltip and user data, in one
    // insertion and with no change notice for the values of a new row.
    QSignalSpy inserted(window->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(window, &QListWidget::itemChanged);
    materials.refresh();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(window->count(), 2);
    const char *const names[] = {"metal", "rust"};
    for (int i = 0; i < 2; ++i) {
        QListWidgetItem *item = window->item(i);
        const QString guid
                = QString::fromLatin1(Velmora::Materials::findMaterial(names[i])->getGUID().getString().get());
        QCOMPARE(item->text(), QString::fromLatin1(names[i]));
        QCOMPARE(item->toolTip(), guid);
        QCOMPARE(item->data(Qt::UserRole).toString(), guid);
    }
    QVERIFY(window->item(0)->toolTip() != "aaaaa00000000000000000000000000000000101");

    // A new window is filled when it is first shown, once.
    prop::Presenter properties(nullptr);
    properties.initGUI(&main);
    QListWidget *list = properties.propertiesWindow();
    QCOMPARE(depr::gui.properties_window, list);
    QCOMPARE(list->count(), 0);
    main.show();
    list->show();
    QVERIFY(list->isVisible());
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("car"));
    list->hide();
    list->show();
    QCOMPARE(list->count(), 1);

    properties.shutdownGUI();
    materials.shutdownGUI();
    QVERIFY(!depr::gui.materials_window);
    QVERIFY(!depr::gui.properties_window);
    depr::clearGui();
}

void TestEngineWidgets::quit_after_frames_ends_the_event_loop_through_the_app()
{
    Velmora::Engine::shutdown();
    Arguments args(engineArguments({"-quit_after_frames", "3"}));
    EngineAppWidget app_widget(args.argc(), args.argv());
    QVERIFY(Velmora::Engine::init(Velmora::ENGINE_VERSION, app_widget.app(), args.argc(), args.argv()));

    QEventLoop loop;
    QTimer frames;
    connect(&frames, &QTimer::timeout, &loop, []() { runFrames(1); });
    frames.start(0);
    QTimer::singleShot(10000, &loop, [&loop]() { loop.exit(1); });
    QCOMPARE(loop.exec(), 0);
    QCOMPARE(app_widget.presentedFrames(), 3);
    frames.stop();
}

QTEST_MAIN(TestEngineWidgets)
#include "tst_engine_widgets.moc"
