#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QMenuBar;

// Thin access to the main menu for tools (registry member
// depr::gui.main_menu).
class MainMenuInterface : public QObject
{
    Q_OBJECT

public:
    MainMenuInterface(QMenuBar *menu_bar, QObject *parent = nullptr);
    ~MainMenuInterface() override;

    QMenuBar *menuBar() const;
    QMenu *findMenu(const QString &id) const;
    // Appends action to the menu with that object name; false when there is
    // no such menu.
    bool addAction(const QString &menu_id, QAction *action);

private:
    QPointer<QMenuBar> menu_bar_;
};
