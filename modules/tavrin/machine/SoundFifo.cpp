#include "modules/tavrin/machine/SoundFifo.h"

#include "common/zorvan/Console.h"
#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/Timers.h"

#include <cstring>

namespace Tavrin {

uint8_t *PcmBuffer[2];
uint32_t PcmWritePos[2];
uint32_t PcmSampleCount[2];
uint32_t PcmRate[2];
uint32_t FifoSource[2];
uint32_t SoundState = 0;

namespace {

// Channel A and B: sound channel, DMA channel, and their sound-control bits.
struct PcmChannel {
    int soundChannel;
    uint32_t dma;
    uint32_t volumeBit, outputShift, timerBit;
    char name;
};
constexpr PcmChannel Channels[2] = {{4, 1, 2, 8, 10, 'A'}, {5, 2, 3, 12, 14, 'B'}};

// Whole words only: a size that is not a multiple of 4 leaves its tail unused.
uint32_t RingBytes() { return PcmBufferSize & ~3u; }

} // namespace

uint32_t PcmTimerOf(uint32_t channel) { return (IoGet(Io::SoundCntH) >> Channels[channel].timerBit) & 1; }

void ResetSoundFifos()
{
    for (int c = 0; c < 2; ++c) {
        if (PcmBuffer[c])
            std::memset(PcmBuffer[c], 0, PcmBufferSize);
        PcmSampleCount[c] = PcmWritePos[c] = PcmRate[c] = 0;
    }
    SetTone(4, 0, 0);
    SetTone(5, 0, 0);
    UpdatePcmRates();
}

void RefillSoundFifo(uint32_t channel, uint32_t blocks)
{
    const uint32_t control = Io::DmaControl(Channels[channel].dma);
    const uint32_t c = IoGet(control);
    if ((c & 0xB000) != 0xB000)
        return;
    if (c & 0x4000)
        IoSet(Io::If, IoGet(Io::If) | 0x200u << channel);
    if (!(c & 0x200))
        IoSet(control, c & 0x7FFF);

    const uint32_t size = RingBytes();
    const signed char *wave = GetWavePosition(Channels[channel].soundChannel);
    uint8_t *buffer = PcmBuffer[channel];
    if (!wave || !buffer || size == 0)
        return;
    const intptr_t played = reinterpret_cast<const uint8_t *>(wave) - buffer;
    if (played < 0 || played >= intptr_t(size))
        return;
    const uint32_t p = uint32_t(played) & ~3u;
    uint32_t w = PcmWritePos[channel] % size & ~3u;
    const uint32_t room = p >= w ? p - w : size + p - w;
    uint64_t words = uint64_t(blocks) * 4;
    if (words > room / 4)
        words = room / 4;
    const int32_t step = (c & 0x100) ? 0 : (c & 0x80) ? -4 : 4;
    for (uint64_t i = 0; i < words; ++i) {
        const uint32_t word = BusRead32(FifoSource[channel]);
        std::memcpy(buffer + w, &word, 4);
        FifoSource[channel] = (FifoSource[channel] + uint32_t(step)) & 0x0FFFFFFC;
        w = (w + 4) % size;
    }
    PcmWritePos[channel] = w;
}

void UpdatePcmRates()
{
    static const int Volume[8] = {0, 0, 128, 255, 128, 255, 128, 255};
    const uint32_t sound = IoPage ? IoGet(Io::SoundCntH) : 0;
    for (uint32_t channel = 0; channel < 2; ++channel) {
        const PcmChannel &ch = Channels[channel];
        const int volume =
            Volume[((sound >> ch.volumeBit) & 1) + 2 * ((sound >> ch.outputShift) & 3)];
        const uint32_t t = (sound >> ch.timerBit) & 1;
        uint32_t rate = 0;
        if (IoPage && (IoGet(Io::DmaControl(ch.dma)) & 0xB000) == 0xB000 && TimerPeriod[t] != 0)
            rate = (16780002u / uint32_t(TimerPeriod[t])) / (0x10000 - TimerReload[t]);
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
    const uint32_t channel = (offset - 0x0A0) / 4;
    const uint32_t size = RingBytes();
    uint8_t *buffer = PcmBuffer[channel];
    if (!buffer || size == 0)
        return;
    const uint32_t at = (PcmWritePos[channel] % size & ~3u) + (offset & 2);
    buffer[at] = uint8_t(value);
    buffer[at + 1] = uint8_t(value >> 8);
    if (offset & 2)
        PcmWritePos[channel] = (PcmWritePos[channel] + 4) % size;
}

} // namespace Tavrin
