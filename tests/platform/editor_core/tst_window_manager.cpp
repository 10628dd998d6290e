#include "log_capture.h"

#include "editor_core/EngineViewportWidget.h"
#include "editor_core/View.h"
#include "editor_core/as/Browser.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/WindowManager.h"
#include "editor_core/editor/WindowManagerPrivate.h"
#include "editor_core/workspace/Workspace.h"

#include <velmora/Base.h>
#include <velmora/Console.h>

#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QLayout>
#include <QMutex>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

using Editor::WindowManager;

namespace {

using test::LogCapture;

QWidget *namedWidget(const QString &name, QWidget *parent)
{
    auto *w = new QLabel(name, parent);
    w->setObjectName(name);
    w->setWindowTitle(name);
    return w;
}

} // namespace

class TestWindowManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tool_window_is_docked_right_and_hidden_until_shown();
    void visible_area_types_dock_where_asked_data();
    void visible_area_types_dock_where_asked();
    void widget_without_object_name_is_saved_under_its_class_name();
    void reference_zero_tabifies_with_the_referenced_dock();
    void reference_two_splits_beside_the_referenced_dock();
    void docks_shown_as_tabs_leave_the_title_to_their_tab();
    void a_tool_window_scrolls_in_a_dock_narrower_than_its_form();
    void tool_tabs_too_long_for_their_dock_all_show();
    void hiding_a_window_reports_it_hidden();
    void remove_gives_the_widget_back_and_deletes_the_dock();
    void window_made_in_its_dock_is_docked_there_without_a_restyle();
    void deleting_a_docked_widget_takes_its_dock_along();
    void renaming_a_widget_renames_its_dock();
    void saved_layout_comes_back_after_changes();
    void empty_or_broken_layout_applies_the_default_layout_data();
    void empty_or_broken_layout_applies_the_default_layout();
    void deleting_the_manager_keeps_a_private_the_main_window_owns();
    void deleting_the_manager_deletes_an_unowned_private_and_clears_the_registry();
    void calls_without_a_manager_do_nothing();
    void default_geometry_is_three_quarters_of_the_desktop();

private:
    View *main_ = nullptr;
    WindowManager *wm_ = nullptr;
};

void TestWindowManager::init()
{
    main_ = new View;
    main_->resize(800, 600);
    depr::gui.main_window = main_;
    wm_ = new WindowManager;
    main_->setCentralWidget(depr::g.window_manager);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_));
}

void TestWindowManager::cleanup()
{
    delete wm_;
    wm_ = nullptr;
    delete main_;
    main_ = nullptr;
    depr::clearGlobals();
    depr::clearGui();
}

void TestWindowManager::tool_window_is_docked_right_and_hidden_until_shown()
{
    QWidget *tool = namedWidget("Cleaner", main_);
    QVERIFY(WindowManager::add(tool, 6));

    QDockWidget *dock = WindowManager::getDock(tool);
    QVERIFY(dock);
    QCOMPARE(dock->objectName(), QStringLiteral("Cleaner_dock"));
    QCOMPARE(dock->windowTitle(), QStringLiteral("Cleaner"));
    QCOMPARE(main_->dockWidgetArea(dock), Qt::RightDockWidgetArea);
    QVERIFY(!WindowManager::isVisible(tool));

    main_->activateWindow();
    WindowManager::show(tool);
    QVERIFY(WindowManager::isVisible(tool));
    QTRY_COMPARE(QApplication::focusWidget(), tool);
}

void TestWindowManager::visible_area_types_dock_where_asked_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("area");
    QTest::addColumn<bool>("floating");
    QTest::newRow("left") << 1 << int(Qt::LeftDockWidgetArea) << false;
    QTest::newRow("right") << 2 << int(Qt::RightDockWidgetArea) << false;
    QTest::newRow("top") << 3 << int(Qt::TopDockWidgetArea) << false;
    QTest::newRow("bottom") << 4 << int(Qt::BottomDockWidgetArea) << false;
    QTest::newRow("floating") << 5 << int(Qt::RightDockWidgetArea) << true;
}

void TestWindowManager::visible_area_types_dock_where_asked()
{
    QFETCH(int, type);
    QFETCH(int, area);
    QFETCH(bool, floating);
    QWidget *w = namedWidget("Panel", main_);
    QVERIFY(WindowManager::add(w, type));
    QDockWidget *dock = WindowManager::getDock(w);
    QCOMPARE(int(main_->dockWidgetArea(dock)), area);
    QCOMPARE(dock->isFloating(), floating);
    QVERIFY(WindowManager::isVisible(w));
}

