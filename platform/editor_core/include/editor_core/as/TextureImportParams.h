#pragma once

#include "editor_core/as/ImportParams.h"

#include <QString>

namespace as {

// Import parameters of an image asset: the mipmap type ("mipmap_type") and
// the image format to import to ("image_format"), both integers.
class TextureImportParams : public ImportParams
{
public:
    static const char *const MIPMAP_TYPE_KEY;
    static const char *const IMAGE_FORMAT_KEY;
    static constexpr int DEFAULT_MIPMAP_TYPE = 1;
    // -1: keep the format of the source file.
    static constexpr int DEFAULT_IMAGE_FORMAT = -1;

    // The defaults.
    TextureImportParams();

    // Defaults for a file: valid only for an image file (type 6 by its
    // extension); any other name gives parameters whose isValid() is false.
    static TextureImportParams createByFilename(const QString &path);

    bool isValid() const { return valid_; }

    int getMipmapType() const;
    void setMipmapType(int type);
    int getImageFormat() const;
    void setImageFormat(int format);

private:
    bool valid_ = true;
};

} // namespace as
