// The drive mask, the entry name and the two lines of template text that a selection yields.
#pragma once

#include <cstdint>
#include <string>

#include "core/Selection.h"
#include "generate/FormState.h"

namespace tarnwick {

// Sum of 2^i over the restricted drives (the ticked ones, or in the all-but mode the unticked
// ones).
double GetDriveMask(const Selection& selection);

// base^exponent in 32-bit integer arithmetic; throws std::overflow_error beyond 2^31 - 1.
double PowerOf(int base, const std::int32_t& exponent);

// The mask in plain decimal digits ("28", "67108863"): the number the item line carries.
std::string MaskText(double mask);

// The drop-down item line; rebuilds state.strEntryName.
std::string BuildItemLine(const Selection& selection, FormState& state, const double& mask);

// The strings-section line for state.strEntryName; throws std::out_of_range when no box is ticked.
std::string BuildStringsLine(const Selection& selection, const FormState& state);

}  // namespace tarnwick
