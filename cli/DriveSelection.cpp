#include "cli/DriveSelection.h"

namespace tarnwick::cli {

namespace {
// Only 0 to 25 name a box; any other index names none, which reads unticked and without a caption,
// as a control the window does not have does.
bool NamesABox(int index) {
    return index >= 0 && index < kDriveCount;
}
}  // namespace

std::int16_t DriveSelection::DriveValue(int index) const {
    return NamesABox(index) && drives_.IsTicked(index) ? kTicked : std::int16_t{0};
}

std::string DriveSelection::DriveCaption(int index) const {
    if (!NamesABox(index)) return {};
    return {static_cast<char>('A' + index), ':'};
}

}  // namespace tarnwick::cli
