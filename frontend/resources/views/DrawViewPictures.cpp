// Draws the game view's pictures: the paused picture (views/paused.png,
// resource 180) and the default background, QuintarLogo.bmp. Not part of
// the build; run once when a picture changes and commit the results:
//   cd frontend/resources && g++ -std=c++17 -fPIC views/DrawViewPictures.cpp -o /tmp/draw $(pkg-config --cflags --libs Qt6Gui)
//   QT_QPA_PLATFORM=offscreen /tmp/draw views/paused.png QuintarLogo.bmp
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QLinearGradient>
#include <QRadialGradient>
#include <QFont>
#include <QFontMetrics>
#include <cstdio>

static void Paused(char const* path)
{
    QFont f("DejaVu Sans");
    f.setPixelSize(19);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    int const textWidth = QFontMetrics(f).horizontalAdvance("PAUSED");
    int const W = 44 + textWidth + 16, H = 44;
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(QColor(0xE8, 0xEC, 0xF4));
    QPainter p(&img);
    QLinearGradient g(0, 2, 0, H - 2);
    g.setColorAt(0, QColor(0x3A, 0x44, 0x5C));
    g.setColorAt(1, QColor(0x1C, 0x22, 0x30));
    p.fillRect(QRect(2, 2, W - 4, H - 4), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xC8, 0x3C));
    p.drawRoundedRect(QRectF(14, 11, 7, 22), 2, 2);
    p.drawRoundedRect(QRectF(25, 11, 7, 22), 2, 2);
    p.setFont(f);
    p.setPen(QColor(0xF4, 0xF6, 0xFA));
    p.drawText(QRect(44, 0, textWidth + 4, H), Qt::AlignVCenter | Qt::AlignLeft, "PAUSED");
    p.end();
    img.save(path);
}

static void Logo(char const* path)
{
    int const W = 400, H = 300;
    QImage img(W, H, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, H);
    bg.setColorAt(0, QColor(0x10, 0x18, 0x38));
    bg.setColorAt(1, QColor(0x2A, 0x10, 0x40));
    p.fillRect(img.rect(), bg);
    // faint grid of pixels
    p.setPen(Qt::NoPen);
    for (int y = 6; y < H; y += 12)
        for (int x = 6; x < W; x += 12) {
            int a = 10 + ((x * 7 + y * 13) % 17);
            p.setBrush(QColor(255, 255, 255, a));
            p.drawRect(x, y, 2, 2);
        }
    QPointF c(W / 2.0, 118);
    QRadialGradient glow(c, 110);
    glow.setColorAt(0, QColor(0x60, 0x80, 0xFF, 90));
    glow.setColorAt(1, QColor(0x60, 0x80, 0xFF, 0));
    p.setBrush(glow);
    p.drawEllipse(c, 110, 110);
    // the Q ring
    QConicalGradient ring(c, 90);
    ring.setColorAt(0, QColor(0xFF, 0xD2, 0x4A));
    ring.setColorAt(0.5, QColor(0xFF, 0x7A, 0x3C));
    ring.setColorAt(1, QColor(0xFF, 0xD2, 0x4A));
    p.setPen(QPen(QBrush(ring), 18, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 58, 58);
    // tail of the Q: a run of pixel blocks
    p.setPen(Qt::NoPen);
    QColor blocks[] = {QColor(0xFF, 0x7A, 0x3C), QColor(0xFF, 0xA0, 0x40), QColor(0xFF, 0xD2, 0x4A), QColor(0xFF, 0xF0, 0x9A)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(blocks[i]);
        double s = 16 - i * 2;
        p.drawRect(QRectF(c.x() + 32 + i * 15, c.y() + 32 + i * 15, s, s));
    }
    // a small play triangle inside the ring
    QPainterPath tri;
    tri.moveTo(c.x() - 14, c.y() - 22);
    tri.lineTo(c.x() + 24, c.y());
    tri.lineTo(c.x() - 14, c.y() + 22);
    tri.closeSubpath();
    p.setBrush(QColor(0xF4, 0xF6, 0xFA));
    p.drawPath(tri);
    QFont f("DejaVu Sans");
    f.setPixelSize(40);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(f);
    p.setPen(QColor(0xF4, 0xF6, 0xFA));
    p.drawText(QRect(0, 196, W, 50), Qt::AlignHCenter | Qt::AlignVCenter, "Quintar");
    QFont s("DejaVu Sans");
    s.setPixelSize(14);
    p.setFont(s);
    p.setPen(QColor(0xB8, 0xC4, 0xE8));
    p.drawText(QRect(0, 244, W, 24), Qt::AlignHCenter | Qt::AlignVCenter, "multi-console emulator");
    p.end();
    img.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    Paused(argv[1]);
    Logo(argv[2]);
    return 0;
}
