// The twelve built-in LED glyphs, drawn once in code: a lit lamp with a glow and a
// highlight, and a dark one with only a dim reflection.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>

#include "serial/ctl/CPortCtl.h"

namespace {

constexpr int kSize = 15;

struct Palette {
    const char* name;
    QRgb lit;
};

// Colour of each kind when lit; lkBulb is a warm white.
constexpr std::array<Palette, 6> kPalettes = {{
    {"RED", qRgb(255, 32, 32)},
    {"GREEN", qRgb(32, 230, 48)},
    {"BLUE", qRgb(48, 96, 255)},
    {"YELLOW", qRgb(255, 224, 0)},
    {"PURPLE", qRgb(200, 48, 230)},
    {"BULB", qRgb(255, 240, 150)},
}};

QImage DrawLamp(QColor lit, bool on) {
    QImage img(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1.0, 1.0, kSize - 2.0, kSize - 2.0);
    const QColor base = on ? lit : lit.darker(330);
    QRadialGradient fill(body.center() - QPointF(1.5, 1.5), body.width() / 1.6);
    fill.setColorAt(0.0, on ? base.lighter(170) : base.lighter(130));
    fill.setColorAt(1.0, on ? base : base.darker(130));
    p.setPen(QPen(lit.darker(on ? 200 : 450), 1.0));
    p.setBrush(fill);
    p.drawEllipse(body);
    // A specular spot; bright when lit, barely there when dark.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, on ? 220 : 70));
    p.drawEllipse(QRectF(4.0, 3.5, 3.5, 2.5));
    return img;
}

QImage DrawBulb(QColor lit, bool on) {
    QImage img(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor glass = on ? lit : QColor(150, 150, 140);
    QRadialGradient fill(QPointF(6.0, 4.5), 6.5);
    fill.setColorAt(0.0, on ? QColor(255, 255, 240) : glass.lighter(120));
    fill.setColorAt(1.0, on ? glass : glass.darker(140));
    p.setPen(QPen(on ? QColor(180, 140, 0) : QColor(80, 80, 80), 1.0));
    p.setBrush(fill);
    // Glass: a round top narrowing into the neck.
    QPainterPath path;
    path.moveTo(5.0, 10.0);
    path.cubicTo(1.0, 7.5, 1.5, 1.0, 7.5, 1.0);
    path.cubicTo(13.5, 1.0, 14.0, 7.5, 10.0, 10.0);
    path.closeSubpath();
    p.drawPath(path);
    // Screw base.
    p.setBrush(QColor(120, 120, 120));
    p.setPen(QPen(QColor(70, 70, 70), 1.0));
    p.drawRect(QRectF(5.0, 10.5, 5.0, 3.0));
    if (on) {
        p.setPen(QPen(QColor(255, 160, 0), 1.0));
        p.drawLine(QPointF(6.0, 8.0), QPointF(7.5, 5.5));
        p.drawLine(QPointF(7.5, 5.5), QPointF(9.0, 8.0));
    }
    return img;
}

const QImage& Glyph(int kind, bool on) {
    static const auto images = [] {
        std::array<QImage, 12> all;
        for (int k = 0; k < 6; ++k) {
            const QColor lit = QColor::fromRgb(kPalettes[k].lit);
            const bool bulb = k == lkBulb;
            all[k * 2] = bulb ? DrawBulb(lit, false) : DrawLamp(lit, false);
            all[k * 2 + 1] = bulb ? DrawBulb(lit, true) : DrawLamp(lit, true);
        }
        return all;
    }();
    return images[kind * 2 + (on ? 1 : 0)];
}

}  // namespace

QPixmap LedGlyph(TLedKind kind, TLedState state) {
    if (kind >= lkCustom) {
        return {};
    }
    return QPixmap::fromImage(Glyph(kind, state == lsOn));
}

QPixmap LedGlyph(const QString& name) {
    for (int k = 0; k < 6; ++k) {
        const QString stem = QStringLiteral("LED") + QLatin1String(kPalettes[k].name);
        if (name == stem + QStringLiteral("ON")) {
            return LedGlyph(static_cast<TLedKind>(k), lsOn);
        }
        if (name == stem + QStringLiteral("OFF")) {
            return LedGlyph(static_cast<TLedKind>(k), lsOff);
        }
    }
    return {};
}
