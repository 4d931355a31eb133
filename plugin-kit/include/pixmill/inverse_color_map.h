// The nearest-palette-entry map shared by colour reduction, resampling and
// rotation. Colours are reduced to 6 bits per component (cells of 4 levels);
// a cell holds palette index + 1, or 0 while not yet computed. A missing cell
// fills its whole 8 x 8 x 8 block at once, searching only the palette entries
// that can be nearest somewhere in the block. Distances are plain squared
// differences between the cell centre and the entry; among equally near
// entries the lower index wins.
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {

class InverseColorMap {
  public:
    static constexpr size_t kCellCount = 64 * 64 * 64;
    static constexpr size_t kCellBytes = kCellCount * sizeof(uint16_t);

    // cells: kCellCount entries owned by the caller (often scratch memory);
    // cleared here unless clear is false (the caller cleared them already).
    InverseColorMap(uint16_t* cells, const RGBQUAD* palette, int count, bool clear = true);

    // The nearest palette index for an 8-bit colour (through its cell).
    int Nearest(uint8_t red, uint8_t green, uint8_t blue) {
        const size_t index = CellIndex(blue >> 2, green >> 2, red >> 2);
        if (cells[index] == 0) {
            FillBlock(blue >> 5, green >> 5, red >> 5);
        }
        return cells[index] - 1;
    }
    // Cell layout: [blue >> 2][green >> 2][red >> 2].
    static size_t CellIndex(int blueCell, int greenCell, int redCell) {
        return (static_cast<size_t>(blueCell) << 12) | (static_cast<size_t>(greenCell) << 6) |
               static_cast<size_t>(redCell);
    }
    const uint16_t* Cells() const { return cells; }

  private:
    void FillBlock(int blueBlock, int greenBlock, int redBlock);

    uint16_t* cells;
    const RGBQUAD* palette;
    int count;
};

} // namespace pixmill