void TestWindowManager::widget_without_object_name_is_saved_under_its_class_name()
{
    LogCapture log;
    auto *w = new QLabel(main_);
    QVERIFY(WindowManager::add(w, 6));
    QCOMPARE(WindowManager::getDock(w)->objectName(), QStringLiteral("QLabel_dock"));
    QVERIFY(log.contains("has no object name"));

    // A second nameless label must not share the dock name: saveState
    // tells docks apart by name.
    auto *other = new QLabel(main_);
    QVERIFY(WindowManager::add(other, 6));
    QVERIFY(WindowManager::getDock(other)->objectName() != QStringLiteral("QLabel_dock"));
}

void TestWindowManager::reference_zero_tabifies_with_the_referenced_dock()
{
    QWidget *browser = namedWidget("AssetBrowser", main_);
    QWidget *console = namedWidget("console_w", main_);
    WindowManager::add(browser, 4);
    QVERIFY(WindowManager::add(console, 0, WindowManager::getArea(browser)));

    QDockWidget *browser_dock = WindowManager::getDock(browser);
    QDockWidget *console_dock = WindowManager::getDock(console);
    QCOMPARE(main_->dockWidgetArea(console_dock), Qt::BottomDockWidgetArea);
    QVERIFY(main_->tabifiedDockWidgets(browser_dock).contains(console_dock));
}

void TestWindowManager::reference_two_splits_beside_the_referenced_dock()
{
    QWidget *nodes = namedWidget("NodesWindow", main_);
    QWidget *viewport = namedWidget("EngineViewport", main_);
    WindowManager::add(nodes, 1);
    QVERIFY(WindowManager::add(viewport, 2, WindowManager::getArea(nodes)));

    QDockWidget *nodes_dock = WindowManager::getDock(nodes);
    QDockWidget *viewport_dock = WindowManager::getDock(viewport);
    QCOMPARE(main_->dockWidgetArea(viewport_dock), Qt::LeftDockWidgetArea);
    QVERIFY(main_->tabifiedDockWidgets(nodes_dock).isEmpty());
    QTRY_VERIFY(viewport_dock->geometry().left() >= nodes_dock->geometry().right());
    QVERIFY(WindowManager::isVisible(viewport));
}

void TestWindowManager::docks_shown_as_tabs_leave_the_title_to_their_tab()
{
    QWidget *browser = namedWidget("AssetBrowser", main_);
    QWidget *console = namedWidget("console_w", main_);
    QWidget *nodes = namedWidget("NodesWindow", main_);
    WindowManager::add(browser, 4);
    WindowManager::add(console, 0, WindowManager::getArea(browser));
    WindowManager::add(nodes, 1);
    const auto bar = [](QWidget *w) { return WindowManager::getDock(w)->titleBarWidget(); };
    const auto button = [&bar](QWidget *w, const char *name) {
        return bar(w)->findChild<QToolButton *>(QString::fromLatin1(name));
    };

    // Tabs: the compact bar, without a title but with working buttons.
    QTRY_VERIFY(bar(browser) && bar(console));
    QVERIFY(!bar(nodes));
    QVERIFY(bar(console)->findChildren<QLabel *>().isEmpty());
    QTest::mouseClick(button(console, "dock_close"), Qt::LeftButton);
    QVERIFY(!WindowManager::isVisible(console));
    // Alone again, the browser gets its standard bar back.
    QTRY_VERIFY(!bar(browser));

    WindowManager::show(console);
    QTRY_VERIFY(bar(browser) && bar(console));
    QTest::mouseClick(button(console, "dock_float"), Qt::LeftButton);
    QVERIFY(WindowManager::getDock(console)->isFloating());
    QTRY_VERIFY(!bar(console) && !bar(browser));
}

