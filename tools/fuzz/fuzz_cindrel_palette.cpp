// The 6502 console's palette file beside the image: up to 64 lines of three
// hexadecimal numbers. Its colours replace the first entries of the
// built-in palette, the rest keep theirs; the same colours written back
// line by line load to the same palette; two frames then run with it.
#include "common/zorvan/Console.h"
#include "modules/cindrel/testing/CartridgeBuilder.h"
#include "tools/fuzz/CindrelFuzz.h"

#include <cstdio>
#include <cstring>

using namespace Fuzz::NesMachine;

namespace {

std::vector<uint8_t> PaletteNow() { return std::vector<uint8_t>(&Palette[0][0], &Palette[0][0] + sizeof Palette); }

// The count the loader reports ("Loaded N colors from ...").
int LoadedCount()
{
    const char *line = std::strstr(Zorvan::getConsole(), "Loaded ");
    int count = -1;
    return line && std::sscanf(line, "Loaded %d colors", &count) == 1 ? count : -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::vector<uint8_t> game =
        Test::CartridgeBuilder(2, 1).Code(0xC000, {0x4C, 0x00, 0xC0}).Vectors(0xC000, 0xC000, 0xC000).Bytes();
    const std::filesystem::path image = Fuzz::WriteInputFile("game.nes", game);
    static const std::vector<uint8_t> builtIn = [&] {
        std::filesystem::remove(Fuzz::PrivateFolder() / "game.pal");
        FUZZ_CHECK(Start(image));
        return PaletteNow();
    }();

    Fuzz::WriteInputFile("game.pal", data, size);
    FUZZ_CHECK(Start(image));
    const int count = LoadedCount();
    FUZZ_CHECK(count >= 0 && count <= 64);
    const std::vector<uint8_t> loaded = PaletteNow();
    FUZZ_CHECK(std::equal(loaded.begin() + 3 * count, loaded.end(), builtIn.begin() + 3 * count));

    std::string text;
    for (int i = 0; i < count; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "%02X %02X %02X\n", Palette[i][0], Palette[i][1], Palette[i][2]);
        text += line;
    }
    Fuzz::WriteInputFile("game.pal", reinterpret_cast<const uint8_t *>(text.data()), text.size());
    FUZZ_CHECK(Start(image));
    FUZZ_CHECK(LoadedCount() == count && PaletteNow() == loaded);
    RunFrames(2);
    MachineShutdown();
    return 0;
}
