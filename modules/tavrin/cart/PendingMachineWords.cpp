#include "modules/tavrin/cart/PendingMachineWords.h"

namespace Tavrin {

uint32_t HeaderCheckOn = 1;
uint32_t HardwareGuessOn = 1;
uint32_t FlashChipId = 0xD4BF;
uint32_t FlashSizeExp = 17;
uint32_t EepromSizeExp = 6;
uint8_t *SaveRam = nullptr;
uint8_t *EepromRam = nullptr;
uint32_t HaltState = 0;
uint32_t TimerPeriod[4];
int32_t TimerCountdown[4];
uint32_t TimerCounter[4];
uint32_t TimerReload[4];
uint32_t FifoSource[2];
uint32_t PcmSampleCount[2];
uint32_t PcmWritePos[2];
uint32_t WaitCallPc = 0;
uint32_t WaitSavedR12 = 0;
void UpdatePcmRates() {}

} // namespace Tavrin
