#pragma once

#include <editor_core/as/Asset.h>

#include <QVector>

namespace Editor {
class AssetManagerPrivate;
}
namespace mat {
class Manager;
}
namespace prop {
class Manager;
}

namespace inas {

// The inputs of one dependency analysis: the editor's asset, material and
// property managers (not owned) and the assets whose files are read.
// Subclasses add what their combiner needs.
class CustomSettings
{
public:
    // The three managers must be set. An empty asset list is allowed (the
    // analysis then has nothing to do) but logs a soft assertion.
    CustomSettings(Editor::AssetManagerPrivate *as_manager, mat::Manager *materials, prop::Manager *properties,
                   QVector<as::Asset> assets);
    virtual ~CustomSettings();

    Editor::AssetManagerPrivate *getAssetManager() const { return as_manager_; }
    mat::Manager *getMaterials() const { return materials_; }
    prop::Manager *getProperties() const { return properties_; }
    const QVector<as::Asset> &getAssets() const { return assets_; }

private:
    Editor::AssetManagerPrivate *as_manager_;
    mat::Manager *materials_;
    prop::Manager *properties_;
    QVector<as::Asset> assets_;
};

} // namespace inas
