#include "editor/presenter/presenter.h"

#include "core/base/build_information.h"
#include "core/base/leftover_sweeper.h"
#include "editor/about/about_window.h"
#include "editor/assembly/build_presenter.h"
#include "editor/cleaner/ui/cleaner_window.h"
#include "editor/console/console_widget.h"
#include "editor/help/help_window.h"
#include "editor/interdependence/analysis_executor.h"
#include "editor/presenter/engine_arguments.h"
#include "editor/presenter/presenter_windows.h"
#include "editor/presenter/quit_confirmation.h"
#include "editor/presenter/window_title.h"
#include "editor/preview_thumbnails/project_preview_grabber.h"
#include "editor/show_assets_dependencies/show_dependencies.h"
#include "editor/splash/splash_widget.h"
#include "editor/splash/startup_images.h"
#include "editor/texture_profiler/ui/texture_profiler_window.h"
#include "editor/tools/impostor_grabber_window.h"
#include "editor/tools/randomizer_widget.h"
#include "editor/tracker/tracker.h"
#include "editor/video_grabber/video_grabber_controller.h"
#include "editor/video_grabber/video_grabber_form.h"
#include "editor/video_grabber/video_grabber_state.h"
#include "editor/watchers/shader_compilation_watcher.h"

#include <editor_core/BrushWindow.h>
#include <editor_core/Constants.h>
#include <editor_core/Controls.h>
#include <editor_core/Creators.h>
#include <editor_core/CustomUiRegistry.h>
#include <editor_core/EditorControls.h>
#include <editor_core/EditorLogic.h>
#include <editor_core/EditorSettings.h>
#include <editor_core/EditorTools.h>
#include <editor_core/EngineAppWidget.h>
#include <editor_core/EngineViewportWidget.h>
#include <editor_core/FileSystemWatcher.h>
#include <editor_core/FrameThreadManager.h>
#include <editor_core/ImageCache.h>
#include <editor_core/LightBakingWidget.h>
#include <editor_core/MainMenu.h>
#include <editor_core/MainMenuInterface.h>
#include <editor_core/NodeControls.h>
#include <editor_core/NodeIconProvider.h>
#include <editor_core/NodeReferenceControls.h>
#include <editor_core/ObjectMeshClusterControls.h>
#include <editor_core/ParametersViewCache.h>
#include <editor_core/ReflectedType.h>
#include <editor_core/RenderControls.h>
#include <editor_core/RuntimeClipboard.h>
#include <editor_core/SettingsWindow.h>
#include <editor_core/SplinesControls.h>
#include <editor_core/Thumbnails.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/View.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/ViewportWindow.h>
#include <editor_core/WorldControls.h>
#include <editor_core/as/Asset.h>
#include <editor_core/as/Browser.h>
#include <editor_core/as/ItemIconFactory.h>
#include <editor_core/as/PrepareActionLandscape.h>
#include <editor_core/as/Presenter.h>
#include <editor_core/as/ProgressFormatter.h>
#include <editor_core/as/RuntimeModel.h>
#include <editor_core/base/Assert.h>
#include <editor_core/base/Timer.h>
#include <editor_core/cs/Manager.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/depr/InspectorPrivate.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/PluginManager.h>
#include <editor_core/editor/PluginPresenter.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/Undo.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>
#include <editor_core/manipulators/EditorManipulators.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/mat/Presenter.h>
#include <editor_core/prop/Manager.h>
#include <editor_core/prop/Presenter.h>
#include <editor_core/tbb/Queue.h>
#include <editor_core/utils/OverrideCursor.h>
#include <editor_core/workspace/Workspace.h>
#include <editor_core/world/Presenter.h>

#include <velmora/BakeLighting.h>
#include <velmora/Console.h>
#include <velmora/Editor.h>
#include <velmora/Engine.h>
#include <velmora/Gui.h>
#include <velmora/Log.h>
#include <velmora/Render.h>
#include <velmora/Visualizer.h>
#include <velmora/World.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include <memory>

