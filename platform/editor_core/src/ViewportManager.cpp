#include "editor_core/ViewportManager.h"

#include "editor_core/EngineViewportWidget.h"
#include "editor_core/View.h"
#include "editor_core/ViewportWindowScene.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/WindowManager.h"

#include <velmora/Log.h>

#include <QMainWindow>

ViewportManager::ViewportManager(EditorLogic *logic, QObject *parent)
    : QObject(parent)
    , logic_(logic)
{
    // lastHoveredChanged may travel queued.
    qRegisterMetaType<ViewportWindow *>();
}

ViewportManager::~ViewportManager()
{
    shutdown();
}

void ViewportManager::init()
{
    if (scenes_.isEmpty())
        showScene(QString());
}

void ViewportManager::shutdown()
{
    const QStringList names = getSceneNames();
    for (const QString &name : names)
        closeScene(name);
    scenes_.clear();
}

QString ViewportManager::showScene(const QString &name)
{
    if (!name.isEmpty()) {
        if (ViewportWindowScene *scene = getScene(name)) {
            Editor::WindowManager::show(scene);
            return name;
        }
    }
    QString id = name;
    if (id.isEmpty()) {
        int number = 1;
        while (getScene(tr("Scene %1").arg(number)))
            ++number;
        id = tr("Scene %1").arg(number);
    }

    // The last open scene (or the engine viewport, else the nodes window)
    // is the neighbour the new scene is docked beside.
    QWidget *neighbour = nullptr;
    for (const QPointer<ViewportWindowScene> &scene : qAsConst(scenes_))
        if (scene && Editor::WindowManager::contains(scene))
            neighbour = scene;
    if (!neighbour && Editor::WindowManager::contains(depr::gui.engine_viewport))
        neighbour = depr::gui.engine_viewport;
    if (!neighbour && Editor::WindowManager::contains(depr::gui.nodes_window))
        neighbour = depr::gui.nodes_window;

    auto *scene = new ViewportWindowScene(id, depr::gui.main_window);
    connect(scene, &ViewportWindow::hovered, this, [this, scene]() { setLastHovered(scene); });
    scenes_.append(scene);

    if (Editor::WindowManager::instance()) {
        if (neighbour)
            Editor::WindowManager::add(scene, Editor::WindowManager::REFERENCE_SPLIT_HORIZONTAL,
                                       Editor::WindowManager::getArea(neighbour));
        else
            Editor::WindowManager::add(scene, Editor::WindowManager::AREA_RIGHT);
        Editor::WindowManager::show(scene);
    }
    emit viewportCreated(id);
    return id;
}

bool ViewportManager::closeScene(const QString &name)
{
    for (int i = 0; i < scenes_.size(); ++i) {
        ViewportWindowScene *scene = scenes_[i];
        if (!scene || scene->getId() != name)
            continue;
        scenes_.removeAt(i);
        if (Editor::WindowManager::contains(scene))
            Editor::WindowManager::remove(scene);
        const bool was_hovered = last_hovered_ == scene;
        if (input_active_ == scene)
            input_active_ = nullptr;
        delete scene;
        emit viewportClosed(name);
        if (was_hovered)
            setLastHovered(nullptr);
        return true;
    }
    Velmora::Log::warning("ViewportManager: there is no viewport \"%s\"\n", name.toUtf8().constData());
    return false;
}

QStringList ViewportManager::getSceneNames() const
{
    QStringList names;
    for (const QPointer<ViewportWindowScene> &scene : scenes_)
        if (scene)
            names.append(scene->getId());
    return names;
}

ViewportWindowScene *ViewportManager::getScene(const QString &id) const
{
    for (const QPointer<ViewportWindowScene> &scene : scenes_)
        if (scene && scene->getId() == id)
            return scene;
    return nullptr;
}

ViewportWindow *ViewportManager::getLastHoveredViewportWindow() const
{
    return last_hovered_;
}

ViewportWindow *ViewportManager::getCurrentViewportWindow() const
{
    if (last_hovered_)
        return last_hovered_;
    for (const QPointer<ViewportWindowScene> &scene : scenes_)
        if (scene)
            return scene;
    return nullptr;
}

void ViewportManager::enableRectangle(bool enable)
{
    rectangle_enabled_ = enable;
}

bool ViewportManager::isRectangleEnabled() const
{
    return rectangle_enabled_;
}

void ViewportManager::setInputActive(ViewportWindow *viewport)
{
    input_active_ = viewport;
}

ViewportWindow *ViewportManager::getInputActive() const
{
    return input_active_;
}

EditorLogic *ViewportManager::editorLogic() const
{
    return logic_;
}

void ViewportManager::setLastHovered(ViewportWindow *viewport)
{
    if (last_hovered_ == viewport && viewport)
        return;
    last_hovered_ = viewport;
    emit lastHoveredChanged(viewport);
}
