#include "app/IspSchematic.h"

#include <QPainter>
#include <QPainterPath>

namespace {

void Pin(QPainter& p, int x, int y, const QString& text, bool rightAligned) {
    const QRect r = rightAligned ? QRect(x - 52, y - 7, 48, 14) : QRect(x + 4, y - 7, 56, 14);
    p.drawText(r, (rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, text);
    p.drawEllipse(QPoint(x, y), 2, 2);
}

void Resistor(QPainter& p, QPoint a, QPoint b, const QString& label) {
    // Horizontal or vertical box between a and b.
    const QPoint mid = (a + b) / 2;
    const bool horizontal = a.y() == b.y();
    const QRect box = horizontal ? QRect(mid.x() - 9, mid.y() - 4, 18, 8)
                                 : QRect(mid.x() - 4, mid.y() - 9, 8, 18);
    if (horizontal) {
        p.drawLine(a, QPoint(box.left(), a.y()));
        p.drawLine(QPoint(box.right() + 1, a.y()), b);
        p.drawText(QRect(box.left() - 6, box.top() - 13, 30, 12), Qt::AlignCenter, label);
    } else {
        p.drawLine(a, QPoint(a.x(), box.top()));
        p.drawLine(QPoint(a.x(), box.bottom() + 1), b);
        p.drawText(QRect(box.right() + 3, box.top(), 30, 18), Qt::AlignLeft | Qt::AlignVCenter,
                   label);
    }
    p.drawRect(box);
}

}  // namespace

TIspSchematic::TIspSchematic(QWidget* parent) : QWidget(parent) {
    // The drawing scales to fit: a short side panel (the progress bar shown during a run,
    // a small window) shrinks it instead of cutting its bottom off.
    setMinimumSize(150, 160);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void TIspSchematic::SetEnglish(bool english) {
    if (english_ != english) {
        english_ = english;
        update();
    }
}

void TIspSchematic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QFont f = font();
    f.setPixelSize(10);
    p.setFont(f);
    const QPen wire(QColor(0x20, 0x20, 0x90), 1.2);
    const QPen outline(Qt::black, 1.4);

    // Scale a 300 x 210 drawing into the widget.
    const double s = std::min(width() / 300.0, height() / 210.0);
    p.translate((width() - 300 * s) / 2, (height() - 210 * s) / 2);
    p.scale(s, s);

    const QRect usb(6, 22, 62, 166);
    const QRect mcu(232, 22, 62, 166);
    p.setPen(outline);
    p.drawRect(usb);
    p.drawRect(mcu);
    p.drawText(QRect(usb.left(), 4, usb.width() + 20, 16), Qt::AlignLeft,
               english_ ? QStringLiteral("USB-serial") : QStringLiteral("USB-串口"));
    p.drawText(QRect(mcu.left(), 4, mcu.width(), 16), Qt::AlignCenter, QStringLiteral("STM32"));

    // Pin rows shared by both chips.
    const int yTx = 40, yRx = 60, yDtr = 88, yRts = 140, yGnd = 176;
    const int xl = usb.right() + 1, xr = mcu.left();
    Pin(p, xl, yTx, QStringLiteral("TXD"), true);
    Pin(p, xl, yRx, QStringLiteral("RXD"), true);
    Pin(p, xl, yDtr, QStringLiteral("DTR"), true);
    Pin(p, xl, yRts, QStringLiteral("RTS"), true);
    Pin(p, xl, yGnd, QStringLiteral("GND"), true);
    Pin(p, xr, yTx, QStringLiteral("RX PA10"), false);
    Pin(p, xr, yRx, QStringLiteral("TX PA9"), false);
    Pin(p, xr, yDtr, QStringLiteral("NRST"), false);
    Pin(p, xr, yRts, QStringLiteral("BOOT0"), false);
    Pin(p, xr, yGnd, QStringLiteral("GND"), false);

    p.setPen(wire);
    // Data lines cross over.
    p.drawLine(xl, yTx, xr, yTx);
    p.drawLine(xl, yRx, xr, yRx);
    p.drawLine(xl, yGnd, xr, yGnd);

    // DTR -> diode (cathode at DTR) -> NRST: a low DTR pulls the reset pin down.
    const int dx = 140;
    p.drawLine(xl, yDtr, dx - 8, yDtr);
    p.drawLine(dx + 8, yDtr, xr, yDtr);
    QPainterPath tri;
    tri.moveTo(dx + 8, yDtr - 6);
    tri.lineTo(dx + 8, yDtr + 6);
    tri.lineTo(dx - 6, yDtr);
    tri.closeSubpath();
    p.setPen(outline);
    p.drawPath(tri);
    p.drawLine(dx - 7, yDtr - 6, dx - 7, yDtr + 6);
    p.drawText(QRect(dx - 20, yDtr - 20, 40, 12), Qt::AlignCenter, QStringLiteral("1N4148"));

    // RTS -> 1k -> NPN base; collector pulls BOOT0 low against a 10k pull-up.
    p.setPen(wire);
    const int bx = 160;  // base bar
    Resistor(p, QPoint(xl, yRts), QPoint(bx - 2, yRts), QStringLiteral("1k"));
    p.setPen(outline);
    p.drawLine(bx, yRts - 9, bx, yRts + 9);
    p.drawEllipse(QPoint(bx + 7, yRts), 13, 13);
    const QPoint collector(bx + 14, yRts - 12);
    const QPoint emitter(bx + 14, yRts + 12);
    p.drawLine(bx, yRts - 4, collector.x(), collector.y());
    p.drawLine(bx, yRts + 4, emitter.x(), emitter.y());
    // Emitter arrow of an NPN points outwards.
    QPainterPath arrow;
    arrow.moveTo(emitter);
    arrow.lineTo(emitter.x() - 7, emitter.y() - 1);
    arrow.lineTo(emitter.x() - 3, emitter.y() - 6);
    arrow.closeSubpath();
    p.fillPath(arrow, Qt::black);
    p.drawText(QRect(bx + 23, yRts - 2, 30, 12), Qt::AlignLeft, QStringLiteral("NPN"));
    p.setPen(wire);
    p.drawLine(emitter, QPoint(emitter.x(), yGnd));
    p.drawEllipse(QPoint(emitter.x(), yGnd), 2, 2);
    const int node = yRts - 16;
    p.drawLine(collector, QPoint(collector.x(), node));
    p.drawLine(QPoint(collector.x(), node), QPoint(xr - 12, node));
    p.drawLine(QPoint(xr - 12, node), QPoint(xr - 12, yRts));
    p.drawLine(QPoint(xr - 12, yRts), QPoint(xr, yRts));
    // Pull-up from BOOT0 to 3.3 V.
    const int px = 206;
    p.drawEllipse(QPoint(px, node), 2, 2);
    Resistor(p, QPoint(px, node), QPoint(px, 100), QStringLiteral("10k"));
    p.drawLine(px - 6, 100, px + 6, 100);
    p.drawText(QRect(px - 36, 94, 28, 12), Qt::AlignRight, QStringLiteral("3V3"));

    p.setPen(Qt::darkGray);
    p.drawText(QRect(6, 192, 290, 14), Qt::AlignLeft,
               english_ ? QStringLiteral("RTS on → BOOT0=1;  DTR on → reset")
                        : QStringLiteral("RTS 有效 → BOOT0=1;  DTR 有效 → 复位"));
}
