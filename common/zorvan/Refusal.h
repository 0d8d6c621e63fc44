// Why the last game image was refused, in words a user can act on ("The
// file does not exist"). Whatever part refuses an image (the engine before
// any module is asked, or the module that reads it) notes its reason here
// beside its console line; the engine clears the note before each start,
// and the front end puts the note in the box that tells the user the file
// did not open. One note: the last one made wins.
#pragma once

#include <string>

namespace Zorvan {

// Keeps reason (UTF-8) as the reason of the current start; null is ignored.
void noteRefusal(char const *reason);
// The reason noted since the last clearRefusal; empty when none was.
std::string lastRefusal();
void clearRefusal();

} // namespace Zorvan
