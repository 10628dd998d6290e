#include "velmora/Image.h"

#include "velmora/Log.h"

#include "image_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Velmora {

// ---- half floats ----

uint16_t Image::floatToHalf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    const uint32_t sign = (bits >> 16) & 0x8000u;
    const uint32_t exponent = (bits >> 23) & 0xffu;
    uint32_t mantissa = bits & 0x7fffffu;
    if (exponent == 0xffu) // infinity or NaN
        return uint16_t(sign | 0x7c00u | (mantissa ? 0x200u : 0u));
    int e = int(exponent) - 127 + 15;
    if (e >= 0x1f)
        return uint16_t(sign | 0x7c00u); // overflow: infinity
    if (e <= 0) {
        if (e < -10)
            return uint16_t(sign); // too small: zero
        mantissa |= 0x800000u;
        const int shift = 14 - e;
        uint32_t half_mantissa = mantissa >> shift;
        const uint32_t rest = mantissa & ((1u << shift) - 1u);
        const uint32_t halfway = 1u << (shift - 1);
        if (rest > halfway || (rest == halfway && (half_mantissa & 1u)))
            half_mantissa++;
        return uint16_t(sign | half_mantissa);
    }
    uint32_t half = sign | (uint32_t(e) << 10) | (mantissa >> 13);
    const uint32_t rest = mantissa & 0x1fffu;
    if (rest > 0x1000u || (rest == 0x1000u && (half & 1u)))
        half++; // may carry into the exponent, which rounds up correctly
    return uint16_t(half);
}

float Image::halfToFloat(uint16_t value)
{
    const uint32_t sign = uint32_t(value & 0x8000u) << 16;
    uint32_t exponent = (value >> 10) & 0x1fu;
    uint32_t mantissa = value & 0x3ffu;
    uint32_t bits;
    if (exponent == 0) {
        if (mantissa == 0) {
            bits = sign;
        } else {
            exponent = 127 - 15 + 1;
            while (!(mantissa & 0x400u)) {
                mantissa <<= 1;
                exponent--;
            }
            mantissa &= 0x3ffu;
            bits = sign | (exponent << 23) | (mantissa << 13);
        }
    } else if (exponent == 0x1fu) {
        bits = sign | 0x7f800000u | (mantissa << 13);
    } else {
        bits = sign | ((exponent + 127 - 15) << 23) | (mantissa << 13);
    }
    float result;
    std::memcpy(&result, &bits, sizeof(result));
    return result;
}

// ---- formats ----

bool Image::isValidFormat(int format)
{
    return getNumChannels(format) > 0;
}

int Image::getNumChannels(int format)
{
    switch (format) {
    case FORMAT_R8:
    case FORMAT_R32F:
        return 1;
    case FORMAT_RG8:
        return 2;
    case FORMAT_RGB8:
    case FORMAT_RGB16F:
    case FORMAT_RGB32F:
        return 3;
    case FORMAT_RGBA8:
    case FORMAT_RGBA16F:
    case FORMAT_RGBA32F:
        return 4;
    default:
        return 0;
    }
}

int Image::getPixelSize(int format)
{
    const int channels = getNumChannels(format);
    if (isHalfFormat(format))
        return channels * 2;
    if (format == FORMAT_R32F || format == FORMAT_RGB32F || format == FORMAT_RGBA32F)
        return channels * 4;
    return channels;
}

bool Image::isFloatFormat(int format)
{
    return format == FORMAT_R32F || format == FORMAT_RGB32F || format == FORMAT_RGBA32F || isHalfFormat(format);
}

bool Image::isHalfFormat(int format)
{
    return format == FORMAT_RGB16F || format == FORMAT_RGBA16F;
}

const char *Image::getFormatName(int format)
{
    switch (format) {
    case FORMAT_R8:
        return "R8";
    case FORMAT_RG8:
        return "RG8";
    case FORMAT_RGB8:
        return "RGB8";
    case FORMAT_RGBA8:
        return "RGBA8";
    case FORMAT_R32F:
        return "R32F";
    case FORMAT_RGB16F:
        return "RGB16F";
    case FORMAT_RGBA16F:
        return "RGBA16F";
    case FORMAT_RGB32F:
        return "RGB32F";
    case FORMAT_RGBA32F:
        return "RGBA32F";
    default:
        return "";
    }
}