namespace Editor {

using namespace presenter_windows;

namespace {

// The splash while the start-up runs; set by showSplash, cleared at its end.
SplashWidget *g_splash = nullptr;

Presenter::EngineStarter &engineStarter()
{
    static Presenter::EngineStarter starter;
    return starter;
}

Presenter::CriticalMessageHook &criticalMessageHook()
{
    static Presenter::CriticalMessageHook hook;
    return hook;
}

void setSplashStatus(const QString &status, const QString &detail)
{
    EC_ASSERT(g_splash && "Splash widget isn't initialized.");
    g_splash->setStatus(status);
    g_splash->setDetail(detail);
    g_splash->repaint();
}

constexpr int COMPONENT_ASSET = AssetType::CS_COMPONENT;
constexpr int PRESET_ASSET = AssetType::PRESET;
constexpr int WORLD_ASSET = AssetType::WORLD;

} // namespace

Presenter::Presenter(QObject *application, View *main_window)
    : QObject(application)
    , application_(application)
    , main_window_(main_window)
{
    depr::gui.main_window = main_window_;
}

Presenter::~Presenter()
{
    if (!shut_down_)
        shutdown();
}

void Presenter::setEngineStarter(EngineStarter starter)
{
    engineStarter() = std::move(starter);
}

void Presenter::setCriticalMessageHook(CriticalMessageHook hook)
{
    criticalMessageHook() = std::move(hook);
}

QString Presenter::assetProgressStatus(int progress)
{
    return QStringLiteral("Initializing Assets... %2%").arg(progress);
}

QString Presenter::assetProgressDetail(const QString &pipeline_text)
{
    return QStringLiteral("%1...").arg(pipeline_text);
}

QVector<int> Presenter::supportedVideoAPIs()
{
    QVector<int> apis;
    for (int api = 0; api <= 3; ++api) {
        if (Velmora::Render::isAPISupported(api))
            apis.append(api);
    }
    return apis;
}

bool Presenter::init(int argc, char **argv)
{
    showSplash(main_window_->windowTitle());
    // Listens for the engine's read of the data folder, which lists what
    // killed editors left behind.
    base::LeftoverSweeper leftovers;
    if (!initEngine(argc, argv)) {
        closeSplash();
        reportEngineFailure();
        return false;
    }

    Velmora::Log::message("---- Editor ----\n");
    Velmora::Log::message("Version: %s %s-%s %s\n", qPrintable(base::BuildInformation::version()),
                          qPrintable(base::BuildInformation::branchTag()),
                          qPrintable(base::BuildInformation::revision()), qPrintable(base::BuildInformation::date()));
    Velmora::Log::message("Binary: %s %s\n\n", qPrintable(base::BuildInformation::platform()),
                          qPrintable(base::BuildInformation::compiler()));

    Velmora::Vector<Velmora::UGUID> failed;
    initAssets(failed);
    // Only now: the asset manager takes the read only while no folder of it
    // has changed.
    QStringList put_back;
    leftovers.sweep(&put_back);
    // Files that got their earlier contents back were read before: their
    // assets are made again from what is now under their names.
    for (const QString &path : qAsConst(put_back)) {
        const as::Asset asset = asset_manager_ ? asset_manager_->asset(path) : as::Asset();
        if (!asset.isNull() && !asset_manager_->reimportSync(asset.getGUID(), QVariantMap()))
            qWarning("Editor: \"%s\" could not be re-imported", path.toUtf8().constData());
    }
    initTools(failed);
    initGUI();
    initPlugins();
    initUpdateTimer();
    main_window_->show();
    restoreLayout();
    closeSplash();
    started_ = true;
    return true;
}

void Presenter::showSplash(const QString &title)
{
    EC_ASSERT(!g_splash && "SplashWidget initialized twice.");
    g_splash = new SplashWidget;
    g_splash->setWindowTitle(title);
    // The application's icon when it has one (the same file, read once).
    const QIcon icon = QGuiApplication::windowIcon();
    g_splash->setWindowIcon(icon.isNull() ? QIcon(QString::fromLatin1(StartupImages::EDITOR_ICON)) : icon);
    g_splash->setVersion(QStringLiteral("Version %1").arg(base::BuildInformation::version()));
    g_splash->setNotice(tr("Copyright (C) Velmora. All rights reserved."));

    // The wait for the first paint is bounded, so that a window system that
    // never paints cannot hold the start-up for ever.
    QEventLoop loop;
    bool painted = false;
    connect(
            g_splash, &SplashWidget::exposed, &loop,
            [&painted, &loop] {
                painted = true;
                loop.quit();
            },
            Qt::QueuedConnection);
    QTimer::singleShot(SPLASH_PAINT_TIMEOUT_MS, &loop, &QEventLoop::quit);
    g_splash->show();
    loop.exec();
    if (!painted)
        qWarning("Editor: the splash was not painted within %d ms; start-up goes on.", SPLASH_PAINT_TIMEOUT_MS);
}

void Presenter::closeSplash()
{
    EC_ASSERT(g_splash && "SplashWidget isn't initialized.");
    g_splash->finish(started_ || engine_ ? main_window_ : nullptr);
    g_splash->deleteLater();
    g_splash = nullptr;
}

bool Presenter::initEngine(int argc, char **argv)
{
    setSplashStatus(tr("Initializing Engine..."), QString());

    app_widget_ = new EngineAppWidget(argc, argv);
    app_widget_->setObjectName(QStringLiteral("EngineViewport"));

    EngineArguments arguments(argc, argv);
    if (engineStarter())
        engine_ = engineStarter()(Velmora::ENGINE_VERSION, app_widget_->app(), arguments.count(), arguments.data());
    else
        engine_ = Velmora::Engine::init(Velmora::ENGINE_VERSION, app_widget_->app(), arguments.count(),
                                        arguments.data(), nullptr, nullptr);
    if (!engine_)
        return false;

    editor_logic_ = new EditorLogic(application_);
    depr::g.editor = editor_logic_;
    engine_->setEditorLogic(editor_logic_);

    auto tracker = new Tracker(main_window_);
    depr::gui.tracker = tracker;

    ::Velmora::Editor::load("tamsel2/editor.usc");

    Velmora::Console::removeCommand("editor_quit");
    Velmora::Console::removeCommand("editor_load");
    Velmora::Console::removeCommand("editor_reload");
    // The editor's own "quit" asks first, as File > Quit does.
    Velmora::Console::removeCommand("quit");
    Velmora::Console::addCommand("quit", "quits the editor (asking first while its window is shown)",
                                 [this](int, const char *const *) { quitFromConsole(); });

    depr::gui.console = new ConsoleWidget(main_window_);

    Velmora::Console::setInt("show_visualizer", 1);
    Velmora::Console::setInt("visualizer_fix_flicker", 1);
    Velmora::Visualizer::setSize(96);
    Velmora::Visualizer::setTextureName("tamsel2/gui/nodes_icons_big.png");
    Velmora::World::setAutoReloadNodeReferences(true);
    return true;
}

void Presenter::reportEngineFailure()
{
    qCritical("Editor: the engine failed to start; the editor cannot run.");
    destroy(app_widget_);
    const QString title = tr("Editor");
    const QString text = tr("Engine failed to start");
    if (criticalMessageHook())
        criticalMessageHook()(main_window_, title, text);
    else
        QMessageBox::critical(main_window_, title, text);
}

void Presenter::initAssets(Velmora::Vector<Velmora::UGUID> &failed)
{
    depr::g.settings = new EditorSettings;

    setSplashStatus(tr("Initializing Materials..."), QString());
    mat_manager_ = new mat::Manager(editor_logic_, application_);
    depr::g.mat_manager = mat_manager_;

    setSplashStatus(tr("Initializing Properties..."), QString());
    prop_manager_ = new prop::Manager(editor_logic_, application_);
    depr::g.prop_manager = prop_manager_;

    setSplashStatus(tr("Initializing Assets..."), QString());
    asset_manager_ = depr::g.asset_manager;
    if (!asset_manager_) {
        qCritical("Editor: there is no asset manager; the project's assets are not loaded.");
        return;
    }

    as::ProgressFormatter formatter;
    QList<QMetaObject::Connection> connections;
    connections << connect(asset_manager_, &AssetManagerPrivate::progress, g_splash, [this, &formatter](int value) {
        formatter.setProgress(value);
        updateSplashProgress(formatter);
    });
    connections << connect(asset_manager_, &AssetManagerPrivate::pipeline_started, g_splash,
                           [this, &formatter](as::ActionType type, const QString &text) {
                               formatter.enqueue(type, text);
                               updateSplashProgress(formatter);
                           });
    connections << connect(asset_manager_, &AssetManagerPrivate::pipeline_ended, g_splash,
                           [this, &formatter](as::ActionType type, const QString &text) {
                               formatter.dequeue(type, text);
                               updateSplashProgress(formatter);
                           });
    connections << connect(asset_manager_, &AssetManagerPrivate::validateFailed, g_splash,
                           [&failed](const as::Asset &asset) {
                               if (int(asset.getType()) == COMPONENT_ASSET)
                                   failed.append(asset.getGUID());
                           });

    // The quit is queued so that an initialized emitted inside init() still
    // ends the loop; the bound keeps a manager that never reports from
    // holding the start-up for ever.
    QEventLoop loop;
    bool initialized = false;
    connections << connect(
            asset_manager_, &AssetManagerPrivate::initialized, &loop,
            [&initialized, &loop] {
                initialized = true;
                loop.quit();
            },
            Qt::QueuedConnection);
    QTimer::singleShot(ASSETS_TIMEOUT_MS, &loop, &QEventLoop::quit);
    asset_manager_->init();
    loop.exec();
    if (!initialized)
        qWarning("Editor: the asset manager did not finish loading within %d s; start-up goes on.",
                 ASSETS_TIMEOUT_MS / 1000);

    for (const QMetaObject::Connection &connection : qAsConst(connections))
        disconnect(connection);
}

void Presenter::updateSplashProgress(const as::ProgressFormatter &formatter)
{
    EC_ASSERT(g_splash && "SplashWidget isn't initialized.");
    g_splash->setDetail(assetProgressDetail(formatter.prettyMessage().second));
    g_splash->setStatus(assetProgressStatus(formatter.progress()));
}

void Presenter::initTools(Velmora::Vector<Velmora::UGUID> &failed)
{
    tbb::Queue *queue = tbb::Queue::instance();
    ReflectedType::init();

    depr::g.fs_watcher = new FileSystemWatcher;
    depr::g.fs_watcher->setObjectName(QStringLiteral("FileSystemWatcher"));
    depr::g.fs_watcher->init();

    depr::g.controls = new Controls(editor_logic_);
    depr::g.controls->init();

    depr::g.runtime_clipboard = new RuntimeClipboard;
    depr::g.creators = new Creators;
    depr::g.image_cache = new ImageCache;

    auto undo = new Undo(this);
    if (depr::g.undo)
        depr::g.undo->init();
    Q_UNUSED(undo)

    auto selection = new Selection(this);
    connect(editor_logic_, &EditorLogic::onWorldInit, selection, [] { Selection::clear(); });
    connect(editor_logic_, &EditorLogic::onWorldShutdown, selection, [] { Selection::clear(); });
    connect(editor_logic_, &EditorLogic::onNodeRemoved, selection, [this](int id) { onNodeRemoved(id); });

    depr::g.thumbnails = new Thumbnails;
    depr::g.thumbnails->init(editor_logic_, queue, 240, QStringLiteral("../.thumbnails/"));

    depr::gui.parameters_view_cache = new ParametersViewCache;
    depr::g.custom_ui_registry = new CustomUiRegistry;
    depr::g.runtime_model = new as::RuntimeModel;
    depr::g.runtime_model->init();

    depr::g.cs_manager = new cs::Manager(depr::g.asset_manager, depr::g.prop_manager);
    initComponents(depr::g.cs_manager, asset_manager_, failed);

    depr::g.world_controls = new WorldControls;
    depr::g.world_controls->init();
    depr::g.node_controls = new NodeControls;
    depr::g.node_controls->init();
    depr::g.render_controls = new RenderControls;
    depr::g.render_controls->init();
    depr::g.editor_controls = new EditorControls;
    depr::g.editor_controls->init();
    depr::g.splines_controls = new SplinesControls;
    depr::g.splines_controls->init();
    depr::g.node_reference_controls = new NodeReferenceControls;
    depr::g.mesh_cluster_controls = new ObjectMeshClusterControls;
    node_icon_provider_ = new NodeIconProvider;
    depr::g.frame_threads = new FrameThreadManager;

    video_grabber_state_ = new VideoGrabberState(main_window_);
    video_grabber_controller_ = new VideoGrabberController(video_grabber_state_);
    video_grabber_controller_->init();
    preview_grabber_ = new ProjectPreviewGrabber(this);

    if (asset_manager_)
        asset_manager_->addPrepareAction(new as::PrepareActionLandscape);
}

void Presenter::onNodeRemoved(int id)
{
    SelectorNodes *selector = Selection::getSelectorNodes();
    if (!selector)
        return;
    const Velmora::Ptr<Velmora::Node> node = Velmora::World::getNodeById(id);
    if (node)
        selector->exclude(node);
}

void Presenter::initComponents(cs::Manager *components, AssetManagerPrivate *assets,
                               const Velmora::Vector<Velmora::UGUID> &failed)
{
    if (!components->init())
        return;
    for (const Velmora::UGUID &guid : failed)
        components->componentChanged(guid);

    connect(
            components, &cs::Manager::notificationActivated, components,
            [] {
                if (depr::g.window_manager && depr::gui.console) {
                    depr::g.window_manager->show(depr::gui.console);
                    depr::gui.console->scrollToEnd();
                }
            },
            Qt::DirectConnection);

    if (!assets)
        return;
    connect(assets, &AssetManagerPrivate::added, components, [components, assets](const Velmora::UGUID &guid) {
        if (assets->assetType(guid) == COMPONENT_ASSET)
            components->componentAdded(guid, QDir::toNativeSeparators(assets->filePath(guid)));
    });
    connect(assets, &AssetManagerPrivate::aboutToBeRemoved, components,
            [components, assets](const Velmora::UGUID &guid) {
                if (assets->assetType(guid) == COMPONENT_ASSET)
                    components->componentRemoved(guid);
            });
    connect(assets, &AssetManagerPrivate::moved, components, [components, assets](const Velmora::UGUID &guid) {
        if (assets->assetType(guid) == COMPONENT_ASSET)
            components->componentMoved(guid, QDir::toNativeSeparators(assets->filePath(guid)));
    });
    connect(assets, &AssetManagerPrivate::changed, components, [components, assets](const Velmora::UGUID &guid) {
        if (assets->assetType(guid) == COMPONENT_ASSET)
            components->componentChanged(guid);
    });
    connect(assets, &AssetManagerPrivate::end, components, [components] { components->flush(); });
    connect(assets, &AssetManagerPrivate::dirRemoved, components,
            [components](const QFileInfo &info) { components->dirRemoved(info); });
    connect(assets, &AssetManagerPrivate::dirMoved, components,
            [components](const QString &from, const QString &to) { components->dirMoved(from, to); });
    connect(assets, &AssetManagerPrivate::added, components, [components, assets](const Velmora::UGUID &guid) {
        if (assets->assetType(guid) == PRESET_ASSET)
            components->presetAdded(guid, assets->filePath(guid));
    });
    connect(assets, &AssetManagerPrivate::aboutToBeRemoved, components,
            [components, assets](const Velmora::UGUID &guid) {
                if (assets->assetType(guid) == PRESET_ASSET)
                    components->presetRemoved(guid);
            });
    connect(assets, &AssetManagerPrivate::moved, components, [components, assets](const Velmora::UGUID &guid) {
        if (assets->assetType(guid) == PRESET_ASSET)
            components->presetMoved(guid, assets->filePath(guid));
    });
    connect(assets, &AssetManagerPrivate::changed, components, [components, assets](const Velmora::UGUID &guid) {
        if (assets->assetType(guid) == PRESET_ASSET)
            components->presetChanged(guid, assets->filePath(guid));
    });
}

void Presenter::initGUI()
{
    setUpMainWindow();
    connectMenuCommands(depr::g.window_manager);

    cs::Manager *components = depr::g.cs_manager;
    const bool components_active = components->active();
    createEditorPresenters(components_active);
    dockEditorWindows();
    createEngineViewport(components_active);
    createViewports();
    createMenuAndToolBar();
    connectAssetBrowserRequests(components);
    createToolWindows();
    createBuildTool(components, components_active);

    initTitleUpdates();
    main_window_->setQuitGuard([this] { return confirmQuit(); });
}

const std::vector<Presenter::ToolWindow> &Presenter::toolWindows()
{
    // In the order of creation; shut down in the reverse order.
    static const std::vector<ToolWindow> tools = {
            {true,
             [](Presenter &, QWidget *parent) -> QWidget * {
                 return depr::gui.settings_window = new SettingsWindow(parent);
             },
             [](Presenter &) { depr::gui.settings_window->init(depr::g.settings); },
             &WindowManagerPrivate::toggleSettings, &Presenter::toggleSettings,
             [](Presenter &) {
                 if (depr::gui.settings_window)
                     depr::gui.settings_window->shutdown(depr::g.settings);
                 undockAndDelete(depr::gui.settings_window);
             }},
            {true,
             [](Presenter &, QWidget *parent) -> QWidget * {
                 depr::gui.brush_window = new BrushWindow(parent);
                 depr::gui.brush_window->initGUI(depr::g.controls);
                 return depr::gui.brush_window;
             },
             nullptr, nullptr, nullptr,
             [](Presenter &) {
                 if (depr::gui.brush_window)
                     depr::gui.brush_window->shutdownGUI(depr::g.controls);
                 undockAndDelete(depr::gui.brush_window);
             }},
            {true,
             [](Presenter &, QWidget *parent) -> QWidget * {
                 depr::gui.impostor_grabber = new ImpostorGrabberWindow(parent);
                 depr::gui.impostor_grabber->restoreSettings(depr::g.settings);
                 return depr::gui.impostor_grabber;
             },
             nullptr, &WindowManagerPrivate::toggleImpostorGrabber, &Presenter::toggleImpostorGrabber,
             [](Presenter &) {
                 if (depr::gui.impostor_grabber)
                     depr::gui.impostor_grabber->saveSettings(depr::g.settings);
                 undockAndDelete(depr::gui.impostor_grabber);
             }},
            {true,
             [](Presenter &presenter, QWidget *parent) -> QWidget * {
                 return presenter.randomizer_ = new RandomizerWidget(parent);
             },
             nullptr, &WindowManagerPrivate::toggleRandomizer, &Presenter::toggleRandomizer,
             [](Presenter &presenter) { undockAndDelete(presenter.randomizer_); }},
            {true,
             [](Presenter &, QWidget *parent) -> QWidget * {
                 return depr::gui.light_baking = new LightBakingWidget(parent);
             },
             nullptr, &WindowManagerPrivate::toggleLightBaking, &Presenter::toggleLightBaking,
             [](Presenter &) { undockAndDelete(depr::gui.light_baking); }},
            {true,
             [](Presenter &, QWidget *parent) -> QWidget * {
                 return depr::gui.cleaner = new cleaner::CleanerWindow(parent);
             },
             nullptr, &WindowManagerPrivate::toggleCleaner, &Presenter::toggleCleaner,
             [](Presenter &) { undockAndDelete(depr::gui.cleaner); }},
            {false,
             [](Presenter &presenter, QWidget *parent) -> QWidget * {
                 return presenter.video_grabber_form_ = new VideoGrabberForm(presenter.video_grabber_state_, parent);
             },
             [](Presenter &presenter) { presenter.video_grabber_form_->setState(); },
             &WindowManagerPrivate::toggleVideoGrabber, &Presenter::toggleVideoGrabber,
             [](Presenter &presenter) { undockAndDelete(presenter.video_grabber_form_); }},
            {true,
             [](Presenter &presenter, QWidget *parent) -> QWidget * {
                 AssetManagerPrivate *assets = presenter.asset_manager_;
                 auto profiler = new tprof::Window(assets, parent);
                 presenter.texture_profiler_ = profiler;
                 if (assets) {
                     connect(assets, &AssetManagerPrivate::changed, profiler, &tprof::Window::assetChanged);
                     connect(assets, &AssetManagerPrivate::moved, profiler, &tprof::Window::assetChanged);
                     connect(assets, &AssetManagerPrivate::removed, profiler, &tprof::Window::assetRemoved);
                 }
                 profiler->restoreSettings(depr::g.settings);
                 return profiler;
             },
             nullptr, &WindowManagerPrivate::toggleTextureProfiler, &Presenter::toggleTextureProfiler,
             [](Presenter &presenter) {
                 if (presenter.texture_profiler_)
                     presenter.texture_profiler_->saveSettings(depr::g.settings);
                 undockAndDelete(presenter.texture_profiler_);
             }},
    };
    return tools;
}

void Presenter::setUpMainWindow()
{
    ConsoleWidget *console = depr::gui.console;
    console->loadHistory(depr::g.settings);
    depr::g.controls->addWidget(console);

    new WindowManager(this);
    main_window_->setTabPosition(Qt::AllDockWidgetAreas, QTabWidget::North);
    main_window_->setCentralWidget(depr::g.window_manager);
}

void Presenter::connectMenuCommands(WindowManagerPrivate *window_manager)
{
    using Command = void (WindowManagerPrivate::*)();
    using Slot = void (Presenter::*)();
    // The commands of the editor's own windows; the tool windows' come from
    // their table.
    static const std::pair<Command, Slot> commands[] = {
            {&WindowManagerPrivate::addParameters, &Presenter::addParameters},
            {&WindowManagerPrivate::toggleAssetBrowser, &Presenter::toggleAssetBrowser},
            {&WindowManagerPrivate::toggleNodes, &Presenter::toggleNodes},
            {&WindowManagerPrivate::toggleMaterials, &Presenter::toggleMaterials},
            {&WindowManagerPrivate::toggleProperties, &Presenter::toggleProperties},
            {&WindowManagerPrivate::toggleConsole, &Presenter::toggleConsole},
            {&WindowManagerPrivate::toggleAbout, &Presenter::toggleAbout},
            {&WindowManagerPrivate::toggleEngineViewport, &Presenter::toggleEngineViewport},
            {&WindowManagerPrivate::addEditorViewport, &Presenter::addEditorViewport},
            {&WindowManagerPrivate::showTracker, &Presenter::showTracker},
            {&WindowManagerPrivate::closeTracker, &Presenter::closeTracker},
            {&WindowManagerPrivate::toggleTracker, &Presenter::toggleTracker},
            {&WindowManagerPrivate::openHelp, &Presenter::openHelp},
            {&WindowManagerPrivate::resetWindowsLayout, &Presenter::resetWindowsLayout},
    };
    for (const auto &command : commands)
        connect(window_manager, command.first, this, command.second);
    for (const ToolWindow &tool : toolWindows()) {
        if (tool.command)
            connect(window_manager, tool.command, this, tool.show);
    }
}

void Presenter::createEditorPresenters(bool components_active)
{
    asset_presenter_ = new as::Presenter(asset_manager_, components_active, depr::g.thumbnails);
    asset_presenter_->initGUI(main_window_);
    if (depr::gui.asset_browser)
        browser_state_ = depr::gui.asset_browser->saveState();
    depr::g.asset_presenter = asset_presenter_;

    world_presenter_ = new world::Presenter;
    world_presenter_->initGUI(main_window_);
    depr::g.world_presenter = world_presenter_;
    mat_presenter_ = new mat::Presenter(mat_manager_);
    mat_presenter_->initGUI(main_window_);
    prop_presenter_ = new prop::Presenter(prop_manager_);
    prop_presenter_->initGUI(main_window_);
}

void Presenter::dockEditorWindows()
{
    WindowManager::activate(depr::gui.nodes_window);
    depr::g.inspector = new depr::InspectorPrivate;
    depr::g.inspector->init();

    ConsoleWidget *console = depr::gui.console;
    WindowManager::add(console, WindowManager::REFERENCE_TABIFY, WindowManager::getArea(depr::gui.asset_browser));
    console->setWindowTitle(tr("Console"));
    console->setObjectName(QStringLiteral("console_w"));
    WindowManager::activate(depr::gui.asset_browser);
}

void Presenter::createEngineViewport(bool components_active)
{
    // The component system draws on its own: the engine neither renders
    // nor shows its GUI, and there is no engine viewport.
    if (components_active) {
        Velmora::Render::setEnabled(0);
        if (Velmora::Gui *gui = Velmora::Gui::get())
            gui->setHidden(true);
        return;
    }
    engine_viewport_ = new EngineViewportWidget(app_widget_, main_window_);
    engine_viewport_->setObjectName(QStringLiteral("EngineViewport"));
    engine_viewport_->setWindowTitle(tr("Engine Viewport"));
    WindowManager::add(engine_viewport_, WindowManager::REFERENCE_SPLIT_HORIZONTAL,
                       WindowManager::getArea(depr::gui.nodes_window));
    WindowManager::resize(depr::gui.nodes_window, 200, 300);
    connect(WindowManager::instance(), &WindowManager::windowHidden, engine_viewport_,
            &EngineViewportWidget::handleHide);
    depr::gui.engine_viewport = engine_viewport_;
}

void Presenter::createViewports()
{
    Tracker *tracker = depr::gui.tracker;
    tracker->init();

    auto viewports = new ViewportManager(editor_logic_, this);
    depr::g.viewports = viewports;
    connect(viewports, &ViewportManager::lastHoveredChanged, depr::g.node_controls,
            [viewports] { depr::g.node_controls->setHoveredViewport(viewports->getLastHoveredViewportWindow()); });
    connect(viewports, &ViewportManager::lastHoveredChanged, tracker,
            [tracker, viewports] { tracker->setViewportPlayer(viewports->getLastHoveredViewportWindow()); });

    shader_watcher_ = new ShaderCompilationWatcher(this);
    shader_watcher_->watchViewports();
    viewports->init();

    depr::g.manipulators = new manipulators::EditorManipulators(main_window_);
    depr::g.manipulators->initComponent();
}

void Presenter::createMenuAndToolBar()
{
    auto menu = new MainMenu(main_window_);
    main_window_->setMenuBar(menu);
    auto tools = new EditorTools(main_window_);
    tools->setAvailableVideoAPIs(supportedVideoAPIs());
    tools->setMinimumHeight(33);
    main_window_->addToolBar(tools);
    depr::gui.main_menu = new MainMenuInterface(menu, menu);
}

void Presenter::connectAssetBrowserRequests(cs::Manager *components)
{
    connect(asset_presenter_, &as::Presenter::createMaterialRequest, mat_presenter_, &mat::Presenter::createMaterial);
    connect(asset_presenter_, &as::Presenter::createPropertyRequest, prop_presenter_, &prop::Presenter::createProperty);
    connect(asset_presenter_, &as::Presenter::createComponentRequest, components,
            [components](const QString &directory) { components->createComponent(directory, QString()); });
    connect(asset_presenter_, &as::Presenter::createUSCRequest, depr::g.world_controls, &WorldControls::createUSC);
    connect(asset_presenter_, &as::Presenter::createWorldRequest, depr::g.world_controls, &WorldControls::createWorld);
    connect(asset_presenter_, &as::Presenter::showDependents, this,
            [](const Velmora::Vector<Velmora::UGUID> &guids) { show_deps::showDependents(guids); });
    connect(asset_presenter_, &as::Presenter::showDependencies, this,
            [](const Velmora::Vector<Velmora::UGUID> &guids) { show_deps::showDependencies(guids); });
}

void Presenter::createToolWindows()
{
    depr::gui.about = new AboutWindow(main_window_);

    for (const ToolWindow &tool : toolWindows()) {
        // A window made inside its dock is added to the window manager next.
        QWidget *parent = tool.own_dock ? WindowManager::newDockParent(main_window_) : main_window_;
        QWidget *window = tool.make(*this, parent);
        WindowManager::add(window, WindowManager::AREA_TOOL);
        if (tool.docked)
            tool.docked(*this);
    }
}

void Presenter::createBuildTool(cs::Manager *components, bool components_active)
{
    build_presenter_ = new assembly::Presenter(this);
    build_presenter_->init(main_window_);
    connect(depr::g.window_manager, &WindowManagerPrivate::toggleAssembly, build_presenter_,
            &assembly::Presenter::showUI);
    if (components_active)
        connect(build_presenter_, &assembly::Presenter::buildFinished, components, &cs::Manager::setDirtyBuild);
}

void Presenter::initPlugins()
{
    const QString folder
            = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("editor_debug"));
    PluginManager::loadPluginSpecs({folder});
    PluginManager::loadPlugins();
    plugin_presenter_ = new PluginPresenter(main_window_);
    addPluginsEntry(main_window_->menuBar(), plugin_presenter_, this);
}

