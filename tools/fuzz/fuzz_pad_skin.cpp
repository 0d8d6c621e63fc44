// Pad-skin files: whatever a skin file holds, a skin that is read keeps its
// bitmap inside the Skins folder and at most 32 colours.
#include "engine/PadSkin.h"
#include "engine/PadSkinMgr.h"
#include "tools/fuzz/FuzzSupport.h"

#include <algorithm>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string skins = (Fuzz::PrivateFolder() / "Skins").string();
    std::filesystem::create_directories(skins);
    const std::filesystem::path file = Fuzz::WriteInputFile("Skins/skin.txt", data, size);
    std::unique_ptr<ZorvanEngine::PadSkin> skin(
        ZorvanEngine::PadSkinMgr::ReadSkinFile(Zorvan::String(file.c_str()), Zorvan::String(skins.c_str())));
    if (!skin)
        return 0;
    FUZZ_CHECK(skin->GetColorCount() >= 0 && skin->GetColorCount() <= ZorvanEngine::PadSkin::kMaxColors);
    const std::string bitmap = static_cast<const char *>(skin->GetBitmap());
    if (!bitmap.empty()) {
        FUZZ_CHECK(bitmap.compare(0, skins.size() + 1, skins + "/") == 0);
        // Read with '\\' as a separator too, the path must not climb out.
        std::string inside = bitmap.substr(skins.size() + 1);
        std::replace(inside.begin(), inside.end(), '\\', '/');
        const std::filesystem::path normal = std::filesystem::path(inside).lexically_normal();
        FUZZ_CHECK(normal.is_relative() && (normal.empty() || *normal.begin() != ".."));
    }
    skin->GetID();
    return 0;
}
