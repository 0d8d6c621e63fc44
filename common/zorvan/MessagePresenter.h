// Message boxes for every library below the front end, without a window
// system: the program installs a presenter (the front end shows a dialog
// box); with none installed the text goes to standard error and the
// default button is the answer. Tests install a capturing presenter.
//
// Style flags and results keep the old message-box codes, so that stored
// and shared code keeps its meaning in every library:
//   buttons (style & 0xF):    MB_OK 0, MB_OKCANCEL 1, MB_ABORTRETRYIGNORE 2,
//                             MB_YESNOCANCEL 3, MB_YESNO 4, MB_RETRYCANCEL 5
//   icon (style & 0xF0):      MB_ICONERROR 0x10, MB_ICONQUESTION 0x20,
//                             MB_ICONWARNING 0x30, MB_ICONINFORMATION 0x40
//   default (style & 0xF00):  MB_DEFBUTTON1 0, MB_DEFBUTTON2 0x100,
//                             MB_DEFBUTTON3 0x200
//   results:                  IDOK 1, IDCANCEL 2, IDABORT 3, IDRETRY 4,
//                             IDIGNORE 5, IDYES 6, IDNO 7
#pragma once

#include "common/zorvan/String.h"

#include <functional>

#ifndef MB_OK
#define MB_OK 0x0u
#define MB_OKCANCEL 0x1u
#define MB_ABORTRETRYIGNORE 0x2u
#define MB_YESNOCANCEL 0x3u
#define MB_YESNO 0x4u
#define MB_RETRYCANCEL 0x5u
#define MB_TYPEMASK 0xFu
#define MB_ICONERROR 0x10u
#define MB_ICONHAND MB_ICONERROR
#define MB_ICONSTOP MB_ICONERROR
#define MB_ICONQUESTION 0x20u
#define MB_ICONWARNING 0x30u
#define MB_ICONEXCLAMATION MB_ICONWARNING
#define MB_ICONINFORMATION 0x40u
#define MB_ICONASTERISK MB_ICONINFORMATION
#define MB_ICONMASK 0xF0u
#define MB_DEFBUTTON1 0x0u
#define MB_DEFBUTTON2 0x100u
#define MB_DEFBUTTON3 0x200u
#define MB_DEFMASK 0xF00u
#endif

#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#endif

namespace Zorvan {

// Shows text under caption with the buttons and icon of style; returns the
// IDxxx code of the button chosen.
using MessagePresenter = std::function<int(String const &text, String const &caption, unsigned style)>;

// Installs the presenter for the whole process (an empty one restores the
// standard-error fallback) and returns the one it replaces.
MessagePresenter setMessagePresenter(MessagePresenter presenter);

// Shows a message through the installed presenter.
int presentMessage(String const &text, String const &caption, unsigned style);

// The answer of a box nobody can see: its default button.
int defaultMessageResult(unsigned style);

} // namespace Zorvan
