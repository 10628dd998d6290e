#include "editor/presenter/window_title.h"

namespace Editor {

namespace {
constexpr int API_OPENGL = 2;
constexpr int API_DX11 = 3;
} // namespace

QString windowTitle(const WindowTitleState &state)
{
    QString title;
    if (state.with_world && state.world_loaded) {
        title += state.world_path;
        if (state.world_dirty)
            title += QLatin1String(" *");
        title += QLatin1String(" - ");
    }
    title += QLatin1String("VelmoraEditor - ") + state.version;
    if (state.render_api == API_OPENGL)
        title += QLatin1String(" (OpenGL)");
    else if (state.render_api == API_DX11)
        title += QLatin1String(" (DX11)");
    title += QStringLiteral(" (%1 | %2)").arg(state.branch_tag, state.revision);
    return title;
}

} // namespace Editor
