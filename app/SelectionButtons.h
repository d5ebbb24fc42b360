// The three selection buttons: what each makes of one drive box.
#pragma once

#include <cstdint>

namespace tarnwick::app {

inline constexpr std::int16_t kDeselectAll = 0;
inline constexpr std::int16_t kSelectAll = 1;
inline constexpr std::int16_t kInvertSelection = 2;

// The box's new value after cmdSelect(`button`) for a box that held `current`.
std::int16_t SelectedValue(std::int16_t button, std::int16_t current);

}  // namespace tarnwick::app
