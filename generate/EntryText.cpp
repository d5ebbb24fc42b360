#include "generate/EntryText.h"

#include <limits>
#include <stdexcept>
#include <vector>

#include "core/Text.h"

namespace tarnwick {

namespace {

constexpr const char* kIndentation = "\t\t    \t";
constexpr const char* kCrLf = "\r\n";

bool IsTicked(const Selection& selection, int index) {
    return selection.DriveValue(index) == kTicked;
}

std::string DriveLetter(const Selection& selection, int index) {
    return selection.DriveCaption(index).substr(0, 1);
}

std::vector<std::string> ListedLetters(const Selection& selection) {
    std::vector<std::string> letters;
    for (int j = 0; j < kDriveCount; ++j) {
        if (IsTicked(selection, j)) letters.push_back(DriveLetter(selection, j));
    }
    return letters;
}

// "C", "C and D", "C, D and E": no comma before "and".
std::string JoinLetters(const std::vector<std::string>& letters) {
    const std::size_t k = letters.size();
    std::string list;
    for (std::size_t j = 0; j + 2 < k; ++j)
        list += letters[j] + ", ";
    if (k == 1) {
        list += letters[0];
    } else {
        list += letters[k - 2] + " and " + letters[k - 1];
    }
    return list;
}

}  // namespace

// Never an exponent, whatever the value (std::to_chars would link 180 KB of tables for it).
std::string MaskText(double mask) {
    return WholeNumberText(mask);
}

double GetDriveMask(const Selection& selection) {
    const bool following = selection.FollowingMode();
    double sum = 0.0;
    for (std::int32_t i = 0; i < kDriveCount; ++i) {
        // Restricted when ticked in the following mode, or unticked in the all-but mode.
        if (IsTicked(selection, i) == following) sum += PowerOf(2, i);
    }
    return sum;
}

double PowerOf(int base, const std::int32_t& exponent) {
    if (exponent == 0) return 1.0;
    std::int32_t r = base;
    for (std::int32_t step = 1; step < exponent; ++step) {
        const std::int64_t product = std::int64_t{r} * base;
        if (product > std::numeric_limits<std::int32_t>::max() ||
            product < std::numeric_limits<std::int32_t>::min()) {
            throw std::overflow_error("PowerOf: result beyond 32 bits");
        }
        r = static_cast<std::int32_t>(product);
    }
    return static_cast<double>(r);
}

std::string BuildItemLine(const Selection& selection, FormState& state, const double& mask) {
    state.strEntryName.clear();
    std::string line = std::string(kIndentation) + "NAME !!";
    if (!selection.FollowingMode()) state.strEntryName += "ALLBUT";
    for (int i = 0; i < kDriveCount; ++i) {
        if (IsTicked(selection, i)) state.strEntryName += DriveLetter(selection, i);
    }
    if (selection.FollowingMode()) state.strEntryName += "Only";
    line += state.strEntryName + "\t\tVALUE NUMERIC\t" + MaskText(mask) + kCrLf;
    return line;
}

std::string BuildStringsLine(const Selection& selection, const FormState& state) {
    std::string line = state.strEntryName + "=\"Restrict ";
    if (!selection.FollowingMode()) line += "all drives but ";
    const std::vector<std::string> letters = ListedLetters(selection);
    if (letters.empty()) throw std::out_of_range("BuildStringsLine: no drive box is ticked");
    line += JoinLetters(letters) + " only\"" + kCrLf;
    return line;
}

}  // namespace tarnwick
