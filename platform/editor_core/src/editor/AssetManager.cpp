#include "editor_core/editor/AssetManager.h"

#include "editor_core/EditorCore.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"

namespace Editor {

AssetManager::AssetManager(QObject *parent)
    : QObject(parent)
{
    EditorCore::registerMetaTypes();
    d_ = new AssetManagerPrivate(this);
    depr::g.asset_manager = d_;
}

AssetManager::~AssetManager()
{
    if (depr::g.asset_manager == d_)
        depr::g.asset_manager = nullptr;
    d_->shutdown();
}

QString AssetManager::assetFilePath(const Velmora::UGUID &guid)
{
    return depr::g.asset_manager ? depr::g.asset_manager->filePath(guid) : QString();
}

} // namespace Editor
