// Public: part of the engine's interface to the programs built on it.
// jet::RowId: where a row lives, for every layer of the engine that names rows.
#pragma once

#include <compare>
#include <cstdint>

namespace jet {

// Where a row lives: the data page and the row's slot on it. The row id of a row never changes
// while it exists (an update that moves the row leaves a pointer in the original slot).
struct RowId {
    uint32_t page = 0;
    uint8_t row = 0;
    friend auto operator<=>(const RowId&, const RowId&) = default;
};

}  // namespace jet
