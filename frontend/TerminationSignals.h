// The signals with which a desktop session or a terminal asks the program
// to end: SIGTERM (logout, shutdown, kill), SIGINT (Ctrl+C) and SIGHUP (the
// terminal went away). The handler only records the signal and wakes the
// event loop; the game loop then ends the program as "Exit Quintar" does,
// without asking, so the running game's battery save is written and the
// settings are kept. Dialogs with their own event loop (message boxes, the
// file dialog, popups) are closed, so that the game loop gets to act.
//
// A second signal while the first is being acted on ends the program at
// once, as it would have without the handler.
#pragma once

class TerminationSignals {
public:
    // Installs the handlers and the loop's wake-up; needs the application
    // object. A second call does nothing.
    static void Install();
    // The signal received; 0 while none was.
    static int Received();
    // Forgets a received signal (for tests that raise one).
    static void Reset();
};
