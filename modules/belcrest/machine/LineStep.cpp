// The per-line step the CPU calls whenever its slice runs out: drawing,
// line and frame interrupts, the once-a-frame work at line 193, and the
// slice lengths (216-cycle lines, line 192 in three parts, line 255 the
// rest of the frame).
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "modules/sounddriver/SoundDriver.h"

namespace Belcrest {

uint8_t PauseHeld;

uint16_t JoypadWord(uint32_t buttons, uint16_t old)
{
    uint16_t w = uint16_t((~buttons & 0x3FFF) | (old & 0xC000));
    if (IsGameGear()) {
        w = uint16_t(w & (0xFFC0 | ((w >> 6) & 0x3F)));
        w |= 0x1FC0;
    } else if (!(w & 0x2000)) {
        w &= uint16_t(~0x10); // Start also presses button 1
    }
    // Opposite directions cannot be pressed together.
    if (!(w & 0x008))
        w |= 0x004;
    if (!(w & 0x001))
        w |= 0x002;
    if (!(w & 0x200))
        w |= 0x100;
    if (!(w & 0x040))
        w |= 0x080;
    AutofireCounter = (AutofireCounter + 1) & 7;
    if (AutofireCounter >= 4) {
        if (MachineWord & MachineAutofire1)
            w |= 0x410;
        if (MachineWord & MachineAutofire2)
            w |= 0x820;
    }
    return w;
}

namespace {

uint16_t FrameWork(Z80State &cpu)
{
    cpu.linePeriod = LinePeriod;
    MidiTicks(int(int64_t(FramePeriod) * 1000 / 3575211));
    PsgSync((MachineWord & MachinePsgMode80) ? 0x82 : 2);
    FmSync(2);
    const uint32_t buttons = ReadPadState();
    KeyboardRows[7] = JoypadWord(buttons, KeyboardRows[7]);
    // One non-maskable interrupt per press of Pause, however long it is held.
    const bool pause = buttons & PadPause;
    const bool pressed = pause && !PauseHeld;
    PauseHeld = pause;
    if (pressed && !IsGameGear())
        return Z80VectorNmi;
    if (QuitFlag)
        return Z80VectorQuit;
    return cpu.pendingInterrupt;
}

// The line counter steps at the end of each line, just before the V counter
// moves on; here that is the step that starts the next line. It is loaded
// from register 10 at the end of line 0 and of every line of the vertical
// blank, and counts down at the end of lines 1-192. Counting down from 0 it
// is loaded again and raises the line interrupt, so the CPU takes it as the
// V counter shows the line after: with register 10 = 9 on lines 11, 21, 31.
void StepLineCounter(unsigned line)
{
    const unsigned ended = (line - 1) & 0xFF;
    if (ended == 0 || ended > 192) {
        LineCounter = VdpRegisters[10];
    } else if (LineCounter) {
        --LineCounter;
    } else {
        if (VdpRegisters[0] & 0x10)
            VdpSetIrq(2);
        VdpLinePending = 1;
        LineCounter = VdpRegisters[10];
    }
}

} // namespace

uint16_t LineHook(Z80State &cpu)
{
    if (LineSubStep == 0)
        ++CurrentLine;
    const unsigned line = CurrentLine;

    if (line == 192) {
        if (LineSubStep == 1) {
            VdpStatus |= VdpStatusFrame;
            LineSubStep = 2;
            return cpu.pendingInterrupt;
        }
        if (LineSubStep == 2) {
            if ((VdpStatus & VdpStatusFrame) && (VdpRegisters[1] & 0x20))
                VdpSetIrq(1);
            LineSubStep = 0;
            cpu.linePeriod = LinePeriod - 2 * (LinePeriod / 3);
            return cpu.pendingInterrupt;
        }
        cpu.linePeriod = LinePeriod / 3;
        LineSubStep = 1;
    } else if (line == 193) {
        StepLineCounter(line);
        return FrameWork(cpu);
    }

    if (line == 0)
        VdpLatchVScroll();
    if (line == 0 || line == 16)
        VdpLatchScroll();
    // Drawn before the line's slice runs, so it shows what the previous
    // line's code left; only while the video has a surface locked. The
    // chip looks for a line's sprites whether or not it is shown, so the
    // overflow and collision flags come on undrawn lines too.
    if (FrameSkipCounter <= 0 && line >= FirstVisibleLine && line <= LastVisibleLine && VdpFrameBuffer)
        VdpModeTable[VdpMode].render(int(line));
    else if (line < 192 && VdpMode == VdpMode4)
        VdpEvaluateSprites(int(line));

    if (line == LastVisibleLine) {
        if (VdpMode != VdpMode4 && SpriteCollision())
            VdpStatus |= VdpStatusCollision;
        FrameDone = 1;
        if (FrameSkipCounter > 0) {
            --FrameSkipCounter;
        } else {
            FrameSkipCounter = FrameSkip > 1 ? FrameSkip - 1 : 0;
            RefreshScreen();
        }
    }
    if (line == 0) {
        cpu.linePeriod = LinePeriod;
        LineSubStep = 0;
    } else if (line == 255) {
        cpu.linePeriod = FramePeriod - 255 * LinePeriod;
    }
    StepLineCounter(line);
    return cpu.pendingInterrupt;
}

namespace {

// Cycles the CPU has run of its current slice, the part EI parked included.
int32_t SliceCyclesDone(const Z80State &cpu)
{
    int32_t left = cpu.cyclesLeft;
    if (cpu.IFF & Z80IffAfterEi)
        left += cpu.savedCyclesLeft - 1;
    const int32_t done = cpu.linePeriod - left;
    return done > 0 ? done : 0;
}

} // namespace

uint8_t VCounter(const Z80State &cpu)
{
    // The NTSC chip counts 00-DA, then jumps back to D5 and counts on to
    // FF; the long last step goes on counting by whole lines.
    const unsigned line = CurrentLine;
    if (line <= 0xDA)
        return uint8_t(line);
    if (line < 255)
        return uint8_t(line - 6);
    const int32_t more = SliceCyclesDone(cpu) / LinePeriod;
    return uint8_t(more >= 0xFF - 0xF9 ? 0xFF : 0xF9 + more);
}

uint8_t HCounter(const Z80State &cpu)
{
    int32_t done = SliceCyclesDone(cpu);
    // Line 192 runs in three slices; the long last step is many lines.
    if (CurrentLine == 192)
        done += LineSubStep == 1 ? 0 : LineSubStep == 2 ? LinePeriod / 3 : LinePeriod - cpu.linePeriod;
    else if (CurrentLine == 255)
        done %= LinePeriod;
    if (done >= LinePeriod)
        done = LinePeriod - 1;
    return uint8_t(done * 256 / LinePeriod);
}

} // namespace Belcrest
