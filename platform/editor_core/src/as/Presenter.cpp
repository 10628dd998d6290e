#include "editor_core/as/Presenter.h"

#include "editor_core/View.h"
#include "editor_core/as/Browser.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"
#include "editor_core/editor/Selection.h"
#include "editor_core/editor/WindowManager.h"

#include <velmora/Log.h>

namespace as {

Presenter::Presenter(Editor::AssetManagerPrivate *asset_manager, bool components_active, Thumbnails *thumbnails,
                     QObject *parent)
    : QObject(parent)
    , asset_manager_(asset_manager)
    , components_active_(components_active)
    , thumbnails_(thumbnails)
{}

Presenter::~Presenter()
{
    if (browser_)
        shutdownGUI();
}

void Presenter::initGUI(View *main_window)
{
    if (browser_) {
        Velmora::Log::warning("as::Presenter: the asset browser exists already\n");
        return;
    }
    if (!asset_manager_)
        Velmora::Log::warning("as::Presenter: no asset manager; the asset browser stays empty\n");
    browser_ = new Browser(asset_manager_, components_active_, Editor::WindowManager::newDockParent(main_window));
    depr::gui.asset_browser = browser_;

    connect(browser_, &Browser::createMaterialRequest, this, &Presenter::createMaterialRequest);
    connect(browser_, &Browser::createPropertyRequest, this, &Presenter::createPropertyRequest);
    connect(browser_, &Browser::createComponentRequest, this, &Presenter::createComponentRequest);
    connect(browser_, &Browser::createUSCRequest, this, &Presenter::createUSCRequest);
    connect(browser_, &Browser::createWorldRequest, this, &Presenter::createWorldRequest);
    connect(browser_, &Browser::showDependents, this, &Presenter::showDependents);
    connect(browser_, &Browser::showDependencies, this, &Presenter::showDependencies);
    // The editor's selection of assets shows in the browser.
    if (Editor::Selection *selection = Editor::Selection::instance())
        connect(selection, &Editor::Selection::changed, browser_, [this]() { showSelection(); });

    if (Editor::WindowManager::instance())
        Editor::WindowManager::add(browser_, Editor::WindowManager::AREA_BOTTOM);
}

void Presenter::shutdownGUI()
{
    if (!browser_)
        return;
    if (Editor::WindowManager::contains(browser_))
        Editor::WindowManager::remove(browser_);
    if (depr::gui.asset_browser == browser_)
        depr::gui.asset_browser = nullptr;
    delete browser_;
}

Browser *Presenter::browser() const
{
    return browser_;
}

void Presenter::showSelection()
{
    const Editor::SelectorGUIDs *selector = Editor::Selection::getSelectorGUIDs();
    if (!browser_ || !selector)
        return;
    Velmora::Vector<Velmora::UGUID> assets;
    for (const Velmora::UGUID &guid : selector->getGUIDs()) {
        const Velmora::UGUID visible = convertToVisible(guid);
        if (visible.isValid() && !assets.contains(visible))
            assets.append(visible);
    }
    browser_->selectAssets(assets);
}

Velmora::UGUID Presenter::convertToVisible(const Velmora::UGUID &guid)
{
    Editor::AssetManagerPrivate *manager = depr::g.asset_manager;
    if (!manager || guid.isEmpty())
        return Velmora::UGUID();
    if (manager->hasAsset(guid))
        return guid;
    const as::Asset asset = manager->assetByRuntimeGUID(guid);
    return asset.isNull() ? Velmora::UGUID() : asset.getGUID();
}

} // namespace as