QAction *Presenter::addPluginsEntry(QMenuBar *menu_bar, PluginPresenter *plugins, QObject *owner)
{
    QMenu *help = MainMenu::findMenu(menu_bar, QString::fromLatin1(Constants::MM_HELP));
    if (!help) {
        // The file and line are part of the fixed text of this log line.
        base::printAssertMessage("menu", "lib/editor/presenter/Presenter", HELP_MENU_ASSERT_LINE);
        return nullptr;
    }
    auto action = new QAction(tr("Plugins"), owner);
    connect(action, &QAction::triggered, owner, [plugins] { plugins->showPluginsDialog(); });
    help->addAction(action);
    return action;
}

void Presenter::restoreLayout()
{
    EditorSettings *settings = depr::g.settings;
    const EditorSettings::WindowsSection windows = settings->windows();
    if (windows.geometry.exists())
        main_window_->restoreGeometry(windows.geometry.getBytes());
    else
        main_window_->restoreGeometry(workspace::getDefaultMainWindowGeometry());
    if (windows.layout.exists())
        depr::g.window_manager->restoreState(windows.layout.file->getVariant(windows.layout.key));
    else
        depr::g.window_manager->restoreState(workspace::getDefaultMainWindowLayout());

    // The Help window's pictures, decoded while the editor started, are
    // found in the pixmap cache when its style sheets load them.
    StartupImages::cacheFolder(QString::fromLatin1(StartupImages::HELP_PICTURES));
    help_window_ = new HelpWindow(main_window_);
    depr::gui.help = help_window_;
    help_window_->showOnStartupIfEnabled();

    depr::g.cs_manager->postInit();
}