namespace image_detail {

void readTexel(const unsigned char *p, int format, float out[4])
{
    out[0] = out[1] = out[2] = 0.0f;
    out[3] = 1.0f;
    const int channels = Image::getNumChannels(format);
    const int used = channels == 2 ? 2 : channels; // RG: red and green
    for (int c = 0; c < used; c++) {
        if (Image::isHalfFormat(format)) {
            uint16_t h;
            std::memcpy(&h, p + c * 2, 2);
            out[c] = Image::halfToFloat(h);
        } else if (Image::isFloatFormat(format)) {
            std::memcpy(&out[c], p + c * 4, 4);
        } else {
            out[c] = float(p[c]) / 255.0f;
        }
    }
}

unsigned char toByte(float v)
{
    if (!(v > 0.0f)) // NaN and negatives
        return 0;
    if (v >= 1.0f)
        return 255;
    return static_cast<unsigned char>(std::lround(v * 255.0f));
}

void writeTexel(unsigned char *p, int format, const float in[4])
{
    const int channels = Image::getNumChannels(format);
    for (int c = 0; c < channels; c++) {
        if (Image::isHalfFormat(format)) {
            const uint16_t h = Image::floatToHalf(in[c]);
            std::memcpy(p + c * 2, &h, 2);
        } else if (Image::isFloatFormat(format)) {
            std::memcpy(p + c * 4, &in[c], 4);
        } else {
            p[c] = toByte(in[c]);
        }
    }
}

} // namespace image_detail

using image_detail::readTexel;
using image_detail::writeTexel;

Image::Pixel Image::Pixel::fromInt(int r, int g, int b, int a)
{
    Pixel p;
    p.i.r = r;
    p.i.g = g;
    p.i.b = b;
    p.i.a = a;
    p.f.r = float(r) / 255.0f;
    p.f.g = float(g) / 255.0f;
    p.f.b = float(b) / 255.0f;
    p.f.a = float(a) / 255.0f;
    return p;
}

Image::Pixel Image::Pixel::fromFloat(float r, float g, float b, float a)
{
    Pixel p;
    p.f.r = r;
    p.f.g = g;
    p.f.b = b;
    p.f.a = a;
    p.i.r = image_detail::toByte(r);
    p.i.g = image_detail::toByte(g);
    p.i.b = image_detail::toByte(b);
    p.i.a = image_detail::toByte(a);
    return p;
}

// ---- Image ----

Ptr<Image> Image::create()
{
    return Ptr<Image>(new Image);
}

Ptr<Image> Image::create(const char *path)
{
    Ptr<Image> image(new Image);
    image->load(path);
    return image;
}

namespace {

int fullChain(int width, int height)
{
    int levels = 1;
    int size = std::max(width, height);
    while (size > 1) {
        size >>= 1;
        levels++;
    }
    return levels;
}

} // namespace

bool Image::create2D(int width, int height, int format, int mips, bool alloc, bool clear)
{
    if (!create2DArray(width, height, 1, format, mips, alloc, clear))
        return false;
    type_ = IMAGE_2D;
    return true;
}

bool Image::create2DArray(int width, int height, int layers, int format, int mips, bool alloc, bool clear)
{
    if (!isValidFormat(format)) {
        Log::error("Image::create2D(): unknown format %d\n", format);
        return false;
    }
    if (width < 1 || height < 1 || width > MAX_SIZE || height > MAX_SIZE || layers < 1 || layers > 2048) {
        Log::error("Image::create2D(): bad size %dx%d, %d layers\n", width, height, layers);
        return false;
    }
    const int chain = fullChain(width, height);
    type_ = IMAGE_2D_ARRAY;
    format_ = format;
    width_ = width;
    height_ = height;
    layers_ = layers;
    mips_ = (mips <= 0 || mips > chain) ? chain : mips;
    data_.clear();
    if (alloc)
        data_.assign(layerSize() * size_t(layers_), 0);
    (void)clear; // storage always starts zeroed
    return true;
}

