#pragma once

#include <array>

// The editor's registries: two plain structs of non-owning pointers that the
// editor shell fills during start-up and clears at shutdown. A member is null
// until the shell sets it. Only Editor::AssetManager (asset_manager),
// Editor::WindowManager (window_manager) and Editor::Undo (undo) write a
// member themselves.

class QWidget;

class AboutWindow;
class BrushWindow;
class ConsoleWidget;
class Controls;
class Creators;
class CustomUiRegistry;
class EditorControls;
class EditorLogic;
class EditorSettings;
class EngineViewportWidget;
class FileSystemWatcher;
class FrameThreadManager;
class HelpWindow;
class ImageCache;
class ImpostorGrabberWindow;
class LightBakingWidget;
class MainMenuInterface;
class NodeControls;
class NodeReferenceControls;
class ObjectMeshClusterControls;
class ParametersViewCache;
class RenderControls;
class RuntimeClipboard;
class SettingsWindow;
class SplinesControls;
class Thumbnails;
class Tracker;
class View;
class ViewportManager;
class WorldControls;

namespace Editor {
class AssetManagerPrivate;
class UndoPrivate;
class WindowManagerPrivate;
} // namespace Editor

namespace as {
class Browser;
class Presenter;
class RuntimeModel;
} // namespace as

namespace cleaner {
class CleanerWindow;
}

namespace cs {
class Manager;
}

namespace depr {
class InspectorPrivate;
}

namespace manipulators {
class EditorManipulators;
}

namespace mat {
class Manager;
}

namespace prop {
class Manager;
}

namespace world {
class Presenter;
}

namespace depr {

struct EditorGlobals
{
    ImageCache *image_cache = nullptr; // 0
    EditorLogic *editor = nullptr; // 1
    mat::Manager *mat_manager = nullptr; // 2
    prop::Manager *prop_manager = nullptr; // 3
    cs::Manager *cs_manager = nullptr; // 4
    FrameThreadManager *frame_threads = nullptr; // 5
    Controls *controls = nullptr; // 6
    RuntimeClipboard *runtime_clipboard = nullptr; // 7
    NodeControls *node_controls = nullptr; // 8
    WorldControls *world_controls = nullptr; // 9
    RenderControls *render_controls = nullptr; // 10
    EditorControls *editor_controls = nullptr; // 11
    SplinesControls *splines_controls = nullptr; // 12
    NodeReferenceControls *node_reference_controls = nullptr; // 13
    ObjectMeshClusterControls *mesh_cluster_controls = nullptr; // 14
    Editor::UndoPrivate *undo = nullptr; // 15
    Creators *creators = nullptr; // 16
    manipulators::EditorManipulators *manipulators = nullptr; // 17
    Thumbnails *thumbnails = nullptr; // 18
    Editor::AssetManagerPrivate *asset_manager = nullptr; // 19
    as::Presenter *asset_presenter = nullptr; // 20
    as::RuntimeModel *runtime_model = nullptr; // 21
    CustomUiRegistry *custom_ui_registry = nullptr; // 22
    FileSystemWatcher *fs_watcher = nullptr; // 23
    ViewportManager *viewports = nullptr; // 24
    EditorSettings *settings = nullptr; // 25
    Editor::WindowManagerPrivate *window_manager = nullptr; // 26
    depr::InspectorPrivate *inspector = nullptr; // 27
    void *reserved28 = nullptr; // 28, unused
    world::Presenter *world_presenter = nullptr; // 29
};

struct EditorGui
{
    ParametersViewCache *parameters_view_cache = nullptr; // 0
    MainMenuInterface *main_menu = nullptr; // 1
    SettingsWindow *settings_window = nullptr; // 2
    View *main_window = nullptr; // 3
    QWidget *nodes_window = nullptr; // 4
    QWidget *materials_window = nullptr; // 5
    QWidget *properties_window = nullptr; // 6
    as::Browser *asset_browser = nullptr; // 7
    ConsoleWidget *console = nullptr; // 8
    ImpostorGrabberWindow *impostor_grabber = nullptr; // 9
    Tracker *tracker = nullptr; // 10
    LightBakingWidget *light_baking = nullptr; // 11
    AboutWindow *about = nullptr; // 12
    HelpWindow *help = nullptr; // 13
    cleaner::CleanerWindow *cleaner = nullptr; // 14
    BrushWindow *brush_window = nullptr; // 15
    EngineViewportWidget *engine_viewport = nullptr; // 16
};

constexpr int EDITOR_GLOBALS_COUNT = 30;
constexpr int EDITOR_GUI_COUNT = 17;

extern EditorGlobals g;
extern EditorGui gui;

// The members as untyped pointers in table order, and their names (tests
// check which are set without naming each one).
std::array<const void *, EDITOR_GLOBALS_COUNT> globalsPointers(const EditorGlobals &registry);
std::array<const void *, EDITOR_GUI_COUNT> guiPointers(const EditorGui &registry);
const char *globalsName(int index);
const char *guiName(int index);

// Resets every member to null (tests).
void clearGlobals();
void clearGui();

} // namespace depr
