#include "engine/PadSkinMgr.h"

#include "common/zorvan/Console.h"
#include "engine/PadSkin.h"
#include "platform/ondrel/PixelFormat.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace ZorvanEngine {

namespace {

// Longest line a skin file may hold; the rest of a longer line is ignored.
constexpr size_t kMaxLineLength = 256;

struct DefaultColor {
    uint16_t rgb565;
    uint16_t mask;
};

// The hit-map colours of the built-in skin's bitmap.
constexpr DefaultColor kDefaultColors[] = {
    {0x9CF3, 0x0800}, {0x101F, 0x0400}, {0xF800, 0x0200}, {0xF81F, 0x0100},
    {0x07E4, 0x0A00}, {0x07FF, 0x0900}, {0xFFA0, 0x0600}, {0x0B80, 0x0500},
    {0x0020, 0x8000}, {0xFD69, 0x0080}, {0x036E, 0x4000}, {0x51A3, 0x0040},
    {0x004E, 0x0020}, {0x7000, 0x0010}, {0x680E, 0x1000}, {0x6B80, 0x2000},
};

bool StartsWithNoCase(std::string const &text, char const *prefix)
{
    size_t const n = std::char_traits<char>::length(prefix);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

// Reads one line without its line end (LF or CR LF), cut to the longest
// length a skin line may have. A NUL ends the line: every name built from
// it is used as a C string, so a bitmap "..\0x" must be checked as "..".
bool ReadLine(std::istream &in, std::string &line)
{
    if (!std::getline(in, line))
        return false;
    if (size_t const nul = line.find('\0'); nul != std::string::npos)
        line.resize(nul);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kMaxLineLength)
        line.resize(kMaxLineLength);
    return true;
}

// A bitmap name stays inside the Skins folder: not absolute and without a
// ".." step ('\' separates as well as '/', as in skins made elsewhere).
bool StaysInFolder(std::string const &name)
{
    if (!name.empty() && (name[0] == '/' || name[0] == '\\'))
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

Zorvan::String Value(std::string const &line, size_t keyLength)
{
    return Zorvan::String(line.c_str() + keyLength, static_cast<int>(line.size() - keyLength));
}

} // namespace

PadSkinMgr::~PadSkinMgr()
{
    ReleaseSkins();
}

PadSkin *PadSkinMgr::NewDefaultSkin()
{
    auto *skin = new PadSkin;
    skin->SetName(L"Quintar Default");
    skin->SetAuthor(L"Quintar");
    skin->SetType(L"All");
    skin->SetResource(kDefaultSkinResource);
    for (DefaultColor const &entry : kDefaultColors) {
        // Widened from RGB565; AddColor's conversion gives them back unchanged.
        skin->AddColor(Ondrel::Rgb565To888(entry.rgb565), entry.mask);
    }
    return skin;
}

PadSkin *PadSkinMgr::ReadSkinFile(Zorvan::String const &filePath, Zorvan::String const &skinsFolder)
{
    std::ifstream in(std::filesystem::path(static_cast<char const *>(filePath)), std::ios::binary);
    std::string line;
    if (!in || !ReadLine(in, line))
        return nullptr;
    if (!StartsWithNoCase(line, "Quintar.Skin.1") && !StartsWithNoCase(line, "Ferrowin.Skin.1"))
        return nullptr;

    auto *skin = new PadSkin;
    while (ReadLine(in, line)) {
        if (line.starts_with("//"))
            continue;
        if (line.starts_with("Bitmap=")) {
            if (!StaysInFolder(line.substr(7))) {
                Zorvan::printConsole("\nSkin %s refused: its bitmap %s is outside the Skins folder\n",
                                     static_cast<char const *>(filePath), line.c_str() + 7);
                delete skin;
                return nullptr;
            }
            skin->SetBitmap(skinsFolder + L"/" + Value(line, 7));
        } else if (line.starts_with("Name=")) {
            skin->SetName(Value(line, 5));
            Zorvan::printConsole("\nLoading Skin: %s\n", line.c_str() + 5);
        } else if (line.starts_with("Type=")) {
            skin->SetType(Value(line, 5));
        } else if (line.starts_with("Author=")) {
            skin->SetAuthor(Value(line, 7));
        } else if (line.starts_with("Landscape=")) {
            skin->SetLandscape(line.size() > 10 && line[10] == '1');
        } else if (StartsWithNoCase(line, "0x")) {
            // "0xRRGGBB", one separator, then the control words.
            std::string const colour = line.substr(0, 8);
            std::string const controls = line.size() > 9 ? line.substr(9) : std::string();
            Zorvan::String const colourText(colour.c_str());
            Zorvan::String const controlText(controls.c_str());
            skin->AddColor(colourText, controlText);
            Zorvan::printConsole("Color: %s  Color565: %04x  Control: %s\n", colour.c_str(),
                                 unsigned(skin->GetColor(skin->GetColorCount() - 1)), controls.c_str());
        }
    }
    return skin;
}

bool PadSkinMgr::LoadSkins(Zorvan::String const &skinsFolder)
{
    m_skins.push_back(NewDefaultSkin());

    namespace fs = std::filesystem;
    fs::path const folder(static_cast<char const *>(skinsFolder));
    std::error_code error;
    fs::create_directories(folder, error);

    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string const name = it->path().filename().string();
        if (name.size() >= 4 && StartsWithNoCase(name.substr(name.size() - 4), ".txt"))
            files.push_back(it->path());
    }
    // Directory order is arbitrary on Linux: list skins in name order.
    std::sort(files.begin(), files.end());
    for (fs::path const &file : files) {
        if (PadSkin *skin = ReadSkinFile(Zorvan::String(file.c_str()), skinsFolder))
            m_skins.push_back(skin);
    }
    Zorvan::printConsole("\n");
    return true;
}

void PadSkinMgr::ReleaseSkins()
{
    m_activeSkin = nullptr;
    for (PadSkin *skin : m_skins)
        delete skin;
    m_skins.clear();
}

PadSkin *PadSkinMgr::GetSkin(wchar_t const *name) const
{
    Zorvan::String const prefix(name);
    int const n = prefix.GetLength();
    for (PadSkin *skin : m_skins) {
        if (skin->GetName().Left(n).CompareNoCase(prefix) == 0 && skin->GetName().GetLength() >= n)
            return skin;
    }
    return nullptr;
}

void PadSkinMgr::SetActiveSkin(PadSkin *skin)
{
    if (!skin)
        skin = m_skins.empty() ? nullptr : m_skins.front();
    if (skin == m_activeSkin)
        return;
    if (m_activeSkin)
        m_activeSkin->ReleaseImage();
    m_activeSkin = skin;
    if (m_activeSkin)
        m_activeSkin->LoadImageW();
}

} // namespace ZorvanEngine