void Image::clear()
{
    type_ = IMAGE_NONE;
    format_ = FORMAT_RGBA8;
    width_ = height_ = layers_ = mips_ = 0;
    data_.clear();
    data_.shrink_to_fit();
}

int Image::getWidth(int mip) const
{
    if (type_ == IMAGE_NONE)
        return 0;
    return std::max(1, width_ >> std::max(0, mip));
}

int Image::getHeight(int mip) const
{
    if (type_ == IMAGE_NONE)
        return 0;
    return std::max(1, height_ >> std::max(0, mip));
}

size_t Image::getSize(int mip) const
{
    if (type_ == IMAGE_NONE)
        return 0;
    return size_t(getWidth(mip)) * size_t(getHeight(mip)) * size_t(getPixelSize());
}

size_t Image::layerSize() const
{
    size_t total = 0;
    for (int m = 0; m < mips_; m++)
        total += getSize(m);
    return total;
}

size_t Image::levelOffset(int layer, int mip) const
{
    size_t offset = layerSize() * size_t(layer);
    for (int m = 0; m < mip; m++)
        offset += getSize(m);
    return offset;
}

unsigned char *Image::getPixels(int layer, int mip)
{
    if (data_.empty() || layer < 0 || layer >= layers_ || mip < 0 || mip >= mips_)
        return nullptr;
    return data_.data() + levelOffset(layer, mip);
}

const unsigned char *Image::getPixels(int layer, int mip) const
{
    return const_cast<Image *>(this)->getPixels(layer, mip);
}

Image::Pixel Image::get2D(int x, int y, int layer, int mip) const
{
    Pixel pixel;
    const unsigned char *pixels = getPixels(layer, mip);
    if (!pixels || x < 0 || y < 0 || x >= getWidth(mip) || y >= getHeight(mip))
        return pixel;
    const unsigned char *p = pixels + (size_t(y) * size_t(getWidth(mip)) + size_t(x)) * size_t(getPixelSize());
    float values[4];
    readTexel(p, format_, values);
    if (isFloatFormat()) {
        pixel = Pixel::fromFloat(values[0], values[1], values[2], values[3]);
    } else {
        const int channels = getNumChannels();
        int bytes[4] = {0, 0, 0, 255};
        for (int c = 0; c < channels; c++)
            bytes[c] = p[c];
        pixel = Pixel::fromInt(bytes[0], bytes[1], bytes[2], bytes[3]);
    }
    return pixel;
}

void Image::set2D(int x, int y, const Pixel &pixel, int layer, int mip)
{
    unsigned char *pixels = getPixels(layer, mip);
    if (!pixels || x < 0 || y < 0 || x >= getWidth(mip) || y >= getHeight(mip))
        return;
    unsigned char *p = pixels + (size_t(y) * size_t(getWidth(mip)) + size_t(x)) * size_t(getPixelSize());
    if (isFloatFormat()) {
        const float values[4] = {pixel.f.r, pixel.f.g, pixel.f.b, pixel.f.a};
        writeTexel(p, format_, values);
    } else {
        const int values[4] = {pixel.i.r, pixel.i.g, pixel.i.b, pixel.i.a};
        for (int c = 0; c < getNumChannels(); c++)
            p[c] = static_cast<unsigned char>(std::min(255, std::max(0, values[c])));
    }
}

void Image::fill(const Pixel &pixel)
{
    for (int layer = 0; layer < layers_; layer++)
        for (int mip = 0; mip < mips_; mip++)
            for (int y = 0; y < getHeight(mip); y++)
                for (int x = 0; x < getWidth(mip); x++)
                    set2D(x, y, pixel, layer, mip);
}

