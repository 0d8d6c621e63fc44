#include "engine/PadSkin.h"

#include "engine/Engine.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/DrawingContext.h"
#include "platform/ondrel/PixelFormat.h"
#include "platform/ondrel/PixelFormatConverter.h"
#include "platform/ondrel/Surface.h"

#include <cstring>
#include <cwctype>
#include <memory>

namespace ZorvanEngine {

namespace {

struct ControlWord {
    wchar_t const *word;
    unsigned long bits;
};

constexpr ControlWord kControlWords[] = {
    {L"n", kPadNorth},           {L"s", kPadSouth},           {L"w", kPadWest},
    {L"e", kPadEast},            {L"ne", kPadNorth | kPadEast}, {L"se", kPadSouth | kPadEast},
    {L"sw", kPadSouth | kPadWest}, {L"nw", kPadNorth | kPadWest}, {L"a", kPadA},
    {L"b", kPadB},               {L"c", kPadC},               {L"x", kPadX},
    {L"y", kPadY},               {L"l", kPadL},               {L"r", kPadR},
    {L"start", kPadStart},       {L"select", kPadSelect},
};

unsigned long WordBits(Zorvan::String const &word)
{
    for (ControlWord const &entry : kControlWords) {
        if (word.CompareNoCase(entry.word) == 0)
            return entry.bits;
    }
    return 0;
}

// The RGB565 value of the pixel at p in a surface of the given format.
uint16_t PixelAsRgb565(uint8_t const *p, Ondrel::PixelFormat format, Ondrel::Surface const &surface)
{
    switch (format) {
    case Ondrel::PixelFormatRGB565: {
        uint16_t value;
        std::memcpy(&value, p, sizeof value);
        return value;
    }
    case Ondrel::PixelFormatXRGB8888: {
        uint32_t value;
        std::memcpy(&value, p, sizeof value);
        return Ondrel::Rgb888To565(value);
    }
    case Ondrel::PixelFormatPalette8:
        if (Ondrel::Palette const *palette = surface.GetPalette())
            return Ondrel::Rgb888To565(palette->Get(*p).ToRgb());
        return 0;
    default:
        return 0;
    }
}

} // namespace

PadSkin::PadSkin()
    : m_colorCount(0), m_colors{}, m_masks{}, m_fromResource(false), m_landscape(false),
      m_resourceId(0), m_image(nullptr)
{
}

PadSkin::~PadSkin()
{
    ReleaseImage();
}

void PadSkin::SetAuthor(Zorvan::String const &author)
{
    m_author = L"Designed by: " + author;
}

void PadSkin::SetResource(int resourceId)
{
    m_fromResource = true;
    m_resourceId = resourceId;
}

void PadSkin::AddColor(unsigned long rgb, unsigned long mask)
{
    if (m_colorCount >= kMaxColors)
        return;
    m_colors[m_colorCount] = Ondrel::Rgb888To565(static_cast<uint32_t>(rgb));
    m_masks[m_colorCount] = static_cast<uint16_t>(mask);
    ++m_colorCount;
}

void PadSkin::AddColor(wchar_t const *colourText, wchar_t const *controlSpec)
{
    AddColor(TextToInt(colourText), DecodeMask(controlSpec));
}

unsigned long PadSkin::TextToInt(wchar_t const *text)
{
    unsigned long value = 0;
    for (; text && *text; ++text) {
        wchar_t const c = *text;
        if (c >= L'0' && c <= L'9')
            value = value * 16 + (c - L'0');
        else if (c >= L'a' && c <= L'f')
            value = value * 16 + (c - L'a' + 10);
        else if (c >= L'A' && c <= L'F')
            value = value * 16 + (c - L'A' + 10);
    }
    return value;
}

unsigned long PadSkin::DecodeMask(wchar_t const *spec)
{
    Zorvan::String const text(spec);
    unsigned long bits = 0;
    int start = 0;
    while (start <= text.GetLength()) {
        int end = text.Find(L'+', start);
        if (end < 0)
            end = text.GetLength();
        bits |= WordBits(text.Mid(start, end - start));
        start = end + 1;
    }
    return bits;
}

Zorvan::String PadSkin::GetID() const
{
    return m_type + L"|" + m_name;
}

void PadSkin::LoadImageW()
{
    ReleaseImage();
    Ondrel::Display *display = ourEngine ? ourEngine->GetDisplay() : nullptr;
    if (!display)
        return;
    if (m_fromResource)
        m_image = display->LoadBitmapResource(Engine::GetResourceInstance(), m_resourceId);
    else
        m_image = display->LoadBitmapFile(QString::fromUtf8(static_cast<char const *>(m_bitmap)));
}

void PadSkin::ReleaseImage()
{
    delete m_image;
    m_image = nullptr;
}

Ondrel::Point PadSkin::GetImageSize() const
{
    if (!m_image)
        return Ondrel::Point{};
    return Ondrel::Point{m_image->GetWidth(), m_image->GetHeight()};
}

void PadSkin::DrawImage(QWidget *, int x, int y)
{
    Ondrel::Surface *target = ourEngine ? ourEngine->GetDrawingSurface() : nullptr;
    if (!m_image || !target)
        return;
    int const width = m_image->GetWidth();
    int const height = m_image->GetHeight() / 2;
    std::unique_ptr<Ondrel::DrawingContext> context(target->CreateDrawingContext());
    Ondrel::PixelFormatConverter converter;
    context->Blit(Ondrel::Rect{x, y, width, height}, m_image, Ondrel::Rect{0, 0, width, height}, &converter);
}

unsigned PadSkin::CheckPad(int x, int y)
{
    if (!m_image || x < 0 || y < 0)
        return 0;
    int const padHeight = m_image->GetHeight() / 2;
    if (x >= m_image->GetWidth() || y >= padHeight)
        return 0;
    Ondrel::LockInfo const lock = m_image->Lock(x, y + padHeight, Ondrel::LockRead);
    unsigned mask = 0;
    if (lock.pixels) {
        uint16_t const colour = PixelAsRgb565(static_cast<uint8_t const *>(lock.pixels),
                                              m_image->GetPixelFormat(), *m_image);
        for (int i = 0; i < m_colorCount; ++i) {
            if (m_colors[i] == colour) {
                mask = m_masks[i];
                break;
            }
        }
    }
    m_image->Unlock(Ondrel::LockRead);
    return mask;
}

} // namespace ZorvanEngine
