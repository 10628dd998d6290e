#include "editor_core/View.h"
#include "editor_core/ViewportManager.h"
#include "editor_core/ViewportWindowScene.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/WindowManager.h"
#include "editor_core/editor/WindowManagerPrivate.h"

#include <velmora/Gui.h>
#include <velmora/Player.h>
#include <velmora/Widget.h>

#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using Editor::WindowManager;

class TestViewports : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void init_opens_the_first_scene();
    void new_scenes_take_the_lowest_free_number_data();
    void new_scenes_take_the_lowest_free_number();
    void showing_an_existing_scene_creates_nothing();
    void a_named_scene_is_created_under_that_name();
    void closing_removes_dock_and_widget();
    void scenes_dock_beside_the_last_scene();
    void hovering_a_viewport_makes_it_the_last_hovered();
    void closing_the_hovered_viewport_clears_it();
    void shutdown_closes_every_scene();
    void without_a_running_engine_a_scene_has_no_player_and_is_not_registered();
    void every_viewport_paints_its_own_gui_over_its_picture();

private:
    View *main_ = nullptr;
    WindowManager *wm_ = nullptr;
    ViewportManager *viewports_ = nullptr;
};

void TestViewports::init()
{
    main_ = new View;
    main_->resize(800, 600);
    depr::gui.main_window = main_;
    wm_ = new WindowManager;
    main_->setCentralWidget(depr::g.window_manager);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_));
    viewports_ = new ViewportManager(nullptr);
}

void TestViewports::cleanup()
{
    delete viewports_;
    viewports_ = nullptr;
    delete wm_;
    wm_ = nullptr;
    delete main_;
    main_ = nullptr;
    depr::clearGlobals();
    depr::clearGui();
}

void TestViewports::init_opens_the_first_scene()
{
    QSignalSpy created(viewports_, &ViewportManager::viewportCreated);
    viewports_->init();
    QCOMPARE(viewports_->getSceneNames(), QStringList{"Scene 1"});
    QCOMPARE(created.count(), 1);
    QCOMPARE(created.first().first().toString(), QStringLiteral("Scene 1"));
    ViewportWindowScene *scene = viewports_->getScene("Scene 1");
    QVERIFY(scene);
    QCOMPARE(scene->getId(), QStringLiteral("Scene 1"));
    QVERIFY(WindowManager::isVisible(scene));
    // A second init does not add another.
    viewports_->init();
    QCOMPARE(viewports_->getSceneNames().size(), 1);
}

void TestViewports::new_scenes_take_the_lowest_free_number_data()
{
    QTest::addColumn<int>("opened");
    QTest::addColumn<QStringList>("closed");
    QTest::addColumn<QString>("next");
    QTest::newRow("none closed") << 3 << QStringList() << "Scene 4";
    QTest::newRow("first closed") << 3 << QStringList{"Scene 1"} << "Scene 1";
    QTest::newRow("middle closed") << 3 << QStringList{"Scene 2"} << "Scene 2";
    QTest::newRow("all closed") << 2 << QStringList{"Scene 1", "Scene 2"} << "Scene 1";
}

void TestViewports::new_scenes_take_the_lowest_free_number()
{
    QFETCH(int, opened);
    QFETCH(QStringList, closed);
    QFETCH(QString, next);
    for (int i = 0; i < opened; ++i)
        QCOMPARE(viewports_->showScene(QString()), QStringLiteral("Scene %1").arg(i + 1));
    for (const QString &name : closed)
        QVERIFY(viewports_->closeScene(name));
    QCOMPARE(viewports_->showScene(QString()), next);
    QVERIFY(viewports_->getScene(next));
    QCOMPARE(viewports_->getSceneNames().size(), opened - closed.size() + 1);
}

void TestViewports::showing_an_existing_scene_creates_nothing()
{
    viewports_->showScene(QString());
    ViewportWindowScene *scene = viewports_->getScene("Scene 1");
    WindowManager::hide(scene);
    QSignalSpy created(viewports_, &ViewportManager::viewportCreated);

    QCOMPARE(viewports_->showScene("Scene 1"), QStringLiteral("Scene 1"));
    QCOMPARE(created.count(), 0);
    QCOMPARE(viewports_->getSceneNames().size(), 1);
    QVERIFY(WindowManager::isVisible(scene));
}

void TestViewports::a_named_scene_is_created_under_that_name()
{
    QSignalSpy created(viewports_, &ViewportManager::viewportCreated);
    QCOMPARE(viewports_->showScene("Top View"), QStringLiteral("Top View"));
    QCOMPARE(created.count(), 1);
    QCOMPARE(viewports_->getScene("Top View")->objectName(), QStringLiteral("Top View"));
    QCOMPARE(WindowManager::getDock(viewports_->getScene("Top View"))->objectName(), QStringLiteral("Top View_dock"));
    // The numbering is not disturbed by named scenes.
    QCOMPARE(viewports_->showScene(QString()), QStringLiteral("Scene 1"));
}

void TestViewports::closing_removes_dock_and_widget()
{
    viewports_->showScene(QString());
    viewports_->showScene(QString());
    QPointer<ViewportWindowScene> scene = viewports_->getScene("Scene 1");
    QPointer<QDockWidget> dock = WindowManager::getDock(scene);
    QSignalSpy closed(viewports_, &ViewportManager::viewportClosed);

    QVERIFY(viewports_->closeScene("Scene 1"));
    QVERIFY(scene.isNull());
    QVERIFY(dock.isNull());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(viewports_->getSceneNames(), QStringList{"Scene 2"});
    QVERIFY(!viewports_->getScene("Scene 1"));
}

