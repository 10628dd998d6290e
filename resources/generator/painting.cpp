// Shared output and drawing helpers of the generator.

#include "generator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QtEndian>

#include <cmath>
#include <cstdio>

namespace gen {

bool ensureFolder(const QString &path)
{
    if (QDir().mkpath(path))
        return true;
    std::fprintf(stderr, "cannot create folder %s\n", qPrintable(path));
    return false;
}

static bool writeBytes(const QByteArray &bytes, const QString &path)
{
    if (!ensureFolder(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(QDir::cleanPath(path)));
    return true;
}

bool saveImage(const QImage &image, const QString &path, int quality)
{
    if (!ensureFolder(QFileInfo(path).absolutePath()))
        return false;
    const bool opaque = !image.hasAlphaChannel() || path.endsWith(QLatin1String(".jpg"));
    const QImage out = image.convertToFormat(opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    const QByteArray format = QFileInfo(path).suffix().toLatin1();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !out.save(&file, format.constData(), quality) || !file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s (%dx%d)\n", qPrintable(QDir::cleanPath(path)), image.width(), image.height());
    return true;
}

// Uncompressed true-colour TGA (type 2), 32 bits BGRA, top-left origin.
bool saveTga(const QImage &image, const QString &path)
{
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = char(src.width() & 0xff);
    bytes[13] = char(src.width() >> 8);
    bytes[14] = char(src.height() & 0xff);
    bytes[15] = char(src.height() >> 8);
    bytes[16] = 32;
    bytes[17] = char(0x20 | 8); // top-left origin, 8 alpha bits
    for (int y = 0; y < src.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            bytes.append(char(qBlue(row[x])));
            bytes.append(char(qGreen(row[x])));
            bytes.append(char(qRed(row[x])));
            bytes.append(char(qAlpha(row[x])));
        }
    }
    return writeBytes(bytes, path);
}

static void appendBe16(QByteArray &b, quint16 v)
{
    b.append(char(v >> 8));
    b.append(char(v & 0xff));
}

static void appendBe32(QByteArray &b, quint32 v)
{
    appendBe16(b, quint16(v >> 16));
    appendBe16(b, quint16(v & 0xffff));
}

// Version 1 PSD, raw image data, 8 bits, RGB with alpha as a fourth channel.
bool savePsd(const QImage &image, const QString &path)
{
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray b("8BPS");
    appendBe16(b, 1);
    b.append(QByteArray(6, '\0'));
    appendBe16(b, 4);
    appendBe32(b, quint32(src.height()));
    appendBe32(b, quint32(src.width()));
    appendBe16(b, 8);
    appendBe16(b, 3);
    appendBe32(b, 0); // colour mode data
    appendBe32(b, 0); // image resources
    appendBe32(b, 0); // layer and mask information
    appendBe16(b, 0); // raw data
    for (int channel = 0; channel < 4; ++channel) {
        for (int y = 0; y < src.height(); ++y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(src.constScanLine(y));
            for (int x = 0; x < src.width(); ++x) {
                const QRgb c = row[x];
                const int v = channel == 0 ? qRed(c) : channel == 1 ? qGreen(c) : channel == 2 ? qBlue(c) : qAlpha(c);
                b.append(char(v));
            }
        }
    }
    return writeBytes(b, path);
}

bool saveText(const QString &text, const QString &path)
{
    return writeBytes(text.toUtf8(), path);
}

QImage newImage(int width, int height, const QColor &fill)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void drawCubeMark(QPainter &p, const QPointF &c, double r, const QColor &gap)
{
    const double s = std::sqrt(3.0) / 2.0 * r;
    const QPointF top(c.x(), c.y() - r), bottom(c.x(), c.y() + r);
    const QPointF upper_left(c.x() - s, c.y() - r / 2), upper_right(c.x() + s, c.y() - r / 2);
    const QPointF lower_left(c.x() - s, c.y() + r / 2), lower_right(c.x() + s, c.y() + r / 2);

    auto face = [&](std::initializer_list<QPointF> pts, const QColor &a, const QColor &b) {
        QPainterPath path;
        auto it = pts.begin();
        path.moveTo(*it);
        for (++it; it != pts.end(); ++it)
            path.lineTo(*it);
        path.closeSubpath();
        const QRectF box = path.boundingRect();
        QLinearGradient g(box.topLeft(), box.bottomRight());
        g.setColorAt(0, a);
        g.setColorAt(1, b);
        p.fillPath(path, g);
        p.strokePath(path, QPen(gap, std::max(1.0, r * 0.07), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    };
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    face({top, upper_right, c, upper_left}, palette::ACCENT_LIGHT, QColor(0x9c, 0xd0, 0xff));
    face({upper_left, c, bottom, lower_left}, palette::ACCENT, QColor(0x2f, 0x7c, 0xd6));
    face({c, upper_right, lower_right, bottom}, QColor(0x24, 0x6b, 0xbf), palette::ACCENT_DARK);
    p.restore();
}

static uint32_t hash3(uint32_t a, uint32_t b, uint32_t c)
{
    uint32_t h = a * 0x8da6b343u ^ b * 0xd8163841u ^ c * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

double Noise::lattice(int x, int y, int period) const
{
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
    return (hash3(uint32_t(x), uint32_t(y), seed_ + uint32_t(period)) & 0xffffff) / double(0xffffff);
}

double Noise::at(double u, double v, int period) const
{
    const double x = u * period, y = v * period;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    double fx = x - x0, fy = y - y0;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    const double a = lattice(x0, y0, period), b = lattice(x0 + 1, y0, period);
    const double c = lattice(x0, y0 + 1, period), d = lattice(x0 + 1, y0 + 1, period);
    return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
}

double Noise::fbm(double u, double v, int octaves) const
{
    double sum = 0, amplitude = 0.5, total = 0;
    int period = period_;
    for (int i = 0; i < octaves; ++i) {
        sum += at(u, v, period) * amplitude;
        total += amplitude;
        amplitude *= 0.5;
        period *= 2;
    }
    return sum / total;
}

uint32_t Random::next()
{
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

double Random::uniform(double lo, double hi)
{
    return lo + (hi - lo) * ((next() & 0xffffff) / double(0x1000000));
}

QColor mix(const QColor &a, const QColor &b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

QColor shade(const QColor &c, double factor)
{
    return QColor::fromRgbF(std::clamp(c.redF() * factor, 0.0, 1.0), std::clamp(c.greenF() * factor, 0.0, 1.0),
                            std::clamp(c.blueF() * factor, 0.0, 1.0), c.alphaF());
}

QColor rgbF(double r, double g, double b, double a)
{
    return QColor::fromRgbF(std::clamp(r, 0.0, 1.0), std::clamp(g, 0.0, 1.0), std::clamp(b, 0.0, 1.0),
                            std::clamp(a, 0.0, 1.0));
}

} // namespace gen
