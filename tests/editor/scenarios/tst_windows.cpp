#include "scenario_runner.h"

#include "editor/about/about_window.h"
#include "editor/assembly/build_presenter.h"
#include "editor/assembly/ui/build_window.h"
#include "editor/cleaner/ui/cleaner_window.h"
#include "editor/console/console_widget.h"
#include "editor/help/help_window.h"
#include "editor/presenter/presenter.h"
#include "editor/texture_profiler/ui/texture_profiler_window.h"
#include "editor/tools/impostor_grabber_window.h"
#include "editor/tools/randomizer_widget.h"
#include "editor/tracker/tracker.h"
#include "editor/video_grabber/video_grabber_form.h"
#include "editor/watchers/shader_compilation_popup_widget.h"

#include <editor_core/Constants.h>
#include <editor_core/EditorTools.h>
#include <editor_core/EngineViewportWidget.h>
#include <editor_core/LightBakingWidget.h>
#include <editor_core/MainMenu.h>
#include <editor_core/SettingsWindow.h>
#include <editor_core/View.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/ViewportWindowScene.h>
#include <editor_core/WidgetGui.h>
#include <editor_core/as/Browser.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/depr/InspectorPrivate.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <velmora/Console.h>
#include <velmora/Widget.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QLayoutItem>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include <algorithm>

#include <functional>
#include <tuple>

namespace {

using Signal = void (Editor::WindowManagerPrivate::*)();
using Target = std::function<QWidget *()>;

} // namespace

Q_DECLARE_METATYPE(Signal)
Q_DECLARE_METATYPE(Target)

namespace {

// The window that a global of the editor holds when the row runs.
template<typename T>
Target at(T *const &window)
{
    return [&window] { return static_cast<QWidget *>(window); };
}

class MenuCommands : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &, QStringList &arguments) override
    {
        arguments << QStringLiteral("-supported_apis") << QStringLiteral("2,3");
        // Tests open the Help window themselves.
        QDir().mkpath(test::context().config_home + QLatin1String("/Velmora"));
        QSettings settings(test::settingsFilePath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("windows/show_help_at_startup"), false);
    }