bool Image::flipY()
{
    if (data_.empty())
        return false;
    for (int layer = 0; layer < layers_; layer++) {
        for (int mip = 0; mip < mips_; mip++) {
            unsigned char *pixels = getPixels(layer, mip);
            const size_t row = size_t(getWidth(mip)) * size_t(getPixelSize());
            const int h = getHeight(mip);
            std::vector<unsigned char> tmp(row);
            for (int y = 0; y < h / 2; y++) {
                unsigned char *a = pixels + size_t(y) * row;
                unsigned char *b = pixels + size_t(h - 1 - y) * row;
                std::memcpy(tmp.data(), a, row);
                std::memcpy(a, b, row);
                std::memcpy(b, tmp.data(), row);
            }
        }
    }
    return true;
}

bool Image::flipX()
{
    if (data_.empty())
        return false;
    const size_t pixel = size_t(getPixelSize());
    std::vector<unsigned char> tmp(pixel);
    for (int layer = 0; layer < layers_; layer++) {
        for (int mip = 0; mip < mips_; mip++) {
            unsigned char *pixels = getPixels(layer, mip);
            const int w = getWidth(mip);
            for (int y = 0; y < getHeight(mip); y++) {
                unsigned char *row = pixels + size_t(y) * size_t(w) * pixel;
                for (int x = 0; x < w / 2; x++) {
                    unsigned char *a = row + size_t(x) * pixel;
                    unsigned char *b = row + size_t(w - 1 - x) * pixel;
                    std::memcpy(tmp.data(), a, pixel);
                    std::memcpy(a, b, pixel);
                    std::memcpy(b, tmp.data(), pixel);
                }
            }
        }
    }
    return true;
}

bool Image::copy(const Image &source, int dest_x, int dest_y, int source_x, int source_y, int width, int height,
                 bool safe)
{
    (void)safe; // regions are always clipped to both images
    if (data_.empty() || source.data_.empty() || &source == this) {
        if (&source == this && !data_.empty()) {
            const Image copy_of_source(source);
            return copy(copy_of_source, dest_x, dest_y, source_x, source_y, width, height, safe);
        }
        Log::error("Image::copy(): an image has no pixels\n");
        return false;
    }
    // Clip to the source, then to the destination.
    if (source_x < 0) {
        width += source_x;
        dest_x -= source_x;
        source_x = 0;
    }
    if (source_y < 0) {
        height += source_y;
        dest_y -= source_y;
        source_y = 0;
    }
    if (dest_x < 0) {
        width += dest_x;
        source_x -= dest_x;
        dest_x = 0;
    }
    if (dest_y < 0) {
        height += dest_y;
        source_y -= dest_y;
        dest_y = 0;
    }
    width = std::min({width, source.getWidth() - source_x, getWidth() - dest_x});
    height = std::min({height, source.getHeight() - source_y, getHeight() - dest_y});
    if (width <= 0 || height <= 0)
        return false;
    const unsigned char *src = source.getPixels();
    unsigned char *dst = getPixels();
    const size_t src_pixel = size_t(source.getPixelSize());
    const size_t dst_pixel = size_t(getPixelSize());
    for (int y = 0; y < height; y++) {
        const unsigned char *s
                = src + (size_t(source_y + y) * size_t(source.getWidth()) + size_t(source_x)) * src_pixel;
        unsigned char *d = dst + (size_t(dest_y + y) * size_t(getWidth()) + size_t(dest_x)) * dst_pixel;
        if (source.format_ == format_) {
            std::memcpy(d, s, size_t(width) * dst_pixel);
        } else {
            for (int x = 0; x < width; x++) {
                float values[4];
                readTexel(s + size_t(x) * src_pixel, source.format_, values);
                writeTexel(d + size_t(x) * dst_pixel, format_, values);
            }
        }
    }
    return true;
}

bool Image::copy(const Ptr<Image> &source, int dest_x, int dest_y, int source_x, int source_y, int width, int height,
                 bool safe)
{
    VELMORA_ASSERT(source.get() != nullptr);
    return copy(*source, dest_x, dest_y, source_x, source_y, width, height, safe);
}

