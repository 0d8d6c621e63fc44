#include "modules/tavrin/machine/SoundFifo.h"

#include "common/zorvan/Console.h"
#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/Timers.h"

#include <algorithm>
#include <cstring>

namespace Tavrin {

DirectFifo Fifo[2];
uint8_t *PcmBuffer[2];
uint32_t PcmWritePos[2];
uint32_t PcmWritten[2];
uint32_t PcmRate[2];
uint32_t FifoSource[2];
uint32_t SoundState = 0;

namespace {

// Channel A and B: sound channel, DMA channel, and their sound-control bits.
struct PcmChannel {
    int soundChannel;
    uint32_t dma;
    uint32_t volumeBit, outputShift, timerBit, resetBit;
    char name;
};
constexpr PcmChannel Channels[2] = {{4, 1, 2, 8, 10, 11, 'A'}, {5, 2, 3, 12, 14, 15, 'B'}};

// The console's clock: cycles a second.
constexpr uint32_t CyclesPerSecond = 1u << 24;

// The FIFO asks for DMA once no more than half of it is queued.
constexpr uint32_t RequestLevel = FifoBytes / 2;

// Whole words only: a size that is not a multiple of 4 leaves its tail unused.
uint32_t RingBytes() { return PcmBufferSize & ~3u; }

void Queue(DirectFifo &f, uint8_t byte)
{
    // A full FIFO takes nothing more.
    if (f.count == FifoBytes)
        return;
    f.bytes[(f.head + f.count) % FifoBytes] = byte;
    ++f.count;
}

// `n` more samples of value `sample` into the channel's ring.
void RingPut(uint32_t channel, int8_t sample, uint64_t n)
{
    PcmWritten[channel] += uint32_t(n);
    const uint32_t size = RingBytes();
    uint8_t *ring = PcmBuffer[channel];
    if (!ring || size == 0)
        return;
    uint32_t at = PcmWritePos[channel] % size;
    if (n >= size) {
        // Only the last turn of the ring stays.
        std::memset(ring, uint8_t(sample), size);
        at = uint32_t((at + n) % size);
    } else {
        for (uint32_t left = uint32_t(n); left > 0;) {
            const uint32_t run = std::min(left, size - at);
            std::memset(ring + at, uint8_t(sample), run);
            at = (at + run) % size;
            left -= run;
        }
    }
    PcmWritePos[channel] = at;
}

void PlaySamples(uint32_t channel, uint64_t n)
{
    DirectFifo &f = Fifo[channel];
    while (n > 0) {
        if (f.count == 0) {
            RefillSoundFifo(channel);
            if (f.count == 0) {
                // Nothing comes: the channel holds its last sample.
                RingPut(channel, f.playing, n);
                return;
            }
        }
        f.playing = int8_t(f.bytes[f.head]);
        f.head = (f.head + 1) % FifoBytes;
        --f.count;
        RingPut(channel, f.playing, 1);
        --n;
        if (f.count <= RequestLevel)
            RefillSoundFifo(channel);
    }
}

void Empty(DirectFifo &f) { f = DirectFifo{}; }

// Overflows a second of timer t, or 0 while it is stopped.
uint32_t OverflowRate(uint32_t t)
{
    if (TimerPeriod[t] == 0)
        return 0;
    const uint32_t span = 0x10000 - TimerReload[t];
    // A count-up timer counts the overflows of the one below.
    if (TimerCountdown[t] == 0 && t > 0)
        return OverflowRate(t - 1) / span;
    return CyclesPerSecond / uint32_t(TimerPeriod[t]) / span;
}

} // namespace

uint32_t PcmTimerOf(uint32_t channel) { return (IoGet(Io::SoundCntH) >> Channels[channel].timerBit) & 1; }

void ResetSoundFifos()
{
    for (uint32_t c = 0; c < 2; ++c) {
        if (PcmBuffer[c])
            std::memset(PcmBuffer[c], 0, PcmBufferSize);
        Empty(Fifo[c]);
        PcmWritten[c] = PcmWritePos[c] = PcmRate[c] = 0;
    }
    SetTone(4, 0, 0);
    SetTone(5, 0, 0);
    UpdatePcmRates();
}

void PlayFifoSamples(uint32_t timer, uint64_t overflows)
{
    for (uint32_t channel = 0; channel < 2; ++channel)
        if (PcmTimerOf(channel) == timer)
            PlaySamples(channel, overflows);
}

bool RefillSoundFifo(uint32_t channel)
{
    const uint32_t control = Io::DmaControl(Channels[channel].dma);
    const uint32_t c = IoGet(control);
    if ((c & 0xB000) != 0xB000)
        return false;
    if (c & 0x4000)
        IoSet(Io::If, IoGet(Io::If) | 0x200u << channel);
    if (!(c & 0x200))
        IoSet(control, c & 0x7FFF);
    // Four words whatever the count and unit say; the destination stays.
    const uint32_t step = (c & 0x100) ? 0 : (c & 0x80) ? uint32_t(-4) : 4;
    DirectFifo &f = Fifo[channel];
    for (int i = 0; i < 4; ++i) {
        const uint32_t word = BusRead32(FifoSource[channel]);
        for (int b = 0; b < 4; ++b)
            Queue(f, uint8_t(word >> (8 * b)));
        FifoSource[channel] = (FifoSource[channel] + step) & 0x0FFFFFFC;
    }
    return true;
}

void UpdatePcmRates()
{
    static const int Volume[8] = {0, 0, 128, 255, 128, 255, 128, 255};
    const uint32_t sound = IoPage ? IoGet(Io::SoundCntH) : 0;
    for (uint32_t channel = 0; channel < 2; ++channel) {
        const PcmChannel &ch = Channels[channel];
        const int volume = Volume[((sound >> ch.volumeBit) & 1) + 2 * ((sound >> ch.outputShift) & 3)];
        const uint32_t rate = IoPage ? OverflowRate((sound >> ch.timerBit) & 1) : 0;
        if (rate != PcmRate[channel]) {
            if (LogFlags & 0x80)
                printConsole("SOUND %c: PCM frequency set to %dHz\n", ch.name, int(rate));
            SetWave(ch.soundChannel, reinterpret_cast<const signed char *>(PcmBuffer[channel]), int(RingBytes()),
                    int(rate));
            PcmRate[channel] = rate;
        }
        SetTone(ch.soundChannel, rate != 0 ? 1 : 0, volume);
    }
}

void WriteFifo(uint32_t offset, uint32_t value)
{
    DirectFifo &f = Fifo[(offset - 0x0A0) / 4];
    Queue(f, uint8_t(value));
    Queue(f, uint8_t(value >> 8));
}

void WriteDirectSoundControl(uint32_t value)
{
    for (uint32_t channel = 0; channel < 2; ++channel)
        if ((value >> Channels[channel].resetBit) & 1)
            Empty(Fifo[channel]);
}

} // namespace Tavrin
