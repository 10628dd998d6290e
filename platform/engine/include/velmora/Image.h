#pragma once

#include "velmora/Ptr.h"
#include "velmora/String.h"

#include <cstdint>
#include <vector>

namespace Velmora {

// An image in main memory: 2D or a 2D array (layers), optional mip levels.
// Plain data without globals: distinct objects may be used from several
// threads. Row 0 is the top row.
//
// Formats: 0 R8, 1 RG8, 2 RGB8, 3 RGBA8 (bytes); 8 R32F, 14 RGB32F,
// 15 RGBA32F (floats); 10 RGB16F, 11 RGBA16F (half floats). Pixels are
// tightly packed, rows top to bottom, then mip levels, per layer.
//
// Files by extension: png, jpg/jpeg (through Qt), tga (uncompressed, type 2
// or 3), psd (version 1, raw 8-bit gray or RGB(A)), dds (DX10 header:
// R8_UNORM, R8G8_UNORM, R8G8B8A8_UNORM, R32_FLOAT, R16G16B16A16_FLOAT; 2D
// arrays). Bad data gives false, an unchanged image and one log line.
class Image
{
public:
    enum {
        FORMAT_R8 = 0,
        FORMAT_RG8 = 1,
        FORMAT_RGB8 = 2,
        FORMAT_RGBA8 = 3,
        FORMAT_R32F = 8,
        FORMAT_RGB16F = 10,
        FORMAT_RGBA16F = 11,
        FORMAT_RGB32F = 14,
        FORMAT_RGBA32F = 15,
    };
    enum {
        IMAGE_NONE = -1,
        IMAGE_2D = 0,
        IMAGE_2D_ARRAY = 1,
    };
    // resize() modes.
    enum {
        FILTER_POINT = 0,
        FILTER_LINEAR = 1,
    };
    static constexpr int MAX_SIZE = 16384;

    // A pixel read or written through get2D/set2D. Byte formats use i
    // (0..255) and float formats use f; get2D fills both (f = i / 255 for
    // byte formats, i = the clamped, rounded f * 255 for float formats).
    // Missing channels read 0, alpha 1 (255).
    struct Pixel
    {
        struct
        {
            int r = 0, g = 0, b = 0, a = 255;
        } i;
        struct
        {
            float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
        } f;

        static Pixel fromInt(int r, int g, int b, int a = 255);
        static Pixel fromFloat(float r, float g, float b, float a = 1.0f);
    };

    static Ptr<Image> create();
    static Ptr<Image> create(const char *path);

    Image() = default;
    Image(const Image &) = default;
    Image &operator=(const Image &) = default;

    // mips: number of levels (1 = none, 0 = the full chain). alloc false
    // leaves no pixel storage (only the description); clear zeroes pixels.
    bool create2D(int width, int height, int format, int mips = 1, bool alloc = true, bool clear = true);
    bool create2DArray(int width, int height, int layers, int format, int mips = 1, bool alloc = true,
                       bool clear = true);
    // Frees everything: the image becomes empty.
    void clear();
    bool isLoaded() const { return type_ != IMAGE_NONE && !data_.empty(); }
    bool isEmpty() const { return type_ == IMAGE_NONE; }

    int getType() const { return type_; }
    int getWidth(int mip = 0) const;
    int getHeight(int mip = 0) const;
    int getNumLayers() const { return layers_; }
    int getNumMipmaps() const { return mips_; }
    int getFormat() const { return format_; }
    int getNumChannels() const { return getNumChannels(format_); }
    // Bytes of one pixel.
    int getPixelSize() const { return getPixelSize(format_); }
    bool isFloatFormat() const { return isFloatFormat(format_); }
    bool isHalfFormat() const { return isHalfFormat(format_); }
    const char *getFormatName() const { return getFormatName(format_); }

    // Pixels of one level of one layer; null without storage.
    unsigned char *getPixels(int layer = 0, int mip = 0);
    const unsigned char *getPixels(int layer = 0, int mip = 0) const;
    size_t getSize(int mip = 0) const; // bytes of one level of one layer
    size_t getTotalSize() const { return data_.size(); }

    // Out-of-range coordinates read the default Pixel and are not written.
    Pixel get2D(int x, int y, int layer = 0, int mip = 0) const;
    void set2D(int x, int y, const Pixel &pixel, int layer = 0, int mip = 0);
    // Fills every pixel of every layer and level.
    void fill(const Pixel &pixel);

    // Mirrors rows (all layers and levels).
    bool flipY();
    bool flipX();
    // Copies a region of a 2D image, converting formats and clipping it to
    // both images; false when nothing overlaps or an image has no storage.
    bool copy(const Image &source, int dest_x, int dest_y, int source_x, int source_y, int width, int height,
              bool safe = false);
    bool copy(const Ptr<Image> &source, int dest_x, int dest_y, int source_x, int source_y, int width, int height,
              bool safe = false);
    // Copies a 2D image of the same size into one layer, converting formats.
    bool copy(const Image &source, int layer);
    bool copy(const Ptr<Image> &source, int layer);
    // Drops channels or fills missing ones (colour 0, alpha 1); quantises
    // with clamping. Mip levels are kept.
    bool convertToFormat(int format);
    // FILTER_LINEAR: bilinear when enlarging, area average when shrinking;
    // FILTER_POINT: nearest. Mip levels are dropped. false on bad sizes.
    bool resize(int width, int height, int mode = FILTER_LINEAR);
    // Builds the mip chain by 2x2 box filtering.
    bool createMipmaps();

    bool load(const char *path);
    bool save(const char *path) const;

    // Format helpers; -1 / 0 / "" for unknown formats.
    static bool isValidFormat(int format);
    static int getNumChannels(int format);
    static int getPixelSize(int format);
    static bool isFloatFormat(int format); // 32-bit or 16-bit floats
    static bool isHalfFormat(int format);
    static const char *getFormatName(int format);

    static uint16_t floatToHalf(float value);
    static float halfToFloat(uint16_t value);

private:
    size_t levelOffset(int layer, int mip) const;
    size_t layerSize() const;

    int type_ = IMAGE_NONE;
    int format_ = FORMAT_RGBA8;
    int width_ = 0;
    int height_ = 0;
    int layers_ = 0;
    int mips_ = 0;
    std::vector<unsigned char> data_;
};

} // namespace Velmora
