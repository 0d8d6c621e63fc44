#include "platform/ondrel/Display.h"

#include "platform/ondrel/Window.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>

#include <cstring>

namespace Ondrel {

namespace {

constexpr int FallbackWidth = 240;
constexpr int FallbackHeight = 320;

// Turns `src` clockwise by quarter turns into `dst` (already the turned size).
template <class Pixel>
void Turn(QImage const& src, QImage& dst, int quarterTurns)
{
    int const w = src.width(), h = src.height();
    for (int y = 0; y < dst.height(); ++y) {
        auto* out = reinterpret_cast<Pixel*>(dst.scanLine(y));
        switch (quarterTurns) {
        case 1:  // out(x, y) = in(y, h - 1 - x)
            for (int x = 0; x < dst.width(); ++x)
                out[x] = reinterpret_cast<Pixel const*>(src.constScanLine(h - 1 - x))[y];
            break;
        case 2: {
            auto const* in = reinterpret_cast<Pixel const*>(src.constScanLine(h - 1 - y));
            for (int x = 0; x < dst.width(); ++x)
                out[x] = in[w - 1 - x];
            break;
        }
        case 3:  // out(x, y) = in(w - 1 - y, x)
            for (int x = 0; x < dst.width(); ++x)
                out[x] = reinterpret_cast<Pixel const*>(src.constScanLine(x))[w - 1 - y];
            break;
        }
    }
}

} // namespace

// Paints the presented picture in the widget. A paint that the display asked
// for shows only the picture; any other paint (an expose, the view's own
// update through Window::Refresh) first lets the widget paint itself, so
// the view's painting logic runs as before, and the picture goes on top.
class Display::Painter : public QObject {
public:
    Painter(Display& display, QWidget* widget) : m_display(display), m_widget(widget)
    {
        if (widget)
            widget->installEventFilter(this);
    }

    bool InWidgetPaint() const { return m_inWidgetPaint; }

    void RequestPresent()
    {
        if (!m_widget || m_inWidgetPaint)
            return;  // painted right after the widget's own painting
        m_presentPending = true;
        m_widget->update();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_widget.data() || event->type() != QEvent::Paint)
            return false;
        Window* window = m_display.m_window;
        bool const viewWanted = window && window->TakeRefreshRequest();
        bool const presentOnly = m_presentPending && !viewWanted;
        m_presentPending = false;
        if (!presentOnly) {
            m_inWidgetPaint = true;
            static_cast<QObject*>(m_widget.data())->event(event);
            m_inWidgetPaint = false;
        }
        PaintPicture();
        return true;
    }

private:
    void PaintPicture()
    {
        QImage const& image = m_display.m_presented;
        if (image.isNull() || !m_display.IsOpen())
            return;
        QPainter painter(m_widget.data());
        QSize const area = m_widget->size();
        if (image.size() == area) {
            painter.drawImage(0, 0, image);
            return;
        }
        // A widget resized since the display opened: fit, keeping the shape.
        QSize const fitted = image.size().scaled(area, Qt::KeepAspectRatio);
        QRect const target(QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2), fitted);
        painter.drawImage(target, image);
    }

    Display& m_display;
    QPointer<QWidget> m_widget;
    bool m_presentPending = false;
    bool m_inWidgetPaint = false;
};

Display::Display(Window* window) : m_window(window)
{
    m_painter = std::make_unique<Painter>(*this, window ? window->GetWidget() : nullptr);
}

Display::~Display()
{
    Close();
}

bool Display::Open(int width, int height, PixelFormat format)
{
    if (format != PixelFormatNone && format != PixelFormatRGB565 && format != PixelFormatXRGB8888)
        return false;
    if (width < 0 || height < 0)
        return false;
    if (IsOpen()) {
        bool const same = (width == 0 || width == m_primary->GetWidth()) && (height == 0 || height == m_primary->GetHeight())
            && (format == PixelFormatNone || format == m_format);
        if (same)
            return true;
        Close();
    }
    if (format != PixelFormatNone)
        m_format = format;

    if (width == 0 || height == 0) {
        Rect const client = m_window ? m_window->GetClientRect() : Rect{};
        width = client.width > 0 ? client.width : FallbackWidth;
        height = client.height > 0 ? client.height : FallbackHeight;
        if (m_rotation == RotationEast || m_rotation == RotationWest)
            std::swap(width, height);
    }
    m_primary.reset(Surface::Create(width, height, m_format));
    if (!m_primary)
        return false;
    if (m_useBack) {
        m_back.reset(m_primary->Clone());
        if (!m_back) {
            m_primary.reset();
            return false;
        }
    }
    return true;
}

