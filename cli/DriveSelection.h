// The selection as the command line gives it: the drive letters named, and the mode.
#pragma once

#include "cli/Options.h"
#include "generate/Selection.h"

namespace tarnwick::cli {

class DriveSelection final : public Selection {
  public:
    DriveSelection(const DriveSet& ticked, bool allBut) : ticked_(ticked), allBut_(allBut) {}

    std::int16_t DriveValue(int index) const override;
    std::string DriveCaption(int index) const override;
    bool FollowingMode() const override { return !allBut_; }

  private:
    DriveSet ticked_;
    bool allBut_;
};

}  // namespace tarnwick::cli
