// Textures of the sample project: ground, wood, plaster, roof tiles, stone,
// glass, sky, a decal and a GUI skin. All tile where a mesh repeats them.

#include "generator.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>

namespace gen {

namespace {

constexpr int SIZE = 256;

using PixelFn = std::function<QColor(int x, int y, double u, double v)>;

QImage perPixel(int w, int h, const PixelFn &fn)
{
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = fn(x, y, (x + 0.5) / w, (y + 0.5) / h).rgba();
    }
    return image;
}

// Draws with wrap-around so that strokes crossing an edge reappear opposite.
void wrapped(QPainter &p, int size, const std::function<void()> &draw)
{
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            p.save();
            p.translate(dx * size, dy * size);
            draw();
            p.restore();
        }
    }
}

uint32_t cellHash(int a, int b, uint32_t salt)
{
    uint32_t h = uint32_t(a) * 73856093u ^ uint32_t(b) * 19349663u ^ salt * 83492791u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    return h;
}

double cellRandom(int a, int b, uint32_t salt)
{
    return (cellHash(a, b, salt) & 0xffff) / 65535.0;
}

QImage grass()
{
    const Noise n(11, 4), fine(12, 16);
    QImage image = perPixel(SIZE, SIZE, [&](int, int, double u, double v) {
        const double t = n.fbm(u, v, 4);
        const double f = fine.fbm(u, v, 2);
        const QColor base = mix(rgbF(0.16, 0.27, 0.09), rgbF(0.36, 0.50, 0.17), t * 1.2 - 0.1);
        return shade(mix(base, rgbF(0.42, 0.42, 0.20), std::max(0.0, n.at(u, v, 2) - 0.62) * 2.0), 0.85 + 0.3 * f);
    });
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    Random r(7);
    for (int i = 0; i < 1600; ++i) {
        const QPointF a(r.uniform(0, SIZE), r.uniform(0, SIZE));
        const double angle = r.uniform(-0.6, 0.6) - M_PI / 2;
        const double len = r.uniform(3, 9);
        const QPointF b = a + QPointF(std::cos(angle) * len, std::sin(angle) * len);
        const bool light = r.next() % 3 == 0;
        const QColor c = light ? rgbF(0.48, 0.62, 0.24, 0.55) : rgbF(0.10, 0.19, 0.06, 0.45);
        wrapped(p, SIZE, [&] {
            p.setPen(QPen(c, r.uniform(0.8, 1.4), Qt::SolidLine, Qt::RoundCap));
            p.drawLine(a, b);
        });
    }
    return image;
}

QImage gravel()
{
    const Noise n(21, 4);
    QImage image = perPixel(SIZE, SIZE, [&](int, int, double u, double v) {
        return shade(rgbF(0.43, 0.38, 0.31), 0.8 + 0.35 * n.fbm(u, v, 5));
    });
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    Random r(9);
    for (int i = 0; i < 900; ++i) {
        const QPointF c(r.uniform(0, SIZE), r.uniform(0, SIZE));
        const double rx = r.uniform(1.5, 4.5), ry = rx * r.uniform(0.6, 1.0);
        const double g = r.uniform(0.38, 0.72);
        const QColor stone = rgbF(g, g * 0.96, g * 0.9);
        const double rot = r.uniform(0, 180);
        wrapped(p, SIZE, [&] {
            p.save();
            p.translate(c);
            p.rotate(rot);
            p.setPen(Qt::NoPen);
            p.setBrush(rgbF(0.1, 0.08, 0.06, 0.35));
            p.drawEllipse(QPointF(0.8, 0.8), rx, ry);
            p.setBrush(stone);
            p.drawEllipse(QPointF(0, 0), rx, ry);
            p.setBrush(rgbF(1, 1, 1, 0.18));
            p.drawEllipse(QPointF(-rx * 0.3, -ry * 0.3), rx * 0.4, ry * 0.35);
            p.restore();
        });
    }
    return image;
}

// Wood grain: stripes along one axis, bent by noise. along_x: the grain runs
// along x (horizontal planks).
double woodGrain(const Noise &n, double u, double v, bool along_x)
{
    const double g = n.fbm(u, v, 4);
    const double across = along_x ? v : u;
    return 0.5 + 0.5 * std::sin(2 * M_PI * (across * 28 + g * 3.5));
}

