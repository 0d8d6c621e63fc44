// The text of the box that tells the user a file did not open: the reason
// the engine or the module gave, as a sentence, or the old guess about
// memory when none was given.
#pragma once

#include <QString>

// reason as noted by whatever refused the file (Engine::GetRefusal); empty
// when nothing was noted.
QString FailedOpenMessage(QString const &reason);
