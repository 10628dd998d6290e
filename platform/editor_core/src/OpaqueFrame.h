#pragma once

#include <QImage>

class QPainter;
class QRect;

// Engine frames carry coverage in alpha (0 on the sky); on screen they are
// opaque. Keeps the opaque copy of the frame drawn last in one buffer that
// is made again only when the frame's size changes, and converts a frame
// once however often it is painted.
class OpaqueFrame
{
public:
    void draw(QPainter &painter, const QRect &target, const QImage &frame);
    // The opaque copy of frame (frame itself when it has no alpha).
    const QImage &convert(const QImage &frame);

private:
    QImage opaque_;
    qint64 source_key_ = 0;
};
