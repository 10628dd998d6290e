#include "editor_core/editor/WindowManagerPrivate.h"

#include "editor_core/editor/WindowManager.h"

#include <velmora/Log.h>

namespace Editor {

WindowManagerPrivate::WindowManagerPrivate(WindowManager *manager, QWidget *parent)
    : QWidget(parent), manager_(manager)
{
    // An empty central area: the windows live in docks around it.
    setMinimumSize(1, 1);
}

WindowManagerPrivate::~WindowManagerPrivate() = default;

void WindowManagerPrivate::show(QWidget *widget)
{
    WindowManager::show(widget);
}

QVariant WindowManagerPrivate::saveState() const
{
    if (!manager_) {
        Velmora::Log::error("WindowManagerPrivate::saveState: the window manager is gone\n");
        return QVariant();
    }
    return manager_->saveState();
}

void WindowManagerPrivate::restoreState(const QVariant &state)
{
    if (!manager_) {
        Velmora::Log::error("WindowManagerPrivate::restoreState: the window manager is gone\n");
        return;
    }
    manager_->restoreState(state);
}

WindowManager *WindowManagerPrivate::manager() const
{
    return manager_;
}

} // namespace Editor
