#include "editor_core/prop/Presenter.h"

#include "../common/RegistryListWindow.h"

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

namespace {

void fillProperties(QListWidget *window)
{
    const int count = Velmora::Properties::getNumProperties();
    QStringList names;
    std::vector<Velmora::UGUID> guids;
    names.reserve(count);
    guids.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        if (const Velmora::Ptr<Velmora::Property> property = Velmora::Properties::getProperty(i)) {
            names.append(QString::fromUtf8(property->getName()));
            guids.push_back(property->getGUID());
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
    registry_list::create(window_, main_window, depr::gui.properties_window, QStringLiteral("PropertiesWindow"),
                          tr("Properties"), "prop::Presenter", fillProperties);
}

void Presenter::shutdownGUI()
{
    registry_list::destroy(window_, depr::gui.properties_window);
}

QListWidget *Presenter::propertiesWindow() const
{
    return window_;
}

void Presenter::refresh()
{
    registry_list::refresh(window_, fillProperties);
}

void Presenter::createProperty()
{
    Velmora::Log::message("Creating properties is not available in this editor\n");
}

} // namespace prop
