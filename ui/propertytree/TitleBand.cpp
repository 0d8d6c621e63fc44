#include "ui/propertytree/TitleBand.h"

#include <QPainter>
#include <QWidget>

void DrawTitleBand(QWidget* widget, QString const& title)
{
    QPainter p(widget);
    QFont bold = widget->font();
    bold.setWeight(QFont::Bold);
    p.setFont(bold);
    // Dark blue title, the colour the pages have always used.
    p.setPen(QColor(0x00, 0x00, 0x9C));
    p.drawText(QRect(8, 0, widget->width() - 8, TitleBandHeight),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    p.setPen(Qt::black);
    p.drawLine(0, TitleBandHeight, widget->width(), TitleBandHeight);
}
