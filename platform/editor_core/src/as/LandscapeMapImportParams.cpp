#include "editor_core/as/LandscapeMapImportParams.h"

#include <velmora/Log.h>

#include <QVariantList>

namespace as {

void LandscapeMapImportParams::fromParams(const QVariantMap &params)
{
    ImportParams::fromParams(params);
    mappers_.clear();
    const QVariant list = params.value(QLatin1String(MAPPERS_KEY));
    if (!list.isValid())
        return;
    if (list.type() != QVariant::List) {
        Velmora::Log::warning("LandscapeMapImportParams: the mapper entry is not a list; no mappers are read\n");
        return;
    }
    const QVariantList mappers = list.toList();
    for (int i = 0; i < mappers.size(); ++i) {
        if (mappers[i].type() != QVariant::Map) {
            Velmora::Log::warning("LandscapeMapImportParams: mapper %d is not a map; it is skipped\n", i);
            continue;
        }
        const QVariantMap mapper = mappers[i].toMap();
        const QVariant files = mapper.value(QStringLiteral("files"));
        if (files.isValid() && files.type() != QVariant::List) {
            Velmora::Log::warning("LandscapeMapImportParams: mapper \"%s\" has no file list; it is skipped\n",
                                  qUtf8Printable(mapper.value(QStringLiteral("name")).toString()));
            continue;
        }
        terrain::TilesetMapper result(mapper.value(QStringLiteral("name")).toString(), {});
        for (const QVariant &file : files.toList()) {
            const QVariantMap entry = file.toMap();
            result.addFile(entry.value(QStringLiteral("key")).toString(),
                           entry.value(QStringLiteral("path")).toString());
        }
        mappers_.append(result);
    }
}

QVariantMap LandscapeMapImportParams::toParams() const
{
    QVariantMap params = ImportParams::toParams();
    params.remove(QLatin1String(MAPPERS_KEY));
    if (mappers_.isEmpty())
        return params;
    QVariantList mappers;
    for (const terrain::TilesetMapper &mapper : mappers_) {
        QVariantList files;
        for (const auto &file : mapper.getFileMap())
            files.append(QVariantMap{{QStringLiteral("key"), file.first}, {QStringLiteral("path"), file.second}});
        mappers.append(QVariantMap{{QStringLiteral("name"), mapper.getName()}, {QStringLiteral("files"), files}});
    }
    params.insert(QLatin1String(MAPPERS_KEY), mappers);
    return params;
}

} // namespace as
