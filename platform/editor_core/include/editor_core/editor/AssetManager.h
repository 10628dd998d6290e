#pragma once

#include <velmora/UGUID.h>

#include <QObject>
#include <QString>

namespace Editor {

class AssetManagerPrivate;

// Owner of the asset manager, made by the application. Its constructor
// registers the library's meta-types, creates the AssetManagerPrivate and
// sets depr::g.asset_manager; its destructor clears that member again (when
// it still points to this manager's object).
class AssetManager : public QObject
{
    Q_OBJECT

public:
    explicit AssetManager(QObject *parent = nullptr);
    ~AssetManager() override;

    AssetManagerPrivate *get() const { return d_; }

    // Absolute file path of an asset (or stored runtime) through the
    // registered asset manager; "" when none is registered or the GUID is
    // unknown.
    static QString assetFilePath(const Velmora::UGUID &guid);

private:
    AssetManagerPrivate *d_ = nullptr;
};

} // namespace Editor