QImage crate(bool painted)
{
    const Noise n(31, 4), wear(37, 4);
    const QColor wood = rgbF(0.60, 0.41, 0.22);
    const QColor paint = rgbF(0.27, 0.40, 0.52);
    const int frame = 22;
    QImage image = perPixel(SIZE, SIZE, [&](int x, int y, double u, double v) {
        const bool in_frame = x < frame || x >= SIZE - frame || y < frame || y >= SIZE - frame;
        const double diagonal = std::abs(x + y - SIZE) / std::sqrt(2.0);
        const bool in_brace = !in_frame && diagonal < 15;
        bool along_x = true;
        double tone = 1.0;
        if (in_frame) {
            along_x = y < frame || y >= SIZE - frame;
            tone = 0.86;
        } else if (in_brace) {
            tone = 0.93;
            along_x = false;
        }
        double grain = woodGrain(n, u + (in_brace ? v : 0), v, along_x);
        QColor c = shade(wood, tone * (0.78 + 0.3 * grain));
        if (painted && wear.fbm(u, v, 5) < 0.58)
            c = shade(paint, tone * (0.9 + 0.12 * grain));
        // Gaps between the planks of the panel and edges of frame and brace.
        if (!in_frame && !in_brace && (y - frame) % 53 < 2)
            c = shade(c, 0.35);
        const int edge = std::min({x, y, SIZE - 1 - x, SIZE - 1 - y});
        if (edge < 2 || (edge >= frame - 2 && edge < frame))
            c = shade(c, 0.45);
        if (!in_frame && std::abs(diagonal - 15) < 1.5)
            c = shade(c, 0.5);
        return c;
    });
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (const QPointF nail : {QPointF(11, 11), QPointF(SIZE - 11, 11), QPointF(11, SIZE - 11),
                               QPointF(SIZE - 11, SIZE - 11), QPointF(SIZE / 2.0, 11), QPointF(SIZE / 2.0, SIZE - 11),
                               QPointF(11, SIZE / 2.0), QPointF(SIZE - 11, SIZE / 2.0)}) {
        p.setPen(Qt::NoPen);
        p.setBrush(rgbF(0.16, 0.15, 0.14));
        p.drawEllipse(nail, 3.4, 3.4);
        p.setBrush(rgbF(0.62, 0.62, 0.60));
        p.drawEllipse(nail - QPointF(0.8, 0.8), 1.3, 1.3);
    }
    return image;
}

QImage plaster()
{
    const Noise n(41, 4), fine(43, 32);
    return perPixel(SIZE, SIZE, [&](int x, int y, double u, double v) {
        double t = 0.9 + 0.12 * n.fbm(u, v, 5) + 0.05 * (fine.at(u, v, 64) - 0.5);
        if (cellRandom(x, y, 5) > 0.995)
            t *= 0.85;
        return shade(rgbF(0.88, 0.84, 0.76), t);
    });
}

QImage roofTiles()
{
    const Noise n(51, 8);
    const int row_h = 32, tile_w = 32;
    return perPixel(SIZE, SIZE, [&](int x, int y, double u, double v) {
        const int row = y / row_h;
        const int shifted = (x + (row % 2) * tile_w / 2) % SIZE;
        const int col = shifted / tile_w;
        const double ty = (y % row_h) / double(row_h);
        const double tx = (shifted % tile_w) / double(tile_w);
        const double variation = 0.85 + 0.3 * cellRandom(col, row, 3);
        double t = (0.62 + 0.45 * ty) * (0.86 + 0.14 * std::sin(M_PI * tx)) * variation;
        t *= 0.9 + 0.2 * n.fbm(u, v, 3);
        QColor c = shade(rgbF(0.60, 0.27, 0.16), t);
        if (tx < 0.04 || ty > 0.94)
            c = shade(c, 0.5);
        return c;
    });
}

QImage woodPlanks()
{
    const Noise n(61, 4);
    return perPixel(SIZE, SIZE, [&](int x, int, double u, double v) {
        const int plank = x / 64;
        const double grain = woodGrain(n, u, v + plank * 0.37, false);
        QColor c = shade(rgbF(0.50, 0.34, 0.20), (0.75 + 0.3 * grain) * (0.9 + 0.2 * cellRandom(plank, 0, 8)));
        if (x % 64 < 2)
            c = shade(c, 0.4);
        return c;
    });
}

QImage stone()
{
    const Noise n(71, 8);
    const int row_h = 32;
    return perPixel(SIZE, SIZE, [&](int x, int y, double u, double v) {
        const int row = y / row_h;
        const int offset = (row % 2) * 37;
        const int sx = (x + offset) % SIZE;
        const int block = sx / 64;
        const int bx = sx % 64, by = y % row_h;
        const int edge = std::min({bx, 63 - bx, by, row_h - 1 - by});
        const double variation = 0.82 + 0.3 * cellRandom(block, row, 4);
        if (edge < 2)
            return shade(rgbF(0.40, 0.38, 0.35), 0.85 + 0.2 * n.at(u, v, 32));
        double t = variation * (0.78 + 0.35 * n.fbm(u, v, 5));
        if (edge < 5)
            t *= 0.78 + 0.05 * edge;
        return shade(rgbF(0.58, 0.56, 0.52), t);
    });
}

