#include "editor_core/as/AssetTypes.h"

#include <algorithm>

namespace as {

const char *const ASSET_EXTENSION = "meta";

namespace {

struct TypeInfo
{
    const char *name;
    const char *extensions; // blank-separated
};

// Indexed by type number.
const TypeInfo TYPES[AssetType::SIZE + 1] = {
        {"", ""},
        {"Node", "node"},
        {"Mesh", "mesh"},
        {"Animation", "anim"},
        {"Material", "mat"},
        {"Property", "prop"},
        {"Image", "png jpg jpeg tga dds psd exr"},
        {"Model", "model"},
        {"Layer", "layer"},
        {"Landscape Map", "lmap"},
        {"Font", "ttf otf"},
        {"Sound", "wav ogg"},
        {"Shader", "shader"},
        {"Track", "track"},
        {"Render Settings", "render"},
        {"Spline", "spline"},
        {"Curve", "curve"},
        {"Terrain", "ter"},
        {"World", "world"},
        {"Mask", "mask"},
        {"Script", "usc txt"},
        {"File", ""},
        {"C# Component", "cs"},
        {"Preset", "preset"},
        {"", ""},
};

} // namespace

QStringList getRegisteredExtensions(AssetType type)
{
    if (type <= AssetType::BEGIN || type >= AssetType::SIZE)
        return {};
    return QString::fromLatin1(TYPES[type].extensions).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList getRegisteredExtensions()
{
    QStringList result;
    for (int type = AssetType::BEGIN + 1; type < AssetType::SIZE; ++type)
        result += getRegisteredExtensions(AssetType(type));
    std::sort(result.begin(), result.end());
    return result;
}

AssetType typeByExtension(const QString &extension)
{
    const QString ext = extension.toLower();
    if (!ext.isEmpty()) {
        for (int type = AssetType::BEGIN + 1; type < AssetType::SIZE; ++type) {
            if (getRegisteredExtensions(AssetType(type)).contains(ext))
                return AssetType(type);
        }
    }
    return AssetType::AFILE;
}

QString typeToPrettyString(int type)
{
    if (type <= AssetType::BEGIN || type >= AssetType::SIZE)
        return QString();
    return QString::fromLatin1(TYPES[type].name);
}

} // namespace as
