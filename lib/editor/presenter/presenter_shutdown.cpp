// The main presenter's shutdown: timer, plug-ins, windows (each saves its
// settings first), tools (the job queue first), assets, engine.

#include "core/base/build_information.h"
#include "editor/about/about_window.h"
#include "editor/assembly/build_presenter.h"
#include "editor/cleaner/ui/cleaner_window.h"
#include "editor/console/console_widget.h"
#include "editor/help/help_window.h"
#include "editor/interdependence/analysis_executor.h"
#include "editor/presenter/engine_arguments.h"
#include "editor/presenter/presenter.h"
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
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
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
#include <memory>
#include <velmora/BakeLighting.h>
#include <velmora/Console.h>
#include <velmora/Editor.h>
#include <velmora/Engine.h>
#include <velmora/Gui.h>
#include <velmora/Log.h>
#include <velmora/Render.h>
#include <velmora/Visualizer.h>
#include <velmora/World.h>

namespace Editor {

using namespace presenter_windows;

void Presenter::shutdown()
{
    if (shut_down_)
        return;
    shut_down_ = true;
    if (main_window_)
        main_window_->setQuitGuard(View::QuitGuard());
    stopUpdateTimer();
    destroy(plugin_presenter_);
    PluginManager::unloadPlugins();
    if (engine_) {
        shutdownGUI();
        shutdownTools();
        shutdownAssets();
        shutdownEngine();
    }
    destroy(app_widget_);
    depr::gui.main_window = nullptr;
    started_ = false;
}

QuitConfirmation::Job Presenter::impostorJob() const
{
    QuitConfirmation::Job job;
    job.running = [] { return depr::gui.impostor_grabber && depr::gui.impostor_grabber->isCreating(); };
    job.cancel = [] {
        if (depr::gui.impostor_grabber)
            depr::gui.impostor_grabber->cancelCreating();
    };
    return job;
}

void Presenter::quitFromConsole()
{
    // Without the main window there is no one to ask.
    if (shut_down_ || !main_window_ || !main_window_->isVisible()) {
        QCoreApplication::quit();
        return;
    }
    // The command runs inside the engine frame; the question waits until
    // the frame is over.
    View *view = main_window_;
    QTimer::singleShot(0, view, [this, view] {
        if (!shut_down_ && view->isVisible() && view->confirmQuit())
            QCoreApplication::quit();
    });
}

void Presenter::saveWindowLayout()
{
    // Start-up restores both from the windows section; keeping them here
    // makes the user's layout survive a restart.
    EditorSettings *settings = depr::g.settings;
    if (!settings || !depr::g.window_manager)
        return;
    const EditorSettings::WindowsSection windows = settings->windows();
    windows.geometry.file->set(windows.geometry.key, main_window_->saveGeometry());
    windows.layout.file->set(windows.layout.key, depr::g.window_manager->saveState());
}

void Presenter::shutdownGUI()
{
    saveWindowLayout();
    Selection::clear();

    if (build_presenter_)
        build_presenter_->saveOptions();
    destroy(build_presenter_);

    const std::vector<ToolWindow> &tools = toolWindows();
    for (auto tool = tools.rbegin(); tool != tools.rend(); ++tool)
        tool->close(*this);

    destroy(depr::gui.about);
    destroy(depr::gui.main_menu);
    destroy(shader_watcher_);

    if (depr::g.viewports)
        depr::g.viewports->shutdown();
    destroy(depr::g.viewports);

    if (depr::gui.tracker)
        depr::gui.tracker->shutdown();
    undockAndDelete(depr::gui.tracker);

    if (engine_viewport_) {
        WindowManager::remove(engine_viewport_);
        destroy(engine_viewport_);
        depr::gui.engine_viewport = nullptr;
    }

    if (depr::g.inspector)
        depr::g.inspector->shutdown();
    destroy(depr::g.inspector);

    destroy(prop_presenter_);
    destroy(mat_presenter_);
    if (world_presenter_)
        world_presenter_->shutdownGUI();
    destroy(world_presenter_);
    depr::g.world_presenter = nullptr;
    if (asset_presenter_)
        asset_presenter_->shutdownGUI();
    destroy(asset_presenter_);
    depr::g.asset_presenter = nullptr;

    if (ConsoleWidget *console = depr::gui.console) {
        if (depr::g.controls)
            depr::g.controls->removeWidget(console);
        console->saveHistory(depr::g.settings);
        WindowManager::remove(console);
        destroy(depr::gui.console);
    }

    // The Help window, the menu bar and the tool bar are children of the main
    // window and go with it; the registry must not point at them meanwhile.
    depr::gui.help = nullptr;
    help_window_ = nullptr;
    depr::gui.nodes_window = nullptr;
    depr::gui.materials_window = nullptr;
    depr::gui.properties_window = nullptr;
    depr::gui.asset_browser = nullptr;

    delete WindowManager::instance();
}

void Presenter::shutdownTools()
{
    tbb::Queue::instance()->shutdown();
    // The last dependency query's items may still be being freed.
    inas::Executor::waitForFreedMemory();

    if (depr::g.cs_manager)
        depr::g.cs_manager->shutdown();
    destroy(depr::g.cs_manager);
    if (depr::g.runtime_model)
        depr::g.runtime_model->shutdown();
    destroy(depr::g.runtime_model);

    destroy(prop_manager_);
    depr::g.prop_manager = nullptr;
    destroy(mat_manager_);
    depr::g.mat_manager = nullptr;

    destroy(depr::g.custom_ui_registry);
    destroy(depr::gui.parameters_view_cache);
    if (depr::g.thumbnails)
        depr::g.thumbnails->shutdown();
    destroy(depr::g.thumbnails);
    if (depr::g.manipulators)
        depr::g.manipulators->shutdownComponent();
    destroy(depr::g.manipulators);
    destroy(depr::g.node_reference_controls);
    destroy(depr::g.mesh_cluster_controls);
    if (depr::g.splines_controls)
        depr::g.splines_controls->shutdown();
    destroy(depr::g.splines_controls);
    if (depr::g.node_controls)
        depr::g.node_controls->shutdown();
    destroy(depr::g.node_controls);
    destroy(depr::g.render_controls);
    destroy(depr::g.editor_controls);
    destroy(depr::g.world_controls);

    delete Selection::instance();
    Undo::reset();

    destroy(depr::g.creators);
    destroy(depr::g.image_cache);
    if (depr::g.controls)
        depr::g.controls->shutdown();
    destroy(depr::g.controls);
    destroy(node_icon_provider_);

    if (video_grabber_controller_)
        video_grabber_controller_->shutdown();
    destroy(video_grabber_controller_);
    destroy(video_grabber_state_);

    if (depr::g.frame_threads)
        depr::g.frame_threads->shutdown();
    destroy(depr::g.frame_threads);
    if (depr::g.fs_watcher)
        depr::g.fs_watcher->shutdown();
    destroy(depr::g.fs_watcher);
    destroy(depr::g.runtime_clipboard);
    destroy(preview_grabber_);

    ReflectedType::shutdown();
    as::ItemIconFactory::shutdown();
}

void Presenter::shutdownAssets()
{
    if (asset_manager_)
        asset_manager_->shutdown();
    asset_manager_ = nullptr;
    depr::g.asset_manager = nullptr;
    destroy(depr::g.settings);
}

void Presenter::shutdownEngine()
{
    Velmora::Engine::shutdown();
    engine_ = nullptr;
    depr::g.editor = nullptr;
    destroy(editor_logic_);
    destroy(app_widget_);
}

} // namespace Editor
