// All pad skins: the built-in one first, then one per skin file of the
// program's "Skins" folder, and the skin in use. Each module picks its skin
// by its setting "PadSkin" (Module::LoadPad).
//
// A skin file is a text file "*.txt":
//   Quintar.Skin.1            (first line; "Ferrowin.Skin.1" is accepted too)
//   // a comment
//   Bitmap=pad.bmp            (in the Skins folder)
//   Name=My Pad
//   Type=All
//   Author=Someone
//   Landscape=1
//   0xFF0000 n+e              (hit-map colour 0xRRGGBB, one separator,
//                              control words joined by "+")
#pragma once

#include "common/zorvan/String.h"

#include <vector>

namespace ZorvanEngine {

class PadSkin;

class PadSkinMgr {
public:
    // The built-in skin's bitmap in the engine library's resources.
    static constexpr int kDefaultSkinResource = 166;

    PadSkinMgr() = default;
    ~PadSkinMgr();
    PadSkinMgr(PadSkinMgr const &) = delete;
    PadSkinMgr &operator=(PadSkinMgr const &) = delete;

    // Adds the built-in skin and every skin file of the folder (created when
    // missing). Always true.
    bool LoadSkins(Zorvan::String const &skinsFolder);
    // Forgets the active skin and deletes every skin.
    void ReleaseSkins();
    std::vector<PadSkin *> const &GetSkins() const { return m_skins; }
    // The first skin whose name begins with the text (case-blind); an empty
    // text gives the first skin; null when none matches.
    PadSkin *GetSkin(wchar_t const *name) const;
    // Null means the first skin. The old skin's image is released and the
    // new one's loaded.
    void SetActiveSkin(PadSkin *skin);
    PadSkin *GetActiveSkin() const { return m_activeSkin; }

    // Reads one skin file; null when it cannot be read or its first line is
    // not a skin header.
    static PadSkin *ReadSkinFile(Zorvan::String const &filePath, Zorvan::String const &skinsFolder);

private:
    static PadSkin *NewDefaultSkin();

    std::vector<PadSkin *> m_skins;
    PadSkin *m_activeSkin = nullptr;
};

} // namespace ZorvanEngine
