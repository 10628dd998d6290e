#include "editor_core/editor/WindowManagerPrivate.h"

#include "editor_core/editor/WindowManager.h"

#include <velmora/Log.h>

namespace Editor {

WindowManagerPrivate::WindowManagerPrivate(WindowManager *manager, QWidget *parent)
    : QWidget(parent)
    , manager_(manager)
{
    // The windows live in docks; the central area stays hidden so that the
    // dock areas (the engine viewport first of all) share the whole window.
    setMinimumSize(1, 1);
    QWidget::hide();
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
