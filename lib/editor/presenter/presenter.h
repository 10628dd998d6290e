#pragma once

#include "editor/presenter/quit_confirmation.h"

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>
#include <vector>

class EditorLogic;
class EngineAppWidget;
class EngineViewportWidget;
class ProjectPreviewGrabber;
class QAction;
class QMenuBar;
class QWidget;
class RandomizerWidget;
class ShaderCompilationWatcher;
class View;
class VideoGrabberController;
class VideoGrabberForm;
class VideoGrabberState;
class NodeIconProvider;
class HelpWindow;

namespace Velmora {
class App;
class Engine;
} // namespace Velmora

namespace as {
class Presenter;
class ProgressFormatter;
} // namespace as

namespace assembly {
class Presenter;
}

namespace base {
class TimerInterface;
}

namespace cs {
class Manager;
}

namespace mat {
class Manager;
class Presenter;
} // namespace mat

namespace prop {
class Manager;
class Presenter;
} // namespace prop

namespace tprof {
class Window;
}

namespace world {
class Presenter;
}

namespace Editor {

class AssetManagerPrivate;
class PluginPresenter;
class WindowManagerPrivate;

// The composition root of the editor. init() shows the splash, starts the
// engine inside the engine widget, loads the editor script, materials,
// properties and assets, creates every editor-core tool and control and the
// editor's own tools, builds the main window, loads plug-ins, starts the
// frame loop and restores the layout. The presenter owns what it creates,
// registers the shared objects in depr::g and depr::gui, steps the engine
// once per pass of the event loop, serves the main menu's window commands
// and shuts everything down in order.
class Presenter : public QObject
{
    Q_OBJECT

public:
    // How the engine is started (tests replace it to make the start fail).
    using EngineStarter = std::function<Velmora::Engine *(int version, Velmora::App *app, int argc, char **argv)>;
    // How a critical start-up failure is shown to the user.
    using CriticalMessageHook = std::function<void(QWidget *parent, const QString &title, const QString &text)>;

    // Bounds of the two waits of start-up.
    static constexpr int SPLASH_PAINT_TIMEOUT_MS = 3000;
    static constexpr int ASSETS_TIMEOUT_MS = 120000;

    Presenter(QObject *application, View *main_window);
    ~Presenter() override;

    // The whole start-up. False when the engine did not start: the failure
    // has been logged and shown, and nothing of the engine is touched again.
    bool init(int argc, char **argv);
    void shutdown();

    // True once init() has completed every step.
    bool isStarted() const { return started_; }

    static void setEngineStarter(EngineStarter starter);
    static void setCriticalMessageHook(CriticalMessageHook hook);

    // Splash texts while the assets load.
    static QString assetProgressStatus(int progress);
    static QString assetProgressDetail(const QString &pipeline_text);

    // Rendering API numbers 0 to 3 that the engine supports, ascending.
    static QVector<int> supportedVideoAPIs();

    // Line number that the soft assertion of a missing Help menu reports.
    static constexpr int HELP_MENU_ASSERT_LINE = 1089;
    // Adds the "Plugins" entry, which opens the plug-ins dialog, at the end
    // of the Help menu of menu_bar. Without a Help menu: a soft assertion in
    // the log and no entry (null).
    static QAction *addPluginsEntry(QMenuBar *menu_bar, PluginPresenter *plugins, QObject *owner);

