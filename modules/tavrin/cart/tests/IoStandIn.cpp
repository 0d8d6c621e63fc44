// The bus routes I/O stores here; the device tests have no I/O registers.
#include "modules/tavrin/bus/BusDevices.h"

void Tavrin::WriteIo(uint32_t, uint32_t) {}