void TestWindowManager::a_tool_window_scrolls_in_a_dock_narrower_than_its_form()
{
    QWidget *nodes = namedWidget("NodesWindow", main_);
    depr::gui.nodes_window = nodes;
    WindowManager::add(nodes, 1);
    auto *form = new QWidget(WindowManager::newDockParent(main_));
    form->setObjectName("Form");
    form->setMinimumSize(500, 200);
    QVERIFY(WindowManager::add(form, 6));
    WindowManager::show(form);
    QVERIFY(WindowManager::isVisible(form));
    QDockWidget *dock = WindowManager::getDock(form);

    // The main window no longer needs the whole form beside the node list,
    // which keeps a usable width; the form keeps its own width and scrolls.
    QVERIFY2(main_->layout()->totalMinimumSize().width() < 500,
             qPrintable(QString::number(main_->layout()->totalMinimumSize().width())));
    main_->resize(420, 600);
    QTRY_VERIFY(dock->width() < 500);
    QTRY_VERIFY(WindowManager::getDock(nodes)->width() >= 150);
    QVERIFY(form->width() >= 500);
    QScrollArea *area = nullptr;
    for (QWidget *w = form->parentWidget(); w && !area; w = w->parentWidget())
        area = qobject_cast<QScrollArea *>(w);
    QVERIFY(area);
    QVERIFY(area->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(WindowManager::getDock(form), dock);

    // Given back whole.
    WindowManager::remove(form);
    QCOMPARE(form->parentWidget(), main_);
    delete form;
}

void TestWindowManager::tool_tabs_too_long_for_their_dock_all_show()
{
    WindowManager::add(namedWidget("NodesWindow", main_), 1);
    QStringList titles;
    QWidget *last = nullptr;
    for (const char *title : {"Tracker", "Impostors Creator", "Randomizer", "Light Baking", "Cleaner", "Video Grabber",
                              "Texture Profiler", "Create Build"}) {
        QWidget *tool = namedWidget(QString::fromLatin1(title), main_);
        QVERIFY(WindowManager::add(tool, 6));
        WindowManager::show(tool);
        titles << QString::fromLatin1(title);
        last = tool;
    }
    main_->resize(1000, 500);
    // The tools narrowed once the window has settled; the node list keeps
    // its width.
    QTRY_COMPARE(main_->size(), QSize(1000, 500));
    QTest::qWait(50);
    WindowManager::resize(last, 470, WindowManager::getDock(last)->height());
    QTabBar *tabs = nullptr;
    QTRY_VERIFY((tabs = [this] {
        for (QTabBar *bar : main_->findChildren<QTabBar *>(QString(), Qt::FindDirectChildrenOnly))
            if (bar->isVisible() && bar->count() == 8)
                return bar;
        return static_cast<QTabBar *>(nullptr);
    }()));
    // Narrower than the whole titles: each is shortened, none is pushed
    // out of sight, and its tool tip keeps the whole title.
    int whole = 0;
    for (int i = 0; i < tabs->count(); ++i)
        whole += tabs->fontMetrics().horizontalAdvance(tabs->tabText(i));
    QVERIFY2(whole > tabs->width(), qPrintable(QString::number(tabs->width())));
    QTest::qWait(50);
    for (int i = 0; i < tabs->count(); ++i) {
        QVERIFY2(tabs->rect().contains(tabs->tabRect(i)), qPrintable(tabs->tabText(i)));
        QCOMPARE(tabs->tabToolTip(i), titles.at(i));
    }
}

void TestWindowManager::hiding_a_window_reports_it_hidden()
{
    QWidget *w = namedWidget("Settings", main_);
    WindowManager::add(w, 2);
    QSignalSpy hidden(wm_, &WindowManager::windowHidden);

    WindowManager::hide(w);
    QVERIFY(!WindowManager::isVisible(w));
    QCOMPARE(hidden.count(), 1);
    QCOMPARE(hidden.first().first().value<QWidget *>(), w);
}

void TestWindowManager::remove_gives_the_widget_back_and_deletes_the_dock()
{
    QWidget *w = namedWidget("Randomizer", main_);
    WindowManager::add(w, 2);
    QPointer<QDockWidget> dock = WindowManager::getDock(w);
    QSignalSpy hidden(wm_, &WindowManager::windowHidden);

    WindowManager::remove(w);
    QVERIFY(dock.isNull());
    QCOMPARE(w->parentWidget(), main_);
    QVERIFY(!WindowManager::contains(w));
    QVERIFY(!WindowManager::getArea(w).isValid());
    QCOMPARE(hidden.count(), 0);
    delete w;
}

// Counts the style changes a widget receives.
class StyleChanges : public QObject
{
public:
    explicit StyleChanges(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange)
            ++count;
        return false;
    }
};

