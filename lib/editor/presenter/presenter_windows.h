// What the main presenter's files share: its table of tool windows and
// the deleting of the objects it made.
#pragma once

#include "editor/presenter/presenter.h"

#include <editor_core/editor/WindowManager.h>

class QWidget;

namespace Editor {
namespace presenter_windows {

template<typename T>
void destroy(T *&object)
{
    delete object;
    object = nullptr;
}

// Removes a docked window from the window manager and deletes it.
template<typename T>
void undockAndDelete(T *&window)
{
    if (!window)
        return;
    WindowManager::remove(window);
    destroy(window);
}

} // namespace presenter_windows

// One docked tool window of the table the presenter walks to make, open and
// close them (see Presenter::toolWindows).
struct Presenter::ToolWindow
{
    // Made inside a dock of its own (WindowManager::newDockParent), or
    // directly under the main window.
    bool own_dock;
    // Makes the window under parent, keeps it, and prepares it for docking.
    QWidget *(*make)(Presenter &presenter, QWidget *parent);
    // What the window needs once it is docked; may be null.
    void (*docked)(Presenter &presenter);
    // The menu command that shows the window and the slot that serves it;
    // null for a window that the menu does not open.
    void (WindowManagerPrivate::*command)();
    void (Presenter::*show)();
    // Saves what the window keeps, takes it out of the window manager,
    // deletes it and forgets it.
    void (*close)(Presenter &presenter);
};

} // namespace Editor