private slots:
    void help_window_stays_closed_when_the_user_said_so()
    {
        QVERIFY(depr::gui.help);
        QVERIFY(!depr::gui.help->isVisible());
    }

    void every_window_command_shows_its_window_data()
    {
        QTest::addColumn<Signal>("command");
        QTest::addColumn<Target>("window");
        Editor::Presenter *p = test::presenter();
        QTest::newRow("asset browser") << Signal(&Editor::WindowManagerPrivate::toggleAssetBrowser)
                                       << at(depr::gui.asset_browser);
        QTest::newRow("settings") << Signal(&Editor::WindowManagerPrivate::toggleSettings)
                                  << at(depr::gui.settings_window);
        QTest::newRow("nodes") << Signal(&Editor::WindowManagerPrivate::toggleNodes) << at(depr::gui.nodes_window);
        QTest::newRow("materials") << Signal(&Editor::WindowManagerPrivate::toggleMaterials)
                                   << at(depr::gui.materials_window);
        QTest::newRow("properties") << Signal(&Editor::WindowManagerPrivate::toggleProperties)
                                    << at(depr::gui.properties_window);
        QTest::newRow("console") << Signal(&Editor::WindowManagerPrivate::toggleConsole) << at(depr::gui.console);
        QTest::newRow("impostors") << Signal(&Editor::WindowManagerPrivate::toggleImpostorGrabber)
                                   << at(depr::gui.impostor_grabber);
        QTest::newRow("randomizer") << Signal(&Editor::WindowManagerPrivate::toggleRandomizer)
                                    << Target([p]() -> QWidget * { return p->randomizer(); });
        QTest::newRow("light baking") << Signal(&Editor::WindowManagerPrivate::toggleLightBaking)
                                      << at(depr::gui.light_baking);
        QTest::newRow("about") << Signal(&Editor::WindowManagerPrivate::toggleAbout) << at(depr::gui.about);
        QTest::newRow("engine viewport") << Signal(&Editor::WindowManagerPrivate::toggleEngineViewport)
                                         << at(depr::gui.engine_viewport);
        QTest::newRow("tracker") << Signal(&Editor::WindowManagerPrivate::toggleTracker) << at(depr::gui.tracker);
        QTest::newRow("show tracker") << Signal(&Editor::WindowManagerPrivate::showTracker) << at(depr::gui.tracker);
        QTest::newRow("cleaner") << Signal(&Editor::WindowManagerPrivate::toggleCleaner) << at(depr::gui.cleaner);
        QTest::newRow("video grabber") << Signal(&Editor::WindowManagerPrivate::toggleVideoGrabber)
                                       << Target([p]() -> QWidget * { return p->videoGrabberForm(); });
        QTest::newRow("texture profiler") << Signal(&Editor::WindowManagerPrivate::toggleTextureProfiler)
                                          << Target([p]() -> QWidget * { return p->textureProfiler(); });
        QTest::newRow("help") << Signal(&Editor::WindowManagerPrivate::openHelp) << at(depr::gui.help);
        QTest::newRow("create build") << Signal(&Editor::WindowManagerPrivate::toggleAssembly)
                                      << Target([p]() -> QWidget * { return p->buildPresenter()->window(); });
    }

    void every_window_command_shows_its_window()
    {
        QFETCH(Signal, command);
        QFETCH(Target, window);
        QWidget *widget = window();
        QVERIFY(widget);
        if (Editor::WindowManager::contains(widget))
            Editor::WindowManager::hide(widget);
        else
            widget->hide();
        QVERIFY(!widget->isVisible());

        emit(depr::g.window_manager->*command)();
        QTRY_VERIFY(widget->isVisible());
    }

    void close_tracker_hides_it()
    {
        emit depr::g.window_manager->showTracker();
        QTRY_VERIFY(depr::gui.tracker->isVisible());
        emit depr::g.window_manager->closeTracker();
        QTRY_VERIFY(!depr::gui.tracker->isVisible());
    }

    void add_parameters_asks_the_inspector()
    {
        const int before = depr::g.inspector->addCount();
        emit depr::g.window_manager->addParameters();
        QCOMPARE(depr::g.inspector->addCount(), before + 1);
    }

    void help_menu_ends_with_plugins_which_opens_the_plugins_dialog()
    {
        auto menu = qobject_cast<MainMenu *>(depr::gui.main_window->menuBar());
        QVERIFY(menu);
        QMenu *help = menu->findMenu(QString::fromLatin1(Constants::MM_HELP));
        QVERIFY(help);
        QAction *plugins = help->actions().last();
        QCOMPARE(plugins->text(), QStringLiteral("Plugins"));
        plugins->trigger();
        QDialog *dialog = depr::gui.main_window->findChild<QDialog *>();
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        dialog->close();
    }

    void tool_bar_offers_exactly_the_supported_rendering_apis()
    {
        auto tools = depr::gui.main_window->findChild<EditorTools *>();
        QVERIFY(tools);
        QCOMPARE(tools->getAvailableVideoAPIs(), (QVector<int>{2, 3}));
        QCOMPARE(tools->videoAPICombo()->count(), 2);
        QCOMPARE(tools->minimumHeight(), 33);
    }

    void console_is_docked_with_the_asset_browser()
    {
        QCOMPARE(depr::gui.console->objectName(), QStringLiteral("console_w"));
        QCOMPARE(depr::gui.console->windowTitle(), QStringLiteral("Console"));
        QDockWidget *dock = Editor::WindowManager::getDock(depr::gui.console);
        QVERIFY(dock);
        QCOMPARE(dock->objectName(), QStringLiteral("console_w_dock"));
        const QList<QDockWidget *> tabs = depr::gui.main_window->tabifiedDockWidgets(dock);
        QVERIFY(tabs.contains(Editor::WindowManager::getDock(depr::gui.asset_browser)));
    }

    void add_editor_viewport_opens_one_more_scene()
    {
        const int before = depr::g.viewports->getSceneNames().size();
        emit depr::g.window_manager->addEditorViewport();
        QCOMPARE(depr::g.viewports->getSceneNames().size(), before + 1);
    }
};

class ResetLayout : public test::Scenario
{
    Q_OBJECT

private slots:
    void reset_leaves_one_new_scene_and_the_start_up_browser_state()
    {
        emit depr::g.window_manager->addEditorViewport();
        emit depr::g.window_manager->addEditorViewport();
        QVERIFY(depr::g.viewports->getSceneNames().size() >= 3);
        depr::gui.main_window->resize(321, 234);
        depr::gui.asset_browser->setFilter(QStringLiteral("typed by the user"));
        QVERIFY(depr::gui.asset_browser->saveState() != test::presenter()->browserState());

        emit depr::g.window_manager->resetWindowsLayout();

        const QStringList after = depr::g.viewports->getSceneNames();
        QCOMPARE(after.size(), 1);
        QCOMPARE(depr::gui.asset_browser->saveState(), test::presenter()->browserState());
        QVERIFY(depr::gui.main_window->size() != QSize(321, 234));
        QVERIFY(test::waitFrames(2));
    }