void TestWindowManager::window_made_in_its_dock_is_docked_there_without_a_restyle()
{
    qApp->setStyleSheet(QStringLiteral("QLabel { color: #dfe3e8; }"));
    QWidget *moved = namedWidget("Moved", main_);
    QWidget *parent = WindowManager::newDockParent(main_);
    QVERIFY(parent && parent != main_);
    QWidget *made = namedWidget("Made", parent);
    // A tool window made in its dock becomes a child like one moved in.
    auto *tool = new QWidget(WindowManager::newDockParent(main_), Qt::Tool);
    tool->setObjectName("Tool");
    StyleChanges moved_changes(moved);
    StyleChanges made_changes(made);

    QVERIFY(WindowManager::add(moved, 6));
    QVERIFY(WindowManager::add(made, 6));
    QVERIFY(WindowManager::add(tool, 6));
    QVERIFY(moved_changes.count > 0);
    QCOMPARE(made_changes.count, 0);
    QCOMPARE(WindowManager::getDock(made), parent);
    QCOMPARE(made->parentWidget(), parent);
    QCOMPARE(parent->objectName(), QStringLiteral("Made_dock"));
    QCOMPARE(parent->windowTitle(), QStringLiteral("Made"));
    QCOMPARE(main_->dockWidgetArea(WindowManager::getDock(made)), Qt::RightDockWidgetArea);
    QVERIFY(!WindowManager::isVisible(made));
    QVERIFY(!tool->isWindow());
    QCOMPARE(tool->parentWidget(), WindowManager::getDock(tool));

    // Given back to the main window, as a window moved in is.
    WindowManager::remove(made);
    QCOMPARE(made->parentWidget(), main_);
    qApp->setStyleSheet(QString());
    delete made;
}

void TestWindowManager::deleting_a_docked_widget_takes_its_dock_along()
{
    QWidget *w = namedWidget("Texture Profiler", main_);
    WindowManager::add(w, 6);
    QPointer<QDockWidget> dock = WindowManager::getDock(w);
    delete w;
    QTRY_VERIFY(dock.isNull());
    QVERIFY(WindowManager::getWidgets().isEmpty());
}

void TestWindowManager::renaming_a_widget_renames_its_dock()
{
    auto *console = new QLabel(main_);
    WindowManager::add(console, 6);
    console->setObjectName("console_w");
    console->setWindowTitle("Console");
    QDockWidget *dock = WindowManager::getDock(console);
    QCOMPARE(dock->objectName(), QStringLiteral("console_w_dock"));
    QCOMPARE(dock->windowTitle(), QStringLiteral("Console"));
}

void TestWindowManager::saved_layout_comes_back_after_changes()
{
    QWidget *a = namedWidget("A", main_);
    QWidget *b = namedWidget("B", main_);
    QWidget *tool = namedWidget("Tool", main_);
    WindowManager::add(a, 1);
    WindowManager::add(b, 4);
    WindowManager::add(tool, 6);
    WindowManager::show(tool);
    const QVariant saved = wm_->getPrivate()->saveState();
    QVERIFY(!saved.toByteArray().isEmpty());

    main_->addDockWidget(Qt::RightDockWidgetArea, WindowManager::getDock(a));
    main_->addDockWidget(Qt::TopDockWidgetArea, WindowManager::getDock(b));
    WindowManager::hide(tool);

    wm_->getPrivate()->restoreState(saved);
    QCOMPARE(main_->dockWidgetArea(WindowManager::getDock(a)), Qt::LeftDockWidgetArea);
    QCOMPARE(main_->dockWidgetArea(WindowManager::getDock(b)), Qt::BottomDockWidgetArea);
    QVERIFY(WindowManager::isVisible(tool));
}

void TestWindowManager::empty_or_broken_layout_applies_the_default_layout_data()
{
    QTest::addColumn<QVariant>("layout");
    QTest::newRow("invalid value") << QVariant();
    QTest::newRow("default layout") << workspace::getDefaultMainWindowLayout();
    QTest::newRow("empty bytes") << QVariant(QByteArray());
    QTest::newRow("garbage bytes") << QVariant(QByteArray("not a layout at all"));
}

