// The plug-in's two exports.
#include "modules/cindrel/module/CindrelModule.h"

CONSOLE_MODULE_EXPORTS(Cindrel::CindrelModule, Cindrel::CindrelTexts)
