// What the module glue needs of a console's machine: the plain functions
// over the machine's file-level state, and the two machine words the glue
// sets. One constant table per module (see ConsoleModule.h).
#pragma once

#include <string>

namespace ConsoleGlue {

struct ConsoleMachine {
    // Starts the machine on the image (narrow path); false when it cannot
    // run it, with its reasons in the console text. A refused start is not
    // followed by `shutdown`: it writes no file, and what it allocated is
    // freed by itself or by the next start.
    bool (*start)(char const *path);
    // Writes the battery file and frees the machine.
    void (*shutdown)();
    // The console's reset.
    void (*reset)();
    // Runs one emulated frame; 0 when the machine was told to quit.
    int (*runFrame)();
    // The state-file writer and reader; false when the file could not be
    // written or was refused.
    bool (*writeState)(char const *path);
    bool (*readState)(char const *path);
    // Non-zero once the machine has been shut down; the machine's frame
    // step ends frames while it is set.
    int *quitFlag;
    // The machine's battery file name, of any length; the glue sets it
    // before `start`.
    std::string *saveName;
};

} // namespace ConsoleGlue
