#pragma once

#include <QVariant>
#include <QVariantMap>

namespace as {

class Asset;

// The import parameters of an asset as one collection (a QVariantMap): the
// named values of the meta file's <param> elements, and for landscape maps
// the tileset mappers under the key MAPPERS_KEY. The typed subclasses
// (TextureImportParams, LandscapeMapImportParams) read and write their own
// entries of the same collection, so a collection passes unchanged between
// them, the asset record and the asset manager's imports.
class ImportParams
{
public:
    // Key of the mapper list: a QVariantList of QVariantMap {"name": text,
    // "files": QVariantList of QVariantMap {"key": text, "path": text}}.
    static const char *const MAPPERS_KEY;

    ImportParams() = default;
    explicit ImportParams(const QVariantMap &params);
    virtual ~ImportParams();

    // The collection of an asset record: its parameters and its mappers.
    static QVariantMap fromAsset(const Asset &asset);

    // Replaces the collection.
    virtual void fromParams(const QVariantMap &params);
    // The whole collection, including entries a subclass does not know.
    virtual QVariantMap toParams() const;

    bool contains(const QString &name) const { return params_.contains(name); }
    QVariant value(const QString &name, const QVariant &def = QVariant()) const { return params_.value(name, def); }
    void setValue(const QString &name, const QVariant &value) { params_.insert(name, value); }

protected:
    QVariantMap params_;
};

} // namespace as
