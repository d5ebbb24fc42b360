// What the entry text reads of the window: the 26 drive boxes and the restriction mode. The window
// implements it over its controls, the command line from its arguments, tests with plain values.
#pragma once

#include <cstdint>
#include <string>

#include "core/DriveSet.h"

namespace tarnwick {

inline constexpr std::int16_t kTicked = 1;

class Selection {
  public:
    virtual ~Selection() = default;
    // chkDrive(index).Value: 0 unticked, 1 ticked; any other value counts as unticked.
    virtual std::int16_t DriveValue(int index) const = 0;
    // chkDrive(index).Caption: "A:" to "Z:"; its first character is the drive letter.
    virtual std::string DriveCaption(int index) const = 0;
    // Option1(0).Value: "Restrict the following drives:" is selected (else "Restrict all drives but
    // :").
    virtual bool FollowingMode() const = 0;
};

// The boxes and the mode as a drive set, read once, for the commands beside Make ADM.
inline DriveSet ReadDriveSet(const Selection& selection) {
    DriveSet set({}, selection.FollowingMode() ? DriveMode::Following : DriveMode::AllBut);
    for (int i = 0; i < kDriveCount; ++i)
        set = set.WithDrive(i, selection.DriveValue(i) == kTicked);
    return set;
}

}  // namespace tarnwick
