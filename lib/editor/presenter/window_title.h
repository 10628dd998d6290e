#pragma once

#include <QString>

namespace Editor {

// What the main window's title is made of.
struct WindowTitleState
{
    bool with_world = false;
    bool world_loaded = false;
    QString world_path;
    bool world_dirty = false;
    int render_api = 0;
    QString version;
    QString branch_tag;
    QString revision;
};

// "<world path>[ *] - " when a world is shown, then "VelmoraEditor - <version>",
// the rendering API (" (OpenGL)" for 2, " (DX11)" for 3) and
// " (<branch tag> | <revision>)".
QString windowTitle(const WindowTitleState &state);

} // namespace Editor
