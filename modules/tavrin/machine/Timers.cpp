#include "modules/tavrin/machine/Timers.h"

#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/SoundFifo.h"

namespace Tavrin {

int32_t TimerPeriod[4];
int32_t TimerCountdown[4];
uint32_t TimerCounter[4];
uint32_t TimerReload[4];

namespace {

constexpr int32_t Prescale[4] = {1, 64, 256, 1024};

// Each overflow of a sound timer plays a sample of the channels it drives,
// whether the host plays sound or not.
void CountSamples(uint32_t timer, uint32_t samples) { PlayFifoSamples(timer, samples); }

} // namespace

void ResetTimers()
{
    for (int n = 0; n < 4; ++n) {
        TimerCountdown[n] = TimerPeriod[n] = 0;
        TimerCounter[n] = TimerReload[n] = 0;
    }
}

void StepTimers(int32_t cycles)
{
    int last = -1;
    for (int n = 0; n < 4; ++n) {
        const int32_t period = TimerPeriod[n];
        if (period == 0)
            continue;
        if (TimerCountdown[n] == 0) {
            if (last == n - 1 && n > 0)
                TimerCounter[n] += 1;
        } else {
            int32_t countdown = TimerCountdown[n] - cycles;
            if (countdown <= 0) {
                TimerCounter[n] += uint32_t(1 - countdown / period);
                countdown = period + countdown % period;
            }
            TimerCountdown[n] = countdown;
        }
        if (TimerCounter[n] > 0xFFFF) {
            const uint32_t e = TimerCounter[n] - 0x10000;
            const uint32_t m = 0x10000 - TimerReload[n];
            TimerCounter[n] = TimerReload[n] + e % m;
            if (IoGet(Io::TimerControl(n)) & 0x40)
                IoSet(Io::If, IoGet(Io::If) | 8u << n);
            last = n;
            if (n < 2)
                CountSamples(uint32_t(n), e / m + 1);
        }
        IoSet(Io::TimerCounter(n), TimerCounter[n]);
    }
}

void WriteTimerReload(uint32_t n, uint32_t value)
{
    TimerReload[n] = TimerCounter[n] = value & 0xFFFF;
    // The sound channels' pitch follows the reload of their timer.
    if (n < 2)
        UpdatePcmRates();
}

void WriteTimerControl(uint32_t n, uint32_t value)
{
    TimerPeriod[n] = (value & 0x80) ? Prescale[value & 3] : 0;
    TimerCountdown[n] = (n == 0 || !(value & 4)) ? TimerPeriod[n] : 0;
    if (n < 2)
        UpdatePcmRates();
}

} // namespace Tavrin
