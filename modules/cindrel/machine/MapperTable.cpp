// The supported mapper numbers. Number 0 and every number without a row
// run on the default mapping of SetupMapper with no handlers.
#include "modules/cindrel/machine/MapperFramework.h"
#include "modules/cindrel/mappers/MapperRows.h"

namespace Cindrel {

std::array<MapperRow, 256> MapperTable = [] {
    std::array<MapperRow, 256> rows{};
    AddDiscreteRows(rows);
    AddMmc1Row(rows);
    AddMmc3Rows(rows);
    AddMmc2Mmc4Rows(rows);
    AddNibbleRegisterRows(rows);
    AddSunSoftRows(rows);
    AddBandaiRow(rows);
    AddBoards17And18Rows(rows);
    AddNamcotRow(rows);
    AddIremRows(rows);
    AddTaitoRow(rows);
    AddDiskSystemRow(rows);
    AddMmc5Row(rows);
    return rows;
}();

} // namespace Cindrel
