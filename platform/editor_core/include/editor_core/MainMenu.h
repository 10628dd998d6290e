#pragma once

#include <QMenuBar>
#include <QPointer>

class QAction;
class QMenu;

namespace Editor {
class UndoPrivate;
}

// The main window's menu bar. Menus carry the object names of Constants;
// every window or tool command emits its signal of the window manager's
// private (depr::g.window_manager, looked up when the command runs).
//   MM_FILE:   Save World, Quit
//   MM_EDIT:   Undo (Ctrl+Z), Redo (Ctrl+Y, Ctrl+Shift+Z), on the undo
//              store (depr::g.undo), each enabled while the store can
//              take that step
//   MM_WINDOW: Asset Browser, Nodes, Materials, Properties, Parameters,
//              Console, Settings, Engine Viewport, Add Scene Viewport,
//              Reset Layout
//   MM_TOOLS:  Create Build, Cleaner, Impostors Creator, Randomizer,
//              Light Baking, Tracker, Video Grabber, Texture Profiler
//   MM_HELP:   Help, About
class MainMenu : public QMenuBar
{
    Q_OBJECT

public:
    explicit MainMenu(QWidget *parent = nullptr);
    ~MainMenu() override;

    // The menu with that object name, null when there is none.
    QMenu *findMenu(const QString &id) const;
    // Finds the menu of a menu bar (any QMenuBar, for callers that hold the
    // main window's bar as a plain QMenuBar).
    static QMenu *findMenu(const QMenuBar *bar, const QString &id);
    // The action with that text in the menu with that object name.
    QAction *findAction(const QString &menu_id, const QString &text) const;

private:
    // Follows the registry's undo store (it may be made or replaced after
    // the menu) and enables Undo and Redo as it allows.
    void followUndoStore();
    void updateUndoActions();

    QAction *undo_ = nullptr;
    QAction *redo_ = nullptr;
    QPointer<Editor::UndoPrivate> undo_store_;
    QMetaObject::Connection undo_connection_;
};
