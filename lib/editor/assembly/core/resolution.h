#pragma once

#include <QMetaType>
#include <QSize>
#include <QString>
#include <QVector>

namespace assembly {

// A screen resolution as an aspect ratio (width = numerator, height =
// denominator) and a width in pixels; the height follows from both.
struct Resolution
{
    QSize ratio;
    int width = 0;

    // width * denominator / numerator, truncated; 0 when the numerator is 0.
    int height() const;

    bool operator==(const Resolution &other) const { return ratio == other.ratio && width == other.width; }
    bool operator!=(const Resolution &other) const { return !(*this == other); }
};

// "1920x1080 [16:9]".
QString resolutionLabel(const Resolution &resolution);

// The 21 standard resolutions: 16:9, 16:10, 4:3 and 5:4, each with its
// widths in ascending order. The table is built once per process.
QVector<Resolution> aspectRatios();

// Registers assembly::Resolution as a Qt meta-type (repeat calls are harmless).
void registerResolutionMetaType();

} // namespace assembly

Q_DECLARE_METATYPE(assembly::Resolution)
