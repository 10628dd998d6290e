#pragma once

#include <velmora/UGUID.h>

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QListWidget;
class QWidget;
class View;

// The list window that the materials and properties presenters share: a
// docked tool window listing an engine registry (name, GUID as tooltip and
// user data), kept in one depr::gui member.
namespace registry_list {

// Creates the window (object name, title), stores it in slot and docks it
// as a tool window; fill fills it when it is first shown (or refresh does,
// if it comes first). Returns null with a warning (naming owner)
// when window already holds one.
QListWidget *create(QPointer<QListWidget> &window, View *main_window, QWidget *&slot, const QString &object_name,
                    const QString &title, const char *owner, const std::function<void(QListWidget *)> &fill);

// Undocks and deletes the window, clearing slot when it still points to it.
void destroy(QPointer<QListWidget> &window, QWidget *&slot);

// Refills the window through fill, once the engine runs.
void refresh(QListWidget *window, const std::function<void(QListWidget *)> &fill);

// Appends one row per name, with the text of the GUID of the same position
// as its tooltip and Qt::UserRole data.
void addEntries(QListWidget *window, const QStringList &names, const std::vector<Velmora::UGUID> &guids);

} // namespace registry_list
