#include "editor/assembly/core/impl/file_processing/editor_content_catalog.h"

#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>
#include <velmora/FileSystem.h>

namespace assembly {

EditorContentCatalog::EditorContentCatalog(Editor::AssetManagerPrivate *assets, mat::Manager *materials,
                                           prop::Manager *properties)
    : assets_(assets)
    , materials_(materials)
    , properties_(properties)
{
    EC_ASSERT(assets_ && materials_ && properties_);
}

QString EditorContentCatalog::rootPath() const
{
    return assets_->rootPath();
}

QVector<ContentCatalog::Asset> EditorContentCatalog::assets() const
{
    QVector<Asset> result;
    const Velmora::Vector<as::Asset> records = assets_->assets();
    result.reserve(records.size());
    for (const as::Asset &record : records) {
        Asset asset;
        asset.guid = record.getGUID();
        asset.type = static_cast<int>(record.getType());
        asset.excluded = record.isExcluded();
        for (const as::Runtime &runtime : record.getRuntimes())
            asset.runtimes.append(Runtime{runtime.getGUID(), runtime.isStored()});
        result.append(asset);
    }
    return result;
}

QString EditorContentCatalog::assetFilePath(const Velmora::UGUID &asset) const
{
    return assets_->filePath(asset);
}

bool EditorContentCatalog::isPackageFile(const Velmora::UGUID &guid) const
{
    return Velmora::FileSystem::isPackageFile(guid);
}

QString EditorContentCatalog::absolutePath(const Velmora::UGUID &guid) const
{
    return QString::fromUtf8(Velmora::FileSystem::getAbsolutePath(guid).get());
}

QString EditorContentCatalog::virtualPath(const Velmora::UGUID &guid) const
{
    return QString::fromUtf8(Velmora::FileSystem::getVirtualPath(guid).get());
}

bool EditorContentCatalog::isGUIDPath(const QString &path) const
{
    return Velmora::FileSystem::isGUIDPath(path.toUtf8().constData());
}

Velmora::UGUID EditorContentCatalog::materialFileGUID(const Velmora::UGUID &runtime) const
{
    const Velmora::Ptr<Velmora::Material> material = materials_->find(runtime);
    return material ? material->getFileGUID() : Velmora::UGUID();
}

Velmora::UGUID EditorContentCatalog::propertyFileGUID(const Velmora::UGUID &runtime) const
{
    const Velmora::Ptr<Velmora::Property> property = properties_->find(runtime);
    return property ? property->getFileGUID() : Velmora::UGUID();
}

} // namespace assembly
