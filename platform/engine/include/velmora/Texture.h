#pragma once

#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/Vector.h"

namespace Velmora {

class Image;

// A texture of the CPU renderer: float RGBA pixels with optional mip
// levels. Row 0 is the bottom row (an Image's row 0 is its top row).
//
// The format number only chooses the Image format that getImage() gives:
// 0 -> R8, 3 -> RGBA8, 16 -> R32F, any other -> RGBA8. Flags are stored
// and read back. Distinct textures may be used from several threads; one
// texture may be read from several threads while nobody writes it.
class Texture
{
public:
    static constexpr int MAX_SIZE = 8192;
    enum {
        FORMAT_R8 = 0,
        FORMAT_RGBA8 = 3,
        FORMAT_R32F = 16,
    };

    static Ptr<Texture> create();

    // A cleared (all zero) texture of one level. Sides must be 1..8192;
    // otherwise false, one error line and the texture is left as it was.
    bool create2D(int width, int height, int format, int flags = 0);
    // A texture of level 0 of the image, rows turned to texture order.
    // Gray images (R8) fill red, green and blue; missing alpha reads 1. The
    // format becomes 0 for R8 images, 16 for R32F images, else 3.
    bool setImage(const Image &image, int flags = 0);
    void clear();
    bool isEmpty() const { return levels_.empty(); }

    // Sizes of a level (0 for a level that does not exist).
    int getWidth(int mip = 0) const;
    int getHeight(int mip = 0) const;
    int getNumMipmaps() const { return levels_.size(); }
    int getFormat() const { return format_; }
    int getFlags() const { return flags_; }
    // The Image format getImage() writes.
    int getImageFormat() const;

    // Copies level 0 into the image in texture row order (image row 0 is the
    // texture's bottom row), converted to getImageFormat() with clamping for
    // byte formats. false for an empty texture or a null image.
    bool getImage(const Ptr<Image> &image) const;
    bool getImage(Image &image) const;

    // Exchanges contents, sizes, formats and flags.
    void swap(const Ptr<Texture> &other);
    void swap(Texture &other);

    // Rebuilds the levels below 0 by 2x2 box filtering down to 1x1 (a side
    // of one texel repeats it; an odd side's last texel is left out). false
    // for an empty texture.
    bool createMipmaps();

    // Texel access; coordinates outside the level read (0, 0, 0, 0) and are
    // not written.
    vec4 get(int x, int y, int mip = 0) const;
    void set(int x, int y, const vec4 &value, int mip = 0);
    // Fills every level.
    void fill(const vec4 &value);
    // Level pixels, rows bottom to top; null for a missing level.
    const vec4 *getPixels(int mip = 0) const;
    vec4 *getPixels(int mip = 0);

    // Bilinear sample of level 0 with repeat wrapping; (0, 0) is the
    // bottom-left corner and (1, 1) the top-right one.
    vec4 sample(float u, float v) const;
    // Nearest texel of level 0 with edge clamping.
    vec4 sampleNearest(float u, float v) const;

private:
    struct Level
    {
        int width = 0;
        int height = 0;
        Vector<vec4> pixels;
    };
    Vector<Level> levels_;
    int format_ = FORMAT_RGBA8;
    int flags_ = 0;
};

} // namespace Velmora