void Presenter::initUpdateTimer()
{
    auto timer = new base::Timer;
    update_timer_ = timer;
    update_timer_->setCallback([this] { update(); });
    update_timer_->callEach(0);
    state_connection_
            = connect(qApp, &QGuiApplication::applicationStateChanged, this, &Presenter::onApplicationStateChanged);
}

void Presenter::onApplicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationActive && update_timer_ && !update_timer_->isActive())
        update_timer_->callEach(0);
}

void Presenter::update()
{
    if (UpdateLock::isUpdateLocked())
        return;
    if (QGuiApplication::applicationState() != Qt::ApplicationActive && !UpdateLock::isAlwaysUpdate()
        && !Velmora::BakeLighting::isBaking()) {
        update_timer_->cancel();
        return;
    }
    tick();
    engine_->update();
    engine_->render();
    engine_->swap();
}

void Presenter::tick()
{
    depr::gui.console->flushOutput();
    depr::g.fs_watcher->runMainThread();
    depr::g.frame_threads->update();
    depr::g.controls->update();
    depr::g.thumbnails->update();
}

void Presenter::stopUpdateTimer()
{
    disconnect(state_connection_);
    if (!update_timer_)
        return;
    update_timer_->cancel();
    destroy(update_timer_);
}

void Presenter::initTitleUpdates()
{
    connect(depr::g.world_controls, &WorldControls::dirtyStateChanged, main_window_, [this] { updateTitle(true); });
    connect(editor_logic_, &EditorLogic::onInit, main_window_, [this] { updateTitle(true); });
    connect(editor_logic_, &EditorLogic::onWorldInit, main_window_, [this] { updateTitle(true); });
    connect(editor_logic_, &EditorLogic::onWorldShutdown, main_window_, [this] { updateTitle(false); });
    if (asset_manager_) {
        AssetManagerPrivate *assets = asset_manager_;
        connect(assets, &AssetManagerPrivate::moved, main_window_, [this, assets](const Velmora::UGUID &guid) {
            if (int(assets->asset(guid).getType()) == WORLD_ASSET)
                updateTitle(true);
        });
    }
    updateTitle(false);
}

