#include "editor_core/as/TextureImportParams.h"

#include "editor_core/AssetType.h"
#include "editor_core/as/AssetTypes.h"

#include <QFileInfo>

namespace as {

const char *const TextureImportParams::MIPMAP_TYPE_KEY = "mipmap_type";
const char *const TextureImportParams::IMAGE_FORMAT_KEY = "image_format";

TextureImportParams::TextureImportParams()
{
    setMipmapType(DEFAULT_MIPMAP_TYPE);
    setImageFormat(DEFAULT_IMAGE_FORMAT);
}

TextureImportParams TextureImportParams::createByFilename(const QString &path)
{
    TextureImportParams params;
    params.valid_ = typeByExtension(QFileInfo(path).suffix()) == AssetType::IMAGE;
    return params;
}

int TextureImportParams::getMipmapType() const
{
    return value(QLatin1String(MIPMAP_TYPE_KEY), DEFAULT_MIPMAP_TYPE).toInt();
}

void TextureImportParams::setMipmapType(int type)
{
    setValue(QLatin1String(MIPMAP_TYPE_KEY), type);
}

int TextureImportParams::getImageFormat() const
{
    return value(QLatin1String(IMAGE_FORMAT_KEY), DEFAULT_IMAGE_FORMAT).toInt();
}

void TextureImportParams::setImageFormat(int format)
{
    setValue(QLatin1String(IMAGE_FORMAT_KEY), format);
}

} // namespace as
