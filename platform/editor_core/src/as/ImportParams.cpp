#include "editor_core/as/ImportParams.h"

#include "editor_core/as/Asset.h"

#include <QVariantList>

namespace as {

const char *const ImportParams::MAPPERS_KEY = "mappers";

ImportParams::ImportParams(const QVariantMap &params)
    : params_(params)
{}

ImportParams::~ImportParams() = default;

QVariantMap ImportParams::fromAsset(const Asset &asset)
{
    QVariantMap params = asset.getImportParams();
    if (asset.getMappers().isEmpty())
        return params;
    QVariantList mappers;
    for (const auto &mapper : asset.getMappers()) {
        QVariantList files;
        for (const auto &file : mapper.second)
            files.append(QVariantMap{{QStringLiteral("key"), file.first}, {QStringLiteral("path"), file.second}});
        mappers.append(QVariantMap{{QStringLiteral("name"), mapper.first}, {QStringLiteral("files"), files}});
    }
    params.insert(QLatin1String(MAPPERS_KEY), mappers);
    return params;
}

void ImportParams::fromParams(const QVariantMap &params)
{
    params_ = params;
}

QVariantMap ImportParams::toParams() const
{
    return params_;
}

} // namespace as