void Display::Close()
{
    m_presented = QImage();
    m_turned = QImage();
    m_back.reset();
    m_primary.reset();
    if (m_window)
        m_window->Refresh();
}

void Display::SetRotation(int rotation)
{
    m_rotation = (rotation >= RotationNorth && rotation <= RotationWest) ? rotation : RotationNone;
}

void Display::UseBackSurface(bool use)
{
    m_useBack = use;
    if (!IsOpen())
        return;
    if (use && !m_back)
        m_back.reset(m_primary->Clone());
    else if (!use)
        m_back.reset();
}

Surface* Display::GetBackSurface() const
{
    return m_back ? m_back.get() : m_primary.get();
}

Surface* Display::CreateSurface(int width, int height, PixelFormat format, SurfaceFlags flags)
{
    return Surface::Create(width, height, format == PixelFormatNone ? m_format : format, flags);
}

void Display::CloseVideo()
{
    if (!IsOpen())
        return;
    for (Surface* s : {m_primary.get(), m_back.get()}) {
        if (!s)
            continue;
        for (int y = 0; y < s->GetHeight(); ++y)
            std::memset(s->Row(y), 0, std::size_t(s->GetWidth()) * BytesPerPixel(s->GetPixelFormat()));
        s->MarkChanged();
    }
    Present();
}

void Display::Refresh(Rect const&)
{
    if (!IsOpen() || m_suspended)
        return;
    if (m_back) {
        std::size_t const rowBytes = std::size_t(m_back->GetWidth()) * BytesPerPixel(m_format);
        for (int y = 0; y < m_back->GetHeight(); ++y)
            std::memcpy(m_primary->Row(y), m_back->Row(y), rowBytes);
        m_primary->MarkChanged();
    }
    Present();
}

void Display::Present()
{
    QImage const picture = m_primary->AsImage();
    int const turns = m_rotation == RotationNone ? 0 : m_rotation;
    if (turns == 0) {
        m_presented = picture;  // shares the surface's memory
    } else {
        QSize const size = (turns == 2) ? picture.size() : picture.size().transposed();
        if (m_turned.size() != size || m_turned.format() != picture.format())
            m_turned = QImage(size, picture.format());
        if (m_format == PixelFormatRGB565)
            Turn<std::uint16_t>(picture, m_turned, turns);
        else
            Turn<std::uint32_t>(picture, m_turned, turns);
        m_presented = m_turned;
    }
    m_painter->RequestPresent();
}

Surface* Display::SurfaceFromImage(QImage const& loaded)
{
    if (loaded.isNull())
        return nullptr;
    QImage const image = loaded.convertToFormat(QImage::Format_RGB32);
    Surface* surface = Surface::Create(image.width(), image.height(), m_format);
    if (!surface)
        return nullptr;
    for (int y = 0; y < image.height(); ++y) {
        auto const* in = reinterpret_cast<QRgb const*>(image.constScanLine(y));
        if (m_format == PixelFormatRGB565) {
            auto* out = reinterpret_cast<std::uint16_t*>(surface->Row(y));
            for (int x = 0; x < image.width(); ++x)
                out[x] = Rgb888To565(in[x]);
        } else {
            auto* out = reinterpret_cast<std::uint32_t*>(surface->Row(y));
            for (int x = 0; x < image.width(); ++x)
                out[x] = in[x] & 0xFFFFFFu;
        }
    }
    return surface;
}

Surface* Display::LoadBitmapFile(QString const& fileName)
{
    if (fileName.isEmpty())
        return nullptr;
    return SurfaceFromImage(QImage(fileName));
}

Surface* Display::LoadBitmapResource(QString const& resourceRoot, int id)
{
    for (char const* suffix : {".bmp", ".png"}) {
        QImage image(QStringLiteral("%1/%2%3").arg(resourceRoot).arg(id).arg(QLatin1String(suffix)));
        if (!image.isNull())
            return SurfaceFromImage(image);
    }
    return nullptr;
}

} // namespace Ondrel
