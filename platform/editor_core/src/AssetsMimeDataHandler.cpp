#include "editor_core/AssetsMimeDataHandler.h"

#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"

#include <QMimeData>

const char *const AssetsMimeDataHandler::MIME_TYPE = "application/x-velmora-assets";

AssetsMimeDataHandler::AssetsMimeDataHandler(const QMimeData *data)
    : assets_(assets(data))
{}

bool AssetsMimeDataHandler::hasAssets(int type) const
{
    for (const as::Asset &asset : assets_) {
        if (int(asset.getType()) == type)
            return true;
    }
    return false;
}

QVector<as::Asset> AssetsMimeDataHandler::getAssets(int type) const
{
    QVector<as::Asset> result;
    for (const as::Asset &asset : assets_) {
        if (int(asset.getType()) == type)
            result.append(asset);
    }
    return result;
}

bool AssetsMimeDataHandler::supports(const QMimeData *data)
{
    return data && data->hasFormat(QLatin1String(MIME_TYPE));
}

QVector<Velmora::UGUID> AssetsMimeDataHandler::guids(const QMimeData *data)
{
    QVector<Velmora::UGUID> result;
    if (!supports(data))
        return result;
    const QList<QByteArray> lines = data->data(QLatin1String(MIME_TYPE)).split('\n');
    for (const QByteArray &line : lines) {
        Velmora::UGUID guid;
        guid.setString(line.trimmed().constData());
        if (guid.isValid())
            result.append(guid);
    }
    return result;
}

QVector<as::Asset> AssetsMimeDataHandler::assets(const QMimeData *data)
{
    QVector<as::Asset> result;
    Editor::AssetManagerPrivate *manager = depr::g.asset_manager;
    if (!manager)
        return result;
    const QVector<Velmora::UGUID> dragged = guids(data);
    for (const Velmora::UGUID &guid : dragged) {
        const as::Asset asset = manager->asset(guid);
        if (!asset.isNull())
            result.append(asset);
    }
    return result;
}

void AssetsMimeDataHandler::setGuids(QMimeData *data, const QVector<Velmora::UGUID> &guids)
{
    if (!data)
        return;
    QByteArray bytes;
    for (const Velmora::UGUID &guid : guids) {
        if (!bytes.isEmpty())
            bytes += '\n';
        bytes += guid.getString().get();
    }
    data->setData(QLatin1String(MIME_TYPE), bytes);
}

QMimeData *AssetsMimeDataHandler::createMimeData(const QVector<Velmora::UGUID> &guids)
{
    auto data = new QMimeData;
    setGuids(data, guids);
    return data;
}
