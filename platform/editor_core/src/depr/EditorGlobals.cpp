#include "editor_core/depr/EditorGlobals.h"

namespace depr {

EditorGlobals g;
EditorGui gui;

namespace {

const char *const GLOBALS_NAMES[EDITOR_GLOBALS_COUNT] = {
        "image_cache",
        "editor",
        "mat_manager",
        "prop_manager",
        "cs_manager",
        "frame_threads",
        "controls",
        "runtime_clipboard",
        "node_controls",
        "world_controls",
        "render_controls",
        "editor_controls",
        "splines_controls",
        "node_reference_controls",
        "mesh_cluster_controls",
        "undo",
        "creators",
        "manipulators",
        "thumbnails",
        "asset_manager",
        "asset_presenter",
        "runtime_model",
        "custom_ui_registry",
        "fs_watcher",
        "viewports",
        "settings",
        "window_manager",
        "inspector",
        "reserved28",
        "world_presenter",
};

const char *const GUI_NAMES[EDITOR_GUI_COUNT] = {
        "parameters_view_cache",
        "main_menu",
        "settings_window",
        "main_window",
        "nodes_window",
        "materials_window",
        "properties_window",
        "asset_browser",
        "console",
        "impostor_grabber",
        "tracker",
        "light_baking",
        "about",
        "help",
        "cleaner",
        "brush_window",
        "engine_viewport",
};

} // namespace

std::array<const void *, EDITOR_GLOBALS_COUNT> globalsPointers(const EditorGlobals &r)
{
    return {{r.image_cache,
             r.editor,
             r.mat_manager,
             r.prop_manager,
             r.cs_manager,
             r.frame_threads,
             r.controls,
             r.runtime_clipboard,
             r.node_controls,
             r.world_controls,
             r.render_controls,
             r.editor_controls,
             r.splines_controls,
             r.node_reference_controls,
             r.mesh_cluster_controls,
             r.undo,
             r.creators,
             r.manipulators,
             r.thumbnails,
             r.asset_manager,
             r.asset_presenter,
             r.runtime_model,
             r.custom_ui_registry,
             r.fs_watcher,
             r.viewports,
             r.settings,
             r.window_manager,
             r.inspector,
             r.reserved28,
             r.world_presenter}};
}

std::array<const void *, EDITOR_GUI_COUNT> guiPointers(const EditorGui &r)
{
    return {{r.parameters_view_cache, r.main_menu, r.settings_window, r.main_window, r.nodes_window, r.materials_window,
             r.properties_window, r.asset_browser, r.console, r.impostor_grabber, r.tracker, r.light_baking, r.about,
             r.help, r.cleaner, r.brush_window, r.engine_viewport}};
}

const char *globalsName(int index)
{
    return index >= 0 && index < EDITOR_GLOBALS_COUNT ? GLOBALS_NAMES[index] : "";
}

const char *guiName(int index)
{
    return index >= 0 && index < EDITOR_GUI_COUNT ? GUI_NAMES[index] : "";
}

void clearGlobals()
{
    g = EditorGlobals();
}

void clearGui()
{
    gui = EditorGui();
}

} // namespace depr