bool Image::copy(const Image &source, int layer)
{
    if (data_.empty() || source.data_.empty() || layer < 0 || layer >= layers_ || source.getWidth() != getWidth()
        || source.getHeight() != getHeight()) {
        Log::error("Image::copy(): the source does not fit layer %d\n", layer);
        return false;
    }
    const unsigned char *src = source.getPixels();
    unsigned char *dst = getPixels(layer);
    const size_t count = size_t(getWidth()) * size_t(getHeight());
    if (source.format_ == format_) {
        std::memcpy(dst, src, count * size_t(getPixelSize()));
        return true;
    }
    for (size_t i = 0; i < count; i++) {
        float values[4];
        readTexel(src + i * size_t(source.getPixelSize()), source.format_, values);
        writeTexel(dst + i * size_t(getPixelSize()), format_, values);
    }
    return true;
}

bool Image::copy(const Ptr<Image> &source, int layer)
{
    VELMORA_ASSERT(source.get() != nullptr);
    return copy(*source, layer);
}

bool Image::convertToFormat(int format)
{
    if (!isValidFormat(format)) {
        Log::error("Image::convertToFormat(): unknown format %d\n", format);
        return false;
    }
    if (type_ == IMAGE_NONE) {
        Log::error("Image::convertToFormat(): the image is empty\n");
        return false;
    }
    if (format == format_)
        return true;
    Image result;
    result.create2DArray(width_, height_, layers_, format, mips_, !data_.empty());
    result.type_ = type_;
    if (!data_.empty()) {
        const size_t old_pixel = size_t(getPixelSize());
        const size_t new_pixel = size_t(result.getPixelSize());
        for (int layer = 0; layer < layers_; layer++) {
            for (int mip = 0; mip < mips_; mip++) {
                const unsigned char *src = getPixels(layer, mip);
                unsigned char *dst = result.getPixels(layer, mip);
                const size_t count = size_t(getWidth(mip)) * size_t(getHeight(mip));
                for (size_t i = 0; i < count; i++) {
                    float values[4];
                    readTexel(src + i * old_pixel, format_, values);
                    writeTexel(dst + i * new_pixel, format, values);
                }
            }
        }
    }
    *this = std::move(result);
    return true;
}

namespace {

// Resamples one axis of float RGBA rows: count lines of src_size texels
// (stride between texels, line_stride between lines) into dst_size texels.
void resampleAxis(const std::vector<float> &src, std::vector<float> &dst, int src_size, int dst_size, int lines,
                  size_t texel_stride, size_t line_stride, size_t dst_texel_stride, size_t dst_line_stride, int mode)
{
    const float scale = float(src_size) / float(dst_size);
    for (int line = 0; line < lines; line++) {
        const float *s = src.data() + size_t(line) * line_stride;
        float *d = dst.data() + size_t(line) * dst_line_stride;
        for (int i = 0; i < dst_size; i++) {
            float out[4] = {0, 0, 0, 0};
            if (mode == Image::FILTER_POINT) {
                const int j = std::min(src_size - 1, int((float(i) + 0.5f) * scale));
                for (int c = 0; c < 4; c++)
                    out[c] = s[size_t(j) * texel_stride + size_t(c)];
            } else if (dst_size >= src_size) {
                // Bilinear (texel centres aligned).
                float pos = (float(i) + 0.5f) * scale - 0.5f;
                pos = std::max(0.0f, std::min(pos, float(src_size - 1)));
                const int j0 = int(std::floor(pos));
                const int j1 = std::min(src_size - 1, j0 + 1);
                const float t = pos - float(j0);
                for (int c = 0; c < 4; c++)
                    out[c] = s[size_t(j0) * texel_stride + size_t(c)] * (1.0f - t)
                            + s[size_t(j1) * texel_stride + size_t(c)] * t;
            } else {
                // Area average over [i * scale, (i + 1) * scale).
                const float begin = float(i) * scale;
                const float end = float(i + 1) * scale;
                float weight_sum = 0.0f;
                for (int j = int(std::floor(begin)); j < int(std::ceil(end)) && j < src_size; j++) {
                    const float w = std::min(end, float(j + 1)) - std::max(begin, float(j));
                    if (w <= 0.0f)
                        continue;
                    for (int c = 0; c < 4; c++)
                        out[c] += s[size_t(j) * texel_stride + size_t(c)] * w;
                    weight_sum += w;
                }
                if (weight_sum > 0.0f)
                    for (float &v : out)
                        v /= weight_sum;
            }
            for (int c = 0; c < 4; c++)
                d[size_t(i) * dst_texel_stride + size_t(c)] = out[c];
        }
    }
}

} // namespace

