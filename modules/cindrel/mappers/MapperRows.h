// The rows each mapper family adds to the mapper table.
#pragma once

#include "modules/cindrel/machine/MapperFramework.h"

namespace Cindrel {

#pragma GCC visibility push(hidden)

using MapperRows = std::array<MapperRow, 256>;

void AddDiscreteRows(MapperRows &rows);
void AddMmc1Row(MapperRows &rows);
void AddMmc3Rows(MapperRows &rows);
void AddMmc2Mmc4Rows(MapperRows &rows);
void AddNibbleRegisterRows(MapperRows &rows);
void AddSunSoftRows(MapperRows &rows);
void AddBandaiRow(MapperRows &rows);
void AddBoards17And18Rows(MapperRows &rows);
void AddNamcotRow(MapperRows &rows);
void AddIremRows(MapperRows &rows);
void AddTaitoRow(MapperRows &rows);
void AddDiskSystemRow(MapperRows &rows);
void AddMmc5Row(MapperRows &rows);

#pragma GCC visibility pop

} // namespace Cindrel
