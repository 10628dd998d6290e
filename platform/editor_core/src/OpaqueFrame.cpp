#include "OpaqueFrame.h"

#include <QPainter>

#include <cstdint>

namespace {

// Row by row into dst (Format_RGB32, same size): colour kept, alpha dropped.
void copyOpaque(const QImage &src, QImage &dst)
{
    const int width = src.width();
    for (int y = 0; y < src.height(); ++y) {
        auto *out = reinterpret_cast<uint32_t *>(dst.scanLine(y));
        if (src.format() == QImage::Format_RGBA8888) {
            const uchar *in = src.constScanLine(y);
            for (int x = 0; x < width; ++x, in += 4)
                out[x] = 0xff000000u | (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8) | in[2];
        } else {
            const auto *in = reinterpret_cast<const uint32_t *>(src.constScanLine(y));
            for (int x = 0; x < width; ++x)
                out[x] = in[x] | 0xff000000u;
        }
    }
}

} // namespace

const QImage &OpaqueFrame::convert(const QImage &frame)
{
    if (!frame.hasAlphaChannel())
        return frame;
    if (frame.cacheKey() == source_key_ && !opaque_.isNull())
        return opaque_;
    const QImage::Format format = frame.format();
    if (format == QImage::Format_RGBA8888 || format == QImage::Format_ARGB32) {
        if (opaque_.size() != frame.size() || opaque_.format() != QImage::Format_RGB32)
            opaque_ = QImage(frame.size(), QImage::Format_RGB32);
        copyOpaque(frame, opaque_);
    } else {
        opaque_ = frame.convertToFormat(QImage::Format_RGB32);
    }
    source_key_ = frame.cacheKey();
    return opaque_;
}

void OpaqueFrame::draw(QPainter &painter, const QRect &target, const QImage &frame)
{
    painter.drawImage(target, convert(frame));
}