    void reset_brings_back_the_default_size_that_every_open_tool_window_outgrew()
    {
        const QSize initial = depr::gui.main_window->size();
        using W = Editor::WindowManagerPrivate;
        for (Signal command : {&W::toggleSettings, &W::toggleMaterials, &W::toggleProperties, &W::toggleImpostorGrabber,
                               &W::toggleRandomizer, &W::toggleLightBaking, &W::toggleCleaner, &W::toggleVideoGrabber,
                               &W::toggleTextureProfiler, &W::toggleAssembly})
            emit(depr::g.window_manager->*command)();
        QVERIFY(test::waitFrames(2));
        // The tool windows made the window grow, as far as the screen allows.
        QVERIFY(depr::gui.main_window->size() != initial);

        emit depr::g.window_manager->resetWindowsLayout();
        QVERIFY(test::waitFrames(2));
        QCOMPARE(depr::gui.main_window->size(), initial);
    }

    void default_layout_leaves_every_scene_room_for_its_compile_popup()
    {
        // The default window of a 1920 x 1080 screen, with the engine
        // viewport and two scenes side by side.
        emit depr::g.window_manager->addEditorViewport();
        QCOMPARE(depr::g.viewports->getSceneNames().size(), 2);
        depr::gui.main_window->resize(1440, 810);
        depr::g.window_manager->restoreState(QVariant());
        QVERIFY(test::waitFrames(2));
        for (const QString &id : depr::g.viewports->getSceneNames()) {
            ViewportWindowScene *scene = depr::g.viewports->getScene(id);
            auto popup = scene->findChild<ShaderCompilationPopupWidget *>();
            QVERIFY(popup);
            QVERIFY2(scene->rect().contains(popup->geometry()),
                     qPrintable(QStringLiteral("%1 is %2 pixels wide").arg(id).arg(scene->width())));
        }
    }
};

class AllTools : public test::Scenario
{
    Q_OBJECT

private slots:
    void opening_every_tool_keeps_the_window_and_its_docks_on_the_screen()
    {
        auto menu = qobject_cast<MainMenu *>(depr::gui.main_window->menuBar());
        QVERIFY(menu);
        QMenu *tools = menu->findMenu(QString::fromLatin1(Constants::MM_TOOLS));
        QVERIFY(tools);
        QList<QAction *> entries = tools->actions();
        entries.erase(std::remove_if(entries.begin(), entries.end(), [](QAction *a) { return a->isSeparator(); }),
                      entries.end());
        QCOMPARE(entries.size(), 8);
        for (QAction *entry : qAsConst(entries)) {
            entry->trigger();
            QVERIFY(test::waitFrames(1));
        }
        QVERIFY(test::waitFrames(2));

        QMainWindow *main = depr::gui.main_window;
        const QRect frame = main->frameGeometry();
        QVERIFY2(main->screen()->availableGeometry().contains(frame),
                 qPrintable(QStringLiteral("%1 x %2").arg(frame.width()).arg(frame.height())));
        // Every dock that shows lies inside the window, its bottom in reach
        // (tabs behind the current one are parked outside).
        for (QDockWidget *dock : main->findChildren<QDockWidget *>()) {
            if (dock->isVisible() && !dock->isFloating() && main->rect().intersects(dock->geometry()))
                QVERIFY2(main->rect().contains(dock->geometry()), qPrintable(dock->objectName()));
        }
    }

    void in_a_small_window_the_tools_give_way_to_the_node_list_and_the_views()
    {
        // The smallest window a user met with every tool open.
        QMainWindow *main = depr::gui.main_window;
        main->resize(700, 646);
        QVERIFY(test::waitFrames(3));
        QList<QWidget *> views{depr::gui.nodes_window, depr::gui.engine_viewport};
        for (const QString &id : depr::g.viewports->getSceneNames())
            views.append(depr::g.viewports->getScene(id));
        for (QWidget *view : qAsConst(views)) {
            QDockWidget *dock = Editor::WindowManager::getDock(view);
            QVERIFY(dock);
            QVERIFY2(dock->width() >= 150 && dock->height() >= 100,
                     qPrintable(QStringLiteral("%1: %2 x %3")
                                        .arg(dock->objectName())
                                        .arg(dock->width())
                                        .arg(dock->height())));
        }
    }
};

