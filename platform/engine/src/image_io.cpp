// Image files: png and jpg through Qt, tga, psd and dds with our own code.

#include "velmora/Log.h"

#include "engine_internal.h"
#include "image_exr.h"
#include "image_internal.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <cstring>

namespace Velmora {
namespace image_detail {

namespace {

constexpr qint64 MAX_FILE_SIZE = 1024ll * 1024 * 1024;

QString extensionOf(const char *path)
{
    return QFileInfo(QString::fromUtf8(path)).suffix().toLower();
}

bool readWholeFile(const char *path, QByteArray &bytes)
{
    switch (engine_internal::readWholeFile(path, MAX_FILE_SIZE, bytes)) {
    case engine_internal::FileRead::OK:
        return true;
    case engine_internal::FileRead::TOO_LARGE:
        Log::error("Image::load(): \"%s\" is too large\n", path);
        return false;
    default:
        Log::error("Image::load(): can't open \"%s\"\n", path);
        return false;
    }
}

bool writeWholeFile(const char *path, const QByteArray &bytes)
{
    String reason;
    if (!engine_internal::writeFileAtomic(path, bytes.constData(), size_t(bytes.size()), &reason)) {
        Log::error("Image::save(): can't write \"%s\": %s\n", path, reason.get());
        return false;
    }
    return true;
}

// Byte reader with bounds checks: every read past the end sets failed.
class Reader
{
public:
    explicit Reader(const QByteArray &bytes)
        : data_(reinterpret_cast<const unsigned char *>(bytes.constData()))
        , size_(size_t(bytes.size()))
    {}
    bool failed() const { return failed_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    const unsigned char *here() const { return data_ + pos_; }
    bool skip(size_t n)
    {
        if (n > remaining()) {
            failed_ = true;
            pos_ = size_;
            return false;
        }
        pos_ += n;
        return true;
    }
    bool bytes(void *out, size_t n)
    {
        if (n > remaining()) {
            failed_ = true;
            pos_ = size_;
            return false;
        }
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    uint8_t u8()
    {
        uint8_t v = 0;
        bytes(&v, 1);
        return v;
    }
    uint16_t le16()
    {
        unsigned char b[2] = {0, 0};
        bytes(b, 2);
        return uint16_t(b[0] | (b[1] << 8));
    }
    uint32_t le32()
    {
        unsigned char b[4] = {0, 0, 0, 0};
        bytes(b, 4);
        return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    }
    uint16_t be16()
    {
        unsigned char b[2] = {0, 0};
        bytes(b, 2);
        return uint16_t((b[0] << 8) | b[1]);
    }
    uint32_t be32()
    {
        unsigned char b[4] = {0, 0, 0, 0};
        bytes(b, 4);
        return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
    }

private:
    const unsigned char *data_;
    size_t size_;
    size_t pos_ = 0;
    bool failed_ = false;
};

void putLe16(QByteArray &out, uint16_t v)
{
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}

void putLe32(QByteArray &out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.append(char((v >> (8 * i)) & 0xff));
}

void putBe16(QByteArray &out, uint16_t v)
{
    out.append(char(v >> 8));
    out.append(char(v & 0xff));
}

void putBe32(QByteArray &out, uint32_t v)
{
    for (int i = 3; i >= 0; i--)
        out.append(char((v >> (8 * i)) & 0xff));
}

// Layer 0, level 0 of any image as 8-bit with the given channel count
// (1 gray, 3 RGB, 4 RGBA); RG fills blue with 0.
std::vector<unsigned char> toBytes(const Image &image, int channels)
{
    const int w = image.getWidth(), h = image.getHeight();
    std::vector<unsigned char> out(size_t(w) * size_t(h) * size_t(channels));
    const unsigned char *src = image.getPixels();
    const size_t pixel = size_t(image.getPixelSize());
    for (size_t i = 0; i < size_t(w) * size_t(h); i++) {
        float v[4];
        readTexel(src + i * pixel, image.getFormat(), v);
        for (int c = 0; c < channels; c++)
            out[i * size_t(channels) + size_t(c)] = toByte(v[c]);
    }
    return out;
}

// Channel count an 8-bit writer keeps: R8 -> 1, RGBA formats -> 4, else 3.
int byteChannelsFor(int format)
{
    const int n = Image::getNumChannels(format);
    return n == 1 ? 1 : (n == 4 ? 4 : 3);
}

// ---- Qt formats ----

bool loadQt(Image &image, const char *path)
{
    QImageReader reader(QString::fromUtf8(path));
    reader.setAutoTransform(false);
    QImage source = reader.read();
    if (source.isNull()) {
        Log::error("Image::load(): \"%s\": %s\n", path, reader.errorString().toUtf8().constData());
        return false;
    }
    int format;
    QImage converted;
    if (source.hasAlphaChannel()) {
        format = Image::FORMAT_RGBA8;
        converted = source.convertToFormat(QImage::Format_RGBA8888);
    } else if (source.isGrayscale()) {
        format = Image::FORMAT_R8;
        converted = source.convertToFormat(QImage::Format_Grayscale8);
    } else {
        format = Image::FORMAT_RGB8;
        converted = source.convertToFormat(QImage::Format_RGB888);
    }
    if (!image.create2D(converted.width(), converted.height(), format))
        return false;
    const size_t row = size_t(converted.width()) * size_t(image.getPixelSize());
    for (int y = 0; y < converted.height(); y++)
        std::memcpy(image.getPixels() + size_t(y) * row, converted.constScanLine(y), row);
    return true;
}

bool saveQt(const Image &image, const char *path, const char *qt_format)
{
    const bool jpeg = std::strcmp(qt_format, "jpg") == 0;
    int channels = byteChannelsFor(image.getFormat());
    if (jpeg && channels == 4)
        channels = 3;
    if (jpeg)
        channels = 3;
    const std::vector<unsigned char> bytes = toBytes(image, channels);
    const QImage::Format qformat = channels == 1 ? QImage::Format_Grayscale8
            : channels == 3                      ? QImage::Format_RGB888
                                                 : QImage::Format_RGBA8888;
    QImage target(image.getWidth(), image.getHeight(), qformat);
    const size_t row = size_t(image.getWidth()) * size_t(channels);
    for (int y = 0; y < image.getHeight(); y++)
        std::memcpy(target.scanLine(y), bytes.data() + size_t(y) * row, row);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, qt_format);
    if (jpeg)
        writer.setQuality(95);
    if (!writer.write(target)) {
        Log::error("Image::save(): \"%s\": %s\n", path, writer.errorString().toUtf8().constData());
        return false;
    }
    return writeWholeFile(path, encoded);
}

// ---- TGA ----

bool loadTga(Image &image, const char *path)
{
    QByteArray bytes;
    if (!readWholeFile(path, bytes))
        return false;
    Reader r(bytes);
    const uint8_t id_length = r.u8();
    const uint8_t colormap_type = r.u8();
    const uint8_t type = r.u8();
    r.skip(5); // colour map fields
    r.skip(4); // origin
    const int width = r.le16();
    const int height = r.le16();
    const int bits = r.u8();
    const uint8_t descriptor = r.u8();
    r.skip(id_length);
    if (r.failed()) {
        Log::error("Image::load(): \"%s\": truncated TGA header\n", path);
        return false;
    }
    const bool rle = type == 10 || type == 11;
    const bool gray = type == 3 || type == 11;
    if (colormap_type != 0 || !(type == 2 || type == 3 || type == 10 || type == 11) || (gray && bits != 8)
        || (!gray && bits != 24 && bits != 32)) {
        Log::error("Image::load(): \"%s\": unsupported TGA (type %d, %d bits)\n", path, type, bits);
        return false;
    }
    const int bpp = bits / 8;
    const int format = gray ? Image::FORMAT_R8 : (bpp == 4 ? Image::FORMAT_RGBA8 : Image::FORMAT_RGB8);
    Image result;
    if (!result.create2D(width, height, format))
        return false;
    const size_t count = size_t(width) * size_t(height);
    std::vector<unsigned char> raw(count * size_t(bpp));
    if (!rle) {
        if (!r.bytes(raw.data(), raw.size())) {
            Log::error("Image::load(): \"%s\": truncated TGA pixels\n", path);
            return false;
        }
    } else {
        size_t done = 0;
        while (done < count) {
            const uint8_t header = r.u8();
            const size_t n = size_t(header & 0x7f) + 1;
            if (n > count - done || r.failed()) {
                Log::error("Image::load(): \"%s\": broken TGA run\n", path);
                return false;
            }
            if (header & 0x80) {
                unsigned char value[4];
                r.bytes(value, size_t(bpp));
                for (size_t k = 0; k < n; k++)
                    std::memcpy(&raw[(done + k) * size_t(bpp)], value, size_t(bpp));
            } else {
                r.bytes(&raw[done * size_t(bpp)], n * size_t(bpp));
            }
            if (r.failed()) {
                Log::error("Image::load(): \"%s\": truncated TGA pixels\n", path);
                return false;
            }
            done += n;
        }
    }
    const bool top_down = descriptor & 0x20;
    unsigned char *dst = result.getPixels();
    for (int y = 0; y < height; y++) {
        const int src_y = top_down ? y : height - 1 - y;
        for (int x = 0; x < width; x++) {
            const unsigned char *s = &raw[(size_t(src_y) * size_t(width) + size_t(x)) * size_t(bpp)];
            unsigned char *d = dst + (size_t(y) * size_t(width) + size_t(x)) * size_t(bpp);
            if (gray) {
                d[0] = s[0];
            } else {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
                if (bpp == 4)
                    d[3] = s[3];
            }
        }
    }
    image = std::move(result);
    return true;
}

bool saveTga(const Image &image, const char *path)
{
    const int channels = byteChannelsFor(image.getFormat());
    const std::vector<unsigned char> pixels = toBytes(image, channels);
    QByteArray out;
    out.append(char(0)); // id length
    out.append(char(0)); // no colour map
    out.append(char(channels == 1 ? 3 : 2));
    out.append(QByteArray(5, '\0'));
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, uint16_t(image.getWidth()));
    putLe16(out, uint16_t(image.getHeight()));
    out.append(char(channels * 8));
    out.append(char(0x20 | (channels == 4 ? 8 : 0))); // top-left origin, alpha bits
    const size_t count = size_t(image.getWidth()) * size_t(image.getHeight());
    out.reserve(out.size() + int(count * size_t(channels)));
    for (size_t i = 0; i < count; i++) {
        const unsigned char *p = &pixels[i * size_t(channels)];
        if (channels == 1) {
            out.append(char(p[0]));
        } else {
            out.append(char(p[2]));
            out.append(char(p[1]));
            out.append(char(p[0]));
            if (channels == 4)
                out.append(char(p[3]));
        }
    }
    return writeWholeFile(path, out);
}

// ---- PSD ----

bool unpackBits(Reader &r, unsigned char *out, size_t size, size_t packed)
{
    const size_t end = r.position() + packed;
    size_t done = 0;
    while (done < size && r.position() < end) {
        const int8_t n = int8_t(r.u8());
        if (n >= 0) {
            const size_t count = size_t(n) + 1;
            if (count > size - done || !r.bytes(out + done, count))
                return false;
            done += count;
        } else if (n != -128) {
            const size_t count = size_t(1 - n);
            const uint8_t value = r.u8();
            if (count > size - done || r.failed())
                return false;
            std::memset(out + done, value, count);
            done += count;
        }
    }
    return done == size && !r.failed() && r.position() == end;
}

bool loadPsd(Image &image, const char *path)
{
    QByteArray bytes;
    if (!readWholeFile(path, bytes))
        return false;
    Reader r(bytes);
    char signature[4] = {0, 0, 0, 0};
    r.bytes(signature, 4);
    const int version = r.be16();
    r.skip(6);
    const int channels = r.be16();
    const int height = int(r.be32());
    const int width = int(r.be32());
    const int depth = r.be16();
    const int mode = r.be16();
    if (r.failed() || std::memcmp(signature, "8BPS", 4) != 0 || version != 1) {
        Log::error("Image::load(): \"%s\" is not a PSD file of version 1\n", path);
        return false;
    }
    if (depth != 8 || !((mode == 1 && channels >= 1) || (mode == 3 && channels >= 3)) || channels > 56) {
        Log::error("Image::load(): \"%s\": unsupported PSD (mode %d, %d channels, %d bits)\n", path, mode, channels,
                   depth);
        return false;
    }
    r.skip(r.be32()); // colour mode data
    r.skip(r.be32()); // image resources
    r.skip(r.be32()); // layers and masks
    const int compression = r.be16();
    if (r.failed() || (compression != 0 && compression != 1)) {
        Log::error("Image::load(): \"%s\": unsupported PSD compression\n", path);
        return false;
    }
    const int used = mode == 1 ? 1 : std::min(channels, 4);
    const int format = mode == 1 ? Image::FORMAT_R8 : (used == 4 ? Image::FORMAT_RGBA8 : Image::FORMAT_RGB8);
    Image result;
    if (!result.create2D(width, height, format))
        return false;
    const size_t plane = size_t(width) * size_t(height);
    std::vector<unsigned char> planes(plane * size_t(used));
    if (compression == 0) {
        if (!r.bytes(planes.data(), planes.size())) {
            Log::error("Image::load(): \"%s\": truncated PSD pixels\n", path);
            return false;
        }
    } else {
        std::vector<size_t> counts(size_t(channels) * size_t(height));
        for (size_t &count : counts)
            count = r.be16();
        for (int c = 0; c < used; c++) {
            for (int y = 0; y < height; y++) {
                unsigned char *row = planes.data() + size_t(c) * plane + size_t(y) * size_t(width);
                if (!unpackBits(r, row, size_t(width), counts[size_t(c) * size_t(height) + size_t(y)])) {
                    Log::error("Image::load(): \"%s\": broken PSD run data\n", path);
                    return false;
                }
            }
        }
    }
    unsigned char *dst = result.getPixels();
    for (size_t i = 0; i < plane; i++)
        for (int c = 0; c < used; c++)
            dst[i * size_t(used) + size_t(c)] = planes[size_t(c) * plane + i];
    image = std::move(result);
    return true;
}

bool savePsd(const Image &image, const char *path)
{
    const int channels = byteChannelsFor(image.getFormat());
    const std::vector<unsigned char> pixels = toBytes(image, channels);
    QByteArray out("8BPS");
    putBe16(out, 1);
    out.append(QByteArray(6, '\0'));
    putBe16(out, uint16_t(channels));
    putBe32(out, uint32_t(image.getHeight()));
    putBe32(out, uint32_t(image.getWidth()));
    putBe16(out, 8);
    putBe16(out, channels == 1 ? 1 : 3);
    putBe32(out, 0);
    putBe32(out, 0);
    putBe32(out, 0);
    putBe16(out, 0); // raw
    const size_t plane = size_t(image.getWidth()) * size_t(image.getHeight());
    for (int c = 0; c < channels; c++)
        for (size_t i = 0; i < plane; i++)
            out.append(char(pixels[i * size_t(channels) + size_t(c)]));
    return writeWholeFile(path, out);
}

// ---- DDS (DX10 header) ----

enum DxgiFormat : uint32_t {
    DXGI_R32G32B32A32_FLOAT = 2,
    DXGI_R32G32B32_FLOAT = 6,
    DXGI_R16G16B16A16_FLOAT = 10,
    DXGI_R8G8B8A8_UNORM = 28,
    DXGI_R8G8B8A8_UNORM_SRGB = 29,
    DXGI_R32_FLOAT = 41,
    DXGI_R8G8_UNORM = 49,
    DXGI_R8_UNORM = 61,
};

constexpr uint32_t DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PITCH = 0x8, DDSD_PIXELFORMAT = 0x1000,
                   DDSD_MIPMAPCOUNT = 0x20000;
constexpr uint32_t DDPF_FOURCC = 0x4;
constexpr uint32_t DDSCAPS_COMPLEX = 0x8, DDSCAPS_TEXTURE = 0x1000, DDSCAPS_MIPMAP = 0x400000;

int formatOfDxgi(uint32_t dxgi)
{
    switch (dxgi) {
    case DXGI_R8_UNORM:
        return Image::FORMAT_R8;
    case DXGI_R8G8_UNORM:
        return Image::FORMAT_RG8;
    case DXGI_R8G8B8A8_UNORM:
    case DXGI_R8G8B8A8_UNORM_SRGB:
        return Image::FORMAT_RGBA8;
    case DXGI_R32_FLOAT:
        return Image::FORMAT_R32F;
    case DXGI_R16G16B16A16_FLOAT:
        return Image::FORMAT_RGBA16F;
    case DXGI_R32G32B32_FLOAT:
        return Image::FORMAT_RGB32F;
    case DXGI_R32G32B32A32_FLOAT:
        return Image::FORMAT_RGBA32F;
    default:
        return -1;
    }
}

// The stored format of an image format: RGB8 as RGBA8, other float formats
// as RGBA16F.
int ddsFormatFor(int format, uint32_t &dxgi)
{
    switch (format) {
    case Image::FORMAT_R8:
        dxgi = DXGI_R8_UNORM;
        return format;
    case Image::FORMAT_RG8:
        dxgi = DXGI_R8G8_UNORM;
        return format;
    case Image::FORMAT_RGB8:
    case Image::FORMAT_RGBA8:
        dxgi = DXGI_R8G8B8A8_UNORM;
        return Image::FORMAT_RGBA8;
    case Image::FORMAT_R32F:
        dxgi = DXGI_R32_FLOAT;
        return format;
    default:
        dxgi = DXGI_R16G16B16A16_FLOAT;
        return Image::FORMAT_RGBA16F;
    }
}

bool loadDds(Image &image, const char *path)
{
    QByteArray bytes;
    if (!readWholeFile(path, bytes))
        return false;
    Reader r(bytes);
    char magic[4] = {0, 0, 0, 0};
    r.bytes(magic, 4);
    const uint32_t header_size = r.le32();
    r.le32(); // flags
    const int height = int(r.le32());
    const int width = int(r.le32());
    r.le32(); // pitch
    r.le32(); // depth
    const int mips = int(r.le32());
    r.skip(44);
    const uint32_t pf_size = r.le32();
    const uint32_t pf_flags = r.le32();
    char fourcc[4] = {0, 0, 0, 0};
    r.bytes(fourcc, 4);
    r.skip(20); // bit count and masks
    r.skip(20); // caps and reserved
    if (r.failed() || std::memcmp(magic, "DDS ", 4) != 0 || header_size != 124 || pf_size != 32) {
        Log::error("Image::load(): \"%s\" is not a DDS file\n", path);
        return false;
    }
    if (!(pf_flags & DDPF_FOURCC) || std::memcmp(fourcc, "DX10", 4) != 0) {
        Log::error("Image::load(): \"%s\": only DDS files with a DX10 header are supported\n", path);
        return false;
    }
    const uint32_t dxgi = r.le32();
    const uint32_t dimension = r.le32();
    r.le32(); // misc flags
    const int layers = int(r.le32());
    r.le32();
    const int format = formatOfDxgi(dxgi);
    if (r.failed() || format < 0 || dimension != 3 || layers < 1) {
        Log::error("Image::load(): \"%s\": unsupported DDS (format %u, dimension %u)\n", path, dxgi, dimension);
        return false;
    }
    Image result;
    if (!(layers == 1 ? result.create2D(width, height, format, std::max(1, mips))
                      : result.create2DArray(width, height, layers, format, std::max(1, mips))))
        return false;
    if (result.getNumMipmaps() != std::max(1, mips)) {
        Log::error("Image::load(): \"%s\": %d mip levels do not fit %dx%d\n", path, mips, width, height);
        return false;
    }
    for (int layer = 0; layer < layers; layer++) {
        for (int mip = 0; mip < result.getNumMipmaps(); mip++) {
            if (!r.bytes(result.getPixels(layer, mip), result.getSize(mip))) {
                Log::error("Image::load(): \"%s\": truncated DDS pixels\n", path);
                return false;
            }
        }
    }
    image = std::move(result);
    return true;
}

bool saveDds(const Image &source, const char *path)
{
    uint32_t dxgi = 0;
    const int stored = ddsFormatFor(source.getFormat(), dxgi);
    Image image(source);
    if (stored != image.getFormat() && !image.convertToFormat(stored))
        return false;
    QByteArray out("DDS ");
    putLe32(out, 124);
    putLe32(out,
            DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT
                    | (image.getNumMipmaps() > 1 ? DDSD_MIPMAPCOUNT : 0));
    putLe32(out, uint32_t(image.getHeight()));
    putLe32(out, uint32_t(image.getWidth()));
    putLe32(out, uint32_t(image.getWidth() * image.getPixelSize()));
    putLe32(out, 0);
    putLe32(out, uint32_t(image.getNumMipmaps()));
    out.append(QByteArray(44, '\0'));
    putLe32(out, 32);
    putLe32(out, DDPF_FOURCC);
    out.append("DX10", 4);
    out.append(QByteArray(20, '\0'));
    putLe32(out, DDSCAPS_TEXTURE | (image.getNumMipmaps() > 1 ? DDSCAPS_COMPLEX | DDSCAPS_MIPMAP : 0));
    out.append(QByteArray(16, '\0'));
    putLe32(out, dxgi);
    putLe32(out, 3); // TEXTURE2D
    putLe32(out, 0);
    putLe32(out, uint32_t(image.getNumLayers()));
    putLe32(out, 0);
    for (int layer = 0; layer < image.getNumLayers(); layer++)
        for (int mip = 0; mip < image.getNumMipmaps(); mip++)
            out.append(reinterpret_cast<const char *>(image.getPixels(layer, mip)), int(image.getSize(mip)));
    return writeWholeFile(path, out);
}

} // namespace

bool loadFile(Image &image, const char *path)
{
    const QString ext = extensionOf(path);
    if (!QFileInfo(QString::fromUtf8(path)).isFile()) {
        Log::error("Image::load(): \"%s\" does not exist\n", path);
        return false;
    }
    if (ext == QLatin1String("png") || ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return loadQt(image, path);
    if (ext == QLatin1String("tga"))
        return loadTga(image, path);
    if (ext == QLatin1String("psd"))
        return loadPsd(image, path);
    if (ext == QLatin1String("dds"))
        return loadDds(image, path);
    if (ext == QLatin1String("exr"))
        return loadExr(image, path);
    Log::error("Image::load(): \"%s\": unsupported file type \"%s\"\n", path, ext.toUtf8().constData());
    return false;
}

bool saveFile(const Image &image, const char *path)
{
    const QString ext = extensionOf(path);
    if (ext == QLatin1String("png"))
        return saveQt(image, path, "png");
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return saveQt(image, path, "jpg");
    if (ext == QLatin1String("tga"))
        return saveTga(image, path);
    if (ext == QLatin1String("psd"))
        return savePsd(image, path);
    if (ext == QLatin1String("dds"))
        return saveDds(image, path);
    if (ext == QLatin1String("exr"))
        return saveExr(image, path);
    Log::error("Image::save(): \"%s\": unsupported file type \"%s\"\n", path, ext.toUtf8().constData());
    return false;
}

} // namespace image_detail
} // namespace Velmora
