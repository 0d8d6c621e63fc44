// The machine's saved-state file: header, CPU record, hardware block,
// address spaces, sprite RAM, registers, sound unit and mapper record, 83,756
// bytes in all, little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Zorvan {
class ByteWriter;
}

namespace Cindrel {

#pragma GCC visibility push(hidden)

inline constexpr size_t StateFileSize = 83756;
// The size for the running cartridge: a board with pattern RAM of its own
// beyond VideoSpace's 8 KB adds it after the mapper block.
size_t StateSizeForCartridge();

// Offsets of the blocks in the file.
enum StateOffset : size_t {
    StateCpuAt = 16,
    StateHardwareAt = 52,
    StateCpuSpaceAt = 1076,
    StateVideoSpaceAt = 66612,
    StateSpriteRamAt = 82996,
    StatePpuRegistersAt = 83252,
    StateSoundAt = 83260,
    StateMapperAt = 83496,
};

// The blocks that follow the hardware block, as the file holds them: the
// address spaces, sprite RAM, registers, sound unit, mapper record and any
// pattern RAM of the board's own.
void WriteMachineBlocks(Zorvan::ByteWriter &out);

// 1 when the whole file was written (through a temporary file: the old
// file stays on failure), else 0.
int SaveStateFile(const std::string &name);
// Reads the whole file, checks every block and applies it only then: 1 on
// success; on 0 the machine is as it was and reason (when given) says why.
int LoadStateFile(const std::string &name, std::string *reason = nullptr);
// The same for a file already read whole; name is only for the console.
int LoadStateBytes(const std::vector<uint8_t> &bytes, const std::string &name, std::string *reason = nullptr);

#pragma GCC visibility pop

} // namespace Cindrel