void TestWindowManager::empty_or_broken_layout_applies_the_default_layout()
{
    QFETCH(QVariant, layout);

    auto *browser = new as::Browser(nullptr, false, main_);
    // The console is an editor class this library only declares; any
    // widget stands in for it in the registry.
    QWidget *console = namedWidget("console_w", main_);
    QWidget *nodes = namedWidget("NodesWindow", main_);
    auto *viewport = new EngineViewportWidget(nullptr, main_);
    viewport->setObjectName("EngineViewport");
    QWidget *tool = namedWidget("Cleaner", main_);
    depr::gui.asset_browser = browser;
    depr::gui.console = reinterpret_cast<ConsoleWidget *>(console);
    depr::gui.nodes_window = nodes;
    depr::gui.engine_viewport = viewport;

    // Everything in the wrong place first.
    WindowManager::add(console, 6);
    WindowManager::add(browser, 5);
    WindowManager::add(nodes, 2);
    WindowManager::add(viewport, 3);
    WindowManager::add(tool, 4);

    wm_->getPrivate()->restoreState(layout);

    QDockWidget *browser_dock = WindowManager::getDock(browser);
    QDockWidget *console_dock = WindowManager::getDock(console);
    QDockWidget *nodes_dock = WindowManager::getDock(nodes);
    QDockWidget *viewport_dock = WindowManager::getDock(viewport);
    QCOMPARE(main_->dockWidgetArea(browser_dock), Qt::BottomDockWidgetArea);
    QVERIFY(!browser_dock->isFloating());
    QVERIFY(main_->tabifiedDockWidgets(browser_dock).contains(console_dock));
    QCOMPARE(main_->dockWidgetArea(nodes_dock), Qt::LeftDockWidgetArea);
    QCOMPARE(main_->dockWidgetArea(viewport_dock), Qt::LeftDockWidgetArea);
    QTRY_VERIFY(viewport_dock->geometry().left() >= nodes_dock->geometry().right());
    QVERIFY(WindowManager::isVisible(browser));
    QVERIFY(WindowManager::isVisible(nodes));
    QVERIFY(WindowManager::isVisible(viewport));
    // A window first docked visibly keeps its place; a tool window would
    // be hidden.
    QCOMPARE(main_->dockWidgetArea(WindowManager::getDock(tool)), Qt::BottomDockWidgetArea);
}

void TestWindowManager::deleting_the_manager_keeps_a_private_the_main_window_owns()
{
    QPointer<Editor::WindowManagerPrivate> priv = depr::g.window_manager;
    QWidget *w = namedWidget("Tool", main_);
    WindowManager::add(w, 2);

    delete wm_;
    wm_ = nullptr;
    QVERIFY(!priv.isNull());
    QCOMPARE(depr::g.window_manager, priv.data());
    QCOMPARE(main_->centralWidget(), priv.data());
    QVERIFY(!WindowManager::instance());
    // Its docks are gone; the widget went back to the main window.
    QCOMPARE(w->parentWidget(), main_);
    QVERIFY(main_->findChildren<QDockWidget *>().isEmpty());
}

void TestWindowManager::deleting_the_manager_deletes_an_unowned_private_and_clears_the_registry()
{
    delete wm_;
    auto *second = new WindowManager;
    QPointer<Editor::WindowManagerPrivate> priv = second->getPrivate();
    QCOMPARE(depr::g.window_manager, priv.data());
    delete second;
    QVERIFY(priv.isNull());
    QVERIFY(!depr::g.window_manager);
    wm_ = new WindowManager;
}

void TestWindowManager::calls_without_a_manager_do_nothing()
{
    delete wm_;
    wm_ = nullptr;
    LogCapture log;
    QWidget *w = namedWidget("Lonely", main_);
    QVERIFY(!WindowManager::add(w, 6));
    QVERIFY(!WindowManager::getArea(w).isValid());
    QCOMPARE(WindowManager::newDockParent(main_), static_cast<QWidget *>(main_));
    WindowManager::remove(w);
    QVERIFY(log.contains("there is no window manager"));
    // Not docked: show and hide act on the widget itself.
    WindowManager::show(w);
    QVERIFY(WindowManager::isVisible(w));
}

void TestWindowManager::default_geometry_is_three_quarters_of_the_desktop()
{
    const QByteArray geometry = workspace::getDefaultMainWindowGeometry();
    QVERIFY(!geometry.isEmpty());
    View window;
    QVERIFY(window.restoreGeometry(geometry));
    // The offscreen platform has one 800 x 600 screen.
    QCOMPARE(window.size(), QSize(600, 450));
    QVERIFY(!workspace::getDefaultMainWindowLayout().isValid());
}

QTEST_MAIN(TestWindowManager)
#include "tst_window_manager.moc"