void Presenter::updateTitle(bool with_world)
{
    WindowTitleState state;
    state.with_world = with_world;
    state.world_loaded = Velmora::World::isLoaded();
    state.world_path = QString::fromUtf8(Velmora::World::getPath());
    state.world_dirty = depr::g.world_controls && depr::g.world_controls->isDirty();
    state.render_api = Velmora::Render::getAPI();
    state.version = base::BuildInformation::version();
    state.branch_tag = base::BuildInformation::branchTag();
    state.revision = base::BuildInformation::revision();
    main_window_->setWindowTitle(windowTitle(state));
}

bool Presenter::confirmQuit()
{
    QuitConfirmation::World world;
    world.has_unsaved_changes
            = [] { return depr::g.world_controls && depr::g.world_controls->isDirty() && Velmora::World::isLoaded(); };
    world.name = [] { return QString::fromUtf8(Velmora::World::getPath()); };
    world.save = [](QString *reason) {
        WorldControls *controls = depr::g.world_controls;
        const bool saved = controls && controls->saveWorld();
        if (!saved && controls)
            *reason = controls->lastSaveError();
        return saved;
    };
    QWidget *parent = main_window_;
    const auto ask = [parent](const QString &name) {
        QMessageBox box(QMessageBox::Warning, tr("Unsaved Changes"),
                        tr("The world \"%1\" has changes that are not saved.").arg(name),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
        box.setInformativeText(tr("Save them before quitting?"));
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
        case QMessageBox::Save:
            return QuitConfirmation::Answer::Save;
        case QMessageBox::Discard:
            return QuitConfirmation::Answer::Discard;
        default:
            return QuitConfirmation::Answer::Cancel;
        }
    };
    const auto tell_save_failed = [parent](const QString &name, const QString &reason) {
        QMessageBox::warning(parent, tr("Save World"),
                             tr("The world \"%1\" could not be saved, so the editor stays open: %2.")
                                     .arg(name, reason.isEmpty() ? tr("the console tells why") : reason));
    };
    QuitConfirmation confirmation(world, ask, tell_save_failed);
    confirmation.setJob(impostorJob(), [parent] {
        return QMessageBox::question(parent, tr("Impostors Creator"),
                                     tr("An impostor is being created; quitting now stops it.\n\n"
                                        "Cancel the impostor and quit?"),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                == QMessageBox::Yes;
    });
    if (assembly::Presenter *build = build_presenter_)
        confirmation.setSettings(
                {[build](QString *reason) { return build->storeOptions(reason); }}, [parent](const QString &reason) {
                    return QMessageBox::warning(parent, tr("Create Build"),
                                                tr("The build options could not be saved: %1.\n\n"
                                                   "Quit anyway? The changes to them are lost.")
                                                        .arg(reason),
                                                QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel)
                            == QMessageBox::Discard;
                });
    return confirmation.mayQuit();
}

void Presenter::addParameters()
{
    depr::g.inspector->add();
}

void Presenter::toggleAssetBrowser()
{
    WindowManager::show(depr::gui.asset_browser);
}

void Presenter::toggleSettings()
{
    WindowManager::show(depr::gui.settings_window);
}

void Presenter::toggleNodes()
{
    WindowManager::show(depr::gui.nodes_window);
}

void Presenter::toggleMaterials()
{
    WindowManager::show(depr::gui.materials_window);
}

void Presenter::toggleProperties()
{
    WindowManager::show(depr::gui.properties_window);
}

void Presenter::toggleConsole()
{
    WindowManager::show(depr::gui.console);
}

void Presenter::toggleImpostorGrabber()
{
    WindowManager::show(depr::gui.impostor_grabber);
}

void Presenter::toggleRandomizer()
{
    WindowManager::show(randomizer_);
}

void Presenter::toggleLightBaking()
{
    WindowManager::show(depr::gui.light_baking);
}

void Presenter::toggleAbout()
{
    AboutWindow *about = depr::gui.about;
    about->show();
    about->raise();
    about->activateWindow();
}

void Presenter::toggleEngineViewport()
{
    // Without an engine viewport (the component system is active) the
    // command has nothing to show.
    if (!depr::gui.engine_viewport) {
        base::printAssertMessage("depr::gui.engine_viewport", __FILE__, __LINE__);
        return;
    }
    depr::gui.engine_viewport->handleShow();
}

void Presenter::addEditorViewport()
{
    depr::g.viewports->showScene(QString());
}

void Presenter::showTracker()
{
    depr::gui.tracker->showTracker();
}

void Presenter::closeTracker()
{
    depr::gui.tracker->hideTracker();
}

void Presenter::toggleTracker()
{
    depr::gui.tracker->showTracker();
}

void Presenter::toggleCleaner()
{
    WindowManager::show(depr::gui.cleaner);
}

void Presenter::toggleVideoGrabber()
{
    WindowManager::show(video_grabber_form_);
}

void Presenter::toggleTextureProfiler()
{
    WindowManager::show(texture_profiler_);
}

void Presenter::openHelp()
{
    HelpWindow *help = depr::gui.help;
    help->show();
    help->raise();
    help->activateWindow();
}

void Presenter::resetWindowsLayout()
{
    utils::OverrideCursor cursor(Qt::WaitCursor);
    ViewportManager *viewports = depr::g.viewports;
    const QStringList scenes = viewports->getSceneNames();
    for (const QString &scene : scenes)
        viewports->closeScene(scene);
    viewports->showScene(QString());
    QMainWindow *main_window = depr::gui.main_window;
    const QByteArray geometry = workspace::getDefaultMainWindowGeometry();
    main_window->restoreGeometry(geometry);
    depr::g.window_manager->restoreState(workspace::getDefaultMainWindowLayout());
    // The tool windows of the old layout may have held the main window above
    // its default size (their docks set its minimum). Once the default layout
    // has hidden them, the minimum is recomputed and the default geometry
    // applies in full.
    main_window_->updateMinimumSize();
    main_window->restoreGeometry(geometry);
    depr::gui.asset_browser->restoreState(browser_state_);
}

} // namespace Editor
