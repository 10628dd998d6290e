#pragma once

#include "editor/assembly/core/impl/file_processing/content_catalog.h"

namespace Editor {
class AssetManagerPrivate;
}
namespace mat {
class Manager;
}
namespace prop {
class Manager;
}

namespace assembly {

// The running editor's content: the asset, material and property managers
// and the engine file system. The managers are not owned; all queries are
// safe from the build's worker thread.
class EditorContentCatalog : public ContentCatalog
{
public:
    EditorContentCatalog(Editor::AssetManagerPrivate *assets, mat::Manager *materials, prop::Manager *properties);

    QString rootPath() const override;
    QVector<Asset> assets() const override;
    QString assetFilePath(const Velmora::UGUID &asset) const override;
    bool isPackageFile(const Velmora::UGUID &guid) const override;
    QString absolutePath(const Velmora::UGUID &guid) const override;
    QString virtualPath(const Velmora::UGUID &guid) const override;
    bool isGUIDPath(const QString &path) const override;
    Velmora::UGUID materialFileGUID(const Velmora::UGUID &runtime) const override;
    Velmora::UGUID propertyFileGUID(const Velmora::UGUID &runtime) const override;

private:
    Editor::AssetManagerPrivate *assets_ = nullptr;
    mat::Manager *materials_ = nullptr;
    prop::Manager *properties_ = nullptr;
};

} // namespace assembly