    // Tests: the parts of the running editor the registries do not hold.
    base::TimerInterface *updateTimer() const { return update_timer_; }
    EngineAppWidget *appWidget() const { return app_widget_; }
    RandomizerWidget *randomizer() const { return randomizer_; }
    VideoGrabberForm *videoGrabberForm() const { return video_grabber_form_; }
    VideoGrabberState *videoGrabberState() const { return video_grabber_state_; }
    VideoGrabberController *videoGrabberController() const { return video_grabber_controller_; }
    tprof::Window *textureProfiler() const { return texture_profiler_; }
    assembly::Presenter *buildPresenter() const { return build_presenter_; }
    ShaderCompilationWatcher *shaderWatcher() const { return shader_watcher_; }
    ProjectPreviewGrabber *previewGrabber() const { return preview_grabber_; }
    QByteArray browserState() const { return browser_state_; }
    void updateTitle(bool with_world);

public slots:
    void addParameters();
    void toggleAssetBrowser();
    void toggleSettings();
    void toggleNodes();
    void toggleMaterials();
    void toggleProperties();
    void toggleConsole();
    void toggleImpostorGrabber();
    void toggleRandomizer();
    void toggleLightBaking();
    void toggleAbout();
    void toggleEngineViewport();
    void addEditorViewport();
    void showTracker();
    void closeTracker();
    void toggleTracker();
    void toggleCleaner();
    void toggleVideoGrabber();
    void toggleTextureProfiler();
    void openHelp();
    void resetWindowsLayout();

private:
    void showSplash(const QString &title);
    bool initEngine(int argc, char **argv);
    void initAssets(Velmora::Vector<Velmora::UGUID> &failed);
    void initTools(Velmora::Vector<Velmora::UGUID> &failed);
    void initComponents(cs::Manager *components, AssetManagerPrivate *assets,
                        const Velmora::Vector<Velmora::UGUID> &failed);
    // The phases of initGUI, in their order.
    void initGUI();
    void setUpMainWindow();
    void connectMenuCommands(WindowManagerPrivate *window_manager);
    void createEditorPresenters(bool components_active);
    void dockEditorWindows();
    void createEngineViewport(bool components_active);
    void createViewports();
    void createMenuAndToolBar();
    void connectAssetBrowserRequests(cs::Manager *components);
    void createToolWindows();
    void createBuildTool(cs::Manager *components, bool components_active);
    void initPlugins();
    void restoreLayout();
    void closeSplash();
    void reportEngineFailure();
    void updateSplashProgress(const as::ProgressFormatter &formatter);

    void initUpdateTimer();
    void onApplicationStateChanged(Qt::ApplicationState state);
    void update();
    void tick();
    void stopUpdateTimer();
    void initTitleUpdates();
    void onNodeRemoved(int id);
    // The main window's quit guard: a running impostor job is cancelled or
    // kept, unsaved changes of the world are saved, discarded or kept, as the
    // user answers; the build options are saved before the editor quits.
    bool confirmQuit();
    // The impostor being made, as the quit guard sees it.
    QuitConfirmation::Job impostorJob() const;
    // The console's "quit": asks as File > Quit does while the main window is
    // shown; without it the editor quits at once.
    void quitFromConsole();

    // The docked tool windows, one entry each: how a window is made, the
    // menu command that shows it and how it goes at shutdown.
    struct ToolWindow;
    static const std::vector<ToolWindow> &toolWindows();

    void saveWindowLayout();
    void shutdownGUI();
    void shutdownTools();
    void shutdownAssets();
    void shutdownEngine();

    QObject *application_ = nullptr;
    View *main_window_ = nullptr;
    Velmora::Engine *engine_ = nullptr;
    EditorLogic *editor_logic_ = nullptr;
    EngineAppWidget *app_widget_ = nullptr;
    EngineViewportWidget *engine_viewport_ = nullptr;
    base::TimerInterface *update_timer_ = nullptr;
    AssetManagerPrivate *asset_manager_ = nullptr;
    as::Presenter *asset_presenter_ = nullptr;
    QByteArray browser_state_;
    mat::Manager *mat_manager_ = nullptr;
    mat::Presenter *mat_presenter_ = nullptr;
    prop::Manager *prop_manager_ = nullptr;
    prop::Presenter *prop_presenter_ = nullptr;
    world::Presenter *world_presenter_ = nullptr;
    VideoGrabberForm *video_grabber_form_ = nullptr;
    VideoGrabberState *video_grabber_state_ = nullptr;
    VideoGrabberController *video_grabber_controller_ = nullptr;
    ShaderCompilationWatcher *shader_watcher_ = nullptr;
    NodeIconProvider *node_icon_provider_ = nullptr;
    RandomizerWidget *randomizer_ = nullptr;
    HelpWindow *help_window_ = nullptr;
    tprof::Window *texture_profiler_ = nullptr;
    assembly::Presenter *build_presenter_ = nullptr;
    PluginPresenter *plugin_presenter_ = nullptr;
    ProjectPreviewGrabber *preview_grabber_ = nullptr;
    QMetaObject::Connection state_connection_;
    bool started_ = false;
    bool shut_down_ = false;
};

} // namespace Editor
