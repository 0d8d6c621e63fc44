#include "modules/tavrin/testing/HeadlessHost.h"

#include "modules/tavrin/machine/ModuleServices.h"

namespace Tavrin {

HeadlessHostRecord HeadlessHost;

void PresentFrame() { ++HeadlessHost.framesPresented; }
uint32_t ReadPadState() { return HeadlessHost.padState; }

} // namespace Tavrin
