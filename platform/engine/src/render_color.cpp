#include "render_color.h"

#include "velmora/Math.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Velmora {
namespace render_internal {

namespace {

constexpr float GAMMA = 2.2f;

// x^2.2 on [0, 1] in this many linear pieces; the curve bends so little
// over one piece that the error stays below 1e-7.
constexpr int DECODE_PIECES = 4096;

struct DecodeTable
{
    float value[DECODE_PIECES + 2];

    DecodeTable()
    {
        for (int i = 0; i <= DECODE_PIECES; ++i)
            value[i] = std::pow(float(i) / float(DECODE_PIECES), GAMMA);
        value[DECODE_PIECES + 1] = value[DECODE_PIECES];
    }
};

float bitsToFloat(uint32_t bits)
{
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// For each byte k > 0 the smallest linear value whose encoded, quantised
// value is at least k; found once by bisection over the float bit patterns
// of the non-negative floats, whose order is the order of their values.
// Then, for each run of floats below 1 that share their top 16 bits, the
// byte of the run's first float: no run holds more than one threshold (the
// encoding's steps are wider than a run), so one comparison finishes.
struct QuantiseTable
{
    static constexpr uint32_t RUNS = 0x3F80; // the runs of the floats in [0, 1)

    float threshold[257];
    uint8_t first[RUNS];

    QuantiseTable()
    {
        threshold[0] = 0.0f;
        for (int k = 1; k < 256; ++k) {
            uint32_t low = 0; // quantise(encodeGamma(low)) < k
            uint32_t high = 0x7F800000u; // +infinity gives 255
            while (high - low > 1) {
                const uint32_t middle = low + (high - low) / 2;
                if (quantise(encodeGamma(bitsToFloat(middle))) >= k)
                    high = middle;
                else
                    low = middle;
            }
            threshold[k] = bitsToFloat(high);
        }
        threshold[256] = bitsToFloat(0x7F800000u);
        int k = 0;
        for (uint32_t run = 0; run < RUNS; ++run) {
            const float start = bitsToFloat(run << 16);
            while (k < 255 && threshold[k + 1] <= start)
                ++k;
            first[run] = uint8_t(k);
        }
    }
};
} // namespace

float encodeGamma(float linear)
{
    return std::pow(std::max(0.0f, linear), 1.0f / GAMMA);
}

float decodeGamma(float encoded)
{
    static const DecodeTable table;
    if (!(encoded > 0.0f))
        return 0.0f;
    if (encoded > 1.0f)
        return std::pow(encoded, GAMMA);
    const float position = encoded * float(DECODE_PIECES);
    const int index = int(position);
    const float t = position - float(index);
    return table.value[index] + (table.value[index + 1] - table.value[index]) * t;
}

uint8_t quantise(float encoded)
{
    return static_cast<uint8_t>(std::lround(Math::clamp(encoded, 0.0f, 1.0f) * 255.0f));
}

namespace {

const QuantiseTable &quantiseTable()
{
    static const QuantiseTable table;
    return table;
}

inline uint8_t quantiseWith(const QuantiseTable &table, float linear)
{
    if (!(linear > 0.0f))
        return quantise(encodeGamma(linear));
    if (!(linear < 1.0f))
        return 255;
    uint32_t bits = 0;
    std::memcpy(&bits, &linear, sizeof bits);
    const int k = table.first[bits >> 16];
    return uint8_t(linear >= table.threshold[k + 1] ? k + 1 : k);
}

} // namespace

uint8_t quantiseLinear(float linear)
{
    return quantiseWith(quantiseTable(), linear);
}

void quantiseRow(const vec4 *colors, int count, unsigned char *rgba)
{
    const QuantiseTable &table = quantiseTable();
    for (int x = 0; x < count; ++x) {
        rgba[4 * x] = quantiseWith(table, colors[x].x);
        rgba[4 * x + 1] = quantiseWith(table, colors[x].y);
        rgba[4 * x + 2] = quantiseWith(table, colors[x].z);
        // Alpha is coverage: mostly exactly 0 or 1.
        const float alpha = colors[x].w;
        rgba[4 * x + 3] = alpha == 1.0f ? 255 : alpha == 0.0f ? 0 : quantise(alpha);
    }
}

} // namespace render_internal
} // namespace Velmora
