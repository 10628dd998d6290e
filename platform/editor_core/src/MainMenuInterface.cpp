#include "editor_core/MainMenuInterface.h"

#include "editor_core/MainMenu.h"

#include <velmora/Log.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

MainMenuInterface::MainMenuInterface(QMenuBar *menu_bar, QObject *parent)
    : QObject(parent)
    , menu_bar_(menu_bar)
{}

MainMenuInterface::~MainMenuInterface() = default;

QMenuBar *MainMenuInterface::menuBar() const
{
    return menu_bar_;
}

QMenu *MainMenuInterface::findMenu(const QString &id) const
{
    return MainMenu::findMenu(menu_bar_, id);
}

bool MainMenuInterface::addAction(const QString &menu_id, QAction *action)
{
    QMenu *menu = findMenu(menu_id);
    if (!menu || !action) {
        Velmora::Log::warning("MainMenuInterface: there is no menu \"%s\"\n", menu_id.toUtf8().constData());
        return false;
    }
    menu->addAction(action);
    return true;
}
