// The plug-in's two exports.
#include "modules/belcrest/module/BelcrestModule.h"

CONSOLE_MODULE_EXPORTS(Belcrest::BelcrestModule, Belcrest::BelcrestTexts)
