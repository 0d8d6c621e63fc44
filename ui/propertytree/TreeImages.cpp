#include "ui/propertytree/TreeImages.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

const QColor Ink(0x20, 0x20, 0x30);
const QColor Grey(0x9a, 0x9a, 0x9a);
const QColor Accent(0x1c, 0x5f, 0xb4);
const QColor Warm(0xd0, 0x7a, 0x12);
const QColor Green(0x2e, 0x8b, 0x3e);
const QColor Paper(0xfb, 0xfb, 0xf6);

void Box(QPainter& p, bool checked, bool enabled)
{
    QColor ink = enabled ? Ink : Grey;
    p.setPen(QPen(ink, 1));
    p.setBrush(enabled ? Paper : QColor(0xee, 0xee, 0xee));
    p.drawRect(2, 2, 11, 11);
    if (checked) {
        p.setPen(QPen(enabled ? Green : Grey, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(4.5, 8), QPointF(7, 10.5), QPointF(11.5, 4.5)}));
    }
}

void Radio(QPainter& p, bool on, bool enabled)
{
    p.setPen(QPen(enabled ? Ink : Grey, 1));
    p.setBrush(Paper);
    p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
    if (on) {
        p.setPen(Qt::NoPen);
        p.setBrush(enabled ? Accent : Grey);
        p.drawEllipse(QPointF(8, 8), 2.5, 2.5);
    }
}

void Arrow(QPainter& p, int degrees)
{
    p.translate(8, 8);
    p.rotate(degrees);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawPolygon(QPolygonF({QPointF(0, -6), QPointF(6, 1), QPointF(2, 1), QPointF(2, 6),
                             QPointF(-2, 6), QPointF(-2, 1), QPointF(-6, 1)}));
}

void Letter(QPainter& p, QString const& text, QColor const& fill)
{
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    QFont f(QStringLiteral("Sans"));
    f.setPixelSize(text.size() > 1 ? 7 : 10);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, text);
}

void Monitor(QPainter& p)
{
    p.setPen(QPen(Ink, 1));
    p.setBrush(Accent);
    p.drawRect(1, 2, 13, 9);
    p.setBrush(Ink);
    p.drawRect(6, 12, 3, 1);
    p.drawRect(4, 13, 7, 1);
}

void Speaker(QPainter& p)
{
    p.setPen(QPen(Ink, 1));
    p.setBrush(Ink);
    p.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(5, 6), QPointF(9, 2), QPointF(9, 14),
                             QPointF(5, 10), QPointF(2, 10)}));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Accent, 1.2));
    p.drawArc(QRectF(7, 5, 5, 6), -60 * 16, 120 * 16);
    p.drawArc(QRectF(7, 3, 8, 10), -60 * 16, 120 * 16);
}

