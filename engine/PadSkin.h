// A virtual game pad for full-screen play. The skin's bitmap holds the pad's
// picture in its upper half and a hit map in its lower half: areas painted in
// distinct colours, each colour standing for a set of pad controls. A tap on
// the picture is looked up at the same point of the hit map.
#pragma once

#include "common/zorvan/String.h"
#include "platform/ondrel/Geometry.h"

#include <cstdint>

class QWidget;

namespace Ondrel {
class Surface;
} // namespace Ondrel

namespace ZorvanEngine {

// Pad control bits, as the modules' key maps name them.
enum PadControl : uint16_t {
    kPadNorth = 0x0800,
    kPadSouth = 0x0400,
    kPadWest = 0x0200,
    kPadEast = 0x0100,
    kPadA = 0x0080,
    kPadB = 0x8000,
    kPadC = 0x0008,
    kPadX = 0x0040,
    kPadY = 0x4000,
    kPadL = 0x0020,
    kPadR = 0x0010,
    kPadStart = 0x1000,
    kPadSelect = 0x2000,
};

class PadSkin {
public:
    static constexpr int kMaxColors = 32;

    PadSkin();
    ~PadSkin();
    PadSkin(PadSkin const &) = delete;
    PadSkin &operator=(PadSkin const &) = delete;

    void SetBitmap(Zorvan::String const &path) { m_bitmap = path; }
    void SetName(Zorvan::String const &name) { m_name = name; }
    void SetType(Zorvan::String const &type) { m_type = type; }
    // Stored as "Designed by: " + author.
    void SetAuthor(Zorvan::String const &author);
    void SetLandscape(bool landscape) { m_landscape = landscape; }
    // The bitmap is the engine's built-in resource with this number.
    void SetResource(int resourceId);

    Zorvan::String const &GetBitmap() const { return m_bitmap; }
    Zorvan::String const &GetName() const { return m_name; }
    Zorvan::String const &GetAuthor() const { return m_author; }
    Zorvan::String const &GetType() const { return m_type; }
    bool IsLandscape() const { return m_landscape; }
    bool IsFromResource() const { return m_fromResource; }
    int GetResourceId() const { return m_resourceId; }
    int GetColorCount() const { return m_colorCount; }
    uint16_t GetColor(int i) const { return m_colors[i]; }
    uint16_t GetMask(int i) const { return m_masks[i]; }

    // Appends one hit-map colour (0xRRGGBB, kept as RGB565) with its control
    // mask. Entries beyond kMaxColors are dropped.
    void AddColor(unsigned long rgb, unsigned long mask);
    // The same from a colour line's texts: "0xRRGGBB" and "n+e".
    void AddColor(wchar_t const *colourText, wchar_t const *controlSpec);

    // Hexadecimal value of the text; characters that are not hex digits are
    // skipped, so "0xFF0000" is 0xFF0000.
    static unsigned long TextToInt(wchar_t const *text);
    // OR of the control bits of the "+"-separated words, case-blind.
    static unsigned long DecodeMask(wchar_t const *spec);

    // type + "|" + name.
    Zorvan::String GetID() const;

    // Loads the bitmap through the engine's display (released first).
    void LoadImageW();
    void ReleaseImage();
    Ondrel::Surface *GetImage() const { return m_image; }
    // The image's size; (0, 0) without one.
    Ondrel::Point GetImageSize() const;
    // Draws the pad (the image's upper half) at (x, y) on the engine's
    // drawing surface.
    void DrawImage(QWidget *view, int x, int y);
    // The control mask at a point of the pad (y from the pad's top); 0
    // without an image, outside the pad or on a colour not in the table.
    unsigned CheckPad(int x, int y);

private:
    Zorvan::String m_bitmap;
    Zorvan::String m_name;
    Zorvan::String m_author;
    Zorvan::String m_type;
    int16_t m_colorCount;
    uint16_t m_colors[kMaxColors];
    uint16_t m_masks[kMaxColors];
    bool m_fromResource;
    bool m_landscape;
    int m_resourceId;
    Ondrel::Surface *m_image;
};

} // namespace ZorvanEngine
