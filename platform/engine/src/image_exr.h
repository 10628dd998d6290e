#pragma once

#include "velmora/Image.h"

namespace Velmora {
namespace image_detail {

// OpenEXR half RGB(A); false with one log line on failure.
bool saveExr(const Image &image, const char *path);
bool loadExr(Image &image, const char *path);

} // namespace image_detail
} // namespace Velmora
