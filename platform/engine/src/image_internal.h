#pragma once

#include "velmora/Image.h"

namespace Velmora {
namespace image_detail {

// Texel of any format as float RGBA (missing colour channels 0, alpha 1).
void readTexel(const unsigned char *p, int format, float out[4]);
// Float RGBA into a texel; byte formats clamp and round.
void writeTexel(unsigned char *p, int format, const float in[4]);
unsigned char toByte(float v);

// By extension; one log line on failure.
bool loadFile(Image &image, const char *path);
bool saveFile(const Image &image, const char *path);

} // namespace image_detail
} // namespace Velmora
