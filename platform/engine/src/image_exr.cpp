// OpenEXR files: half RGB or RGBA. The file is made in memory and then
// written whole or not at all.

#include "velmora/Log.h"

#include "engine_internal.h"
#include "image_exr.h"
#include "image_internal.h"

#include <ImfChannelList.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfRgbaFile.h>
#include <ImfThreading.h>

#include <QFile>

#include <cstring>
#include <exception>
#include <vector>

namespace Velmora {
namespace image_detail {

namespace {

// The bytes of a file being made, with the seeking the writer needs.
class MemoryStream : public Imf::OStream
{
public:
    explicit MemoryStream(const char *name)
        : Imf::OStream(name)
    {}
    void write(const char c[], int n) override
    {
        const size_t end = position_ + size_t(n);
        if (end > bytes_.size())
            bytes_.resize(end);
        std::memcpy(bytes_.data() + position_, c, size_t(n));
        position_ = end;
    }
    uint64_t tellp() override { return position_; }
    void seekp(uint64_t position) override { position_ = size_t(position); }
    const std::vector<char> &bytes() const { return bytes_; }

private:
    std::vector<char> bytes_;
    size_t position_ = 0;
};

} // namespace

bool saveExr(const Image &image, const char *path)
{
    if (!image.isLoaded() || image.getType() != Image::IMAGE_2D) {
        Log::error("Image::save(): \"%s\": no 2D image to write\n", path);
        return false;
    }
    const int width = image.getWidth();
    const int height = image.getHeight();
    const int channels = image.getNumChannels();
    const bool alpha = channels == 4 || channels == 2;
    std::vector<Imf::Rgba> pixels(size_t(width) * size_t(height));
    const unsigned char *data = image.getPixels();
    const int pixel_size = image.getPixelSize();
    for (size_t i = 0; i < pixels.size(); ++i) {
        float texel[4];
        readTexel(data + i * size_t(pixel_size), image.getFormat(), texel);
        pixels[i] = Imf::Rgba(half(texel[0]), half(texel[1]), half(texel[2]), half(alpha ? texel[3] : 1.0f));
    }
    MemoryStream stream(path);
    try {
        Imf::Header header(width, height);
        header.compression() = Imf::PIZ_COMPRESSION;
        // The offsets table is completed when the writer is destroyed.
        Imf::RgbaOutputFile file(stream, header, alpha ? Imf::WRITE_RGBA : Imf::WRITE_RGB);
        file.setFrameBuffer(pixels.data(), 1, size_t(width));
        file.writePixels(height);
    } catch (const std::exception &e) {
        Log::error("Image::save(): \"%s\": %s\n", path, e.what());
        return false;
    }
    String reason;
    if (!engine_internal::writeFileAtomic(path, stream.bytes().data(), stream.bytes().size(), &reason)) {
        Log::error("Image::save(): can't write \"%s\": %s\n", path, reason.get());
        return false;
    }
    return true;
}

bool loadExr(Image &image, const char *path)
{
    try {
        Imf::RgbaInputFile file(QFile::encodeName(QString::fromUtf8(path)).constData());
        const Imath::Box2i window = file.dataWindow();
        const int width = window.max.x - window.min.x + 1;
        const int height = window.max.y - window.min.y + 1;
        if (width <= 0 || height <= 0 || width > Image::MAX_SIZE || height > Image::MAX_SIZE) {
            Log::error("Image::load(): \"%s\": bad size\n", path);
            return false;
        }
        std::vector<Imf::Rgba> pixels(size_t(width) * size_t(height));
        file.setFrameBuffer(pixels.data() - window.min.x - window.min.y * width, 1, size_t(width));
        file.readPixels(window.min.y, window.max.y);
        const bool alpha = (file.channels() & Imf::WRITE_A) != 0;
        Image loaded;
        if (!loaded.create2D(width, height, alpha ? Image::FORMAT_RGBA16F : Image::FORMAT_RGB16F))
            return false;
        unsigned char *out = loaded.getPixels();
        const int pixel_size = loaded.getPixelSize();
        for (size_t i = 0; i < pixels.size(); ++i) {
            const float texel[4] = {float(pixels[i].r), float(pixels[i].g), float(pixels[i].b), float(pixels[i].a)};
            writeTexel(out + i * size_t(pixel_size), loaded.getFormat(), texel);
        }
        image = loaded;
        return true;
    } catch (const std::exception &e) {
        Log::error("Image::load(): \"%s\": %s\n", path, e.what());
        return false;
    }
}

} // namespace image_detail
} // namespace Velmora
