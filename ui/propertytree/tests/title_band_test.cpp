#include "ui/propertytree/TitleBand.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace PropertyTreeUi::Test {
namespace {

struct Banded : QWidget {
    QString title;
    void paintEvent(QPaintEvent*) override { DrawTitleBand(this, title); }
};

// Counts pixels of exactly the title's dark blue in the rectangle.
int TitlePixels(QImage const& image, QRect const& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == 0x00009C;
    return n;
}

TEST(TitleBand, BoldBlueTitleOverABlackLine)
{
    Banded widget;
    widget.title = QStringLiteral("Global Settings");
    widget.resize(300, 60);
    widget.setStyleSheet(QStringLiteral("background: white"));
    QImage const image = widget.grab().toImage();

    for (int x : {0, 150, 299})
        EXPECT_EQ(image.pixel(x, TitleBandHeight) & 0xFFFFFF, 0x000000u) << x;
    EXPECT_NE(image.pixel(150, TitleBandHeight + 1) & 0xFFFFFF, 0x000000u);
    // The text stands 8 pixels in, inside the band.
    EXPECT_GT(TitlePixels(image, QRect(8, 0, 292, TitleBandHeight)), 0);
    EXPECT_EQ(TitlePixels(image, QRect(0, 0, 8, TitleBandHeight)), 0);
    EXPECT_EQ(TitlePixels(image, QRect(0, TitleBandHeight, 300, 60 - TitleBandHeight)), 0);

    // Bold: the same title drawn in the plain weight would cover fewer pixels.
    Banded plain;
    plain.resize(300, 60);
    QImage reference(300, 60, QImage::Format_RGB32);
    reference.fill(Qt::white);
    {
        QPainter p(&reference);
        p.setFont(plain.font());
        p.setPen(QColor(0x00, 0x00, 0x9C));
        p.drawText(QRect(8, 0, 292, TitleBandHeight), Qt::AlignLeft | Qt::AlignVCenter, widget.title);
    }
    EXPECT_GT(TitlePixels(image, QRect(8, 0, 292, TitleBandHeight)),
              TitlePixels(reference, QRect(8, 0, 292, TitleBandHeight)));
}

} // namespace
} // namespace PropertyTreeUi::Test
