#include "editor_core/mat/Presenter.h"

#include "../common/RegistryListWindow.h"

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

namespace {

void fillMaterials(QListWidget *window)
{
    const int count = Velmora::Materials::getNumMaterials();
    QStringList names;
    std::vector<Velmora::UGUID> guids;
    names.reserve(count);
    guids.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        if (const Velmora::Ptr<Velmora::Material> material = Velmora::Materials::getMaterial(i)) {
            names.append(QString::fromUtf8(material->getName()));
            guids.push_back(material->getGUID());
        }
    }
    registry_list::addEntries(window, names, guids);
}

} // namespace

Presenter::Presenter(Manager *manager, QObject *parent)
    : QObject(parent)
    , manager_(manager)
{}

Presenter::~Presenter()
{
    if (window_)
        shutdownGUI();
}

void Presenter::initGUI(View *main_window)
{
    registry_list::create(window_, main_window, depr::gui.materials_window, QStringLiteral("MaterialsWindow"),
                          tr("Materials"), "mat::Presenter", fillMaterials);
}

void Presenter::shutdownGUI()
{
    registry_list::destroy(window_, depr::gui.materials_window);
}

QListWidget *Presenter::materialsWindow() const
{
    return window_;
}

void Presenter::refresh()
{
    registry_list::refresh(window_, fillMaterials);
}

void Presenter::createMaterial()
{
    Velmora::Log::message("Creating materials is not available in this editor\n");
}

} // namespace mat
