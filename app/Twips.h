// Positions and sizes are kept in twips (1/1440 inch) and turned into pixels at the window's DPI.
#pragma once

namespace tarnwick::app {

inline constexpr int kTwipsPerInch = 1440;

// Pixels for `twips` at `dpi` dots per inch: 15 twips to the pixel at 96 DPI.
constexpr int Scale(int twips, int dpi) {
    return twips * dpi / kTwipsPerInch;
}

}  // namespace tarnwick::app
