// The devices behind the bus (I/O registers, EEPROM, clock port, flash) are
// part of the machine the core reaches through its table in cpu/ArmHooks.h.
#pragma once

#include "modules/tavrin/cpu/ArmHooks.h"
