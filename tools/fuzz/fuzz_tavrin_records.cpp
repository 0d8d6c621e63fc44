// The flash, EEPROM and clock records of the handheld's state file, each
// read into a machine's live record (choice byte: which, and the flash size
// and EEPROM width of the machine). A refused record leaves the live one as
// it was; an accepted one writes back the same bytes, the pointer slots and
// padding aside. Then the rest of the input drives the device as a game
// would (stores, loads, DMA-length hints), and every record the device
// reaches must save to an image that its reader takes again: a user's
// state saved at any moment loads.
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/cart/Flash.h"
#include "modules/tavrin/cart/Rtc.h"
#include "tools/fuzz/TavrinFuzz.h"

using namespace Fuzz::Handheld;

namespace {

bool FlashNotCarried(size_t at) { return at < 4 || at == 7 || (at >= 13 && at <= 15); }
bool EepromNotCarried(size_t at) { return (at >= 17 && at <= 23) || at == 27 || (at >= 33 && at <= 39); }
bool RtcNotCarried(size_t at) { return (at >= 19 && at <= 23) || at >= 37; }

// Reads back what the writer makes of the record into a copy.
template <typename Record, typename Read, typename Write>
bool Reloads(const Record &record, Read read, Write write)
{
    const std::vector<uint8_t> image = Fuzz::ImageOf(record, write);
    Record copy = record;
    Zorvan::ByteReader in(image);
    return read(copy, in) && Fuzz::ImageOf(copy, write) == image;
}

void DriveFlash(Fuzz::Input &in)
{
    while (!in.empty()) {
        const uint16_t offset = in.u16();
        const uint8_t op = in.u8();
        if (op & 1)
            (void)BusRead8(0x0E000000 | offset);
        else
            BusWrite8(0x0E000000 | offset, op);
        FUZZ_CHECK(FlashState.bank >= SaveRam && FlashState.bank + FlashBankSize <= SaveRam + SaveRamSize());
        FUZZ_CHECK(Reloads(FlashState, FlashReadImage, FlashWriteImage));
    }
}

void DriveEeprom(Fuzz::Input &in)
{
    while (!in.empty()) {
        const uint8_t op = in.u8();
        if (op & 0x80)
            EepromNoteDmaUnits(op & 0x7F);
        else if (op & 0x40)
            (void)EepromReadBit();
        else
            EepromWriteBit(op & 1);
        FUZZ_CHECK(EepromState.address + 8 <= EepromArraySize);
        FUZZ_CHECK(Reloads(EepromState, EepromReadImage, EepromWriteImage));
    }
}

void DriveRtc(Fuzz::Input &in)
{
    while (!in.empty()) {
        const uint8_t op = in.u8();
        RtcWrite(0x080000C4 + 2 * (op >> 6 & 3), op & 0x3F);
        FUZZ_CHECK(RtcState.bitCount <= RtcState.bitTotal);
        FUZZ_CHECK(Reloads(RtcState, RtcReadImage, RtcWriteImage));
    }
}

// Reads the record from the input into a copy of the live one (checked as
// every reader is), puts it in place as the state loader does, quiet, and
// drives the device with what follows it.
template <typename Record, typename Read, typename Write>
void TakeAndDrive(Record &live, const uint8_t *data, size_t size, size_t imageSize, Read read, Write write,
                  bool (*notCarried)(size_t), void (*install)(), void (*drive)(Fuzz::Input &))
{
    Record record = live;
    if (!Fuzz::ReadImageChecked(record, data, size, imageSize, read, write, notCarried))
        return;
    live = record;
    live.trace = 0;
    install();
    Fuzz::Input traffic(data + imageSize, size - imageSize);
    drive(traffic);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    const uint8_t choice = in.u8();
    // A machine per option set, started once; each input begins from its
    // reset.
    static uint8_t running = 0xFF;
    const uint8_t options = uint8_t(choice & 6);
    if (running != options) {
        static const std::vector<uint8_t> game = SpinningImage();
        FUZZ_CHECK(Start(Fuzz::WriteInputFile("game.img", game), options));
        running = options;
    }
    MachineReset();
    const size_t rest = in.left();
    const uint8_t *record = in.rest();
    switch (choice & 0x18) {
    case 0x00:
        TakeAndDrive(FlashState, record, rest, FlashImageSize, FlashReadImage, FlashWriteImage, FlashNotCarried,
                     [] { MapPages(FlashState.bank, FlashBankSize, 0x0E000000, 0x02000000, true); }, DriveFlash);
        break;
    case 0x08:
        TakeAndDrive(EepromState, record, rest, EepromImageSize, EepromReadImage, EepromWriteImage,
                     EepromNotCarried, [] {}, DriveEeprom);
        break;
    default:
        TakeAndDrive(RtcState, record, rest, RtcImageSize, RtcReadImage, RtcWriteImage, RtcNotCarried,
                     RtcRestorePort, DriveRtc);
        break;
    }
    return 0;
}