QScrollArea *toolScrollArea(QWidget *form)
{
    return qobject_cast<QScrollArea *>(form->parentWidget() ? form->parentWidget()->parentWidget() : nullptr);
}

// The controls of a tool window that its dock, or a scroll area in the
// window, cuts or hides across (forms scroll down in a dock lower than
// them), the scroll areas that scroll across, and the line edits narrower
// than they ask to be and too narrow for their text.
QStringList cutControls(QWidget *form)
{
    QStringList cut;
    for (QWidget *control : form->findChildren<QWidget *>()) {
        if (!control->isVisible() || control->window() != form->window())
            continue;
        const QString name = control->objectName().isEmpty() ? QString::fromLatin1(control->metaObject()->className())
                                                             : control->objectName();
        auto area = qobject_cast<QAbstractScrollArea *>(control);
        if (area && area->horizontalScrollBar()->isVisible())
            cut << QStringLiteral("%1 scrolls across").arg(name);
        const bool is_control = (qobject_cast<QAbstractButton *>(control) || qobject_cast<QComboBox *>(control)
                                 || qobject_cast<QLineEdit *>(control) || qobject_cast<QAbstractSpinBox *>(control))
                && !qobject_cast<QAbstractSpinBox *>(control->parentWidget());
        if (!is_control)
            continue;
        // Across, inside every view it lies in up to the dock's.
        for (QWidget *view = control->parentWidget(); view; view = view->parentWidget()) {
            auto scroll = qobject_cast<QAbstractScrollArea *>(view->parentWidget());
            if (!scroll || scroll->viewport() != view)
                continue;
            const int left = control->mapTo(view, QPoint(0, 0)).x();
            if (left < 0 || left + control->width() > view->width())
                cut << name + QStringLiteral(" cut across");
            if (scroll == toolScrollArea(form))
                break;
        }
        auto line = qobject_cast<QLineEdit *>(control);
        if (line && line->width() < line->sizeHint().width()) {
            QStyleOptionFrame option;
            option.initFrom(line);
            option.lineWidth = line->hasFrame() ? line->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
            const QRect text = line->style()->subElementRect(QStyle::SE_LineEditContents, &option, line);
            if (line->fontMetrics().horizontalAdvance(line->text()) > text.width() - 4)
                cut << QStringLiteral("%1 shows part of \"%2\"").arg(name, line->text());
        }
    }
    // A window of engine widgets (the Tracker): its buttons.
    if (auto gui_window = qobject_cast<WidgetGui *>(form)) {
        const int shown = form->parentWidget()->width() - form->mapTo(form->parentWidget(), QPoint(0, 0)).x();
        std::function<void(const Velmora::Widget *)> walk = [&](const Velmora::Widget *widget) {
            if (widget->isHidden())
                return;
            if (widget->getType() == Velmora::Widget::WIDGET_BUTTON
                && widget->getScreenPositionX() + widget->getWidth() > shown)
                cut << QString::fromUtf8(static_cast<const Velmora::WidgetButton *>(widget)->getText());
            for (int i = 0; i < widget->getNumChildren(); ++i)
                walk(widget->getChild(i).get());
        };
        for (int i = 0; i < gui_window->gui()->getNumChildren(); ++i)
            walk(gui_window->gui()->getChild(i).get());
    }
    return cut;
}

// The default window of a screen (three quarters of it, 1920 x 1080 unless
// told), in the default layout, no tool window open.
void defaultWindow(const QSize &screen = QSize(1920, 1080))
{
    for (QWidget *docked : Editor::WindowManager::getWidgets())
        if (toolScrollArea(docked))
            Editor::WindowManager::hide(docked);
    depr::gui.main_window->resize(screen.width() * 3 / 4, screen.height() * 3 / 4);
    depr::g.window_manager->restoreState(QVariant());
    QVERIFY(test::waitFrames(2));
}

void triggerTool(const QString &entry)
{
    auto menu = qobject_cast<MainMenu *>(depr::gui.main_window->menuBar());
    const QList<QAction *> entries = menu->findMenu(QString::fromLatin1(Constants::MM_TOOLS))->actions();
    const auto action
            = std::find_if(entries.begin(), entries.end(), [&entry](QAction *a) { return a->text() == entry; });
    QVERIFY(action != entries.end());
    (*action)->trigger();
}

