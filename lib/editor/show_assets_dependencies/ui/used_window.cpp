#include "editor/show_assets_dependencies/ui/used_window.h"

#include <utility>

namespace show_deps {

UsedWindow::UsedWindow(std::unique_ptr<UsedData> data, QWidget *parent)
    : ResultWindow(std::move(data), parent)
{
    setUp(tr("Assets Used"), QStringLiteral("AssetsUsed"), {"lib/editor/show_assets_dependencies/ui/UsedWindow", 47});
}

UsedWindow::~UsedWindow() = default;

void UsedWindow::assetChanged(const Velmora::UGUID &asset_guid)
{
    assetChangedIn(asset_guid);
}

void UsedWindow::assetRemoved(const Velmora::UGUID &asset_guid)
{
    assetRemovedIn(asset_guid);
}

Editor::Selector *UsedWindow::selectorFor(const QModelIndexList &indexes)
{
    return selectAssets(indexes);
}

} // namespace show_deps
