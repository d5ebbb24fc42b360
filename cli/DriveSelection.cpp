#include "cli/DriveSelection.h"

#include <stdexcept>

namespace tarnwick::cli {

namespace {
std::size_t CheckedIndex(int index) {
    if (index < 0 || index >= kDriveCount) throw std::out_of_range("drive index out of range");
    return static_cast<std::size_t>(index);
}
}  // namespace

std::int16_t DriveSelection::DriveValue(int index) const {
    return drives_.IsTicked(static_cast<int>(CheckedIndex(index))) ? kTicked : std::int16_t{0};
}

std::string DriveSelection::DriveCaption(int index) const {
    return {static_cast<char>('A' + CheckedIndex(index)), ':'};
}

}  // namespace tarnwick::cli