void TestViewports::scenes_dock_beside_the_last_scene()
{
    auto *nodes = new QLabel("nodes", main_);
    nodes->setObjectName("NodesWindow");
    depr::gui.nodes_window = nodes;
    WindowManager::add(nodes, WindowManager::AREA_LEFT);

    viewports_->showScene(QString());
    viewports_->showScene(QString());
    QDockWidget *nodes_dock = WindowManager::getDock(nodes);
    QDockWidget *first = WindowManager::getDock(viewports_->getScene("Scene 1"));
    QDockWidget *second = WindowManager::getDock(viewports_->getScene("Scene 2"));
    QCOMPARE(main_->dockWidgetArea(first), Qt::LeftDockWidgetArea);
    QCOMPARE(main_->dockWidgetArea(second), Qt::LeftDockWidgetArea);
    QTRY_VERIFY(first->geometry().left() >= nodes_dock->geometry().right());
    QTRY_VERIFY(second->geometry().left() >= first->geometry().right());
}

void TestViewports::hovering_a_viewport_makes_it_the_last_hovered()
{
    viewports_->showScene(QString());
    viewports_->showScene(QString());
    ViewportWindowScene *first = viewports_->getScene("Scene 1");
    ViewportWindowScene *second = viewports_->getScene("Scene 2");
    QVERIFY(!viewports_->getLastHoveredViewportWindow());
    QCOMPARE(viewports_->getCurrentViewportWindow(), first);
    QSignalSpy changed(viewports_, &ViewportManager::lastHoveredChanged);

    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(second, &enter);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.last().first().value<ViewportWindow *>(), second);
    QCOMPARE(viewports_->getLastHoveredViewportWindow(), second);
    QCOMPARE(viewports_->getCurrentViewportWindow(), second);

    // Entering the same viewport again is no change.
    QApplication::sendEvent(second, &enter);
    QCOMPARE(changed.count(), 1);
    QApplication::sendEvent(first, &enter);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(viewports_->getLastHoveredViewportWindow(), first);
}

void TestViewports::closing_the_hovered_viewport_clears_it()
{
    viewports_->showScene(QString());
    viewports_->showScene(QString());
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(viewports_->getScene("Scene 2"), &enter);
    viewports_->setInputActive(viewports_->getScene("Scene 2"));
    QSignalSpy changed(viewports_, &ViewportManager::lastHoveredChanged);

    viewports_->closeScene("Scene 2");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().first().value<ViewportWindow *>(), nullptr);
    QVERIFY(!viewports_->getLastHoveredViewportWindow());
    QVERIFY(!viewports_->getInputActive());
    QCOMPARE(viewports_->getCurrentViewportWindow(), viewports_->getScene("Scene 1"));

    // Closing a viewport that was not hovered says nothing.
    viewports_->showScene(QString());
    viewports_->closeScene("Scene 2");
    QCOMPARE(changed.count(), 1);
}

void TestViewports::shutdown_closes_every_scene()
{
    viewports_->showScene(QString());
    viewports_->showScene(QString());
    viewports_->showScene(QString());
    QSignalSpy closed(viewports_, &ViewportManager::viewportClosed);
    viewports_->shutdown();
    QCOMPARE(closed.count(), 3);
    QVERIFY(viewports_->getSceneNames().isEmpty());
    QVERIFY(main_->findChildren<ViewportWindowScene *>().isEmpty());
    QVERIFY(WindowManager::getWidgets().isEmpty());
}

void TestViewports::without_a_running_engine_a_scene_has_no_player_and_is_not_registered()
{
    viewports_->showScene(QString());
    ViewportWindowScene *scene = viewports_->getScene("Scene 1");
    QVERIFY(!scene->isRegistered());
    QVERIFY(scene->getPlayer().isNull());
    QCOMPARE(scene->getViewWidth(), scene->width());
}

void TestViewports::every_viewport_paints_its_own_gui_over_its_picture()
{
    viewports_->showScene(QString());
    viewports_->showScene(QString());
    ViewportWindowScene *first = viewports_->getScene("Scene 1");
    QVERIFY(first->getGui() && first->getGui() != viewports_->getScene("Scene 2")->getGui());
    first->resize(200, 120);
    QCOMPARE(first->getGui()->getWidth(), 200);
    QImage picture(200, 120, QImage::Format_RGB32);
    picture.fill(Qt::black);
    first->presentFrame(picture);
    Velmora::Ptr<Velmora::Widget> button(Velmora::WidgetButton::create(first->getGui(), "Key"));
    first->getGui()->addChild(button);
    first->getGui()->update(0.0f);
    const QImage shown = first->grab().toImage();
    QVERIFY(shown.pixel(button->getWidth() / 2, button->getHeight() / 2) != qRgb(0, 0, 0));
    QCOMPARE(shown.pixel(190, 110), qRgb(0, 0, 0));
    // The mouse over the viewport reaches its GUI.
    QTest::mouseMove(first, QPoint(30, 20));
    QCOMPARE(first->getGui()->getMouseX(), 30);
}

QTEST_MAIN(TestViewports)
#include "tst_viewports.moc"
