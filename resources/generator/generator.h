#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <cstdint>

class QPainter;
class QPointF;

namespace gen {

// House colours of the editor's artwork: a dark neutral base and one blue accent.
namespace palette {
const QColor BASE_DARK(0x12, 0x15, 0x1a);
const QColor BASE(0x1d, 0x21, 0x27);
const QColor PANEL(0x26, 0x2b, 0x32);
const QColor TEXT(0xe6, 0xe9, 0xed);
const QColor TEXT_DIM(0x9a, 0xa3, 0xad);
const QColor ACCENT(0x3b, 0x8e, 0xea);
const QColor ACCENT_LIGHT(0x7c, 0xbc, 0xff);
const QColor ACCENT_DARK(0x1e, 0x5c, 0xa6);
const QColor GREEN(0x7c, 0xad, 0x53);
const QColor GREEN_DARK(0x3f, 0x63, 0x28);
} // namespace palette

// Output helpers: each logs what it wrote and returns false on failure.
bool ensureFolder(const QString &path);
bool saveImage(const QImage &image, const QString &path, int quality = -1);
bool saveTga(const QImage &image, const QString &path);
bool savePsd(const QImage &image, const QString &path);
bool saveText(const QString &text, const QString &path);

QImage newImage(int width, int height, const QColor &fill = Qt::transparent);

// The product mark: an isometric cube of three blue faces, centred at c,
// `radius` from the centre to a corner.
void drawCubeMark(QPainter &p, const QPointF &c, double radius, const QColor &gap);

// Deterministic, tileable value noise in [0, 1].
class Noise
{
public:
    explicit Noise(uint32_t seed, int period = 8)
        : seed_(seed)
        , period_(period)
    {}
    // period: lattice cells across one tile of the first octave.
    double at(double u, double v, int octave_period) const;
    // u, v in [0, 1) tile coordinates.
    double fbm(double u, double v, int octaves) const;

private:
    double lattice(int x, int y, int period) const;
    uint32_t seed_;
    int period_;
};

// Small deterministic random generator (xorshift).
class Random
{
public:
    explicit Random(uint32_t seed)
        : state_(seed ? seed : 0x9e3779b9u)
    {}
    uint32_t next();
    double uniform(double lo, double hi);

private:
    uint32_t state_;
};

QColor mix(const QColor &a, const QColor &b, double t);
QColor shade(const QColor &c, double factor);
QColor rgbF(double r, double g, double b, double a = 1.0);

bool writeEditorImages(const QString &images_dir);
bool writeEngineData(const QString &engine_data_dir);
bool writeSampleTextures(const QString &data_dir);
bool writeSampleMeshes(const QString &data_dir);

} // namespace gen
