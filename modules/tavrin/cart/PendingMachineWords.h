// The machine's option words that the cartridge code reads and the guess
// writes. Kept here until the machine's own header declares them.
#pragma once

#include <cstdint>

namespace Tavrin {

extern uint32_t HeaderCheckOn;
extern uint32_t HardwareGuessOn;
extern uint32_t FlashChipId;
extern uint32_t FlashSizeExp;
extern uint32_t EepromSizeExp;

// 1 << FlashSizeExp bytes, and EepromRamSize bytes; null when absent.
extern uint8_t *SaveRam;
extern uint8_t *EepromRam;

// Scheduler and sound words the state file carries or rebuilds.
extern uint32_t HaltState;
extern uint32_t TimerPeriod[4];
extern int32_t TimerCountdown[4];
extern uint32_t TimerCounter[4];
extern uint32_t TimerReload[4];
extern uint32_t FifoSource[2];
extern uint32_t PcmSampleCount[2];
extern uint32_t PcmWritePos[2];
extern uint32_t WaitCallPc;
extern uint32_t WaitSavedR12;
void UpdatePcmRates();

} // namespace Tavrin
