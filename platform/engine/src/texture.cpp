#include "velmora/Texture.h"

#include "velmora/Image.h"
#include "velmora/Log.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Velmora {

namespace {

int wrap(int i, int size)
{
    const int r = i % size;
    return r < 0 ? r + size : r;
}

} // namespace

Ptr<Texture> Texture::create()
{
    return Ptr<Texture>(new Texture);
}

bool Texture::create2D(int width, int height, int format, int flags)
{
    if (width < 1 || height < 1 || width > MAX_SIZE || height > MAX_SIZE) {
        Log::error("Texture::create2D: bad size %dx%d (sides must be 1 to %d)\n", width, height, MAX_SIZE);
        return false;
    }
    Level level;
    level.width = width;
    level.height = height;
    level.pixels = Vector<vec4>(width * height, vec4(0.0f));
    levels_.clear();
    levels_.append(std::move(level));
    format_ = format;
    flags_ = flags;
    return true;
}

bool Texture::setImage(const Image &image, int flags)
{
    if (!image.isLoaded()) {
        Log::error("Texture::setImage: the image has no pixels\n");
        return false;
    }
    const int width = image.getWidth();
    const int height = image.getHeight();
    const int format = image.getFormat() == Image::FORMAT_R8 ? FORMAT_R8
            : image.getFormat() == Image::FORMAT_R32F        ? FORMAT_R32F
                                                             : FORMAT_RGBA8;
    if (!create2D(width, height, format, flags))
        return false;
    const bool gray = image.getNumChannels() == 1;
    vec4 *pixels = levels_[0].pixels.data();
    for (int y = 0; y < height; ++y) {
        vec4 *row = pixels + size_t(height - 1 - y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const Image::Pixel p = image.get2D(x, y);
            row[x] = gray ? vec4(p.f.r, p.f.r, p.f.r, 1.0f) : vec4(p.f.r, p.f.g, p.f.b, p.f.a);
        }
    }
    return true;
}

void Texture::clear()
{
    levels_.clear();
    format_ = FORMAT_RGBA8;
    flags_ = 0;
}

int Texture::getWidth(int mip) const
{
    return mip >= 0 && mip < levels_.size() ? levels_[mip].width : 0;
}

int Texture::getHeight(int mip) const
{
    return mip >= 0 && mip < levels_.size() ? levels_[mip].height : 0;
}

int Texture::getImageFormat() const
{
    switch (format_) {
    case FORMAT_R8:
        return Image::FORMAT_R8;
    case FORMAT_R32F:
        return Image::FORMAT_R32F;
    default:
        return Image::FORMAT_RGBA8;
    }
}

bool Texture::getImage(const Ptr<Image> &image) const
{
    if (!image) {
        Log::error("Texture::getImage: needs an image\n");
        return false;
    }
    return getImage(*image);
}

