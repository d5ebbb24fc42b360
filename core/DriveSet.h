// A drive set as the administrator chose it: the ticked letters and the restriction mode, and
// what follows from them (the mask the policy stores, the item's entry name and display text).
// Every output beside the window's own template path takes one of these, made once at the edge.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr int kDriveCount = 26;  // A to Z
inline constexpr std::uint32_t kAllDrivesMask = (1u << kDriveCount) - 1;

// Where Explorer reads the two drive policies, under HKEY_CURRENT_USER (and HKEY_LOCAL_MACHINE).
inline constexpr std::string_view kExplorerPoliciesKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline constexpr std::string_view kNoDrivesValue = "NoDrives";            // hide
inline constexpr std::string_view kNoViewOnDriveValue = "NoViewOnDrive";  // prevent access

// The registry's value types that the drive values' readers and writers name.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// The drive letters of a mask from A to Z ("CDE", or "C, D, E" with ", " between); bits above Z
// are dropped.
std::string MaskLetters(std::uint32_t mask, std::string_view separator = "");

// Which of the two values an output sets.
enum class DrivePolicy { Hide, Prevent, Both };
inline bool SetsNoDrives(DrivePolicy policy) {
    return policy != DrivePolicy::Prevent;
}
inline bool SetsNoViewOnDrive(DrivePolicy policy) {
    return policy != DrivePolicy::Hide;
}

enum class DriveMode {
    Following,  // the ticked drives are restricted
    AllBut,     // every drive but the ticked ones is restricted
};

class DriveSet {
  public:
    DriveSet() = default;
    // `ticked`: bit i for drive letter 'A' + i; bits above Z are dropped.
    DriveSet(std::uint32_t ticked, DriveMode mode)
        : ticked_(ticked & kAllDrivesMask), mode_(mode) {}

    bool AllBut() const { return mode_ == DriveMode::AllBut; }
    bool Empty() const { return ticked_ == 0; }
    bool IsTicked(int index) const {
        return index >= 0 && index < kDriveCount && (ticked_ >> index) & 1u;
    }

    DriveSet WithDrive(int index, bool ticked) const;
    DriveSet WithMode(DriveMode mode) const { return {ticked_, mode}; }

    // The restricted drives as the registry stores them: the ticked ones, or in the all-but mode
    // all the others.
    std::uint32_t Mask() const { return AllBut() ? kAllDrivesMask & ~ticked_ : ticked_; }
    // The ticked letters from A to Z ("CDE").
    std::string Letters() const;
    // "CDEOnly", or "ALLBUTC" in the all-but mode.
    std::string EntryName() const;
    // "Restrict C, D and E only", or "Restrict all drives but C only"; empty for an empty set.
    std::string DisplayText() const;

    friend bool operator==(const DriveSet&, const DriveSet&) = default;

  private:
    std::uint32_t ticked_ = 0;
    DriveMode mode_ = DriveMode::Following;
};

}  // namespace tarnwick
