#include "app/CreditLine.h"

namespace tarnwick::app {

int NextCreditLeft(int left, int innerWidth) {
    const int moved = left - kCreditStepTwips;
    return moved <= 0 ? innerWidth : moved;
}

}  // namespace tarnwick::app
