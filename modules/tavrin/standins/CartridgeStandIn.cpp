#include "modules/tavrin/standins/CartridgeStandIn.h"

#include "modules/tavrin/bus/BusDevices.h"
#include "modules/tavrin/machine/CartridgeServices.h"
#include "modules/tavrin/machine/Machine.h"

namespace Tavrin {

CartridgeStandInRecord CartridgeStandInLog;

uint32_t EepromReadBit() { return 1; }
void EepromWriteBit(uint32_t) {}
void RtcWrite(uint32_t, uint32_t) {}
uint8_t *FlashWrite(uint32_t address, uint32_t byte)
{
    if (SaveRam)
        SaveRam[address & 0xFFFF] = uint8_t(byte);
    return nullptr;
}

void PrintHeaderSummary(const uint8_t *) {}
uint8_t GbaHeaderComplement(const uint8_t *header)
{
    uint32_t sum = 0;
    for (int i = 0xA0; i <= 0xBC; ++i)
        sum += header[i];
    return uint8_t(0xE7 - sum);
}
int GuessHardware(uint32_t)
{
    if (!CartridgeStandInLog.guessFlashSizeExp)
        return 0;
    FlashSizeExp = CartridgeStandInLog.guessFlashSizeExp;
    return 1;
}

void FlashReset(uint32_t, uint8_t *, uint32_t, uint8_t) { ++CartridgeStandInLog.flashResets; }
void EepromReset(uint8_t *, uint32_t, uint8_t *, uint8_t) { ++CartridgeStandInLog.eepromResets; }
void RtcReset(uint8_t *, uint8_t) { ++CartridgeStandInLog.rtcResets; }
void RtcKeepPortBytes(const uint8_t *) {}
void EepromNoteDmaUnits(uint32_t units) { CartridgeStandInLog.eepromDmaUnits = units; }

int LoadBatteryFile(const char *)
{
    ++CartridgeStandInLog.batteryLoads;
    return CartridgeStandInLog.loadResult;
}
int SaveBatteryFile(const char *)
{
    ++CartridgeStandInLog.batterySaves;
    return 1;
}

} // namespace Tavrin
