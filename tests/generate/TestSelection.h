// A selection of plain values: 26 box values, captions "A:" to "Z:", and the mode.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Selection.h"

namespace tarnwick::test {

class TestSelection : public Selection {
  public:
    // `letters` are the ticked drives ("CDE"); the others stay 0.
    static TestSelection Of(std::string_view letters, bool following = true) {
        TestSelection selection;
        for (const char letter : letters)
            selection.values.at(letter - 'A') = kTicked;
        selection.following = following;
        return selection;
    }

    std::int16_t DriveValue(int index) const override { return values.at(index); }
    std::string DriveCaption(int index) const override {
        return std::string(1, static_cast<char>('A' + index)) + ":";
    }
    bool FollowingMode() const override { return following; }

    std::array<std::int16_t, kDriveCount> values{};
    bool following = true;
};

}  // namespace tarnwick::test
