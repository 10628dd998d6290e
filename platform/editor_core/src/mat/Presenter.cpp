#include "editor_core/mat/Presenter.h"

#include "editor_core/View.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/WindowManager.h"
#include "editor_core/mat/Manager.h"

#include <velmora/Engine.h>
#include <velmora/Log.h>
#include <velmora/Materials.h>

#include <QEvent>
#include <QListWidget>

namespace mat {

Presenter::Presenter(Manager *manager, QObject *parent) : QObject(parent), manager_(manager) {}

Presenter::~Presenter()
{
    if (window_)
        shutdownGUI();
}

void Presenter::initGUI(View *main_window)
{
    if (window_) {
        Velmora::Log::warning("mat::Presenter: the materials window exists already\n");
        return;
    }
    auto *list = new QListWidget(main_window);
    list->setObjectName(QStringLiteral("MaterialsWindow"));
    list->setWindowTitle(tr("Materials"));
    list->setUniformItemSizes(true);
    window_ = list;
    depr::gui.materials_window = list;
    refresh();
    if (Editor::WindowManager::instance())
        Editor::WindowManager::add(list, Editor::WindowManager::AREA_TOOL);
}

void Presenter::shutdownGUI()
{
    if (!window_)
        return;
    if (Editor::WindowManager::contains(window_))
        Editor::WindowManager::remove(window_);
    if (depr::gui.materials_window == window_)
        depr::gui.materials_window = nullptr;
    delete window_;
}

QListWidget *Presenter::materialsWindow() const
{
    return window_;
}

void Presenter::refresh()
{
    if (!window_)
        return;
    window_->clear();
    if (!Velmora::Engine::get())
        return;
    const int count = Velmora::Materials::getNumMaterials();
    for (int i = 0; i < count; ++i) {
        const Velmora::Ptr<Velmora::Material> material = Velmora::Materials::getMaterial(i);
        if (!material)
            continue;
        auto *item = new QListWidgetItem(QString::fromUtf8(material->getName()), window_);
        const QString guid = QString::fromUtf8(material->getGUID().getString().get());
        item->setToolTip(guid);
        item->setData(Qt::UserRole, guid);
    }
}

void Presenter::createMaterial()
{
    Velmora::Log::message("Creating materials is not available in this editor\n");
}

} // namespace mat
