#include "core/DriveSet.h"

namespace tarnwick {

DriveSet DriveSet::WithDrive(int index, bool ticked) const {
    if (index < 0 || index >= kDriveCount) return *this;
    const std::uint32_t bit = 1u << index;
    return {ticked ? ticked_ | bit : ticked_ & ~bit, mode_};
}

std::string MaskLetters(std::uint32_t mask, std::string_view separator) {
    std::string letters;
    for (int i = 0; i < kDriveCount; ++i) {
        if (((mask >> i) & 1u) == 0) continue;
        if (!letters.empty()) letters += separator;
        letters += static_cast<char>('A' + i);
    }
    return letters;
}

std::string DriveSet::Letters() const {
    return MaskLetters(ticked_);
}

std::string DriveSet::EntryName() const {
    return AllBut() ? "ALLBUT" + Letters() : Letters() + "Only";
}

std::string DriveSet::DisplayText() const {
    const std::string letters = Letters();
    if (letters.empty()) return {};
    // "C", "C and D", "C, D and E": no comma before "and".
    std::string list;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (i > 0) list += i + 1 == letters.size() ? " and " : ", ";
        list += letters[i];
    }
    return std::string("Restrict ") + (AllBut() ? "all drives but " : "") + list + " only";
}

}  // namespace tarnwick