bool Image::resize(int width, int height, int mode)
{
    if (data_.empty()) {
        Log::error("Image::resize(): the image has no pixels\n");
        return false;
    }
    if (width < 1 || height < 1 || width > MAX_SIZE || height > MAX_SIZE
        || (mode != FILTER_POINT && mode != FILTER_LINEAR)) {
        Log::error("Image::resize(): bad size %dx%d or mode %d\n", width, height, mode);
        return false;
    }
    Image result;
    result.create2DArray(width, height, layers_, format_, 1);
    result.type_ = type_;
    const int w = getWidth();
    const int h = getHeight();
    std::vector<float> source(size_t(w) * size_t(h) * 4);
    std::vector<float> horizontal(size_t(width) * size_t(h) * 4);
    std::vector<float> target(size_t(width) * size_t(height) * 4);
    for (int layer = 0; layer < layers_; layer++) {
        const unsigned char *src = getPixels(layer);
        for (size_t i = 0; i < size_t(w) * size_t(h); i++)
            readTexel(src + i * size_t(getPixelSize()), format_, &source[i * 4]);
        resampleAxis(source, horizontal, w, width, h, 4, size_t(w) * 4, 4, size_t(width) * 4, mode);
        resampleAxis(horizontal, target, h, height, width, size_t(width) * 4, 4, size_t(width) * 4, 4, mode);
        unsigned char *dst = result.getPixels(layer);
        for (size_t i = 0; i < size_t(width) * size_t(height); i++)
            writeTexel(dst + i * size_t(result.getPixelSize()), format_, &target[i * 4]);
    }
    *this = std::move(result);
    return true;
}

bool Image::createMipmaps()
{
    if (data_.empty()) {
        Log::error("Image::createMipmaps(): the image has no pixels\n");
        return false;
    }
    Image result;
    result.create2DArray(width_, height_, layers_, format_, 0);
    result.type_ = type_;
    const size_t pixel = size_t(getPixelSize());
    for (int layer = 0; layer < layers_; layer++) {
        std::memcpy(result.getPixels(layer, 0), getPixels(layer, 0), getSize(0));
        for (int mip = 1; mip < result.mips_; mip++) {
            const unsigned char *src = result.getPixels(layer, mip - 1);
            unsigned char *dst = result.getPixels(layer, mip);
            const int sw = result.getWidth(mip - 1), sh = result.getHeight(mip - 1);
            const int dw = result.getWidth(mip), dh = result.getHeight(mip);
            for (int y = 0; y < dh; y++) {
                for (int x = 0; x < dw; x++) {
                    float sum[4] = {0, 0, 0, 0};
                    for (int k = 0; k < 4; k++) {
                        const int sx = std::min(sw - 1, x * 2 + (k & 1));
                        const int sy = std::min(sh - 1, y * 2 + (k >> 1));
                        float v[4];
                        readTexel(src + (size_t(sy) * size_t(sw) + size_t(sx)) * pixel, format_, v);
                        for (int c = 0; c < 4; c++)
                            sum[c] += v[c] * 0.25f;
                    }
                    writeTexel(dst + (size_t(y) * size_t(dw) + size_t(x)) * pixel, format_, sum);
                }
            }
        }
    }
    *this = std::move(result);
    return true;
}

bool Image::load(const char *path)
{
    if (!path || !*path) {
        Log::error("Image::load(): empty path\n");
        return false;
    }
    Image loaded;
    if (!image_detail::loadFile(loaded, path))
        return false;
    *this = std::move(loaded);
    return true;
}

bool Image::save(const char *path) const
{
    if (!path || !*path) {
        Log::error("Image::save(): empty path\n");
        return false;
    }
    if (data_.empty()) {
        Log::error("Image::save(): \"%s\": the image has no pixels\n", path);
        return false;
    }
    return image_detail::saveFile(*this, path);
}

} // namespace Velmora
