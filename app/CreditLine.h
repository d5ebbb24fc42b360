// The credit line that scrolls along the bottom of the window, one step per timer tick.
#pragma once

namespace tarnwick::app {

inline constexpr int kCreditStepTwips = 30;
inline constexpr int kCreditTimerMs = 40;

// The label's next left position in twips: one step to the left, and back to the right edge
// (`innerWidth`) when that step reaches the left edge or passes it.
int NextCreditLeft(int left, int innerWidth);

}  // namespace tarnwick::app
