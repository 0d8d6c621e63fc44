#include "modules/tavrin/files/WordBlock.h"

#include "common/zorvan/ByteStream.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/machine/Timers.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstring>

namespace Tavrin {

namespace {

constexpr uint32_t UsedWords = 58;
// A timer lead beyond this comes from a damaged file.
constexpr uint32_t MaxTimerLead = 1u << 24;

// The affine words of background 2 + b in block order.
int32_t *AffineWord(int b, int i)
{
    int32_t *const words[8] = {&BgRefX[b], &BgRefY[b], &BgCurX[b], &BgCurY[b],
                               &BgPa[b],   &BgPb[b],   &BgPc[b],   &BgPd[b]};
    return words[i];
}

bool ValidPeriod(int32_t p) { return p == 0 || p == 1 || p == 64 || p == 256 || p == 1024; }

// Back to front, sorted descending by priority and then background number,
// each background once, its priority bits a copy of its control's, and
// nothing in the bits no descriptor uses.
bool ValidBgOrder(const uint32_t order[4])
{
    uint32_t seen = 0;
    for (int k = 0; k < 4; ++k) {
        uint32_t d = order[k];
        if ((d & 0x08FF0000) || (d >> 30) != (d & 3))
            return false;
        seen |= 1u << ((d >> 28) & 3);
        if (k > 0 && (order[k - 1] >> 28) <= (d >> 28))
            return false;
    }
    return seen == 0xF;
}

} // namespace

MachineWords TakeMachineWords()
{
    MachineWords w{};
    w.haltState = HaltState;
    std::memcpy(w.bgOrder, BgOrder, sizeof w.bgOrder);
    std::memcpy(w.timerPeriod, TimerPeriod, sizeof w.timerPeriod);
    std::memcpy(w.timerCountdown, TimerCountdown, sizeof w.timerCountdown);
    std::memcpy(w.timerCounter, TimerCounter, sizeof w.timerCounter);
    std::memcpy(w.timerReload, TimerReload, sizeof w.timerReload);
    for (int b = 0; b < 2; ++b)
        for (int i = 0; i < 8; ++i)
            w.affine[b][i] = *AffineWord(b, i);
    w.timerLead = TimerLead();
    for (int c = 0; c < 2; ++c) {
        w.fifoSource[c] = FifoSource[c];
        std::memcpy(w.fifo[c], Fifo[c].bytes, FifoBytes);
        w.fifo[c][8] = Fifo[c].head | Fifo[c].count << 8 | uint32_t(uint8_t(Fifo[c].playing)) << 16;
    }
    return w;
}

void PutMachineWords(const MachineWords &w)
{
    HaltState = w.haltState;
    std::memcpy(BgOrder, w.bgOrder, sizeof w.bgOrder);
    std::memcpy(TimerPeriod, w.timerPeriod, sizeof w.timerPeriod);
    std::memcpy(TimerCountdown, w.timerCountdown, sizeof w.timerCountdown);
    std::memcpy(TimerCounter, w.timerCounter, sizeof w.timerCounter);
    std::memcpy(TimerReload, w.timerReload, sizeof w.timerReload);
    for (int b = 0; b < 2; ++b)
        for (int i = 0; i < 8; ++i)
            *AffineWord(b, i) = w.affine[b][i];
    for (int c = 0; c < 2; ++c) {
        // States made before the sound DMA's own addresses were kept start
        // it again from its source register (I/O is in place by now).
        FifoSource[c] = w.fifoSource[c] ? w.fifoSource[c] : IoGet32(Io::DmaSource(c + 1)) & 0x0FFFFFFC;
        std::memcpy(Fifo[c].bytes, w.fifo[c], FifoBytes);
        Fifo[c].head = w.fifo[c][8] & 0xFF;
        Fifo[c].count = (w.fifo[c][8] >> 8) & 0xFF;
        Fifo[c].playing = int8_t(w.fifo[c][8] >> 16);
    }
}

void WriteWordBlock(const MachineWords &w, Zorvan::ByteWriter &out)
{
    out.u32(w.haltState);
    for (uint32_t v : w.bgOrder)
        out.u32(v);
    for (int32_t v : w.timerPeriod)
        out.i32(v);
    for (int32_t v : w.timerCountdown)
        out.i32(v);
    for (uint32_t v : w.timerCounter)
        out.u32(v);
    for (uint32_t v : w.timerReload)
        out.u32(v);
    for (const auto &bg : w.affine)
        for (int32_t v : bg)
            out.i32(v);
    out.u32(w.timerLead);
    for (uint32_t v : w.fifoSource)
        out.u32(v);
    for (const auto &fifo : w.fifo)
        for (uint32_t v : fifo)
            out.u32(v);
    out.zeros(WordBlockSize - 4 * UsedWords);
}

const char *ReadWordBlock(MachineWords &w, Zorvan::ByteReader &in)
{
    MachineWords t{};
    t.haltState = in.u32();
    for (uint32_t &v : t.bgOrder)
        v = in.u32();
    for (int32_t &v : t.timerPeriod)
        v = in.i32();
    for (int32_t &v : t.timerCountdown)
        v = in.i32();
    for (uint32_t &v : t.timerCounter)
        v = in.u32();
    for (uint32_t &v : t.timerReload)
        v = in.u32();
    for (auto &bg : t.affine)
        for (int32_t &v : bg)
            v = in.i32();
    t.timerLead = in.u32();
    for (uint32_t &v : t.fifoSource)
        v = in.u32();
    for (auto &fifo : t.fifo)
        for (uint32_t &v : fifo)
            v = in.u32();
    in.skip(WordBlockSize - 4 * UsedWords);
    if (!in.ok())
        return "machine words cut short";
    if (t.haltState > 2)
        return "halt state out of range";
    if (!ValidBgOrder(t.bgOrder))
        return "background order out of range";
    for (int n = 0; n < 4; ++n) {
        if (!ValidPeriod(t.timerPeriod[n]))
            return "timer period out of range";
        if (t.timerCountdown[n] < 0 || t.timerCountdown[n] > t.timerPeriod[n])
            return "timer countdown out of range";
        if (t.timerCounter[n] > 0xFFFF || t.timerReload[n] > 0xFFFF)
            return "timer value out of range";
    }
    if (t.timerLead > MaxTimerLead)
        return "timer lead out of range";
    for (int c = 0; c < 2; ++c) {
        if (t.fifoSource[c] & ~0x0FFFFFFCu)
            return "sound DMA address out of range";
        if ((t.fifo[c][8] & 0xFF) >= FifoBytes || ((t.fifo[c][8] >> 8) & 0xFF) > FifoBytes || t.fifo[c][8] >> 24)
            return "sound FIFO out of range";
    }
    w = t;
    return nullptr;
}

} // namespace Tavrin