const auto dockOf = &Editor::WindowManager::getDock;

// Whether the node list's Name column shows its names whole.
bool nodeNamesWhole()
{
    auto tree = qobject_cast<QTreeView *>(depr::gui.nodes_window);
    return tree->columnWidth(0) >= static_cast<QAbstractItemView *>(tree)->sizeHintForColumn(0);
}

class RoomForWindows : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        project.world(QStringLiteral("worlds/yard.world"), QStringLiteral("{a901}"),
                      {"player_camera", "gate_pillar_west", "fence_east_2", "watchtower"});
        arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"worlds/yard\"");
    }

private slots:
    void initTestCase()
    {
        auto nodes = qobject_cast<QTreeWidget *>(depr::gui.nodes_window);
        QVERIFY(nodes);
        QTRY_COMPARE(nodes->topLevelItemCount(), 4);
    }

    void a_window_made_small_and_large_again_gives_the_views_their_room_back()
    {
        defaultWindow();
        QMainWindow *main = depr::gui.main_window;
        const QList<QDockWidget *> docks{dockOf(depr::gui.nodes_window), dockOf(depr::gui.engine_viewport),
                                         dockOf(depr::gui.asset_browser)};
        QList<QSize> at_start;
        for (QDockWidget *dock : docks)
            at_start << dock->size();

        main->resize(400, 300);
        QVERIFY(test::waitFrames(2));
        QVERIFY(docks[1]->height() < at_start[1].height() / 2);
        main->resize(1440, 810);
        QVERIFY(test::waitFrames(2));
        for (int i = 0; i < docks.size(); ++i) {
            const QSize off = docks[i]->size() - at_start[i];
            QVERIFY2(qAbs(off.width()) <= 2 && qAbs(off.height()) <= 2, qPrintable(docks[i]->objectName()));
        }
    }

    void tools_opened_as_a_group_of_tabs_leave_the_node_names_whole()
    {
        defaultWindow();
        for (const char *entry : {"Cleaner", "Impostors Creator", "Texture Profiler", "Create Build"}) {
            triggerTool(QString::fromLatin1(entry));
            QVERIFY(test::waitFrames(1));
        }
        QVERIFY(test::waitFrames(2));
        QVERIFY(nodeNamesWhole());

        // A layout left by an earlier run with the node list squeezed comes
        // back at the next start, before the world's nodes are listed.
        QMainWindow *main = depr::gui.main_window;
        main->resizeDocks({dockOf(depr::gui.nodes_window)},
                          {QWidgetItem(dockOf(depr::gui.nodes_window)).minimumSize().width()}, Qt::Horizontal);
        QVERIFY(test::waitFrames(1));
        QVERIFY(!nodeNamesWhole());
        const QVariant layout = depr::g.window_manager->saveState();
        defaultWindow();
        Velmora::Console::run("world_quit");
        QVERIFY(test::waitFrames(2));
        depr::g.window_manager->restoreState(layout);
        QVERIFY(test::waitFrames(2));
        Velmora::Console::run("world_load \"worlds/yard\"");
        QTRY_COMPARE(qobject_cast<QTreeWidget *>(depr::gui.nodes_window)->topLevelItemCount(), 4);
        QVERIFY(test::waitFrames(2));
        QVERIFY(Editor::WindowManager::isVisible(depr::gui.cleaner));
        QVERIFY(nodeNamesWhole());
    }

    void each_tool_opened_alone_shows_its_whole_form_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<Target>("window");
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<QSize>("screen");
        Editor::Presenter *p = test::presenter();
        // By the Tools menu's entries.
        const QVector<std::tuple<const char *, Target, QStringList>> tools{
                {"Create Build", Target([p]() -> QWidget * { return p->buildPresenter()->window(); }),
                 QStringList{"build_folder_button"}},
                {"Cleaner", at(depr::gui.cleaner), QStringList{"deleteAll", "showIgnoreList"}},
                {"Impostors Creator", at(depr::gui.impostor_grabber), QStringList{"depth_postfix", "ao_postfix"}},
                {"Randomizer", Target([p]() -> QWidget * { return p->randomizer(); }), QStringList()},
                {"Light Baking", at(depr::gui.light_baking), QStringList()},
                {"Tracker", at(depr::gui.tracker), QStringList()},
                {"Video Grabber", Target([p]() -> QWidget * { return p->videoGrabberForm(); }), QStringList()},
                {"Texture Profiler", Target([p]() -> QWidget * { return p->textureProfiler(); }), QStringList()},
        };
        for (const QSize screen : {QSize(1920, 1080), QSize(1366, 768), QSize(3840, 2160)})
            for (const auto &[entry, window, named] : tools)
                QTest::addRow("%s, %d x %d", entry, screen.width(), screen.height())
                        << QString::fromLatin1(entry) << window << named << screen;
    }

    void each_tool_opened_alone_shows_its_whole_form()
    {
        QFETCH(QString, entry);
        QFETCH(Target, window);
        QFETCH(QStringList, named);
        QFETCH(QSize, screen);
        defaultWindow(screen);
        triggerTool(entry);
        QVERIFY(test::waitFrames(3));

        QWidget *form = window();
        QVERIFY(Editor::WindowManager::isVisible(form));
        QScrollArea *area = toolScrollArea(form);
        QVERIFY(area);
        const QStringList cut = cutControls(form);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
        QVERIFY(dockOf(form)->width() >= QWidgetItem(form).minimumSize().width());
        QVERIFY(!area->horizontalScrollBar()->isVisible());
        for (const QString &name : qAsConst(named)) {
            auto control = form->findChild<QWidget *>(name);
            QVERIFY2(control && control->isVisible(), qPrintable(name));
            // A button shows its whole picture: an icon within the style's padding, or its text.
            if (qobject_cast<QAbstractButton *>(control))
                QVERIFY2(control->size().expandedTo(control->sizeHint()) == control->size(), qPrintable(name));
        }
    }
};

