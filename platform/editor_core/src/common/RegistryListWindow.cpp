#include "RegistryListWindow.h"

#include "editor_core/View.h"
#include "editor_core/editor/WindowManager.h"

#include <velmora/Engine.h>
#include <velmora/Log.h>

#include <QListWidget>

namespace registry_list {

QListWidget *create(QPointer<QListWidget> &window, View *main_window, QWidget *&slot, const QString &object_name,
                    const QString &title, const char *owner, const std::function<void(QListWidget *)> &fill)
{
    if (window) {
        Velmora::Log::warning("%s: the %s window exists already\n", owner, qPrintable(title.toLower()));
        return nullptr;
    }
    auto *list = new QListWidget(Editor::WindowManager::newDockParent(main_window));
    list->setObjectName(object_name);
    list->setWindowTitle(title);
    list->setUniformItemSizes(true);
    window = list;
    slot = list;
    refresh(list, fill);
    if (Editor::WindowManager::instance())
        Editor::WindowManager::add(list, Editor::WindowManager::AREA_TOOL);
    return list;
}

void destroy(QPointer<QListWidget> &window, QWidget *&slot)
{
    if (!window)
        return;
    if (Editor::WindowManager::contains(window))
        Editor::WindowManager::remove(window);
    if (slot == window)
        slot = nullptr;
    delete window;
}

void refresh(QListWidget *window, const std::function<void(QListWidget *)> &fill)
{
    if (!window)
        return;
    window->clear();
    if (Velmora::Engine::get())
        fill(window);
}

void addEntry(QListWidget *window, const char *name, const Velmora::UGUID &guid)
{
    // Made whole before it joins the list: the list then tells its view of
    // one new row, not of every value set.
    auto *item = new QListWidgetItem(QString::fromUtf8(name));
    const QString text = QString::fromUtf8(guid.getString().get());
    item->setToolTip(text);
    item->setData(Qt::UserRole, text);
    window->addItem(item);
}

} // namespace registry_list
