#include "modules/tavrin/files/BatteryFile.h"

#include "common/zorvan/ByteStream.h"
#include "modules/common/BatteryFile.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/files/GzipImage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Tavrin {

namespace {

constexpr uint8_t Magic[5] = {'S', 'A', 'V', 0x1A, 1};
constexpr size_t HeaderSize = 16;
constexpr uint32_t MaxSaveExp = 24;
constexpr uint32_t MaxEepromExp = 21;
constexpr size_t LargestFile = HeaderSize + (size_t(1) << MaxSaveExp) + (size_t(8) << MaxEepromExp);
// Six address bits reach 512 bytes; a larger block is a 14-bit chip's.
constexpr uint32_t SmallEepromExp = 6;

ConsoleFiles::BatteryFile battery;
// The last file judged a save held a 14-bit chip's EEPROM block.
bool wideEeprom;

size_t SaveSize() { return SaveRam ? size_t(1) << FlashSizeExp : 0; }
size_t EepromBytes() { return EepromRam ? EepromArraySize : 0; }
// The EEPROM bytes the chip's address width reaches.
size_t EepromSize()
{
    if (!EepromRam)
        return 0;
    size_t reach = size_t(8) << (EepromSizeExp > 16 ? 16 : EepromSizeExp);
    return reach < EepromArraySize ? reach : EepromArraySize;
}

// Save memory as one image: SaveRam, then the whole EEPROM array.
std::vector<uint8_t> Image()
{
    std::vector<uint8_t> image(SaveSize() + EepromBytes());
    if (SaveRam)
        std::memcpy(image.data(), SaveRam, SaveSize());
    if (EepromRam)
        std::memcpy(image.data() + SaveSize(), EepromRam, EepromBytes());
    return image;
}

void PutImage(const std::vector<uint8_t> &image)
{
    if (SaveRam)
        std::memcpy(SaveRam, image.data(), SaveSize());
    if (EepromRam)
        std::memcpy(EepromRam, image.data() + SaveSize(), EepromBytes());
}

// The smallest exponent x for which unit << x bytes hold every byte up to
// the last non-zero one; 0 when all are zero.
uint32_t TrimmedExp(const uint8_t *p, size_t size, size_t unit)
{
    size_t last = size;
    while (last > 0 && p[last - 1] == 0)
        --last;
    if (last == 0)
        return 0;
    uint32_t exp = 1;
    while ((unit << exp) < last)
        ++exp;
    return exp;
}

bool Judge(const std::vector<uint8_t> &gz, std::vector<uint8_t> &image)
{
    std::vector<uint8_t> file;
    if (GunzipBounded(gz, LargestFile, file) != GunzipResult::Ok || file.size() < HeaderSize ||
        std::memcmp(file.data(), Magic, sizeof Magic) != 0)
        return false;
    const uint32_t s = file[5], e = file[6];
    if (s > MaxSaveExp || e > MaxEepromExp)
        return false;
    const size_t saveBytes = s ? size_t(1) << s : 0;
    const size_t eepromBytes = e ? size_t(8) << e : 0;
    if (file.size() != HeaderSize + saveBytes + eepromBytes)
        return false;
    // A file from a larger memory fills it and leaves the rest; one from a
    // smaller memory leaves the rest zero.
    std::fill(image.begin(), image.end(), 0);
    const uint8_t *const save = file.data() + HeaderSize;
    std::memcpy(image.data(), save, std::min(saveBytes, SaveSize()));
    std::memcpy(image.data() + SaveSize(), save + saveBytes, std::min(eepromBytes, EepromBytes()));
    wideEeprom = e > SmallEepromExp;
    return true;
}

bool Encode(const std::vector<uint8_t> &image, std::vector<uint8_t> &gz)
{
    const uint8_t *const save = image.data();
    const uint8_t *const eeprom = image.data() + SaveSize();
    const uint32_t s = SaveRam ? TrimmedExp(save, SaveSize(), 1) : 0;
    const uint32_t e = EepromRam ? TrimmedExp(eeprom, EepromSize(), 8) : 0;
    Zorvan::ByteWriter out;
    for (uint8_t b : Magic)
        out.u8(b);
    out.u8(uint8_t(s));
    out.u8(uint8_t(e));
    out.zeros(HeaderSize - 7);
    if (s)
        out.raw(save, size_t(1) << s);
    if (e)
        out.raw(eeprom, size_t(8) << e);
    return GzipBytes(out.bytes(), gz);
}

const ConsoleFiles::BatteryRule Rule{GzipSizeBound(LargestFile), Judge, Encode};

} // namespace

bool LoadBatteryFile(const char *name)
{
    if (SaveRam)
        std::memset(SaveRam, 0xFF, SaveSize());
    if (EepromRam)
        std::memset(EepromRam, 0xFF, EepromBytes());
    std::vector<uint8_t> image = Image();
    wideEeprom = false;
    const bool loaded = battery.Load(name, Rule, image);
    PutImage(image);
    if (loaded && wideEeprom)
        EepromSizeExp = 14;
    return loaded;
}

bool SaveBatteryFile(const char *)
{
    // No save memory (no machine) has nothing to say about the file.
    if (!SaveRam && !EepromRam)
        return true;
    return battery.Save(Image());
}

std::string TakeBatteryNote() { return battery.TakeNote(); }

} // namespace Tavrin