// Colour of the text that contains needle in the console's view ("" when absent).
QString colourOf(const QString &needle)
{
    QTextDocument *document = depr::gui.console->outputView()->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.text().contains(needle))
            return block.begin().fragment().charFormat().foreground().color().name();
    }
    return QString();
}

void typeCommand(const QString &text)
{
    QLineEdit *line = depr::gui.console->commandLine();
    line->setFocus();
    line->setText(text);
    QTest::keyClick(line, Qt::Key_Return);
}

class ConsoleSession : public test::Scenario
{
    Q_OBJECT

private slots:
    void help_lists_the_commands_in_the_window_text_colour()
    {
        typeCommand(QStringLiteral("help"));
        QTRY_VERIFY(!colourOf(QStringLiteral("---- commands:")).isEmpty());
        QTRY_VERIFY(!colourOf(QStringLiteral("  world_load - ")).isEmpty());
        const QString plain = depr::gui.console->palette().color(QPalette::WindowText).name();
        QCOMPARE(colourOf(QStringLiteral("---- commands:")), plain);
        QVERIFY(plain != QLatin1String("#ff6c6c") && plain != QLatin1String("#ffa000"));
    }

    void unknown_command_is_reported_in_red()
    {
        typeCommand(QStringLiteral("no_such_command 1"));
        QTRY_VERIFY(!colourOf(QStringLiteral("Unknown command \"no_such_command\"")).isEmpty());
        QCOMPARE(colourOf(QStringLiteral("Unknown command \"no_such_command\"")), QStringLiteral("#ff6c6c"));
    }

    void up_and_down_walk_the_commands_of_this_session()
    {
        QLineEdit *line = depr::gui.console->commandLine();
        QTRY_VERIFY(line->text().isEmpty());
        QTest::keyClick(line, Qt::Key_Up);
        QCOMPARE(line->text(), QStringLiteral("no_such_command 1"));
        QTest::keyClick(line, Qt::Key_Up);
        QCOMPARE(line->text(), QStringLiteral("help"));
        QTest::keyClick(line, Qt::Key_Down);
        QTest::keyClick(line, Qt::Key_Down);
        QCOMPARE(line->text(), QString());
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv,
                              {
                                      {"menu_commands", [] { return std::make_unique<MenuCommands>(); }},
                                      {"reset_layout", [] { return std::make_unique<ResetLayout>(); }},
                                      {"console_session", [] { return std::make_unique<ConsoleSession>(); }},
                                      {"all_tools", [] { return std::make_unique<AllTools>(); }},
                                      {"room_for_windows", [] { return std::make_unique<RoomForWindows>(); }},
                              });
}

#include "tst_windows.moc"
