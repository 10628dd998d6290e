#include "scenario_runner.h"

#include "editor/about/about_window.h"
#include "editor/assembly/presenter.h"
#include "editor/assembly/ui/assembly_window.h"
#include "editor/cleaner/cleaner_window.h"
#include "editor/console/console_widget.h"
#include "editor/help/help_window.h"
#include "editor/presenter/presenter.h"
#include "editor/texture_profiler/ui/window.h"
#include "editor/tools/impostor_grabber_window.h"
#include "editor/tools/randomizer_widget.h"
#include "editor/tracker/tracker.h"
#include "editor/video_grabber/video_grabber_form.h"

#include <editor_core/EngineViewportWidget.h>
#include <editor_core/LightBakingWidget.h>
#include <editor_core/SettingsWindow.h>
#include <editor_core/View.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/as/Browser.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/depr/InspectorPrivate.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <QDir>
#include <QSettings>
#include <QTest>

#include <functional>

namespace {

using Signal = void (Editor::WindowManagerPrivate::*)();
using Target = std::function<QWidget *()>;

} // namespace

Q_DECLARE_METATYPE(Signal)
Q_DECLARE_METATYPE(Target)

namespace {

class MenuCommands : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &, QStringList &) override
    {
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
                                       << Target([] { return static_cast<QWidget *>(depr::gui.asset_browser); });
        QTest::newRow("settings") << Signal(&Editor::WindowManagerPrivate::toggleSettings)
                                  << Target([] { return static_cast<QWidget *>(depr::gui.settings_window); });
        QTest::newRow("nodes") << Signal(&Editor::WindowManagerPrivate::toggleNodes)
                               << Target([] { return depr::gui.nodes_window; });
        QTest::newRow("materials") << Signal(&Editor::WindowManagerPrivate::toggleMaterials)
                                   << Target([] { return depr::gui.materials_window; });
        QTest::newRow("properties") << Signal(&Editor::WindowManagerPrivate::toggleProperties)
                                    << Target([] { return depr::gui.properties_window; });
        QTest::newRow("console") << Signal(&Editor::WindowManagerPrivate::toggleConsole)
                                 << Target([] { return static_cast<QWidget *>(depr::gui.console); });
        QTest::newRow("impostors") << Signal(&Editor::WindowManagerPrivate::toggleImpostorGrabber)
                                   << Target([] { return static_cast<QWidget *>(depr::gui.impostor_grabber); });
        QTest::newRow("randomizer") << Signal(&Editor::WindowManagerPrivate::toggleRandomizer)
                                    << Target([p] { return static_cast<QWidget *>(p->randomizer()); });
        QTest::newRow("light baking") << Signal(&Editor::WindowManagerPrivate::toggleLightBaking)
                                      << Target([] { return static_cast<QWidget *>(depr::gui.light_baking); });
        QTest::newRow("about") << Signal(&Editor::WindowManagerPrivate::toggleAbout)
                               << Target([] { return static_cast<QWidget *>(depr::gui.about); });
        QTest::newRow("engine viewport") << Signal(&Editor::WindowManagerPrivate::toggleEngineViewport)
                                         << Target([] { return static_cast<QWidget *>(depr::gui.engine_viewport); });
        QTest::newRow("tracker") << Signal(&Editor::WindowManagerPrivate::toggleTracker)
                                 << Target([] { return static_cast<QWidget *>(depr::gui.tracker); });
        QTest::newRow("show tracker") << Signal(&Editor::WindowManagerPrivate::showTracker)
                                      << Target([] { return static_cast<QWidget *>(depr::gui.tracker); });
        QTest::newRow("cleaner") << Signal(&Editor::WindowManagerPrivate::toggleCleaner)
                                 << Target([] { return static_cast<QWidget *>(depr::gui.cleaner); });
        QTest::newRow("video grabber") << Signal(&Editor::WindowManagerPrivate::toggleVideoGrabber)
                                       << Target([p] { return static_cast<QWidget *>(p->videoGrabberForm()); });
        QTest::newRow("texture profiler") << Signal(&Editor::WindowManagerPrivate::toggleTextureProfiler)
                                          << Target([p] { return static_cast<QWidget *>(p->textureProfiler()); });
        QTest::newRow("help") << Signal(&Editor::WindowManagerPrivate::openHelp)
                              << Target([] { return static_cast<QWidget *>(depr::gui.help); });
        QTest::newRow("create build") << Signal(&Editor::WindowManagerPrivate::toggleAssembly)
                                      << Target([p] { return static_cast<QWidget *>(p->buildPresenter()->window()); });
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
        const QStringList before = depr::g.viewports->getSceneNames();
        depr::gui.main_window->resize(321, 234);

        emit depr::g.window_manager->resetWindowsLayout();

        const QStringList after = depr::g.viewports->getSceneNames();
        QCOMPARE(after.size(), 1);
        QCOMPARE(depr::gui.asset_browser->saveState(), test::presenter()->browserState());
        QVERIFY(depr::gui.main_window->size() != QSize(321, 234));
        QVERIFY(test::waitFrames(2));
    }
};

} // namespace


int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv,
                              {
                                  {"menu_commands", [] { return std::make_unique<MenuCommands>(); }},
                                  {"reset_layout", [] { return std::make_unique<ResetLayout>(); }},
                              });
}

#include "tst_windows.moc"
