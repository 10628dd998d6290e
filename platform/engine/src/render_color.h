#pragma once

#include "velmora/Math.h"

#include <cstdint>

namespace Velmora {
namespace render_internal {

// The display encoding of the renderer's colours (gamma 2.2) and the 8-bit
// quantisation of its LDR output, shared by every output path so that an
// on-screen frame and an image of the same view hold the same bytes.

// Gamma-encoded value of a linear channel; negative values give 0.
float encodeGamma(float linear);

// Linear value of a gamma-encoded channel (texture colours); negative values
// give 0. Exact to a few units in the last place.
float decodeGamma(float encoded);

// The 8-bit value of a gamma-encoded channel: clamped to [0, 1] and rounded.
uint8_t quantise(float encoded);

// quantise(encodeGamma(linear)), without the power function: the same byte
// for every float, NaN included.
uint8_t quantiseLinear(float linear);

// One row of linear colours to 8-bit RGBA: quantiseLinear for red, green
// and blue, quantise for alpha.
void quantiseRow(const vec4 *colors, int count, unsigned char *rgba);

} // namespace render_internal
} // namespace Velmora
