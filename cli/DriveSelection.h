// The selection as the command line gives it: the drive letters named, and the mode.
#pragma once

#include "cli/Options.h"
#include "core/Selection.h"

namespace tarnwick::cli {

class DriveSelection final : public Selection {
  public:
    explicit DriveSelection(const DriveSet& drives) : drives_(drives) {}

    std::int16_t DriveValue(int index) const override;
    std::string DriveCaption(int index) const override;
    bool FollowingMode() const override { return !drives_.AllBut(); }

  private:
    DriveSet drives_;
};

}  // namespace tarnwick::cli
