// A machine's memory and devices over plain host buffers, enough for the
// state file to save and load: blocks mapped as start-up maps them, a
// cartridge whose header has a complement byte, and the devices reset.
#pragma once

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/bus/MemoryMap.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/cart/Flash.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/Timers.h"
#include "modules/tavrin/cart/Rtc.h"
#include "modules/tavrin/cpu/ArmState.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstring>
#include <vector>

namespace Tavrin::Testing {

class StateMachine {
public:
    explicit StateMachine(uint8_t complement = 0x5C, uint32_t flashExp = 17, uint32_t eepromExp = 6)
        : ewram(EwramSize), iwram(IwramSize), io(IoSize), palette(PaletteSize), vram(VramSize), oam(OamSize),
          save(size_t(1) << flashExp), eeprom(EepromArraySize), cart(0x4000)
    {
        LogFlags = 0;
        FlashSizeExp = flashExp;
        EepromSizeExp = eepromExp;
        cart[0xBD] = complement;
        ConsoleBlocks b;
        b.ewram = ewram.data();
        b.iwram = iwram.data();
        b.io = io.data();
        b.palette = palette.data();
        b.vram = vram.data();
        b.oam = oam.data();
        b.saveRam = save.data();
        b.cart = cart.data();
        b.cartSize = uint32_t(cart.size());
        MapConsoleMemory(b);
        SaveRam = save.data();
        EepromRam = eeprom.data();
        RtcKeepPortBytes(cart.data() + 0xC4);
        FlashReset(FlashChipId, SaveRam, FlashSizeExp, 0);
        EepromReset(EepromRam, EepromSizeExp, DummyPage, 0);
        RtcReset(cart.data() + 0xC4, 0);
        ConsoleCpu = ArmState{};
        ConsoleCpu.sliceLength = 960;
        ArmReset(&ConsoleCpu, 0);
        ResetWaitCycles();
        HaltState = 0;
        const uint32_t order[4] = {3u << 28, 2u << 28, 1u << 28, 0};
        std::memcpy(BgOrder, order, sizeof order);
        for (int n = 0; n < 4; ++n)
            TimerPeriod[n] = TimerCountdown[n] = TimerCounter[n] = TimerReload[n] = 0;
    }
    ~StateMachine()
    {
        MapConsoleMemory(ConsoleBlocks{});
        SaveRam = nullptr;
        EepromRam = nullptr;
    }

    std::vector<uint8_t> ewram, iwram, io, palette, vram, oam, save, eeprom, cart;
};

} // namespace Tavrin::Testing