bool Texture::getImage(Image &image) const
{
    if (isEmpty()) {
        Log::error("Texture::getImage: the texture is empty\n");
        return false;
    }
    const Level &level = levels_[0];
    const int format = getImageFormat();
    if (!image.create2D(level.width, level.height, format))
        return false;
    const vec4 *source = level.pixels.data();
    const size_t count = size_t(level.width) * size_t(level.height);
    auto toByte = [](float v) { return static_cast<unsigned char>(std::lround(Math::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    if (format == Image::FORMAT_R32F) {
        float *out = reinterpret_cast<float *>(image.getPixels());
        for (size_t i = 0; i < count; ++i)
            out[i] = source[i].x;
    } else if (format == Image::FORMAT_R8) {
        unsigned char *out = image.getPixels();
        for (size_t i = 0; i < count; ++i)
            out[i] = toByte(source[i].x);
    } else {
        unsigned char *out = image.getPixels();
        for (size_t i = 0; i < count; ++i) {
            out[i * 4 + 0] = toByte(source[i].x);
            out[i * 4 + 1] = toByte(source[i].y);
            out[i * 4 + 2] = toByte(source[i].z);
            out[i * 4 + 3] = toByte(source[i].w);
        }
    }
    return true;
}

void Texture::swap(const Ptr<Texture> &other)
{
    if (!other) {
        Log::error("Texture::swap: needs a texture\n");
        return;
    }
    swap(*other);
}

void Texture::swap(Texture &other)
{
    std::swap(levels_, other.levels_);
    std::swap(format_, other.format_);
    std::swap(flags_, other.flags_);
}

bool Texture::createMipmaps()
{
    if (isEmpty()) {
        Log::error("Texture::createMipmaps: the texture is empty\n");
        return false;
    }
    while (levels_.size() > 1)
        levels_.removeLast();
    while (levels_.last().width > 1 || levels_.last().height > 1) {
        const Level &above = levels_.last();
        Level level;
        level.width = std::max(1, above.width / 2);
        level.height = std::max(1, above.height / 2);
        level.pixels = Vector<vec4>(level.width * level.height);
        const vec4 *source = above.pixels.data();
        for (int y = 0; y < level.height; ++y) {
            const int y0 = std::min(y * 2, above.height - 1);
            const int y1 = std::min(y * 2 + 1, above.height - 1);
            for (int x = 0; x < level.width; ++x) {
                const int x0 = std::min(x * 2, above.width - 1);
                const int x1 = std::min(x * 2 + 1, above.width - 1);
                const vec4 sum = source[y0 * above.width + x0] + source[y0 * above.width + x1]
                        + source[y1 * above.width + x0] + source[y1 * above.width + x1];
                level.pixels.data()[y * level.width + x] = sum * 0.25f;
            }
        }
        levels_.append(std::move(level));
    }
    return true;
}

vec4 Texture::get(int x, int y, int mip) const
{
    const vec4 *pixels = getPixels(mip);
    if (!pixels || x < 0 || y < 0 || x >= getWidth(mip) || y >= getHeight(mip))
        return vec4(0.0f);
    return pixels[size_t(y) * size_t(getWidth(mip)) + size_t(x)];
}

void Texture::set(int x, int y, const vec4 &value, int mip)
{
    vec4 *pixels = getPixels(mip);
    if (!pixels || x < 0 || y < 0 || x >= getWidth(mip) || y >= getHeight(mip))
        return;
    pixels[size_t(y) * size_t(getWidth(mip)) + size_t(x)] = value;
}

void Texture::fill(const vec4 &value)
{
    for (Level &level : levels_)
        std::fill(level.pixels.begin(), level.pixels.end(), value);
}

const vec4 *Texture::getPixels(int mip) const
{
    return mip >= 0 && mip < levels_.size() ? levels_[mip].pixels.data() : nullptr;
}

vec4 *Texture::getPixels(int mip)
{
    return mip >= 0 && mip < levels_.size() ? levels_[mip].pixels.data() : nullptr;
}

vec4 Texture::sample(float u, float v) const
{
    if (isEmpty() || !std::isfinite(u) || !std::isfinite(v))
        return vec4(0.0f);
    const Level &level = levels_[0];
    const float fx = u * float(level.width) - 0.5f;
    const float fy = v * float(level.height) - 0.5f;
    const float bx = std::floor(fx);
    const float by = std::floor(fy);
    const float tx = fx - bx;
    const float ty = fy - by;
    // Wrap in integer space; the floats stay exact for the texel sizes used.
    const int x0 = wrap(int(std::fmod(bx, float(level.width))), level.width);
    const int y0 = wrap(int(std::fmod(by, float(level.height))), level.height);
    const int x1 = x0 + 1 == level.width ? 0 : x0 + 1;
    const int y1 = y0 + 1 == level.height ? 0 : y0 + 1;
    const vec4 *p = level.pixels.data();
    const vec4 bottom = Math::lerp(p[y0 * level.width + x0], p[y0 * level.width + x1], tx);
    const vec4 top = Math::lerp(p[y1 * level.width + x0], p[y1 * level.width + x1], tx);
    return Math::lerp(bottom, top, ty);
}

vec4 Texture::sampleNearest(float u, float v) const
{
    if (isEmpty() || !std::isfinite(u) || !std::isfinite(v))
        return vec4(0.0f);
    const Level &level = levels_[0];
    const int x = Math::clamp(int(std::floor(u * float(level.width))), 0, level.width - 1);
    const int y = Math::clamp(int(std::floor(v * float(level.height))), 0, level.height - 1);
    return level.pixels.data()[y * level.width + x];
}

} // namespace Velmora