void Draw(QPainter& p, int index)
{
    switch (index) {
    case 0: case 1: Box(p, index == 1, true); break;
    case 2: case 3: Radio(p, index == 3, true); break;
    case 4: case 5: Box(p, index == 5, false); break;
    case 6: case 7: Radio(p, index == 7, false); break;
    case 8: case 9:   // plus, minus
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawRect(3, 3, 9, 9);
        p.drawLine(5, 7, 10, 7);
        if (index == 8)
            p.drawLine(7, 5, 7, 10);
        break;
    case 10:          // document
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawPolygon(QPolygonF({QPointF(3, 1), QPointF(10, 1), QPointF(13, 4), QPointF(13, 14), QPointF(3, 14)}));
        p.drawLine(5, 6, 11, 6);
        p.drawLine(5, 9, 11, 9);
        break;
    case 11:          // folder
        p.setPen(QPen(QColor(0x8a, 0x5a, 0x08), 1));
        p.setBrush(QColor(0xf2, 0xc0, 0x4a));
        p.drawPolygon(QPolygonF({QPointF(1, 3), QPointF(6, 3), QPointF(7, 5), QPointF(14, 5),
                                 QPointF(14, 13), QPointF(1, 13)}));
        break;
    case 12:          // disk
        p.setPen(QPen(Ink, 1));
        p.setBrush(Accent);
        p.drawRect(2, 2, 11, 11);
        p.setBrush(Paper);
        p.drawRect(4, 2, 7, 4);
        p.drawRect(4, 9, 7, 4);
        break;
    case 13:          // key
        p.setPen(QPen(Warm, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(5, 8), 3, 3);
        p.drawLine(8, 8, 14, 8);
        p.drawLine(12, 8, 12, 11);
        break;
    case 14:          // clock
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawEllipse(QPointF(8, 8), 6, 6);
        p.drawLine(8, 8, 8, 4);
        p.drawLine(8, 8, 11, 9);
        break;
    case 15: Speaker(p); break;
    case 16:          // wrench
        p.translate(8, 8);
        p.rotate(45);
        p.setPen(Qt::NoPen);
        p.setBrush(Grey.darker(140));
        p.drawRect(QRectF(-1.5, -2, 3, 9));
        p.drawEllipse(QPointF(0, -4), 3.5, 3.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(-1, -8, 2, 4));
        break;
    case 17:          // gear
        p.translate(8, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(Grey.darker(130));
        for (int i = 0; i < 8; ++i) {
            p.drawRect(QRectF(-1.5, -7, 3, 4));
            p.rotate(45);
        }
        p.drawEllipse(QPointF(0, 0), 4.5, 4.5);
        p.setBrush(Paper);
        p.drawEllipse(QPointF(0, 0), 1.8, 1.8);
        break;
    case 18:          // processor
        p.setPen(QPen(Ink, 1));
        for (int i = 4; i <= 11; i += 3) {
            p.drawLine(i, 1, i, 14);
            p.drawLine(1, i, 14, i);
        }
        p.setBrush(Green);
        p.drawRect(3, 3, 9, 9);
        break;
    case 19: Monitor(p); break;
    case 20:          // wave
        p.setPen(QPen(Accent, 1.5));
        p.setBrush(Qt::NoBrush);
        {
            QPainterPath wave(QPointF(1, 8));
            wave.cubicTo(3, 1, 5, 1, 6, 8);
            wave.cubicTo(7, 15, 10, 15, 11, 8);
            wave.cubicTo(12, 3, 14, 3, 15, 8);
            p.drawPath(wave);
        }
        break;
    case 21:          // volume bars
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 5; ++i) {
            p.setBrush(i < 3 ? Green : Grey);
            p.drawRect(1 + i * 3, 12 - i * 2, 2, 2 + i * 2);
        }
        break;
    case 22:          // picture
        p.setPen(QPen(Ink, 1));
        p.setBrush(QColor(0xcf, 0xe6, 0xfa));
        p.drawRect(1, 2, 13, 11);
        p.setPen(Qt::NoPen);
        p.setBrush(Green);
        p.drawPolygon(QPolygonF({QPointF(2, 13), QPointF(6, 7), QPointF(9, 11), QPointF(11, 9), QPointF(14, 13)}));
        p.setBrush(Warm);
        p.drawEllipse(QPointF(11, 5), 1.5, 1.5);
        break;
    case 23:          // star
        p.setPen(Qt::NoPen);
        p.setBrush(Warm);
        {
            QPolygonF star;
            for (int i = 0; i < 10; ++i) {
                double r = i % 2 ? 2.8 : 7.0;
                double a = (i * 36 - 90) * 3.14159265 / 180;
                star << QPointF(8 + r * std::cos(a), 8.5 + r * std::sin(a));
            }
            p.drawPolygon(star);
        }
        break;
    case 24:          // palette
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawEllipse(QRectF(1, 2, 14, 12));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::red);
        p.drawEllipse(QPointF(5, 6), 1.5, 1.5);
        p.setBrush(Green);
        p.drawEllipse(QPointF(9, 5), 1.5, 1.5);
        p.setBrush(Accent);
        p.drawEllipse(QPointF(12, 8), 1.5, 1.5);
        p.setBrush(Ink);
        p.drawEllipse(QPointF(6, 10), 1.5, 1.5);
        break;
    case 25:          // pad skin: a pad's outline on a sheet
        p.setPen(QPen(Ink, 1));
        p.setBrush(QColor(0xe8, 0xd8, 0xf0));
        p.drawRoundedRect(QRectF(1, 3, 14, 10), 3, 3);
        p.setBrush(Qt::NoBrush);
        p.drawLine(4, 6, 4, 10);
        p.drawLine(2, 8, 6, 8);
        p.drawEllipse(QPointF(11.5, 8), 1.5, 1.5);
        break;
    case 26:          // joystick
        p.setPen(QPen(Ink, 2));
        p.drawLine(8, 3, 8, 10);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::red);
        p.drawEllipse(QPointF(8, 3.5), 2.5, 2.5);
        p.setBrush(Ink);
        p.drawRoundedRect(QRectF(3, 10, 10, 4), 1, 1);
        break;
    case 27:          // lightning
        p.setPen(Qt::NoPen);
        p.setBrush(Warm);
        p.drawPolygon(QPolygonF({QPointF(9, 1), QPointF(3, 9), QPointF(7, 9), QPointF(6, 15),
                                 QPointF(13, 6), QPointF(9, 6), QPointF(11, 1)}));
        break;
    case 28: Letter(p, QStringLiteral("i"), Accent); break;
    case 29:          // game pad
        p.setPen(QPen(Ink, 1));
        p.setBrush(QColor(0x5a, 0x5a, 0x6a));
        p.drawRoundedRect(QRectF(0.5, 4, 15, 8), 4, 4);
        p.setPen(QPen(Qt::white, 1.5));
        p.drawLine(QPointF(3, 8), QPointF(7, 8));
        p.drawLine(QPointF(5, 6), QPointF(5, 10));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::red);
        p.drawEllipse(QPointF(10.5, 9), 1.2, 1.2);
        p.setBrush(Green);
        p.drawEllipse(QPointF(12.5, 7), 1.2, 1.2);
        break;
    case 30:          // brush
        p.translate(8, 8);
        p.rotate(45);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x8a, 0x5a, 0x08));
        p.drawRect(QRectF(-1, -7, 2, 8));
        p.setBrush(Grey);
        p.drawRect(QRectF(-2, 1, 4, 2));
        p.setBrush(Accent);
        p.drawRoundedRect(QRectF(-2.5, 3, 5, 4), 1.5, 1.5);
        break;
    case 31:          // scale: two nested frames
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawRect(1, 1, 13, 13);
        p.setBrush(Accent);
        p.drawRect(4, 4, 7, 7);
        break;
    case 32: Arrow(p, 0); break;
    case 33: Arrow(p, 180); break;
    case 34: Arrow(p, 270); break;
    case 35: Arrow(p, 90); break;
    case 36: Letter(p, QStringLiteral("A"), QColor(0xc0, 0x20, 0x30)); break;
    case 37: Letter(p, QStringLiteral("B"), QColor(0xc0, 0x20, 0x30)); break;
    case 38: Letter(p, QStringLiteral("SE"), Grey.darker(150)); break;
    case 39: Letter(p, QStringLiteral("ST"), Grey.darker(150)); break;
    case 40: Letter(p, QStringLiteral("L"), Accent); break;
    case 41: Letter(p, QStringLiteral("R"), Accent); break;
    case 42: Letter(p, QStringLiteral("X"), Green); break;
    case 43: Letter(p, QStringLiteral("Y"), Green); break;
    case 44:          // film: frames in a row
        p.setPen(Qt::NoPen);
        p.setBrush(Ink);
        p.drawRect(0, 3, 16, 10);
        p.setBrush(Paper);
        for (int x = 1; x < 16; x += 5)
            p.drawRect(x, 5, 4, 6);
        break;
    case 45:          // speedometer
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(1, 3, 14, 14), 0, 180 * 16);
        p.setPen(QPen(Qt::red, 1.5));
        p.drawLine(QPointF(8, 10), QPointF(12, 5));
        break;
    case 46:          // lock
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 1, 8, 9), 0, 180 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(Warm);
        p.drawRect(3, 7, 10, 8);
        break;
    default:          // globe
        p.setPen(QPen(Accent, 1));
        p.setBrush(QColor(0xcf, 0xe6, 0xfa));
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        break;
    }
}

} // namespace

QList<QPixmap> const& TreeImages()
{
    static QList<QPixmap> const images = [] {
        QList<QPixmap> strip;
        for (int i = 0; i < TreeImageCount; ++i) {
            QPixmap image(16, 16);
            image.fill(Qt::transparent);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            Draw(p, i);
            strip.append(image);
        }
        return strip;
    }();
    return images;
}
