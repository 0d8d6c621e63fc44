#include "modules/tavrin/files/BatteryFile.h"

#include "common/zorvan/ByteStream.h"
#include "common/zorvan/SafeFile.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/files/GzipImage.h"

#include <cstring>
#include <vector>

namespace Tavrin {

BatteryLoadReport LastBatteryLoad;

namespace {

constexpr uint8_t Magic[5] = {'S', 'A', 'V', 0x1A, 1};
constexpr size_t HeaderSize = 16;
constexpr uint32_t MaxSaveExp = 24;
constexpr uint32_t MaxEepromExp = 21;
constexpr size_t LargestFile = HeaderSize + (size_t(1) << MaxSaveExp) + (size_t(8) << MaxEepromExp);
// Six address bits reach 512 bytes; a larger block is a 14-bit chip's.
constexpr uint32_t SmallEepromExp = 6;

// What start-up put into save memory, to tell whether the game changed it.
std::vector<uint8_t> startSave, startEeprom;
// A file stood at the battery's name that could not be used. It stays where
// it is until the game's own save is about to replace it.
bool foreignFile;

size_t SaveSize() { return SaveRam ? size_t(1) << FlashSizeExp : 0; }
size_t EepromSize()
{
    if (!EepromRam)
        return 0;
    size_t reach = size_t(8) << (EepromSizeExp > 16 ? 16 : EepromSizeExp);
    return reach < EepromArraySize ? reach : EepromArraySize;
}

std::vector<uint8_t> Copy(const uint8_t *p, size_t size) { return p ? std::vector<uint8_t>(p, p + size) : std::vector<uint8_t>(); }

void Remember()
{
    startSave = Copy(SaveRam, SaveSize());
    startEeprom = Copy(EepromRam, EepromRam ? EepromArraySize : 0);
}

bool Changed()
{
    return startSave != Copy(SaveRam, SaveSize()) || startEeprom != Copy(EepromRam, EepromRam ? EepromArraySize : 0);
}

void Fill(uint8_t value)
{
    if (SaveRam)
        std::memset(SaveRam, value, SaveSize());
    if (EepromRam)
        std::memset(EepromRam, value, EepromArraySize);
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

struct Parsed {
    uint32_t s = 0, e = 0;
    const uint8_t *save = nullptr, *eeprom = nullptr;
};

bool Parse(const std::vector<uint8_t> &file, Parsed &out)
{
    if (file.size() < HeaderSize || std::memcmp(file.data(), Magic, sizeof Magic) != 0)
        return false;
    out.s = file[5];
    out.e = file[6];
    if (out.s > MaxSaveExp || out.e > MaxEepromExp)
        return false;
    size_t saveBytes = out.s ? size_t(1) << out.s : 0;
    size_t eepromBytes = out.e ? size_t(8) << out.e : 0;
    if (file.size() != HeaderSize + saveBytes + eepromBytes)
        return false;
    out.save = file.data() + HeaderSize;
    out.eeprom = out.save + saveBytes;
    return true;
}

void Apply(const Parsed &p)
{
    Fill(0);
    if (SaveRam && p.s) {
        size_t n = size_t(1) << p.s;
        std::memcpy(SaveRam, p.save, n < SaveSize() ? n : SaveSize());
    }
    if (p.e > SmallEepromExp)
        EepromSizeExp = 14;
    if (EepromRam && p.e) {
        size_t n = size_t(8) << p.e;
        std::memcpy(EepromRam, p.eeprom, n < EepromArraySize ? n : EepromArraySize);
    }
}

} // namespace

int LoadBatteryFile(const char *name)
{
    LastBatteryLoad = {};
    Fill(0xFF);
    std::vector<uint8_t> gz, file;
    // No name: no battery file, and nothing to keep aside.
    Zorvan::ReadResult read = *name ? Zorvan::ReadFileBounded(name, GzipSizeBound(LargestFile), gz)
                                    : Zorvan::ReadResult::Missing;
    Parsed parsed;
    if (read == Zorvan::ReadResult::Ok && GunzipBounded(gz, LargestFile, file) == GunzipResult::Ok &&
        Parse(file, parsed)) {
        Apply(parsed);
        LastBatteryLoad.outcome = BatteryLoad::Loaded;
    } else if (read != Zorvan::ReadResult::Missing) {
        LastBatteryLoad.outcome = BatteryLoad::Damaged;
    }
    foreignFile = LastBatteryLoad.outcome == BatteryLoad::Damaged;
    Remember();
    return LastBatteryLoad.outcome == BatteryLoad::Loaded;
}

int SaveBatteryFile(const char *name)
{
    // No save memory (no machine) has nothing to say about the file.
    if ((!SaveRam && !EepromRam) || !Changed())
        return 1;
    uint32_t s = SaveRam ? TrimmedExp(SaveRam, SaveSize(), 1) : 0;
    uint32_t e = EepromRam ? TrimmedExp(EepromRam, EepromSize(), 8) : 0;
    Zorvan::ByteWriter out;
    for (uint8_t b : Magic)
        out.u8(b);
    out.u8(uint8_t(s));
    out.u8(uint8_t(e));
    out.zeros(HeaderSize - 7);
    if (s)
        out.raw(SaveRam, size_t(1) << s);
    if (e)
        out.raw(EepromRam, size_t(8) << e);
    std::vector<uint8_t> gz;
    if (!GzipBytes(out.bytes(), gz))
        return 0;
    if (foreignFile) {
        if (!Zorvan::KeepAsDamagedBeforeReplacing(name, LastBatteryLoad.keptAs))
            return 0;
        foreignFile = false;
    }
    if (!Zorvan::WriteFileReplacing(name, gz))
        return 0;
    Remember();
    return 1;
}

} // namespace Tavrin
