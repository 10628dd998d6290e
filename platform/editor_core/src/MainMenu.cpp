#include "editor_core/MainMenu.h"

#include "editor_core/Constants.h"
#include "editor_core/View.h"
#include "editor_core/WorldControls.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/Undo.h"
#include "editor_core/editor/WindowManagerPrivate.h"

#include <velmora/Log.h>
#include <velmora/World.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMessageBox>

namespace {

using Signal = void (Editor::WindowManagerPrivate::*)();

struct Command
{
    const char *text;
    Signal signal;
};

// Emits a window command on the current window manager; the registry is
// read when the command runs, so the menu may be built before it.
void emitCommand(Signal signal, const char *text)
{
    Editor::WindowManagerPrivate *wm = depr::g.window_manager;
    if (!wm) {
        Velmora::Log::warning("MainMenu: \"%s\" needs a window manager\n", text);
        return;
    }
    emit(wm->*signal)();
}

void addCommands(QMenu *menu, std::initializer_list<Command> commands)
{
    for (const Command &command : commands) {
        QAction *action = menu->addAction(QCoreApplication::translate("MainMenu", command.text));
        const Signal signal = command.signal;
        const char *text = command.text;
        QObject::connect(action, &QAction::triggered, menu, [signal, text]() { emitCommand(signal, text); });
    }
}

} // namespace

MainMenu::MainMenu(QWidget *parent)
    : QMenuBar(parent)
{
    using WM = Editor::WindowManagerPrivate;
    setObjectName(QStringLiteral("MainMenu"));

    QMenu *file = addMenu(tr("&File"));
    file->setObjectName(QString::fromLatin1(Constants::MM_FILE));
    QAction *save = file->addAction(tr("Save World"));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, [this]() {
        WorldControls *controls = depr::g.world_controls;
        if (!controls) {
            Velmora::Log::warning("MainMenu: \"Save World\" needs the world controls\n");
            return;
        }
        // Without a world there is nothing to save (one log line). A save
        // that did not reach the disk is told where it was asked for.
        if (controls->saveWorld() || !Velmora::World::isLoaded())
            return;
        QMessageBox::warning(window(), tr("Save World"),
                             tr("The world \"%1\" could not be saved: %2.")
                                     .arg(QString::fromUtf8(Velmora::World::getPath()), controls->lastSaveError()));
    });
    file->addSeparator();
    QAction *quit = file->addAction(tr("Quit"));
    // Ctrl+Q on every platform (the standard binding is empty on some).
    quit->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Q));
    connect(quit, &QAction::triggered, this, [this]() {
        // The main window may ask first (unsaved changes).
        auto view = qobject_cast<View *>(window());
        if (view && !view->confirmQuit())
            return;
        QCoreApplication::quit();
    });

    QMenu *edit = addMenu(tr("&Edit"));
    edit->setObjectName(QString::fromLatin1(Constants::MM_EDIT));
    undo_ = edit->addAction(tr("Undo"));
    undo_->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Z));
    connect(undo_, &QAction::triggered, this, []() { Editor::Undo::undo(); });
    redo_ = edit->addAction(tr("Redo"));
    redo_->setShortcuts({QKeySequence(Qt::CTRL + Qt::Key_Y), QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z)});
    connect(redo_, &QAction::triggered, this, []() { Editor::Undo::redo(); });
    connect(edit, &QMenu::aboutToShow, this, [this]() { followUndoStore(); });
    followUndoStore();

    QMenu *window = addMenu(tr("&Window"));
    window->setObjectName(QString::fromLatin1(Constants::MM_WINDOW));
    addCommands(window,
                {
                        {"Asset Browser", &WM::toggleAssetBrowser},
                        {"Nodes", &WM::toggleNodes},
                        {"Materials", &WM::toggleMaterials},
                        {"Properties", &WM::toggleProperties},
                        {"Parameters", &WM::addParameters},
                        {"Console", &WM::toggleConsole},
                        {"Settings", &WM::toggleSettings},
                        {"Engine Viewport", &WM::toggleEngineViewport},
                });
    window->addSeparator();
    addCommands(window,
                {
                        {"Add Scene Viewport", &WM::addEditorViewport},
                        {"Reset Layout", &WM::resetWindowsLayout},
                });

    QMenu *tools = addMenu(tr("&Tools"));
    tools->setObjectName(QString::fromLatin1(Constants::MM_TOOLS));
    addCommands(tools,
                {
                        {"Create Build", &WM::toggleAssembly},
                        {"Cleaner", &WM::toggleCleaner},
                        {"Impostors Creator", &WM::toggleImpostorGrabber},
                        {"Randomizer", &WM::toggleRandomizer},
                        {"Light Baking", &WM::toggleLightBaking},
                        {"Tracker", &WM::toggleTracker},
                        {"Video Grabber", &WM::toggleVideoGrabber},
                        {"Texture Profiler", &WM::toggleTextureProfiler},
                });

    QMenu *help = addMenu(tr("&Help"));
    help->setObjectName(QString::fromLatin1(Constants::MM_HELP));
    addCommands(help,
                {
                        {"Help", &WM::openHelp},
                        {"About", &WM::toggleAbout},
                });
}

MainMenu::~MainMenu() = default;

QMenu *MainMenu::findMenu(const QString &id) const
{
    return findMenu(this, id);
}

QMenu *MainMenu::findMenu(const QMenuBar *bar, const QString &id)
{
    if (!bar || id.isEmpty())
        return nullptr;
    const QList<QAction *> actions = bar->actions();
    for (QAction *action : actions) {
        QMenu *menu = action->menu();
        if (menu && menu->objectName() == id)
            return menu;
    }
    return nullptr;
}

void MainMenu::followUndoStore()
{
    Editor::UndoPrivate *store = depr::g.undo;
    if (store != undo_store_) {
        disconnect(undo_connection_);
        undo_store_ = store;
        if (store)
            undo_connection_ = connect(store, &Editor::UndoPrivate::changed, this, [this]() { updateUndoActions(); });
    }
    updateUndoActions();
}

void MainMenu::updateUndoActions()
{
    const Editor::UndoPrivate *store = undo_store_;
    const bool open = store && store->isGroupOpen();
    undo_->setEnabled(store && !open && store->count() > 0);
    redo_->setEnabled(store && !open && store->redoCount() > 0);
}

QAction *MainMenu::findAction(const QString &menu_id, const QString &text) const
{
    QMenu *menu = findMenu(menu_id);
    if (!menu)
        return nullptr;
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions)
        if (!action->isSeparator() && action->text() == text)
            return action;
    return nullptr;
}
