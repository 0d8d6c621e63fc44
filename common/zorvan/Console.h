// The console text buffer: every diagnostic line of every library lands
// here, so that the front end can show it in its Console window.
//
// The functions are reachable both as Zorvan::printConsole and under their
// plain names. They may be called from any thread; the pointer getConsole
// returns stays valid until the next console call.
#pragma once

namespace Zorvan {

// Appends printf-style UTF-8 text; callers put their own "\n" into fmt.
// The text of one call has no length limit. Returns 0.
int printConsole(char const *fmt, ...) __attribute__((format(printf, 1, 2)));
// The whole console text as UTF-8.
char const *getConsole();
// Empties the console text.
void clearConsole();

} // namespace Zorvan

using Zorvan::clearConsole;
using Zorvan::getConsole;
using Zorvan::printConsole;
