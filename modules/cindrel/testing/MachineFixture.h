// A started machine on a built cartridge in a scratch folder, for the
// machine's own tests.
#pragma once

#include "common/zorvan/ByteStream.h"
#include "common/zorvan/Console.h"
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/machine/StateFile.h"
#include "modules/cindrel/testing/ModuleStandIns.h"
#include "modules/cindrel/testing/CartridgeBuilder.h"
#include "modules/cindrel/testing/Harness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace Cindrel::Test {

class MachineFixture : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("cindrel_machine_" + std::to_string(::getpid()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        ResetStandIns();
        FrameSkip = 1;
    }
    void TearDown() override
    {
        MachineShutdown();
        std::filesystem::remove_all(folder_);
    }

    std::string Path(const std::string &name) const { return (folder_ / name).string(); }

    // Writes the cartridge as name and starts it.
    bool Start(const CartridgeBuilder &cart, const std::string &name = "game.nes",
               const std::string &saveName = std::string())
    {
        cart.Write(folder_ / name);
        return StartImage(Path(name), saveName);
    }

    static void WriteFile(const std::string &path, const std::string &bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path folder_;
};

// Everything a state load may change, as bytes, to show that a refused
// load changed nothing. The bytes stay valid until the next call.
inline const std::vector<uint8_t> &MachineSnapshot()
{
    static Zorvan::ByteWriter out;
    out.bytes().clear();
    Cpu6502WriteImage(Cpu, out);
    WriteMachineBlocks(out);
    for (uint32_t v : {uint32_t(MirroringMode), uint32_t(CurrentLine), ScrollX, ScrollY, uint32_t(VramAddress),
                       uint32_t(ReadBuffer), uint32_t(WriteToggle), uint32_t(DiskControl), DiskPosition,
                       uint32_t(DiskSide), uint32_t(Latch9State), uint32_t(Latch10LowState),
                       uint32_t(Latch10HighState), uint32_t(IrqSources)})
        out.u32(v);
    out.raw(IoLatchAge, sizeof IoLatchAge);
    for (uint8_t *p : FetchMap)
        out.u64(reinterpret_cast<uintptr_t>(p));
    for (uint8_t *p : VideoPageMap)
        out.u64(reinterpret_cast<uintptr_t>(p));
    out.u64(reinterpret_cast<uintptr_t>(SpriteHalf));
    out.u64(reinterpret_cast<uintptr_t>(BackgroundHalf));
    return out.bytes();
}

// A cartridge whose reset code is an endless loop at $C000, with NMI and IRQ
// handlers that return at once.
inline CartridgeBuilder IdleCartridge(int romPages = 2, int vromPages = 1)
{
    CartridgeBuilder cart(romPages, vromPages);
    cart.Code(0xC000, {0x4C, 0x00, 0xC0}).Code(0xC100, {0x40}).Vectors(0xC100, 0xC000, 0xC100);
    return cart;
}

} // namespace Cindrel::Test