QImage window()
{
    const int s = 128;
    QImage image = newImage(s, s);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient glass(0, 0, s, s);
    glass.setColorAt(0, rgbF(0.30, 0.40, 0.50));
    glass.setColorAt(1, rgbF(0.08, 0.12, 0.18));
    p.fillRect(image.rect(), glass);
    p.setPen(Qt::NoPen);
    p.setBrush(rgbF(1, 1, 1, 0.12));
    p.drawPolygon(QPolygonF({QPointF(20, s), QPointF(60, s), QPointF(s, 60), QPointF(s, 20)}));
    const QColor frame = rgbF(0.90, 0.88, 0.82);
    p.fillRect(QRect(0, 0, s, 10), frame);
    p.fillRect(QRect(0, s - 10, s, 10), frame);
    p.fillRect(QRect(0, 0, 10, s), frame);
    p.fillRect(QRect(s - 10, 0, 10, s), frame);
    p.fillRect(QRect(s / 2 - 4, 0, 8, s), frame);
    p.fillRect(QRect(0, s / 2 - 4, s, 8), frame);
    return image;
}

QImage sky()
{
    return perPixel(256, 128, [&](int, int y, double, double) {
        const double t = y / 127.0;
        if (t < 0.5)
            return mix(rgbF(0.36, 0.55, 0.82), rgbF(0.78, 0.85, 0.92), std::pow(t / 0.5, 1.6));
        return mix(rgbF(0.55, 0.52, 0.46), rgbF(0.28, 0.25, 0.21), (t - 0.5) / 0.5);
    });
}

// A stencilled "this way up" mark for crates.
QImage crateDecal()
{
    QImage image = newImage(64, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(245, 240, 230, 230);
    p.setPen(QPen(ink, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 27, 27);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(QPolygonF({QPointF(32, 11), QPointF(46, 29), QPointF(37, 29), QPointF(37, 50), QPointF(27, 50),
                             QPointF(27, 29), QPointF(18, 29)}));
    return image;
}

// The in-game GUI skin: button states, a panel and a slider in one sheet.
QImage guiSkin()
{
    QImage image = newImage(128, 128);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fills[] = {palette::PANEL, QColor(0x2f, 0x6f, 0xb8), palette::ACCENT_DARK};
    for (int i = 0; i < 3; ++i) {
        const QRectF r(4.5, 4.5 + i * 24, 119, 19);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, shade(fills[i], 1.25));
        g.setColorAt(1, fills[i]);
        p.setPen(QPen(i == 0 ? QColor(0x4a, 0x52, 0x5d) : palette::ACCENT_LIGHT, 1));
        p.setBrush(g);
        p.drawRoundedRect(r, 4, 4);
    }
    const QRectF panel(4.5, 78.5, 71, 45);
    p.setPen(QPen(QColor(0x4a, 0x52, 0x5d), 1));
    p.setBrush(QColor(0x1d, 0x21, 0x27, 230));
    p.drawRoundedRect(panel, 5, 5);
    p.fillRect(QRectF(5, 79, 70, 10), QColor(0x3b, 0x8e, 0xea, 160));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x52, 0x5d));
    p.drawRoundedRect(QRectF(82, 98, 42, 6), 3, 3);
    p.setBrush(palette::ACCENT_LIGHT);
    p.drawEllipse(QPointF(98, 101), 6, 6);
    return image;
}

} // namespace

bool writeSampleTextures(const QString &data)
{
    const QString t = data + QStringLiteral("/textures/");
    bool ok = saveImage(grass(), t + QStringLiteral("grass.png"));
    ok = saveImage(gravel(), t + QStringLiteral("gravel.png")) && ok;
    ok = saveImage(crate(false), t + QStringLiteral("crate.png")) && ok;
    ok = saveImage(crate(true), t + QStringLiteral("crate_painted.png")) && ok;
    ok = saveImage(plaster(), t + QStringLiteral("plaster.jpg"), 90) && ok;
    ok = saveImage(roofTiles(), t + QStringLiteral("roof_tiles.png")) && ok;
    ok = saveImage(woodPlanks(), t + QStringLiteral("wood_planks.png")) && ok;
    ok = saveTga(stone(), t + QStringLiteral("stone_blocks.tga")) && ok;
    ok = saveImage(window(), t + QStringLiteral("window.png")) && ok;
    ok = saveImage(sky(), t + QStringLiteral("sky.jpg"), 92) && ok;
    ok = savePsd(crateDecal(), t + QStringLiteral("crate_decal.psd")) && ok;
    ok = saveImage(guiSkin(), data + QStringLiteral("/gui/sample_skin/sample_skin.png")) && ok;
    return ok;
}

} // namespace gen
