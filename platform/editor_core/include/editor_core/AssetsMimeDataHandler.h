#pragma once

#include "editor_core/as/Asset.h"

#include <velmora/UGUID.h>

#include <QVector>

class QMimeData;

// The editor's own drag-and-drop format for assets: MIME type
// "application/x-velmora-assets", the asset GUIDs as text, one per line.
class AssetsMimeDataHandler
{
public:
    // A view of one drag's assets by type (read through the registered
    // asset manager when it is made; the data is not kept).
    explicit AssetsMimeDataHandler(const QMimeData *data);
    bool hasAssets(int type) const;
    // The dragged assets of that type, in the drag's order.
    QVector<as::Asset> getAssets(int type) const;

    static const char *const MIME_TYPE;

    static bool supports(const QMimeData *data);
    // The GUIDs in the data, in order; text that is not a GUID is skipped.
    static QVector<Velmora::UGUID> guids(const QMimeData *data);
    // The records of the dragged assets through the registered asset
    // manager (depr::g.asset_manager); unknown GUIDs are skipped, and there
    // are none without an asset manager.
    static QVector<as::Asset> assets(const QMimeData *data);

    static void setGuids(QMimeData *data, const QVector<Velmora::UGUID> &guids);
    // New data carrying the GUIDs; the caller owns it.
    static QMimeData *createMimeData(const QVector<Velmora::UGUID> &guids);

private:
    QVector<as::Asset> assets_;
};
