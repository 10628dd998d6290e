#pragma once

#include <velmora/UGUID.h>

#include <QString>
#include <QVector>

namespace assembly {

// What the content source needs to know about the project's assets: the
// asset records with their exclusion and stored flags, the engine file
// system's paths and the file GUIDs of materials and properties. The editor's
// catalog reads the asset, material and property managers and the engine;
// tests give their own.
class ContentCatalog
{
public:
    struct Runtime
    {
        Velmora::UGUID guid;
        bool stored = false;
    };
    struct Asset
    {
        Velmora::UGUID guid;
        int type = 0;
        bool excluded = false;
        QVector<Runtime> runtimes;
    };

    // Asset type numbers the content source treats apart.
    static constexpr int TYPE_MATERIAL = 4;
    static constexpr int TYPE_PROPERTY = 5;
    static constexpr int TYPE_CS_COMPONENT = 22;

    virtual ~ContentCatalog() = default;

    // The data folder as the asset manager knows it.
    virtual QString rootPath() const = 0;
    virtual QVector<Asset> assets() const = 0;
    // Absolute path of an asset's file; "" when unknown.
    virtual QString assetFilePath(const Velmora::UGUID &asset) const = 0;
    virtual bool isPackageFile(const Velmora::UGUID &guid) const = 0;
    // Absolute path of the file behind a GUID; "" when unknown.
    virtual QString absolutePath(const Velmora::UGUID &guid) const = 0;
    // Data-relative path of the file behind a GUID.
    virtual QString virtualPath(const Velmora::UGUID &guid) const = 0;
    virtual bool isGUIDPath(const QString &path) const = 0;
    // File GUID of the material or property a runtime names; empty when
    // there is none.
    virtual Velmora::UGUID materialFileGUID(const Velmora::UGUID &runtime) const = 0;
    virtual Velmora::UGUID propertyFileGUID(const Velmora::UGUID &runtime) const = 0;
};

} // namespace assembly
