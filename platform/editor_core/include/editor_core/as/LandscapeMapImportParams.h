#pragma once

#include "editor_core/as/ImportParams.h"
#include "editor_core/terrain/TilesetMapper.h"

#include <QList>

namespace as {

// Import parameters of a landscape map: the tileset mappers, each with an
// ordered file map (key -> data-relative tile path).
class LandscapeMapImportParams : public ImportParams
{
public:
    LandscapeMapImportParams() = default;

    // Reads the collection; malformed mapper entries (not a map, no file
    // list) are skipped with one warning each.
    void fromParams(const QVariantMap &params) override;
    QVariantMap toParams() const override;

    // In collection order.
    const QList<terrain::TilesetMapper> &getMappers() const { return mappers_; }
    void setMappers(const QList<terrain::TilesetMapper> &mappers) { mappers_ = mappers; }

private:
    QList<terrain::TilesetMapper> mappers_;
};

} // namespace as
