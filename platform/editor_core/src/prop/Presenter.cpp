#include "editor_core/prop/Presenter.h"

#include "editor_core/View.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/WindowManager.h"
#include "editor_core/prop/Manager.h"

#include <velmora/Engine.h>
#include <velmora/Log.h>
#include <velmora/Properties.h>

#include <QEvent>
#include <QListWidget>

namespace prop {

Presenter::Presenter(Manager *manager, QObject *parent) : QObject(parent), manager_(manager) {}

Presenter::~Presenter()
{
    if (window_)
        shutdownGUI();
}

void Presenter::initGUI(View *main_window)
{
    if (window_) {
        Velmora::Log::warning("prop::Presenter: the properties window exists already\n");
        return;
    }
    auto *list = new QListWidget(main_window);
    list->setObjectName(QStringLiteral("PropertiesWindow"));
    list->setWindowTitle(tr("Properties"));
    list->setUniformItemSizes(true);
    window_ = list;
    depr::gui.properties_window = list;
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
    if (depr::gui.properties_window == window_)
        depr::gui.properties_window = nullptr;
    delete window_;
}

QListWidget *Presenter::propertiesWindow() const
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
    const int count = Velmora::Properties::getNumProperties();
    for (int i = 0; i < count; ++i) {
        const Velmora::Ptr<Velmora::Property> property = Velmora::Properties::getProperty(i);
        if (!property)
            continue;
        auto *item = new QListWidgetItem(QString::fromUtf8(property->getName()), window_);
        const QString guid = QString::fromUtf8(property->getGUID().getString().get());
        item->setToolTip(guid);
        item->setData(Qt::UserRole, guid);
    }
}

void Presenter::createProperty()
{
    Velmora::Log::message("Creating properties is not available in this editor\n");
}

} // namespace prop
