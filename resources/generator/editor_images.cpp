// The editor's compiled-in images: icon, splash background, About logo,
// Help window buttons, the busy spinner strip, and the engine's node icons.

#include "generator.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cmath>

namespace gen {

namespace {

QFont font(const QString &family, double pixel_size, double letter_spacing = 0, int weight = QFont::Normal)
{
    QFont f(family);
    f.setPixelSize(int(std::lround(pixel_size)));
    f.setWeight(weight);
    f.setLetterSpacing(QFont::AbsoluteSpacing, letter_spacing);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QPainterPath polygonPath(std::initializer_list<QPointF> pts, bool closed = true)
{
    QPainterPath path;
    auto it = pts.begin();
    path.moveTo(*it);
    for (++it; it != pts.end(); ++it)
        path.lineTo(*it);
    if (closed)
        path.closeSubpath();
    return path;
}

void drawWireCube(QPainter &p, const QPointF &c, double r, const QPen &pen)
{
    const double s = std::sqrt(3.0) / 2.0 * r;
    const QPointF top(c.x(), c.y() - r), bottom(c.x(), c.y() + r);
    const QPointF ul(c.x() - s, c.y() - r / 2), ur(c.x() + s, c.y() - r / 2);
    const QPointF ll(c.x() - s, c.y() + r / 2), lr(c.x() + s, c.y() + r / 2);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(polygonPath({top, ur, lr, bottom, ll, ul}));
    p.drawLine(c, ul);
    p.drawLine(c, ur);
    p.drawLine(c, bottom);
}

QImage editorIcon()
{
    QImage image = newImage(256, 256);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card(12, 12, 232, 232);
    QLinearGradient bg(card.topLeft(), card.bottomLeft());
    bg.setColorAt(0, QColor(0x2b, 0x31, 0x3a));
    bg.setColorAt(1, QColor(0x14, 0x17, 0x1c));
    p.setPen(QPen(QColor(0x44, 0x4c, 0x57), 2));
    p.setBrush(bg);
    p.drawRoundedRect(card, 52, 52);

    QRadialGradient glow(QPointF(128, 140), 110);
    glow.setColorAt(0, QColor(0x3b, 0x8e, 0xea, 90));
    glow.setColorAt(1, QColor(0x3b, 0x8e, 0xea, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawRoundedRect(card, 52, 52);

    drawCubeMark(p, QPointF(128, 130), 78, QColor(0x1c, 0x20, 0x26));
    return image;
}

QImage splash()
{
    QImage image = newImage(960, 540, palette::BASE_DARK);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient bg(0, 0, 0, 540);
    bg.setColorAt(0, QColor(0x1a, 0x1f, 0x27));
    bg.setColorAt(0.55, QColor(0x13, 0x17, 0x1d));
    bg.setColorAt(1, QColor(0x0c, 0x0e, 0x12));
    p.fillRect(image.rect(), bg);
    QRadialGradient glow(QPointF(260, 200), 520);
    glow.setColorAt(0, QColor(0x3b, 0x8e, 0xea, 48));
    glow.setColorAt(1, QColor(0x3b, 0x8e, 0xea, 0));
    p.fillRect(image.rect(), glow);

    // A floor grid running to a horizon behind the text area.
    const double horizon = 322, vx = 560;
    p.save();
    p.setClipRect(QRectF(0, horizon, 960, 540 - horizon));
    for (int i = -24; i <= 24; ++i) {
        const double x_bottom = vx + i * 90.0;
        QLinearGradient fade(0, horizon, 0, 540);
        fade.setColorAt(0, QColor(0x3b, 0x8e, 0xea, 0));
        fade.setColorAt(1, QColor(0x3b, 0x8e, 0xea, 46));
        p.setPen(QPen(QBrush(fade), 1));
        p.drawLine(QPointF(vx, horizon), QPointF(x_bottom, 540 + 40));
    }
    for (int k = 1; k < 14; ++k) {
        const double y = horizon + 2.2 * k * k;
        if (y > 540)
            break;
        p.setPen(QPen(QColor(0x3b, 0x8e, 0xea, int(std::min(30.0, 4.0 + k * 2.2))), 1));
        p.drawLine(QPointF(0, y), QPointF(960, y));
    }
    p.restore();
    // Keep the status lines legible over the grid.
    QLinearGradient band(0, 380, 0, 540);
    band.setColorAt(0, QColor(0x0c, 0x0e, 0x12, 0));
    band.setColorAt(0.3, QColor(0x0c, 0x0e, 0x12, 150));
    band.setColorAt(1, QColor(0x0c, 0x0e, 0x12, 190));
    p.fillRect(QRectF(0, 380, 960, 160), band);

    // Faint outlines in the upper right corner.
    drawWireCube(p, QPointF(840, 118), 150, QPen(QColor(0x7c, 0xbc, 0xff, 22), 1.5));
    drawWireCube(p, QPointF(870, 262), 58, QPen(QColor(0x7c, 0xbc, 0xff, 40), 1.5));
    drawWireCube(p, QPointF(760, 300), 26, QPen(QColor(0x7c, 0xbc, 0xff, 55), 1.2));

    // Mark and word mark; the version line sits right under the rule.
    drawCubeMark(p, QPointF(228, 205), 40, QColor(0x15, 0x19, 0x1f));
    p.setPen(palette::TEXT);
    p.setFont(font(QStringLiteral("Roboto Light"), 74, 12, QFont::Light));
    p.drawText(QPointF(286, 232), QStringLiteral("VELMORA"));
    p.setPen(palette::ACCENT_LIGHT);
    p.setFont(font(QStringLiteral("Roboto"), 15, 7));
    p.drawText(QPointF(290, 258), QStringLiteral("EDITOR"));
    QLinearGradient rule(290, 0, 731, 0);
    rule.setColorAt(0, QColor(0x3b, 0x8e, 0xea, 0));
    rule.setColorAt(0.4, QColor(0x3b, 0x8e, 0xea, 150));
    rule.setColorAt(1, QColor(0x7c, 0xbc, 0xff, 220));
    p.fillRect(QRectF(290, 268, 441, 1.5), rule);

    // Hairline above the status area.
    QLinearGradient line(188, 0, 898, 0);
    line.setColorAt(0, QColor(0x3b, 0x8e, 0xea, 170));
    line.setColorAt(1, QColor(0x3b, 0x8e, 0xea, 0));
    p.fillRect(QRectF(188, 396, 710, 1), line);
    return image;
}

QImage aboutLogo()
{
    QImage image = newImage(297, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawCubeMark(p, QPointF(26, 24), 21, QColor(0x1d, 0x21, 0x27));

    const QFont word = font(QStringLiteral("Roboto Light"), 31, 4, QFont::Light);
    const QFont number = font(QStringLiteral("Roboto"), 31, 0);
    const QFontMetricsF wm(word);
    const double baseline = 24 + wm.capHeight() / 2;
    p.setFont(word);
    p.setPen(palette::TEXT);
    p.drawText(QPointF(60, baseline), QStringLiteral("VELMORA"));
    p.setFont(number);
    p.setPen(palette::ACCENT_LIGHT);
    p.drawText(QPointF(60 + wm.horizontalAdvance(QStringLiteral("VELMORA")) + 10, baseline), QStringLiteral("2"));
    return image;
}

enum class HelpIcon { Start, Video, Docs, Forum };

void drawHelpIcon(QPainter &p, HelpIcon icon)
{
    const QColor line(255, 255, 255, 240);
    const QColor fill(255, 255, 255, 46);
    p.setPen(QPen(line, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    switch (icon) {
    case HelpIcon::Start: {
        p.save();
        p.rotate(45);
        QPainterPath body;
        body.moveTo(0, -44);
        body.cubicTo(12, -34, 16, -18, 15, -2);
        body.lineTo(15, 22);
        body.lineTo(-15, 22);
        body.lineTo(-15, -2);
        body.cubicTo(-16, -18, -12, -34, 0, -44);
        p.drawPath(polygonPath({{-15, 4}, {-29, 22}, {-29, 30}, {-15, 22}}));
        p.drawPath(polygonPath({{15, 4}, {29, 22}, {29, 30}, {15, 22}}));
        p.drawPath(body);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(0, -10), 7, 7);
        p.setBrush(QColor(0x7c, 0xbc, 0xff, 0));
        p.drawPath(polygonPath({{-8, 28}, {0, 44}, {8, 28}}, false));
        p.restore();
        break;
    }
    case HelpIcon::Video:
        p.drawRoundedRect(QRectF(-44, -32, 88, 60), 8, 8);
        p.setBrush(line);
        p.setPen(QPen(line, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(polygonPath({{-10, -15}, {-10, 13}, {15, -1}}));
        p.setPen(QPen(line, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(-22, 42), QPointF(22, 42));
        break;
    case HelpIcon::Docs:
        p.drawPath(polygonPath({{-30, -42}, {14, -42}, {30, -26}, {30, 42}, {-30, 42}}));
        p.setBrush(Qt::NoBrush);
        p.drawPath(polygonPath({{14, -42}, {14, -26}, {30, -26}}, false));
        for (int i = 0; i < 4; ++i) {
            const double y = -10 + i * 13;
            p.drawLine(QPointF(-17, y), QPointF(i == 3 ? 4 : 17, y));
        }
        break;
    case HelpIcon::Forum: {
        QPainterPath front;
        front.addRoundedRect(QRectF(-46, -38, 60, 42), 10, 10);
        front.moveTo(-34, 3);
        front.lineTo(-40, 18);
        front.lineTo(-20, 3);
        front = front.simplified();
        QPainterPath back;
        back.addRoundedRect(QRectF(-6, -8, 52, 38), 10, 10);
        back.moveTo(30, 29);
        back.lineTo(38, 42);
        back.lineTo(20, 29);
        back = back.simplified();
        // The front bubble hides the part of the back one behind it.
        QPainterPathStroker stroker;
        stroker.setWidth(14);
        QPainterPath visible;
        visible.addRect(QRectF(-60, -60, 120, 120));
        p.save();
        p.setClipPath(visible.subtracted(front.united(stroker.createStroke(front))));
        p.setBrush(QColor(255, 255, 255, 80));
        p.drawPath(back);
        p.restore();
        p.setBrush(QColor(255, 255, 255, 30));
        p.drawPath(front);
        p.setPen(Qt::NoPen);
        p.setBrush(line);
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QPointF(-30 + i * 14, -17), 4, 4);
        break;
    }
    }
}

QImage helpButton(HelpIcon icon, bool hover)
{
    QImage image = newImage(220, 320);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card(0.5, 0.5, 219, 319);
    const QColor top = hover ? QColor(0x86, 0xb9, 0x5c) : QColor(0x35, 0x86, 0xdf);
    const QColor bottom = hover ? QColor(0x2e, 0x4b, 0x1f) : QColor(0x15, 0x36, 0x61);
    QLinearGradient bg(0, 0, 0, 320);
    bg.setColorAt(0, top);
    bg.setColorAt(1, bottom);
    p.setPen(QPen(hover ? QColor(0xa9, 0xd3, 0x85, 200) : QColor(0x6e, 0xaf, 0xf5, 150), 1));
    p.setBrush(bg);
    p.drawRoundedRect(card, 10, 10);

    // A soft sheen across the picture half, and a darker text half.
    p.setPen(Qt::NoPen);
    QLinearGradient sheen(0, 0, 220, 170);
    sheen.setColorAt(0, QColor(255, 255, 255, 38));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(sheen);
    p.drawPath(polygonPath({{1, 1}, {219, 1}, {1, 150}}));
    QPainterPath card_path;
    card_path.addRoundedRect(card, 10, 10);
    p.save();
    p.setClipPath(card_path);
    p.fillRect(QRectF(0, 168, 220, 152), QColor(0, 0, 0, 70));
    p.restore();
    p.fillRect(QRectF(16, 168, 188, 1), QColor(255, 255, 255, 60));

    p.translate(110, 88);
    drawHelpIcon(p, icon);
    return image;
}

QImage spinnerStrip()
{
    const int frames = 16, size = 32;
    QImage image = newImage(size, size * frames);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < frames; ++i) {
        const QPointF c(size / 2.0, i * size + size / 2.0);
        const QRectF ring(c.x() - 11, c.y() - 11, 22, 22);
        p.setPen(QPen(QColor(0x9a, 0xa3, 0xad, 60), 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(ring);
        // Qt angles run counter-clockwise; the head moves clockwise.
        const double head = 90.0 - i * 360.0 / frames;
        QConicalGradient sweep(c, head);
        sweep.setColorAt(0.0, palette::ACCENT_LIGHT);
        sweep.setColorAt(0.02, palette::ACCENT_LIGHT);
        sweep.setColorAt(0.35, QColor(0x3b, 0x8e, 0xea, 170));
        sweep.setColorAt(0.7, QColor(0x3b, 0x8e, 0xea, 0));
        sweep.setColorAt(1.0, QColor(0x3b, 0x8e, 0xea, 0));
        p.setPen(QPen(QBrush(sweep), 3.2, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(ring, int(head * 16), 250 * 16);
        const double rad = head * M_PI / 180.0;
        p.setPen(Qt::NoPen);
        p.setBrush(palette::ACCENT_LIGHT);
        p.drawEllipse(QPointF(c.x() + 11 * std::cos(rad), c.y() - 11 * std::sin(rad)), 1.9, 1.9);
    }
    return image;
}

// Node type icons of the engine's visualizer: dummy, reference, player,
// light, mesh, grass, billboards, clutter; 64 x 64 each, in one row.
QImage nodeIcons()
{
    const int cell = 64, count = 8;
    QImage image = newImage(cell * count, cell);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0xf2, 0xf4, 0xf5);
    const QPen pen(ink, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    for (int i = 0; i < count; ++i) {
        p.save();
        p.translate(i * cell + cell / 2.0, cell / 2.0);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        switch (i) {
        case 0: // dummy
            p.drawEllipse(QPointF(0, 0), 16, 16);
            p.drawLine(QPointF(-24, 0), QPointF(-8, 0));
            p.drawLine(QPointF(8, 0), QPointF(24, 0));
            p.drawLine(QPointF(0, -24), QPointF(0, -8));
            p.drawLine(QPointF(0, 8), QPointF(0, 24));
            break;
        case 1: // reference
            p.rotate(-45);
            p.drawRoundedRect(QRectF(-24, -8, 28, 16), 8, 8);
            p.drawRoundedRect(QRectF(-4, -8, 28, 16), 8, 8);
            break;
        case 2: // player camera
            p.drawRoundedRect(QRectF(-24, -13, 30, 26), 4, 4);
            p.drawPath(polygonPath({{6, -5}, {24, -14}, {24, 14}, {6, 5}}));
            p.drawEllipse(QPointF(-16, -20), 6, 6);
            p.drawEllipse(QPointF(-2, -20), 6, 6);
            break;
        case 3: // light
            p.drawEllipse(QPointF(0, 0), 10, 10);
            for (int k = 0; k < 8; ++k) {
                const double a = k * M_PI / 4;
                p.drawLine(QPointF(16 * std::cos(a), 16 * std::sin(a)), QPointF(25 * std::cos(a), 25 * std::sin(a)));
            }
            break;
        case 4: // mesh
            drawWireCube(p, QPointF(0, 0), 24, pen);
            break;
        case 5: { // grass
            QPainterPath blades(QPointF(-16, 24));
            blades.quadTo(-16, 0, -26, -16);
            blades.moveTo(0, 24);
            blades.quadTo(2, -4, -2, -26);
            blades.moveTo(16, 24);
            blades.quadTo(14, 2, 24, -14);
            p.drawPath(blades);
            p.drawLine(QPointF(-26, 24), QPointF(26, 24));
            break;
        }
        case 6: // billboards
            p.drawPath(polygonPath({{0, -26}, {20, 10}, {-20, 10}}));
            p.drawLine(QPointF(0, 10), QPointF(0, 26));
            break;
        default: // clutter
            p.drawEllipse(QPointF(-12, 10), 11, 9);
            p.drawEllipse(QPointF(13, 14), 9, 7);
            p.drawEllipse(QPointF(4, -14), 10, 8);
            break;
        }
        p.restore();
    }
    return image;
}

// Small glyphs the style sheet uses: arrows and the check mark, drawn at
// twice the size and scaled down for smooth edges.
QImage styleGlyph(const QString &kind, const QColor &ink)
{
    const int size = kind == QLatin1String("check") ? 12 : 10;
    QImage big = newImage(size * 4, size * 4);
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(4, 4);
    p.setPen(QPen(ink, kind == QLatin1String("check") ? 2.0 : 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (kind == QLatin1String("check"))
        p.drawPolyline(QPolygonF({QPointF(2.5, 6.2), QPointF(5, 8.7), QPointF(9.6, 3.3)}));
    else if (kind == QLatin1String("down"))
        p.drawPolyline(QPolygonF({QPointF(2, 3.5), QPointF(5, 6.5), QPointF(8, 3.5)}));
    else if (kind == QLatin1String("up"))
        p.drawPolyline(QPolygonF({QPointF(2, 6.5), QPointF(5, 3.5), QPointF(8, 6.5)}));
    else if (kind == QLatin1String("right"))
        p.drawPolyline(QPolygonF({QPointF(3.5, 2), QPointF(6.5, 5), QPointF(3.5, 8)}));
    p.end();
    return big.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Tool-window action icons, 16 x 16: a plus for "add", a cross for "clear",
// light strokes on a transparent ground.
QImage actionIcon(const QString &kind)
{
    const int size = 16;
    QImage big = newImage(size * 4, size * 4);
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(4, 4);
    if (kind == QLatin1String("add")) {
        p.setPen(QPen(palette::ACCENT_LIGHT, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 3), QPointF(8, 13));
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
    } else {
        p.setPen(QPen(palette::TEXT_DIM, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    }
    p.end();
    return big.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

bool writeEditorImages(const QString &dir)
{
    bool ok = saveImage(editorIcon(), dir + QStringLiteral("/editor_icon.png"));
    ok = saveImage(splash(), dir + QStringLiteral("/splashscreen_editor.png")) && ok;
    ok = saveImage(aboutLogo(), dir + QStringLiteral("/velmora2_logo.png")) && ok;
    const std::pair<const char *, HelpIcon> buttons[] = {{"start", HelpIcon::Start},
                                                         {"video", HelpIcon::Video},
                                                         {"docs", HelpIcon::Docs},
                                                         {"forum", HelpIcon::Forum}};
    for (const auto &b : buttons) {
        const QString base = dir + QStringLiteral("/help_window/button_") + QLatin1String(b.first);
        ok = saveImage(helpButton(b.second, false), base + QStringLiteral("_blue.png")) && ok;
        ok = saveImage(helpButton(b.second, true), base + QStringLiteral("_green.png")) && ok;
    }
    ok = saveImage(spinnerStrip(), dir + QStringLiteral("/processing_icon.png")) && ok;
    for (const char *kind : {"down", "up", "right", "check"}) {
        const QString base = dir + QStringLiteral("/style/") + QLatin1String(kind);
        ok = saveImage(styleGlyph(QLatin1String(kind), QColor(0xdf, 0xe3, 0xe8)), base + QStringLiteral(".png")) && ok;
        ok = saveImage(styleGlyph(QLatin1String(kind), QColor(0x5f, 0x67, 0x71)),
                       base + QStringLiteral("_disabled.png"))
                && ok;
    }
    for (const char *kind : {"add", "clear"}) {
        ok = saveImage(actionIcon(QLatin1String(kind)),
                       dir + QStringLiteral("/action_") + QLatin1String(kind) + QStringLiteral(".png"))
                && ok;
    }
    return ok;
}

bool writeEngineData(const QString &dir)
{
    QImage white(4, 4, QImage::Format_ARGB32);
    white.fill(Qt::white);
    bool ok = saveImage(white, dir + QStringLiteral("/core/textures/white.png"));
    ok = saveImage(nodeIcons(), dir + QStringLiteral("/tamsel2/gui/nodes_icons_big.png")) && ok;
    return ok;
}

} // namespace gen
