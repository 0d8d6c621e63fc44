// The seed writers of the consoles' targets, each in its own file beside
// make_seeds.cpp: they run the machine (on the public test programs when
// they are found, else on images made here) and keep what its own writers
// write.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace FuzzSeeds {

using Bytes = std::vector<uint8_t>;
using SeedTable = std::vector<std::pair<std::string, std::function<std::vector<Bytes>()>>>;

// The public test programs of one folder under the test-program folder
// (files ending in extension), read whole; none when the folder is absent.
std::vector<std::pair<std::string, Bytes>> PublicPrograms(const std::string &folder, const std::string &extension,
                                                         size_t largest = size_t(1) << 20);
// The folder this program runs from, where the benchmark image writers
// are built beside it.
std::string ProgramFolder();
// A zip archive holding the members (name, bytes), as the project's tests
// write them.
Bytes Zipped(const std::vector<std::pair<std::string, Bytes>> &members);

void AddZ80Seeds(SeedTable &table);
void AddHandheldSeeds(SeedTable &table);
void Add6502Seeds(SeedTable &table);

} // namespace FuzzSeeds
