#include "frontend/MainFrameIcons.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

// The colours of one picture: the disabled set turns every hue to grey.
struct Ink {
    QColor outline;
    QColor main;
    QColor light;
    QColor accent;
};

Ink InkFor(bool disabled, QColor main, QColor accent)
{
    if (!disabled)
        return {QColor(40, 40, 40), main, main.lighter(150), accent};
    return {QColor(150, 150, 150), QColor(185, 185, 185), QColor(215, 215, 215), QColor(170, 170, 170)};
}

void DrawOpen(QPainter &p, Ink const &ink)
{
    // A folder with its lid open.
    p.setPen(QPen(ink.outline, 1));
    p.setBrush(ink.main);
    p.drawRect(QRectF(1.5, 4.5, 11, 9));
    p.setBrush(ink.light);
    QPolygonF lid;
    lid << QPointF(3.5, 7.5) << QPointF(14.5, 7.5) << QPointF(12.5, 13.5) << QPointF(1.5, 13.5);
    p.drawPolygon(lid);
    p.setBrush(ink.main);
    p.drawRect(QRectF(1.5, 3.0, 4.5, 1.5));
}

void DrawPlay(QPainter &p, Ink const &ink)
{
    QPolygonF arrow;
    arrow << QPointF(4.5, 2.5) << QPointF(13.5, 8.0) << QPointF(4.5, 13.5);
    p.setPen(QPen(ink.outline, 1));
    p.setBrush(ink.main);
    p.drawPolygon(arrow);
}

void DrawPause(QPainter &p, Ink const &ink)
{
    p.setPen(QPen(ink.outline, 1));
    p.setBrush(ink.main);
    p.drawRect(QRectF(3.5, 2.5, 3, 11));
    p.drawRect(QRectF(9.5, 2.5, 3, 11));
}

void DrawReset(QPainter &p, Ink const &ink)
{
    // A circular arrow, three quarters round.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ink.outline, 3.2, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 90 * 16, 270 * 16);
    p.setPen(QPen(ink.main, 1.6, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 90 * 16, 270 * 16);
    QPolygonF head;
    head << QPointF(8.0, 0.5) << QPointF(12.5, 3.0) << QPointF(8.0, 5.5);
    p.setPen(QPen(ink.outline, 1));
    p.setBrush(ink.main);
    p.drawPolygon(head);
}

// A memory card with an arrow into it (save) or out of it (load).
void DrawCard(QPainter &p, Ink const &ink, bool intoCard)
{
    p.setPen(QPen(ink.outline, 1));
    p.setBrush(ink.light);
    p.drawRect(QRectF(2.5, 8.5, 11, 6));
    p.setBrush(ink.outline);
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(4 + 2.5 * i, 12, 1, 2));
    QPolygonF arrow;
    if (intoCard)
        arrow << QPointF(6, 1.5) << QPointF(10, 1.5) << QPointF(10, 4.5) << QPointF(12.5, 4.5) << QPointF(8, 9)
              << QPointF(3.5, 4.5) << QPointF(6, 4.5);
    else
        arrow << QPointF(6, 9) << QPointF(10, 9) << QPointF(10, 6) << QPointF(12.5, 6) << QPointF(8, 1.5)
              << QPointF(3.5, 6) << QPointF(6, 6);
    p.setBrush(ink.accent);
    p.drawPolygon(arrow);
}

void DrawTools(QPainter &p, Ink const &ink)
{
    // A cog wheel.
    QPainterPath cog;
    for (int tooth = 0; tooth < 8; ++tooth) {
        QTransform turn;
        turn.translate(8, 8);
        turn.rotate(tooth * 45.0);
        cog.addPolygon(turn.map(QPolygonF(QRectF(-1.6, -7.2, 3.2, 3.0))));
    }
    cog.addEllipse(QPointF(8, 8), 5.2, 5.2);
    cog = cog.simplified();
    QPainterPath hole;
    hole.addEllipse(QPointF(8, 8), 2.0, 2.0);
    p.setPen(QPen(ink.outline, 1));
    p.setBrush(ink.main);
    p.drawPath(cog.subtracted(hole));
}

void DrawExit(QPainter &p, Ink const &ink)
{
    // A door standing open, with an arrow leaving through it.
    p.setPen(QPen(ink.outline, 1));
    p.setBrush(ink.light);
    p.drawRect(QRectF(1.5, 1.5, 8, 13));
    QPolygonF door;
    door << QPointF(1.5, 1.5) << QPointF(6.5, 3.5) << QPointF(6.5, 15.5) << QPointF(1.5, 14.5);
    p.setBrush(ink.main);
    p.drawPolygon(door);
    QPolygonF arrow;
    arrow << QPointF(8.5, 6.5) << QPointF(11.5, 6.5) << QPointF(11.5, 4.0) << QPointF(15.5, 8.0)
          << QPointF(11.5, 12.0) << QPointF(11.5, 9.5) << QPointF(8.5, 9.5);
    p.setBrush(ink.accent);
    p.drawPolygon(arrow);
}

void DrawHelp(QPainter &p, Ink const &ink)
{
    p.setPen(QPen(ink.outline, 1));
    p.setBrush(ink.main);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QFont font = p.font();
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
}

} // namespace

QPixmap ToolBarPixmap(ToolBarIcon icon, bool disabled)
{
    // Drawn at twice the size, so the pictures stay sharp on dense screens.
    // Painted in an image with alpha whatever the screen's depth: a pixmap
    // made on a 16-bit screen has none, and filling it with transparency
    // rebuilds it and drops its pixel ratio, so the pictures came out at
    // half size.
    constexpr qreal kScale = 2.0;
    QImage image(int(kToolBarIconSize * kScale), int(kToolBarIconSize * kScale), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(kScale);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QColor const amber(232, 178, 48), green(52, 160, 72), blue(60, 110, 200), red(200, 60, 50);
    switch (icon) {
    case ToolBarIcon::Open:
        DrawOpen(p, InkFor(disabled, amber, amber));
        break;
    case ToolBarIcon::Play:
        DrawPlay(p, InkFor(disabled, green, green));
        break;
    case ToolBarIcon::Pause:
        DrawPause(p, InkFor(disabled, blue, blue));
        break;
    case ToolBarIcon::Reset:
        DrawReset(p, InkFor(disabled, red, red));
        break;
    case ToolBarIcon::Save:
        DrawCard(p, InkFor(disabled, blue, green), true);
        break;
    case ToolBarIcon::Load:
        DrawCard(p, InkFor(disabled, blue, amber), false);
        break;
    case ToolBarIcon::Tools:
        DrawTools(p, InkFor(disabled, QColor(130, 130, 140), QColor(130, 130, 140)));
        break;
    case ToolBarIcon::Exit:
        DrawExit(p, InkFor(disabled, QColor(150, 100, 60), red));
        break;
    case ToolBarIcon::Help:
        DrawHelp(p, InkFor(disabled, blue, blue));
        break;
    }
    p.end();
    return QPixmap::fromImage(image);
}

QIcon ToolBarIconSet(ToolBarIcon icon)
{
    QIcon set;
    set.addPixmap(ToolBarPixmap(icon, false), QIcon::Normal);
    set.addPixmap(ToolBarPixmap(icon, true), QIcon::Disabled);
    return set;
}
