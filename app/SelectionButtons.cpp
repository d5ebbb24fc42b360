#include "app/SelectionButtons.h"

namespace tarnwick::app {

std::int16_t SelectedValue(std::int16_t button, std::int16_t current) {
    if (button >= kInvertSelection) return current == 1 ? 0 : 1;
    return button;
}

}  // namespace tarnwick::app
