// What the line renderer keeps of the lines it drew, so that a line whose
// every input is the same as when it was last drawn is copied instead of
// drawn again: a game whose picture stands still costs a copy a line.
//
// The inputs are the display registers, the words the machine derives from
// them (layer order, blend and mosaic fields, the affine walk), and the
// content of VRAM, sprite RAM and palette RAM, told apart by generations
// that count the changes of their content (a store of what a block already
// holds changes nothing); sprite RAM's are counted per line. The pixels
// are kept apart from the frame buffer, which the video may swap or draw
// over between frames.
#pragma once

#include <cstdint>

namespace Tavrin {

// The lines copied instead of drawn since the program started, for the
// tests and for measuring.
extern uint64_t ReusedLineCount;

// Compares the 2 KB VRAM parts of the mask (VramPartsStored's) with the
// copy taken when they were last compared, takes the new content of those
// that differ and returns them.
uint64_t NoteVramContent(uint64_t parts);
// Compares sprite RAM with the copy taken at the last look and takes the
// new content; the lines that a changed entry's box covers, before or
// after, count as changed.
void NoteOamContent();

// Forgets every kept line: after the host colour table changed, or memory
// changed in ways no store reported (a reset, a loaded state, a new map).
void ForgetDrawnLines();

// Gathers the inputs of the line (0-159); when they equal those it was
// last drawn with, copies the pixels kept then into its frame-buffer row
// and returns true. Otherwise the line's record takes the new inputs,
// without pixels until KeepDrawnLine.
bool ReuseDrawnLine(uint32_t line);
// Keeps the pixels of the line just drawn, for the inputs ReuseDrawnLine
// gathered.
void KeepDrawnLine(uint32_t line);

} // namespace Tavrin
